#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <RtAudio.h>

#include <functional>
#include <memory>
#include <vector>

// Finding a device on RtAudio and running one mono float stream on it, the
// same for the LTC output and the LTC input. The compiled audio systems are
// tried in a fixed order (JACK first, where a studio routes LTC, then the
// desktop's sound server, then the hardware directly) and the first one that
// opens the device is kept. RtAudio throws on failure and its back ends print
// to standard error; both stay here: failures come out as AudioResult codes,
// and the printing is muted while looking for a system, where a missing one is
// the usual case.
namespace RtAudioDevice
{
// The client name on JACK.
constexpr const char *ClientName = "Orvello";
constexpr unsigned int BufferFrames = 256;

enum class Direction { Input, Output };

// The devices with channels in `direction` on the first audio system that has any.
QStringList names(Direction direction);

// The stream as opened, before it starts.
struct Stream {
    unsigned int rate = 0;   // samples a second
    unsigned int frames = 0; // a buffer's
    long latency = 0;        // as the system reports it, in samples; 0 for none
};

// The sample rate to ask of a device that lists `offered` (empty: it did not say).
using RateChoice = unsigned int (*)(const std::vector<unsigned int> &offered);

// Opens a mono stream on the named device (empty: the system's default) that
// calls `callback` with `user`, hands it to `prepare` (the audio thread's
// state is set there, as no buffer has come yet) and starts it. Returns an
// AudioResult code; on Ok `audio` holds the running stream and `description`
// names the audio system and the device, for the operator.
int open(Direction direction, const QString &device, RateChoice rate, RtAudioCallback callback,
         void *user, const std::function<void(const Stream &)> &prepare,
         std::unique_ptr<RtAudio> &audio, QString &description);

// Stops and closes the stream; errors are of no use to anyone by then.
void close(RtAudio &audio);

// True while the stream is open and running and its last buffer came at
// `lastCallbackNs` less than two seconds ago: a device unplugged under ALSA
// keeps the stream "running".
bool isRunning(const RtAudio *audio, qint64 lastCallbackNs);

// The monotonic clock the streams' times are put on.
qint64 nowNs();
} // namespace RtAudioDevice
