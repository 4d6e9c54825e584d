// The three halves of the wire benchmark that are not the program itself.
// bench/wire_bench.sh runs them in private network namespaces.
//
//   wire_bench receive <skip s> <seconds> <out file>
//       Peer side: records every ArtTimeCode arriving on UDP 6454 with the
//       kernel's receive time (SO_TIMESTAMPNS) and the adapter it came in on.
//       Packets in the first <skip> seconds (start-up) are not recorded.
//   wire_bench send <format 0..3> <clock|place> <seconds> <broadcast>...
//       The reference sender: sleeps to each frame's first millisecond with
//       clock_nanosleep(TIMER_ABSTIME) and sends the 20-byte ArtTimeCode to each
//       broadcast address in turn, nothing else.
//   wire_bench report <capture list>
//       Prints the figures of each (sender, format, source) and the ratios of
//       the program's tail over the reference's. Each line of the list is
//       "<sender> <format> <clock|place> <capture file> <cpu %> <rss kB>"
//       (rss "-" for the reference).

#include "benchfigures.h"
#include "timecode.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace
{
using namespace BenchFigures;

constexpr int ArtnetPort = 6454;
constexpr qint64 NsPerMs = 1000000;
constexpr qint64 NsPerDay = TimeCodeMath::MsPerDay * NsPerMs;

timespec toTimespec(qint64 ns)
{
    timespec ts{};
    ts.tv_sec = time_t(ns / 1000000000);
    ts.tv_nsec = long(ns % 1000000000);
    return ts;
}

int openArtnetSocket()
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(ArtnetPort);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<const sockaddr *>(&any), sizeof any) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// ---- receive ---------------------------------------------------------------

// An ArtTimeCode is "Art-Net\0", OpCode 0x9700 little-endian, ProtVer 14
// big-endian, two filler bytes, then Frames, Seconds, Minutes, Hours, Type.
bool parseTimeCode(const unsigned char *p, ssize_t n, TimeCode &code)
{
    if (n < 19 || std::memcmp(p, "Art-Net\0", 8) != 0 || p[8] != 0x00 || p[9] != 0x97)
        return false;
    code = TimeCode::make(p[17], p[16], p[15], p[14], p[18]);
    return true;
}

int receive(double skipS, double seconds, const char *outPath)
{
    const int fd = openArtnetSocket();
    if (fd < 0) {
        std::perror("wire_bench receive: socket");
        return 1;
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    FILE *out = std::fopen(outPath, "w");
    if (!out) {
        std::perror("wire_bench receive: output");
        return 1;
    }
    std::fprintf(stderr, "receiving\n");
    const qint64 start = nowNs(CLOCK_MONOTONIC);
    const qint64 recordFrom = start + qint64(skipS * 1e9);
    const qint64 end = recordFrom + qint64(seconds * 1e9);
    unsigned char data[600];
    alignas(cmsghdr) unsigned char control[256];
    for (qint64 now = start; now < end; now = nowNs(CLOCK_MONOTONIC)) {
        pollfd pfd{fd, POLLIN, 0};
        if (poll(&pfd, 1, int(std::max<qint64>(1, (end - now) / NsPerMs))) <= 0)
            continue;
        iovec iov{data, sizeof data};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = recvmsg(fd, &msg, 0);
        TimeCode code;
        if (n < 0 || nowNs(CLOCK_MONOTONIC) < recordFrom || !parseTimeCode(data, n, code))
            continue;
        qint64 at = -1;
        int ifindex = 0;
        for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                timespec ts;
                std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
                at = qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
            } else if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                ifindex = info.ipi_ifindex;
            }
        }
        if (at >= 0)
            std::fprintf(out, "%d %lld %d %d %d %d %d\n", ifindex, static_cast<long long>(at),
                         code.Hour, code.Minute, code.Seconds, code.Frame, code.Type);
    }
    std::fclose(out);
    close(fd);
    return 0;
}

// ---- send (the reference) ------------------------------------------------

