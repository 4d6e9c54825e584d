#include "updatereply.h"

namespace UpdateReply
{
std::optional<SoftwareVersion> versionInLine(const QByteArray &line)
{
    static const QByteArray marker("version:");
    const qsizetype at = line.toLower().indexOf(marker);
    if (at < 0)
        return std::nullopt;
    SoftwareVersion version{0, 0, 0, 0};
    int next = 0;
    const QList<QByteArray> parts = line.mid(at + marker.size()).split('.');
    for (const QByteArray &part : parts) {
        if (next == int(version.size()))
            break;
        bool ok = false;
        const int value = QString::fromLatin1(part).toInt(&ok);
        // A sign makes no version part; "3.-1" is 3, not 3.-1.
        if (ok && value >= 0)
            version[next++] = value;
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
