#include "userbits.h"

namespace
{
// How close to midnight a code and the clock must be for the code to count
// as the neighbouring day: well beyond any offset or look-ahead (a second or
// two), far below the hours that separate a place from the clock.
constexpr qint64 MidnightWindowMs = 60 * 1000;
} // namespace

bool UserBits::parse(const QString &text, UserBits *out)
{
    const QString t = text.trimmed();
    UserBits bits;
    if (t.compare(QLatin1String("date"), Qt::CaseInsensitive) == 0) {
        bits.kind = Date;
    } else if (!t.isEmpty()) {
        if (t.size() != 8)
            return false;
        for (const QChar c : t)
            if (!c.isDigit() && !(c.toLower() >= u'a' && c.toLower() <= u'f'))
                return false;
        bits.kind = Fixed;
        bits.value = t.toUInt(nullptr, 16);
    }
    if (out)
        *out = bits;
    return true;
}

QString UserBits::text() const
{
    switch (kind) {
    case Fixed:
        return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
    case Date:
        return QStringLiteral("date");
    case Zero:
        break;
    }
    return QString();
}

QDate dateForCode(const QDateTime &wall, const TimeCode &code)
{
    const qint64 codeMs = ((code.Hour * 60LL + code.Minute) * 60 + code.Seconds) * 1000;
    const qint64 wallMs = wall.time().msecsSinceStartOfDay();
    const QDate today = wall.date();
    if (codeMs < MidnightWindowMs && wallMs > TimeCodeMath::MsPerDay - MidnightWindowMs)
        return today.addDays(1);
    if (codeMs > TimeCodeMath::MsPerDay - MidnightWindowMs && wallMs < MidnightWindowMs)
        return today.addDays(-1);
    return today;
}

QString utcOffsetText(int seconds)
{
    const int minutes = qAbs(seconds) / 60;
    return QStringLiteral("%1%2%3")
        .arg(seconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}
