#include "headlessrunner.h"

#include "transportwords.h"

#include <QHostAddress>
#include <QTimer>

namespace
{
// A place selection answers with the place and then the play state; one line
// for what happened together reads better in a log.
constexpr int TransportSettleMs = 50;
// The workers report as they start (the MIDI output before and after it
// lists its ports); a status that holds this long is worth a line.
constexpr int StatusSettleMs = 250;

QString midiTypeName(int type)
{
    switch (type) {
    case midi::MidiClockShort:
        return QStringLiteral("MIDI Clock (short)");
    case midi::MidiTimecode:
        return QStringLiteral("MIDI Timecode");
    default:
        return QStringLiteral("MIDI Clock");
    }
}
} // namespace

HeadlessRunner::HeadlessRunner(const QStringList &arguments, VerboseLog::Sink sink,
                               const GeneratorPlatform &platform, QObject *parent)
    : QObject(parent), m_options(CommandLineParser::parse(arguments)),
      m_generator(m_options, platform),
      m_sink(sink ? std::move(sink) : VerboseLog::standardOutput())
{
    Generator *generator = &m_generator;
    connect(generator, &Generator::signalClose, this, &HeadlessRunner::exitRequested);
    // No controls to click: a remote channel acts on the generator directly.
    connect(generator, &Generator::signalDmxRemoteAction, generator,
            &Generator::performRemoteAction);
    connect(&m_remote, &RemoteControl::commandRequested, generator, &Generator::perform);
    if (!m_generator.isVerbose())
        return;
    // Only a verbose run listens to the transport: a quiet service costs the
    // main thread nothing.
    m_transportTimer = new QTimer(this);
    m_transportTimer->setSingleShot(true);
    m_transportTimer->setInterval(TransportSettleMs);
    connect(m_transportTimer, &QTimer::timeout, this, &HeadlessRunner::reportTransportIfChanged);
    // The generator keeps the one transport state the window and the remotes
    // show; a reset keeps naming the place that goes on running.
    connect(generator, &Generator::signalTransportChanged, this, &HeadlessRunner::transportChanged);
    connect(generator, &Generator::signalChangedFrames, this, &HeadlessRunner::transportChanged);
    m_statusTimer = new QTimer(this);
    m_statusTimer->setSingleShot(true);
    m_statusTimer->setInterval(StatusSettleMs);
    connect(m_statusTimer, &QTimer::timeout, this, &HeadlessRunner::reportStatusIfChanged);
    connect(generator, &Generator::signalStatusChanged, this, [this]() {
        if (!m_statusTimer->isActive())
            m_statusTimer->start();
    });
}

HeadlessRunner::~HeadlessRunner()
{
    m_generator.finish();
}

void HeadlessRunner::start()
{
    m_generator.start();
    m_remote.apply();
    write(startLine());
    m_started = true;
    // The state the start left, reported after the start line.
    if (m_transportTimer)
        m_transportTimer->start();
}

QString HeadlessRunner::startLine() const
{
    const QString source = m_options.placePresent ? TransportWords::source(m_options.place)
                                                  : QStringLiteral("paused, no place");
    const Playlist *playlist = m_generator.playlist();
    return QStringLiteral("Orvello %1 headless: %2, %3, %4, playlist %5")
        .arg(CommandLineParser::versionText(),
             TransportWords::format(m_generator.format(), m_generator.settings().true_drop_frame),
             source, outputsText(),
             playlist && playlist->enabled ? QStringLiteral("on") : QStringLiteral("off"));
}

QString HeadlessRunner::outputsText() const
{
    const SettingStruct &settings = m_generator.settings();
    QString artnetText = QStringLiteral("Art-Net off");
    if (settings.artnet_protocol_on && m_generator.artnetNode()) {
        QStringList addresses;
        for (const QHostAddress &address : m_generator.artnetNode()->destinations())
            addresses << address.toString();
        artnetText = QStringLiteral("Art-Net to ") + addresses.join(QLatin1Char(' '));
    }
    QString midiText = QStringLiteral("MIDI off");
    if (midi *output = m_generator.midiOutput(); settings.midi_protocol_on && output) {
        QStringList ports;
        const qint32 selected = output->selectedOutputDevice();
        const int count = output->outputDeviceCount();
        for (int i = 0; i < count; ++i) {
            QString name;
            if ((selected < 0 || selected == i) && output->outputDeviceName(i, name))
                ports << QLatin1Char('"') + name + QLatin1Char('"');
        }
        midiText = ports.isEmpty() ? QStringLiteral("MIDI on, no ports")
                                   : QStringLiteral("MIDI to ") + ports.join(QLatin1Char(' '));
        midiText += QStringLiteral(" (%1)").arg(midiTypeName(int(output->timecodeType())));
    }
    return artnetText + QStringLiteral(", ") + midiText;
}

QString HeadlessRunner::transportText() const
{
    return TransportWords::state(m_generator.isPaused(), m_generator.isFrozen()) +
           QStringLiteral(", ") + TransportWords::source(m_generator.place()) +
           QStringLiteral(", ") +
           TransportWords::format(m_generator.format(), m_generator.settings().true_drop_frame);
}

void HeadlessRunner::write(const QString &line)
{
    m_sink(line.toLocal8Bit() + '\n');
}

QString HeadlessRunner::statusText(bool withCount) const
{
    QStringList texts;
    for (const StatusFact &fact : m_generator.statusFacts(withCount))
        texts << fact.text;
    return texts.join(QStringLiteral("; "));
}

// Printed when a fact changes, with the count of the moment; the count alone
// changing is no news.
void HeadlessRunner::reportStatusIfChanged()
{
    const QString facts = statusText(false);
    if (facts == m_lastStatus)
        return;
    m_lastStatus = facts;
    write(QStringLiteral("status: ") + statusText());
}

void HeadlessRunner::transportChanged()
{
    // Changes during the start wait for the start line.
    if (m_started && !m_transportTimer->isActive())
        m_transportTimer->start();
}

void HeadlessRunner::reportTransportIfChanged()
{
    const QString text = transportText();
    if (text == m_lastTransport)
        return;
    m_lastTransport = text;
    write(QStringLiteral("transport: ") + text);
}
