#pragma once

#include <QtGlobal>

// When a datagram reached this machine, as the kernel saw it, on the
// monotonic clock. A follower learns the other clock's frame grid from
// arrivals; a reading taken by the node's thread once it is scheduled would
// carry every delay of a busy machine into that grid.
namespace ReceiveStamp
{
// Asks the kernel to stamp the socket's datagrams from now on.
void enable(qintptr socket);
// The stamp of the datagram last read from `socket`, or now when the kernel
// has none.
qint64 lastArrivalNs(qintptr socket);
// A wall-clock stamp on the monotonic clock, given both clocks' readings at
// one instant; `monotonicNowNs` for a stamp from the future or older than a
// second (the wall clock was set, or the stamp is not this datagram's).
qint64 toMonotonic(qint64 stampRealNs, qint64 realNowNs, qint64 monotonicNowNs);
} // namespace ReceiveStamp
