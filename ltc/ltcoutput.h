#pragma once

#include "audiooutputservice.h"
#include "clock.h"
#include "deviceworker.h"
#include "dropframe.h"
#include "ltcencoder.h"
#include "ltcplayer.h"
#include "timecode.h"

#include <QMutex>
#include <QString>
#include <deque>
#include <memory>

// The LTC output worker: encodes every frame it is given as LTC and queues it
// for the audio thread to start at the sample heard when that frame begins.
// Because the audio system plays what it is handed only after its latency, the
// frames that follow a code are encoded ahead, as the generator will count
// them; a code that does not follow (a jump, a new format), a pause or a
// freeze cuts what was queued, so the output is silent until the next frame.
// Without an audio system or device it says so and tries again every few
// seconds, so a device plugged in (or a JACK server started) later is used.
//
// Threads: lives on a thread of its own. The GUI thread sets the level and the
// device and lists devices by direct calls, guarded by the worker's mutex held
// briefly; the audio thread only ever touches the player, which takes no lock.
class LtcOutput : public DeviceWorker
{
    Q_OBJECT
public:
    static constexpr int RetryMs = 3000;

    // Without a service the platform's own (RtAudio) is used. Touches no device.
    // The clock gives the date for user bits that carry it.
    explicit LtcOutput(std::shared_ptr<AudioOutputService> service = nullptr,
                       const Clock *clock = nullptr);
    ~LtcOutput() override;

    // Switched off (setEnabled), no stream is open and nothing is retried:
    // the output touches no device unless the operator switched it on.
    // Both take effect from the next frame; a new device reopens the stream.
    void setLevel(double dbfs);
    void selectOutputDevice(const QString &name) { selectDevice(name); }
    // How codes are shifted and counted (true drop-frame runs 30 Drop at
    // 30000/1001), and what the user bits carry; from the next code on.
    void setFrameShift(const FrameShift &shift);
    void setUserBits(const UserBits &bits);
    QStringList outputDeviceNames();

    const LtcPlayer &player() const { return m_player; }

    // Called on the generator's thread as it sends each code, before the code
    // is queued to this output: the moment the code's frame began. A code
    // that waited in the queue (this thread was opening a device or held up by
    // the machine) is then placed by when it was sent, not by when it was read.
    // `frameAgeNs`: how long before now the code's frame began (the first
    // code of a run may be sent in the middle of its frame).
    void noteCodeSent(qint64 frameAgeNs = 0);

public slots:
    void slotSendTimeCode(quint8 Hour, quint8 Minute, quint8 Seconds, quint8 Frame, quint8 Type);
    void slotChangedPlayPause(bool bPause, bool bFreeze);

protected:
    int openDevice(const QString &name) override;
    void closeDevice() override;
    bool deviceRunning() override;
    QString openText(bool reopened) const override;
    QString failureText(int result, const QString &device) const override;

private:
    // How many frames after the run's last code `code` is, up to a second; 0 if not.
    qint64 stepsFromLast(const TimeCode &code) const;

    std::shared_ptr<AudioOutputService> m_service;
    const Clock *m_clock;
    LtcPlayer m_player;

    // Under m_lock.
    double m_level = LtcEncoder::DefaultLevelDbfs;
    FrameShift m_shift;
    UserBits m_userBits;

    // When each code not yet read was sent, oldest first.
    QMutex m_sentLock;
    std::deque<qint64> m_sent;

    // Output thread only.
    std::unique_ptr<LtcEncoder> m_encoder;
    bool m_running = false; // a run of consecutive codes is being queued
    TimeCode m_last;        // the last code of this run
    bool m_runTrueDrop = false;
    qint64 m_runStart = 0; // when the run's first frame began
    qint64 m_index = 0;    // frame number of the last code within the run
    qint64 m_queuedIndex = -1;
    quint64 m_run = 0;
};
