#include "quietsearch.h"
#include "rtmidiapis.h"
#include "rtmidioutputservice.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>

using namespace MidiResult;

static bool jackListed()
{
    const QuietSearch quiet;
    const std::vector<RtMidi::Api> apis = presentMidiApis();
    return std::find(apis.begin(), apis.end(), RtMidi::UNIX_JACK) != apis.end();
}

// The service on a JACK server (dummy driver) of this test's own, sending to a
// receiving client with two MIDI input ports, which also watches what clients
// the service opens.
class TestRtMidiJack : public QObject
{
    Q_OBJECT

    QProcess jackd;
    jack_client_t *receiver = nullptr;
    jack_port_t *in[2] = {};
    jack_ringbuffer_t *ring = nullptr; // per event: port, size, bytes
    QStringList received;              // "first|second <hex bytes>"
    std::mutex clientsLock;
    std::set<std::string> clients; // open clients named Orvello...
    std::atomic<int> probes{0};    // "Orvello probe" clients opened so far

    static int process(jack_nframes_t frames, void *arg)
    {
        auto *self = static_cast<TestRtMidiJack *>(arg);
        for (quint8 p = 0; p < 2; ++p) {
            void *buffer = jack_port_get_buffer(self->in[p], frames);
            for (quint32 i = 0; i < jack_midi_get_event_count(buffer); ++i) {
                jack_midi_event_t event;
                if (jack_midi_event_get(&event, buffer, i) == 0 &&
                    jack_ringbuffer_write_space(self->ring) >= 1 + sizeof(size_t) + event.size) {
                    jack_ringbuffer_write(self->ring, reinterpret_cast<char *>(&p), 1);
                    jack_ringbuffer_write(self->ring, reinterpret_cast<char *>(&event.size),
                                          sizeof(size_t));
                    jack_ringbuffer_write(self->ring, reinterpret_cast<char *>(event.buffer),
                                          event.size);
                }
            }
        }
        return 0;
    }
    static void clientRegistered(const char *name, int registered, void *arg)
    {
        auto *self = static_cast<TestRtMidiJack *>(arg);
        if (qstrncmp(name, "Orvello", 7) != 0)
            return;
        const std::lock_guard<std::mutex> lock(self->clientsLock);
        if (!registered)
            self->clients.erase(name);
        else if (self->clients.insert(name).second && qstrncmp(name, "Orvello probe", 13) == 0)
            ++self->probes;
    }
    bool noClientLeft()
    {
        const std::lock_guard<std::mutex> lock(clientsLock);
        return clients.empty();
    }
    // Waits until n events arrived in all.
    bool receive(int n)
    {
        return QTest::qWaitFor(
            [&] {
                quint8 port;
                size_t size;
                while (jack_ringbuffer_read_space(ring) >= 1 + sizeof(size_t)) {
                    jack_ringbuffer_read(ring, reinterpret_cast<char *>(&port), 1);
                    jack_ringbuffer_read(ring, reinterpret_cast<char *>(&size), sizeof(size_t));
                    QByteArray bytes(qsizetype(size), 0);
                    jack_ringbuffer_read(ring, bytes.data(), size);
                    received << (port ? "second " : "first ") + bytes.toHex().toUpper();
                }
                return received.size() >= n;
            },
            10000);
    }
    void nameInputs(const char *first, const char *second)
    {
        jack_port_rename(receiver, in[0], "renaming");
        jack_port_rename(receiver, in[1], second);
        jack_port_rename(receiver, in[0], first);
    }

private slots:
    void initTestCase()
    {
        const QByteArray server = "orvello-rtmidi-" + QByteArray::number(qApp->applicationPid());
        qputenv("JACK_DEFAULT_SERVER", server);
        qputenv("JACK_NO_AUDIO_RESERVATION", "1");
        QVERIFY2(!jackListed(), "JACK offered with no server");
        jackd.setStandardOutputFile(QProcess::nullDevice());
        jackd.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        jackd.start("jackd", {"-n", QString::fromLatin1(server), "-r", "-p", "5", "-d", "dummy",
                              "-C", "0", "-P", "0", "-r", "48000", "-p", "256"});
        QVERIFY(jackd.waitForStarted());
        QVERIFY(QTest::qWaitFor(
            [&] {
                receiver = jack_client_open("receiver", JackNoStartServer, nullptr);
                return receiver || jackd.state() == QProcess::NotRunning;
            },
            10000));
        QVERIFY2(receiver, "jackd did not start");
        ring = jack_ringbuffer_create(1 << 16);
        for (int p = 0; p < 2; ++p)
            in[p] = jack_port_register(receiver, p ? "in2" : "in1", JACK_DEFAULT_MIDI_TYPE,
                                       JackPortIsInput, 0);
        jack_set_process_callback(receiver, &process, this);
        jack_set_client_registration_callback(receiver, &clientRegistered, this);
        QCOMPARE(jack_activate(receiver), 0);
        QVERIFY2(jackListed(), "JACK not offered with a server");
    }
    void init()
    {
        receive(0); // what a failed test left
        received.clear();
    }
    void cleanup()
    {
        nameInputs("in1", "in2");
        // Every client the service opened is closed again once it is gone.
        QVERIFY(QTest::qWaitFor([&] { return noClientLeft(); }, 10000));
    }
    void cleanupTestCase()
    {
        jack_client_close(receiver);
        jackd.terminate();
        jackd.waitForFinished(10000);
    }

