#pragma once

#include "timecode.h"

#include <QMetaType>
#include <QMutex>
#include <QPointer>

#include <memory>

// One code read from another clock, as every input hands it on.
struct FollowedCode {
    TimeCode code;
    // CLOCK_MONOTONIC instant at which the code's frame began, as near as the
    // input can tell: an ArtTimeCode's arrival, the first sample of an LTC
    // frame, the first quarter frame of an MTC sequence.
    qint64 startNs = 0;
    // Frames until the input's next code: 2 for MTC sent in quarter frames
    // over two frames, 1 for everything else.
    int frames = 1;
    // The IPv4 address of an Art-Net sender; 0 for the other inputs.
    quint32 source = 0;
};
Q_DECLARE_METATYPE(FollowedCode)

// Where the inputs deliver, from whatever thread they read on. The follower
// detaches it before it goes, and a delivery is never half made while that
// happens, so no code is posted to an object that is being destroyed.
class FollowSink
{
public:
    explicit FollowSink(QObject *target, const char *slot) : m_target(target), m_slot(slot) {}

    void deliver(const FollowedCode &code)
    {
        QMutexLocker lock(&m_lock);
        if (m_target)
            QMetaObject::invokeMethod(m_target, m_slot, Qt::QueuedConnection,
                                      Q_ARG(FollowedCode, code));
    }
    void detach()
    {
        QMutexLocker lock(&m_lock);
        m_target = nullptr;
    }

private:
    QMutex m_lock;
    QObject *m_target;
    const char *m_slot;
};
