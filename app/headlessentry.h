#pragma once

#include "linewriter.h"

#include <QtGlobal>

#include <atomic>

// The console side of the program's entry, shared by `orvello` and by the
// service program that `orvello headless` hands its run to.

// Debug and warning texts of every thread (the MIDI output's errors among
// them) go to standard error through a writer of their own, so a stalled
// stderr never holds up a worker. A fatal text is written at once: the
// process aborts right after. Made before the application object and kept
// until after it, whose end may still report.
class DebugOutput
{
public:
    DebugOutput();
    ~DebugOutput();
    DebugOutput(const DebugOutput &) = delete;
    DebugOutput &operator=(const DebugOutput &) = delete;

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text);

    static inline std::atomic<LineWriter *> s_writer{nullptr};
    LineWriter m_writer;
    QtMessageHandler m_previous = nullptr;
};

// The organisation and application names the settings store is found by.
void setProgramIdentity();

// `orvello headless`: the generator as a console program, until a signal, a
// place or a playlist entry ends it. No platform plugin, no display.
int runHeadless(int argc, char *argv[]);
