#pragma once

#include <QMutex>
#include <QObject>
#include <QString>

class QTimer;

// A device a worker opens only while it is switched on, tries again every
// few seconds while it cannot be opened (a MIDI or audio system started after
// the program, a device plugged in later), and describes for the operator.
// One that stays open yet stops working (a device that takes no more samples)
// is reopened, and counts as failing until it is seen working again.
//
// Threads: lives on the worker's own thread. Other threads switch it, name
// the device and read its state by direct calls, guarded by one mutex held
// briefly; what the device does is asked for on the worker's thread.
class DeviceWorker : public QObject
{
    Q_OBJECT
public:
    // Off, nothing is open and nothing is retried. Takes effect on the worker's thread.
    void setEnabled(bool on);
    // A new name reopens the device, on the worker's thread.
    void selectDevice(const QString &name);
    QString statusText() const;
    bool isOpen() const;
    // Closed, or it stopped working on its own and has not been seen working
    // again since it was reopened.
    bool isFailing() const;

signals:
    void signalStatusChanged(const QString &text);

public slots:
    // Starts the retries; call on the worker's thread once it runs.
    void slotStart();
    // Opens, reopens or closes the device as the switch, the name and the
    // device's state ask; the retry timer calls it.
    void slotCheck();

protected:
    DeviceWorker(int retryMs, bool enabled);

    // Each under m_lock. openDevice returns 0 when open (the Ok of the
    // devices' result codes), otherwise a code failureText() puts in words.
    virtual int openDevice(const QString &name) = 0;
    virtual void closeDevice() = 0;
    virtual bool deviceRunning() = 0;
    // The status while open; `reopened` after it had stopped working.
    virtual QString openText(bool reopened) const = 0;
    virtual QString failureText(int result, const QString &device) const = 0;

    // Under m_lock.
    bool openLocked() const { return m_open; }
    void closeLocked();

    mutable QMutex m_lock;

private:
    void requestCheck();
    void setStatusLocked(const QString &text);

    const int m_retryMs;
    QTimer *m_retry = nullptr;
    bool m_enabled;
    QString m_device;
    bool m_deviceChanged = false;
    bool m_open = false;
    bool m_stalled = false;
    int m_lastResult = -1;
    QString m_status;
};
