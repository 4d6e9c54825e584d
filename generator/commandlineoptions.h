#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>

// The parsed command line, read once by the main window or the headless run.
struct CommandLineOptions {
    bool verbosePresent = false;
    bool verbose = false;
    bool playlistPresent = false;
    bool playlist = false;
    bool noupdatecheck = false;
    bool formatPresent = false;
    int format = 0;
    bool placePresent = false;
    int place = 0;
    bool artnetPresent = false;
    bool artnet = false;
    bool midiPresent = false;
    bool midi = false;
    bool ltcPresent = false;
    bool ltc = false;
    bool trueDropPresent = false;
    bool trueDrop = false;
    // Follows the primary's ArtTimeCode silently and takes over when it stops.
    bool standby = false;
    // The remotes' switches ("osc_enabled", "web_enabled") for this run.
    bool oscPresent = false;
    bool osc = false;
    bool webPresent = false;
    bool web = false;
    // Run without a window, as a service does.
    bool headless = false;
    // The window opens with its fullscreen clock shown.
    bool fullscreen = false;

    // Set when "version" or "help" was given: their text has been written and
    // the program ends without showing a window.
    // "--export FILE" / "--import FILE": the program only writes or reads the
    // configuration file and ends (see ConfigCommand).
    QString exportFile;
    QString importFile;
    bool configFileMissing = false; // one of them came without a file name

    bool versionShown = false;
    bool helpShown = false;
    bool endsProgram() const { return versionShown || helpShown; }
};

class CommandLineParser
{
public:
    // Parses the application's arguments; the first one is the program itself
    // and never looked at. Version and help texts are written to `out` as they
    // are met; the remaining arguments are still examined.
    static CommandLineOptions parse(const QStringList &arguments, FILE *out = stdout);

    // True when the raw arguments ask for version or help, so the program can
    // answer without a display.
    static bool asksForTextOnly(int argc, char **argv);
    // True when the raw arguments ask for a run without a window, so the
    // program can choose its application object before the parse.
    static bool asksForHeadless(int argc, char **argv);

    // True when the raw arguments ask for an export or import, so the program
    // can run it without a display.
    static bool asksForConfigFile(int argc, char **argv);

    static QString versionText(); // "v2.0.0.1"
    static QString versionLine(); // "Orvello v2.0.0.1 (2.0.0.1) compiled <date>\n"
    static QString helpText();    // translatable, begins with a line end

private:
    static void write(FILE *out, const QString &text);
};
