#include "generator.h"

#include "settingsstore.h"

#include "artnetfollowinput.h"
#include "followinputs.h"

#include "realtime.h"
#include "verboselog.h"
#include "version.h"

#include <QHostAddress>
#include <QMetaMethod>

#include <sched.h>

namespace
{
// Stop requests are queued to the workers; this bounds how long the
// destruction waits for their threads before the application goes away.
constexpr int ThreadWaitMs = 2000;

// Qt starts a thread of a given priority with an explicit policy of its
// own, SCHED_OTHER on Linux, where the priority is then meaningless. Started
// under a real-time policy (chrt, systemd's CPUSchedulingPolicy) that would
// take the one thing asked for away from exactly the threads that need it, so
// there the workers inherit the policy instead.
QThread::Priority outputPriority()
{
    const int policy = sched_getscheduler(0);
    return policy == SCHED_FIFO || policy == SCHED_RR ? QThread::InheritPriority
                                                      : QThread::HighPriority;
}
} // namespace

Generator::Generator(const CommandLineOptions &options, QObject *parent)
    : Generator(options, GeneratorPlatform(), parent)
{
}

Generator::Generator(const CommandLineOptions &options, const GeneratorPlatform &platform,
                     QObject *parent)
    : QObject(parent), m_options(options), m_platform(platform)
{
    m_verbose = m_options.verbosePresent && m_options.verbose;
    m_settings.setDefaults();
    m_settings.loadFromStore();
    // The protocol options override the stored switches before any worker is
    // wired, so the outputs start as the command line asked.
    if (m_options.artnetPresent)
        m_settings.artnet_protocol_on = m_options.artnet;
    if (m_options.midiPresent)
        m_settings.midi_protocol_on = m_options.midi;
    if (m_options.ltcPresent)
        m_settings.ltc_protocol_on = m_options.ltc;
    if (m_options.trueDropPresent)
        m_settings.true_drop_frame = m_options.trueDrop;
    if (m_options.standby)
        m_settings.standby_enabled = true;
    if (m_options.oscPresent)
        m_settings.osc_enabled = m_options.osc;
    if (m_options.webPresent)
        m_settings.web_enabled = m_options.web;
    m_keys.load();
    // Connected first, so whoever else listens to these reads the new state.
    connect(this, &Generator::signalChangedPlayPause, this, &Generator::slotTransportRun);
    connect(this, &Generator::signalChangedFreeze, this, &Generator::slotTransportRun);
    connect(this, &Generator::signalChangedFile, this, &Generator::slotTransportSource);
}

Generator::~Generator()
{
    stop();
    m_threads.waitAll(ThreadWaitMs);
}

VerboseLog::Sink Generator::verboseSink() const
{
    return m_platform.verboseSink ? m_platform.verboseSink : VerboseLog::standardOutput();
}

int Generator::startFormat() const
{
    const int format = m_options.formatPresent ? m_options.format : m_keys.FrameFormat;
    return format >= Frame24 && format <= Frame30 ? format : -1;
}

void Generator::start()
{
    createArtnetNode();
    createMidiOutput();
    createLtcOutput();
    createCalculator();
    createFollowInputs();
    createPlaylist();
    // The protocol options were put into the record before the workers were
    // wired; the place goes to the calculator's thread like a click.
    if (m_options.placePresent)
        slotClickedFile(m_options.place);
}

void Generator::stop()
{
    if (m_playlist) {
        m_playlist->requestStop();
        m_playlist = nullptr;
    }
    if (m_artnet)
        m_artnet->setTimeCodeListener(nullptr);
    if (m_mtcInput) {
        m_mtcInput->deleteLater();
        m_mtcInput = nullptr;
    }
    if (m_ltcInput) {
        m_ltcInput->deleteLater();
        m_ltcInput = nullptr;
    }
    if (m_calculator) {
        m_follower = nullptr;
        m_calculator->setFrameSender(nullptr);
        m_calculator->requestStop();
        m_calculator = nullptr;
    }
    // Posted before the outputs' own deletion, so each goes first on its thread.
    if (m_midiHandOff)
        m_midiHandOff->deleteLater();
    if (m_ltcHandOff)
        m_ltcHandOff->deleteLater();
    m_midiHandOff = m_ltcHandOff = nullptr;
    delete m_relay;
    if (m_artnet) {
        m_artnet->deleteLater();
        m_artnet = nullptr;
    }
    if (m_midi) {
        m_midi->outputDeviceName(-1, m_keys.MidiInterfaceName);
        m_midi->deleteLater();
        m_midi = nullptr;
    }
    if (m_ltc) {
        m_ltc->deleteLater();
        m_ltc = nullptr;
    }
}

