#pragma once

#include "artnetinterface.h"
#include "artnetpackets.h"
#include "pollreplylimiter.h"
#include "verboselog.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>

class QTimer;
class QUdpSocket;

// The program's Art-Net node: broadcasts an ArtTimeCode for every new code,
// answers ArtPoll so consoles list us, and keeps the latest ArtDmx of one
// universe for the DMX remote control. It lives on a thread of its own; the
// GUI thread still calls selectInterface, setDmxInUniverse, interfaceInfo and
// readDmxIn directly, so the send selection and the DMX store each sit behind
// a lock of their own.
class artnet : public QObject
{
    Q_OBJECT
public:
    // Uses the machine's interfaces and writes diagnosis to standard output.
    explicit artnet(bool verbose);
    // Enumerates the given address entries instead, and logs into `sink`.
    artnet(bool verbose, const QList<AddressEntry> &entries, VerboseLog::Sink sink);
    ~artnet() override;

    // Identity and bind mode, set by the owner before first use.
    void setShareAddress(bool share) { m_shareAddress = share; }
    void setVersInfoH(quint8 value) { m_versInfoH = value; }
    void setVersInfoL(quint8 value) { m_versInfoL = value; }
    void setOemHi(quint8 value) { m_oemHi = value; }
    void setOemLo(quint8 value) { m_oemLo = value; }
    void setNodeNames(const QString &shortName, const QString &longName);
    void setPollReplyEnabled(bool enabled);

    bool enumerateInterfaces();
    void selectInterface(const QString &address);
    bool interfaceInfo(int index, quint32 &networkAddress, QString &name) const;
    const QList<ArtnetInterface> &interfaces() const { return m_interfaces; }

    bool openSocket();
    bool isBound() const { return m_bound; }
    bool prepareSending();
    // Bytes written, -1 socket error, -2 no data, -3 nothing to send or nowhere
    // to send it. Without a destination it goes to the first entry's broadcast.
    qint64 sendDatagram(const char *data, qint64 length, const QHostAddress *destination);

    // Where the next timecode goes: DestIp if given, else the selected
    // destination, else every entry's broadcast address in list order.
    QList<QHostAddress> destinations(const QHostAddress *DestIp = nullptr) const;
    // The reply a poll from `poller` gets, or empty when no entry's subnet
    // holds it.
    QByteArray pollReplyFor(const QHostAddress &poller) const;
    // Acts on one received datagram as readPackage does.
    void dispatchDatagram(const QByteArray &datagram, const QHostAddress &sender);

    // DMX remote control input. `value` is the port-address (universe - 1).
    bool setDmxInUniverse(quint32 value);
    // Off: ArtDmx is not kept, readDmxIn delivers nothing and polls see no
    // port, so a console that lost the remote also stops being offered it.
    void setDmxInEnabled(bool enabled);
    bool readDmxIn(quint8 *buffer, quint16 &length);

public slots:
    void slotSendTimeCode(quint8 Hour, quint8 Minute, quint8 Seconds, quint8 Frame, quint8 Type,
                          const QHostAddress *DestIp);
    void slotSendTimeCode(quint8 Hour, quint8 Minute, quint8 Seconds, quint8 Frame, quint8 Type);
    // Keep-alive tick; nothing needs re-sending, so it reports -1.
    qint64 sendDataTimeout();
    void readPackage();

private:
    void answerPoll(const QHostAddress &poller);
    bool pollReplyAllowed(const QHostAddress &poller);
    void receiveDmx(const QByteArray &datagram);
    bool bindSocket(QUdpSocket *socket) const;
    bool socketForDmxIn();
    void firstTimeNotice(std::atomic<bool> &flag, const char *text);

    VerboseLog m_log;
    QList<AddressEntry> m_addressEntries;
    bool m_shareAddress = true;
    QPointer<QUdpSocket> m_socket;
    QList<ArtnetInterface> m_interfaces;
    std::atomic<bool> m_bound{false};
    bool m_enumerated = false;
    bool m_sendReady = false;

    // Send selection: written by the GUI thread, read for every send.
    mutable QMutex m_selectionLock;
    bool m_singleDestination = false;
    bool m_hasDestination = false;
    QHostAddress m_destination;

    // DMX input store: written by reception on the node's thread and by the
    // GUI thread's setDmxInUniverse/readDmxIn; all six under one lock so a
    // read never sees half a frame nor loses a new-data mark.
    mutable QMutex m_dmxLock;
    bool m_dmxInEnabled = true;
    bool m_dmxInStarted = false;
    QByteArray m_dmxStore;
    quint16 m_dmxLength = 0;
    bool m_dmxNewData = false;
    quint32 m_portAddress = 0xFFFFFFFF;

    quint8 m_oemHi = 0x00;
    quint8 m_oemLo = 0xFF;
    QTimer *m_keepAlive = nullptr;
    quint8 m_versInfoH = 0;
    quint8 m_versInfoL = 0;
    QString m_shortName;
    QString m_longName;
    QString m_nodeReport;
    bool m_pollReplyEnabled = false;
    PollReplyLimiter m_pollLimiter;
    QElapsedTimer m_pollClock;
};
