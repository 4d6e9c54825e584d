#include "commandlineoptions.h"
#include "orvello.h"
#include "translation.h"
#include "version.h"

#include <QApplication>
#include <QTranslator>

namespace
{
void setIdentity()
{
    QCoreApplication::setOrganizationName(QLatin1String(Maker::Organisation));
    QCoreApplication::setApplicationName(QLatin1String(Maker::Application));
}
} // namespace

int main(int argc, char *argv[])
{
    // Version and help are answered without a window, so they also work on a
    // console without any display.
    if (CommandLineParser::asksForTextOnly(argc, argv)) {
        QCoreApplication app(argc, argv);
        setIdentity();
        QTranslator translator;
        installTranslation(translator, QCoreApplication::applicationDirPath());
        CommandLineParser::parse(QCoreApplication::arguments());
        return 0;
    }

    QApplication app(argc, argv);
    setIdentity();
    QTranslator translator;
    installTranslation(translator, QCoreApplication::applicationDirPath());

    int result = 0;
    {
        Orvello window;
        window.show();
        result = app.exec();
    }
    return result;
}
