#include "translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QTranslator>

bool installTranslation(QTranslator &translator, const QString &directory, const QLocale &locale)
{
    if (!translator.load(QStringLiteral("Orvello_") + locale.name(), directory))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

QStringList translationDirectories(const QString &programDirectory)
{
    const QDir program(programDirectory);
    return {program.path(),
            QDir::cleanPath(program.filePath(QStringLiteral("../share/orvello/translations"))),
            QDir::cleanPath(program.filePath(QStringLiteral("../../share/orvello/translations")))};
}

bool installTranslation(QTranslator &translator, const QStringList &directories,
                        const QLocale &locale)
{
    for (const QString &directory : directories) {
        if (installTranslation(translator, directory, locale))
            return true;
    }
    return false;
}

bool installProgramTranslation(QTranslator &translator, const QLocale &locale)
{
    return installTranslation(
        translator, translationDirectories(QCoreApplication::applicationDirPath()), locale);
}
