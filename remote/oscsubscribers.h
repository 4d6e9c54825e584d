#pragma once

#include <QHostAddress>
#include <QList>

// Who gets the code and the state: a peer address and port, kept for a while
// after its last subscribe, the way consoles keep a node while it answers
// their polls. Clients renew before the time runs out.
class OscSubscribers
{
public:
    static constexpr int Max = 16;
    static constexpr qint64 LifetimeMs = 10000;

    struct Subscriber {
        QHostAddress address;
        quint16 port = 0;
        qint64 lastMs = 0; // time of the last subscribe
    };
    enum Result { Added, Renewed, Full };

    // A renewal of a known peer always succeeds; a new one only while fewer
    // than Max are kept (expired ones are dropped first).
    Result subscribe(const QHostAddress &address, quint16 port, qint64 nowMs);
    // Drops those whose last subscribe is LifetimeMs or more before `nowMs`;
    // true when any went.
    bool expire(qint64 nowMs);

    const QList<Subscriber> &list() const { return m_list; }
    int count() const { return int(m_list.size()); }
    void clear() { m_list.clear(); }

private:
    QList<Subscriber> m_list;
};
