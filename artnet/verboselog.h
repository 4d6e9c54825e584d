#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>

class Clock;

// Diagnosis lines of the Art-Net node. With verbose on, each line goes out
// with a line end at once, so a console or a pipe sees it while the show
// runs; with verbose off nothing is written. The sink is replaceable
// so tests can read exactly what would have been printed.
//
// Lines caused by received datagrams are in the hands of whoever sends them:
// 600,000 hostile datagrams must not become 600,000 lines in a journal. Such
// a line is written the first few times its kind comes in a period (so the
// odd repeat reads as it always did); further repeats are counted and summed
// up in one line when the period ends ("ArtDmx from 10.77.0.3: 4,812 more in
// the last second"). Only a few kinds get lines of
// their own in a period, the others share one count. A period that needed
// summing up makes the next one twice as long, up to a minute, so a flood
// that goes on for days costs a few lines a minute.
class VerboseLog
{
public:
    using Sink = std::function<void(const QByteArray &bytes)>;
    static constexpr qint64 PeriodMs = 1000;
    static constexpr qint64 LongestPeriodMs = 60000;
    // Kinds with lines of their own in one period...
    static constexpr int Kinds = 8;
    // ...and lines of each written before its repeats are only counted.
    static constexpr int Verbatim = 3;

    // `clock` times the periods (the system's if null).
    VerboseLog(bool enabled, Sink sink, const Clock *clock = nullptr);

    // Hands the line to the writer of standard output (LineWriter), which
    // never makes the node's thread wait for a blocked or closed stream.
    static Sink standardOutput();

    bool enabled() const { return m_enabled; }
    // A line of the program's own. Line ends are its own business: an empty
    // line is never written.
    void line(const QString &text) const;
    // A line caused by a received datagram; `kind` names what came and from
    // whom, and heads the summary of its repeats.
    void received(const QString &kind, const QString &text);
    // Writes the summaries of a period that has ended; call it now and then,
    // so they come also when the datagrams have stopped.
    void flush();

private:
    struct Kind {
        QString name;
        int written = 0;
        quint64 repeats = 0;
    };
    void endPeriod(qint64 nowMs);

    bool m_enabled;
    Sink m_sink;
    const Clock *m_clock;
    std::array<Kind, Kinds> m_kinds;
    int m_kindCount = 0;
    quint64 m_others = 0;
    bool m_inPeriod = false;
    qint64 m_periodStartMs = 0;
    qint64 m_periodMs = PeriodMs;
    qint64 m_lastEndMs = 0;
};
