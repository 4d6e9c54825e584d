#include "dropframe.h"
#include "table.h"
#include "userbits.h"

#include <QtTest>

using namespace TimeCodeMath;

namespace
{
QString text(const TimeCode &c)
{
    return QString::asprintf("%02d:%02d:%02d%c%02d", c.Hour, c.Minute, c.Seconds,
                             c.Type == Frame30Drop ? ';' : ':', c.Frame);
}

TimeCode code(const char *label, int type = Frame30Drop)
{
    int h = 0, m = 0, s = 0, f = 0;
    std::sscanf(label, "%d:%d:%d%*c%d", &h, &m, &s, &f);
    return TimeCode::make(quint8(h), quint8(m), quint8(s), quint8(f), quint8(type));
}
} // namespace

class TestTimeCode : public QObject
{
    Q_OBJECT
private slots:
    // Walks every label of a day by the rule itself (30 labels a second; at the
    // start of a minute not divisible by ten, 00 and 01 left out) and checks the
    // frame numbers against it both ways.
    void wholeDayAgainstTheRule()
    {
        qint64 frame = 0;
        qint64 tenMinuteStart = 0;
        for (int h = 0; h < 24; ++h) {
            for (int m = 0; m < 60; ++m) {
                if (m % 10 == 0) {
                    if (h + m > 0)
                        QCOMPARE(frame - tenMinuteStart, DropFrame::FramesPerTenMinutes);
                    tenMinuteStart = frame;
                }
                for (int s = 0; s < 60; ++s) {
                    for (int f = 0; f < 30; ++f) {
                        const TimeCode label = TimeCode::make(h, m, s, f, Frame30Drop);
                        const bool dropped = m % 10 != 0 && s == 0 && f < 2;
                        if (DropFrame::isLegalLabel(label) == dropped)
                            QFAIL(qPrintable(text(label) + " legal?"));
                        if (dropped)
                            continue;
                        if (DropFrame::labelOfFrame(frame) != label ||
                            DropFrame::frameOfLabel(label) != frame)
                            QFAIL(qPrintable(text(label) + " is not frame " +
                                             QString::number(frame)));
                        ++frame;
                    }
                }
            }
        }
        QCOMPARE(frame, DropFrame::FramesPerDay);
        QCOMPARE(DropFrame::FramesPerDay, qint64(2589408));
    }

    // The whole-day walk covers every legal label; these are the labels it
    // leaves out, and the count past either end of the day.
    void labels_data()
    {
        Table::columns<qint64, QString, QString, QString>("frame", "label", "given", "legal");
        using Table::row;
        row("minute 01 starts at 02", qint64(1800), "00:01:00;02", "00:01:00;00", "00:01:00;02");
        row("01 of minute 01 too", qint64(1799), "00:00:59;29", "00:01:00;01", "00:01:00;02");
        row("minute 10 keeps 00", qint64(17982), "00:10:00;00", "00:10:00;01", "00:10:00;01");
        row("next day", qint64(2589408), "00:00:00;00", "24:00:00;00", "24:00:00;00");
        row("before midnight", qint64(-1), "23:59:59;29", "23:59:59;29", "23:59:59;29");
    }

    void labels()
    {
        const auto [frame, label, given, legal] =
            Table::fetch<qint64, QString, QString, QString>("frame", "label", "given", "legal");
        QCOMPARE(text(DropFrame::labelOfFrame(frame)), label);
        QCOMPARE(text(DropFrame::legalLabel(code(qPrintable(given)))), legal);
        // A label the count leaves out counts as the next legal one.
        QCOMPARE(DropFrame::frameOfLabel(code(qPrintable(given))),
                 DropFrame::frameOfLabel(code(qPrintable(legal))));
    }

    void frameEdges()
    {
        // A day of labels takes 86.4 ms less than the day; the walk below,
        // over the first 110 minutes, fixes every edge (1798.2 frames a minute).
        QCOMPARE(DropFrame::firstMsOfFrame(DropFrame::FramesPerDay), qint64(86399914));
        // Every frame begins on the first whole millisecond at or after its edge.
        for (qint64 frame = -40; frame < 200000; ++frame) {
            const qint64 ms = DropFrame::firstMsOfFrame(frame);
            if (DropFrame::frameAtMs(ms) != frame || DropFrame::frameAtMs(ms - 1) != frame - 1 ||
                ms * 30 < frame * 1001 || (ms - 1) * 30 >= frame * 1001)
                QFAIL(qPrintable(QStringLiteral("frame %1 at %2 ms").arg(frame).arg(ms)));
        }
    }

