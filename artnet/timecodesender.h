#pragma once

#include "destinationtable.h"
#include "dropframe.h"
#include "framesender.h"

#include <QHostAddress>
#include <QList>
#include <QMutex>

#include <atomic>

class artnet;

// The node's send path for the timing thread: writes each ArtTimeCode onto
// the node's own socket from the calling thread, to the node's destinations in
// their order, and counts per destination what left. It sends through a
// duplicate of the socket's descriptor, so the datagrams still leave from
// port 6454 and a socket closed on the node's thread cannot be reused under
// it. Until the node has a socket, a frame goes the queued way to the node,
// which then tries to open one as it always did.
//
// A frame once the socket is there allocates nothing and takes no lock: the
// destinations come from a DestinationTable, the descriptor from an atomic.
class ArtTimeCodeSender : public FrameSender
{
public:
    explicit ArtTimeCodeSender(artnet *node);
    ~ArtTimeCodeSender() override;

    void sendFrame(const TimeCode &code) override;
    // Sends now on the calling thread; false (nothing sent) without a socket.
    bool sendNow(const TimeCode &code);
    // The ArtTimeCode that goes out for the generator's `code`: shifted and
    // with the stream id as set. Safe from any thread.
    QByteArray packetFor(const TimeCode &code) const;
    void setCodeOptions(const FrameShift &shift, quint8 streamId);

    // Called by the node whenever these change.
    void setSocket(qintptr descriptor);
    void setDestinations(const QList<QHostAddress> &targets);
    // The node is going away: nothing is queued to it after this returns.
    void detach();

    const DestinationTable &destinations() const { return m_table; }

private:
    // Guards the node pointer, which only the way without a socket uses.
    QMutex m_lock;
    artnet *m_node;
    std::atomic<bool> m_detached{false};
    std::atomic<int> m_fd{-1};
    std::atomic<bool> m_prepared{false};
    DestinationTable m_table;
    // Shift and stream id in one word, so the sending thread reads them
    // without a lock: bits 0-7 the frames + 128, bit 8 true drop-frame,
    // bits 16-23 the stream id.
    std::atomic<quint32> m_codeOptions{128};
};