bool Generator::waitForWorkers(int timeoutMs)
{
    return m_threads.waitAll(timeoutMs);
}

void Generator::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    stop();
    m_threads.waitAll(ThreadWaitMs);
    // "FrameFormat" goes back as it was read: the format chosen during a run
    // is not remembered.
    m_keys.save();
}

void Generator::apply()
{
    m_settings.saveToStore();
    if (m_playlist)
        m_playlist->savePlaylistToStore();
    if (m_calculator)
        QMetaObject::invokeMethod(
            m_calculator,
            [calculator = m_calculator.data(), on = m_settings.true_drop_frame]() {
                calculator->slotChangedTrueDropFrame(on);
            },
            Qt::QueuedConnection);
    rewireArtnet();
    rewireMidi();
    rewireLtc();
    rewireFollow();
    emit signalSettingsApplied();
    // A protocol switch may have changed.
    emit signalStatusChanged();
}

QList<StatusFact> Generator::statusFacts(bool withCount) const
{
    ArtnetStatus artnetStatus = withCount ? m_artnetStatus : m_artnetStatus.withoutCounts();
    const bool ltcOn = m_ltc && m_settings.ltc_protocol_on;
    // While following, other senders are expected, not a fight over the receivers.
    if (m_following)
        artnetStatus.otherSource.clear();
    QList<StatusFact> facts = ::statusFacts(m_artnet && m_settings.artnet_protocol_on, artnetStatus,
                                            m_midi && m_settings.midi_protocol_on, m_midiStatus,
                                            ltcOn ? m_ltcStatus : QString(), m_ltcFailure,
                                            SettingsStore::problem(), m_remoteFact);
    if (m_following) {
        const bool failure = m_followStatus.state == FollowTracker::State::NoInput;
        facts.prepend({StatusFact::Follow, followText(), failure, {}});
        if (!m_followInputStatus.isEmpty())
            facts.append({StatusFact::Follow, m_followInputStatus, false, {}});
    }
    return facts;
}

QString Generator::followText() const
{
    if (!m_following)
        return {};
    const QString input =
        m_settings.standby_enabled ? QStringLiteral("artnet") : m_settings.follow_input;
    return ::followText(m_followStatus, input);
}

void Generator::slotFollowStatus(const FollowStatus &status)
{
    m_followStatus = status;
    emit signalStatusChanged();
}

void Generator::slotFollowInputStatus(const QString &text)
{
    m_followInputStatus = text;
    emit signalStatusChanged();
}

void Generator::createFollowInputs()
{
    if (!m_follower)
        return;
    auto *mtc = new MidiFollowInput(m_follower->sink(), m_platform.midiInputService);
    auto *ltc = new LtcFollowInput(m_follower->sink(), m_platform.audioInputService);
    m_mtcInput = mtc;
    m_ltcInput = ltc;
    for (FollowInputWorker *input :
         {static_cast<FollowInputWorker *>(mtc), static_cast<FollowInputWorker *>(ltc)}) {
        connect(input, &FollowInputWorker::signalStatusChanged, this,
                &Generator::slotFollowInputStatus, Qt::QueuedConnection);
        QThread *thread = m_threads.adopt(input);
        thread->setObjectName(input == mtc ? QStringLiteral("mtc in") : QStringLiteral("ltc in"));
        connect(thread, &QThread::started, input, &FollowInputWorker::slotStart);
        thread->start(outputPriority());
    }
    rewireFollow();
}

