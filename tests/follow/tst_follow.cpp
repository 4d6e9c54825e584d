#include "artnetpackets.h"
#include "fakeclock.h"
#include "follower.h"
#include "followinputs.h"
#include "followtracker.h"
#include "mtcassembler.h"
#include "table.h"
#include "timecodecalculator.h"

#include <QSignalSpy>
#include <QTest>

#include <ltc.h>

namespace
{
constexpr qint64 Ms = 1000000;
constexpr quint32 Primary = 0x0A4D0002; // 10.77.0.2
constexpr quint32 Other = 0x0A4D0005;   // 10.77.0.5
constexpr quint32 Own = 0x0A4D0003;     // 10.77.0.3, the standby itself

FollowedCode at(qint64 index, quint8 type, qint64 startMs, quint32 source = Primary)
{
    FollowedCode in;
    in.code = FollowFrames::codeAt(index, type);
    in.startNs = startMs * Ms;
    in.source = source;
    return in;
}

// One event of a script: an input code (index >= 0) or a tick at `ms`.
struct Event {
    qint64 ms;
    qint64 index = -1; // -1 ticks
    quint32 source = Primary;
};
} // namespace
Q_DECLARE_METATYPE(QList<Event>)

class TestFollow : public QObject
{
    Q_OBJECT
private slots:
    // Each script runs at 25 fps (40 ms frames) from frame 1000; the expected
    // list is the frame indices sent, -1 marking a send flagged as a jump, and
    // the last state.
    void tracker_data()
    {
        Table::columns<QList<Event>, int, bool, QList<qint64>, int>("events", "freewheel", "runOn",
                                                                    "sent", "state");
        using S = FollowTracker::State;
        Table::row("locked, each code once", QList<Event>{{0, 1000}, {40, 1001}, {80, 1002}}, 25,
                   false, QList<qint64>{-1, 1000, 1001, 1002}, int(S::Locked));
        Table::row("one lost datagram filled on the grid, late input not resent",
                   QList<Event>{{0, 1000}, {40, 1001}, {85, -1}, {90, 1002}, {120, 1003}}, 25,
                   false, QList<qint64>{-1, 1000, 1001, 1002, 1003}, int(S::Locked));
        Table::row("jump followed at once",
                   QList<Event>{{0, 1000}, {40, 1001}, {80, 5000}, {120, 5001}}, 25, false,
                   QList<qint64>{-1, 1000, 1001, -1, 5000, 5001}, int(S::Locked));
        Table::row("backwards is a jump, not a repeat",
                   QList<Event>{{0, 1000}, {40, 1001}, {80, 990}}, 25, false,
                   QList<qint64>{-1, 1000, 1001, -1, 990}, int(S::Locked));
        Table::row("input stops: two freewheel frames, then no input",
                   QList<Event>{{0, 1000}, {40, -1}, {80, -1}, {120, -1}, {160, -1}}, 2, false,
                   QList<qint64>{-1, 1000, 1001, 1002}, int(S::NoInput));
        Table::row("run on after the freewheel",
                   QList<Event>{{0, 1000}, {40, -1}, {80, -1}, {120, -1}, {160, -1}}, 2, true,
                   QList<qint64>{-1, 1000, 1001, 1002, 1003, 1004}, int(S::RunOn));
        Table::row("re-lock at once on return",
                   QList<Event>{{0, 1000}, {40, -1}, {80, -1}, {120, -1}, {130, 2000}}, 1, false,
                   QList<qint64>{-1, 1000, 1001, -1, 2000}, int(S::Locked));
        Table::row("a second sender is not followed while the first lives",
                   QList<Event>{{0, 1000}, {10, 7000, Other}, {40, 1001}}, 25, false,
                   QList<qint64>{-1, 1000, 1001}, int(S::Locked));
    }

    void tracker()
    {
        const auto [events, freewheel, runOn, sent, state] =
            Table::fetch<QList<Event>, int, bool, QList<qint64>, int>("events", "freewheel",
                                                                      "runOn", "sent", "state");
        FollowTracker tracker;
        FollowTracker::Config config;
        config.freewheelFrames = freewheel;
        config.runOn = runOn;
        tracker.configure(config);
        tracker.start();
        QList<qint64> got;
        const auto record = [&](const FollowTracker::Step &step) {
            if (!step.send)
                return;
            if (step.jump)
                got << -1;
            got << FollowFrames::index(step.code);
        };
        for (const Event &e : events) {
            if (e.index >= 0) {
                record(tracker.input(at(e.index, Frame25, e.ms, e.source), e.ms * Ms));
            } else {
                // Every frame the grid owes by then, as the follower's timer would.
                for (int i = 0;
                     i < 8 && tracker.nextWakeNs() >= 0 && tracker.nextWakeNs() <= e.ms * Ms; ++i)
                    record(tracker.tick(e.ms * Ms));
            }
        }
        QCOMPARE(got, sent);
        QCOMPARE(int(tracker.state()), state);
    }

