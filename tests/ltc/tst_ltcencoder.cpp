#include "ltcdecodehelper.h"
#include "ltcencoder.h"
#include "table.h"

#include <QtTest>

Q_DECLARE_METATYPE(TimeCode)

static TimeCode tc(int h, int m, int s, int f, int type)
{
    return TimeCode::make(quint8(h), quint8(m), quint8(s), quint8(f), quint8(type));
}

class TestLtcEncoder : public QObject
{
    Q_OBJECT
private slots:
    void decodesBack_data()
    {
        // codes: read back one after the other
        // userBits: hex, or the date and zone libltc reads
        Table::columns<TimeCode, uint, QString, bool, QStringList, QString>(
            "first", "rate", "bits", "trueDrop", "codes", "userBits");
        // Runs across a wrap, so the digits that change last are covered.
        Table::row("25 midnight", tc(23, 59, 59, 21, Frame25), 48000u, "", false,
                   QStringList{"23:59:59:24", "00:00:00:00"}, "00000000");
        Table::row("30 drop minute, labels kept", tc(10, 0, 59, 26, Frame30Drop), 48000u, "", false,
                   QStringList{"10:00:59;29", "10:01:00;00"}, "00000000");
        Table::row("30 hour", tc(9, 59, 59, 27, Frame30), 48000u, "", false,
                   QStringList{"09:59:59:29", "10:00:00:00"}, "00000000");
        Table::row("24 midnight at 44100", tc(23, 59, 59, 20, Frame24), 44100u, "", false,
                   QStringList{"23:59:59:23", "00:00:00:00"}, "00000000");
        Table::row("fixed value at 30", tc(1, 2, 3, 4, Frame30), 48000u, "0123abcd", false,
                   QStringList{"01:02:03:04", "01:02:03:05"}, "0123ABCD");
        Table::row("date at 25, zone west", tc(1, 2, 3, 4, Frame25), 48000u, "date", false,
                   QStringList{"01:02:03:04", "01:02:03:05"}, "26-12-07 -0330");
        Table::row("true drop skips 00 and 01", tc(0, 0, 59, 28, Frame30Drop), 48000u, "", true,
                   QStringList{"00:00:59;28", "00:00:59;29", "00:01:00;02", "00:01:00;03"},
                   "00000000");
        Table::row("true drop keeps minute 10, date at 29.97", tc(0, 9, 59, 28, Frame30Drop),
                   48000u, "date", true,
                   QStringList{"00:09:59;28", "00:09:59;29", "00:10:00;00", "00:10:00;01"},
                   "26-12-07 -0330");
    }

