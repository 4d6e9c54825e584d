#pragma once

#include "artnet.h"
#include "commandlineoptions.h"
#include "dmxremote.h"
#include "follower.h"
#include "followinputs.h"
#include "generatorcommand.h"
#include "ltcoutput.h"
#include "mainwindowkeys.h"
#include "midi.h"
#include "playlist.h"
#include "settingstruct.h"
#include "statusfacts.h"
#include "timecodecalculator.h"
#include "transportstate.h"
#include "workerthread.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

// Where the workers meet the machine. Empty members mean the real network
// interfaces, standard output and MIDI ports; tests hand in fakes so the
// same wiring runs without touching the machine's ports.
struct GeneratorPlatform {
    std::optional<QList<AddressEntry>> addressEntries;
    VerboseLog::Sink verboseSink;
    std::shared_ptr<MidiOutputService> midiService;
    std::shared_ptr<MidiInputService> midiInputService;
    std::shared_ptr<AudioInputService> audioInputService;
};

class ArtnetFollowInput;

// The generator without its face: loads the settings record, creates the
// workers on their threads in their fixed order, wires the outputs to the
// calculator as the protocol switches say, turns commands into calculator
// calls and re-wires on apply. It also keeps the keys the program saves at
// exit. The window and the run without a window both use it, so both behave
// alike.
class Generator : public QObject
{
    Q_OBJECT
public:
    // Loads the record from the store; the protocol options of `options`
    // override the stored switches.
    explicit Generator(const CommandLineOptions &options, QObject *parent = nullptr);
    Generator(const CommandLineOptions &options, const GeneratorPlatform &platform,
              QObject *parent = nullptr);
    // Stops what still runs and waits (bounded) for the worker threads.
    ~Generator() override;

    SettingStruct &settings() { return m_settings; }
    const SettingStruct &settings() const { return m_settings; }
    const CommandLineOptions &commandLine() const { return m_options; }
    bool isVerbose() const { return m_verbose; }
    // Where verbose lines go: the platform's sink, else standard output.
    VerboseLog::Sink verboseSink() const;
    const MainWindowKeys &keys() const { return m_keys; }

    // The frame format the generator starts with: the command line's, else
    // the stored "FrameFormat"; -1 when neither names a valid format (the
    // calculator then keeps its own 24 fps).
    int startFormat() const;
    // The format last handed to the calculator, -1 while it keeps its own.
    int format() const { return m_format; }

    // Creates the Art-Net node, the MIDI output, the LTC output, the
    // calculator and the playlist, in that order. The generator starts paused
    // at 00:00:00:00 with no place, in the start format; then the command
    // line's place is selected, if it names one. The playlist is filled from
    // the store; the command line's playlist option, when given, decides its
    // enabled flag.
    void start();
    // Stop requests to every worker, the playlist first so no activation
    // arrives while the others go. The all-ports name of the MIDI output is
    // what the "MidiInterfaceName" key gets at exit.
    void stop();
    // True when every worker thread finished within the time.
    bool waitForWorkers(int timeoutMs);
    // The end of a run: stop, a bounded wait for the threads, the keys saved.
    // Later calls do nothing.
    void finish();
    int runningWorkerThreads() const { return m_threads.runningCount(); }

    // Saves the record and the playlist and re-wires the outputs to the record.
    void apply();

    TimecodeCalculator *calculator() const { return m_calculator; }
    // Where the calculator's codes reach the MIDI output, on its thread.
    FrameHandOff *midiHandOff() const { return m_midiHandOff; }
    // The same for the LTC output, on its thread.
    FrameHandOff *ltcHandOff() const { return m_ltcHandOff; }
    midi *midiOutput() const { return m_midi; }
    artnet *artnetNode() const { return m_artnet; }
    LtcOutput *ltcOutput() const { return m_ltc; }
    Playlist *playlist() const { return m_playlist; }
    Follower *follower() const { return m_follower; }
    MidiFollowInput *mtcInput() const { return m_mtcInput; }
    LtcFollowInput *ltcInput() const { return m_ltcInput; }
    // What the follower last reported, and the text the operator reads for it
    // (empty while another source is selected).
    const FollowStatus &followStatus() const { return m_followStatus; }
    QString followText() const;

    // What a remote channel asks, as the command a button or a remote would
    // give; the window and the service both act on it as on any other.
    static GeneratorCommand commandFor(DmxRemoteAction action);
    // Does what a remote channel asks without a window: the commands go
    // straight to the calculator.
    void performRemoteAction(DmxRemoteAction action) { perform(commandFor(action)); }

    // Running, paused or frozen, the source and the format, as the
    // calculator last answered.
    const TransportState &transport() const { return m_transport; }

    // What the outputs do now, as the workers last reported it. Without the
    // count the frames sent read 0, so a log can tell a change from counting.
    QList<StatusFact> statusFacts(bool withCount = true) const;

    // The transport as the calculator last reported it, on this thread:
    // paused and not frozen until it starts; the place -3, 0..8 or -1 for
    // none (also after a reset, as the window shows it).
    bool isPaused() const { return m_transport.paused; }
    bool isFrozen() const { return m_transport.frozen; }
    int place() const;
    // The code that went out last; 00:00:00:00 before the first.
    TimeCode sentCode() const;