int send(TimeCodeFormat format, bool clockSource, double seconds, char **targets, int targetCount)
{
    const int fd = openArtnetSocket();
    if (fd < 0) {
        std::perror("wire_bench send: socket");
        return 1;
    }
    std::vector<sockaddr_in> to;
    for (int i = 0; i < targetCount; ++i) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(ArtnetPort);
        if (inet_pton(AF_INET, targets[i], &a.sin_addr) != 1)
            return 2;
        to.push_back(a);
    }
    // The clock source is the local time of day on the real-time clock; a
    // place is a counter on the monotonic clock that starts now at 00:00:00:00.
    const clockid_t clock = clockSource ? CLOCK_REALTIME : CLOCK_MONOTONIC;
    qint64 originNs = nowNs(clock);
    if (clockSource) {
        const time_t t = time(nullptr);
        tm local{};
        localtime_r(&t, &local);
        const qint64 offsetNs = qint64(local.tm_gmtoff) * 1000000000;
        originNs = -offsetNs; // so that (now - origin) mod day is the local time of day
    }
    const int fps = TimeCodeMath::framesPerSecond(format);
    const qint64 stopNs = nowNs(clock) + qint64(seconds * 1e9);
    unsigned char packet[20] = {'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x97, 0, 14};
    for (qint64 now = nowNs(clock); now < stopNs; now = nowNs(clock)) {
        // The next frame edge after now, on the source's timeline.
        const qint64 sinceOrigin = now - originNs;
        const qint64 dayNs = ((sinceOrigin % NsPerDay) + NsPerDay) % NsPerDay;
        const qint64 secondNs = dayNs / 1000000000 * 1000000000;
        const int ms = int((dayNs - secondNs) / NsPerMs);
        const int frame = TimeCodeMath::frameOfMillisecond(ms, format);
        const qint64 nextEdgeInSecond =
            frame + 1 >= fps ? 1000000000
                             : TimeCodeMath::firstMsOfFrame(frame + 1, format) * NsPerMs;
        const qint64 edge = now + (secondNs + nextEdgeInSecond - dayNs);
        const timespec wake = toTimespec(edge);
        while (clock_nanosleep(clock, TIMER_ABSTIME, &wake, nullptr) == EINTR) {
        }
        const TimeCode code = TimeCodeMath::fromMsOfDay(
            (((edge - originNs) % NsPerDay + NsPerDay) % NsPerDay) / NsPerMs, format);
        packet[14] = code.Frame;
        packet[15] = code.Seconds;
        packet[16] = code.Minute;
        packet[17] = code.Hour;
        packet[18] = code.Type;
        for (const sockaddr_in &a : to)
            sendto(fd, packet, sizeof packet, 0, reinterpret_cast<const sockaddr *>(&a), sizeof a);
    }
    close(fd);
    return 0;
}

// ---- report ----------------------------------------------------------------

struct Arrival {
    int ifindex;
    qint64 atNs;
    TimeCode code;
};

qint64 codeStartNs(const TimeCode &code)
{
    const qint64 secs = (code.Hour * 60LL + code.Minute) * 60LL + code.Seconds;
    return (secs * 1000 + TimeCodeMath::firstMsOfFrame(code.Frame, TimeCodeFormat(code.Type))) *
           NsPerMs;
}

qint64 frameIndex(const TimeCode &code)
{
    const int fps = TimeCodeMath::framesPerSecond(TimeCodeFormat(code.Type));
    return ((code.Hour * 60LL + code.Minute) * 60LL + code.Seconds) * fps + code.Frame;
}

struct Figures {
    long frames = 0;
    long missed = 0;
    long repeated = 0;
    std::vector<double> latenessMs;
    std::vector<double> cpu;
    std::vector<double> rssKb;
};

// Lateness of one capture. On the clock source a code's frame edge is its
// time of day on the real-time clock (the run uses UTC). A place counts from
// an instant the receiver cannot see, so there the earliest arrival of the
// capture is taken as on time and the others are measured from it.
void addCapture(const std::string &path, bool clockSource, Figures &fig)
{
    std::ifstream in(path);
    std::vector<Arrival> arrivals;
    int ifindex, h, m, s, f, type;
    long long at;
    while (in >> ifindex >> at >> h >> m >> s >> f >> type)
        arrivals.push_back(
            {ifindex, at,
             TimeCode::make(quint8(h), quint8(m), quint8(s), quint8(f), quint8(type))});
    std::vector<double> late;
    for (const Arrival &a : arrivals) {
        qint64 d = (a.atNs % NsPerDay) - codeStartNs(a.code);
        if (d > NsPerDay / 2) // the code is from just before midnight
            d -= NsPerDay;
        else if (d < -NsPerDay / 2)
            d += NsPerDay;
        late.push_back(double(d) / NsPerMs);
    }
    if (!clockSource && !late.empty()) {
        const double earliest = *std::min_element(late.begin(), late.end());
        for (double &l : late)
            l -= earliest;
    }
    fig.latenessMs.insert(fig.latenessMs.end(), late.begin(), late.end());
    // Gaps and repeats per destination adapter.
    std::map<int, qint64> previous;
    for (const Arrival &a : arrivals) {
        ++fig.frames;
        const qint64 index = frameIndex(a.code);
        auto it = previous.find(a.ifindex);
        if (it != previous.end()) {
            const qint64 step = index - it->second;
            if (step <= 0)
                ++fig.repeated;
            else
                fig.missed += long(step - 1);
        }
        previous[a.ifindex] = index;
    }
}

