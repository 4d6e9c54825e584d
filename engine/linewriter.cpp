#include "linewriter.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

namespace
{
// A pipe with room takes this much without blocking (PIPE_BUF).
constexpr size_t ChunkBytes = 4096;
constexpr int PollMs = 50;
} // namespace

LineWriter::LineWriter(int fd, int maxQueuedBytes) : m_fd(fd), m_maxQueuedBytes(maxQueuedBytes)
{
    m_thread = std::thread([this] { run(); });
}

LineWriter::~LineWriter()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stopping = true;
        if (m_droppedSinceNote > 0)
            m_queue.push_back(droppedNote(m_droppedSinceNote));
        m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ExitWaitMs);
    }
    m_wake.notify_one();
    m_thread.join();
}

LineWriter &LineWriter::standardOutput()
{
    static LineWriter writer(STDOUT_FILENO);
    return writer;
}

QByteArray LineWriter::droppedNote(quint64 count)
{
    return "[" + QByteArray::number(count) + " lines dropped: output blocked]\n";
}

bool LineWriter::append(const QByteArray &text)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_stopping || m_queuedBytes + text.size() > m_maxQueuedBytes) {
            ++m_droppedSinceNote;
            ++m_dropped;
            return false;
        }
        // The note stands where the lines went missing.
        if (m_droppedSinceNote > 0) {
            m_queue.push_back(droppedNote(m_droppedSinceNote));
            m_droppedSinceNote = 0;
        }
        m_queue.push_back(text);
        m_queuedBytes += text.size();
    }
    m_wake.notify_one();
    return true;
}

void LineWriter::run()
{
    // A write to a closed pipe raises SIGPIPE in the writing thread; blocked
    // here it only makes write() fail with EPIPE, whatever the program set.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    bool closed = false;
    for (;;) {
        std::deque<QByteArray> batch;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty() && m_stopping)
                return;
            batch.swap(m_queue);
            m_queuedBytes = 0;
        }
        for (const QByteArray &text : batch) {
            if (closed || !writeAll(text)) {
                closed = true;
                break;
            }
        }
        // Past the exit deadline nothing more is written; the loop only empties.
    }
}

bool LineWriter::writeAll(const QByteArray &bytes)
{
    size_t done = 0;
    const size_t size = size_t(bytes.size());
    while (done < size) {
        pollfd ready = {m_fd, POLLOUT, 0};
        const int polled = ::poll(&ready, 1, PollMs);
        if (polled < 0 && errno != EINTR)
            return false;
        if (polled <= 0) {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_stopping && std::chrono::steady_clock::now() >= m_deadline)
                return false;
            continue;
        }
        if (ready.revents & (POLLERR | POLLNVAL))
            return false;
        const ssize_t written =
            ::write(m_fd, bytes.constData() + done, std::min(ChunkBytes, size - done));
        if (written < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return false; // EPIPE and the like: the reader is gone
        }
        done += size_t(written);
    }
    return true;
}
