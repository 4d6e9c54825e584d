#pragma once

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// Diagnosis output for a stream that may block (a paused pager, a stalled log
// collector) or be closed. Callers only put text into a bounded queue; one
// thread of the writer's own does the writing, so a blocked stream never
// stalls a worker that logs. When the queue is full, text is dropped and
// counted, and a note with the count takes its place in the stream. Text for
// a closed stream is lost without error.
class LineWriter
{
public:
    static constexpr int DefaultQueueBytes = 256 * 1024;
    // How long the end of the process waits for a blocked stream.
    static constexpr int ExitWaitMs = 300;

    explicit LineWriter(int fd, int maxQueuedBytes = DefaultQueueBytes);
    // Writes what it can within ExitWaitMs, then lets the rest go.
    ~LineWriter();
    LineWriter(const LineWriter &) = delete;
    LineWriter &operator=(const LineWriter &) = delete;

    // The process's standard output, shared by every thread that logs.
    static LineWriter &standardOutput();

    // Never waits for the stream. False when the text was dropped.
    bool append(const QByteArray &text);
    quint64 dropped() const { return m_dropped; }
    // What stands in the stream where `count` lines were dropped.
    static QByteArray droppedNote(quint64 count);

private:
    void run();
    // Writes all of `bytes` unless the stream is closed or, once stopping,
    // the exit deadline passes. False when the rest must be let go.
    bool writeAll(const QByteArray &bytes);

    const int m_fd;
    const int m_maxQueuedBytes;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<QByteArray> m_queue;
    int m_queuedBytes = 0;
    quint64 m_droppedSinceNote = 0;
    bool m_stopping = false;
    std::atomic<quint64> m_dropped{0};
    std::chrono::steady_clock::time_point m_deadline;
    std::thread m_thread;
};
