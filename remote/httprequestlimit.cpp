#include "httprequestlimit.h"

#include <QList>

namespace
{
// The value of a header line "name: value" when its name is `name`
// (case-insensitive), or a null array.
QByteArray headerValue(const QByteArray &line, const char *name)
{
    const int colon = int(line.indexOf(':'));
    if (colon < 0 || line.left(colon).trimmed().toLower() != name)
        return {};
    const QByteArray value = line.mid(colon + 1).trimmed();
    return value.isNull() ? QByteArray("") : value;
}
} // namespace

HttpRequestLimit::Verdict HttpRequestLimit::feed(const char *data, qsizetype size)
{
    qsizetype at = 0;
    while (m_verdict == Fine && !m_upgraded && at < size) {
        if (m_inBody) {
            const qsizetype take = qsizetype(qMin<qint64>(m_bodyLeft, size - at));
            m_bodyLeft -= take;
            at += take;
            if (m_bodyLeft == 0) {
                m_inBody = false;
                ++m_completed;
            }
            continue;
        }
        // The head ends at the first empty line; look only at what is new
        // plus the three bytes before it, where the end may have started.
        const qsizetype before = m_head.size();
        const qsizetype room = MaxHead + 1 - before;
        m_head.append(data + at, qMin(room, size - at));
        const qsizetype end = m_head.indexOf("\r\n\r\n", qMax<qsizetype>(0, before - 3));
        if (end < 0) {
            if (m_head.size() > MaxHead)
                m_verdict = HeadTooLarge;
            at = size;
            continue;
        }
        const qsizetype headLength = end + 4;
        if (headLength > MaxHead) {
            m_verdict = HeadTooLarge;
            continue;
        }
        at += headLength - before;
        m_head.truncate(headLength);
        m_verdict = endOfHead();
        m_head.clear();
    }
    return m_verdict;
}

HttpRequestLimit::Verdict HttpRequestLimit::endOfHead()
{
    const QList<QByteArray> lines = m_head.split('\n');
    qint64 length = 0;
    bool hasLength = false;
    bool upgrade = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        if (!headerValue(line, "transfer-encoding").isNull())
            return LengthRequired;
        if (!headerValue(line, "upgrade").isNull())
            upgrade = true;
        const QByteArray value = headerValue(line, "content-length");
        if (value.isNull())
            continue;
        bool ok = false;
        const qint64 n = value.toLongLong(&ok);
        // Digits only: no sign, no blanks inside, and two lengths must agree.
        if (!ok || value.isEmpty() || value.at(0) < '0' || value.at(0) > '9' ||
            (hasLength && n != length))
            return BadRequest;
        length = n;
        hasLength = true;
    }
    if (length > MaxBody)
        return BodyTooLarge;
    if (upgrade) {
        m_upgraded = true;
        ++m_completed;
        return Fine;
    }
    if (length == 0) {
        ++m_completed;
        return Fine;
    }
    m_inBody = true;
    m_bodyLeft = length;
    return Fine;
}
