#pragma once

#include "dropframe.h"
#include "framesender.h"

#include <QHostAddress>
#include <QList>
#include <QMutex>

#include <netinet/in.h>

#include <atomic>
#include <vector>

class artnet;

// The node's send path for the timing thread: writes each ArtTimeCode onto
// the node's own socket from the calling thread, to the node's destinations in
// their order. It sends through a duplicate of the socket's descriptor, so the
// datagrams still leave from port 6454 and a socket closed on the node's
// thread cannot be reused under it. Until the node has a socket, a frame goes
// the queued way to the node, which then tries to open one as it always did.
class ArtTimeCodeSender : public FrameSender
{
public:
    // `framesSent` is the node's count, raised for every frame that left.
    ArtTimeCodeSender(artnet *node, std::atomic<quint64> &framesSent);
    ~ArtTimeCodeSender() override;

    void sendFrame(const TimeCode &code) override;
    // The ArtTimeCode that goes out for the generator's `code`: shifted and
    // with the stream id as set. Safe from any thread.
    QByteArray packetFor(const TimeCode &code);
    void setCodeOptions(const FrameShift &shift, quint8 streamId);

    // Called by the node whenever these change. -1 drops the socket.
    void setSocket(qintptr descriptor);
    void setDestinations(const QList<QHostAddress> &targets);
    // The node is going away: nothing is sent or queued after this returns.
    void detach();

private:
    void closeSocket();

    QMutex m_lock;
    artnet *m_node;
    std::atomic<quint64> &m_framesSent;
    int m_fd = -1;
    std::vector<sockaddr_in> m_targets;
    bool m_prepared = false;
    FrameShift m_shift;
    quint8 m_streamId = 0;
};
