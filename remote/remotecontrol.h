#pragma once

#include "generator.h"
#include "generatorcommand.h"
#include "oscserver.h"
#include "remotestatus.h"
#include "webserver.h"

#include <QHostAddress>
#include <QObject>

// Both remotes on one generator, for the window and the headless run alike:
// starts OSC and the web page as the record says (again after every apply),
// feeds them the code, the transport and the status facts, and hands every
// command they receive on through commandRequested, which the owner performs
// as it performs its other commands. Its own state is one fact on the status
// line: where each remote listens, or why it cannot.
class RemoteControl : public QObject
{
    Q_OBJECT
public:
    explicit RemoteControl(Generator &generator, QObject *parent = nullptr);
    RemoteControl(Generator &generator, WebServer::Limits limits, QObject *parent = nullptr);
    ~RemoteControl() override;

    // Opens, moves or closes the two servers to match the record.
    void apply();

    OscServer &osc() { return m_osc; }
    WebServer &web() { return m_web; }
    RemoteStatus status() const;

    // Where OSC listens for the chosen Art-Net network: that interface's own
    // address; every address for "all" (or no choice); this computer alone
    // while the chosen network is not there.
    static QHostAddress oscAddress(const QList<ArtnetInterface> &interfaces,
                                   const QString &chosenNetwork);

signals:
    void commandRequested(const GeneratorCommand &command);

private:
    void applyOsc();
    void applyWeb();
    void transportChanged();
    void reportTransport();
    void followFrames();
    void frame(quint8 hour, quint8 minute, quint8 seconds, quint8 frame, quint8 type);
    void updateFact();

    Generator &m_generator;
    OscServer m_osc;
    WebServer m_web;
    QHostAddress m_oscWanted;
    quint16 m_oscPortWanted = 0;
    bool m_oscFailed = false;
    quint16 m_webPortWanted = 0;
    QString m_webTokenWanted;
    bool m_webFailed = false;
    bool m_followingFrames = false;
    bool m_transportDue = false;
    QString m_lastState;
    QString m_lastSource;
    int m_lastFormat = -2;
};