    // A standby behind 10.77.0.2 with 3 takeover frames: the frames it sends on
    // Art-Net and whether it is still taken over at the end.
    void standbyTieAndReturn_data()
    {
        Table::columns<quint32, bool>("intruder", "takenOverAtEnd");
        Table::row("primary comes back", Primary, false);
        Table::row("another backup with the lower address", quint32(0x0A4D0001), false);
        Table::row("another backup with a higher address", Other, true);
    }

    void standbyTieAndReturn()
    {
        const auto [intruder, takenOverAtEnd] =
            Table::fetch<quint32, bool>("intruder", "takenOverAtEnd");
        FollowTracker tracker;
        FollowTracker::Config config;
        config.standby = true;
        config.takeoverFrames = 3;
        config.ownAddresses = {{Own, 0xFFFFFF00}};
        tracker.configure(config);
        tracker.start();
        // Arrivals 3 ms after the frame edges: the learnt grid keeps that phase.
        for (int i = 0; i < 10; ++i)
            tracker.input(at(1000 + i, Frame25, 3 + 40 * i), (3 + 40 * i) * Ms);
        QVERIFY(!tracker.sendsArtnet());
        QList<qint64> sentWhen, sentIndex;
        for (int i = 0; i < 12 && !tracker.hasTakenOver(); ++i) {
            const qint64 wake = tracker.nextWakeNs();
            const FollowTracker::Step step = tracker.tick(wake);
            QVERIFY(step.send);
            sentWhen << wake;
            sentIndex << FollowFrames::index(step.code);
        }
        QVERIFY(tracker.hasTakenOver());
        QVERIFY(tracker.sendsArtnet());
        // Codes 1010..1012 went missing; 1013 is the first on the wire, on the
        // primary's grid (3 ms past its edge), with no repeat and no gap since.
        QCOMPARE(sentIndex.last(), qint64(1013));
        // The first missing frame is waited for a little (the input may be
        // late); it is silent anyway, and the grid itself does not move.
        for (int i = 0; i < sentIndex.size(); ++i) {
            QCOMPARE(sentIndex[i], qint64(1010 + i));
            const qint64 edge = (3 + 40 * (10 + i)) * Ms;
            if (sentWhen[i] < edge || sentWhen[i] > edge + (i == 0 ? 2 * Ms : 0))
                QFAIL(qPrintable(QStringLiteral("frame %1 at %2 ns").arg(i).arg(sentWhen[i])));
        }
        tracker.input(at(1014, Frame25, 3 + 40 * 14, intruder), (3 + 40 * 14) * Ms);
        QCOMPARE(tracker.hasTakenOver(), takenOverAtEnd);
        QCOMPARE(tracker.sendsArtnet(), takenOverAtEnd);
    }

    void followerRunsPausedCalculator()
    {
        FakeClock clock;
        TimecodeCalculator calculator(&clock);
        qint64 now = 1000 * Ms;
        auto *follower = new Follower(&calculator, [&now]() { return now; });
        QSignalSpy frames(&calculator, &TimecodeCalculator::signalSendTimecodeTimeOut);
        QSignalSpy locates(follower, &Follower::signalLocate);
        calculator.setPause(true);
        calculator.slotChangedFile(nullptr, Place::Follow);
        QVERIFY(calculator.isFollowing());
        QVERIFY(calculator.isPaused());
        follower->slotInput(at(90000, Frame30, 1000));
        // Choosing follow handed the play state to the input: it runs once locked.
        QVERIFY(!calculator.isPaused());
        QCOMPARE(frames.count(), 1);
        QCOMPARE(frames.at(0).at(0).toInt(), 0);  // hour
        QCOMPARE(frames.at(0).at(1).toInt(), 50); // minutes: 90000 frames at 30 fps
        QCOMPARE(frames.at(0).at(4).toInt(), int(Frame30));
        QCOMPARE(locates.count(), 1);
        // An operator's pause while following stays.
        calculator.setPause(true);
        now += 34 * Ms;
        follower->slotInput(at(90001, Frame30, 1034));
        QVERIFY(calculator.isPaused());
        QCOMPARE(frames.count(), 1);
    }

    void artTimeCodeParser_data()
    {
        Table::columns<QByteArray, bool>("datagram", "valid");
        // What the sender writes (its bytes are the packet tests' business), less
        // the last pad byte, which no receiver needs.
        const auto tc = [](int f, int s, int m, int h, int type) {
            return ArtnetPacket::timeCode(quint8(h), quint8(m), quint8(s), quint8(f), quint8(type))
                .left(19);
        };
        Table::row("good 25", tc(24, 59, 59, 23, 1), true);
        Table::row("one byte short", tc(0, 0, 0, 0, 1).left(18), false);
        Table::row("hour 25", tc(0, 0, 0, 25, 1), false);
        Table::row("frame 25 at 25", tc(25, 0, 0, 0, 1), false);
        Table::row("frame 29 at 30", tc(29, 0, 0, 0, 3), true);
        Table::row("minute 60", tc(0, 0, 60, 0, 1), false);
        Table::row("type 4", tc(0, 0, 0, 0, 4), false);
        QByteArray op = tc(0, 0, 0, 0, 1);
        op[9] = char(0x98);
        Table::row("other OpCode", op, false);
        QByteArray id = tc(0, 0, 0, 0, 1);
        id[0] = 'a';
        Table::row("bad ID", id, false);
    }

