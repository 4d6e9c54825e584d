#include "artnet.h"
#include "fakeinterfaces.h"
#include "fakemidioutputservice.h"
#include "midi.h"
#include "privatenetwork.h"
#include "statusfacts.h"
#include "table.h"

#include <QUdpSocket>
#include <QtTest>

namespace
{
const QList<AddressEntry> TwoSubnets{fakeInterface("10.77.0.1", "10.77.0.255"),
                                     fakeInterface("192.168.77.1", "192.168.77.255")};
// The first "broadcast" address is a peer on the loopback; the second has no
// route in the test's namespace, as an adapter whose link is down.
const QList<AddressEntry> OneUnreachable{fakeInterface("10.77.0.1", "127.0.0.2"),
                                         fakeInterface("192.168.77.1", "192.168.77.255")};

// The status a real node reports in each situation, on the namespace's loopback.
ArtnetStatus artnetIn(const QString &situation)
{
    std::unique_ptr<QUdpSocket> blocker;
    if (situation == QLatin1String("port busy")) {
        blocker = std::make_unique<QUdpSocket>();
        if (!blocker->bind(QHostAddress::AnyIPv4, 6454, QUdpSocket::DontShareAddress))
            qFatal("port 6454 is taken already");
    }
    const bool loopback = situation == QLatin1String("loopback only");
    const bool unreachable = situation.endsWith(QLatin1String("unreachable"));
    QList<AddressEntry> entries = loopback ? QList<AddressEntry>{} : TwoSubnets;
    if (situation == QLatin1String("one unreachable"))
        entries = OneUnreachable;
    artnet node(false, entries, [](const QByteArray &) {});
    node.setShareAddress(false);
    node.setPollReplyEnabled(true);
    if (loopback || unreachable)
        node.slotSendTimeCode(1, 2, 3, 4, 1);
    if (situation == QLatin1String("one unreachable"))
        node.slotSendTimeCode(1, 2, 3, 5, 1);
    if (situation == QLatin1String("another source"))
        node.dispatchDatagram(ArtnetPacket::timeCode(1, 2, 3, 4, 1),
                              QHostAddress(QStringLiteral("10.77.0.9")));
    return node.status();
}

MidiStatus midiIn(const QString &situation)
{
    using namespace MidiResult;
    auto fake = std::make_shared<FakeMidiOutputService>(
        situation == QLatin1String("none") ? QStringList{} : QStringList{"synth", "mtc:in"});
    if (situation == QLatin1String("open fails"))
        fake->fail = {'O', 1, 1, MMSYSERR_ERROR};
    if (situation == QLatin1String("refuses"))
        fake->fail = {'L', 1, 1, MIDIERR_NOTREADY};
    midi out(fake);
    out.setTimecodeType(midi::MidiTimecode);
    out.selectOutputDevice(QStringLiteral("mtc:in"));
    out.slotSendTimeCode(1, 2, 3, 4, 1);
    return out.status();
}
} // namespace

class TestStatusLine : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { REQUIRE_PRIVATE_NETWORK(); }
    void facts_data()
    {
        // artnet, midi: the situation, or "off"; failures: one digit per fact;
        // failingPart: what is in the error colour when only part of a fact fails.
        Table::columns<QString, QString, QStringList, QString, QString>("artnet", "midi", "texts",
                                                                        "failures", "failingPart");
        const auto row = [](const char *name, const char *artnet, const char *midi,
                            const QStringList &texts, const char *failures,
                            const char *failingPart = "") {
            QTest::newRow(name) << artnet << midi << texts << failures << failingPart;
        };
        row("port busy", "port busy", "off",
            {"Art-Net: port 6454 in use by another program", "MIDI: off"}, "10");
        row("loopback only", "loopback only", "none",
            {"Art-Net: loopback only (no network), frames sent: 1", "MIDI: no MIDI ports"}, "11");
        row("another source", "another source", "sending",
            {"Art-Net: to 10.77.0.255 (frames sent: 0), 192.168.77.255 (frames sent: 0)",
             "MIDI: to mtc:in, MIDI Timecode", "another timecode source at 10.77.0.9"},
            "001");
        row("one destination unreachable", "one unreachable", "refuses",
            {"Art-Net: to 127.0.0.2 (frames sent: 2), 192.168.77.255: network unreachable "
             "(frames sent: 0)",
             "MIDI: to mtc:in: refuses messages, MIDI Timecode"},
            "01", "192.168.77.255: network unreachable (frames sent: 0)");
        row("every destination unreachable", "all unreachable", "off",
            {"Art-Net: to 10.77.0.255: network unreachable (frames sent: 0), 192.168.77.255: "
             "network unreachable (frames sent: 0)",
             "MIDI: off"},
            "10");
        row("Art-Net off", "off", "open fails", {"Art-Net: off", "MIDI: cannot open mtc:in"}, "01");
    }

    void facts()
    {
        const auto [artnet, midi, texts, failures, failingPart] =
            Table::fetch<QString, QString, QStringList, QString, QString>(
                "artnet", "midi", "texts", "failures", "failingPart");
        const bool artnetOn = artnet != QLatin1String("off");
        const bool midiOn = midi != QLatin1String("off");
        const QList<StatusFact> facts =
            statusFacts(artnetOn, artnetOn ? artnetIn(artnet) : ArtnetStatus{}, midiOn,
                        midiOn ? midiIn(midi) : MidiStatus{});
        QStringList gotTexts;
        QString gotFailures;
        QStringList failingParts;
        for (const StatusFact &fact : facts) {
            gotTexts << fact.text;
            gotFailures += fact.failure ? QLatin1Char('1') : QLatin1Char('0');
            QString joined;
            for (const StatusFact::Segment &segment : fact.segments) {
                joined += segment.text;
                if (segment.failure)
                    failingParts << segment.text;
            }
            QVERIFY(fact.segments.isEmpty() || joined == fact.text);
        }
        QCOMPARE(gotTexts, texts);
        QCOMPARE(gotFailures, failures);
        QCOMPARE(failingParts.join(QLatin1Char('|')), failingPart);
    }
};

QTEST_GUILESS_MAIN(TestStatusLine)
#include "tst_statusline.moc"
