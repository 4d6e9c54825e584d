#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

class QTranslator;

// Loads "Orvello_" + the locale's name (language_COUNTRY) from `directory`,
// with the framework's fallback to shorter names, and installs it only when a
// file was found. Without one the built-in English texts stay.
bool installTranslation(QTranslator &translator, const QString &directory,
                        const QLocale &locale = QLocale::system());

// The folders searched for the program's translations, in order: its own
// folder (a build tree, or an install that keeps them beside the program),
// then <prefix>/share/orvello/translations for a program in <prefix>/bin or
// <prefix>/libexec/orvello, as a package or `cmake --install` lays them out.
QStringList translationDirectories(const QString &programDirectory);

// The first of `directories` that holds a translation for `locale` is used.
bool installTranslation(QTranslator &translator, const QStringList &directories,
                        const QLocale &locale = QLocale::system());

// installTranslation() over translationDirectories() of the running program.
bool installProgramTranslation(QTranslator &translator, const QLocale &locale = QLocale::system());
