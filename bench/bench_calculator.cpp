// Runs the real calculator on its own high-priority thread for a while at each
// frame format and prints what a receiver would see: frames missed or repeated,
// how late each code leaves after its frame's first millisecond, and the CPU
// time the process spends per second of running.
//
//   bench_calculator [seconds per run, default 10]

#include "timecodecalculator.h"
#include "workerthread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutex>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

namespace
{

// The system clocks, with a record of the monotonic reading the calculator
// took when a place was selected: that is the instant its counter read the
// start code, the origin from which frame edges are measured.
class BenchClock : public SystemClock
{
public:
    qint64 monotonicMs() const override
    {
        m_last = SystemClock::monotonicMs();
        return m_last;
    }
    double monotonicMsExact() const { return double(monotonicNs()) / 1e6; }
    qint64 lastReading() const { return m_last; }

private:
    mutable qint64 m_last = 0;
};

double wallMsOfDayExact()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t secs = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&secs, &local);
    const auto sub = std::chrono::duration_cast<std::chrono::nanoseconds>(
                         now - std::chrono::system_clock::from_time_t(secs))
                         .count();
    return ((local.tm_hour * 60.0 + local.tm_min) * 60.0 + local.tm_sec) * 1000.0 + sub / 1e6;
}

double processCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

struct Emission {
    TimeCode code;
    double at; // ms, on the timeline of the code's source
};

// Collects emissions on the calculator's own thread (direct connection), so
// the figure is the generator's lateness, not the receiver's queueing.
class Recorder : public QObject
{
public:
    Recorder(const BenchClock &clock, bool wall) : m_clock(clock), m_wall(wall)
    {
        m_emissions.reserve(100000);
    }
    void record(quint8 h, quint8 m, quint8 s, quint8 f, quint8 type)
    {
        const TimeCode code = TimeCode::make(h, m, s, f, type);
        const double at = m_wall ? wallMsOfDayExact() : m_clock.monotonicMsExact();
        QMutexLocker lock(&m_mutex);
        m_emissions.push_back({code, at});
    }
    std::vector<Emission> take()
    {
        QMutexLocker lock(&m_mutex);
        return std::move(m_emissions);
    }

private:
    const BenchClock &m_clock;
    const bool m_wall;
    QMutex m_mutex;
    std::vector<Emission> m_emissions;
};

qint64 codeStartMs(const TimeCode &code)
{
    const qint64 secs = (code.Hour * 60LL + code.Minute) * 60LL + code.Seconds;
    return secs * 1000 + TimeCodeMath::firstMsOfFrame(code.Frame, TimeCodeFormat(code.Type));
}