void Generator::rewireFollow()
{
    if (!m_follower)
        return;
    FollowTracker::Config config;
    config.freewheelFrames = m_settings.follow_freewheel_frames;
    config.runOn = m_settings.follow_run_on;
    config.standby = m_settings.standby_enabled;
    config.takeoverFrames = m_settings.standby_takeover_frames;
    const bool artnetIn =
        m_settings.standby_enabled || m_settings.follow_input == QLatin1String("artnet");
    QHostAddress source(m_settings.follow_artnet_source.trimmed());
    const quint32 sourceIp =
        artnetIn && source.protocol() == QAbstractSocket::IPv4Protocol ? source.toIPv4Address() : 0;
    config.primary = sourceIp;
    const QList<AddressEntry> entries = m_platform.addressEntries
                                            ? *m_platform.addressEntries
                                            : ArtnetInterfaces::platformAddressEntries();
    for (const AddressEntry &entry : entries) {
        const QHostAddress ip = entry.entry.ip();
        if (ip.protocol() == QAbstractSocket::IPv4Protocol)
            config.ownAddresses.append({ip.toIPv4Address(), entry.entry.netmask().toIPv4Address()});
    }
    m_follower->configure(config);

    if (m_artnetInput) {
        m_artnetInput->setSource(sourceIp);
        m_artnetInput->setEnabled(m_following && artnetIn);
    }
    if (m_mtcInput) {
        m_mtcInput->selectDevice(m_settings.follow_midi_port);
        m_mtcInput->setEnabled(m_following && !artnetIn &&
                               m_settings.follow_input == QLatin1String("mtc"));
    }
    if (m_ltcInput) {
        m_ltcInput->selectDevice(m_settings.follow_ltc_device);
        m_ltcInput->setEnabled(m_following && !artnetIn &&
                               m_settings.follow_input == QLatin1String("ltc"));
    }
}

void Generator::slotTransportRun(bool bPause, bool bFreeze)
{
    if (m_transport.paused == bPause && m_transport.frozen == bFreeze)
        return;
    m_transport.paused = bPause;
    m_transport.frozen = bFreeze;
    emit signalTransportChanged();
}

void Generator::slotTransportSource(int iFileNumber)
{
    if (iFileNumber == Place::SystemTime) {
        m_transport.source = TransportState::Source::SystemTime;
        m_transport.place = -1;
    } else if (iFileNumber == Place::Follow) {
        m_transport.source = TransportState::Source::Follow;
        m_transport.place = -1;
    } else if (Place::isStoredPlace(iFileNumber)) {
        m_transport.source = TransportState::Source::Place;
        m_transport.place = iFileNumber;
        m_transport.range = m_placesSent[iFileNumber];
    } else {
        return;
    }
    emit signalTransportChanged();
}

void Generator::setRemoteStatus(const QString &text, bool failure)
{
    const StatusFact fact{StatusFact::Remote, text, failure, {}};
    if (fact == m_remoteFact)
        return;
    m_remoteFact = fact;
    emit signalStatusChanged();
}

int Generator::place() const
{
    switch (m_transport.source) {
    case TransportState::Source::SystemTime:
        return Place::SystemTime;
    case TransportState::Source::Place:
        return m_transport.place;
    case TransportState::Source::Follow:
        return Place::Follow;
    case TransportState::Source::None:
        break;
    }
    return -1;
}

TimeCode Generator::sentCode() const
{
    return m_calculator ? m_calculator->sentCode() : TimeCode();
}

void Generator::slotLtcStatus(const QString &text)
{
    m_ltcStatus = text;
    // Queued from the LTC thread: the output may be gone by now.
    m_ltcFailure = !m_ltc || m_ltc->isFailing();
    emit signalStatusChanged();
}

void Generator::slotArtnetStatus(const ArtnetStatus &status)
{
    m_artnetStatus = status;
    emit signalStatusChanged();
}

void Generator::slotMidiStatus(const MidiStatus &status)
{
    const bool couldSend = m_midiStatus.canSend();
    m_midiStatus = status;
    if (couldSend != status.canSend())
        wireMidiFrames();
    emit signalStatusChanged();
}

// A thread that feeds on the timing thread's codes: real time just below it,
// unless the program was started real-time and the thread kept that.
void Generator::promoteOutputThread()
{
    if (sched_getscheduler(0) == SCHED_OTHER)
        RealTime::promoteCurrentThread(1);
}

// The calculator's codes reach everything but the Art-Net send through
// hand-offs, so the timing thread neither allocates nor waits on a receiver's
// queue for them: one on each output's thread (MIDI, LTC), one on this thread
// for what lives here. Each is told only while it has listeners, so an
// output with nothing to send is never woken. A followed clock's jumps take
// MIDI's way, so a locate never overtakes the code before it.
void Generator::createHandOff()
{
    auto *relay = new FrameHandOff; // deleted by stop()
    m_relay = relay;
    m_calculator->addHandOff(relay->queue());
    relay->slotStart();

    m_midiHandOff = handOffOnThreadOf(m_midi);
    m_ltcHandOff = handOffOnThreadOf(m_ltc);
    connect(
        m_follower, &Follower::signalLocate, m_follower,
        [queue = m_midiHandOff->queue()](quint8 h, quint8 m, quint8 s, quint8 f, quint8 type) {
            FrameHandOff::Entry entry;
            entry.kind = FrameHandOff::Entry::Locate;
            entry.code = TimeCode::make(h, m, s, f, type);
            queue->post(entry);
        },
        Qt::DirectConnection);
}

