#include "remotecontrol.h"

#include "transportwords.h"

RemoteControl::RemoteControl(Generator &generator, QObject *parent)
    : RemoteControl(generator, WebServer::Limits(), parent)
{
}

RemoteControl::RemoteControl(Generator &generator, WebServer::Limits limits, QObject *parent)
    : QObject(parent), m_generator(generator),
      m_osc(generator.isVerbose(), generator.verboseSink()),
      m_web([this]() { return status(); }, limits)
{
    Generator *g = &m_generator;
    connect(g, &Generator::signalSettingsApplied, this, &RemoteControl::apply);
    // The Art-Net interfaces are part of the status: OSC follows them.
    connect(g, &Generator::signalStatusChanged, this, [this]() {
        applyOsc();
        m_web.pushStatus();
    });
    connect(g, &Generator::signalChangedPlayPause, this, &RemoteControl::transportChanged);
    connect(g, &Generator::signalChangedFreeze, this, &RemoteControl::transportChanged);
    connect(g, &Generator::signalChangedFile, this, &RemoteControl::transportChanged);
    connect(g, &Generator::signalChangedTimeReset, this, &RemoteControl::transportChanged);
    connect(g, &Generator::signalChangedFrames, this, &RemoteControl::transportChanged);

    connect(&m_osc, &OscServer::commandRequested, this, &RemoteControl::commandRequested);
    connect(&m_web, &WebServer::commandRequested, this, &RemoteControl::commandRequested);
    connect(&m_osc, &OscServer::subscribersChanged, this, &RemoteControl::followFrames);
    connect(&m_web, &WebServer::clientsChanged, this, &RemoteControl::followFrames);
    // Reports tell changes from here on; subscribers learn the state as they come.
    m_lastState = TransportWords::state(m_generator.isPaused(), m_generator.isFrozen());
    m_lastSource = TransportWords::source(m_generator.place());
    m_lastFormat = m_generator.format();
    // A new subscriber learns the state at once, not at the next change.
    connect(&m_osc, &OscServer::subscribed, this, [this]() {
        m_osc.sendState(TransportWords::state(m_generator.isPaused(), m_generator.isFrozen()),
                        TransportWords::source(m_generator.place()));
    });
}

RemoteControl::~RemoteControl()
{
    if (m_followingFrames)
        disconnect(&m_generator, &Generator::signalSendTimecodeTimeOut, this,
                   &RemoteControl::frame);
}

QHostAddress RemoteControl::oscAddress(const QList<ArtnetInterface> &interfaces,
                                       const QString &chosenNetwork)
{
    const QHostAddress chosen(chosenNetwork);
    if (chosen.protocol() != QAbstractSocket::IPv4Protocol || chosen.toIPv4Address() == 0xFFFFFFFFu)
        return QHostAddress(QHostAddress::AnyIPv4);
    const int index = ArtnetInterfaces::indexOfSubnet(interfaces, chosen.toIPv4Address());
    // Commands from a network the operator did not choose are not taken,
    // also while the chosen one is down.
    return index >= 0 ? interfaces.at(index).entry.ip() : QHostAddress(QHostAddress::LocalHost);
}

void RemoteControl::apply()
{
    applyOsc();
    applyWeb();
    updateFact();
}

void RemoteControl::applyOsc()
{
    const SettingStruct &settings = m_generator.settings();
    if (!settings.osc_enabled) {
        const bool was = m_osc.isOpen() || m_oscFailed;
        m_osc.close();
        m_oscFailed = false;
        m_oscPortWanted = 0;
        if (was)
            updateFact();
        return;
    }
    const artnet *node = m_generator.artnetNode();
    const QHostAddress wanted = oscAddress(node ? node->interfaces() : QList<ArtnetInterface>(),
                                           settings.artnet_interface_name);
    // A port that was busy is tried again at the next change of the status.
    if (!m_oscFailed && m_osc.isOpen() && wanted == m_oscWanted &&
        settings.osc_port == m_oscPortWanted)
        return;
    m_oscWanted = wanted;
    m_oscPortWanted = settings.osc_port;
    const bool failedBefore = m_oscFailed;
    m_oscFailed = !m_osc.open(wanted, settings.osc_port);
    if (m_oscFailed != failedBefore || !m_oscFailed)
        updateFact();
}

