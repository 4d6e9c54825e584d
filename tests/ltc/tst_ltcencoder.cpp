#include "ltcdecodehelper.h"
#include "ltcencoder.h"

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
        QTest::addColumn<TimeCode>("first");
        QTest::addColumn<uint>("rate");
        QTest::addColumn<QString>("crossing");
        // Each row runs eight frames from its first code, across a wrap where
        // the code sits near one, so the digits that change last are covered.
        QTest::newRow("24 midnight")
            << tc(23, 59, 59, 20, Frame24) << 48000u << QString("00:00:00:00");
        QTest::newRow("25 midnight")
            << tc(23, 59, 59, 21, Frame25) << 48000u << QString("00:00:00:00");
        QTest::newRow("30 drop minute")
            << tc(10, 0, 59, 26, Frame30Drop) << 48000u << QString("10:01:00;00");
        QTest::newRow("30 drop midnight")
            << tc(23, 59, 59, 26, Frame30Drop) << 48000u << QString("00:00:00;00");
        QTest::newRow("30 hour") << tc(9, 59, 59, 27, Frame30) << 48000u << QString("10:00:00:00");
        QTest::newRow("24 at 44100")
            << tc(23, 59, 59, 20, Frame24) << 44100u << QString("00:00:00:00");
        QTest::newRow("25 at 44100")
            << tc(12, 34, 56, 0, Frame25) << 44100u << QString("12:34:56:07");
    }

    // libltc's own decoder reads every frame back: the same code, the drop
    // flag only for Type 2, user bits zero, each frame exactly one frame's
    // worth of samples after the one before.
    void decodesBack()
    {
        QFETCH(TimeCode, first);
        QFETCH(uint, rate);
        QFETCH(QString, crossing);
        constexpr int Frames = 8;
        LtcEncoder encoder(rate);
        QVERIFY(encoder.isValid());
        const int fps = TimeCodeMath::framesPerSecond(TimeCodeFormat(first.Type));
        const double perFrame = double(rate) / fps;

        std::vector<TimeCode> sent;
        std::vector<float> audio;
        TimeCode code = first;
        // One frame more than checked: a frame is read once the next one's first edge arrives.
        for (int i = 0; i <= Frames; ++i, code = LtcTiming::nextCode(code)) {
            float buffer[LtcEncoder::MaxSamplesPerFrame];
            const int n = encoder.encode(code, buffer, LtcEncoder::MaxSamplesPerFrame);
            QVERIFY(qAbs(n - perFrame) < 1.0);
            audio.insert(audio.end(), buffer, buffer + n);
            sent.push_back(code);
        }
        QVERIFY(qAbs(audio.size() - (Frames + 1) * perFrame) < 1.0);

        LtcDecodeHelper decoder{int(perFrame)};
        const std::vector<DecodedLtc> got = decoder.write(audio.data(), audio.size());
        QCOMPARE(int(got.size()), Frames);
        for (int i = 0; i < Frames; ++i) {
            const DecodedLtc &d = got[size_t(i)];
            const TimeCode &s = sent[size_t(i)];
            const QString want =
                QString::asprintf("%02d:%02d:%02d%c%02d", s.Hour, s.Minute, s.Seconds,
                                  s.Type == Frame30Drop ? ';' : ':', s.Frame);
            QCOMPARE(d.text(), want);
            QCOMPARE(d.userBits, 0ul);
            QVERIFY2(qAbs(d.startSample - i * perFrame) <= 2.0, qPrintable(d.text()));
        }
        QVERIFY(std::any_of(got.begin(), got.end(),
                            [&](const DecodedLtc &d) { return d.text() == crossing; }));
    }

    void level_data()
    {
        QTest::addColumn<double>("set");
        QTest::addColumn<double>("peak");
        QTest::newRow("default") << qQNaN() << -18.0;
        QTest::newRow("full scale") << 0.0 << 0.0;
        QTest::newRow("above full scale clamps") << 6.0 << 0.0;
        QTest::newRow("low") << -40.0 << -40.0;
    }

    void level()
    {
        QFETCH(double, set);
        QFETCH(double, peak);
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
        QTest::newRow("frame 25 at 25 fps") << tc(0, 0, 0, 25, Frame25);
        QTest::newRow("hour 24") << tc(24, 0, 0, 0, Frame24);
        QTest::newRow("seconds 60") << tc(0, 0, 60, 0, Frame30);
        QTest::newRow("type 4") << tc(0, 0, 0, 0, 4);
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
