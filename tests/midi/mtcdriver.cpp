// Sends MIDI Time Code through the real platform service, for the end-to-end
// test against a MIDI receiver:
//   mtcdriver <seconds> [timecode type 0..2] [port name]
// Sends consecutive 25 fps codes from 10:00:00:00 at the frame rate to the
// named port, or to every port when no name is given.
#include "midi.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: mtcdriver <seconds> [type] [port]\n");
        return 2;
    }
    const int seconds = args.at(1).toInt();
    const quint32 type = args.size() > 2 ? args.at(2).toUInt() : 0;

    midi out;
    out.setTimecodeType(type);
    out.selectOutputDevice(args.size() > 3 ? args.at(3) : QString());
    const int count = out.outputDeviceCount();
    std::printf("ports: %d\n", count);
    for (int i = 0; i < count; ++i) {
        QString name;
        out.outputDeviceName(i, name);
        std::printf("port %d: %s\n", i, qPrintable(name));
    }
    std::fflush(stdout);
    if (count == 0)
        return 1;

    constexpr int Fps = 25;
    QElapsedTimer clock;
    clock.start();
    for (int frame = 0; frame < seconds * Fps; ++frame) {
        // Paced against the start, so the rate does not drift with the sends.
        const qint64 due = qint64(frame) * 1000 / Fps;
        while (clock.elapsed() < due)
            QThread::msleep(1);
        const int s = frame / Fps;
        out.slotSendTimeCode(10, quint8(s / 60), quint8(s % 60), quint8(frame % Fps), 1);
    }
    // Let the last frame leave the port before it is closed.
    QThread::msleep(200);
    return 0;
}
