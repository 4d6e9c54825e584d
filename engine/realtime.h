#pragma once

#include <QString>

// Real-time scheduling for the timing thread: a frame that waits for a
// compiler or a browser to finish its time slice leaves milliseconds late.
namespace RealTime
{
// The FIFO priority asked for: above every normal thread, below the kernel's
// interrupt threads (50), so a busy timing thread cannot starve the machine.
constexpr int ModestPriority = 20;

// The priority to ask for given what the process may do: the modest one with
// root or CAP_SYS_NICE, else at most the RLIMIT_RTPRIO ceiling; 0 when real
// time is not to be had at all.
int grantablePriority(bool privileged, long rtprioLimit);

struct Outcome {
    bool realTime = false;
    int priority = 0;
    QString text; // one line for the verbose output
};

// Switches the calling thread to SCHED_FIFO when the process may have it and
// leaves it at normal scheduling otherwise, quietly. `below` lowers the
// priority asked for, so a worker that feeds on the timing thread's codes
// never delays them.
Outcome promoteCurrentThread(int below = 0);
} // namespace RealTime
