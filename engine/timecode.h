#pragma once

#include <QMetaType>
#include <QTime>
#include <QtGlobal>

// Frame formats. The numeric value is also the Type byte of ArtTimeCode and the
// rate code of MIDI Time Code, so the order must not change.
enum TimeCodeFormat : qint32 { Frame24 = 0, Frame25 = 1, Frame30Drop = 2, Frame30 = 3 };

// One timecode value. Five bytes; a change of Type alone is a new code.
struct TimeCode {
    quint8 Frame = 0;
    quint8 Seconds = 0;
    quint8 Minute = 0;
    quint8 Hour = 0;
    quint8 Type = 0;

    // In the order the code travels on signals and slots.
    static TimeCode make(quint8 hour, quint8 minute, quint8 seconds, quint8 frame, quint8 type)
    {
        TimeCode tc;
        tc.Hour = hour;
        tc.Minute = minute;
        tc.Seconds = seconds;
        tc.Frame = frame;
        tc.Type = type;
        return tc;
    }

    bool operator==(const TimeCode &o) const
    {
        return Frame == o.Frame && Seconds == o.Seconds && Minute == o.Minute && Hour == o.Hour &&
               Type == o.Type;
    }
    bool operator!=(const TimeCode &o) const { return !(*this == o); }
};

// Place numbers on signalClickedFile / slotChangedFile / signalChangedFile.
namespace Place
{
constexpr int Follow = -4;     // another clock's code, from an input
constexpr int SystemTime = -3; // place 0, the computer's clock
constexpr int First = 0;       // place 1
constexpr int Last = 8;        // place 9
inline bool isStoredPlace(int n)
{
    return n >= First && n <= Last;
}
} // namespace Place

// One stored place: start and end code in whole seconds, and whether the
// program closes when the end code is passed.
struct SettingStructItem {
    quint8 StartHour = 0;
    quint8 StartMinute = 0;
    quint8 StartSecond = 0;
    quint8 EndHour = 23;
    quint8 EndMinute = 59;
    quint8 EndSecond = 59;
    quint8 ExitAtEnd = 0;

    bool hasStartCode() const { return StartHour != 0 || StartMinute != 0 || StartSecond != 0; }
    // 23:59:59 is the default end and means "no end".
    bool hasEndCode() const { return !(EndHour == 23 && EndMinute == 59 && EndSecond == 59); }

    // Copies all seven fields; a missing source or target leaves things as they are.
    static void copy(const SettingStructItem *from, SettingStructItem *to)
    {
        if (from && to)
            *to = *from;
    }

    // Start and end code as milliseconds since midnight (ms part is 000).
    qint64 startMs() const;
    qint64 endMs() const;
};

namespace TimeCodeMath
{
constexpr qint64 MsPerDay = 24LL * 60 * 60 * 1000;

int framesPerSecond(TimeCodeFormat format);
// Frame within the second for a millisecond 0..999, by truncating division.
quint8 frameOfMillisecond(int msec, TimeCodeFormat format);
// Milliseconds wrapped into one day, 0 .. MsPerDay-1, also for negative input.
qint64 wrapDay(qint64 ms);
// A time of day given as milliseconds since midnight (wrapped) to a code.
TimeCode fromMsOfDay(qint64 ms, TimeCodeFormat format);
TimeCode fromTime(const QTime &time, TimeCodeFormat format);
// First millisecond of frame n within its second: ceil(n * 1000 / fps).
int firstMsOfFrame(int frame, TimeCodeFormat format);
} // namespace TimeCodeMath

Q_DECLARE_METATYPE(TimeCodeFormat)
// Travels on queued signals; the receiver owns and deletes it.
Q_DECLARE_METATYPE(SettingStructItem *)
