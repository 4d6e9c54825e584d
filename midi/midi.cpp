#include "midi.h"

#include "rtmidioutputservice.h"

#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>
#include <QtDebug>

using namespace MidiResult;

namespace
{

// The texts are blank-padded to 20 characters so a log of them lines up.
const char *errorText(int result)
{
    switch (result) {
    case MMSYSERR_INVALHANDLE:
        return "MMSYSERR_INVALHANDLE";
    case MMSYSERR_NOMEM:
        return "MMSYSERR_NOMEM      ";
    case MMSYSERR_INVALPARAM:
        return "MMSYSERR_INVALPARAM ";
    case MIDIERR_NOTREADY:
        return "MIDIERR_NOTREADY    ";
    case MIDIERR_BADOPENMODE:
        return "MIDIERR_BADOPENMODE ";
    case MIDIERR_STILLPLAYING:
        return "MIDIERR_STILLPLAYING";
    default:
        return nullptr;
    }
}

void writeError(int result)
{
    if (const char *text = errorText(result))
        qDebug("%s", text);
}

bool isOneOf(int result, std::initializer_list<int> codes)
{
    for (int code : codes)
        if (result == code)
            return true;
    return false;
}

// A ten-byte message at 31.25 kbaud leaves the port in about 3 ms; a port that
// still holds it after this long is stuck, and waiting longer would delay the
// next frame for every port.
constexpr int ReleaseWaitMs = 100;
// Yield first (the message is usually out within a slice or two), then sleep
// so a slow port does not turn the wait into a busy loop.
constexpr int ReleaseYieldTries = 100;

} // namespace

midi::midi(std::shared_ptr<MidiOutputService> service)
    : QObject(nullptr),
      m_service(service ? std::move(service) : std::make_shared<RtMidiOutputService>())
{
    qRegisterMetaType<MidiStatus>();
    // A child: it moves with the output to its thread and ticks there.
    m_rescanTimer = new QTimer(this);
    m_rescanTimer->setInterval(RescanMs);
    connect(m_rescanTimer, &QTimer::timeout, this, &midi::slotRescan);
    m_rescanTimer->start();
}

midi::~midi()
{
    QMutexLocker lock(&m_lock);
    if (!m_outputListBuilt)
        return;
    for (MidiOutDevice &device : m_devices)
        closeDevice(device);
    m_devices.clear();
    m_outputListBuilt = false;
}

void midi::setTimecodeType(quint32 type)
{
    {
        QMutexLocker lock(&m_lock);
        m_timecodeType = type;
    }
    QMetaObject::invokeMethod(this, &midi::publishStatus, Qt::QueuedConnection);
}

quint32 midi::timecodeType() const
{
    QMutexLocker lock(&m_lock);
    return m_timecodeType;
}

void midi::setFrameShift(const FrameShift &shift)
{
    QMutexLocker lock(&m_lock);
    m_shift = shift;
}

void midi::selectOutputDevice(const QString &name)
{
    {
        QMutexLocker lock(&m_lock);
        enumerateOutputDevices();
        m_chosenName = name;
        selectChosenDevice();
    }
    QMetaObject::invokeMethod(this, &midi::publishStatus, Qt::QueuedConnection);
}

void midi::selectChosenDevice()
{
    m_selectedDevice = -1;
    for (size_t i = 0; i < m_devices.size(); ++i) {
        if (m_devices[i].name == m_chosenName) {
            m_selectedDevice = qint32(i);
            break;
        }
    }
}

qint32 midi::selectedOutputDevice() const
{
    QMutexLocker lock(&m_lock);
    return m_selectedDevice;
}

bool midi::outputDeviceName(qint32 index, QString &name)
{
    QMutexLocker lock(&m_lock);
    enumerateOutputDevices();
    if (index == -1) {
        name = tr("All Midi Devices");
        return true;
    }
    if (index >= 0 && size_t(index) < m_devices.size()) {
        name = m_devices[size_t(index)].name;
        return true;
    }
    return false;
}

int midi::outputDeviceCount()
{
    QMutexLocker lock(&m_lock);
    enumerateOutputDevices();
    return int(m_devices.size());
}

bool midi::enumerateOutputDevices()
{
    if (m_outputListBuilt)
        return true;
    m_devices.clear();
    const quint32 count = m_service->deviceCount();
    m_devices.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        MidiOutDevice device;
        // A port whose name cannot be read keeps the empty name.
        m_service->deviceName(i, &device.name);
        m_devices.push_back(std::move(device));
    }
    m_outputListBuilt = true;
    return true;
}

bool midi::openOutputDevice(int index)
{
    if (index < 0 || size_t(index) >= m_devices.size())
        return false;
    MidiOutDevice &device = m_devices[size_t(index)];
    if (device.opened)
        return true;
    MidiOutHandle handle = 0;
    if (m_service->open(&handle, quint32(index)) == MMSYSERR_NOERROR && handle != 0)
        m_service->reset(handle);
    else
        handle = 0;
    device.opened = true;
    device.handle = handle;
    return true;
}

