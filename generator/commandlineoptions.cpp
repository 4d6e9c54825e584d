#include "commandlineoptions.h"

#include "version.h"

#include <QCoreApplication>
#include <QDebug>

#include <cstring>

namespace
{

enum class Option {
    Unknown,
    Version,
    Help,
    Verbose,
    Playlist,
    NoPlaylist,
    NoUpdateCheck,
    Format,
    Place,
    StartTime,
    Artnet,
    NoArtnet,
    Midi,
    NoMidi,
    Headless,
    Fullscreen,
    Ltc,
    NoLtc,
    TrueDrop,
    NoTrueDrop,
    Standby,
    Export,
    Import,
    Osc,
    NoOsc,
    Web,
    NoWeb
};

struct Form {
    const char *text;
    Option option;
    int value; // format or place number where the option has one
};

// Every accepted spelling. The table is the whole grammar: comparison is
// exact and case-sensitive, so "-version" or "--p1" match nothing.
const Form forms[] = {
    {"version", Option::Version, 0},
    {"--version", Option::Version, 0},
    {"/version", Option::Version, 0},
    {"help", Option::Help, 0},
    {"--help", Option::Help, 0},
    {"-h", Option::Help, 0},
    {"?", Option::Help, 0},
    {"verbose", Option::Verbose, 0},
    {"-verbose", Option::Verbose, 0},
    {"--verbose", Option::Verbose, 0},
    {"/verbose", Option::Verbose, 0},
    {"playlist", Option::Playlist, 0},
    {"--playlist", Option::Playlist, 0},
    {"/playlist", Option::Playlist, 0},
    {"noplaylist", Option::NoPlaylist, 0},
    {"--noplaylist", Option::NoPlaylist, 0},
    {"/noplaylist", Option::NoPlaylist, 0},
    {"noupdatecheck", Option::NoUpdateCheck, 0},
    {"--noupdatecheck", Option::NoUpdateCheck, 0},
    {"/noupdatecheck", Option::NoUpdateCheck, 0},
    {"24fps", Option::Format, 0},
    {"/24fps", Option::Format, 0},
    {"-24fps", Option::Format, 0},
    {"25fps", Option::Format, 1},
    {"/25fps", Option::Format, 1},
    {"-25fps", Option::Format, 1},
    {"30drop", Option::Format, 2},
    {"/30drop", Option::Format, 2},
    {"-30drop", Option::Format, 2},
    {"30fps", Option::Format, 3},
    {"/30fps", Option::Format, 3},
    {"-30fps", Option::Format, 3},
    {"systemtime", Option::Place, -3},
    {"/systemtime", Option::Place, -3},
    {"-systemtime", Option::Place, -3},
    {"follow", Option::Place, -4},
    {"/follow", Option::Place, -4},
    {"-follow", Option::Place, -4},
    {"standby", Option::Standby, 0},
    {"/standby", Option::Standby, 0},
    {"-standby", Option::Standby, 0},
    {"p0", Option::Place, -3},
    {"/p0", Option::Place, -3},
    {"-p0", Option::Place, -3},
    {"starttime", Option::StartTime, 0},
    {"/starttime", Option::StartTime, 0},
    {"-starttime", Option::StartTime, 0},
    {"artnet", Option::Artnet, 0},
    {"/artnet", Option::Artnet, 0},
    {"-artnet", Option::Artnet, 0},
    {"noartnet", Option::NoArtnet, 0},
    {"/noartnet", Option::NoArtnet, 0},
    {"-noartnet", Option::NoArtnet, 0},
    {"midi", Option::Midi, 0},
    {"/midi", Option::Midi, 0},
    {"-midi", Option::Midi, 0},
    {"nomidi", Option::NoMidi, 0},
    {"/nomidi", Option::NoMidi, 0},
    {"-nomidi", Option::NoMidi, 0},
    {"headless", Option::Headless, 0},
    {"fullscreen", Option::Fullscreen, 0},
    {"--fullscreen", Option::Fullscreen, 0},
    {"/fullscreen", Option::Fullscreen, 0},
    {"-fullscreen", Option::Fullscreen, 0},
    {"ltc", Option::Ltc, 0},
    {"/ltc", Option::Ltc, 0},
    {"-ltc", Option::Ltc, 0},
    {"noltc", Option::NoLtc, 0},
    {"/noltc", Option::NoLtc, 0},
    {"-noltc", Option::NoLtc, 0},
    {"truedrop", Option::TrueDrop, 0},
    {"/truedrop", Option::TrueDrop, 0},
    {"-truedrop", Option::TrueDrop, 0},
    {"notruedrop", Option::NoTrueDrop, 0},
    {"/notruedrop", Option::NoTrueDrop, 0},
    {"-notruedrop", Option::NoTrueDrop, 0},
    {"osc", Option::Osc, 0},
    {"/osc", Option::Osc, 0},
    {"-osc", Option::Osc, 0},
    {"noosc", Option::NoOsc, 0},
    {"/noosc", Option::NoOsc, 0},
    {"-noosc", Option::NoOsc, 0},
    {"web", Option::Web, 0},
    {"/web", Option::Web, 0},
    {"-web", Option::Web, 0},
    {"noweb", Option::NoWeb, 0},
    {"/noweb", Option::NoWeb, 0},
    {"-noweb", Option::NoWeb, 0},
    {"--export", Option::Export, 0},
    {"--import", Option::Import, 0},
};

// "p1".."p9" in their three spellings.
bool matchPlace(const QString &arg, int *place)
{
    QString rest = arg;
    if (rest.startsWith(QLatin1Char('/')) || rest.startsWith(QLatin1Char('-')))
        rest.remove(0, 1);
    if (rest.size() != 2 || rest.at(0) != QLatin1Char('p'))
        return false;
    const QChar digit = rest.at(1);
    if (digit < QLatin1Char('1') || digit > QLatin1Char('9'))
        return false;
    *place = digit.unicode() - '1';
    return true;
}

Option match(const QString &arg, int *value)
{
    for (const Form &form : forms) {
        if (arg == QLatin1String(form.text)) {
            *value = form.value;
            return form.option;
        }
    }
    if (matchPlace(arg, value))
        return Option::Place;
    return Option::Unknown;
}

} // namespace

