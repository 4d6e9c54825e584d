#include "oscsubscribers.h"

#include <algorithm>

OscSubscribers::Result OscSubscribers::subscribe(const QHostAddress &address, quint16 port,
                                                 qint64 nowMs)
{
    for (Subscriber &s : m_list) {
        if (s.port == port && s.address.isEqual(address)) {
            s.lastMs = nowMs;
            return Renewed;
        }
    }
    expire(nowMs);
    if (m_list.size() >= Max)
        return Full;
    m_list.append({address, port, nowMs});
    return Added;
}

bool OscSubscribers::expire(qint64 nowMs)
{
    const auto gone = std::remove_if(m_list.begin(), m_list.end(), [nowMs](const Subscriber &s) {
        return nowMs - s.lastMs >= LifetimeMs;
    });
    if (gone == m_list.end())
        return false;
    m_list.erase(gone, m_list.end());
    return true;
}
