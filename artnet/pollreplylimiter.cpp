#include "pollreplylimiter.h"

bool PollReplyLimiter::refuse(qint64 nowMs, bool sharedFull)
{
    ++m_refused;
    // Only a share that ran out means pressure; one source over its own
    // limit takes nothing from anyone else.
    if (sharedFull) {
        m_everFull = true;
        m_lastFullMs = nowMs;
    }
    return false;
}

PollReplyLimiter::Console *PollReplyLimiter::console(quint32 address, qint64 nowMs)
{
    for (Console &c : m_consoles) {
        if (!c.used || c.address != address)
            continue;
        if (nowMs - c.source.lastPollMs >= ConsoleForgetMs) {
            c.used = false;
            return nullptr;
        }
        return &c;
    }
    return nullptr;
}

bool PollReplyLimiter::isKnownConsole(quint32 source, qint64 nowMs) const
{
    for (const Console &c : m_consoles)
        if (c.used && c.address == source && nowMs - c.source.lastPollMs < ConsoleForgetMs)
            return true;
    return false;
}

void PollReplyLimiter::learnConsole(quint32 address, const Source &source, qint64 nowMs)
{
    for (Console &c : m_consoles) {
        if (c.used && nowMs - c.source.lastPollMs < ConsoleForgetMs)
            continue;
        c = Console{address, true, source};
        m_sources.remove(address);
        return;
    }
}

bool PollReplyLimiter::allowConsole(Console &console, qint64 nowMs)
{
    Source &source = console.source;
    const bool atPace = nowMs - source.lastPollMs >= QuietMs;
    source.lastPollMs = nowMs;
    if (atPace) {
        // Its last reply is a window old and no console is answered more than
        // once a window, so there is always room; checked all the same.
        if (!m_consoleReplies.hasRoom(nowMs))
            return refuse(nowMs, true);
        m_consoleReplies.add(nowMs);
        source.replies.add(nowMs);
        return true;
    }
    // Faster than its pace: answered like any busy source.
    if (!source.replies.hasRoom(nowMs))
        return refuse(nowMs, false);
    if (!m_busy.hasRoom(nowMs))
        return refuse(nowMs, true);
    source.replies.add(nowMs);
    m_busy.add(nowMs);
    return true;
}

void PollReplyLimiter::makeRoom(qint64 nowMs)
{
    // Only sources silent for longer than any console's poll interval go; a
    // source answered within the window is never among them, so forgetting
    // one cannot let its per-source limit be passed.
    for (auto it = m_sources.begin(); it != m_sources.end();) {
        if (nowMs - it->lastPollMs >= ForgetMs)
            it = m_sources.erase(it);
        else
            ++it;
    }
}

bool PollReplyLimiter::allow(quint32 address, qint64 nowMs)
{
    if (Console *known = console(address, nowMs))
        return allowConsole(*known, nowMs);

    auto it = m_sources.find(address);
    const bool isNew = it == m_sources.end();
    if (isNew) {
        // The sweep walks the whole table: at most every QuietMs under a flood.
        if (m_sources.size() >= MaxSources && nowMs - m_lastSweepMs >= QuietMs) {
            m_lastSweepMs = nowMs;
            makeRoom(nowMs);
        }
        if (m_sources.size() >= MaxSources)
            return refuse(nowMs, true);
        it = m_sources.insert(address, Source{});
    }
    Source &source = *it;
    const bool atPace = isNew || nowMs - source.lastPollMs >= QuietMs;
    source.lastPollMs = nowMs;
    if (!source.replies.hasRoom(nowMs))
        return refuse(nowMs, false);
    if (atPace ? !m_quiet.hasRoom(nowMs) : !m_busy.hasRoom(nowMs))
        return refuse(nowMs, true);
    source.replies.add(nowMs);
    if (atPace)
        m_quiet.add(nowMs);
    else
        m_busy.add(nowMs);
    // Its second poll at pace, and nobody had to be turned away for a while:
    // a console, not a flood.
    if (!isNew && atPace && (!m_everFull || nowMs - m_lastFullMs >= CalmMs))
        learnConsole(address, source, nowMs);
    return true;
}
