#include "workerthread.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

QThread *WorkerThreads::adopt(QObject *worker)
{
    auto *thread = new QThread;
    // Direct: quit() is thread-safe, and a queued call would wait for the GUI
    // thread's event loop, which at shutdown is itself waiting for this thread.
    QObject::connect(worker, &QObject::destroyed, thread, &QThread::quit, Qt::DirectConnection);
    // Direct as well: deleteLater() is thread-safe and posts the deletion at
    // once. Queued, only a call of deleteLater would be posted, and after the
    // main loop has ended nothing but a full event pass would ever run it.
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater,
                     Qt::DirectConnection);
    worker->moveToThread(thread);
    m_threads.append(thread);
    return thread;
}

bool WorkerThreads::waitAll(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    bool all = true;
    for (const QPointer<QThread> &thread : std::as_const(m_threads)) {
        if (thread && !thread->wait(deadline))
            all = false;
    }
    // Finished threads posted their deleteLater to this thread; after the main
    // loop has ended nobody else would deliver it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_threads.removeAll(nullptr);
    return all;
}

int WorkerThreads::runningCount() const
{
    int n = 0;
    for (const QPointer<QThread> &thread : m_threads)
        if (thread && thread->isRunning())
            ++n;
    return n;
}
