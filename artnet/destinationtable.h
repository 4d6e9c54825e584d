#pragma once

#include <QList>
#include <QMutex>
#include <QtGlobal>

#include <array>
#include <atomic>

// Where each ArtTimeCode goes, and what became of the frames sent to each
// address: how many left, and why the last one did not, until one does again.
// The list is changed now and then on the node's and the GUI thread; it is
// read, and counted into, for every frame on the timing thread, which must
// neither allocate nor wait for anyone. So the list lives in two fixed
// buffers: a change fills the one not in use and then switches, and a reader
// that overlapped a change simply reads again. Counts live in slots of their
// own that follow an address from list to list, so an address that stays
// keeps its count whatever else changes around it.
class DestinationTable
{
public:
    // Broadcast addresses of every adapter and, later, unicast ones.
    static constexpr int Capacity = 64;

    struct Target {
        quint32 address = 0; // IPv4, host order
        int slot = 0;
    };
    using Targets = std::array<Target, Capacity>;

    struct Outcome {
        quint32 address = 0;
        quint64 sent = 0;
        // errno of the last attempt when it failed, 0 while frames leave.
        int error = 0;
    };

    // Addresses past Capacity are left out. Safe from any thread.
    void setAddresses(const QList<quint32> &addresses);
    // Copies the current list into `out` and returns its length. Never waits.
    int targets(Targets &out) const;
    // What the send to `target` did: bytes handed to the system, or -1 and errno.
    void note(const Target &target, bool sent, int error);
    // The current list in its order, with counts.
    QList<Outcome> outcomes() const;

private:
    struct Buffer {
        // Odd while the buffer is being filled.
        std::atomic<quint32> version{0};
        std::atomic<int> count{0};
        std::array<std::atomic<quint32>, Capacity> address{};
        std::array<std::atomic<int>, Capacity> slot{};
    };
    struct Slot {
        std::atomic<bool> used{false};
        std::atomic<quint32> address{0};
        std::atomic<quint64> sent{0};
        std::atomic<int> error{0};
    };

    // Writers only; a reader never touches it.
    QMutex m_writeLock;
    std::array<Buffer, 2> m_buffers;
    std::atomic<int> m_current{0};
    std::array<Slot, Capacity> m_slots;
};
