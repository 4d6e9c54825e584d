#include "ltcencoder.h"
#include "table.h"

#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(TimeCode)

static TimeCode tc(int h, int m, int s, int f, int type)
{
    return TimeCode::make(quint8(h), quint8(m), quint8(s), quint8(f), quint8(type));
}

class TestLtcEncoder : public QObject
{
    Q_OBJECT
private slots:
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
