// Reads LTC the way a receiver does, with libltc's decoder, for the end-to-end
// run of the real program.
//
//   ltcdecode PORT SECONDS
//       waits (up to 60 s) for the JACK output PORT to appear, connects to it at
//       once and records it for SECONDS from then on, stamping every frame with the wall-clock
//       time it is heard: the cycle's time plus the port's playback latency, as
//       a receiver behind the sound card would hear it
//
// Prints one line per decoded frame, "<sample> <code> <wall time>" (";"
// before the frames marks the drop-frame flag), then a summary line:
//   summary codes=N breaks=B dropframe=D fps=F sound_until=S length=L
// breaks counts frames that are not one frame after the one before or do not
// start one frame's worth of samples later; sound_until is the time (s) of
// the last sample that is not silence.
#include "ltcdecodehelper.h"

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

namespace
{

struct Cycle {
    long long firstSample;
    double wall; // seconds since the epoch at which the cycle began
};

struct Recorder {
    jack_port_t *port = nullptr;
    std::vector<float> samples; // preallocated; filled by the process callback
    std::vector<Cycle> cycles;
    std::atomic<size_t> used{0};
    std::atomic<size_t> cycleCount{0};
    std::atomic<bool> recording{false}; // set once connected
};

double wallNow()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

int process(jack_nframes_t frames, void *arg)
{
    auto *r = static_cast<Recorder *>(arg);
    if (!r->recording.load())
        return 0;
    const double wall = wallNow();
    const size_t at = r->used.load();
    const size_t n = std::min<size_t>(frames, r->samples.size() - at);
    if (n == 0)
        return 0;
    const auto *in = static_cast<const float *>(jack_port_get_buffer(r->port, frames));
    std::memcpy(r->samples.data() + at, in, n * sizeof(float));
    const size_t c = r->cycleCount.load();
    if (c < r->cycles.size()) {
        r->cycles[c] = {static_cast<long long>(at), wall};
        r->cycleCount.store(c + 1);
    }
    r->used.store(at + n);
    return 0;
}

int report(std::vector<float> &audio, double rate, const Recorder &stamps, double latencySeconds)
{
    // Frames per second from the first two frames' distance, then checked.
    LtcDecodeHelper decoder(int(rate / 25));
    std::vector<DecodedLtc> frames = decoder.write(audio.data(), audio.size());
    // A frame that began before the recording was read from its tail only.
    while (!frames.empty() && frames.front().startSample < 0)
        frames.erase(frames.begin());
    int fps = 0;
    for (const DecodedLtc &d : frames)
        fps = std::max(fps, d.frame + 1);
    fps = fps > 25 ? 30 : fps > 24 ? 25 : 24;

    const auto index = [fps](const DecodedLtc &d) {
        return ((d.hours * 60 + d.minutes) * 60 + d.seconds) * fps + d.frame;
    };
    int breaks = 0, dropFrame = 0;
    size_t cycle = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        const DecodedLtc &d = frames[i];
        dropFrame += d.dropFrame;
        bool inStep = true;
        if (i > 0) {
            const DecodedLtc &p = frames[i - 1];
            // The first frame may have begun before the recording, so its
            // start is not measured against.
            inStep = index(d) == (index(p) + 1) % (24 * 3600 * fps) &&
                     (i == 1 || std::fabs(double(d.startSample - p.startSample) - rate / fps) <= 3);
            breaks += !inStep;
        }
        std::printf("%lld %s", d.startSample, d.text().toLatin1().constData());
        while (cycle + 1 < stamps.cycleCount.load() &&
               stamps.cycles[cycle + 1].firstSample <= d.startSample)
            ++cycle;
        const Cycle &c = stamps.cycles[cycle];
        std::printf(" %.6f", c.wall + (d.startSample - c.firstSample) / rate + latencySeconds);
        std::printf("%s\n", inStep ? "" : " <- break");
    }
    long long last = -1;
    for (size_t i = 0; i < audio.size(); ++i)
        if (audio[i] != 0.0f)
            last = (long long)i;
    std::printf("summary codes=%zu breaks=%d dropframe=%d fps=%d sound_until=%.3f length=%.3f\n",
                frames.size(), breaks, dropFrame, fps, (last + 1) / rate, audio.size() / rate);
    return 0;
}

int listen(const char *source, double seconds)
{
    jack_status_t status;
    jack_client_t *client = jack_client_open("ltcdecode", JackNoStartServer, &status);
    if (!client) {
        std::fprintf(stderr, "no JACK server\n");
        return 2;
    }
    const double rate = jack_get_sample_rate(client);
    Recorder r;
    r.samples.resize(size_t(seconds * rate));
    r.cycles.resize(size_t(seconds * rate) + 1);
    r.port = jack_port_register(client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client, process, &r);
    // Waiting here rather than in the caller: the port is connected the
    // moment it exists, so a code sent right after the program opened its
    // output is recorded whatever the load of the machine.
    bool connected = false;
    if (r.port && jack_activate(client) == 0) {
        std::fprintf(stderr, "listening\n");
        for (int i = 0; i < 6000 && !connected; ++i) {
            if (jack_port_by_name(client, source))
                connected = jack_connect(client, source, jack_port_name(r.port)) == 0;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (!connected) {
        std::fprintf(stderr, "cannot connect %s\n", source);
        jack_client_close(client);
        return 2;
    }
    r.recording.store(true);
    for (int i = 0; i < int(seconds * 100) + 200 && r.used.load() < r.samples.size(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // What the source's samples take from its cycle to the sound card; known
    // once the server has computed the connected graph's latencies.
    jack_latency_range_t range{};
    if (jack_port_t *port = jack_port_by_name(client, source))
        jack_port_get_latency_range(port, JackPlaybackLatency, &range);
    const double latency = range.max / rate;
    jack_deactivate(client);
    jack_client_close(client);
    r.samples.resize(r.used.load());
    std::printf("latency %.6f\n", latency);
    return report(r.samples, rate, r, latency);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3)
        return listen(argv[1], std::atof(argv[2]));
    std::fprintf(stderr, "usage: ltcdecode PORT SECONDS\n");
    return 2;
}