int report(const char *listPath)
{
    std::ifstream list(listPath);
    using Key = std::tuple<int, std::string, std::string>; // format, source, sender
    std::map<Key, Figures> all;
    std::string line;
    while (std::getline(list, line)) {
        std::istringstream row(line);
        std::string sender, source, path, cpu, rss;
        int format = -1;
        if (!(row >> sender >> format >> source >> path >> cpu >> rss))
            continue;
        Figures &fig = all[Key(format, source, sender)];
        addCapture(path, source == "clock", fig);
        if (cpu != "-")
            fig.cpu.push_back(std::atof(cpu.c_str()));
        if (rss != "-")
            fig.rssKb.push_back(std::atof(rss.c_str()));
    }
    std::printf("lateness in ms after the frame's first millisecond (place: after the earliest "
                "arrival); CPU as %% of one core, mean of the rounds; RSS max of the rounds\n");
    std::printf("%-7s %-6s %-9s %7s %6s %6s %7s %7s %7s %7s %5s %5s %6s %7s\n", "format", "source",
                "sender", "frames", "missed", "repeat", "median", "p99", "p99.9", "max", ">2ms",
                ">5ms", "cpu%", "rss MB");
    std::map<std::pair<int, std::string>, std::map<std::string, const Figures *>> bySubject;
    bool silent = false; // a sender that sent nothing makes every figure meaningless
    for (const auto &[key, fig] : all) {
        const auto &[format, source, sender] = key;
        const auto over = [&fig](double ms) {
            return std::count_if(fig.latenessMs.begin(), fig.latenessMs.end(),
                                 [ms](double l) { return l > ms; });
        };
        char cpu[16] = "-", rss[16] = "-";
        if (!fig.cpu.empty())
            std::snprintf(cpu, sizeof cpu, "%.2f", mean(fig.cpu));
        if (!fig.rssKb.empty())
            std::snprintf(rss, sizeof rss, "%.1f", maximum(fig.rssKb) / 1024.0);
        std::printf("%-7s %-6s %-9s %7ld %6ld %6ld %7.3f %7.3f %7.3f %7.3f %5ld %5ld %6s %7s\n",
                    formatName(format), source.c_str(), sender.c_str(), fig.frames, fig.missed,
                    fig.repeated, percentile(fig.latenessMs, 0.5), percentile(fig.latenessMs, 0.99),
                    percentile(fig.latenessMs, 0.999), maximum(fig.latenessMs), long(over(2.0)),
                    long(over(5.0)), cpu, rss);
        bySubject[{format, source}][sender] = &fig;
        if (fig.frames == 0)
            silent = true;
    }
    for (const auto &[subject, senders] : bySubject) {
        const auto ref = senders.find("reference");
        const auto prog = senders.find("orvello");
        if (ref == senders.end() || prog == senders.end())
            continue;
        const auto &r = ref->second->latenessMs;
        const auto &o = prog->second->latenessMs;
        if (r.empty() || o.empty())
            continue;
        std::printf("%-7s %-6s orvello/reference: p99 x%.2f  max x%.2f\n",
                    formatName(subject.first), subject.second.c_str(),
                    percentile(o, 0.99) / percentile(r, 0.99), maximum(o) / maximum(r));
    }
    if (silent || all.empty()) {
        std::printf("a sender sent nothing the receiver saw\n");
        return 1;
    }
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: wire_bench receive <skip s> <seconds> <out>\n"
                         "       wire_bench send <format 0..3> <clock|place> <seconds> <bcast>...\n"
                         "       wire_bench report <capture list>\n");
    return 2;
}
} // namespace

int main(int argc, char *argv[])
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "receive" && argc == 5)
        return receive(std::atof(argv[2]), std::atof(argv[3]), argv[4]);
    if (mode == "send" && argc >= 6) {
        const int format = std::atoi(argv[2]);
        if (format < Frame24 || format > Frame30)
            return usage();
        return send(TimeCodeFormat(format), std::string(argv[3]) == "clock", std::atof(argv[4]),
                    argv + 5, argc - 5);
    }
    if (mode == "report" && argc == 3)
        return report(argv[2]);
    return usage();
}
