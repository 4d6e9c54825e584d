#include "deviceworker.h"

#include <QMutexLocker>
#include <QTimer>

DeviceWorker::DeviceWorker(int retryMs, bool enabled)
    : QObject(nullptr), m_retryMs(retryMs), m_enabled(enabled)
{
}

void DeviceWorker::setEnabled(bool on)
{
    QMutexLocker lock(&m_lock);
    if (on == m_enabled)
        return;
    m_enabled = on;
    requestCheck();
}

void DeviceWorker::selectDevice(const QString &name)
{
    QMutexLocker lock(&m_lock);
    if (name == m_device)
        return;
    m_device = name;
    m_deviceChanged = true;
    requestCheck();
}

void DeviceWorker::requestCheck()
{
    QMetaObject::invokeMethod(this, &DeviceWorker::slotCheck, Qt::QueuedConnection);
}

QString DeviceWorker::statusText() const
{
    QMutexLocker lock(&m_lock);
    return m_status;
}

bool DeviceWorker::isOpen() const
{
    QMutexLocker lock(&m_lock);
    return m_open;
}

bool DeviceWorker::isFailing() const
{
    QMutexLocker lock(&m_lock);
    return !m_open || m_stalled;
}

void DeviceWorker::slotStart()
{
    if (!m_retry) {
        m_retry = new QTimer(this);
        m_retry->setInterval(m_retryMs);
        connect(m_retry, &QTimer::timeout, this, &DeviceWorker::slotCheck);
        m_retry->start();
    }
    slotCheck();
}

void DeviceWorker::slotCheck()
{
    QMutexLocker lock(&m_lock);
    if (!m_enabled) {
        closeLocked();
        m_stalled = false;
        m_lastResult = -1;
        setStatusLocked(QString());
        return;
    }
    bool stalled = false;
    if (m_open && !m_deviceChanged) {
        if (deviceRunning()) {
            if (m_stalled) {
                m_stalled = false;
                setStatusLocked(openText(false));
            }
            return;
        }
        stalled = true;
    }
    m_stalled = stalled;
    m_deviceChanged = false;
    const bool wasOpen = m_open;
    closeLocked();
    const int result = openDevice(m_device);
    m_open = result == 0;
    if (m_open) {
        setStatusLocked(openText(m_stalled));
    } else {
        m_stalled = false;
        if (result != m_lastResult || wasOpen)
            setStatusLocked(failureText(result, m_device));
    }
    m_lastResult = result;
}

void DeviceWorker::closeLocked()
{
    if (!m_open)
        return;
    closeDevice();
    m_open = false;
}

void DeviceWorker::setStatusLocked(const QString &text)
{
    if (text == m_status)
        return;
    m_status = text;
    emit signalStatusChanged(text);
}
