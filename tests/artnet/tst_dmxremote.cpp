#include "artnet.h"
#include "dmxremote.h"
#include "privatenetwork.h"

#include <QtTest>

namespace
{
// One step of a console's life: an ArtDmx fed to the node (or none), then
// one check.
struct Step {
    QByteArray channels; // channel 1 first; empty with noFrame
    quint16 net = 0;     // Net << 8 | SubUni of the ArtDmx
    bool noFrame = false;
    bool switchOff = false;
    DmxRemoteAction expected = DmxRemoteAction::None;
};

QByteArray dmx(quint16 address, const QByteArray &data)
{
    QByteArray out("Art-Net\0\x00\x50\x00\x0E\x00\x00", 14);
    out.append(char(address & 0xFF)).append(char(address >> 8));
    out.append(char(data.size() >> 8)).append(char(data.size() & 0xFF));
    return out + data;
}

// The 19 channels with the given ones (1-based) at `value`.
QByteArray on(std::initializer_list<int> channels, int value = 255, int length = 19)
{
    QByteArray data(length, '\0');
    for (int c : channels)
        data[c - 1] = char(value);
    return data;
}

Step frame(const QByteArray &channels, DmxRemoteAction expected, quint16 address = 255)
{
    Step s;
    s.channels = channels;
    s.net = address;
    s.expected = expected;
    return s;
}

Step nothingNew()
{
    Step s;
    s.noFrame = true;
    return s;
}
} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class TestDmxRemote : public QObject
{
    Q_OBJECT
private slots:
    void checks_data();
    void checks();
};

void TestDmxRemote::checks_data()
{
    using A = DmxRemoteAction;
    QTest::addColumn<QList<Step>>("steps");

    QTest::newRow("2 and 8 together: 2 first, 8 once 2 is off")
        << QList<Step>{frame(on({2, 8}), A::Frame25), frame(on({2, 8}), A::None),
                       frame(on({8}), A::PlayPause), frame(on({8}), A::None)};
    QList<Step> held(10, frame(on({8}, 200), A::None));
    held.first().expected = A::PlayPause;
    held << frame(on({}), A::None) << frame(on({8}, 200), A::PlayPause);
    QTest::newRow("8 held for ten frames, off once, on again") << held;
    QTest::newRow("127 against 128")
        << QList<Step>{frame(on({6}, 127), A::None), frame(on({6}, 128), A::TimeReset)};
    QTest::newRow("Length 4") << QList<Step>{frame(QByteArray("\0\0\0\xff", 4), A::Frame30)};
    QTest::newRow("other universes")
        << QList<Step>{frame(on({1}), A::None, 0x1FF), frame(on({1}), A::None, 0xFE),
                       frame(on({1}), A::Frame24, 0xFF)};
    QTest::newRow("no new data keeps the held channel")
        << QList<Step>{frame(on({3}), A::Frame30Drop), nothingNew(), frame(on({3}), A::None)};
    QTest::newRow("spare channel 5 holds and does nothing")
        << QList<Step>{frame(on({5, 7}), A::None), frame(on({7}), A::Freeze)};
    QTest::newRow("places from channel 10") << QList<Step>{
        frame(on({10, 19}), A::SystemTime), frame(on({19}), A::Place9), frame(on({11}), A::Place1)};
    // Channels past a short frame are not scanned, so they cannot release.
    QTest::newRow("short frame leaves the held channel held") << QList<Step>{
        frame(on({8}), A::PlayPause), frame(on({}, 0, 4), A::None), frame(on({8}), A::None)};
    Step off = frame(on({1}), A::None);
    off.switchOff = true;
    QTest::newRow("switched off") << QList<Step>{off};
}

void TestDmxRemote::checks()
{
    REQUIRE_PRIVATE_NETWORK();
    QFETCH(QList<Step>, steps);

    artnet node(false, {}, [](const QByteArray &) {});
    QVERIFY(node.setDmxInUniverse(255)); // universe 256
    DmxRemote remote;
    // The first check starts the input; frames before it are not kept.
    QCOMPARE(remote.check(&node), DmxRemoteAction::None);
    QVERIFY(node.isBound());

    for (int i = 0; i < steps.size(); ++i) {
        const Step &step = steps.at(i);
        if (step.switchOff)
            node.setDmxInEnabled(false);
        if (!step.noFrame)
            node.dispatchDatagram(dmx(step.net, step.channels), QHostAddress::LocalHost);
        QVERIFY2(remote.check(&node) == step.expected, qPrintable(QString::number(i)));
    }
    QCOMPARE(remote.check(nullptr), DmxRemoteAction::None);
}

QTEST_GUILESS_MAIN(TestDmxRemote)
#include "tst_dmxremote.moc"
