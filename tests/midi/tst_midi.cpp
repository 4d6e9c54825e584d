#include "fakemidioutputservice.h"
#include "midi.h"
#include "mtcmessage.h"
#include "rtmidioutputservice.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

using Fake = FakeMidiOutputService;
using namespace MidiResult;

Q_DECLARE_METATYPE(TimeCode)

namespace
{

// Collects the debug output of a test, so "writes nothing" can be checked too.
class MessageLog
{
public:
    MessageLog() { s_previous = qInstallMessageHandler(&MessageLog::handler), s_lines.clear(); }
    ~MessageLog() { qInstallMessageHandler(s_previous); }
    QStringList lines() const { return s_lines; }

private:
    static void handler(QtMsgType, const QMessageLogContext &, const QString &text)
    {
        s_lines.append(text);
    }
    static inline QStringList s_lines;
    static inline QtMessageHandler s_previous = nullptr;
};

TimeCode tc(int h, int m, int s, int f, int type = 1)
{
    TimeCode code;
    code.Hour = quint8(h);
    code.Minute = quint8(m);
    code.Seconds = quint8(s);
    code.Frame = quint8(f);
    code.Type = quint8(type);
    return code;
}

void send(midi &out, const TimeCode &c)
{
    out.slotSendTimeCode(c.Hour, c.Minute, c.Seconds, c.Frame, c.Type);
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

int shortCount(const Fake &fake, int port)
{
    return int(fake.callsOf(Fake::Short, port).size());
}

} // namespace

class TestMidi : public QObject
{
    Q_OBJECT
private slots:
    void quarterFrameBytes_data();
    void quarterFrameBytes();
    void fullFrameBytes_data();
    void fullFrameBytes();
    void shortFormBursts_data();
    void shortFormBursts();
    void selectedPortOrAllPorts();
    void burstErrors_data();
    void burstErrors();
    void failedBurstLeavesLastCodeForOnePort();
    void failedPortDoesNotStopOthersForAllPorts();
    void fullFrameErrors_data();
    void fullFrameErrors();
    void fullFrameWaitsForHeaderBounded();
    void stuckHeaderIsKeptUntilReturned();
    void failedOpenTriedOnce();
    void unknownTypeSendsNothing();
    void closesOnlyOpenedPorts();
    void nothingBuiltNoServiceCall();
    void selection_data();
    void selection();
    void emptyPortList();
    void rtMidiWithoutMidiSystem();
};

void TestMidi::quarterFrameBytes_data()
{
    QTest::addColumn<TimeCode>("code");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("01:02:03:04 25fps")
        << tc(1, 2, 3, 4, 1) << hex("F104F110F123F130F142F150F161F172");
    // Top bits of each field and the rate code in the last piece.
    QTest::newRow("23:59:59:29 30fps")
        << tc(23, 59, 59, 29, 3) << hex("F10DF111F12BF133F14BF153F167F177");
    // Out-of-range values are masked to the bits each piece carries.
    QTest::newRow("masked") << tc(0xFF, 0xFF, 0xFF, 0xFF, 0xFF)
                            << hex("F10FF111F12FF133F14FF153F16FF177");
}

void TestMidi::quarterFrameBytes()
{
    QFETCH(TimeCode, code);
    QFETCH(QByteArray, wire);
    auto fake = std::make_shared<Fake>(QStringList{"A"});
    midi out(fake);
    out.setTimecodeType(midi::MidiClock);
    send(out, code);
    QCOMPARE(fake->wire(0).toHex(' '), wire.toHex(' '));
    // The full form ignores the last code: the same code again is all eight again.
    send(out, code);
    QCOMPARE(fake->wire(0), wire + wire);
}

void TestMidi::fullFrameBytes_data()
{
    QTest::addColumn<TimeCode>("code");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("23:59:59:29 30drop") << tc(23, 59, 59, 29, 2) << hex("F07F7F0101573B3B1DF7");
    QTest::newRow("01:02:03:04 24fps") << tc(1, 2, 3, 4, 0) << hex("F07F7F010101020304F7");
    QTest::newRow("hour masked, rate 30") << tc(0x3F, 0, 0, 0, 3) << hex("F07F7F01017F000000F7");
}

void TestMidi::fullFrameBytes()
{
    QFETCH(TimeCode, code);
    QFETCH(QByteArray, wire);
    auto fake = std::make_shared<Fake>(QStringList{"A", "B"});
    midi out(fake);
    out.setTimecodeType(midi::MidiTimecode);
    MessageLog log;
    send(out, code);
    for (int port = 0; port < 2; ++port) {
        QCOMPARE(fake->wire(port).toHex(' '), wire.toHex(' '));
        // Open, reset once after open; then prepare, send, reset, release.
        const std::vector<Fake::Op> ops{Fake::Open, Fake::Reset, Fake::Prepare,
                                        Fake::Long, Fake::Reset, Fake::Unprepare};
        QCOMPARE(fake->opsOn(port), ops);
    }
    QVERIFY(fake->prepared.empty());
    QVERIFY(log.lines().isEmpty());
}

void TestMidi::shortFormBursts_data()
{
    QTest::addColumn<QList<TimeCode>>("codes");
    QTest::addColumn<QList<int>>("bursts");
    QTest::addColumn<QString>("select");
    const QList<TimeCode> changes{tc(10, 0, 0, 0), tc(10, 0, 0, 1), tc(10, 0, 1, 0),
                                  tc(10, 1, 0, 0), tc(11, 0, 0, 0)};
    const QList<TimeCode> repeat{tc(10, 0, 0, 0), tc(10, 0, 0, 0), tc(10, 0, 0, 1)};
    const QList<TimeCode> typeChange{tc(10, 0, 0, 0, 1), tc(10, 0, 0, 0, 0), tc(10, 0, 0, 1, 0)};
    for (const QString &select : {QStringLiteral("B"), QStringLiteral("All Midi Devices")}) {
        const QByteArray suffix = select == "B" ? " one port" : " all ports";
        QTest::newRow(("each field" + suffix).constData())
            << changes << QList<int>{8, 2, 4, 6, 8} << select;
        QTest::newRow(("same code twice" + suffix).constData())
            << repeat << QList<int>{8, 8, 2} << select;
        QTest::newRow(("type change" + suffix).constData())
            << typeChange << QList<int>{8, 8, 2} << select;
    }
}

void TestMidi::shortFormBursts()
{
    QFETCH(QList<TimeCode>, codes);
    QFETCH(QList<int>, bursts);
    QFETCH(QString, select);
    auto fake = std::make_shared<Fake>(QStringList{"A", "B"});
    midi out(fake);
    out.setTimecodeType(midi::MidiClockShort);
    out.selectOutputDevice(select);
    const int port = select == "B" ? 1 : 0;
    int before = 0;
    for (int i = 0; i < codes.size(); ++i) {
        send(out, codes[i]);
        const int now = shortCount(*fake, port);
        QCOMPARE(now - before, bursts[i]);
        // The pieces go out from piece 0 up, never skipping the low ones.
        const QByteArray wire = fake->wire(port).mid(before * 2);
        for (int piece = 0; piece < bursts[i]; ++piece)
            QCOMPARE(quint8(wire[piece * 2 + 1]) >> 4, piece);
        before = now;
    }
    // Every port gets the same bursts.
    if (port == 0)
        QCOMPARE(fake->wire(1), fake->wire(0));
}

void TestMidi::selectedPortOrAllPorts()
{
    auto fake = std::make_shared<Fake>(QStringList{"A", "B", "C"});
    midi out(fake);
    out.selectOutputDevice("B");
    QCOMPARE(out.selectedOutputDevice(), 1);
    send(out, tc(1, 2, 3, 4));
    QCOMPARE(shortCount(*fake, 0), 0);
    QCOMPARE(shortCount(*fake, 1), 8);
    QCOMPARE(shortCount(*fake, 2), 0);
    QVERIFY(fake->callsOf(Fake::Open, 0).empty());

    out.selectOutputDevice("All Midi Devices");
    QCOMPARE(out.selectedOutputDevice(), -1);
    fake->calls.clear();
    send(out, tc(1, 2, 3, 5));
    // Port order: all of port 0, then port 1, then port 2.
    QList<int> order;
    for (const auto &c : fake->callsOf(Fake::Short))
        if (order.isEmpty() || order.last() != c.port)
            order.append(c.port);
    QCOMPARE(order, (QList<int>{0, 1, 2}));
    for (int port = 0; port < 3; ++port)
        QCOMPARE(shortCount(*fake, port), 8);
}

void TestMidi::burstErrors_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("sent");
    QTest::addColumn<QString>("text");
    QTest::newRow("not ready") << MIDIERR_NOTREADY << 3 << "MIDIERR_NOTREADY    ";
    QTest::newRow("bad open mode") << MIDIERR_BADOPENMODE << 3 << "MIDIERR_BADOPENMODE ";
    QTest::newRow("invalid handle") << MMSYSERR_INVALHANDLE << 3 << "MMSYSERR_INVALHANDLE";
    // Anything else is taken as sent and the burst goes on, without a word.
    QTest::newRow("no memory") << MMSYSERR_NOMEM << 8 << "";
    QTest::newRow("general error") << MMSYSERR_ERROR << 8 << "";
}