// Frame index since midnight, to find gaps and repeats.
qint64 frameIndex(const TimeCode &code)
{
    const int fps = TimeCodeMath::framesPerSecond(TimeCodeFormat(code.Type));
    return ((code.Hour * 60LL + code.Minute) * 60LL + code.Seconds) * fps + code.Frame;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

void runOnce(TimeCodeFormat format, bool systemTime, int seconds)
{
    BenchClock clock;
    auto *calc = new TimecodeCalculator(&clock);
    Recorder recorder(clock, systemTime);
    QObject::connect(
        calc, &TimecodeCalculator::signalSendTimecodeTimeOut, calc,
        [&recorder](quint8 h, quint8 m, quint8 s, quint8 f, quint8 t) {
            recorder.record(h, m, s, f, t);
        },
        Qt::DirectConnection);

    // Set up exactly as the main window does, then select the source.
    calc->setPause(true);
    calc->slotChangedTimeReset();
    calc->slotChangedFrames(format);
    if (systemTime) {
        calc->slotChangedFile(nullptr, Place::SystemTime);
    } else {
        auto *place = new SettingStructItem;
        place->StartHour = 10;
        calc->slotChangedFile(place, 0);
    }
    const qint64 origin = clock.lastReading() - 10 * 3600 * 1000LL;

    WorkerThreads threads;
    QThread *thread = threads.adopt(calc);
    QObject::connect(thread, &QThread::started, calc, &TimecodeTimer::slotStart);
    QObject::connect(calc, &TimecodeTimer::stoped, calc, &QObject::deleteLater);

    const double cpu0 = processCpuMs();
    QElapsedTimer wall;
    wall.start();
    thread->start(QThread::HighPriority);
    QThread::msleep(ulong(seconds) * 1000);
    calc->requestStop();
    threads.waitAll(5000);
    const double cpuMs = processCpuMs() - cpu0;
    const double wallMs = double(wall.elapsed());

    std::vector<Emission> emissions = recorder.take();
    // The first code is the selection instant, not a frame edge: leave it out.
    if (!emissions.empty())
        emissions.erase(emissions.begin());

    int repeated = 0;
    int missed = 0;
    std::vector<double> lateness;
    lateness.reserve(emissions.size());
    for (size_t i = 0; i < emissions.size(); ++i) {
        const Emission &e = emissions[i];
        double edge = double(codeStartMs(e.code));
        if (!systemTime)
            edge += double(origin);
        lateness.push_back(e.at - edge);
        if (qEnvironmentVariableIsSet("BENCH_TRACE") && e.at - edge > 2.0)
            std::printf("  late %.3f ms: %02d:%02d:%02d:%02d at %.3f\n", e.at - edge, e.code.Hour,
                        e.code.Minute, e.code.Seconds, e.code.Frame, e.at);
        if (i > 0) {
            const qint64 step = frameIndex(e.code) - frameIndex(emissions[i - 1].code);
            if (step <= 0)
                ++repeated;
            else
                missed += int(step - 1);
        }
    }
    const qint64 expected = emissions.empty() ? 0
                                              : frameIndex(emissions.back().code) -
                                                    frameIndex(emissions.front().code) + 1;
    std::printf("%-8s %-6s %6zu %8lld %6d %6d %8.3f %8.3f %8.3f %8.3f %6.2f%%\n",
                format == Frame24       ? "24"
                : format == Frame25     ? "25"
                : format == Frame30Drop ? "30drop"
                                        : "30",
                systemTime ? "clock" : "place", emissions.size(), static_cast<long long>(expected),
                missed, repeated, percentile(lateness, 0.5), percentile(lateness, 0.99),
                lateness.empty() ? 0.0 : *std::max_element(lateness.begin(), lateness.end()),
                lateness.empty() ? 0.0 : *std::min_element(lateness.begin(), lateness.end()),
                100.0 * cpuMs / wallMs);
    std::fflush(stdout);
}

// The platform's own floor: a plain thread sleeping to 25 fps edges, without
// the calculator or Qt's event loop. Lateness below this is not to be had.
void runBaseline(int seconds)
{
    using namespace std::chrono;
    std::vector<double> lateness;
    auto edge = steady_clock::now();
    for (int i = 0; i < seconds * 25; ++i) {
        edge += milliseconds(40);
        std::this_thread::sleep_until(edge);
        lateness.push_back(duration<double, std::milli>(steady_clock::now() - edge).count());
    }
    std::printf("%-8s %-6s %6zu %8s %6s %6s %8.3f %8.3f %8.3f %8.3f\n", "25", "sleep",
                lateness.size(), "-", "-", "-", percentile(lateness, 0.5),
                percentile(lateness, 0.99), *std::max_element(lateness.begin(), lateness.end()),
                *std::min_element(lateness.begin(), lateness.end()));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    std::printf("calculator benchmark, %d s per run; lateness in ms after the frame's first "
                "millisecond, CPU as %% of one core\n",
                seconds);
    std::printf("%-8s %-6s %6s %8s %6s %6s %8s %8s %8s %8s %7s\n", "format", "source", "codes",
                "expected", "missed", "repeat", "median", "p99", "max", "min", "cpu");
    for (bool systemTime : {false, true})
        for (int f = Frame24; f <= Frame30; ++f)
            runOnce(TimeCodeFormat(f), systemTime, seconds);
    runBaseline(seconds);
    return 0;
}
