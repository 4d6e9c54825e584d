#include "translation.h"

#include <QCoreApplication>
#include <QTranslator>

bool installTranslation(QTranslator &translator, const QString &directory, const QLocale &locale)
{
    if (!translator.load(QStringLiteral("Orvello_") + locale.name(), directory))
        return false;
    return QCoreApplication::installTranslator(&translator);
}
