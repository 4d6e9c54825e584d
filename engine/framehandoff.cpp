#include "framehandoff.h"

#include <QMetaMethod>
#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

FrameHandOff::Queue::Queue() : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

FrameHandOff::Queue::~Queue()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FrameHandOff::Queue::post(const Entry &entry)
{
    if (!wanted())
        return false;
    const quint32 head = m_head.load(std::memory_order_relaxed);
    if (head - m_tail.load(std::memory_order_acquire) >= Size) {
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    m_entries[head % Size] = entry;
    m_head.store(head + 1, std::memory_order_release);
    // A full counter (never, at 2^64 - 2 unread posts) only fails the wake-up.
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_fd, &one, sizeof one);
    return true;
}

bool FrameHandOff::Queue::take(Entry *entry)
{
    const quint32 tail = m_tail.load(std::memory_order_relaxed);
    if (tail == m_head.load(std::memory_order_acquire))
        return false;
    *entry = m_entries[tail % Size];
    m_tail.store(tail + 1, std::memory_order_release);
    return true;
}

FrameHandOff::FrameHandOff() : m_queue(std::make_shared<Queue>()) {}

// Counted, not asked: Qt may call these with its connection lock held, so
// they must not call back into QObject. A receiver that is destroyed calls
// disconnectNotify from its own thread.
bool FrameHandOff::isFrameSignal(const QMetaMethod &signal)
{
    return signal == QMetaMethod::fromSignal(&FrameHandOff::signalSendTimecodeTimeOut) ||
           signal == QMetaMethod::fromSignal(&FrameHandOff::signalArtnetCheckDmxIn) ||
           signal == QMetaMethod::fromSignal(&FrameHandOff::signalLocate);
}

void FrameHandOff::connectNotify(const QMetaMethod &signal)
{
    if (isFrameSignal(signal))
        m_queue->addListener();
}

void FrameHandOff::disconnectNotify(const QMetaMethod &signal)
{
    if (!signal.isValid()) // every connection went at once
        m_queue->removeAllListeners();
    else if (isFrameSignal(signal))
        m_queue->removeListener();
}

// A receiver destroyed on its own thread tells its senders from its
// destructor, holding its own connection lock. Going away with frame
// receivers left, the ring disconnectNotify counts in would be freed under
// such a call; disconnecting them first takes each receiver's lock, so a
// call under way ends before the ring goes, and none comes after. The other
// signals stay connected: `destroyed` ends this object's thread.
FrameHandOff::~FrameHandOff()
{
    disconnect(this, &FrameHandOff::signalSendTimecodeTimeOut, nullptr, nullptr);
    disconnect(this, &FrameHandOff::signalArtnetCheckDmxIn, nullptr, nullptr);
    disconnect(this, &FrameHandOff::signalLocate, nullptr, nullptr);
    m_queue->removeAllListeners();
}

void FrameHandOff::slotStart()
{
    if (m_notifier || m_queue->descriptor() < 0)
        return;
    m_notifier = new QSocketNotifier(m_queue->descriptor(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &FrameHandOff::deliver);
    // Whatever came before the notifier existed.
    deliver();
}

void FrameHandOff::deliver()
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = ::read(m_queue->descriptor(), &count, sizeof count);
    // Bounded by the ring: what the timing thread adds meanwhile wakes us again.
    Entry entry;
    for (quint32 i = 0; i < Queue::Size && m_queue->take(&entry); ++i) {
        const TimeCode &c = entry.code;
        if (entry.kind == Entry::Locate) {
            emit signalLocate(c.Hour, c.Minute, c.Seconds, c.Frame, c.Type);
            continue;
        }
        if (entry.sent) {
            m_frameAgeMs = entry.frameAgeMs;
            emit signalSendTimecodeTimeOut(c.Hour, c.Minute, c.Seconds, c.Frame, c.Type);
        }
        emit signalArtnetCheckDmxIn();
    }
}
