#include "verboselog.h"

#include "clock.h"
#include "linewriter.h"

#include <QLocale>

#include <utility>

namespace
{
// "4,812": a log is read by people, in English like the rest of it.
QString count(quint64 n)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(qulonglong(n));
}

QString span(qint64 periodMs)
{
    return periodMs <= 1000 ? QStringLiteral("in the last second")
                            : QStringLiteral("in the last %1 seconds").arg(periodMs / 1000);
}
} // namespace

VerboseLog::VerboseLog(bool enabled, Sink sink, const Clock *clock)
    : m_enabled(enabled), m_sink(std::move(sink)), m_clock(clock ? clock : SystemClock::instance())
{
}

VerboseLog::Sink VerboseLog::standardOutput()
{
    return [](const QByteArray &bytes) { LineWriter::standardOutput().append(bytes); };
}

void VerboseLog::line(const QString &text) const
{
    if (!m_enabled || !m_sink)
        return;
    QByteArray bytes;
    for (const QString &part : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (part.trimmed().isEmpty())
            continue;
        bytes += part.toLocal8Bit() + '\n';
    }
    if (!bytes.isEmpty())
        m_sink(bytes);
}

void VerboseLog::received(const QString &kind, const QString &text)
{
    if (!m_enabled || !m_sink)
        return;
    const qint64 now = m_clock->monotonicMs();
    if (m_inPeriod && now - m_periodStartMs >= m_periodMs)
        endPeriod(now);
    if (!m_inPeriod) {
        // Quiet for a whole period since the last one: back to short periods.
        if (now - m_lastEndMs >= m_periodMs)
            m_periodMs = PeriodMs;
        m_inPeriod = true;
        m_periodStartMs = now;
    }
    for (int i = 0; i < m_kindCount; ++i) {
        Kind &known = m_kinds[size_t(i)];
        if (known.name != kind)
            continue;
        if (known.written < Verbatim) {
            ++known.written;
            line(text);
        } else {
            ++known.repeats;
        }
        return;
    }
    if (m_kindCount < Kinds) {
        m_kinds[size_t(m_kindCount++)] = Kind{kind, 1, 0};
        line(text);
        return;
    }
    ++m_others;
}

void VerboseLog::flush()
{
    if (m_inPeriod && m_clock->monotonicMs() - m_periodStartMs >= m_periodMs)
        endPeriod(m_clock->monotonicMs());
}

void VerboseLog::endPeriod(qint64 nowMs)
{
    bool summed = false;
    for (int i = 0; i < m_kindCount; ++i) {
        const Kind &kind = m_kinds[size_t(i)];
        if (kind.repeats == 0)
            continue;
        line(
            QStringLiteral("%1: %2 more %3").arg(kind.name, count(kind.repeats), span(m_periodMs)));
        summed = true;
    }
    if (m_others > 0) {
        line(QStringLiteral("%1 more lines about other received datagrams %2")
                 .arg(count(m_others), span(m_periodMs)));
        summed = true;
    }
    m_kindCount = 0;
    m_others = 0;
    m_inPeriod = false;
    m_lastEndMs = nowMs;
    m_periodMs = summed ? qMin(2 * m_periodMs, LongestPeriodMs) : PeriodMs;
}
