#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Diagnosis lines of the Art-Net node. With verbose on, each line goes out
// with a line end at once, so a console or a pipe sees it while the show
// runs; with verbose off nothing is written. The sink is replaceable
// so tests can read exactly what would have been printed.
class VerboseLog
{
public:
    using Sink = std::function<void(const QByteArray &bytes)>;

    VerboseLog(bool enabled, Sink sink);

    // Hands the line to the writer of standard output (LineWriter), which
    // never makes the node's thread wait for a blocked or closed stream.
    static Sink standardOutput();

    bool enabled() const { return m_enabled; }
    void line(const QString &text) const;

private:
    bool m_enabled;
    Sink m_sink;
};
