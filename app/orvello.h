#pragma once

#include "commandlineoptions.h"
#include "workerthread.h"

#include <QMainWindow>
#include <QPointer>

class QLabel;
class TimecodeTimer;

// The main window: owns the workers and their threads and turns operator
// actions into worker commands.
class Orvello : public QMainWindow
{
    Q_OBJECT
public:
    explicit Orvello(QWidget *parent = nullptr);
    ~Orvello() override;

    const CommandLineOptions &commandLine() const { return m_options; }
    int runningWorkerThreads() const { return m_threads.runningCount(); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createWorkers();
    void stopWorkers();

    CommandLineOptions m_options;
    bool m_verbose = false;
    QLabel *m_display = nullptr;

    QPointer<TimecodeTimer> m_worker;
    WorkerThreads m_threads;
};
