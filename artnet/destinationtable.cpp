#include "destinationtable.h"

#include <QMutexLocker>

#include <cerrno>

void DestinationTable::setAddresses(const QList<quint32> &addresses)
{
    QMutexLocker lock(&m_writeLock);
    // The same broadcast address twice (two address entries in one subnet)
    // would send every frame twice to the same receivers.
    QList<quint32> list;
    for (quint32 address : addresses)
        if (!list.contains(address) && list.size() < Capacity)
            list.append(address);

    std::array<int, Capacity> slotOf{};
    std::array<bool, Capacity> kept{};
    for (int i = 0; i < list.size(); ++i) {
        slotOf[size_t(i)] = -1;
        for (int s = 0; s < Capacity; ++s) {
            Slot &slot = m_slots[size_t(s)];
            if (slot.used.load(std::memory_order_relaxed) &&
                slot.address.load(std::memory_order_relaxed) == list.at(i)) {
                slotOf[size_t(i)] = s;
                kept[size_t(s)] = true;
                break;
            }
        }
    }
    for (int i = 0; i < list.size(); ++i) {
        if (slotOf[size_t(i)] >= 0)
            continue;
        int s = 0;
        while (kept[size_t(s)])
            ++s;
        kept[size_t(s)] = true;
        slotOf[size_t(i)] = s;
        // A frame of the address that had this slot may still be counted
        // into it; changing the address first turns that count away.
        Slot &slot = m_slots[size_t(s)];
        slot.address.store(list.at(i), std::memory_order_relaxed);
        slot.sent.store(0, std::memory_order_relaxed);
        slot.error.store(0, std::memory_order_relaxed);
        slot.used.store(true, std::memory_order_relaxed);
    }
    for (int s = 0; s < Capacity; ++s)
        if (!kept[size_t(s)])
            m_slots[size_t(s)].used.store(false, std::memory_order_relaxed);

    const int next = 1 - m_current.load(std::memory_order_relaxed);
    Buffer &buffer = m_buffers[size_t(next)];
    const quint32 version = buffer.version.load(std::memory_order_relaxed);
    buffer.version.store(version + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    buffer.count.store(int(list.size()), std::memory_order_relaxed);
    for (int i = 0; i < list.size(); ++i) {
        buffer.address[size_t(i)].store(list.at(i), std::memory_order_relaxed);
        buffer.slot[size_t(i)].store(slotOf[size_t(i)], std::memory_order_relaxed);
    }
    buffer.version.store(version + 2, std::memory_order_release);
    m_current.store(next, std::memory_order_release);
}

int DestinationTable::targets(Targets &out) const
{
    // Retried only when a change overlapped the copy; each retry finds a
    // change completed, so this ends as soon as the writers pause.
    for (;;) {
        const Buffer &buffer = m_buffers[size_t(m_current.load(std::memory_order_acquire))];
        const quint32 version = buffer.version.load(std::memory_order_acquire);
        if (version & 1)
            continue;
        const int count = qBound(0, buffer.count.load(std::memory_order_relaxed), Capacity);
        for (int i = 0; i < count; ++i) {
            out[size_t(i)].address = buffer.address[size_t(i)].load(std::memory_order_relaxed);
            out[size_t(i)].slot = buffer.slot[size_t(i)].load(std::memory_order_relaxed);
        }
        std::atomic_thread_fence(std::memory_order_acquire);
        if (buffer.version.load(std::memory_order_relaxed) == version)
            return count;
    }
}

void DestinationTable::note(const Target &target, bool sent, int error)
{
    if (target.slot < 0 || target.slot >= Capacity)
        return;
    Slot &slot = m_slots[size_t(target.slot)];
    if (slot.address.load(std::memory_order_relaxed) != target.address)
        return;
    if (sent) {
        slot.sent.fetch_add(1, std::memory_order_relaxed);
        slot.error.store(0, std::memory_order_relaxed);
    } else {
        slot.error.store(error ? error : EIO, std::memory_order_relaxed);
    }
}

QList<DestinationTable::Outcome> DestinationTable::outcomes() const
{
    Targets list;
    const int count = targets(list);
    QList<Outcome> result;
    for (int i = 0; i < count; ++i) {
        const Slot &slot = m_slots[size_t(list[size_t(i)].slot)];
        result.append({list[size_t(i)].address, slot.sent.load(std::memory_order_relaxed),
                       slot.error.load(std::memory_order_relaxed)});
    }
    return result;
}
