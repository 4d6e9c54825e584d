#pragma once

#include <QHash>
#include <QtGlobal>

#include <array>

// Decides whether an ArtPoll gets its ArtPollReply. A poll is 14 bytes and
// its sender address is not checked by anyone, a reply is 240: unlimited, a
// flood of polls, or polls with a forged source, would turn the node into a
// reflector. Every limit holds in any one-second window, bursts included.
//
// Consoles poll every 2.5 to 3 s. A forged flood can poll at that pace too,
// from as many addresses as it likes, so pace alone cannot tell a console
// from a flood; what a flood cannot forge is having been there before it. A
// source that polled at least twice, no faster than once a second, while no
// poll had to be refused for a while becomes a known console: it keeps a
// share of its own, one reply per poll, for as long as it keeps that pace.
class PollReplyLimiter
{
public:
    static constexpr qint64 WindowMs = 1000;
    // Replies to one source address.
    static constexpr int PerSource = 4;
    // Replies to sources that polled less than QuietMs ago...
    static constexpr int BusyTotal = 20;
    // ...and to sources new or quiet for QuietMs, known consoles included.
    static constexpr int QuietTotal = 20;
    static constexpr qint64 QuietMs = 1000;
    // Known consoles, each answered once a second at most, so their share of
    // QuietTotal can never run out; the other quiet sources get the rest.
    static constexpr int Consoles = 8;
    static constexpr int Total = BusyTotal + QuietTotal;
    // No shared share ran out for this long: a new console may be learnt.
    static constexpr qint64 CalmMs = 10000;
    // A known console silent for this long is forgotten.
    static constexpr qint64 ConsoleForgetMs = 30000;
    // Sources remembered at once. Those silent for ForgetMs make room; while
    // none is, polls from new sources are not answered.
    static constexpr int MaxSources = 1024;
    static constexpr qint64 ForgetMs = 10000;

    // `nowMs` from a monotonic clock.
    bool allow(quint32 source, qint64 nowMs);
    quint64 refused() const { return m_refused; }
    bool isKnownConsole(quint32 source, qint64 nowMs) const;

private:
    // The last N replies of one kind: room for one more while the oldest of
    // them is at least a window old.
    template <int N> class Window
    {
    public:
        bool hasRoom(qint64 nowMs) const
        {
            return m_count < N || nowMs - m_times[size_t(m_next)] >= WindowMs;
        }
        void add(qint64 nowMs)
        {
            m_times[size_t(m_next)] = nowMs;
            m_next = (m_next + 1) % N;
            m_count = qMin(m_count + 1, N);
        }

    private:
        std::array<qint64, N> m_times{};
        int m_next = 0;
        int m_count = 0;
    };
    struct Source {
        Window<PerSource> replies;
        qint64 lastPollMs = 0;
    };
    struct Console {
        quint32 address = 0;
        bool used = false;
        Source source;
    };

    bool refuse(qint64 nowMs, bool sharedFull);
    bool allowConsole(Console &console, qint64 nowMs);
    Console *console(quint32 address, qint64 nowMs);
    void learnConsole(quint32 address, const Source &source, qint64 nowMs);
    void makeRoom(qint64 nowMs);

    QHash<quint32, Source> m_sources;
    std::array<Console, Consoles> m_consoles{};
    Window<BusyTotal> m_busy;
    Window<QuietTotal - Consoles> m_quiet;
    Window<Consoles> m_consoleReplies;
    quint64 m_refused = 0;
    bool m_everFull = false;
    qint64 m_lastFullMs = 0;
    qint64 m_lastSweepMs = -QuietMs;
};