// The output's thread runs already; the hand-off starts listening there.
// Deleted by stop(), before the output, on that thread.
FrameHandOff *Generator::handOffOnThreadOf(QObject *output)
{
    auto *handOff = new FrameHandOff;
    m_calculator->addHandOff(handOff->queue());
    handOff->moveToThread(output->thread());
    QMetaObject::invokeMethod(handOff, &FrameHandOff::slotStart, Qt::QueuedConnection);
    return handOff;
}

void Generator::createCalculator()
{
    auto *calculator = new TimecodeCalculator;
    m_calculator = calculator;
    // The follower lives with the calculator (a child, made before the move
    // to its thread) and drives its frame path; the inputs deliver to it from
    // their own threads.
    m_follower = new Follower(calculator);
    createHandOff();
    QThread *thread = m_threads.adopt(calculator);
    thread->setObjectName(QStringLiteral("calculator"));

    // adopt() already made destroyed -> quit and finished -> deleteLater.
    // Real time is asked for first, on the thread itself, before any frame.
    connect(thread, &QThread::started, calculator, [verbose = m_verbose]() {
        const RealTime::Outcome outcome = RealTime::promoteCurrentThread();
        VerboseLog(verbose, VerboseLog::standardOutput()).line(outcome.text);
    });
    connect(thread, &QThread::started, calculator, &TimecodeCalculator::slotChangedTimeReset);
    connect(thread, &QThread::started, calculator, &TimecodeCalculator::slotStart);
    connect(calculator, &TimecodeCalculator::stoped, calculator, &QObject::deleteLater);
    connect(this, &Generator::signalClickedFile, calculator, &TimecodeCalculator::slotChangedFile);

    // The transport state is kept by slots connected at construction, so it
    // is current before anyone else hears of a change.
    connect(calculator, &TimecodeCalculator::signalChangedFreeze, this,
            &Generator::signalChangedFreeze);
    connect(calculator, &TimecodeCalculator::signalChangedPlayPause, this,
            &Generator::signalChangedPlayPause);
    connect(calculator, &TimecodeCalculator::signalChangedFile, this,
            &Generator::signalChangedFile);
    connect(calculator, &TimecodeCalculator::signalChangedFile, this, [this](int iFileNumber) {
        m_following = iFileNumber == Place::Follow;
        if (!m_following)
            m_followInputStatus.clear();
        rewireFollow();
        emit signalStatusChanged();
    });

    connect(m_follower, &Follower::signalStatus, this, &Generator::slotFollowStatus,
            Qt::QueuedConnection);
    const std::shared_ptr<FollowSink> sink = m_follower->sink();
    m_artnetInput = std::make_shared<ArtnetFollowInput>(sink);
    if (m_artnet)
        m_artnet->setTimeCodeListener(m_artnetInput);
    connectArtnetOutput();
    connectDmxCheck();
    relayFrames();
    wireMidiFrames();
    connectLtcOutput();
    if (m_ltc) {
        // Paused or frozen, the LTC output falls silent at once rather than
        // play out the frames it encoded ahead.
        connect(calculator, &TimecodeCalculator::signalChangedPlayPause, m_ltc,
                &LtcOutput::slotChangedPlayPause);
        connect(calculator, &TimecodeCalculator::signalChangedFreeze, m_ltc,
                &LtcOutput::slotChangedPlayPause);
    }
    connect(calculator, &TimecodeCalculator::signalChangedTimeReset, this,
            &Generator::signalChangedTimeReset);
    connect(calculator, &TimecodeCalculator::signalClose, this, &Generator::slotPlaceExited);

    // The generator starts paused at 00:00:00:00. These run on this thread,
    // so the pause answer reaches whoever listens before the first frame.
    calculator->setPause(true);
    calculator->slotChangedTrueDropFrame(m_settings.true_drop_frame);
    calculator->slotChangedTimeReset();
    // The format shown and the generator must agree from the first frame on.
    m_format = startFormat();
    m_transport.format = m_format;
    if (m_format >= 0)
        calculator->slotChangedFrames(TimeCodeFormat(m_format));

    thread->start(outputPriority());
}

