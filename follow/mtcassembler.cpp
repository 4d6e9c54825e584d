#include "mtcassembler.h"

namespace MtcCode
{
bool isValid(const TimeCode &code)
{
    return code.Type <= Frame30 && code.Hour < 24 && code.Minute < 60 && code.Seconds < 60 &&
           code.Frame < TimeCodeMath::framesPerSecond(TimeCodeFormat(code.Type));
}
} // namespace MtcCode

bool MtcAssembler::feed(const quint8 *bytes, size_t size, qint64 arrivalNs, FollowedCode &out)
{
    if (!bytes || size == 0)
        return false;
    if (bytes[0] == 0xF1)
        return size == 2 && bytes[1] < 0x80 && quarterFrame(bytes[1], arrivalNs, out);
    if (bytes[0] == 0xF0) {
        // A locate: whatever sequence was under way is of the old position.
        m_next = -1;
        return fullFrame(bytes, size, arrivalNs, out);
    }
    return false;
}

bool MtcAssembler::quarterFrame(quint8 data, qint64 arrivalNs, FollowedCode &out)
{
    const int piece = data >> 4;
    if (piece == 0) {
        m_next = 0;
        m_firstNs = arrivalNs;
    }
    if (piece != m_next) {
        m_next = -1;
        return false;
    }
    m_pieces[size_t(piece)] = data & 0x0F;
    if (piece < 7) {
        ++m_next;
        return false;
    }
    m_next = -1;
    const auto &p = m_pieces;
    const TimeCode code =
        TimeCode::make(quint8(p[6] | ((p[7] & 0x01) << 4)), quint8(p[4] | ((p[5] & 0x03) << 4)),
                       quint8(p[2] | ((p[3] & 0x03) << 4)), quint8(p[0] | ((p[1] & 0x01) << 4)),
                       quint8((p[7] >> 1) & 0x03));
    if (!MtcCode::isValid(code))
        return false;
    out = FollowedCode();
    out.code = code;
    out.startNs = m_firstNs;
    // Sent spread over two frames, the next code comes two frames on; sent
    // in one burst per frame (as some generators do), one frame on.
    const qint64 frameNs = 1000000000LL / TimeCodeMath::framesPerSecond(TimeCodeFormat(code.Type));
    out.frames = arrivalNs - m_firstNs > frameNs / 2 ? 2 : 1;
    return true;
}

bool MtcAssembler::fullFrame(const quint8 *bytes, size_t size, qint64 arrivalNs, FollowedCode &out)
{
    // F0 7F <device> 01 01 hr mn sc fr F7; every byte between the two ends a data byte.
    if (size != 10 || bytes[1] != 0x7F || bytes[3] != 0x01 || bytes[4] != 0x01 || bytes[9] != 0xF7)
        return false;
    for (size_t i = 2; i < 9; ++i)
        if (bytes[i] >= 0x80)
            return false;
    const TimeCode code =
        TimeCode::make(bytes[5] & 0x1F, bytes[6], bytes[7], bytes[8], (bytes[5] >> 5) & 0x03);
    if (!MtcCode::isValid(code))
        return false;
    out = FollowedCode();
    out.code = code;
    out.startNs = arrivalNs;
    return true;
}
