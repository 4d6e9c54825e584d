#pragma once

#include "generator.h"
#include "remotecontrol.h"

#include <QObject>
#include <QString>
#include <QStringList>

class QTimer;

// The generator as a console program, for machines without a screen: owns a
// Generator, says once what it does, reports in verbose mode what changes on
// the outputs and in the transport, and asks for the end when a place or the
// playlist exits the program. It touches nothing of the window system, so it
// runs on a plain QCoreApplication.
class HeadlessRunner : public QObject
{
    Q_OBJECT
public:
    // `arguments` is the command line, the program itself first. Lines go to
    // `sink`, standard output when none is given; the network and MIDI ports
    // are those of `platform`.
    explicit HeadlessRunner(const QStringList &arguments, VerboseLog::Sink sink = {},
                            const GeneratorPlatform &platform = {}, QObject *parent = nullptr);
    // Stops the workers, waits for their threads and saves the keys.
    ~HeadlessRunner() override;

    Generator &generator() { return m_generator; }
    RemoteControl &remote() { return m_remote; }
    const CommandLineOptions &commandLine() const { return m_options; }

    // Starts the workers and writes the start line.
    void start();

    // "Orvello v2.0.0.1 headless: <format>, <source>, <Art-Net>, <MIDI>, playlist on|off";
    // the source is what the command line selected, a playlist entry may
    // select a place later.
    QString startLine() const;
    // What the outputs do, asked of the workers directly (their own reports
    // arrive only once the event loop runs): "Art-Net to <addresses>" or
    // "Art-Net off", "MIDI to <ports> (<type>)", "MIDI on, no ports" or "MIDI off".
    QString outputsText() const;
    // The window's status line as one line: its facts joined by "; ".
    QString statusText(bool withCount = true) const;
    // "paused|running|frozen, <place or no place>, <format>"
    QString transportText() const;

signals:
    // A place with its exit flag reached its end code, or the playlist's exit
    // entry came due: the run ends as after SIGTERM.
    void exitRequested();

private:
    void write(const QString &line);
    void reportStatusIfChanged();
    void transportChanged();
    void reportTransportIfChanged();

    CommandLineOptions m_options;
    Generator m_generator;
    RemoteControl m_remote{m_generator};
    VerboseLog::Sink m_sink;
    QTimer *m_transportTimer = nullptr;
    QTimer *m_statusTimer = nullptr;
    bool m_started = false;
    QString m_lastStatus;
    QString m_lastTransport;
};
