#include "verboselog.h"

#include "linewriter.h"

#include <utility>

VerboseLog::VerboseLog(bool enabled, Sink sink) : m_enabled(enabled), m_sink(std::move(sink)) {}

VerboseLog::Sink VerboseLog::standardOutput()
{
    return [](const QByteArray &bytes) { LineWriter::standardOutput().append(bytes); };
}

void VerboseLog::line(const QString &text) const
{
    if (!m_enabled || !m_sink)
        return;
    m_sink(text.toLocal8Bit() + '\n');
}
