#include "orvello.h"

#include "timecodetimer.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>

Orvello::Orvello(QWidget *parent) : QMainWindow(parent)
{
    m_options = CommandLineParser::parse(QCoreApplication::arguments());
    m_verbose = m_options.verbosePresent && m_options.verbose;

    setWindowTitle(tr("Orvello"));
    m_display = new QLabel(QStringLiteral("--:--:--:--"), this);
    m_display->setAlignment(Qt::AlignCenter);
    setCentralWidget(m_display);

    createWorkers();
}

Orvello::~Orvello()
{
    stopWorkers();
    // Stop requests are queued; give the threads a bounded moment to end so
    // none outlives the application object.
    m_threads.waitAll(2000);
}

void Orvello::createWorkers()
{
    m_worker = new TimecodeTimer(1000);
    QThread *thread = m_threads.adopt(m_worker);
    connect(thread, &QThread::started, m_worker, &TimecodeTimer::slotStart);
    connect(m_worker, &TimecodeTimer::stoped, m_worker, &QObject::deleteLater);
    thread->start(QThread::HighPriority);
}

void Orvello::stopWorkers()
{
    if (m_worker) {
        m_worker->requestStop();
        m_worker = nullptr;
    }
}

void Orvello::closeEvent(QCloseEvent *event)
{
    stopWorkers();
    event->accept();
}
