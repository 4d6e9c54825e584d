// What drawing one new code costs the GUI thread: in the main window at its
// default size, in the main window maximised, and in the fullscreen clock.
// Codes are handed to the window as the calculator hands them; after each
// one the event loop runs until the code has been painted. Printed per mode:
// the GUI thread's CPU time per frame and the pixels painted per frame.
//
//   bench_display [frames per mode, default 1500]
//
// Run it in a private network namespace (the window opens its Art-Net
// socket) and on the display to measure, e.g. under Xvfb at 1920x1080 with
// bench/display_bench.sh.

#include "clockdigits.h"
#include "fullscreenclock.h"
#include "orvello.h"
#include "settingsstore.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QScreen>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

namespace
{
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Counts every paint of every widget and the pixels it covered.
struct PaintCounter : QObject {
    qint64 paints = 0;
    qint64 pixels = 0;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            for (const QRect &r : static_cast<QPaintEvent *>(event)->region())
                pixels += qint64(r.width()) * r.height();
        }
        return QObject::eventFilter(watched, event);
    }
};

struct Result {
    double cpuPerFrameUs = 0;
    double pixelsPerFrame = 0;
    int unpainted = 0;
};

// 25 fps codes from 10:00:00:00 on, so the seconds and minutes roll over too.
void code(int n, quint8 &h, quint8 &m, quint8 &s, quint8 &f)
{
    f = quint8(n % 25);
    s = quint8((n / 25) % 60);
    m = quint8((n / 1500) % 60);
    h = quint8(10 + n / 90000);
}

Result run(Orvello &window, PaintCounter &counter, int frames)
{
    Result result;
    const auto frame = [&](int n) {
        quint8 h, m, s, f;
        code(n, h, m, s, f);
        const qint64 before = counter.paints;
        window.slotSendTimecodeTimeOut(h, m, s, f, 1);
        QElapsedTimer waited;
        waited.start();
        // Until the code has been painted, bounded: a frame that changes
        // nothing on screen is counted, not waited for.
        while (counter.paints == before && waited.elapsed() < 200)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return counter.paints != before;
    };
    for (int n = 0; n < 50; ++n) // warm up: glyph caches, first layout
        frame(n);
    const qint64 pixels = counter.pixels;
    const double cpu = threadCpuMs();
    for (int n = 50; n < 50 + frames; ++n)
        result.unpainted += !frame(n);
    result.cpuPerFrameUs = (threadCpuMs() - cpu) * 1e3 / frames;
    result.pixelsPerFrame = double(counter.pixels - pixels) / frames;
    return result;
}

void print(const char *mode, const QSize &size, const Result &r)
{
    std::printf("%-22s %5dx%-5d %9.1f us/frame %11.0f px/frame %4d frames unpainted\n", mode,
                size.width(), size.height(), r.cpuPerFrameUs, r.pixelsPerFrame, r.unpainted);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int frames = argc > 1 ? std::max(100, atoi(argv[1])) : 1500;
    QTemporaryDir dir;
    SettingsStore::useFile(dir.filePath(QStringLiteral("store.conf")));
    PaintCounter counter;
    app.installEventFilter(&counter);

    Orvello window(QStringList{QStringLiteral("orvello"), QStringLiteral("noupdatecheck")});
    window.show();
    // Running, as during a show: no blinking on top of the codes.
    window.slotBlinkTimecode(false, false);
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const QScreen *screen = window.screen();
    std::printf("platform %s, screen %dx%d, %d frames per mode\n",
                qPrintable(QGuiApplication::platformName()), screen->geometry().width(),
                screen->geometry().height(), frames);

    print("window, default size", window.size(), run(window, counter, frames));

    // As large as the screen allows; without a window manager there is no
    // maximising, so the size is set.
    window.setGeometry(window.screen()->availableGeometry());
    settle.restart();
    while (settle.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    print("window, screen-sized", window.size(), run(window, counter, frames));

    window.view().actionFullscreen->setChecked(true);
    settle.restart();
    while (settle.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    FullscreenClock *clock = window.fullscreenClock();
    const Result onClock = run(window, counter, frames);
    print("fullscreen clock", clock->size(), onClock);
    std::printf("clock digit height %d px (%.0f %% of the screen's height)\n",
                clock->digits()->digitHeight(),
                100.0 * clock->digits()->digitHeight() / std::max(1, clock->height()));
    window.view().actionFullscreen->setChecked(false);
    return 0;
}