    void artTimeCodeParser()
    {
        const auto [datagram, valid] = Table::fetch<QByteArray, bool>("datagram", "valid");
        TimeCode code = TimeCode::make(1, 2, 3, 4, 0);
        QCOMPARE(ArtnetPacket::parseTimeCode(datagram, code), valid);
        if (!valid)
            QCOMPARE(code, TimeCode::make(1, 2, 3, 4, 0));
    }

    void mtcAssembler_data()
    {
        // codes: frame index at 25 fps of each code completed
        Table::columns<QList<QByteArray>, QList<qint64>>("messages", "codes");
        const auto quarters = [](int h, int m, int s, int f, int type) {
            QList<QByteArray> out;
            const int values[8] = {f & 15, f >> 4, s & 15, s >> 4,
                                   m & 15, m >> 4, h & 15, (h >> 4) | (type << 1)};
            for (int piece = 0; piece < 8; ++piece)
                out << QByteArray::fromRawData("\xF1", 1) + char((piece << 4) | values[piece]);
            return out;
        };
        const auto full = [](int h, int m, int s, int f, int type) {
            QByteArray d = QByteArray::fromHex("f07f7f0101");
            d += char(h | (type << 5));
            d += char(m);
            d += char(s);
            d += char(f);
            d += char(0xF7);
            return QList<QByteArray>{d};
        };
        const qint64 oneHour = 3600 * 25;
        Table::row("quarter frames", quarters(1, 0, 0, 2, 1), QList<qint64>{oneHour + 2});
        Table::row("full frame", full(1, 0, 0, 2, 1), QList<qint64>{oneHour + 2});
        Table::row("hour 25 in quarter frames", quarters(25, 0, 0, 0, 1), QList<qint64>{});
        Table::row("frame 31 at 25, full frame", full(0, 0, 0, 31, 1), QList<qint64>{});
        QList<QByteArray> reversed = quarters(1, 0, 0, 2, 1);
        std::reverse(reversed.begin(), reversed.end());
        Table::row("reverse run", reversed, QList<qint64>{});
        QList<QByteArray> cut = quarters(1, 0, 0, 2, 1);
        cut.removeAt(3);
        Table::row("piece missing", cut + quarters(0, 0, 0, 5, 1), QList<qint64>{5});
        QList<QByteArray> shortFull = full(0, 0, 0, 1, 1);
        shortFull[0].chop(1);
        Table::row("full frame without end", shortFull, QList<qint64>{});
        // The type field changes with every code: each code is read at its own type.
        Table::row("type changes every frame",
                   quarters(0, 0, 1, 0, 0) + quarters(0, 0, 1, 0, 1) + full(0, 0, 1, 29, 3),
                   QList<qint64>{24, 25, 30 + 29});
    }

    void mtcAssembler()
    {
        const auto [messages, codes] =
            Table::fetch<QList<QByteArray>, QList<qint64>>("messages", "codes");
        MtcAssembler assembler;
        QList<qint64> got;
        qint64 t = 0;
        for (const QByteArray &m : messages) {
            FollowedCode out;
            if (assembler.feed(reinterpret_cast<const quint8 *>(m.constData()), size_t(m.size()),
                               t += 10 * Ms, out))
                got << FollowFrames::index(out.code);
        }
        QCOMPARE(got, codes);
    }

    void ltcFrames_data()
    {
        Table::columns<int, int, int, int, bool>("hours", "frameUnits", "frameTens", "fps",
                                                 "valid");
        Table::row("10:..:..:24 at 25", 10, 4, 2, 25, true);
        Table::row("bad BCD digit", 10, 12, 0, 25, false);
        Table::row("hour 25", 25, 0, 0, 25, false);
        Table::row("frame 29 at 30", 0, 9, 2, 30, true);
        Table::row("frame 29 at 25", 0, 9, 2, 25, false);
    }

    void ltcFrames()
    {
        const auto [hours, frameUnits, frameTens, fps, valid] =
            Table::fetch<int, int, int, int, bool>("hours", "frameUnits", "frameTens", "fps",
                                                   "valid");
        LTCFrame frame;
        ltc_frame_reset(&frame);
        frame.hours_tens = unsigned(hours / 10);
        frame.hours_units = unsigned(hours % 10);
        frame.frame_units = unsigned(frameUnits);
        frame.frame_tens = unsigned(frameTens);
        TimeCode code = TimeCode::make(1, 1, 1, 1, 0);
        QCOMPARE(LtcFrames::toCode(frame, fps, code), valid);
        if (valid) {
            QCOMPARE(int(code.Hour), hours);
            QCOMPARE(int(code.Frame), frameTens * 10 + frameUnits);
        }
    }
};

QTEST_GUILESS_MAIN(TestFollow)
#include "tst_follow.moc"