void TestMidi::burstErrors()
{
    QFETCH(int, code);
    QFETCH(int, sent);
    QFETCH(QString, text);
    auto fake = std::make_shared<Fake>(QStringList{"A"});
    fake->failAt(Fake::Short, 0, 3, code);
    midi out(fake);
    out.selectOutputDevice("A");
    MessageLog log;
    send(out, tc(1, 2, 3, 4));
    QCOMPARE(shortCount(*fake, 0), sent);
    QCOMPARE(log.lines(), text.isEmpty() ? QStringList{} : QStringList{text});
    QCOMPARE(text.size() == 0 || text.size() == 20, true);
    // The port stays in use: the next frame is sent whole.
    send(out, tc(1, 2, 3, 5));
    QCOMPARE(shortCount(*fake, 0), sent + 8);
}

void TestMidi::failedBurstLeavesLastCodeForOnePort()
{
    auto fake = std::make_shared<Fake>(QStringList{"A"});
    midi out(fake);
    out.setTimecodeType(midi::MidiClockShort);
    out.selectOutputDevice("A");
    send(out, tc(10, 0, 0, 0)); // 8, becomes the last code
    fake->failAt(Fake::Short, 0, 8 + 3, MIDIERR_NOTREADY);
    QTest::ignoreMessage(QtDebugMsg, "MIDIERR_NOTREADY    ");
    send(out, tc(10, 0, 1, 0)); // 4 due, stops after the third
    QCOMPARE(shortCount(*fake, 0), 8 + 3);
    // Compared with 10:00:00:00, not with the failed code: seconds changed, 4.
    send(out, tc(10, 0, 1, 1));
    QCOMPARE(shortCount(*fake, 0), 8 + 3 + 4);
}