void RemoteControl::applyWeb()
{
    const SettingStruct &settings = m_generator.settings();
    if (!settings.web_enabled) {
        m_web.close();
        m_webFailed = false;
        m_webPortWanted = 0;
        return;
    }
    if (m_web.isListening() && settings.web_port == m_webPortWanted &&
        settings.web_token == m_webTokenWanted)
        return;
    m_webPortWanted = settings.web_port;
    m_webTokenWanted = settings.web_token;
    m_webFailed = !m_web.listen(settings.web_port, settings.web_token);
    VerboseLog(m_generator.isVerbose(), m_generator.verboseSink())
        .line(m_webFailed ? QStringLiteral("web page: cannot use port %1: %2")
                                .arg(settings.web_port)
                                .arg(m_web.errorString())
                          : QStringLiteral("web page: listening on %1 port %2")
                                .arg(m_web.address().toString())
                                .arg(m_web.port()));
}

void RemoteControl::updateFact()
{
    const SettingStruct &settings = m_generator.settings();
    QStringList parts;
    bool failure = false;
    if (settings.osc_enabled) {
        if (m_osc.isOpen()) {
            const QString where = m_osc.address() == QHostAddress(QHostAddress::AnyIPv4)
                                      ? tr("every address")
                                      : m_osc.address().toString();
            parts << tr("OSC: port %1 on %2").arg(m_osc.port()).arg(where);
        } else {
            parts << tr("OSC: port %1 cannot be used: %2")
                         .arg(settings.osc_port)
                         .arg(m_osc.errorString());
            failure = true;
        }
    }
    if (settings.web_enabled) {
        if (m_web.isListening() && settings.web_token.isEmpty())
            parts << tr("web page: http://127.0.0.1:%1/ (this computer only)").arg(m_web.port());
        else if (m_web.isListening())
            parts << tr("web page: port %1 on every address, commands need the token")
                         .arg(m_web.port());
        else {
            parts << tr("web page: port %1 cannot be used: %2")
                         .arg(settings.web_port)
                         .arg(m_web.errorString());
            failure = true;
        }
    }
    m_generator.setRemoteStatus(parts.join(QStringLiteral("; ")), failure);
}

RemoteStatus RemoteControl::status() const
{
    RemoteStatus s;
    s.code = m_generator.sentCode();
    s.format = qMax(0, m_generator.format());
    s.paused = m_generator.isPaused();
    s.frozen = m_generator.isFrozen();
    s.place = m_generator.place();
    s.facts = m_generator.statusFacts();
    return s;
}

// A place answers with the place and then the play state, in two queued
// signals; one report after both says what happened, not a moment between.
void RemoteControl::transportChanged()
{
    if (m_transportDue)
        return;
    m_transportDue = true;
    QMetaObject::invokeMethod(this, &RemoteControl::reportTransport, Qt::QueuedConnection);
}

void RemoteControl::reportTransport()
{
    m_transportDue = false;
    const QString state = TransportWords::state(m_generator.isPaused(), m_generator.isFrozen());
    const QString source = TransportWords::source(m_generator.place());
    const int format = m_generator.format();
    if (state == m_lastState && source == m_lastSource && format == m_lastFormat)
        return;
    if (state != m_lastState || source != m_lastSource)
        m_osc.sendState(state, source);
    m_lastState = state;
    m_lastSource = source;
    m_lastFormat = format;
    m_web.pushStatus();
}

// Every frame wakes this thread only while someone receives the codes.
void RemoteControl::followFrames()
{
    const bool wanted = m_osc.subscriberCount() > 0 || m_web.clientCount() > 0;
    if (wanted == m_followingFrames)
        return;
    m_followingFrames = wanted;
    if (wanted)
        connect(&m_generator, &Generator::signalSendTimecodeTimeOut, this, &RemoteControl::frame);
    else
        disconnect(&m_generator, &Generator::signalSendTimecodeTimeOut, this,
                   &RemoteControl::frame);
}

void RemoteControl::frame(quint8 hour, quint8 minute, quint8 seconds, quint8 frame, quint8 type)
{
    const TimeCode code = TimeCode::make(hour, minute, seconds, frame, type);
    m_osc.sendCode(code);
    m_web.pushCode(code, TimeCodeMath::framesPerSecond(TimeCodeFormat(type)));
}
