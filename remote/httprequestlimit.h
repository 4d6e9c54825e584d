#pragma once

#include <QByteArray>

// Watches the bytes a web client sends, before the HTTP server buffers
// them, and says when a request breaks the limits: a head over MaxHead, a
// body over MaxBody, or a body whose length is not declared up front (the
// page never sends one, and a chunked body's size is known only at its end).
// Requests are followed one after the other on a kept-alive connection;
// after a WebSocket upgrade the bytes are frames and no longer looked at.
class HttpRequestLimit
{
public:
    static constexpr qsizetype MaxHead = 8192;
    static constexpr qsizetype MaxBody = 4096;

    enum Verdict {
        Fine,
        BadRequest,     // 400: a length that does not read as one
        LengthRequired, // 411: Transfer-Encoding instead of Content-Length
        BodyTooLarge,   // 413
        HeadTooLarge    // 431
    };

    // Takes the next bytes of the stream. Once a verdict other than Fine was
    // given the connection is to be answered and closed; later calls repeat it.
    Verdict feed(const char *data, qsizetype size);
    // Requests seen whole so far.
    int completed() const { return m_completed; }
    bool upgraded() const { return m_upgraded; }

private:
    Verdict endOfHead();

    QByteArray m_head;
    qint64 m_bodyLeft = 0;
    bool m_inBody = false;
    bool m_upgraded = false;
    int m_completed = 0;
    Verdict m_verdict = Fine;
};
