#pragma once

#include "artnetinterface.h"
#include "artnetpackets.h"
#include "artnetstatus.h"
#include "clock.h"
#include "pollreplylimiter.h"
#include "timecodesender.h"
#include "verboselog.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class QTimer;
class QUdpSocket;

// Takes the ArtTimeCode of other nodes, for a generator that follows one.
// Called on the node's thread for every valid code whose sender is not this
// machine; it must hand the code on and return, as reception waits meanwhile.
class ArtTimeCodeListener
{
public:
    virtual ~ArtTimeCodeListener() = default;
    // `sender` is the IPv4 address, `arrivalNs` the datagram's arrival at
    // this machine on CLOCK_MONOTONIC (the kernel's stamp, so the time this
    // thread waited to run is not in it).
    virtual void timeCodeReceived(const TimeCode &code, quint32 sender, qint64 arrivalNs) = 0;
};

// The program's Art-Net node: broadcasts an ArtTimeCode for every new code,
// answers ArtPoll so consoles list us, and keeps the latest ArtDmx of one
// universe for the DMX remote control. It lives on a thread of its own; the
// GUI thread still calls selectInterface, setDmxInUniverse, interfaceInfo and
// readDmxIn directly, so the send selection and the DMX store each sit behind
// a lock of their own.
//
// Machines change under a running show: the port may be held by another
// program at start, a network may come up later, an adapter may lose its
// link. So the node tries to bind again once a second while it cannot,
// re-reads the address entries and looks for another program on its port
// every two seconds, and reports through signalStatus what it does,
// destination by destination.
class artnet : public QObject
{
    Q_OBJECT
public:
    using EntrySource = std::function<QList<AddressEntry>()>;
    static constexpr int BindRetryMs = 1000;
    static constexpr int InterfacePollMs = 2000;
    // Another sender is named while its codes keep coming; one that stopped
    // for this long is forgotten.
    static constexpr int OtherSourceHoldMs = 3000;
    static constexpr int HousekeepingMs = 500;
    // A rising frame count alone is reported at most this often: each report
    // re-lays out the window's status line, and a show runs for hours.
    static constexpr int FrameCountReportMs = 1000;

    // Uses the machine's interfaces and writes diagnosis to standard output.
    explicit artnet(bool verbose);
    // Enumerates the given address entries instead, and logs into `sink`.
    artnet(bool verbose, const QList<AddressEntry> &entries, VerboseLog::Sink sink);
    // Reads the entries from `source` at start and at every interface poll;
    // times bind retries, polls and holds by `clock` (the system's if null).
    artnet(bool verbose, EntrySource source, VerboseLog::Sink sink, const Clock *clock);
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
    QList<ArtnetInterface> interfaces() const;

    bool openSocket();
    bool isBound() const { return m_bound; }
    bool prepareSending();
    // Bytes written, -1 socket error, -2 no data, -3 nothing to send or nowhere
    // to send it. Without a destination it goes to the first entry's broadcast.
    qint64 sendDatagram(const char *data, qint64 length, const QHostAddress *destination);

    // Where the next timecode goes: DestIp if given, else the selected
    // destination, else every entry's broadcast address in list order; the
    // broadcasts only while they are on, then the unicast addresses.
    QList<QHostAddress> destinations(const QHostAddress *DestIp = nullptr) const;
    // Broadcasts on or off, and the addresses that get every code directly.
    void setDestinationOptions(bool broadcast, const QList<QHostAddress> &unicast);
    // Dotted IPv4 addresses separated by blanks, none of them 0.0.0.0; false
    // when any is not one, and then `out` is left as it is.
    static bool parseUnicast(const QString &text, QList<QHostAddress> *out);
    // The reply a poll from `poller` gets, or empty when no entry's subnet
    // holds it.
    QByteArray pollReplyFor(const QHostAddress &poller) const;
    ArtnetStatus status() const;
    // Acts on one received datagram as readPackage does. `readFrom` is the
    // socket it was just read from, whose kernel stamp is its arrival; -1
    // takes now.
    void dispatchDatagram(const QByteArray &datagram, const QHostAddress &sender,
                          qintptr readFrom = -1);