    // libltc's own decoder reads every frame back as a receiver would: the
    // code sent, the drop flag only for Type 2, the user bits (a value, or the
    // date and zone with the flags that say so), each frame one frame's worth
    // of samples after the one before (at true drop-frame 48000 * 1001 / 30000).
    void decodesBack()
    {
        const auto [first, rate, bits, trueDrop, codes, userBits] =
            Table::fetch<TimeCode, uint, QString, bool, QStringList, QString>(
                "first", "rate", "bits", "trueDrop", "codes", "userBits");
        LtcEncoder::Options options;
        QVERIFY(UserBits::parse(bits, &options.userBits));
        options.trueDropFrame = trueDrop;
        options.date = QDate(2026, 12, 7);
        options.utcOffsetSeconds = -(3 * 3600 + 30 * 60);
        LtcEncoder encoder(rate);
        QVERIFY(encoder.isValid());
        const double perFrame =
            trueDrop ? rate * 1001 / 30000.0
                     : double(rate) / TimeCodeMath::framesPerSecond(TimeCodeFormat(first.Type));
        constexpr int Frames = 30;
        QStringList sent;
        std::vector<float> audio;
        TimeCode code = first;
        // One frame more than checked: a frame is read once the next one's first edge arrives.
        for (int i = 0; i <= Frames; ++i, code = LtcTiming::nextCode(code, trueDrop)) {
            float buffer[LtcEncoder::MaxSamplesPerFrame];
            const int n = encoder.encode(code, buffer, LtcEncoder::MaxSamplesPerFrame, options);
            // Frame lengths alternate so the rate holds over the run.
            QVERIFY2(qAbs(n - perFrame) < 1.0, qPrintable(QString::number(n)));
            audio.insert(audio.end(), buffer, buffer + n);
            sent << DecodedLtc{code.Hour, code.Minute, code.Seconds, code.Frame,
                               code.Type == Frame30Drop}
                        .text();
        }
        QVERIFY(qAbs(audio.size() - (Frames + 1) * perFrame) < 1.0);

        LtcDecodeHelper decoder{int(perFrame)};
        const std::vector<DecodedLtc> got = decoder.write(audio.data(), audio.size());
        QCOMPARE(int(got.size()), Frames);
        QStringList read;
        for (int i = 0; i < Frames; ++i) {
            const DecodedLtc &d = got[size_t(i)];
            read << d.text();
            QCOMPARE(d.text(), sent[i]);
            QVERIFY2(qAbs(d.startSample - i * perFrame) <= 2.0, qPrintable(d.text()));
            QCOMPARE(d.dropFrame, first.Type == Frame30Drop);
            LTCFrame raw = d.raw;
            // Binary group flags BGF2 = 1, BGF1 = BGF0 = 0 for the date. At
            // 25 fps BGF0 and BGF2 sit at bits 27 and 43, where the 24 and 30
            // fps frames keep the parity bit and BGF0; BGF1 is bit 58 at all.
            const bool dated = bits.compare("date", Qt::CaseInsensitive) == 0;
            const bool pal = first.Type == Frame25;
            const int bgf0 = pal ? raw.biphase_mark_phase_correction : raw.binary_group_flag_bit0;
            const int bgf2 = pal ? raw.binary_group_flag_bit0 : raw.binary_group_flag_bit2;
            QCOMPARE(bgf2 << 2 | raw.binary_group_flag_bit1 << 1 | bgf0, dated ? 4 : 0);
            SMPTETimecode time;
            ltc_frame_to_time(&time, &raw, LTC_USE_DATE);
            QCOMPARE(dated ? QString::asprintf("%02d-%02d-%02d %s", time.years, time.months,
                                               time.days, time.timezone)
                           : QString::asprintf("%08lX", d.userBits),
                     userBits);
        }
        QVERIFY2(read.join(' ').contains(codes.join(' ')), qPrintable(read.join(' ')));
    }

    void level_data()
    {
        Table::columns<double, double>("set", "peak");
        Table::row("default", qQNaN(), -18.0);
        Table::row("above full scale clamps", 6.0, 0.0);
        Table::row("low", -40.0, -40.0);
    }

    void level()
    {
        const auto [set, peak] = Table::fetch<double, double>("set", "peak");
        LtcEncoder encoder(48000);
        if (!qIsNaN(set))
            encoder.setLevel(set);
        float buffer[LtcEncoder::MaxSamplesPerFrame];
        const int n =
            encoder.encode(tc(1, 2, 3, 4, Frame25), buffer, LtcEncoder::MaxSamplesPerFrame);
        QVERIFY(n > 0);
        float max = 0;
        for (int i = 0; i < n; ++i)
            max = qMax(max, qAbs(buffer[i]));
        QVERIFY2(qAbs(20 * std::log10(max) - peak) < 0.2, qPrintable(QString::number(max)));
    }

    void refusesInvalidCodes_data()
    {
        QTest::addColumn<TimeCode>("code");
        Table::row("frame 25 at 25 fps", tc(0, 0, 0, 25, Frame25));
        Table::row("hour 24", tc(24, 0, 0, 0, Frame24));
        Table::row("seconds 60", tc(0, 0, 60, 0, Frame30));
        Table::row("type 4", tc(0, 0, 0, 0, 4));
    }

    void refusesInvalidCodes()
    {
        QFETCH(TimeCode, code);
        LtcEncoder encoder(48000);
        float buffer[LtcEncoder::MaxSamplesPerFrame];
        QCOMPARE(encoder.encode(code, buffer, LtcEncoder::MaxSamplesPerFrame), 0);
        // Too small a buffer is refused too, rather than cut.
        QCOMPARE(encoder.encode(tc(0, 0, 0, 0, Frame25), buffer, 100), 0);
    }
};

QTEST_GUILESS_MAIN(TestLtcEncoder)
#include "tst_ltcencoder.moc"
