#pragma once

#include "artnet.h"
#include "commandlineoptions.h"
#include "dmxremote.h"
#include "ltcoutput.h"
#include "midi.h"
#include "playlist.h"
#include "settingstruct.h"
#include "statusfacts.h"
#include "timecodecalculator.h"
#include "workerthread.h"

#include <QObject>
#include <QPointer>

// The generator without its face: loads the settings record, creates the
// workers on their threads in their fixed order, wires the outputs to the
// calculator as the protocol switches say, turns commands into calculator
// calls and re-wires on apply. The window uses it; a run without a window
// can use the same instance, so both behave alike.
class Generator : public QObject
{
    Q_OBJECT
public:
    // Loads the record from the store; the protocol options of `options`
    // override the stored switches.
    explicit Generator(const CommandLineOptions &options, QObject *parent = nullptr);
    // Stops what still runs and waits (bounded) for the worker threads.
    ~Generator() override;

    SettingStruct &settings() { return m_settings; }
    const SettingStruct &settings() const { return m_settings; }
    const CommandLineOptions &commandLine() const { return m_options; }
    bool isVerbose() const { return m_verbose; }

    // Creates the Art-Net node, the MIDI output, the LTC output, the
    // calculator and the playlist, in that order. The generator starts paused
    // at 00:00:00:00 with no place; a `format` of 0..3 is handed to the
    // calculator before its thread starts. The playlist is filled from the
    // store; the command line's playlist option, when given, decides its
    // enabled flag.
    void start(int format);
    // Stop requests to every worker, the playlist first so no activation
    // arrives while the others go. `midiAllPortsName`, when given, receives
    // the all-ports name of the MIDI output before it goes.
    void stop(QString *midiAllPortsName = nullptr);
    // True when every worker thread finished within the time.
    bool waitForWorkers(int timeoutMs);
    int runningWorkerThreads() const { return m_threads.runningCount(); }

    // Saves the record and the playlist and re-wires the outputs to the record.
    void apply();

    TimecodeCalculator *calculator() const { return m_calculator; }
    midi *midiOutput() const { return m_midi; }
    artnet *artnetNode() const { return m_artnet; }
    LtcOutput *ltcOutput() const { return m_ltc; }
    Playlist *playlist() const { return m_playlist; }

    // Does what a remote channel asks without a window: the commands go
    // straight to the calculator.
    void performRemoteAction(DmxRemoteAction action);

    // What the outputs do now, as the workers last reported it.
    QList<StatusFact> statusFacts() const;

signals:
    // Relayed from the calculator, on the thread of this object.
    void signalSendTimecodeTimeOut(quint8 Hour, quint8 Minute, quint8 Sec, quint8 Frame,
                                   quint8 Type);
    void signalChangedPlayPause(bool bPause, bool bFreeze);
    void signalChangedFreeze(bool bPause, bool bFreeze);
    void signalChangedFile(int iFileNumber);
    void signalChangedTimeReset();
    void signalArtnetCheckDmxIn();
    // The LTC output's state for the operator; empty while it is off.
    // A remote channel rose while the remote control is on. The owner performs
    // it: the window as a click on its own control, so a disabled control
    // stays deaf; without a window, performRemoteAction.
    void signalDmxRemoteAction(DmxRemoteAction action);
    // The playlist found an entry due: -3 system time, -2 exit, 1..9 places.
    void signalActivatedItem(int iPlace);
    // A place with its exit flag reached its end code.
    void signalClose();
    // statusFacts() has changed.
    void signalStatusChanged();

    // The record belongs to the receiver; absent for the system time.
    void signalClickedFile(SettingStructItem *stSettingItem, int iFileNumber);

public slots:
    // -3 is the system time, 0..8 places 1..9; anything else is ignored.
    void slotClickedFile(int iFileNumber);
    void slotChangedPlayPause();
    void slotChangedFreeze();
    void slotChangedTimeReset();
    void slotChangedFrames(int format);
    // Once per change of the computed code: reads the remote universe.
    void slotArtnetCheckDmxIn();

private slots:
    void slotArtnetStatus(const ArtnetStatus &status);
    void slotMidiStatus(const MidiStatus &status);
    void slotLtcStatus(const QString &text);

private:
    void createArtnetNode();
    void createMidiOutput();
    void createLtcOutput();
    void createCalculator(int format);
    void createPlaylist();
    void connectArtnetOutput();
    void connectMidiOutput();
    // Follows the record: universe, interface and whether codes go out at all.
    void rewireArtnet();
    void rewireMidi();
    void connectLtcOutput();
    void rewireLtc();

    CommandLineOptions m_options;
    bool m_verbose = false;
    SettingStruct m_settings;
    QPointer<TimecodeCalculator> m_calculator;
    QPointer<midi> m_midi;
    QPointer<artnet> m_artnet;
    QPointer<LtcOutput> m_ltc;
    QString m_ltcStatus;
    bool m_ltcFailure = false;
    QPointer<Playlist> m_playlist;
    DmxRemote m_dmxRemote;
    WorkerThreads m_threads;
    ArtnetStatus m_artnetStatus;
    MidiStatus m_midiStatus;
};