    void messagesArriveAsSent()
    {
        RtMidiOutputService service;
        QCOMPARE(service.deviceCount(), 2u);
        MidiOutHandle handle = 0;
        QCOMPARE(service.open(&handle, 1), MMSYSERR_NOERROR);
        const struct {
            quint32 message;
            int result;
            const char *arrives;
        } shorts[] = {
            {0x23F1, MMSYSERR_NOERROR, "second F123"},     // quarter frame
            {0x7F4090, MMSYSERR_NOERROR, "second 90407F"}, // note on: all three bytes
            {0x7F40, MMSYSERR_INVALPARAM, nullptr},        // a data byte: no running status
            {0x7FF0, MMSYSERR_INVALPARAM, nullptr},        // SysEx goes as a long message
            {0x7F7FF8, MMSYSERR_NOERROR, "second F8"},     // clock: one byte
        };
        QStringList expected;
        for (const auto &row : shorts) {
            QCOMPARE(service.shortMessage(handle, row.message), row.result);
            if (row.arrives)
                expected << row.arrives;
        }
        // A long message goes as one event, and its header comes back.
        const QByteArray sysex = QByteArray::fromHex("F07F7F010101020304F7");
        MidiOutHeader header;
        header.data = reinterpret_cast<const quint8 *>(sysex.constData());
        header.bufferLength = header.bytesRecorded = quint32(sysex.size());
        QCOMPARE(service.prepareHeader(handle, &header), MMSYSERR_NOERROR);
        QCOMPARE(service.longMessage(handle, &header), MMSYSERR_NOERROR);
        QCOMPARE(service.unprepareHeader(handle, &header), MMSYSERR_NOERROR);
        QCOMPARE(header.flags, quint32(MidiOutHeader::Done));
        expected << "second " + sysex.toHex().toUpper();
        QCOMPARE(service.shortMessage(handle, 0xFA), MMSYSERR_NOERROR);
        expected << "second FA";
        QVERIFY(receive(expected.size()));
        QCOMPARE(received, expected);
        QCOMPARE(service.close(handle), MMSYSERR_NOERROR);
    }

    void portsAreFoundByTheirNames()
    {
        RtMidiOutputService service;
        QCOMPARE(service.deviceCount(), 2u);
        // The two inputs swap names after the list was read.
        nameInputs("in2", "in1");
        MidiOutHandle handles[2] = {};
        for (quint32 i = 0; i < 2; ++i) {
            QCOMPARE(service.open(&handles[i], i), MMSYSERR_NOERROR);
            QCOMPARE(service.shortMessage(handles[i], 0xF8 + i), MMSYSERR_NOERROR);
        }
        QVERIFY(receive(2));
        received.sort();
        QCOMPARE(received, QStringList({"first F9", "second F8"}));
        // A name no longer there is no port, whatever is at its place.
        nameInputs("in3", "in1");
        MidiOutHandle handle = 0;
        QCOMPARE(service.open(&handle, 1), MMSYSERR_BADDEVICEID);
        // The server has room for two output ports: JACK's refusal is the service's.
        QCOMPARE(service.open(&handle, 0), MIDIERR_NOTREADY);
    }

    void rescanReportsOnlyChanges()
    {
        RtMidiOutputService service;
        // The first search to end is news: there was no list before it.
        QVERIFY(QTest::qWaitFor([&] { return service.rescan(); }, 10000));
        QCOMPARE(service.deviceCount(), 2u);
        // Each search opens a probe, and each rescan that takes a search's
        // result starts the next: two more probes and one result came in.
        const int from = probes;
        bool news = false;
        QVERIFY(QTest::qWaitFor(
            [&] {
                news = news || service.rescan();
                return news || probes >= from + 2;
            },
            10000));
        QVERIFY2(!news, "a search that found the same ports was news");
    }
};

int main(int argc, char **argv)
{
    if (QStandardPaths::findExecutable("jackd").isEmpty())
        return 77; // nothing to test against: skipped
    QCoreApplication app(argc, argv);
    TestRtMidiJack test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_rtmidijack.moc"