void TestMidi::failedPortDoesNotStopOthersForAllPorts()
{
    auto fake = std::make_shared<Fake>(QStringList{"A", "B"});
    midi out(fake);
    out.setTimecodeType(midi::MidiClockShort);
    send(out, tc(10, 0, 0, 0));
    fake->failAt(Fake::Short, 0, 8 + 3, MIDIERR_NOTREADY);
    QTest::ignoreMessage(QtDebugMsg, "MIDIERR_NOTREADY    ");
    send(out, tc(10, 0, 1, 0));
    QCOMPARE(shortCount(*fake, 0), 8 + 3);
    QCOMPARE(shortCount(*fake, 1), 8 + 4);
    // With all ports the last code follows every call, failed ports or not.
    send(out, tc(10, 0, 1, 1));
    QCOMPARE(shortCount(*fake, 0), 8 + 3 + 2);
    QCOMPARE(shortCount(*fake, 1), 8 + 4 + 2);
}

void TestMidi::fullFrameErrors_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("code");
    QTest::addColumn<QList<int>>("ops");
    QTest::addColumn<QString>("text");
    using O = Fake;
    // A refused prepare leaves nothing for the port to hold.
    for (int code : {MMSYSERR_NOMEM, MMSYSERR_INVALPARAM, MMSYSERR_INVALHANDLE}) {
        QTest::addRow("prepare %d", code)
            << int(O::Prepare) << code << QList<int>{O::Prepare} << "";
    }
    // After a refused send or reset the header is still prepared: it is released.
    for (int code :
         {MMSYSERR_INVALPARAM, MMSYSERR_INVALHANDLE, MIDIERR_NOTREADY, MIDIERR_BADOPENMODE}) {
        QTest::addRow("long %d", code)
            << int(O::Long) << code << QList<int>{O::Prepare, O::Long, O::Unprepare} << "";
    }
    QTest::newRow("reset invalid handle")
        << int(O::Reset) << MMSYSERR_INVALHANDLE
        << QList<int>{O::Prepare, O::Long, O::Reset, O::Unprepare} << "";
    // Results not listed are taken as success.
    QTest::newRow("prepare general error")
        << int(O::Prepare) << MMSYSERR_ERROR
        << QList<int>{O::Prepare, O::Long, O::Reset, O::Unprepare} << "-";
    QTest::newRow("long no memory")
        << int(O::Long) << MMSYSERR_NOMEM << QList<int>{O::Prepare, O::Long, O::Reset, O::Unprepare}
        << "-";
    QTest::newRow("reset not ready")
        << int(O::Reset) << MIDIERR_NOTREADY
        << QList<int>{O::Prepare, O::Long, O::Reset, O::Unprepare} << "-";
}

