#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a signal on the GUI thread. A signal
// handler may do almost nothing, so it only writes a byte into a socket pair;
// the event loop reads it and asks for the same orderly end as the close
// button. SIGHUP counts too: the terminal that started us closing is a request
// to end, not a crash, and the keys are saved as at any close.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    // Called first thing in the process (earlystart.cpp), before any
    // library's constructors: from here on these signals wait in the socket
    // pair instead of killing the process, however early they come. Also ignores SIGPIPE, so output
    // to a closed standard output is lost instead of ending the program. Once per process; the pair
    // stays open until the process ends, so a signal during the last steps of exit is harmless.
    // False when it could not be set up.
    static bool installEarly();

    // Before the program replaces itself by exec: the handled signals are
    // blocked, and those caught but not yet read are raised again, so they
    // wait as pending across the exec until the new image's installEarly()
    // takes them.
    static void holdForExec();
    // The exec failed: what was held arrives here again.
    static void releaseHeld();

    // Reads what installEarly() catches (installing it if that has not
    // happened yet). One receiver at a time.
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // False when the socket pair or the handlers could not be set up; the
    // program then ends on those signals the default way.
    bool isInstalled() const { return m_notifier != nullptr; }

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};