midi::MidiOutDevice *midi::readyDevice(int index)
{
    if (index < 0 || size_t(index) >= m_devices.size())
        return nullptr;
    if (!m_devices[size_t(index)].opened) {
        openOutputDevice(index);
        publishStatus();
    }
    MidiOutDevice &device = m_devices[size_t(index)];
    return device.handle ? &device : nullptr;
}

void midi::slotSendTimeCode(quint8 Hour, quint8 Minute, quint8 Seconds, quint8 Frame, quint8 Type)
{
    TimeCode timecode = TimeCode::make(Hour, Minute, Seconds, Frame, Type);

    quint32 type;
    qint32 device;
    {
        QMutexLocker lock(&m_lock);
        enumerateOutputDevices();
        type = m_timecodeType;
        device = m_selectedDevice;
        timecode = m_shift.apply(timecode);
    }
    // Nobody acts on the result: every failure has been written where it happened.
    sendTimeCode(timecode, type, device);
}

void midi::slotLocate(quint8 Hour, quint8 Minute, quint8 Seconds, quint8 Frame, quint8 Type)
{
    qint32 device;
    {
        QMutexLocker lock(&m_lock);
        enumerateOutputDevices();
        if (m_timecodeType == MidiTimecode)
            return;
        device = m_selectedDevice;
    }
    const TimeCode timecode = TimeCode::make(Hour, Minute, Seconds, Frame, Type);
    if (device == -1)
        sendFullFrameToAll(timecode);
    else
        sendFullFrame(timecode, device);
}

int midi::sendTimeCode(const TimeCode &timecode, quint32 type, qint32 device)
{
    switch (type) {
    case MidiClock:
    case MidiClockShort: {
        const bool shortForm = type == MidiClockShort;
        if (device == -1)
            return sendQuarterFramesToAll(timecode, shortForm);
        return sendQuarterFrames(timecode, device, shortForm, true);
    }
    case MidiTimecode:
        if (device == -1)
            return sendFullFrameToAll(timecode);
        return sendFullFrame(timecode, device);
    default:
        return MMSYSERR_INVALPARAM;
    }
}

int midi::sendQuarterFrames(const TimeCode &timecode, int index, bool shortForm, bool updateLast)
{
    MidiOutDevice *device = readyDevice(index);
    if (!device)
        return MMSYSERR_INVALHANDLE;

    const int count = shortForm ? MtcMessage::shortFormPieces(timecode, m_lastSent)
                                : MtcMessage::QuarterFramePieces;
    int refused = MMSYSERR_NOERROR;
    for (int piece = 0; piece < count; ++piece) {
        const int result = m_service->shortMessage(
            device->handle, MtcMessage::quarterFrameMessage(timecode, piece));
        if (isOneOf(result, {MIDIERR_NOTREADY, MIDIERR_BADOPENMODE, MMSYSERR_INVALHANDLE})) {
            writeError(result);
            return noteResult(*device, result);
        }
        if (result != MMSYSERR_NOERROR)
            refused = result;
    }
    if (shortForm && updateLast)
        m_lastSent = timecode;
    noteResult(*device, refused);
    return MMSYSERR_NOERROR;
}

int midi::sendQuarterFramesToAll(const TimeCode &timecode, bool shortForm)
{
    int result = MMSYSERR_NOERROR;
    for (size_t i = 0; i < m_devices.size(); ++i) {
        const int portResult = sendQuarterFrames(timecode, int(i), shortForm, false);
        if (result == MMSYSERR_NOERROR)
            result = portResult;
    }
    // Every port got its burst against the same last code; the next frame is
    // compared with this one whatever the ports answered.
    if (shortForm)
        m_lastSent = timecode;
    return result;
}

// Releasing the long-message buffer. The bytes and the header live on the heap
// together and are freed only once the port has given the header back, that is
// when unprepareHeader answers anything but MIDIERR_STILLPLAYING:
// - a failed prepareHeader leaves the header unprepared and unseen by the port,
//   so it is freed at once;
// - after a failed longMessage or reset the header is still prepared, so it is
//   unprepared like after a successful send (a refused message is not held; an
//   invalid handle holds nothing, since a port cannot close while it holds a
//   header);
// - a header the port still holds after a bounded wait is kept with the port,
//   tried again before its next long message and at destruction, where the
//   port is reset to return it before it is closed.
int midi::sendFullFrame(const TimeCode &timecode, int index)
{
    MidiOutDevice *device = readyDevice(index);
    if (!device)
        return MMSYSERR_INVALHANDLE;
    releaseHeldMessages(*device, Release::TryOnce);

    auto message = std::make_unique<LongMessage>();
    message->bytes = MtcMessage::fullFrame(timecode);
    message->header.data = message->bytes.data();
    message->header.bufferLength = MtcMessage::FullFrameSize;
    message->header.bytesRecorded = MtcMessage::FullFrameSize;

    int result = m_service->prepareHeader(device->handle, &message->header);
    if (isOneOf(result, {MMSYSERR_NOMEM, MMSYSERR_INVALPARAM, MMSYSERR_INVALHANDLE})) {
        writeError(result);
        return noteResult(*device, result);
    }

    result = m_service->longMessage(device->handle, &message->header);
    if (isOneOf(result, {MMSYSERR_INVALPARAM, MMSYSERR_INVALHANDLE, MIDIERR_NOTREADY,
                         MIDIERR_BADOPENMODE})) {
        writeError(result);
        releaseLongMessage(*device, std::move(message), Release::Wait);
        return noteResult(*device, result);
    }
    const int sent = result;

    // Hands the header back; on the platforms this layer runs on it sends
    // nothing, which matters: a reset that wrote All-Notes-Off per frame would
    // flood a 31.25 kbaud line.
    result = m_service->reset(device->handle);
    if (result == MMSYSERR_INVALHANDLE) {
        writeError(result);
        releaseLongMessage(*device, std::move(message), Release::Wait);
        return noteResult(*device, result);
    }

    // A port that still holds the message after the wait is not taking any.
    if (!releaseLongMessage(*device, std::move(message), Release::Wait))
        return noteResult(*device, MIDIERR_STILLPLAYING);
    noteResult(*device, sent);
    return MMSYSERR_NOERROR;
}

