#include "artnet.h"
#include "artnettestbytes.h"
#include "dmxremote.h"
#include "privatenetwork.h"

#include <QtTest>

namespace
{
// One step of a console's life: an ArtDmx for universe 256 fed to the node
// (or none), then one check. Other universes and the input switched off are
// tst_artnetnode's dmxInputStore.
struct Step {
    QByteArray channels; // channel 1 first; empty with noFrame
    DmxRemoteAction expected = DmxRemoteAction::None;
    bool noFrame = false;
};

// The 19 channels with the given ones (1-based) at `value`.
QByteArray on(std::initializer_list<int> channels, int value = 255, int length = 19)
{
    QByteArray data(length, '\0');
    for (int c : channels)
        data[c - 1] = char(value);
    return data;
}

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class TestDmxRemote : public QObject
{
    Q_OBJECT
private slots:
    void checks_data()
    {
        using A = DmxRemoteAction;
        QTest::addColumn<QList<Step>>("steps");

        QTest::newRow("2 and 8 together: 2 first, 8 once 2 is off")
            << QList<Step>{{on({2, 8}), A::Frame25},
                           {on({2, 8}), A::None},
                           {on({8}), A::PlayPause},
                           {on({8}), A::None}};
        QTest::newRow("a released channel acts again when raised again")
            << QList<Step>{{on({8}), A::PlayPause}, {on({}), A::None}, {on({8}), A::PlayPause}};
        QTest::newRow("127 against 128")
            << QList<Step>{{on({6}, 127), A::None}, {on({6}, 128), A::TimeReset}};
        QTest::newRow("Length 4") << QList<Step>{{QByteArray("\0\0\0\xff", 4), A::Frame30}};
        QTest::newRow("channel 1") << QList<Step>{{on({1}), A::Frame24}};
        QTest::newRow("no new data keeps the held channel")
            << QList<Step>{{on({3}), A::Frame30Drop}, {{}, A::None, true}, {on({3}), A::None}};
        QTest::newRow("spare channel 5 holds and does nothing")
            << QList<Step>{{on({5, 7}), A::None}, {on({7}), A::Freeze}};
        QTest::newRow("places from channel 10") << QList<Step>{
            {on({10, 19}), A::SystemTime}, {on({19}), A::Place9}, {on({11}), A::Place1}};
        // Channels past a short frame are not scanned, so they cannot release.
        QTest::newRow("short frame leaves the held channel held")
            << QList<Step>{{on({8}), A::PlayPause}, {on({}, 0, 4), A::None}, {on({8}), A::None}};
    }

    void checks()
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
            if (!step.noFrame)
                node.dispatchDatagram(
                    ArtnetTestBytes::dmx(255, 0, int(step.channels.size()), step.channels),
                    QHostAddress::LocalHost);
            QVERIFY2(remote.check(&node) == step.expected, qPrintable(QString::number(i)));
        }
        QCOMPARE(remote.check(nullptr), DmxRemoteAction::None);
    }
};

QTEST_GUILESS_MAIN(TestDmxRemote)
#include "tst_dmxremote.moc"