// Every frame relayed to this thread wakes it; a run without a window and
// without anyone listening should not pay for that, so the relays exist only
// once something is connected to them.
void Generator::relayFrames()
{
    if (!m_relay)
        return;
    const auto unique = Qt::ConnectionType(Qt::AutoConnection | Qt::UniqueConnection);
    if (isSignalConnected(QMetaMethod::fromSignal(&Generator::signalArtnetCheckDmxIn)))
        connect(m_relay, &FrameHandOff::signalArtnetCheckDmxIn, this,
                &Generator::signalArtnetCheckDmxIn, unique);
    if (isSignalConnected(QMetaMethod::fromSignal(&Generator::signalSendTimecodeTimeOut)))
        connect(m_relay, &FrameHandOff::signalSendTimecodeTimeOut, this,
                &Generator::signalSendTimecodeTimeOut, unique);
}

void Generator::connectNotify(const QMetaMethod &signal)
{
    if (signal == QMetaMethod::fromSignal(&Generator::signalArtnetCheckDmxIn) ||
        signal == QMetaMethod::fromSignal(&Generator::signalSendTimecodeTimeOut))
        relayFrames();
}

// A remote connects to the frames only while someone watches; when the last
// one goes, so does the wake-up per frame.
//
// A worker that receives other signals calls this from its own thread when it
// is destroyed, so nothing but the signal is looked at before it is known to
// be a frame signal, whose receivers all live on this thread.
void Generator::disconnectNotify(const QMetaMethod &signal)
{
    const bool frames = signal == QMetaMethod::fromSignal(&Generator::signalSendTimecodeTimeOut);
    const bool dmxCheck = signal == QMetaMethod::fromSignal(&Generator::signalArtnetCheckDmxIn);
    if ((!frames && !dmxCheck) || !m_relay || isSignalConnected(signal))
        return;
    if (frames)
        disconnect(m_relay, &FrameHandOff::signalSendTimecodeTimeOut, this,
                   &Generator::signalSendTimecodeTimeOut);
    else
        disconnect(m_relay, &FrameHandOff::signalArtnetCheckDmxIn, this,
                   &Generator::signalArtnetCheckDmxIn);
}

void Generator::createArtnetNode()
{
    m_artnet = m_platform.addressEntries
                   ? new artnet(m_verbose, *m_platform.addressEntries,
                                m_platform.verboseSink ? m_platform.verboseSink
                                                       : VerboseLog::standardOutput())
                   : new artnet(m_verbose);
    // Queued: the node reports from its own thread, and already while binding below.
    connect(m_artnet, &artnet::signalStatus, this, &Generator::slotArtnetStatus,
            Qt::QueuedConnection);
    m_artnet->setShareAddress(true);
    m_artnet->setVersInfoH(2);
    m_artnet->setVersInfoL(0);
    m_artnet->setOemHi(0x0C);
    m_artnet->setOemLo(0x11);
    m_artnet->setNodeNames(QStringLiteral("Orvello"),
                           QStringLiteral("Orvello ") + CommandLineParser::versionText() +
                               QStringLiteral(" by ") + QLatin1String(Maker::WebAddress));
    // Binds the socket here, so it moves to the node's thread with the node.
    m_artnet->setPollReplyEnabled(true);
    m_artnet->setDmxInUniverse(m_settings.dmxInPortAddress());
    m_artnet->setDmxInEnabled(m_settings.dmx_in_enabled);
    m_artnet->selectInterface(m_settings.artnet_interface_name);
    applyArtnetOptions();
    QThread *thread = m_threads.adopt(m_artnet);
    thread->setObjectName(QStringLiteral("artnet"));
    thread->start(outputPriority());
}

// The calculator's thread sends each ArtTimeCode itself on its frame edge,
// before the window and MIDI are told; whether codes go out at all is whether
// the calculator holds the node's sender.
void Generator::connectArtnetOutput()
{
    // Through the follower's gate, which a standby keeps shut until it takes over.
    if (m_calculator && m_artnet && m_settings.artnet_protocol_on)
        m_calculator->setFrameSender(m_follower ? m_follower->gate(m_artnet->timeCodeSender())
                                                : m_artnet->timeCodeSender());
}