void TestMidi::fullFrameErrors()
{
    QFETCH(int, op);
    QFETCH(int, code);
    QFETCH(QList<int>, ops);
    QFETCH(QString, text);
    const bool reported = text.isEmpty();
    if (reported) {
        text = code == MMSYSERR_INVALHANDLE  ? "MMSYSERR_INVALHANDLE"
               : code == MMSYSERR_NOMEM      ? "MMSYSERR_NOMEM      "
               : code == MMSYSERR_INVALPARAM ? "MMSYSERR_INVALPARAM "
               : code == MIDIERR_NOTREADY    ? "MIDIERR_NOTREADY    "
                                             : "MIDIERR_BADOPENMODE ";
    }
    auto fake = std::make_shared<Fake>(QStringList{"A", "B"});
    midi out(fake);
    out.setTimecodeType(midi::MidiTimecode);
    // Reset 1 follows the open; the one after the message is the second.
    fake->failAt(Fake::Op(op), 0, op == Fake::Reset ? 2 : 1, code);
    MessageLog log;
    send(out, tc(1, 2, 3, 4, 1));

    std::vector<Fake::Op> seen = fake->opsOn(0);
    seen.erase(seen.begin(), seen.begin() + 2); // open, reset
    QCOMPARE(QList<int>(seen.begin(), seen.end()), ops);
    QCOMPARE(log.lines(), reported ? QStringList{text} : QStringList{});
    QVERIFY2(fake->prepared.empty(), "a prepared header was left behind");
    // The other port is served as usual.
    QCOMPARE(fake->wire(1), hex("F07F7F010121020304F7"));
}

void TestMidi::fullFrameWaitsForHeaderBounded()
{
    auto fake = std::make_shared<Fake>(QStringList{"A"});
    midi out(fake);
    out.setTimecodeType(midi::MidiTimecode);
    fake->stillPlayingTries = 3;
    fake->resetReturnsHeaders = false;
    MessageLog log;
    send(out, tc(1, 2, 3, 4));
    // Three answers of "still playing", then released: no message.
    QCOMPARE(int(fake->callsOf(Fake::Unprepare).size()), 4);
    QVERIFY(fake->prepared.empty());
    QVERIFY(log.lines().isEmpty());

    // A port that never lets go: the wait ends and says so.
    fake->stillPlayingTries = -1;
    QElapsedTimer timer;
    timer.start();
    send(out, tc(1, 2, 3, 5));
    QVERIFY2(timer.elapsed() < 2000, "the wait for a held header must be bounded");
    QCOMPARE(log.lines(), QStringList{"MIDIERR_STILLPLAYING"});
    QCOMPARE(int(fake->prepared.size()), 1); // kept, not freed under the port
}