QString CommandLineParser::versionText()
{
    return QStringLiteral("v%1.%2.%3.%4")
        .arg(Version::Major)
        .arg(Version::Minor)
        .arg(Version::Revision)
        .arg(Version::Build);
}

QString CommandLineParser::versionLine()
{
    return QStringLiteral("%1 %2 (%3) compiled %4\n")
        .arg(QLatin1String(Version::ProductName), versionText(),
             QStringLiteral("%1.%2.%3.%4")
                 .arg(Version::Major)
                 .arg(Version::Minor)
                 .arg(Version::Revision)
                 .arg(Version::Build),
             QLatin1String(Version::BuildDate));
}

QString CommandLineParser::helpText()
{
    struct Entry {
        const char *name;
        QString description;
    };
    const auto tr = [](const char *text) { return QCoreApplication::translate("Orvello", text); };
    QList<Entry> entries = {
        {"help", tr("this help")},
        {"version", tr("get version")},
        {"?", tr("get help, this site")},
        {"headless", tr("runs without a window, as a service")},
        {"fullscreen", tr("starts with the fullscreen clock (F11 or Escape leaves it)")},
        {"systemtime", tr("activated system time")},
        {"playlist", tr("activated playlist")},
        {"noplaylist", tr("deactivated playlist")},
        {"noupdatecheck", tr("disabled auto check for update")},
        {"24fps", tr("activated 24 fps")},
        {"25fps", tr("activated 25 fps")},
        {"30drop", tr("activated 30 drop")},
        {"30fps", tr("activated 30 fps")},
        {"p0", tr("activated place 0 (same as parameter \"systemtime\")")},
    };
    static const char *const placeNames[] = {"p1", "p2", "p3", "p4", "p5", "p6", "p7", "p8", "p9"};
    for (int i = 0; i < 9; ++i)
        entries.append({placeNames[i], tr("activated place %1").arg(i + 1)});
    entries.append({"artnet", tr("activate trigger artnet (overwrite settings)")});
    entries.append({"noartnet", tr("deactivate trigger artnet (overwrite settings)")});
    entries.append({"midi", tr("activate trigger midi (overwrite settings)")});
    entries.append({"nomidi", tr("deactivate trigger midi (overwrite settings)")});
    entries.append({"ltc", tr("activate trigger ltc (overwrite settings)")});
    entries.append({"noltc", tr("deactivate trigger ltc (overwrite settings)")});
    entries.append({"truedrop", tr("30 drop runs at 29.97 fps (overwrite settings)")});
    entries.append({"notruedrop", tr("30 drop runs at 30 fps (overwrite settings)")});
    entries.append({"follow", tr("follows another clock (the input chosen in the settings)")});
    entries.append({"standby", tr("hot standby: follows the primary's Art-Net silently, takes "
                                  "over when it stops")});
    entries.append({"osc", tr("activate OSC remote control (overwrite settings)")});
    entries.append({"noosc", tr("deactivate OSC remote control (overwrite settings)")});
    entries.append({"web", tr("activate web page remote control (overwrite settings)")});
    entries.append({"noweb", tr("deactivate web page remote control (overwrite settings)")});
    entries.append({"verbose", tr("more information at runtime")});
    entries.append({"--export FILE", tr("write the stored configuration to FILE and exit")});
    entries.append({"--import FILE", tr("read FILE into the stored configuration and exit")});

    QString text;
    for (const Entry &entry : entries) {
        text += QLatin1Char('\n');
        text += QString::fromLatin1(entry.name).leftJustified(14, QLatin1Char(' '));
        text += QStringLiteral("- ");
        text += entry.description;
    }
    return text;
}

