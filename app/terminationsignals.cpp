#include "terminationsignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
int pipeFds[2] = {-1, -1};
constexpr int handled[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Nothing useful can be done if the pipe is full: a signal is already pending.
    [[maybe_unused]] const ssize_t written = ::write(pipeFds[0], &byte, 1);
    errno = savedErrno;
}
sigset_t handledSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signalNumber : handled)
        sigaddset(&set, signalNumber);
    return set;
}
} // namespace

bool TerminationSignals::installEarly()
{
    if (pipeFds[0] >= 0)
        return true;
    ::signal(SIGPIPE, SIG_IGN);
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeFds) != 0) {
        pipeFds[0] = pipeFds[1] = -1;
        releaseHeld(); // the default way, for these too
        return false;
    }
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : handled)
        ::sigaction(signalNumber, &action, nullptr);
    // Held over an exec (holdForExec): delivered to the handler now.
    releaseHeld();
    return true;
}

void TerminationSignals::holdForExec()
{
    const sigset_t set = handledSet();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    unsigned char byte = 0;
    // To this thread, which keeps its pending signals across the exec.
    while (pipeFds[1] >= 0 && ::read(pipeFds[1], &byte, 1) == 1)
        ::raise(byte);
}

void TerminationSignals::releaseHeld()
{
    const sigset_t set = handledSet();
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    if (!installEarly())
        return;
    m_notifier = new QSocketNotifier(pipeFds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
}

TerminationSignals::~TerminationSignals()
{
    // The handlers stay: a signal after this point only adds a byte that
    // nobody reads, while the process is ending anyway.
    delete m_notifier;
    m_notifier = nullptr;
}

void TerminationSignals::readSignal()
{
    unsigned char byte = 0;
    while (::read(pipeFds[1], &byte, 1) == 1)
        emit terminationRequested(byte);
}