    // DMX remote control input. `value` is the port-address (universe - 1).
    bool setDmxInUniverse(quint32 value);
    // Off: ArtDmx is not kept, readDmxIn delivers nothing and polls see no
    // port, so a console that lost the remote also stops being offered it.
    void setDmxInEnabled(bool enabled);
    bool readDmxIn(quint8 *buffer, quint16 &length);

    // Sends ArtTimeCode on the caller's thread, to what slotSendTimeCode would
    // send to; for the timing thread, so a frame does not wait for this one.
    std::shared_ptr<FrameSender> timeCodeSender() const { return m_timeCodeSender; }
    // Every ArtTimeCode carries the code shifted by `shift` and `streamId`.
    void setTimeCodeOptions(const FrameShift &shift, quint8 streamId)
    {
        m_timeCodeSender->setCodeOptions(shift, streamId);
    }

    // Reads the kernel's socket tables: does another program listen on our port?
    void checkPortSharing();

    // Who gets the codes of other nodes; null for nobody. Safe from any
    // thread: after the call returns the old listener is not called again.
    void setTimeCodeListener(std::shared_ptr<ArtTimeCodeListener> listener);
    // This machine's own addresses, so that a follower never takes its own
    // codes for another node's.
    bool isOwnAddress(const QHostAddress &address) const;

signals:
    void signalStatus(const ArtnetStatus &status);

public slots:
    // Reads the address entries again; when they changed, sends to what
    // exists now and selects the operator's network again if it is back.
    void refreshInterfaces();
    // Bind retry, interface poll, other-source expiry and the status report.
    void housekeeping();
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
    // A verbose line caused by a datagram from `sender`, summed up when it repeats.
    void logReceived(const QString &text, const QHostAddress &sender);
    // Caller holds m_selectionLock.
    void applySelection();
    void noteTimeCodeFrom(const QHostAddress &sender);
    void receiveTimeCode(const QByteArray &datagram, const QHostAddress &sender, qintptr readFrom);
    // Emits signalStatus when something the operator sees has changed.
    void publishStatus();
    // Hands the current destinations to the timing thread's send path.
    void publishDestinations();

    VerboseLog m_log;
    EntrySource m_entrySource;
    const Clock *m_clock;
    QList<AddressEntry> m_addressEntries;
    bool m_shareAddress = true;
    QPointer<QUdpSocket> m_socket;
    std::atomic<bool> m_bound{false};
    // Something asked for the socket; until it is bound it is tried again.
    std::atomic<bool> m_bindWanted{false};
    std::atomic<bool> m_portBusy{false};
    qint64 m_lastBindAttemptMs = 0;
    bool m_bindAttempted = false;
    qint64 m_lastInterfaceReadMs = 0;
    qint64 m_lastSharingCheckMs = 0;
    bool m_portShared = false;
    bool m_enumerated = false;
    bool m_sendReady = false;
    QTimer *m_housekeeping = nullptr;

    // Received on the node's thread only.
    QHostAddress m_otherSource;
    qint64 m_otherSourceSeenMs = 0;
    ArtnetStatus m_published;
    bool m_hasPublished = false;
    qint64 m_publishedMs = 0;

    // Send selection and the interface list: the list is rewritten on the
    // node's thread, both are read by the GUI thread and for every send.
    mutable QMutex m_selectionLock;
    QList<ArtnetInterface> m_interfaces;
    QString m_chosenNetwork;
    bool m_singleDestination = false;
    bool m_hasDestination = false;
    bool m_broadcast = true;
    QList<QHostAddress> m_unicast;
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
    // What the owner asked for; answers need a bound socket as well.
    bool m_pollReplyEnabled = false;
    std::shared_ptr<ArtTimeCodeSender> m_timeCodeSender;
    PollReplyLimiter m_pollLimiter;
    QMutex m_listenerLock;
    std::shared_ptr<ArtTimeCodeListener> m_listener;
};