void Generator::rewireArtnet()
{
    if (!m_artnet)
        return;
    if (m_calculator)
        m_calculator->setFrameSender(nullptr);
    m_artnet->setDmxInUniverse(m_settings.dmxInPortAddress());
    m_artnet->setDmxInEnabled(m_settings.dmx_in_enabled);
    m_artnet->selectInterface(m_settings.artnet_interface_name);
    applyArtnetOptions();
    connectArtnetOutput();
    connectDmxCheck();
}

void Generator::connectDmxCheck()
{
    if (!m_relay)
        return;
    if (m_settings.dmx_in_enabled)
        connect(m_relay, &FrameHandOff::signalArtnetCheckDmxIn, this,
                &Generator::slotArtnetCheckDmxIn, Qt::UniqueConnection);
    else
        disconnect(m_relay, &FrameHandOff::signalArtnetCheckDmxIn, this,
                   &Generator::slotArtnetCheckDmxIn);
}

void Generator::createPlaylist()
{
    auto *playlist = new Playlist(m_verbose);
    m_playlist = playlist;
    playlist->loadPlaylistFromStore(m_options.playlistPresent, m_options.playlist);
    QThread *thread = m_threads.adopt(playlist);
    thread->setObjectName(QStringLiteral("playlist"));
    connect(thread, &QThread::started, playlist, &Playlist::slotStart);
    // An entry that already matches at start fires now, not 30 s later.
    connect(thread, &QThread::started, playlist, &Playlist::slotSendTimecodeTimeOut);
    connect(playlist, &Playlist::stoped, playlist, &QObject::deleteLater);
    connect(playlist, &Playlist::signalActivatedItem, this, &Generator::signalActivatedItem);
    connect(playlist, &Playlist::signalActivatedItem, this, &Generator::slotActivatedPlaylistItem);
    thread->start(QThread::NormalPriority);
}

void Generator::createMidiOutput()
{
    auto *output = new midi(m_platform.midiService);
    m_midi = output;
    connect(output, &midi::signalStatus, this, &Generator::slotMidiStatus, Qt::QueuedConnection);
    output->setTimecodeType(m_settings.midi_timecode_type);
    output->selectOutputDevice(m_settings.midi_interface_name);
    output->setFrameShift(shiftFor(m_settings.midi_offset));
    QThread *thread = m_threads.adopt(output);
    thread->setObjectName(QStringLiteral("midi"));
    // Quarter frames leave from this thread: at normal priority a busy
    // machine holds a burst back by a time slice or more. Real time, just
    // below the timing thread, as the LTC output.
    connect(thread, &QThread::started, output, &Generator::promoteOutputThread);
    thread->start(outputPriority());
}

// Codes go from the calculator's thread straight to the MIDI thread, where
// its hand-off calls the output directly; whether
// they go at all is the existence of this connection. With no port to send
// to (none yet, the MIDI system gone, or every port refused to open) it does
// not exist either, so a switched-on output without ports costs no queued call
// per frame; the output's rescan reports ports that appear (and gives refused
// ones another chance), and its status brings that here.
void Generator::wireMidiFrames()
{
    if (!m_midiHandOff || !m_midi)
        return;
    if (m_settings.midi_protocol_on && m_midiStatus.canSend()) {
        connect(m_midiHandOff, &FrameHandOff::signalSendTimecodeTimeOut, m_midi,
                &midi::slotSendTimeCode,
                Qt::ConnectionType(Qt::DirectConnection | Qt::UniqueConnection));
        // From the same ring as the codes, so the full frame goes first.
        connect(m_midiHandOff, &FrameHandOff::signalLocate, m_midi, &midi::slotLocate,
                Qt::ConnectionType(Qt::DirectConnection | Qt::UniqueConnection));
    } else {
        disconnect(m_midiHandOff, &FrameHandOff::signalSendTimecodeTimeOut, m_midi,
                   &midi::slotSendTimeCode);
        disconnect(m_midiHandOff, &FrameHandOff::signalLocate, m_midi, &midi::slotLocate);
    }
}

void Generator::rewireMidi()
{
    if (!m_midi)
        return;
    // Direct calls into the worker's thread; midi guards these itself.
    m_midi->setTimecodeType(m_settings.midi_timecode_type);
    m_midi->selectOutputDevice(m_settings.midi_interface_name);
    m_midi->setFrameShift(shiftFor(m_settings.midi_offset));
    wireMidiFrames();
}

