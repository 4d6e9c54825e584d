#pragma once

#include <QDateTime>
#include <QtGlobal>

// One date and time record of the playlist: an entry's place and pattern, the
// current time of a tick, or an entry's last activation. Every field starts
// at its wildcard; a field is "given" when it holds anything else.
struct PlaylistTime {
    static constexpr quint8 Wildcard = 0xFF;
    static constexpr quint16 YearWildcard = 0xFFFF;
    // Place codes as the editor and the store write them, signed in one byte.
    static constexpr quint8 PlaceSystemTime = 0xFD; // -3
    static constexpr quint8 PlaceExit = 0xFE;       // -2

    quint8 place = Wildcard;
    quint16 year = YearWildcard;
    quint8 month = Wildcard;
    quint8 day = Wildcard;
    quint8 weekday = Wildcard; // 0 = Monday .. 6 = Sunday
    quint8 hour = Wildcard;
    quint8 minute = Wildcard;

    // The local date and time of `when` to the minute; place stays the wildcard.
    static PlaylistTime fromDateTime(const QDateTime &when);

    bool operator==(const PlaylistTime &o) const
    {
        return place == o.place && year == o.year && month == o.month && day == o.day &&
               weekday == o.weekday && hour == o.hour && minute == o.minute;
    }
    bool operator!=(const PlaylistTime &o) const { return !(*this == o); }
};

// An entry and the current time of the last tick at which it was due.
struct PlaylistItem {
    PlaylistTime entry;
    PlaylistTime lastActivation;
};

// Whether `item` is due at `now`: the pattern matches and this is the first
// tick of a run of matching ticks (once per occurrence).
bool isItemDue(const PlaylistTime &now, const PlaylistItem &item);
