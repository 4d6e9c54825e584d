#include "updatereply.h"

#include <algorithm>

namespace UpdateReply
{
std::optional<SoftwareVersion> versionInLine(const QByteArray &line)
{
    static const QByteArray marker("version:");
    const qsizetype at = line.toLower().indexOf(marker);
    if (at < 0)
        return std::nullopt;
    // Up to four dot-separated decimal numbers and nothing else: a damaged
    // line must not offer some version that its digits happen to spell.
    const QList<QByteArray> parts = line.mid(at + marker.size()).trimmed().split('.');
    if (parts.size() > 4)
        return std::nullopt;
    SoftwareVersion version{0, 0, 0, 0};
    for (int i = 0; i < parts.size(); ++i) {
        const QByteArray &part = parts[i];
        const bool digits =
            !part.isEmpty() && part.size() <= 9 &&
            std::all_of(part.cbegin(), part.cend(), [](char c) { return c >= '0' && c <= '9'; });
        if (!digits)
            return std::nullopt;
        version[i] = part.toInt();
    }
    return version;
}

bool isNewer(const SoftwareVersion &offered, const SoftwareVersion &current)
{
    const bool anyPart = offered[0] > 0 || offered[1] > 0 || offered[2] > 0 || offered[3] > 0;
    return anyPart && offered > current;
}

QString toText(const SoftwareVersion &version)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(version[0])
        .arg(version[1])
        .arg(version[2])
        .arg(version[3]);
}
} // namespace UpdateReply

QList<QByteArray> ReplyLines::append(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    if (m_ended || bytes.isEmpty())
        return lines;
    QByteArray taken = bytes.left(room());
    const qsizetype zero = taken.indexOf('\0');
    if (zero >= 0) {
        taken.truncate(zero);
        m_ended = true;
    }
    m_taken += taken.size();
    if (!m_ended && m_taken >= m_limit) {
        m_ended = true;
        m_cutByLimit = true;
    }
    m_partial += taken;
    qsizetype start = 0;
    for (qsizetype end = m_partial.indexOf('\n'); end >= 0; end = m_partial.indexOf('\n', start)) {
        QByteArray line = m_partial.mid(start, end - start);
        // Web servers often end lines with CR LF; the CR belongs to no field.
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
        start = end + 1;
    }
    m_partial.remove(0, start);
    return lines;
}

std::optional<QByteArray> ReplyLines::finish()
{
    m_ended = true;
    QByteArray last;
    last.swap(m_partial);
    if (m_cutByLimit || last.isEmpty())
        return std::nullopt;
    if (last.endsWith('\r'))
        last.chop(1);
    return last;
}
