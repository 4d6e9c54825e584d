#pragma once

#include <QSettings>
#include <QString>

#include <memory>

// The one way into the per-user settings store. Every access opens a
// short-lived QSettings and lets it go, so writes reach the store when the
// object is destroyed and nothing holds the file open between accesses.
//
// The store must never block the program or destroy what is not ours: a path
// that is not a regular file (after following links: a FIFO, a device, a
// folder) is never opened at all, and a damaged store is replaced by an empty
// one only once a copy of it has been kept.
namespace SettingsStore
{
// Native format, user scope, organisation Maker::Organisation, application
// "Orvello"; or the file chosen with useFile(). When the store is not a
// regular file, a stand-in that holds nothing and keeps nothing.
std::unique_ptr<QSettings> open();

// open() for the start-up read: a store that is not a regular file, cannot be
// read, is malformed (as QSettings judges it) or is read-only is reported on
// standard error and remembered for problem(). A damaged store is copied
// beside itself ("<file>.damaged", or with a time stamp when that exists;
// content already kept in such a copy is not copied again) and then emptied,
// so the defaults it is reported to start with are what it holds from then on.
// The caller checks damaged() before trusting values.
std::unique_ptr<QSettings> openChecked();

// Writes what `store` was given to its file now. A store that cannot take it
// (a read-only folder, a full disk) is reported on standard error and for
// problem(); false then. Not reported again for a store that start-up already
// said keeps nothing.
bool commit(QSettings &store);

// What was last found wrong with the store, for the operator; empty while
// the store is fine.
QString problem();
// True when the last openChecked() found the store unreadable or malformed.
bool damaged();

// Points every later open() at this file instead of the user's store, so
// tests never read or write real settings. An empty path returns to the store.
void useFile(const QString &path, QSettings::Format format = QSettings::IniFormat);
} // namespace SettingsStore
