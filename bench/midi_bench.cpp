// The halves of the MIDI benchmark that are not the program itself.
// bench/midi_bench.sh runs them against a private JACK server.
//
//   midi_bench receive <skip s> <seconds> <out file> [<ref out file>]
//       A JACK client with the input port "mtcbench:in" (and "mtcbench:ref"
//       when a second file is named). Stamps every MIDI event with its JACK
//       frame time, turned into the real-time clock in the process callback
//       itself, and writes each complete quarter-frame burst (pieces 0 to 7
//       in a row) of each port as "<ns> <h> <m> <s> <f> <type>". Bursts in
//       the first <skip> seconds are not written. With two ports it counts
//       from SIGUSR1 (sent once both senders run), not from its start.
//   midi_bench send <format 0..3> <seconds> [<port>]
//       The minimal sender: sleeps to each frame's first millisecond of the
//       time of day with clock_nanosleep(TIMER_ABSTIME) and writes the eight
//       quarter frames of that code to <port> ("mtcbench:in") through
//       RtMidi's JACK output, nothing else.
//   midi_bench report <capture list>
//       Prints the figures of each (sender, format). Each line of the list is
//       "<sender> <format> <capture file> <cpu %>" (cpu "-" for the sender).

#include "benchfigures.h"
#include "mtcmessage.h"
#include "timecode.h"

#include <RtMidi.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
using namespace BenchFigures;

constexpr qint64 NsPerMs = 1000000;
constexpr qint64 NsPerDay = TimeCodeMath::MsPerDay * NsPerMs;

// ---- receive ---------------------------------------------------------------

struct Event {
    qint64 atNs;
    quint8 status;
    quint8 data;
};

// Filled by the process callback only, read after the client is closed.
struct Input {
    jack_port_t *port = nullptr;
    std::vector<Event> events;
    std::atomic<size_t> count{0};
};

struct Receiver {
    jack_client_t *client = nullptr;
    // Two ports are read in the same cycle, so two senders running at once
    // meet JACK's cycle at the same phase.
    Input inputs[2];
    int used = 1;
};

void take(Receiver *r, Input &input, jack_nframes_t frames, qint64 offset,
          jack_nframes_t cycleStart)
{
    void *buffer = jack_port_get_buffer(input.port, frames);
    const jack_nframes_t n = jack_midi_get_event_count(buffer);
    size_t count = input.count.load(std::memory_order_relaxed);
    for (jack_nframes_t i = 0; i < n && count < input.events.size(); ++i) {
        jack_midi_event_t e;
        if (jack_midi_event_get(&e, buffer, i) != 0 || e.size < 2)
            continue;
        const jack_time_t us = jack_frames_to_time(r->client, cycleStart + e.time);
        input.events[count++] = {qint64(us) * 1000 + offset, e.buffer[0], e.buffer[1]};
    }
    input.count.store(count, std::memory_order_release);
}

int process(jack_nframes_t frames, void *arg)
{
    auto *r = static_cast<Receiver *>(arg);
    // JACK's clock and the real-time clock read together, so the frame times
    // land on the time of day the frame edges are on.
    const qint64 offset = nowNs(CLOCK_REALTIME) - qint64(jack_get_time()) * 1000;
    const jack_nframes_t cycleStart = jack_last_frame_time(r->client);
    for (int i = 0; i < r->used; ++i)
        take(r, r->inputs[i], frames, offset, cycleStart);
    return 0;
}

// A burst is the eight pieces in order; its time is that of piece 0.
void writeBursts(const Input &input, qint64 from, const char *outPath)
{
    std::ofstream out(outPath);
    const size_t n = input.count.load(std::memory_order_acquire);
    quint8 nibble[8] = {};
    int next = 0;
    qint64 burstAt = 0;
    for (size_t i = 0; i < n; ++i) {
        const Event &e = input.events[i];
        if (e.status != MtcMessage::QuarterFrameStatus)
            continue;
        const int piece = e.data >> 4;
        if (piece == 0) {
            next = 0;
            burstAt = e.atNs;
        }
        if (piece != next) {
            next = 0; // a broken burst is no code
            continue;
        }
        nibble[piece] = e.data & 0x0F;
        if (++next < 8)
            continue;
        next = 0;
        if (burstAt < from)
            continue;
        out << burstAt << ' ' << ((nibble[7] & 1) << 4 | nibble[6]) << ' '
            << (nibble[5] << 4 | nibble[4]) << ' ' << (nibble[3] << 4 | nibble[2]) << ' '
            << (nibble[1] << 4 | nibble[0]) << ' ' << (nibble[7] >> 1) << '\n';
    }
}