    // A remote command without a window: straight to the calculator, like
    // performRemoteAction. Play and pause set the state rather than toggle
    // it, on the calculator's thread, so two quick presses never cancel out.
    void perform(const GeneratorCommand &command);
    // Play or pause as asked, whatever the state now.
    void setPaused(bool paused);
    // Switched on, an entry due now fires at once, as at start; the flag is
    // kept in the store at the next apply, like the editor's switch.
    void setPlaylistEnabled(bool enabled);

    // The remotes' fact, shown after the outputs' own; an empty text removes it.
    void setRemoteStatus(const QString &text, bool failure);

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
    // The generator acts on it itself (slotActivatedPlaylistItem).
    void signalActivatedItem(int iPlace);
    // A place with its exit flag reached its end code, or the playlist's
    // exit entry came due.
    void signalClose();
    // A format was handed to the calculator (format() tells which).
    void signalChangedFrames(int format);
    // statusFacts() has changed.
    void signalStatusChanged();
    // transport() has changed.
    void signalTransportChanged();
    // apply() saved a changed record; parts above re-read what is theirs.
    void signalSettingsApplied();

    // The record belongs to the receiver; absent for the system time.
    void signalClickedFile(SettingStructItem *stSettingItem, int iFileNumber);

public slots:
    // -4 follows another clock, -3 is the system time, 0..8 places 1..9;
    // anything else is ignored.
    void slotClickedFile(int iFileNumber);
    void slotChangedPlayPause();
    void slotChangedFreeze();
    void slotChangedTimeReset();
    void slotChangedFrames(int format);
    // Playlist place codes: -3 system time, 1..9 places, -2 exits the
    // program through signalClose; anything else is ignored.
    void slotActivatedPlaylistItem(int iPlace);
    // Once per change of the computed code: reads the remote universe.
    void slotArtnetCheckDmxIn();

private slots:
    // A place with its exit flag reached its end code.
    void slotPlaceExited();
    void slotArtnetStatus(const ArtnetStatus &status);
    void slotMidiStatus(const MidiStatus &status);
    void slotLtcStatus(const QString &text);
    void slotTransportRun(bool bPause, bool bFreeze);
    void slotTransportSource(int iFileNumber);
    void slotFollowStatus(const FollowStatus &status);
    void slotFollowInputStatus(const QString &text);

protected:
    void connectNotify(const QMetaMethod &signal) override;
    void disconnectNotify(const QMetaMethod &signal) override;

private:
    void relayFrames();
    void createArtnetNode();
    void createMidiOutput();
    void createLtcOutput();
    void createHandOff();
    FrameHandOff *handOffOnThreadOf(QObject *output);
    static void promoteOutputThread();
    void createCalculator();
    void createPlaylist();
    // The remote check runs once per frame on this thread, so it is wired
    // only while the remote control is on.
    void connectDmxCheck();
    void connectArtnetOutput();
    // Connects the frames to the MIDI output while it is on and has ports.
    void wireMidiFrames();
    // Follows the record: universe, interface and whether codes go out at all.
    void rewireArtnet();
    void rewireMidi();
    void connectLtcOutput();
    void rewireLtc();
    // The record's offset for one output, counted as the generator counts.
    FrameShift shiftFor(qint32 offset) const;
    void applyArtnetOptions();
    void applyLtcOptions();
    void createFollowInputs();
    // Hands the record's follow settings to the follower and switches on the
    // one input it reads while following.
    void rewireFollow();

    CommandLineOptions m_options;
    GeneratorPlatform m_platform;
    bool m_verbose = false;
    bool m_finished = false;
    SettingStruct m_settings;
    MainWindowKeys m_keys;
    int m_format = -1;
    QPointer<TimecodeCalculator> m_calculator;
    // One hand-off on each output's own thread, so a code wakes the output
    // that sends it and no thread in between.
    QPointer<FrameHandOff> m_midiHandOff;
    QPointer<FrameHandOff> m_ltcHandOff;
    // The codes for this thread (the window, the remotes, the DMX check):
    // straight from the timing thread, so no thread in between wakes for them.
    QPointer<FrameHandOff> m_relay;
    QPointer<midi> m_midi;
    QPointer<artnet> m_artnet;
    QPointer<LtcOutput> m_ltc;
    QString m_ltcStatus;
    bool m_ltcFailure = false;
    QPointer<Playlist> m_playlist;
    QMetaObject::Connection m_ltcNote;
    // The running place was selected by the playlist's last activation.
    bool m_placeFromPlaylist = false;
    DmxRemote m_dmxRemote;
    WorkerThreads m_threads;
    TransportState m_transport;
    // The record last handed to the calculator for each place: its answer
    // names only the number, and the settings may change after the click.
    SettingStructItem m_placesSent[Place::Last + 1];
    ArtnetStatus m_artnetStatus;
    MidiStatus m_midiStatus;
    QPointer<Follower> m_follower;
    std::shared_ptr<ArtnetFollowInput> m_artnetInput;
    QPointer<MidiFollowInput> m_mtcInput;
    QPointer<LtcFollowInput> m_ltcInput;
    FollowStatus m_followStatus;
    QString m_followInputStatus;
    bool m_following = false;
    StatusFact m_remoteFact{StatusFact::Remote, QString(), false, {}};
};
