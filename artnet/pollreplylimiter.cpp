#include "pollreplylimiter.h"

#include <algorithm>

qint64 PollReplyLimiter::Bucket::available(int perSecond, qint64 nowMs) const
{
    const qint64 full = qint64(perSecond) * 1000;
    if (milli < 0)
        return full;
    return std::min(full, milli + std::max<qint64>(0, nowMs - stampMs) * perSecond);
}

void PollReplyLimiter::Bucket::take(int perSecond, qint64 nowMs)
{
    milli = available(perSecond, nowMs) - 1000;
    stampMs = nowMs;
}

void PollReplyLimiter::makeRoom(qint64 nowMs)
{
    // Only sources silent for longer than any console's poll interval go, so
    // a flood of new addresses cannot push out a console that keeps polling.
    for (auto it = m_sources.begin(); it != m_sources.end();) {
        if (nowMs - it->lastPollMs >= ForgetMs)
            it = m_sources.erase(it);
        else
            ++it;
    }
}

bool PollReplyLimiter::allow(quint32 source, qint64 nowMs)
{
    auto it = m_sources.find(source);
    if (it == m_sources.end()) {
        // The sweep walks the whole table: at most every QuietMs under a flood.
        if (m_sources.size() >= MaxSources && nowMs - m_lastSweepMs >= QuietMs) {
            m_lastSweepMs = nowMs;
            makeRoom(nowMs);
        }
        if (m_sources.size() >= MaxSources) {
            // No room to know this source: it shares what busy sources get.
            if (m_busy.available(BusyTotal, nowMs) < 1000) {
                ++m_refused;
                return false;
            }
            m_busy.take(BusyTotal, nowMs);
            return true;
        }
        it = m_sources.insert(source, Source{{}, nowMs - QuietMs});
    }
    const bool quiet = nowMs - it->lastPollMs >= QuietMs;
    it->lastPollMs = nowMs;
    Bucket &shared = quiet ? m_quiet : m_busy;
    const int sharedRate = quiet ? QuietTotal : BusyTotal;
    if (it->bucket.available(PerSource, nowMs) < 1000 ||
        shared.available(sharedRate, nowMs) < 1000) {
        ++m_refused;
        return false;
    }
    it->bucket.take(PerSource, nowMs);
    shared.take(sharedRate, nowMs);
    return true;
}
