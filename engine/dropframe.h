#pragma once

#include "timecode.h"

// True 29.97 drop-frame counting. Frames run at 30000/1001 per second and are
// labelled with 30 frame numbers a second, which gains 108 labels an hour on
// the frames; so labels 00 and 01 are left out at the start of every minute
// except minutes 00, 10, 20, 30, 40 and 50. Ten minutes then hold 17,982
// labels, whose frames last 599.9994 s: the labels gain 0.6 ms on the wall
// clock every ten minutes, and a day of labels is over 86.4 ms before midnight.
//
// Frame numbers count from 00:00:00;00. Everything here is pure arithmetic.
namespace DropFrame
{
constexpr qint64 FramesPerMinute = 1798; // a minute that drops two labels
constexpr qint64 FramesPerTenMinutes = 17982;
constexpr qint64 FramesPerHour = 6 * FramesPerTenMinutes;
constexpr qint64 FramesPerDay = 24 * FramesPerHour; // 2,589,408

// Frame number 0..FramesPerDay-1 (wrapped, negative too) to its label,
// Type Frame30Drop.
TimeCode labelOfFrame(qint64 frame);
// The number of the first legal label at or after `label`: a legal label's
// own number, and for 00 or 01 of a minute that drops them the number of 02.
// Fields are taken as numbers, so hours past 23 wrap into the day.
qint64 frameOfLabel(const TimeCode &label);
bool isLegalLabel(const TimeCode &label);
// The label itself when legal, else the next legal one (02 of that minute).
TimeCode legalLabel(const TimeCode &label);

// Frames at 30000/1001 per second: the frame under millisecond `ms` counted
// from a frame edge, and the first whole millisecond of frame `frame`.
// Exact integer arithmetic, so nothing drifts over a day.
qint64 frameAtMs(qint64 ms);
qint64 firstMsOfFrame(qint64 frame);
} // namespace DropFrame

// How an output moves the generator's code before sending it: `frames`
// ahead (positive) or behind, counted as the generator counts. Receivers
// differ in latency; the shifted code leaves on the same frame edge.
struct FrameShift {
    int frames = 0;
    bool trueDropFrame = false;

    static constexpr int Limit = 30;
    TimeCode apply(const TimeCode &code) const;
    bool operator==(const FrameShift &o) const
    {
        return frames == o.frames && trueDropFrame == o.trueDropFrame;
    }
    bool operator!=(const FrameShift &o) const { return !(*this == o); }
};

namespace TimeCodeMath
{
// The code `frames` frames after `code` (before it when negative), across
// midnight. Type 2 counts the drop-frame way when `trueDropFrame` is set and
// like 30 fps otherwise. A shift of 0, or a code that is not a valid code of
// its Type, gives the code back unchanged.
TimeCode addFrames(const TimeCode &code, int frames, bool trueDropFrame);
} // namespace TimeCodeMath
