#include "mtcmessage.h"

namespace MtcMessage
{

quint8 quarterFrameData(const TimeCode &code, int piece)
{
    switch (piece) {
    case 0:
        return 0x00 | (code.Frame & 0x0F);
    case 1:
        return 0x10 | ((code.Frame >> 4) & 0x01);
    case 2:
        return 0x20 | (code.Seconds & 0x0F);
    case 3:
        return 0x30 | ((code.Seconds >> 4) & 0x03);
    case 4:
        return 0x40 | (code.Minute & 0x0F);
    case 5:
        return 0x50 | ((code.Minute >> 4) & 0x03);
    case 6:
        return 0x60 | (code.Hour & 0x0F);
    case 7:
        // The rate code rides in the last piece, above the hour's top bit.
        return 0x70 | ((code.Type & 0x03) << 1) | ((code.Hour >> 4) & 0x01);
    default:
        return 0;
    }
}

quint32 quarterFrameMessage(const TimeCode &code, int piece)
{
    return quint32(QuarterFrameStatus) | (quint32(quarterFrameData(code, piece)) << 8);
}

int shortFormPieces(const TimeCode &code, const TimeCode &lastSent)
{
    if (code.Type != lastSent.Type || code.Hour != lastSent.Hour)
        return 8;
    if (code.Minute != lastSent.Minute)
        return 6;
    if (code.Seconds != lastSent.Seconds)
        return 4;
    if (code.Frame != lastSent.Frame)
        return 2;
    // The same code again: a receiver that lost sync gets the whole of it.
    return 8;
}

std::array<quint8, FullFrameSize> fullFrame(const TimeCode &code)
{
    return {0xF0,
            0x7F,
            0x7F, // all devices
            0x01, // MIDI Time Code
            0x01, // full message
            quint8((code.Hour & 0x1F) | ((code.Type & 0x03) << 5)),
            code.Minute,
            code.Seconds,
            code.Frame,
            0xF7};
}

} // namespace MtcMessage
