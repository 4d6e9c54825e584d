#pragma once

#include <QHash>
#include <QtGlobal>

// Decides whether an ArtPoll gets its ArtPollReply. A poll is 14 bytes and
// its sender address is not checked by anyone, a reply is 240: unlimited, a
// flood of polls, or polls with a forged source, would turn the node into a
// reflector. Consoles poll every 2.5 to 3 s, so a few replies a second per
// source is plenty, and a source that polls at that pace is answered from a
// share of the total that busy sources cannot use up.
class PollReplyLimiter
{
public:
    // At most this many replies within any second to one source address.
    static constexpr int PerSource = 4;
    // Replies a second to sources that polled less than QuietMs ago...
    static constexpr int BusyTotal = 20;
    // ...and, kept apart, to sources new or quiet for QuietMs, as consoles are.
    static constexpr int QuietTotal = 20;
    static constexpr qint64 QuietMs = 1000;
    // Sources remembered at once. Those silent for ForgetMs make room; while
    // none is, a new source shares BusyTotal.
    static constexpr int MaxSources = 1024;
    static constexpr qint64 ForgetMs = 10000;

    // `nowMs` from a monotonic clock.
    bool allow(quint32 source, qint64 nowMs);
    quint64 refused() const { return m_refused; }

private:
    // Tokens in thousandths, refilled by `perSecond` a second up to `perSecond`.
    struct Bucket {
        qint64 milli = -1; // -1: full, never used
        qint64 stampMs = 0;
        qint64 available(int perSecond, qint64 nowMs) const;
        void take(int perSecond, qint64 nowMs);
    };
    struct Source {
        Bucket bucket;
        qint64 lastPollMs = 0;
    };
    void makeRoom(qint64 nowMs);

    QHash<quint32, Source> m_sources;
    Bucket m_busy;
    Bucket m_quiet;
    quint64 m_refused = 0;
    qint64 m_lastSweepMs = -QuietMs;
};