int receive(double skip, double seconds, const char *outPath, const char *refPath)
{
    // Blocked before JACK starts its threads, so only sigtimedwait sees it.
    sigset_t start;
    sigemptyset(&start);
    sigaddset(&start, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &start, nullptr);

    Receiver r;
    r.used = refPath ? 2 : 1;
    r.client = jack_client_open("mtcbench", JackNoStartServer, nullptr);
    if (!r.client) {
        std::fprintf(stderr, "no JACK server\n");
        return 1;
    }
    const char *names[2] = {"in", "ref"};
    for (int i = 0; i < r.used; ++i) {
        r.inputs[i].events.resize(size_t((skip + seconds + 35) * 30 * 8 * 2));
        r.inputs[i].port =
            jack_port_register(r.client, names[i], JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        if (!r.inputs[i].port) {
            std::fprintf(stderr, "cannot register port %s\n", names[i]);
            return 1;
        }
    }
    jack_set_process_callback(r.client, process, &r);
    if (jack_activate(r.client) != 0) {
        std::fprintf(stderr, "cannot activate the JACK client\n");
        return 1;
    }
    std::fprintf(stderr, "receiving\n");
    if (refPath) {
        const timespec patience{30, 0};
        if (sigtimedwait(&start, nullptr, &patience) != SIGUSR1) {
            std::fprintf(stderr, "no start signal\n");
            return 1;
        }
    }
    const qint64 from = nowNs(CLOCK_REALTIME) + qint64(skip * 1e9);
    KernelClock::sleepUntilNs(CLOCK_MONOTONIC,
                              nowNs(CLOCK_MONOTONIC) + qint64((skip + seconds) * 1e9));
    jack_deactivate(r.client);
    jack_client_close(r.client);
    writeBursts(r.inputs[0], from, outPath);
    if (refPath)
        writeBursts(r.inputs[1], from, refPath);
    return 0;
}

// ---- send ------------------------------------------------------------------

int send(TimeCodeFormat format, double seconds, const std::string &to)
{
    RtMidiOut out(RtMidi::UNIX_JACK, "mtcref");
    unsigned int port = out.getPortCount();
    for (unsigned int i = 0; i < out.getPortCount(); ++i)
        if (out.getPortName(i) == to)
            port = i;
    if (port == out.getPortCount()) {
        std::fprintf(stderr, "no port %s\n", to.c_str());
        return 1;
    }
    out.openPort(port);
    const time_t t = time(nullptr);
    tm local{};
    localtime_r(&t, &local);
    const qint64 originNs = -qint64(local.tm_gmtoff) * 1000000000;
    const int fps = TimeCodeMath::framesPerSecond(format);
    const qint64 stopNs = nowNs(CLOCK_REALTIME) + qint64(seconds * 1e9);
    std::vector<unsigned char> message(2);
    for (qint64 now = nowNs(CLOCK_REALTIME); now < stopNs; now = nowNs(CLOCK_REALTIME)) {
        const qint64 dayNs = (((now - originNs) % NsPerDay) + NsPerDay) % NsPerDay;
        const qint64 secondNs = dayNs / 1000000000 * 1000000000;
        const int frame =
            TimeCodeMath::frameOfMillisecond(int((dayNs - secondNs) / NsPerMs), format);
        const qint64 nextEdgeInSecond =
            frame + 1 >= fps ? 1000000000
                             : TimeCodeMath::firstMsOfFrame(frame + 1, format) * NsPerMs;
        const qint64 edge = now + (secondNs + nextEdgeInSecond - dayNs);
        KernelClock::sleepUntilNs(CLOCK_REALTIME, edge);
        const TimeCode code = TimeCodeMath::fromMsOfDay(
            (((edge - originNs) % NsPerDay + NsPerDay) % NsPerDay) / NsPerMs, format);
        for (int piece = 0; piece < MtcMessage::QuarterFramePieces; ++piece) {
            message[0] = MtcMessage::QuarterFrameStatus;
            message[1] = MtcMessage::quarterFrameData(code, piece);
            out.sendMessage(&message);
        }
    }
    return 0;
}

// ---- report ----------------------------------------------------------------

struct Figures {
    long bursts = 0;
    long missed = 0;
    long repeated = 0;
    std::vector<double> latenessMs;
    std::vector<double> cpu;
};

void addCapture(const std::string &path, Figures &fig)
{
    std::ifstream in(path);
    long long at;
    int h, m, s, f, type;
    qint64 previous = -1;
    while (in >> at >> h >> m >> s >> f >> type) {
        const TimeCodeFormat format = TimeCodeFormat(type);
        const qint64 secs = (h * 60LL + m) * 60LL + s;
        const qint64 edge = (secs * 1000 + TimeCodeMath::firstMsOfFrame(f, format)) * NsPerMs;
        qint64 d = (at % NsPerDay) - edge;
        if (d > NsPerDay / 2) // the code is from just before midnight
            d -= NsPerDay;
        else if (d < -NsPerDay / 2)
            d += NsPerDay;
        fig.latenessMs.push_back(double(d) / NsPerMs);
        ++fig.bursts;
        const qint64 index = secs * TimeCodeMath::framesPerSecond(format) + f;
        if (previous >= 0) {
            if (index <= previous)
                ++fig.repeated;
            else
                fig.missed += long(index - previous - 1);
        }
        previous = index;
    }
}

int report(const char *listPath)
{
    std::ifstream list(listPath);
    std::map<std::pair<int, std::string>, Figures> all;
    std::string line;
    while (std::getline(list, line)) {
        std::istringstream row(line);
        std::string sender, path, cpu;
        int format = -1;
        if (!(row >> sender >> format >> path >> cpu))
            continue;
        Figures &fig = all[{format, sender}];
        addCapture(path, fig);
        if (cpu != "-")
            fig.cpu.push_back(std::atof(cpu.c_str()));
    }
    std::printf("lateness in ms of each quarter-frame burst after its frame's first millisecond "
                "(JACK frame time of piece 0); CPU %% of one core, mean of the rounds\n");
    std::printf("%-7s %-9s %7s %6s %6s %7s %7s %7s %6s\n", "format", "sender", "bursts", "missed",
                "repeat", "median", "p99", "max", "cpu%");
    bool silent = all.empty();
    std::map<int, std::map<std::string, const Figures *>> byFormat;
    for (const auto &[key, fig] : all) {
        char cpu[16] = "-";
        if (!fig.cpu.empty())
            std::snprintf(cpu, sizeof cpu, "%.2f", mean(fig.cpu));
        std::printf("%-7s %-9s %7ld %6ld %6ld %7.3f %7.3f %7.3f %6s\n", formatName(key.first),
                    key.second.c_str(), fig.bursts, fig.missed, fig.repeated,
                    percentile(fig.latenessMs, 0.5), percentile(fig.latenessMs, 0.99),
                    maximum(fig.latenessMs), cpu);
        silent = silent || fig.bursts == 0;
        byFormat[key.first][key.second] = &fig;
    }
    for (const auto &[format, senders] : byFormat) {
        const auto ref = senders.find("sender");
        const auto prog = senders.find("orvello");
        if (ref == senders.end() || prog == senders.end() || ref->second->latenessMs.empty() ||
            prog->second->latenessMs.empty())
            continue;
        std::printf("%-7s orvello/sender: p99 x%.2f\n", formatName(format),
                    percentile(prog->second->latenessMs, 0.99) /
                        percentile(ref->second->latenessMs, 0.99));
    }
    if (silent) {
        std::printf("a sender sent nothing the receiver saw\n");
        return 1;
    }
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: midi_bench receive <skip s> <seconds> <out> [<ref out>]\n"
                         "       midi_bench send <format 0..3> <seconds> [<port>]\n"
                         "       midi_bench report <capture list>\n");
    return 2;
}
} // namespace

int main(int argc, char *argv[])
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "receive" && (argc == 5 || argc == 6))
        return receive(std::atof(argv[2]), std::atof(argv[3]), argv[4],
                       argc == 6 ? argv[5] : nullptr);
    if (mode == "send" && (argc == 4 || argc == 5)) {
        const int format = std::atoi(argv[2]);
        if (format < Frame24 || format > Frame30)
            return usage();
        try {
            return send(TimeCodeFormat(format), std::atof(argv[3]),
                        argc == 5 ? argv[4] : "mtcbench:in");
        } catch (const RtMidiError &e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
    }
    if (mode == "report" && argc == 3)
        return report(argv[2]);
    return usage();
}