void Generator::createLtcOutput()
{
    auto *output = new LtcOutput;
    m_ltc = output;
    output->setEnabled(m_settings.ltc_protocol_on);
    output->setLevel(m_settings.ltc_level);
    output->selectOutputDevice(m_settings.ltc_device);
    applyLtcOptions();
    connect(output, &LtcOutput::signalStatusChanged, this, &Generator::slotLtcStatus);
    QThread *thread = m_threads.adopt(output);
    thread->setObjectName(QStringLiteral("ltc"));
    // The sound card plays only what this thread encoded a frame or two
    // ahead: at normal priority a busy machine holds it up long enough for
    // frames to go missing on the wire. Real time, just below the timing
    // thread, unless the program was started real-time and the thread kept that.
    connect(thread, &QThread::started, output, &Generator::promoteOutputThread);
    connect(thread, &QThread::started, output, &LtcOutput::slotStart);
    thread->start(outputPriority());
}

// Like the other outputs: whether codes reach the LTC output at all is the
// existence of this connection; the switch also opens or closes the device.
void Generator::connectLtcOutput()
{
    if (!m_ltcHandOff || !m_ltc || !m_settings.ltc_protocol_on)
        return;
    // The note first: direct slots run in the order they were connected.
    if (!m_ltcNote)
        m_ltcNote = connect(
            m_ltcHandOff, &FrameHandOff::signalSendTimecodeTimeOut, m_ltc,
            [handOff = m_ltcHandOff.data(), ltc = m_ltc.data()]() {
                ltc->noteCodeSent(handOff->frameAgeMs() * 1000000);
            },
            Qt::DirectConnection);
    connect(m_ltcHandOff, &FrameHandOff::signalSendTimecodeTimeOut, m_ltc,
            &LtcOutput::slotSendTimeCode,
            Qt::ConnectionType(Qt::DirectConnection | Qt::UniqueConnection));
}

void Generator::rewireLtc()
{
    if (!m_ltc)
        return;
    if (m_ltcHandOff)
        disconnect(m_ltcHandOff, &FrameHandOff::signalSendTimecodeTimeOut, m_ltc,
                   &LtcOutput::slotSendTimeCode);
    disconnect(m_ltcNote);
    m_ltcNote = {};
    // Direct calls into the worker's thread; LtcOutput guards these itself.
    m_ltc->setEnabled(m_settings.ltc_protocol_on);
    m_ltc->setLevel(m_settings.ltc_level);
    m_ltc->selectOutputDevice(m_settings.ltc_device);
    applyLtcOptions();
    connectLtcOutput();
}

FrameShift Generator::shiftFor(qint32 offset) const
{
    FrameShift shift;
    shift.frames = qBound(-FrameShift::Limit, int(offset), FrameShift::Limit);
    shift.trueDropFrame = m_settings.true_drop_frame;
    return shift;
}

void Generator::applyArtnetOptions()
{
    m_artnet->setTimeCodeOptions(shiftFor(m_settings.artnet_offset), m_settings.artnet_stream_id);
    // A list with an address that is not one sends to none of it; the
    // settings window refuses such a list at OK.
    QList<QHostAddress> unicast;
    artnet::parseUnicast(m_settings.artnet_unicast, &unicast);
    m_artnet->setDestinationOptions(m_settings.artnet_broadcast, unicast);
}

void Generator::applyLtcOptions()
{
    m_ltc->setFrameShift(shiftFor(m_settings.ltc_offset));
    // A value the store or a file holds that is not one of the three forms
    // sends zeros, as before there were user bits; the settings window
    // refuses such a value at OK.
    UserBits bits;
    UserBits::parse(m_settings.ltc_userbits, &bits);
    m_ltc->setUserBits(bits);
}

void Generator::slotClickedFile(int iFileNumber)
{
    m_placeFromPlaylist = false;
    if (iFileNumber == Place::SystemTime || iFileNumber == Place::Follow) {
        emit signalClickedFile(nullptr, iFileNumber);
    } else if (Place::isStoredPlace(iFileNumber)) {
        // Nobody listening would leak the record it carries.
        if (!m_calculator)
            return;
        auto *record = new SettingStructItem;
        m_settings.copyPlace(iFileNumber, record);
        m_placesSent[iFileNumber] = *record;
        emit signalClickedFile(record, iFileNumber);
    }
}

// Commands are queued to the calculator's thread, like a button's click.
void Generator::slotChangedPlayPause()
{
    if (m_calculator)
        QMetaObject::invokeMethod(m_calculator, &TimecodeCalculator::slotChangedPlayPause,
                                  Qt::QueuedConnection);
}