void TestMidi::stuckHeaderIsKeptUntilReturned()
{
    using O = Fake;
    auto fake = std::make_shared<Fake>(QStringList{"A"});
    fake->stillPlayingTries = -1;
    {
        midi out(fake);
        out.setTimecodeType(midi::MidiTimecode);
        // Reset 1 follows the open. Reset 2, after the first message, fails:
        // the port keeps the header.
        fake->failAt(Fake::Reset, 0, 2, MMSYSERR_INVALHANDLE);
        QTest::ignoreMessage(QtDebugMsg, "MMSYSERR_INVALHANDLE");
        QTest::ignoreMessage(QtDebugMsg, "MIDIERR_STILLPLAYING");
        send(out, tc(1, 2, 3, 4));
        QCOMPARE(int(fake->prepared.size()), 1);
        const MidiOutHeader *stuck = *fake->prepared.begin();

        // The next frame tries the held header once, without waiting or a
        // word; this frame's reset returns it, and the frame after frees it.
        fake->calls.clear();
        send(out, tc(1, 2, 3, 5));
        QCOMPARE(fake->opsOn(0),
                 (std::vector<O::Op>{O::Unprepare, O::Prepare, O::Long, O::Reset, O::Unprepare}));
        QVERIFY(fake->prepared.count(stuck));
        send(out, tc(1, 2, 3, 6));
        QVERIFY(fake->prepared.empty());

        // Stuck again (reset 5 fails), then the object goes away.
        fake->failAt(Fake::Reset, 0, 5, MMSYSERR_INVALHANDLE);
        QTest::ignoreMessage(QtDebugMsg, "MMSYSERR_INVALHANDLE");
        QTest::ignoreMessage(QtDebugMsg, "MIDIERR_STILLPLAYING");
        send(out, tc(1, 2, 3, 7));
        QCOMPARE(int(fake->prepared.size()), 1);
        fake->calls.clear();
    }
    // A port holding a header is reset to get it back, released, then closed.
    QCOMPARE(fake->opsOn(0), (std::vector<O::Op>{O::Reset, O::Unprepare, O::Close}));
    QVERIFY(fake->prepared.empty());
}

void TestMidi::failedOpenTriedOnce()
{
    auto fake = std::make_shared<Fake>(QStringList{"A", "B", "C"});
    fake->failAt(Fake::Open, 1, 1, MMSYSERR_NOMEM);
    {
        midi out(fake);
        MessageLog log;
        send(out, tc(1, 2, 3, 4));
        send(out, tc(1, 2, 3, 5));
        out.setTimecodeType(midi::MidiTimecode);
        send(out, tc(1, 2, 3, 6));
        QVERIFY(log.lines().isEmpty()); // a failed open is not reported
        QCOMPARE(fake->opsOn(1), std::vector<Fake::Op>{Fake::Open});
        for (int port : {0, 2}) {
            QCOMPARE(int(fake->callsOf(Fake::Open, port).size()), 1);
            QCOMPARE(shortCount(*fake, port), 16);
            QCOMPARE(int(fake->callsOf(Fake::Long, port).size()), 1);
        }
    }
    QCOMPARE(int(fake->callsOf(Fake::Close).size()), 2);
}

void TestMidi::unknownTypeSendsNothing()
{
    auto fake = std::make_shared<Fake>(QStringList{"A"});
    midi out(fake);
    MessageLog log;
    for (quint32 type : {3u, 4u, 0xFFFFFFFFu}) {
        out.setTimecodeType(type);
        send(out, tc(1, 2, 3, 4));
        out.selectOutputDevice("A");
        send(out, tc(1, 2, 3, 5));
    }
    for (const auto &c : fake->calls)
        QVERIFY(c.op == Fake::Count || c.op == Fake::Name);
    QVERIFY(log.lines().isEmpty());
}

void TestMidi::closesOnlyOpenedPorts()
{
    auto fake = std::make_shared<Fake>(QStringList{"A", "B", "C", "D"});
    fake->failAt(Fake::Open, 3, 1, MMSYSERR_ERROR);
    {
        midi out(fake);
        out.selectOutputDevice("A");
        send(out, tc(0, 0, 0, 0));
        out.selectOutputDevice("C");
        send(out, tc(0, 0, 0, 1));
        out.selectOutputDevice("D");
        send(out, tc(0, 0, 0, 2));
        QVERIFY(fake->callsOf(Fake::Close).empty());
    }
    const auto closes = fake->callsOf(Fake::Close);
    QCOMPARE(int(closes.size()), 2);
    QCOMPARE(closes[0].port, 0);
    QCOMPARE(closes[1].port, 2);
    // Nothing is written and no reset issued at shutdown.
    QCOMPARE(fake->calls.back().op, Fake::Close);
    QCOMPARE(fake->calls[fake->calls.size() - 2].op, Fake::Close);
}

