#pragma once

#include <QLocale>
#include <QString>

class QTranslator;

// Loads "Orvello_" + the locale's name (language_COUNTRY) from `directory`,
// with the framework's fallback to shorter names, and installs it only when a
// file was found. Without one the built-in English texts stay.
bool installTranslation(QTranslator &translator, const QString &directory,
                        const QLocale &locale = QLocale::system());
