#pragma once

#include <QList>
#include <QPointer>
#include <QThread>

// Threads of the workers. Each worker is moved to a thread of its own that
// ends when the worker is destroyed and deletes itself when finished; the
// owner keeps weak pointers so it can wait (bounded) for them at shutdown,
// and no thread outlives the objects it uses.
class WorkerThreads
{
public:
    // Creates a thread without parent, wires worker destroyed -> thread quit and
    // thread finished -> thread deleteLater, and moves the worker onto it.
    // The thread is not started.
    QThread *adopt(QObject *worker);

    // Waits until every adopted thread has finished or the time is up; then
    // lets their pending deferred deletions run. True when all finished.
    bool waitAll(int timeoutMs);

    int runningCount() const;

private:
    QList<QPointer<QThread>> m_threads;
};
