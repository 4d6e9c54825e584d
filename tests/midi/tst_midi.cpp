#include "fakemidioutputservice.h"
#include "midi.h"
#include "rtmidioutputservice.h"
#include "table.h"

#include <QSignalSpy>
#include <QtTest>

using Fake = FakeMidiOutputService;
using namespace MidiResult;

Q_DECLARE_METATYPE(TimeCode)

static QStringList logged; // what the code under test wrote, per test function

static TimeCode tc(int h, int m, int s, int f, int type = 1)
{
    return TimeCode{quint8(f), quint8(s), quint8(m), quint8(h), quint8(type)};
}

static void send(midi &out, const TimeCode &c)
{
    out.slotSendTimeCode(c.Hour, c.Minute, c.Seconds, c.Frame, c.Type);
}

class TestMidi : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &text) { logged << text; });
    }
    void init() { logged.clear(); }

    void bytes_data()
    {
        // offset: frames, with true drop-frame for Type 2.
        Table::columns<uint, TimeCode, QByteArray, int>("type", "code", "wire", "offset");
        const auto row = [](const char *name, uint type, TimeCode code, const char *hex,
                            int offset = 0) {
            QTest::newRow(name) << type << code << QByteArray::fromHex(hex) << offset;
        };
        row("pieces 25fps", 0, tc(1, 2, 3, 20, 1), "F104F111F123F130F142F150F161F172");
        row("pieces top bits 30fps", 0, tc(23, 59, 59, 29, 3), "F10DF111F12BF133F14BF153F167F177");
        row("masked", 0, tc(0xFF, 0xFF, 0xFF, 0xFF, 0xFF), "F10FF111F12FF133F14FF153F16FF177");
        row("full 30drop", 2, tc(23, 59, 59, 29, 2), "F07F7F0101573B3B1DF7");
        row("full 24fps", 2, tc(1, 2, 3, 4, 0), "F07F7F010101020304F7");
        row("full masked", 2, tc(0x3F, 0, 0, 0, 4), "F07F7F01011F000000F7");
        // The output's offset: rate code 2 and the skipped labels of true drop-frame.
        row("full true drop 2 ahead over a minute", 2, tc(10, 0, 59, 28, 2), "F07F7F01014A010002F7",
            2);
        row("pieces 25fps 1 behind over midnight", 0, tc(0, 0, 0, 0, 1),
            "F108F111F12BF133F14BF153F167F173", -1);
        for (uint type : {3u, 4u, 0xFFFFFFFFu})
            QTest::addRow("type %u sends nothing", type)
                << type << tc(1, 2, 3, 4) << QByteArray() << 0;
    }

    void bytes()
    {
        const auto [type, code, wire, offset] =
            Table::fetch<uint, TimeCode, QByteArray, int>("type", "code", "wire", "offset");
        auto fake = std::make_shared<Fake>(QStringList{"A", "B"});
        midi out(fake);
        out.setTimecodeType(type);
        out.setFrameShift(FrameShift{offset, true});
        send(out, code);
        // Opened and reset once; the full frame is prepared, sent, reset and released.
        const QByteArray ops = type == midi::MidiTimecode ? "ORPLRU"
                               : type == midi::MidiClock  ? "OR" + QByteArray(8, 'S')
                                                          : "";
        for (int port : {0, 1}) {
            QCOMPARE(fake->wire(port).toHex(' '), wire.toHex(' '));
            QCOMPARE(fake->ops(port), ops);
        }
        // To one port, and the full form ignores the last code: the same code is all again.
        out.selectOutputDevice("B");
        send(out, code);
        QCOMPARE(fake->wire(0), wire);
        QCOMPARE(fake->wire(1), wire + wire);
        QVERIFY(fake->prepared.empty() && logged.isEmpty());
    }

    void shortFormBursts_data()
    {
        Table::columns<QList<TimeCode>, QList<int>, bool>("codes", "bursts", "allPorts");
        for (bool all : {false, true}) {
            const char *ports = all ? "all ports" : "one port";
            QTest::addRow("each field, %s", ports)
                << QList<TimeCode>{tc(10, 0, 0, 0), tc(10, 0, 0, 1), tc(10, 0, 1, 0),
                                   tc(10, 1, 0, 0), tc(11, 0, 0, 0)}
                << QList<int>{8, 2, 4, 6, 8} << all;
            QTest::addRow("same code twice, %s", ports)
                << QList<TimeCode>{tc(10, 0, 0, 0), tc(10, 0, 0, 0), tc(10, 0, 0, 1)}
                << QList<int>{8, 8, 2} << all;
            QTest::addRow("type change, %s", ports)
                << QList<TimeCode>{tc(10, 0, 0, 0, 1), tc(10, 0, 0, 1, 0), tc(10, 0, 0, 2, 0)}
                << QList<int>{8, 8, 2} << all;
        }
    }

    void shortFormBursts()
    {
        const auto [codes, bursts, allPorts] =
            Table::fetch<QList<TimeCode>, QList<int>, bool>("codes", "bursts", "allPorts");
        auto fake = std::make_shared<Fake>(QStringList{"A", "B"});
        midi out(fake);
        out.setTimecodeType(midi::MidiClockShort);
        out.selectOutputDevice(allPorts ? "All Midi Devices" : "B");
        // "port piece" of every piece sent: port by port, each burst from piece 0 up.
        QByteArray expected, seen;
        for (int i = 0; i < codes.size(); ++i) {
            send(out, codes[i]);
            for (int port : allPorts ? QList<int>{0, 1} : QList<int>{1})
                for (int piece = 0; piece < bursts[i]; ++piece)
                    expected += QByteArray::number(port * 10 + piece) + ' ';
        }
        for (const Fake::Call &c : fake->calls)
            if (c.op == 'S')
                seen += QByteArray::number(c.port * 10 + (quint8(c.bytes[1]) >> 4)) + ' ';
        QCOMPARE(seen, expected);
        QCOMPARE(fake->ops(0).isEmpty(), !allPorts);
    }

    void errors_data()
    {
        // text: padded to 20 characters; rejecting: the port shows as refusing until one goes.
        Table::columns<int, int, QByteArray, QString, bool>("op", "code", "ops", "text",
                                                            "rejecting");
        const auto row = [](char op, int code, const char *ops, bool rejecting,
                            const char *text = "") {
            QTest::addRow("%c %d", op, code)
                << int(op) << code << QByteArray(ops) << text << rejecting;
        };
        // A burst stops at a refused piece (here the third). Other results
        // are written nowhere, and only a refused message counts as refused.
        row('S', MIDIERR_NOTREADY, "SSS", true, "MIDIERR_NOTREADY    ");
        row('S', MMSYSERR_NOMEM, "SSSSSSSS", true);
        // After a refused send or reset the header is still prepared: released.
        row('P', MMSYSERR_NOMEM, "P", true, "MMSYSERR_NOMEM      ");
        row('L', MMSYSERR_INVALPARAM, "PLU", true, "MMSYSERR_INVALPARAM ");
        row('L', MIDIERR_BADOPENMODE, "PLU", true, "MIDIERR_BADOPENMODE ");
        row('R', MMSYSERR_INVALHANDLE, "PLRU", true, "MMSYSERR_INVALHANDLE");
        row('P', MMSYSERR_ERROR, "PLRU", false);
        row('L', MMSYSERR_NOMEM, "PLRU", true);
        row('R', MIDIERR_NOTREADY, "PLRU", false);
        row('U', MIDIERR_STILLPLAYING, "PLRUU", false); // waited for, then let go silently
    }

    void errors()
    {
        const auto [op, code, ops, text, rejecting] =
            Table::fetch<int, int, QByteArray, QString, bool>("op", "code", "ops", "text",
                                                              "rejecting");
        auto fake = std::make_shared<Fake>(QStringList{"A", "B"});
        midi out(fake);
        out.setTimecodeType(op == 'S' ? midi::MidiClock : midi::MidiTimecode);
        // Reset 1 follows the open; the one after the message is the second.
        fake->fail = {char(op), 0, op == 'S' ? 3 : op == 'R' ? 2 : 1, code};
        send(out, tc(1, 2, 3, 4));
        QCOMPARE(fake->ops(0), "OR" + ops);
        QCOMPARE(logged, text.isEmpty() ? QStringList{} : QStringList{text});
        QVERIFY2(fake->prepared.empty(), "a prepared header was left behind");
        QCOMPARE(out.status().rejecting, rejecting ? QStringList{"A"} : QStringList{});
        // The other port is served as usual, and the failed one stays in use.
        const QByteArray whole = op == 'S' ? QByteArray(8, 'S') : "PLRU";
        QCOMPARE(fake->ops(1), "OR" + whole);
        send(out, tc(1, 2, 3, 5));
        QCOMPARE(fake->ops(0), "OR" + ops + whole);
        QCOMPARE(out.status().rejecting, QStringList{});
    }

    // Quarter frames are preceded by a full frame, to the chosen port or to all;
    // full-frame output sends one with every code anyway.
    void locate()
    {
        auto fake = std::make_shared<Fake>(QStringList{"A", "B"});
        midi out(fake);
        out.slotLocate(1, 2, 3, 4, 1);
        out.selectOutputDevice("B");
        out.slotLocate(1, 2, 3, 5, 1);
        out.setTimecodeType(midi::MidiTimecode);
        out.slotLocate(1, 2, 3, 6, 1);
        QCOMPARE(fake->ops(0), QByteArray("ORPLRU"));
        QCOMPARE(fake->ops(1), QByteArray("ORPLRUPLRU"));
    }

    void lastCodeAfterFailedBurst()
    {
        for (bool allPorts : {false, true}) {
            auto fake = std::make_shared<Fake>(QStringList{"A", "B"});
            midi out(fake);
            out.setTimecodeType(midi::MidiClockShort);
            out.selectOutputDevice(allPorts ? "All Midi Devices" : "A");
            send(out, tc(10, 0, 0, 0)); // 8 pieces, and the last code
            fake->fail = {'S', 0, 8 + 3, MIDIERR_NOTREADY};
            send(out, tc(10, 0, 1, 0)); // 4 due; port A refuses the third
            // To one port a failed burst keeps the last code (10:00:00:00,
            // seconds changed: 4); to all ports it follows every call (2).
            send(out, tc(10, 0, 1, 1));
            QCOMPARE(fake->ops(0).count('S'), 8 + 3 + (allPorts ? 2 : 4));
            QCOMPARE(fake->ops(1).count('S'), allPorts ? 8 + 4 + 2 : 0);
        }
    }

    void heldHeaders()
    {
        auto fake = std::make_shared<Fake>(QStringList{"A"});
        fake->holds = true;
        fake->fail = {'R', 0, 2, MMSYSERR_INVALHANDLE}; // the reset after the first frame
        size_t mark = 0;
        {
            midi out(fake);
            out.setTimecodeType(midi::MidiTimecode);
            // The wait is bounded and says so; the header stays with the port
            // rather than being freed under it.
            QElapsedTimer timer;
            timer.start();
            send(out, tc(1, 2, 3, 4));
            QVERIFY2(timer.elapsed() < 2000, "the wait for a held header must be bounded");
            QCOMPARE(logged, (QStringList{"MMSYSERR_INVALHANDLE", "MIDIERR_STILLPLAYING"}));
            QCOMPARE(int(fake->prepared.size()), 1);
            // Tried once, silently, before the next frame, whose reset hands it back.
            mark = fake->calls.size();
            send(out, tc(1, 2, 3, 5));
            QCOMPARE(fake->ops(0, mark), QByteArray("UPLRU"));
            QCOMPARE(logged.size(), 2);
            QCOMPARE(int(fake->prepared.size()), 1);
            mark = fake->calls.size();
        }
        // Still held at the end: reset to get it back, released, then closed.
        QCOMPARE(fake->ops(0, mark), QByteArray("RUC"));
        QVERIFY(fake->prepared.empty());
    }

    void openAndClose()
    {
        auto fake = std::make_shared<Fake>(QStringList{"A", "B", "C"});
        midi(fake).setTimecodeType(midi::MidiClockShort);
        QVERIFY2(fake->calls.empty(), "no port list built, so nothing to ask or close");

        fake->fail = {'O', 1, 1, MMSYSERR_NOMEM};
        {
            midi out(fake);
            send(out, tc(1, 2, 3, 4));
            send(out, tc(1, 2, 3, 5));
            out.setTimecodeType(midi::MidiTimecode);
            send(out, tc(1, 2, 3, 6));
            QVERIFY(logged.isEmpty()); // a failed open is not reported
            QCOMPARE(fake->ops(0), "OR" + QByteArray(16, 'S') + "PLRU");
        }
        // Only opened ports are closed, and nothing is written or reset on the way.
        QCOMPARE(fake->ops(0), "OR" + QByteArray(16, 'S') + "PLRUC");
        QCOMPARE(fake->ops(2), fake->ops(0));
        QCOMPARE(fake->ops(1), QByteArray("O"));
        QVERIFY(!fake->ops(-1).contains('C')); // no close of handle 0
    }

    void selection_data()
    {
        Table::columns<QStringList, QString, int>("ports", "name", "selected");
        const QStringList ports{"Synth", "Interface 1", "Interface 1", "interface 2"};
        QTest::newRow("exact") << ports << "Synth" << 0;
        QTest::newRow("duplicate picks the first") << ports << "Interface 1" << 1;
        QTest::newRow("case matters") << ports << "Interface 2" << -1;
        QTest::newRow("all devices text") << ports << "All Midi Devices" << -1;
        QTest::newRow("empty list") << QStringList{} << "Synth" << -1;
    }

    void selection()
    {
        const auto [ports, name, selected] =
            Table::fetch<QStringList, QString, int>("ports", "name", "selected");
        auto fake = std::make_shared<Fake>(ports);
        midi out(fake);
        out.selectOutputDevice(name); // builds the list on a fresh object
        QCOMPARE(out.selectedOutputDevice(), selected);
        QString text = "unchanged";
        QVERIFY(!out.outputDeviceName(ports.size(), text) && !out.outputDeviceName(-2, text));
        QCOMPARE(text, QString("unchanged"));
        QVERIFY(out.outputDeviceName(-1, text));
        QCOMPARE(text, QString("All Midi Devices"));
        QCOMPARE(out.outputDeviceName(0, text), !ports.isEmpty());
        QCOMPARE(text, ports.value(0, "All Midi Devices"));
        // The list is read once, whatever is asked afterwards.
        out.selectOutputDevice("Synth");
        QCOMPARE(out.outputDeviceCount(), ports.size());
        QCOMPARE(fake->ops(-1).count('c'), 1);
        QCOMPARE(fake->ops(-1).count('n'), ports.size());
        QCOMPARE(midi(std::make_shared<Fake>(ports)).outputDeviceCount(), ports.size());
    }

    // A MIDI system started after the program, a failed open, then a restart
    // that lists the ports in another order: the chosen port is found by name.
    void portsComeBack()
    {
        auto fake = std::make_shared<Fake>(QStringList{});
        midi out(fake);
        QSignalSpy reports(&out, &midi::signalStatus);
        out.selectOutputDevice("mtcdump:input");
        send(out, tc(1, 2, 3, 4));
        QCOMPARE(out.status().noPorts, true);

        fake->names = QStringList{"other:in", "mtcdump:input"};
        fake->changed = true;
        fake->fail = {'O', 1, 1, MMSYSERR_ERROR};
        // Driven by the output's own timer, as on its thread.
        QTRY_COMPARE_WITH_TIMEOUT(out.selectedOutputDevice(), 1, 3000);
        send(out, tc(1, 2, 3, 5));
        QCOMPARE(out.status().failed, QStringList{"mtcdump:input"});
        QCOMPARE(reports.last().at(0).value<MidiStatus>().failed, QStringList{"mtcdump:input"});

        out.slotRescan(); // same list: the failed port is tried again
        send(out, tc(1, 2, 3, 6));
        QCOMPARE(fake->ops(1), "OOR" + QByteArray(8, 'S'));
        QCOMPARE(fake->ops(0), QByteArray());
        const MidiStatus sending = reports.last().at(0).value<MidiStatus>();
        QCOMPARE(sending.ports, QStringList{"mtcdump:input"});
        QVERIFY(sending.failed.isEmpty() && !sending.noPorts);

        fake->names = QStringList{"mtcdump:input", "other:in"};
        fake->changed = true;
        out.slotRescan();
        QCOMPARE(fake->ops(1).right(1), "C"); // the old handle is let go
        QCOMPARE(out.selectedOutputDevice(), 0);
        send(out, tc(1, 2, 3, 7));
        QCOMPARE(fake->ops(0), "OR" + QByteArray(8, 'S'));
    }

    void rtMidiWithoutMidiSystem()
    {
        if (QFile::exists("/dev/snd/seq"))
            QSKIP("an ALSA sequencer is present, so there may be ports");
        // No JACK server of this name exists.
        qputenv("JACK_DEFAULT_SERVER",
                "orvello-none-" + QByteArray::number(qApp->applicationPid()));
        RtMidiOutputService service;
        QCOMPARE(service.deviceCount(), 0u);
        MidiOutHandle handle = 0;
        QCOMPARE(service.open(&handle, 0), MMSYSERR_BADDEVICEID);
        QCOMPARE(service.shortMessage(7, 0x04F1), MMSYSERR_INVALHANDLE);
    }
};

QTEST_GUILESS_MAIN(TestMidi)
#include "tst_midi.moc"
