#include "dropframe.h"

namespace
{
qint64 wrap(qint64 value, qint64 modulus)
{
    value %= modulus;
    return value < 0 ? value + modulus : value;
}

bool dropsLabels(int minute)
{
    return minute % 10 != 0;
}
} // namespace

namespace DropFrame
{

TimeCode labelOfFrame(qint64 frame)
{
    frame = wrap(frame, FramesPerDay);
    const qint64 hour = frame / FramesPerHour;
    qint64 rest = frame % FramesPerHour;
    const qint64 tens = rest / FramesPerTenMinutes;
    rest %= FramesPerTenMinutes;
    // The first minute of ten keeps all 1800 labels; each later one starts at 02.
    qint64 minute = 0;
    qint64 label = rest;
    if (rest >= 1800) {
        minute = 1 + (rest - 1800) / FramesPerMinute;
        label = (rest - 1800) % FramesPerMinute + 2;
    }
    TimeCode tc;
    tc.Hour = quint8(hour);
    tc.Minute = quint8(tens * 10 + minute);
    tc.Seconds = quint8(label / 30);
    tc.Frame = quint8(label % 30);
    tc.Type = quint8(Frame30Drop);
    return tc;
}

qint64 frameOfLabel(const TimeCode &label)
{
    const qint64 minute = label.Minute % 10;
    qint64 inMinute = label.Seconds * 30LL + label.Frame;
    qint64 frame = (label.Hour * 6LL + label.Minute / 10) * FramesPerTenMinutes;
    if (minute == 0) {
        frame += inMinute;
    } else {
        inMinute = qMax<qint64>(inMinute, 2);
        frame += 1800 + (minute - 1) * FramesPerMinute + inMinute - 2;
    }
    return wrap(frame, FramesPerDay);
}

bool isLegalLabel(const TimeCode &label)
{
    return label.Hour < 24 && label.Minute < 60 && label.Seconds < 60 && label.Frame < 30 &&
           !(dropsLabels(label.Minute) && label.Seconds == 0 && label.Frame < 2);
}

TimeCode legalLabel(const TimeCode &label)
{
    TimeCode legal = label;
    if (dropsLabels(label.Minute) && label.Seconds == 0 && label.Frame < 2)
        legal.Frame = 2;
    return legal;
}

qint64 frameAtMs(qint64 ms)
{
    // floor(ms * 30 / 1001), also for negative input.
    const qint64 scaled = ms * 30;
    return scaled >= 0 ? scaled / 1001 : -((-scaled + 1000) / 1001);
}

qint64 firstMsOfFrame(qint64 frame)
{
    // ceil(frame * 1001 / 30)
    const qint64 scaled = frame * 1001;
    return scaled >= 0 ? (scaled + 29) / 30 : -(-scaled / 30);
}

} // namespace DropFrame

TimeCode FrameShift::apply(const TimeCode &code) const
{
    return TimeCodeMath::addFrames(code, frames, trueDropFrame);
}

namespace TimeCodeMath
{

TimeCode addFrames(const TimeCode &code, int frames, bool trueDropFrame)
{
    if (frames == 0 || code.Type > Frame30)
        return code;
    if (trueDropFrame && code.Type == Frame30Drop) {
        if (!DropFrame::isLegalLabel(code))
            return code;
        return DropFrame::labelOfFrame(DropFrame::frameOfLabel(code) + frames);
    }
    const int fps = framesPerSecond(TimeCodeFormat(code.Type));
    if (code.Hour >= 24 || code.Minute >= 60 || code.Seconds >= 60 || code.Frame >= fps)
        return code;
    const qint64 perDay = 24LL * 3600 * fps;
    const qint64 n = wrap(
        ((code.Hour * 60LL + code.Minute) * 60 + code.Seconds) * fps + code.Frame + frames, perDay);
    TimeCode out = code;
    out.Frame = quint8(n % fps);
    out.Seconds = quint8(n / fps % 60);
    out.Minute = quint8(n / fps / 60 % 60);
    out.Hour = quint8(n / fps / 3600);
    return out;
}

} // namespace TimeCodeMath
