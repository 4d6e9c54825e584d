#include "playlisttime.h"

PlaylistTime PlaylistTime::fromDateTime(const QDateTime &when)
{
    const QDate date = when.date();
    const QTime time = when.time();
    PlaylistTime t;
    t.year = quint16(date.year());
    t.month = quint8(date.month());
    t.day = quint8(date.day());
    t.weekday = quint8(date.dayOfWeek() - 1);
    t.hour = quint8(time.hour());
    t.minute = quint8(time.minute());
    return t;
}

bool isItemDue(const PlaylistTime &now, const PlaylistItem &item)
{
    const PlaylistTime &e = item.entry;
    const PlaylistTime &last = item.lastActivation;

    // 0x80 and above are no place, except the two signed codes.
    if (e.place >= 0x80 && e.place != PlaylistTime::PlaceSystemTime &&
        e.place != PlaylistTime::PlaceExit)
        return false;

    const bool year = e.year != PlaylistTime::YearWildcard;
    const bool month = e.month != PlaylistTime::Wildcard;
    const bool day = e.day != PlaylistTime::Wildcard;
    const bool weekday = e.weekday != PlaylistTime::Wildcard;
    const bool hour = e.hour != PlaylistTime::Wildcard;
    const bool minute = e.minute != PlaylistTime::Wildcard;

    if (!year && !month && !day && !weekday && !hour && !minute)
        return false;
    if ((year && e.year != now.year) || (month && e.month != now.month) ||
        (day && e.day != now.day) || (weekday && e.weekday != now.weekday) ||
        (hour && e.hour != now.hour) || (minute && e.minute != now.minute))
        return false;

    const bool yearChanged = last.year != now.year;
    const bool monthChanged = last.month != now.month;
    const bool dayChanged = last.day != now.day;
    const bool weekdayChanged = last.weekday != now.weekday;
    const bool hourChanged = last.hour != now.hour;
    const bool minuteChanged = last.minute != now.minute;

    // A fully given pattern matches during one minute only; it fires at the
    // first tick of that minute, like any other entry at most once.
    if (year && month && day && weekday && hour && minute)
        return yearChanged || monthChanged || dayChanged || weekdayChanged || hourChanged ||
               minuteChanged;

    // The first changed field at or above the finest wildcard level marks a
    // new occurrence of the pattern.
    if (!year) {
        if (yearChanged)
            return true;
        if (!month && monthChanged)
            return true;
        if (!month && !day) {
            if (dayChanged)
                return true;
            if (!weekday && weekdayChanged)
                return true;
            if (!weekday && !hour) {
                if (hourChanged)
                    return true;
                if (!minute && minuteChanged)
                    return true;
            }
        }
    } else if (yearChanged && month) {
        return true;
    }
    return (monthChanged && day) || (dayChanged && weekday) || (weekdayChanged && hour) ||
           (hourChanged && minute);
}
