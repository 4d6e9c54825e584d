#include "playlist.h"

#include "edgetimer.h"
#include "linewriter.h"

#include <QMutexLocker>

namespace
{
// With the kernel timer aimed at the half minute, the own timer only stands
// by in case that wake-up is lost.
constexpr int StandByMs = 500;
} // namespace

Playlist::Playlist(bool verbose, const Clock *clock)
    : TimecodeTimer(TickIntervalMs), m_verbose(verbose), m_clock(clock), m_edge(new EdgeTimer(this))
{
    // Fires at the half minute, or at once when the wall clock is set: then
    // the tick looks at the new time and aims again from there.
    connect(m_edge, &EdgeTimer::fired, this, [this]() {
        if (isTimerActive())
            slotSendTimecodeTimeOut();
    });
}

Playlist::~Playlist()
{
    clearItems();
}

int Playlist::itemCount() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_items.size());
}

PlaylistItem Playlist::itemAt(int index) const
{
    QMutexLocker lock(&m_mutex);
    if (index < 0 || index >= m_items.size())
        return PlaylistItem();
    return m_items.at(index);
}

void Playlist::appendItem(const PlaylistTime &entry)
{
    QMutexLocker lock(&m_mutex);
    m_items.append(PlaylistItem{entry, PlaylistTime()});
}

void Playlist::replaceItem(int index, const PlaylistTime &entry)
{
    QMutexLocker lock(&m_mutex);
    if (index >= 0 && index < m_items.size())
        m_items[index] = PlaylistItem{entry, PlaylistTime()};
}

void Playlist::removeLastItem()
{
    QMutexLocker lock(&m_mutex);
    if (!m_items.isEmpty())
        m_items.removeLast();
}

void Playlist::clearItems()
{
    QMutexLocker lock(&m_mutex);
    m_items.clear();
}

void Playlist::takeItemsFrom(Playlist *other)
{
    if (!other || other == this)
        return;
    QMutexLocker lock(&m_mutex);
    clearItems();
    enabled = other->enabled.load();
    m_items = std::move(other->m_items);
    other->m_items.clear();
}

QString Playlist::placeText(quint8 place)
{
    switch (place) {
    case PlaylistTime::PlaceSystemTime:
        return QStringLiteral("ST");
    case PlaylistTime::PlaceExit:
        return QStringLiteral("EX");
    case PlaylistTime::Wildcard:
        return QStringLiteral("--");
    default:
        return QStringLiteral("%1").arg(place, 2, 10, QLatin1Char('0'));
    }
}

QString Playlist::weekdayText(int weekday, bool pad)
{
    QString text;
    switch (weekday) {
    case -1:
        text = QStringLiteral("---------");
        break;
    case 0:
        text = tr("Monday");
        break;
    case 1:
        text = tr("Tuesday");
        break;
    case 2:
        text = tr("Wednesday");
        break;
    case 3:
        text = tr("Thursday");
        break;
    case 4:
        text = tr("Friday");
        break;
    case 5:
        text = tr("Saturday");
        break;
    case 6:
        text = tr("Sunday");
        break;
    default:
        text = QStringLiteral("#########");
        break;
    }
    if (pad && text.size() <= 8)
        text = text.leftJustified(9, QLatin1Char(' '));
    return text;
}

QString Playlist::itemText(const PlaylistTime &record, quint8 place)
{
    const auto two = [](quint8 v) {
        return v == PlaylistTime::Wildcard ? QStringLiteral("--")
                                           : QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
    };
    const QString year = record.year == PlaylistTime::YearWildcard
                             ? QStringLiteral("----")
                             : QStringLiteral("%1").arg(record.year, 4, 10, QLatin1Char('0'));
    return QStringLiteral("%1 date %2/%3/%4 %5 %6:%7")
        .arg(placeText(place), year, two(record.month), two(record.day),
             weekdayText(qint8(record.weekday), true), two(record.hour), two(record.minute));
}

PlaylistItem Playlist::lastEmitted() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastEmitted;
}

void Playlist::setLineSink(LineSink sink)
{
    m_sink = std::move(sink);
}

void Playlist::writeLine(const QString &text) const
{
    const QByteArray line = text.toLatin1() + '\n';
    if (m_sink) {
        m_sink(line);
        return;
    }
    // Never waits for a blocked or closed standard output.
    LineWriter::standardOutput().append(line);
}

void Playlist::aimNextTick(const QDateTime &wall)
{
    // Ticks driven by hand (a playlist that was not started) aim nothing.
    if (!isTimerActive())
        return;
    const QTime time = wall.time();
    m_nextTickMs = TickIntervalMs - (time.second() * 1000 + time.msec()) % TickIntervalMs;
    qint64 ns = 0;
    if (m_clock->wallInstantNs(wall.addMSecs(m_nextTickMs), &ns) &&
        m_edge->armAt(CLOCK_REALTIME, ns)) {
        setNextTick(m_nextTickMs + StandByMs);
        return;
    }
    setNextTick(m_nextTickMs);
}

void Playlist::slotSendTimecodeTimeOut()
{
    const QDateTime wall = m_clock->wallClock();
    aimNextTick(wall);
    const PlaylistTime now = PlaylistTime::fromDateTime(wall);
    if (!enabled)
        return;

    bool found = false;
    quint8 place = PlaylistTime::Wildcard;
    {
        QMutexLocker lock(&m_mutex);
        for (PlaylistItem &item : m_items) {
            if (!isItemDue(now, item))
                continue;
            if (m_verbose)
                writeLine(QStringLiteral("found place ") + itemText(item.entry, item.entry.place));
            item.lastActivation = now;
            found = true;
            place = item.entry.place;
            m_lastEmitted = item;
        }
    }
    if (!found)
        return;
    if (m_verbose)
        writeLine(QStringLiteral("activ place ") + itemText(now, place));
    emit signalActivatedItem(qint8(place));
}
