#pragma once

#include <QSettings>
#include <QString>

#include <memory>

// The one way into the per-user settings store. Every access opens a
// short-lived QSettings and lets it go, so writes reach the store when the
// object is destroyed and nothing holds the file open between accesses.
namespace SettingsStore
{
// Native format, user scope, organisation Maker::Organisation, application
// "Orvello"; or the file chosen with useFile().
std::unique_ptr<QSettings> open();

// open() for the start-up read: a store that cannot be read, is malformed
// (as QSettings judges it) or is read-only is reported on standard error and
// remembered for problem(); a damaged file is first copied beside itself
// ("<file>.damaged", or with a time stamp when that exists), since the next
// write would replace it. The caller checks status() before trusting values.
std::unique_ptr<QSettings> openChecked();

// What the last openChecked() found wrong, for the operator; empty when the
// store was fine.
QString problem();
// True when the last openChecked() found the store unreadable or malformed;
// later opens of the same file no longer say so (QSettings caches it).
bool damaged();

// Points every later open() at this file instead of the user's store, so
// tests never read or write real settings. An empty path returns to the store.
void useFile(const QString &path, QSettings::Format format = QSettings::IniFormat);
} // namespace SettingsStore