int midi::sendFullFrameToAll(const TimeCode &timecode)
{
    int result = MMSYSERR_NOERROR;
    for (size_t i = 0; i < m_devices.size(); ++i) {
        const int portResult = sendFullFrame(timecode, int(i));
        if (result == MMSYSERR_NOERROR)
            result = portResult;
    }
    return result;
}

bool midi::releaseLongMessage(MidiOutDevice &device, std::unique_ptr<LongMessage> message,
                              Release how)
{
    const QDeadlineTimer deadline(how == Release::Wait ? ReleaseWaitMs : 0);
    for (int tries = 1;; ++tries) {
        if (m_service->unprepareHeader(device.handle, &message->header) != MIDIERR_STILLPLAYING)
            return true; // message freed here
        if (how == Release::TryOnce || deadline.hasExpired())
            break;
        if (tries < ReleaseYieldTries)
            QThread::yieldCurrentThread();
        else
            QThread::msleep(1);
    }
    if (how == Release::Wait)
        writeError(MIDIERR_STILLPLAYING);
    device.held.push_back(std::move(message));
    return false;
}

void midi::releaseHeldMessages(MidiOutDevice &device, Release how)
{
    std::vector<std::unique_ptr<LongMessage>> held;
    held.swap(device.held);
    for (auto &message : held)
        releaseLongMessage(device, std::move(message), how);
}

void midi::closeDevice(MidiOutDevice &device)
{
    if (!device.opened || !device.handle)
        return;
    if (!device.held.empty()) {
        // Only a stuck port gets here. Resetting returns its headers, and on
        // this layer it sends nothing to the line.
        m_service->reset(device.handle);
        releaseHeldMessages(device, Release::Wait);
    }
    const bool closed = m_service->close(device.handle) == MMSYSERR_NOERROR;
    if (!device.held.empty() && !closed) {
        // The port would not give the headers back and would not close: freeing
        // them could pull the bytes from under a driver still reading them, so
        // they are left to the end of the process.
        for (auto &message : device.held)
            (void)message.release();
    }
    // After a successful close the port holds nothing; held messages go with the record.
    device.held.clear();
    device.handle = 0;
}

void midi::slotRescan()
{
    {
        QMutexLocker lock(&m_lock);
        // Nothing asked for ports yet: the first need reads the list anyway.
        if (!m_outputListBuilt)
            return;
    }
    if (!m_service->rescan()) {
        // Same ports: only those that would not open get another chance.
        for (MidiOutDevice &device : m_devices)
            if (device.opened && !device.handle)
                device.opened = false;
        publishStatus();
        return;
    }
    // Handles of the old list may name ports of a server that has gone.
    for (MidiOutDevice &device : m_devices)
        closeDevice(device);
    {
        QMutexLocker lock(&m_lock);
        m_devices.clear();
        m_outputListBuilt = false;
        enumerateOutputDevices();
        selectChosenDevice();
    }
    m_lastSent = TimeCode{0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    publishStatus();
}

int midi::noteResult(MidiOutDevice &device, int result)
{
    const bool rejecting = result != MMSYSERR_NOERROR;
    {
        // status() reads it under the lock, from any thread.
        QMutexLocker lock(&m_lock);
        if (rejecting == device.rejecting)
            return result;
        device.rejecting = rejecting;
    }
    publishStatus();
    return result;
}

MidiStatus midi::status() const
{
    MidiStatus status;
    QMutexLocker lock(&m_lock);
    status.type = m_timecodeType;
    status.noPorts = m_devices.empty();
    for (size_t i = 0; i < m_devices.size(); ++i) {
        if (m_selectedDevice != -1 && qint32(i) != m_selectedDevice)
            continue;
        const MidiOutDevice &device = m_devices[i];
        status.ports.append(device.name);
        if (device.opened && !device.handle)
            status.failed.append(device.name);
        else if (device.rejecting)
            status.rejecting.append(device.name);
    }
    return status;
}

void midi::publishStatus()
{
    const MidiStatus now = status();
    if (m_hasPublished && now == m_published)
        return;
    m_published = now;
    m_hasPublished = true;
    emit signalStatus(now);
}
