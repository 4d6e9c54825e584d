#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <optional>

// Reading the update server's reply: plain text lines, one of them holding
// "version:" and a dotted version number.

// Major, minor, revision, build.
using SoftwareVersion = std::array<int, 4>;

namespace UpdateReply
{
// The version a line offers: the text after the first "version:" (any case),
// without surrounding blanks, when it is one to four dot-separated decimal
// numbers; missing parts are 0. Nothing when the line holds no "version:" or
// anything else after it.
std::optional<SoftwareVersion> versionInLine(const QByteArray &line);

// An all-zero offer is never newer, whatever the running version is.
bool isNewer(const SoftwareVersion &offered, const SoftwareVersion &current);

QString toText(const SoftwareVersion &version);
} // namespace UpdateReply

// Cuts a reply body, as it arrives in pieces, into whole lines, so a line
// split across two network reads is read once and whole. The body ends at its
// first zero byte (what follows is not text) or at `limit` bytes, whichever
// comes first; a line cut by the limit is dropped rather than misread.
class ReplyLines
{
public:
    static constexpr qsizetype DefaultLimit = 64 * 1024;

    explicit ReplyLines(qsizetype limit = DefaultLimit) : m_limit(limit) {}

    // How many more bytes the body may take; 0 once it has ended.
    qsizetype room() const { return m_ended ? 0 : m_limit - m_taken; }
    bool ended() const { return m_ended; }

    // The lines that `bytes` complete, without their line end.
    QList<QByteArray> append(const QByteArray &bytes);

    // The reply is complete: its last line when it had no line end.
    std::optional<QByteArray> finish();

private:
    qsizetype m_limit;
    qsizetype m_taken = 0;
    bool m_ended = false;
    bool m_cutByLimit = false;
    QByteArray m_partial;
};