void CommandLineParser::write(FILE *out, const QString &text)
{
    if (!out)
        return;
    // The console gets the locale's encoding: UTF-8 on today's terminals.
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out);
    std::fflush(out);
}

CommandLineOptions CommandLineParser::parse(const QStringList &arguments, FILE *out)
{
    CommandLineOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        int value = 0;
        const Option option = match(arg, &value);
        switch (option) {
        case Option::Version:
            options.versionShown = true;
            write(out, versionLine() + QLatin1Char('\n'));
            break;
        case Option::Help:
            options.helpShown = true;
            write(out, versionLine() + helpText() + QLatin1Char('\n'));
            break;
        case Option::Verbose:
            options.verbosePresent = true;
            options.verbose = true;
            break;
        case Option::Playlist:
        case Option::NoPlaylist:
            options.playlistPresent = true;
            options.playlist = option == Option::Playlist;
            break;
        case Option::NoUpdateCheck:
            options.noupdatecheck = true;
            break;
        case Option::Format:
            options.formatPresent = true;
            options.format = value;
            break;
        case Option::Place:
            options.placePresent = true;
            options.place = value;
            break;
        case Option::StartTime:
            break;
        case Option::Standby:
            // A standby follows from the start.
            options.standby = true;
            options.placePresent = true;
            options.place = -4;
            break;
        case Option::Artnet:
        case Option::NoArtnet:
            options.artnetPresent = true;
            options.artnet = option == Option::Artnet;
            break;
        case Option::Midi:
        case Option::NoMidi:
            options.midiPresent = true;
            options.midi = option == Option::Midi;
            break;
        case Option::Headless:
            options.headless = true;
            break;
        case Option::Fullscreen:
            options.fullscreen = true;
            break;
        case Option::Ltc:
        case Option::NoLtc:
            options.ltcPresent = true;
            options.ltc = option == Option::Ltc;
            break;
        case Option::TrueDrop:
        case Option::NoTrueDrop:
            options.trueDropPresent = true;
            options.trueDrop = option == Option::TrueDrop;
            break;
        case Option::Osc:
        case Option::NoOsc:
            options.oscPresent = true;
            options.osc = option == Option::Osc;
            break;
        case Option::Web:
        case Option::NoWeb:
            options.webPresent = true;
            options.web = option == Option::Web;
            break;
        case Option::Export:
        case Option::Import:
            // The file name is the next argument, whatever it looks like.
            if (i + 1 < arguments.size()) {
                (option == Option::Export ? options.exportFile : options.importFile) =
                    arguments.at(++i);
            } else {
                options.configFileMissing = true;
            }
            break;
        case Option::Unknown:
            qDebug().noquote()
                << QCoreApplication::translate("Orvello", "skip unknown parameter \"%1\"").arg(arg);
            break;
        }
    }
    return options;
}

bool CommandLineParser::asksForConfigFile(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        int value = 0;
        const Option option = match(QString::fromLocal8Bit(argv[i]), &value);
        if (option == Option::Export || option == Option::Import)
            return true;
    }
    return false;
}

bool CommandLineParser::asksForTextOnly(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        int value = 0;
        const Option option = match(QString::fromLocal8Bit(argv[i]), &value);
        if (option == Option::Version || option == Option::Help)
            return true;
    }
    return false;
}

bool CommandLineParser::asksForHeadless(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        int value = 0;
        if (match(QString::fromLocal8Bit(argv[i]), &value) == Option::Headless)
            return true;
    }
    return false;
}
