#pragma once

#include "clock.h"
#include "generatorcommand.h"
#include "oscsubscribers.h"
#include "timecode.h"
#include "verboselog.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

class QTimer;
class QUdpSocket;

// The OSC remote: one UDP socket on the chosen address and port. Commands
// that arrive are handed on through commandRequested; subscribers get the
// code of every frame and the state on every change. Anything else that
// arrives is ignored with one verbose line.
class OscServer : public QObject
{
    Q_OBJECT
public:
    // Datagrams taken per wake-up, so a flood never holds the thread for long.
    static constexpr int BatchSize = 64;

    OscServer(bool verbose, VerboseLog::Sink sink, const Clock *clock = nullptr,
              QObject *parent = nullptr);
    ~OscServer() override;

    // Closes what was open first. False with errorString() when the port
    // cannot be had.
    bool open(const QHostAddress &address, quint16 port);
    void close();
    bool isOpen() const { return m_socket != nullptr; }
    QHostAddress address() const { return m_address; }
    quint16 port() const { return m_port; }
    QString errorString() const { return m_error; }

    int subscriberCount() const { return m_subscribers.count(); }
    // To every subscriber that renewed in time.
    void sendCode(const TimeCode &code);
    void sendState(const QString &state, const QString &source);

signals:
    void commandRequested(const GeneratorCommand &command);
    // A subscriber came or went; the state is sent to a new one at once.
    void subscribersChanged(int count);
    void subscribed(const QHostAddress &address, quint16 port);

private slots:
    void readPending();

private:
    void send(const QByteArray &message);
    void expire();
    void countChanged();

    VerboseLog m_log;
    const Clock *m_clock;
    QUdpSocket *m_socket = nullptr;
    QHostAddress m_address;
    quint16 m_port = 0;
    QString m_error;
    OscSubscribers m_subscribers;
    // Runs while anyone is subscribed, so one who stops renewing is dropped
    // also while no frame goes out.
    QTimer *m_expiry = nullptr;
    QByteArray m_buffer;
};