void Generator::slotChangedFreeze()
{
    if (m_calculator)
        QMetaObject::invokeMethod(m_calculator, &TimecodeCalculator::slotChangedFreeze,
                                  Qt::QueuedConnection);
}

void Generator::slotChangedTimeReset()
{
    if (m_calculator)
        QMetaObject::invokeMethod(m_calculator, &TimecodeCalculator::slotChangedTimeReset,
                                  Qt::QueuedConnection);
}

void Generator::slotChangedFrames(int format)
{
    if (!m_calculator || format < Frame24 || format > Frame30)
        return;
    m_format = format;
    m_transport.format = format;
    QMetaObject::invokeMethod(
        m_calculator,
        [calculator = m_calculator.data(), format]() {
            calculator->slotChangedFrames(TimeCodeFormat(format));
        },
        Qt::QueuedConnection);
    emit signalChangedFrames(format);
    emit signalTransportChanged();
}

void Generator::slotActivatedPlaylistItem(int iPlace)
{
    if (iPlace == -3) {
        slotClickedFile(Place::SystemTime);
    } else if (iPlace == -2) {
        // Kept, so that a restart within the entry's minute is not ended again.
        if (m_playlist)
            m_playlist->saveExitToStore();
        emit signalClose();
    } else if (Place::isStoredPlace(iPlace - 1)) {
        slotClickedFile(iPlace - 1);
        m_placeFromPlaylist = true;
    }
}

void Generator::slotPlaceExited()
{
    // A place the playlist started ends the program like an exit entry.
    if (m_placeFromPlaylist && m_playlist)
        m_playlist->saveExitToStore();
    emit signalClose();
}

// The remote switch gates the check itself, so with it off no channel acts,
// whatever the console keeps sending.
void Generator::slotArtnetCheckDmxIn()
{
    if (!m_settings.dmx_in_enabled)
        return;
    const DmxRemoteAction action = m_dmxRemote.check(m_artnet);
    if (action != DmxRemoteAction::None)
        emit signalDmxRemoteAction(action);
}

void Generator::setPaused(bool paused)
{
    if (!m_calculator)
        return;
    QMetaObject::invokeMethod(
        m_calculator,
        [calculator = m_calculator.data(), paused]() {
            if (calculator->isPaused() != paused)
                calculator->slotChangedPlayPause();
        },
        Qt::QueuedConnection);
}

void Generator::setPlaylistEnabled(bool enabled)
{
    if (!m_playlist)
        return;
    const bool was = m_playlist->enabled.exchange(enabled);
    if (enabled && !was)
        QMetaObject::invokeMethod(m_playlist, &Playlist::slotSendTimecodeTimeOut,
                                  Qt::QueuedConnection);
}

void Generator::perform(const GeneratorCommand &command)
{
    switch (command.kind) {
    case GeneratorCommand::Play:
        setPaused(false);
        break;
    case GeneratorCommand::Pause:
        setPaused(true);
        break;
    case GeneratorCommand::PlayPause:
        slotChangedPlayPause();
        break;
    case GeneratorCommand::Freeze:
        slotChangedFreeze();
        break;
    case GeneratorCommand::Reset:
        slotChangedTimeReset();
        break;
    case GeneratorCommand::Place:
        slotClickedFile(command.value);
        break;
    case GeneratorCommand::Format:
        slotChangedFrames(command.value);
        break;
    case GeneratorCommand::Playlist:
        setPlaylistEnabled(command.value != 0);
        break;
    }
}

GeneratorCommand Generator::commandFor(DmxRemoteAction action)
{
    switch (action) {
    case DmxRemoteAction::Frame24:
        return {GeneratorCommand::Format, Frame24};
    case DmxRemoteAction::Frame25:
        return {GeneratorCommand::Format, Frame25};
    case DmxRemoteAction::Frame30Drop:
        return {GeneratorCommand::Format, Frame30Drop};
    case DmxRemoteAction::Frame30:
        return {GeneratorCommand::Format, Frame30};
    case DmxRemoteAction::TimeReset:
        return {GeneratorCommand::Reset, 0};
    case DmxRemoteAction::Freeze:
        return {GeneratorCommand::Freeze, 0};
    case DmxRemoteAction::PlayPause:
        return {GeneratorCommand::PlayPause, 0};
    default:
        return {GeneratorCommand::Place, DmxRemote::placeNumber(action)};
    }
}