void TestMidi::nothingBuiltNoServiceCall()
{
    auto fake = std::make_shared<Fake>(QStringList{"A"});
    {
        midi out(fake);
        out.setTimecodeType(midi::MidiClockShort);
        QCOMPARE(out.timecodeType(), quint32(midi::MidiClockShort));
    }
    QVERIFY(fake->calls.empty());
}

void TestMidi::selection_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("selected");
    const QStringList ports{"Synth", "Interface 1", "Interface 1", "interface 2"};
    QTest::newRow("exact") << ports << "Synth" << 0;
    QTest::newRow("duplicate picks the first") << ports << "Interface 1" << 1;
    QTest::newRow("case matters") << ports << "Interface 2" << -1;
    QTest::newRow("no such port") << ports << "Gone" << -1;
    QTest::newRow("all devices text") << ports << "All Midi Devices" << -1;
    QTest::newRow("empty name") << ports << "" << -1;
    QTest::newRow("empty list") << QStringList{} << "Synth" << -1;
}

void TestMidi::selection()
{
    QFETCH(QStringList, ports);
    QFETCH(QString, name);
    QFETCH(int, selected);
    auto fake = std::make_shared<Fake>(ports);
    midi out(fake);
    // On a fresh object the selection builds the list itself.
    out.selectOutputDevice(name);
    QCOMPARE(out.selectedOutputDevice(), selected);
    // The list is read once, whatever is asked afterwards.
    out.selectOutputDevice("Synth");
    QString text;
    out.outputDeviceName(0, text);
    QCOMPARE(int(fake->callsOf(Fake::Count).size()), 1);
    QCOMPARE(int(fake->callsOf(Fake::Name).size()), ports.size());
}

void TestMidi::emptyPortList()
{
    auto fake = std::make_shared<Fake>();
    midi out(fake);
    QString name = "unchanged";
    QVERIFY(!out.outputDeviceName(0, name));
    QCOMPARE(name, QString("unchanged"));
    QVERIFY(out.outputDeviceName(-1, name));
    QCOMPARE(name, QString("All Midi Devices"));
    QVERIFY(!out.outputDeviceName(-2, name));
    QCOMPARE(out.outputDeviceCount(), 0);
    for (quint32 type : {0u, 1u, 2u}) {
        out.setTimecodeType(type);
        send(out, tc(1, 2, 3, 4));
    }
    QCOMPARE(int(fake->calls.size()), 1); // the one count query
}

void TestMidi::rtMidiWithoutMidiSystem()
{
    if (QFile::exists("/dev/snd/seq"))
        QSKIP("an ALSA sequencer is present, so there may be ports");
    // A JACK server of this name does not exist.
    qputenv("JACK_DEFAULT_SERVER",
            QByteArray("orvello-none-") + QByteArray::number(QCoreApplication::applicationPid()));
    RtMidiOutputService service;
    QCOMPARE(service.deviceCount(), 0u);
    MidiOutHandle handle = 42;
    QCOMPARE(service.open(&handle, 0), MMSYSERR_BADDEVICEID);
    QCOMPARE(handle, MidiOutHandle(0));
    QCOMPARE(service.shortMessage(7, 0x04F1), MMSYSERR_INVALHANDLE);
    QCOMPARE(service.reset(7), MMSYSERR_INVALHANDLE);
    QCOMPARE(service.close(7), MMSYSERR_INVALHANDLE);

    midi out; // the default service
    QString name;
    QVERIFY(out.outputDeviceName(-1, name));
    QVERIFY(!out.outputDeviceName(0, name));
    send(out, tc(1, 2, 3, 4));
}

QTEST_GUILESS_MAIN(TestMidi)
#include "tst_midi.moc"
