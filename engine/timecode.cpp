#include "timecode.h"

qint64 SettingStructItem::startMs() const
{
    return ((StartHour * 60LL + StartMinute) * 60LL + StartSecond) * 1000LL;
}

qint64 SettingStructItem::endMs() const
{
    return ((EndHour * 60LL + EndMinute) * 60LL + EndSecond) * 1000LL;
}

namespace TimeCodeMath
{

int framesPerSecond(TimeCodeFormat format)
{
    switch (format) {
    case Frame24:
        return 24;
    case Frame25:
        return 25;
    case Frame30Drop:
    case Frame30:
        return 30;
    }
    return 30;
}

quint8 frameOfMillisecond(int msec, TimeCodeFormat format)
{
    // 30 drop counts exactly like 30: no frame numbers are skipped; only the
    // Type byte tells the receiver which rate is meant.
    switch (format) {
    case Frame24:
        return quint8(msec * 24 / 1000);
    case Frame25:
        return quint8(msec / 40);
    case Frame30Drop:
    case Frame30:
        return quint8(msec * 30 / 1000);
    }
    return 0;
}

qint64 wrapDay(qint64 ms)
{
    ms %= MsPerDay;
    return ms < 0 ? ms + MsPerDay : ms;
}

TimeCode fromMsOfDay(qint64 ms, TimeCodeFormat format)
{
    ms = wrapDay(ms);
    TimeCode tc;
    const int msec = int(ms % 1000);
    const qint64 secs = ms / 1000;
    tc.Seconds = quint8(secs % 60);
    tc.Minute = quint8((secs / 60) % 60);
    tc.Hour = quint8(secs / 3600);
    tc.Frame = frameOfMillisecond(msec, format);
    tc.Type = quint8(format);
    return tc;
}

TimeCode fromTime(const QTime &time, TimeCodeFormat format)
{
    return fromMsOfDay(time.msecsSinceStartOfDay(), format);
}

int firstMsOfFrame(int frame, TimeCodeFormat format)
{
    const int fps = framesPerSecond(format);
    return (frame * 1000 + fps - 1) / fps;
}

} // namespace TimeCodeMath
