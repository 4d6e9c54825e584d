#pragma once

#include "timecode.h"

// An output that takes each new code on the timing thread itself, the moment
// the calculator has it, so the frame leaves on its edge instead of after a
// queued hop to another thread. An implementation holds no lock for longer
// than a send and never waits on an event loop.
class FrameSender
{
public:
    virtual ~FrameSender() = default;
    virtual void sendFrame(const TimeCode &code) = 0;
};