    void addFrames_data()
    {
        Table::columns<QString, int, bool, int, QString>("from", "type", "trueDrop", "frames",
                                                         "to");
        using Table::row;
        row("25 ahead over midnight", "23:59:59:20", 1, false, 5, "00:00:00:00");
        row("25 behind over midnight", "00:00:00:00", 1, false, -1, "23:59:59:24");
        row("24 a second ahead", "10:00:00:00", 0, false, 30, "10:00:01:06");
        row("30 behind over a minute", "10:01:00:05", 3, false, -30, "10:00:59:05");
        row("30 drop at 30 counts like 30", "00:00:59:29", 2, false, 1, "00:01:00;00");
        row("true drop skips 00 01", "00:00:59:29", 2, true, 1, "00:01:00;02");
        row("true drop back over the skip", "00:01:00:03", 2, true, -2, "00:00:59;29");
        row("true drop keeps minute 10", "00:09:59:28", 2, true, 3, "00:10:00;01");
        row("true drop over midnight", "23:59:59:29", 2, true, 1, "00:00:00;00");
        row("true drop back over midnight", "00:00:00:00", 2, true, -30, "23:59:59;00");
        row("no shift leaves a bad code", "00:01:00:00", 2, true, 0, "00:01:00;00");
        row("hour 24 is no code", "24:00:00:00", 1, false, 3, "24:00:00:00");
    }

    void addFrames()
    {
        const auto [from, type, trueDrop, frames, to] =
            Table::fetch<QString, int, bool, int, QString>("from", "type", "trueDrop", "frames",
                                                           "to");
        const TimeCode shifted =
            TimeCodeMath::addFrames(code(qPrintable(from), type), frames, trueDrop);
        QCOMPARE(text(shifted), to);
        QCOMPARE(int(shifted.Type), type);
    }

    void fromMs_data()
    {
        Table::columns<qint64, int, QString>("ms", "format", "code");
        QTest::newRow("last of day") << MsPerDay - 1 << int(Frame25) << "23:59:59:24";
        QTest::newRow("wrapped") << MsPerDay + 40 << int(Frame25) << "00:00:00:01";
        // A counter moved back before midnight reads the previous day's end.
        QTest::newRow("negative") << qint64(-1) << int(Frame30) << "23:59:59:29";
        // 30 drop is counted on the wall clock: no frame numbers are skipped.
        QTest::newRow("30 drop minute") << qint64(60034) << int(Frame30Drop) << "00:01:00;01";
    }

    void fromMs()
    {
        const auto [ms, format, code] = Table::fetch<qint64, int, QString>("ms", "format", "code");
        const TimeCode c = fromMsOfDay(ms, TimeCodeFormat(format));
        QCOMPARE(text(c), code);
        QCOMPARE(int(c.Type), format);
        QVERIFY(fromTime(QTime(1, 2, 3, 160), Frame25) == TimeCode::make(1, 2, 3, 4, Frame25));
        TimeCode other = c;
        other.Type = c.Type == 2 ? 3 : 2;
        QVERIFY(c != other); // Type alone makes a new code
    }

    void placeRecord()
    {
        SettingStructItem item;
        QVERIFY(!item.hasStartCode() && !item.hasEndCode());
        QCOMPARE(item.endMs(), qint64((23 * 3600 + 59 * 60 + 59) * 1000));
        item.StartSecond = 5;
        item.EndSecond = 58;
        QVERIFY(item.hasStartCode() && item.hasEndCode());
        QCOMPARE(item.startMs(), qint64(5000));
        QCOMPARE(item.endMs(), qint64((23 * 3600 + 59 * 60 + 58) * 1000));
        SettingStructItem::copy(nullptr, &item); // a missing side is no crash
        SettingStructItem::copy(&item, nullptr);
        QCOMPARE(item.startMs(), qint64(5000));
    }

    // Within a minute either side of midnight a code may carry the other
    // day than the clock's; a minute or more away, never.
    void userBitsDate()
    {
        const QDateTime lateEvening(QDate(2026, 12, 6), QTime(23, 59, 30));
        const QDateTime earlyMorning(QDate(2026, 12, 7), QTime(0, 0, 30));
        QCOMPARE(dateForCode(lateEvening, code("00:00:59:29")), QDate(2026, 12, 7));
        QCOMPARE(dateForCode(lateEvening, code("00:01:00:00")), QDate(2026, 12, 6));
        QCOMPARE(dateForCode(earlyMorning, code("23:59:01:00")), QDate(2026, 12, 6));
        QCOMPARE(dateForCode(earlyMorning, code("23:59:00:29")), QDate(2026, 12, 7));
        UserBits fixed;
        QVERIFY(UserBits::parse(" 0123abcd ", &fixed));
        QCOMPARE(fixed, (UserBits{UserBits::Fixed, 0x0123ABCD}));
    }
};

QTEST_GUILESS_MAIN(TestTimeCode)
#include "tst_timecode.moc"
