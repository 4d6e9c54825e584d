#pragma once

#include "followedcode.h"

#include <array>
#include <cstddef>

// MIDI Time Code as a receiver reads it: eight quarter frames (status 0xF1,
// pieces 0 to 7 in order) make one code, which is the code of the frame that
// began with piece 0; a full-frame System Exclusive message is one code at
// once. Pieces out of order, a reverse run, messages of the wrong length and
// codes no clock can show are dropped, and the next piece 0 starts afresh.
class MtcAssembler
{
public:
    // One whole MIDI message as the MIDI system delivers it, read at
    // `arrivalNs`. True when it completed a code, which is then in `out`.
    bool feed(const quint8 *bytes, size_t size, qint64 arrivalNs, FollowedCode &out);
    void reset() { m_next = -1; }

private:
    bool quarterFrame(quint8 data, qint64 arrivalNs, FollowedCode &out);
    static bool fullFrame(const quint8 *bytes, size_t size, qint64 arrivalNs, FollowedCode &out);

    std::array<quint8, 8> m_pieces{};
    int m_next = -1; // the piece expected next; -1 waits for a piece 0
    qint64 m_firstNs = 0;
};

namespace MtcCode
{
// A code no clock can show (an hour of 25, frame 31 at 25 fps) is false.
bool isValid(const TimeCode &code);
} // namespace MtcCode
