#pragma once

#include "timecode.h"

#include <QDateTime>
#include <QString>

// What the 32 user bits of an LTC frame carry: zeros, a fixed value the
// operator chose (eight hexadecimal digits, most significant binary group
// first), or the date and time zone of the computer's clock as SMPTE 309M
// lays them out.
struct UserBits {
    enum Kind { Zero, Fixed, Date };
    Kind kind = Zero;
    quint32 value = 0; // Fixed

    // The setting's text: empty, eight hexadecimal digits, or "date"; blanks
    // around it are ignored, letters in either case. False for anything else.
    static bool parse(const QString &text, UserBits *out);
    // The setting's text of this value, as parse() reads it back.
    QString text() const;

    bool operator==(const UserBits &o) const { return kind == o.kind && value == o.value; }
    bool operator!=(const UserBits &o) const { return !(*this == o); }
};

// The local date that goes with `code` when the clock reads `wall`: the
// clock's own date, except across midnight, where codes a little ahead of
// the clock (an output's offset, frames prepared ahead) already carry the
// next day and codes a little behind still the day before. Codes further
// from the clock (a place) take the clock's date.
QDate dateForCode(const QDateTime &wall, const TimeCode &code);
// "+HHMM" or "-HHMM" of a UTC offset in seconds.
QString utcOffsetText(int seconds);
