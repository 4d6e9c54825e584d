#pragma once

#include "dropframe.h"
#include "midioutputservice.h"
#include "midistatus.h"
#include "mtcmessage.h"
#include "timecode.h"

#include <QMutex>
#include <QObject>
#include <QString>
#include <memory>

class QTimer;
#include <vector>

// The MIDI output worker: owns the list of the computer's MIDI output ports,
// opens each port the first time something is sent to it, and sends every
// frame it is given as MIDI Time Code to the selected port or to all ports.
// Lives on a thread of its own; the GUI thread configures it by direct calls.
//
// Threads: the port list (built once, then fixed until destruction), the
// selected port and the timecode type are shared with the GUI thread and
// guarded by one mutex held only for reading or writing them. Opening,
// sending, the ports' handles and the last sent code belong to the output
// thread alone, so no lock is held while talking to a port.
//
// A MIDI system may start or restart while the program runs (a JACK server
// started after it), so every two seconds the output asks the service to look
// again; when the list changed it closes the old ports, reads the new list
// and selects the operator's port again by name. Ports that failed to open
// are tried again at the same pace. The port list is rewritten only on the
// output thread, under the mutex.
class midi : public QObject
{
    Q_OBJECT
public:
    enum MidiTimecodeType : quint32 { MidiClock = 0, MidiClockShort = 1, MidiTimecode = 2 };
    static constexpr int RescanMs = 2000;

    // Without a service the platform's own (RtMidi) is used. Touches no device.
    explicit midi(std::shared_ptr<MidiOutputService> service = nullptr);
    ~midi() override;

    void setTimecodeType(quint32 type);
    quint32 timecodeType() const;
    // Every code goes out shifted by this, from the next frame on.
    void setFrameShift(const FrameShift &shift);

    // Selects the first port whose name equals name exactly; any other name
    // (the "All Midi Devices" text included) selects all ports (-1).
    void selectOutputDevice(const QString &name);
    qint32 selectedOutputDevice() const;

    // -1 names the all-ports entry; 0..count-1 a port. False (name unchanged)
    // for any other index.
    bool outputDeviceName(qint32 index, QString &name);
    int outputDeviceCount();

    // On the output thread.
    MidiStatus status() const;

signals:
    void signalStatus(const MidiStatus &status);

public slots:
    void slotSendTimeCode(quint8 Hour, quint8 Minute, quint8 Seconds, quint8 Frame, quint8 Type);
    // The code about to be sent does not continue the last one: receivers of
    // quarter frames get a full frame first, so they locate at once instead
    // of two frames late. Full-frame output sends one anyway.
    void slotLocate(quint8 Hour, quint8 Minute, quint8 Seconds, quint8 Frame, quint8 Type);
    // Looks for the MIDI system's ports again; see the class comment.
    void slotRescan();

private:
    // A full-frame message and its header; kept together because the port may
    // hold the header (and so the bytes) beyond the call that sent it.
    struct LongMessage {
        std::array<quint8, MtcMessage::FullFrameSize> bytes{};
        MidiOutHeader header;
    };

    struct MidiOutDevice {
        QString name;
        bool opened = false; // also set when the open failed
        MidiOutHandle handle = 0;
        // The port refused the last message: shown as failing until one goes.
        bool rejecting = false;
        // Long messages the port did not give back in time; freed once it does.
        std::vector<std::unique_ptr<LongMessage>> held;
    };

    // Caller holds m_lock.
    bool enumerateOutputDevices();
    bool openOutputDevice(int index);
    // The record of a port ready to send, or null (bad index, open failed).
    MidiOutDevice *readyDevice(int index);

    int sendTimeCode(const TimeCode &timecode, quint32 type, qint32 device);
    int sendQuarterFrames(const TimeCode &timecode, int index, bool shortForm, bool updateLast);
    int sendQuarterFramesToAll(const TimeCode &timecode, bool shortForm);
    int sendFullFrame(const TimeCode &timecode, int index);
    int sendFullFrameToAll(const TimeCode &timecode);

    enum class Release { Wait, TryOnce };
    // Frees the message once the port has given its header back; otherwise
    // keeps it with the port. True when freed.
    bool releaseLongMessage(MidiOutDevice &device, std::unique_ptr<LongMessage> message,
                            Release how);
    void releaseHeldMessages(MidiOutDevice &device, Release how);
    void closeDevice(MidiOutDevice &device);
    // Caller holds m_lock.
    void selectChosenDevice();
    // Emits signalStatus when something the operator sees has changed.
    void publishStatus();
    // Keeps what the port did with the last message; reports a change.
    int noteResult(MidiOutDevice &device, int result);

    std::shared_ptr<MidiOutputService> m_service;

    mutable QMutex m_lock;
    bool m_outputListBuilt = false;
    quint32 m_timecodeType = MidiClock;
    FrameShift m_shift;
    qint32 m_selectedDevice = -1;
    // The name the operator chose, kept to find the port again after a rescan.
    QString m_chosenName;
    std::vector<MidiOutDevice> m_devices;

    TimeCode m_lastSent{0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    QTimer *m_rescanTimer = nullptr;
    MidiStatus m_published;
    bool m_hasPublished = false;
};
