#include "fakeinterfaces.h"
#include "httprequestlimit.h"
#include "oscbytes.h"
#include "oscmessages.h"
#include "oscsubscribers.h"
#include "remotecontrol.h"
#include "remotestatus.h"

#include <QRandomGenerator>
#include <QtTest>

Q_DECLARE_METATYPE(OscMessages::Request::Kind)
Q_DECLARE_METATYPE(HttpRequestLimit::Verdict)

class TestRemoteProtocol : public QObject
{
    Q_OBJECT
private slots:
    void oscRequests_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<OscMessages::Request::Kind>("kind");
        QTest::addColumn<int>("command"); // GeneratorCommand::Kind, or the subscribe port
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text"); // part of the log text

        using R = OscMessages::Request;
        using C = GeneratorCommand;
        QTest::newRow("play") << oscMessage("/orvello/play") << R::Command << int(C::Play) << 0
                              << "play";
        QTest::newRow("pause pressed (float 1)")
            << oscMessage("/orvello/pause", "f", 1) << R::Command << int(C::Pause) << 0 << "pause";
        QTest::newRow("playpause released (float 0)") << oscMessage("/orvello/playpause", "f", 0)
                                                      << R::Release << int(C::PlayPause) << 0 << "";
        QTest::newRow("place 3 (int)") << oscMessage("/orvello/place", "i", 3) << R::Command
                                       << int(C::Place) << 2 << "place 3";
        QTest::newRow("place 0 is the system time (float)")
            << oscMessage("/orvello/place", "f", 0) << R::Command << int(C::Place) << -3 << "";
        QTest::newRow("format 3 (double)")
            << oscMessage("/orvello/format", "d", 3) << R::Command << int(C::Format) << 3 << "";
        QTest::newRow("format 2 (int64)")
            << oscMessage("/orvello/format", "h", 2) << R::Command << int(C::Format) << 2 << "";
        QTest::newRow("playlist on")
            << oscMessage("/orvello/playlist", "i", 1) << R::Command << int(C::Playlist) << 1 << "";
        QTest::newRow("subscribe from the source port")
            << oscMessage("/orvello/subscribe") << R::Subscribe << 0 << 0 << "subscribe";
        QTest::newRow("subscribe to a port")
            << oscMessage("/orvello/subscribe", "i", 9001) << R::Subscribe << 9001 << 0 << "";

        QTest::newRow("place out of range") << oscMessage("/orvello/place", "i", 10) << R::Ignored
                                            << 0 << 0 << "value 10 is not one of 0..9";
        QTest::newRow("format not whole")
            << oscMessage("/orvello/format", "f", 2.5) << R::Ignored << 0 << 0 << "not one of 0..3";
        QTest::newRow("negative playlist")
            << oscMessage("/orvello/playlist", "i", -1) << R::Ignored << 0 << 0 << "not one of";
        QTest::newRow("place without a value")
            << oscMessage("/orvello/place") << R::Ignored << 0 << 0 << "needs a value";
        QTest::newRow("string argument")
            << oscMessage("/orvello/place", "s") << R::Ignored << 0 << 0 << "wrong argument type";
        QTest::newRow("two arguments") << oscMessage("/orvello/place", "ii", 2) << R::Ignored << 0
                                       << 0 << "too many arguments";
        QTest::newRow("unknown command")
            << oscMessage("/orvello/stop") << R::Ignored << 0 << 0 << "unknown command \"stop\"";
        QTest::newRow("unknown address")
            << oscMessage("/other/play") << R::Ignored << 0 << 0 << "unknown address /other/play";
        QTest::newRow("bad subscribe port")
            << oscMessage("/orvello/subscribe", "i", 70000) << R::Ignored << 0 << 0 << "bad port";
        QTest::newRow("bundle") << QByteArray("#bundle\0\0\0\0\0\0\0\0\1\0\0\0\x10", 20) +
                                       oscMessage("/orvello/play")
                                << R::Ignored << 0 << 0 << "bundle";
        QTest::newRow("truncated") << oscMessage("/orvello/place", "i", 3).chopped(4) << R::Ignored
                                   << 0 << 0 << "malformed";
        QTest::newRow("not whole words")
            << oscMessage("/orvello/play").chopped(1) << R::Ignored << 0 << 0 << "truncated";
        QTest::newRow("oversized") << oscMessage("/orvello/play") + QByteArray(600, '\0')
                                   << R::Ignored << 0 << 0 << "oversized";
        QTest::newRow("address not terminated")
            << QByteArray("/orvello/playxxx,\0\0\0", 20) << R::Ignored << 0 << 0 << "malformed";
        QTest::newRow("type tag promises an int that is not there")
            << QByteArray("/orvello/place\0\0,i\0\0", 20) << R::Ignored << 0 << 0 << "malformed";
    }

    void oscRequests()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(OscMessages::Request::Kind, kind);
        QFETCH(int, command);
        QFETCH(int, value);
        QFETCH(QString, text);

        const OscMessages::Request request = OscMessages::interpret(datagram);
        QCOMPARE(request.kind, kind);
        QVERIFY2(request.text.contains(text), qPrintable(request.text));
        if (kind == OscMessages::Request::Command) {
            QCOMPARE(int(request.command.kind), command);
            QCOMPARE(request.command.value, value);
        }
        if (kind == OscMessages::Request::Subscribe)
            QCOMPARE(int(request.port), command);
    }

    // Control surfaces, scanners and broken senders: every prefix, every single
    // byte changed and random words of valid messages are taken apart without a
    // crash, and nothing but the real address ever becomes a command.
    void oscNeverTrustsBytes()
    {
        const QList<QByteArray> valid{oscMessage("/orvello/place", "i", 3),
                                      oscMessage("/orvello/format", "d", 1),
                                      oscMessage("/orvello/subscribe", "i", 9001)};
        QRandomGenerator random(22);
        int commands = 0;
        for (const QByteArray &message : valid) {
            for (qsizetype n = 0; n < message.size(); ++n)
                OscMessages::interpret(message.left(n));
            for (int round = 0; round < 2000; ++round) {
                QByteArray bytes = message;
                bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
                if (round % 3 == 0)
                    bytes.append(QByteArray(4 * random.bounded(4), char(random.bounded(256))));
                const OscMessages::Request request = OscMessages::interpret(bytes);
                if (request.kind == OscMessages::Request::Command) {
                    ++commands;
                    QVERIFY(bytes.startsWith("/orvello/"));
                }
            }
        }
        QVERIFY(commands > 0); // some changes leave a valid command, which is fine
    }

    void jsonCommands_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("value");
        using C = GeneratorCommand;
        QTest::newRow("place 0") << QByteArray(R"({"command":"place","value":0})") << true
                                 << int(C::Place) << -3;
        QTest::newRow("format 1.0")
            << QByteArray(R"({"command":"format","value":1.0})") << true << int(C::Format) << 1;
        QTest::newRow("playlist off")
            << QByteArray(R"({"command":"playlist","value":0})") << true << int(C::Playlist) << 0;
        QTest::newRow("value as text")
            << QByteArray(R"({"command":"place","value":"3"})") << false << 0 << 0;
        QTest::newRow("no command") << QByteArray(R"({"value":1})") << false << 0 << 0;
        QTest::newRow("array") << QByteArray(R"(["play"])") << false << 0 << 0;
        QTest::newRow("not JSON") << QByteArray("command=play") << false << 0 << 0;
        QTest::newRow("empty") << QByteArray() << false << 0 << 0;
    }

    void jsonCommands()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, ok);
        QFETCH(int, kind);
        QFETCH(int, value);
        const RemoteJson::Parsed parsed = RemoteJson::command(body);
        QCOMPARE(parsed.ok, ok);
        QCOMPARE(parsed.error.isEmpty(), ok);
        if (ok) {
            QCOMPARE(int(parsed.command.kind), kind);
            QCOMPARE(parsed.command.value, value);
        }
    }

    void statusJson()
    {
        RemoteStatus status;
        status.code = TimeCode::make(1, 2, 3, 4, 1);
        status.format = 1;
        status.paused = false;
        status.place = 2;
        status.facts = {{StatusFact::Artnet, QStringLiteral("Art-Net: to 10.77.0.255"), false, {}},
                        {StatusFact::Store, QStringLiteral("a \"damaged\"\nstore"), true, {}}};
        QCOMPARE(status.json(),
                 QByteArray("{\"timecode\":\"01:02:03:04\",\"format\":1,\"state\":\"running\","
                            "\"source\":\"place 3\",\"facts\":[{\"error\":false,\"text\":"
                            "\"Art-Net: to 10.77.0.255\"},{\"error\":true,\"text\":"
                            "\"a \\\"damaged\\\"\\nstore\"}]}"));
    }

    void authorisation_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("no token, no header") << "" << QByteArray() << true;
        QTest::newRow("right") << "s3cret!" << QByteArray("Bearer s3cret!") << true;
        QTest::newRow("scheme in any case") << "s3cret!" << QByteArray("bearer s3cret!") << true;
        QTest::newRow("missing") << "s3cret!" << QByteArray() << false;
        QTest::newRow("prefix of it") << "s3cret!" << QByteArray("Bearer s3cret") << false;
        QTest::newRow("longer") << "s3cret!" << QByteArray("Bearer s3cret!!") << false;
        QTest::newRow("other scheme") << "s3cret!" << QByteArray("Basic s3cret!") << false;
        QTest::newRow("empty bearer") << "s3cret!" << QByteArray("Bearer ") << false;
    }

    void authorisation()
    {
        QFETCH(QString, token);
        QFETCH(QByteArray, header);
        QFETCH(bool, allowed);
        QCOMPARE(RemoteJson::authorised(token, header), allowed);
    }

    void requestLimit_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<HttpRequestLimit::Verdict>("verdict");
        QTest::addColumn<int>("completed");
        QTest::addColumn<bool>("upgraded");
        using H = HttpRequestLimit;
        const QByteArray post = "POST /api/command HTTP/1.1\r\nHost: x\r\nContent-Length: ";
        QTest::newRow("a GET") << QList<QByteArray>{"GET / HTTP/1.1\r\nHost: x\r\n\r\n"} << H::Fine
                               << 1 << false;
        QTest::newRow("head in pieces, end split")
            << QList<QByteArray>{"GET / HTTP/1.1\r\nHo", "st: x\r\n\r", "\n"} << H::Fine << 1
            << false;
        QTest::newRow("body of 4096, then a second request")
            << QList<QByteArray>{post + "4096\r\n\r\n",
                                 QByteArray(4096, 'x') + "GET / HTTP/1.1\r\n\r\n"}
            << H::Fine << 2 << false;
        QTest::newRow("body of 4097")
            << QList<QByteArray>{post + "4097\r\n\r\n"} << H::BodyTooLarge << 0 << false;
        QTest::newRow("large body behind a small request")
            << QList<QByteArray>{post + "2\r\n\r\n{}" + post + "99999\r\n\r\n"} << H::BodyTooLarge
            << 1 << false;
        QTest::newRow("two lengths") << QList<QByteArray>{post + "2\r\nContent-Length: 3\r\n\r\n"}
                                     << H::BadRequest << 0 << false;
        QTest::newRow("signed length")
            << QList<QByteArray>{post + "-1\r\n\r\n"} << H::BadRequest << 0 << false;
        QTest::newRow("chunked") << QList<QByteArray>{"POST / HTTP/1.1\r\nTransfer-Encoding: "
                                                      "chunked\r\n\r\n"}
                                 << H::LengthRequired << 0 << false;
        QTest::newRow("endless head")
            << QList<QByteArray>{"GET / HTTP/1.1\r\n", QByteArray(5000, 'a'), QByteArray(5000, 'b')}
            << H::HeadTooLarge << 0 << false;
        QTest::newRow("upgrade, then frames")
            << QList<QByteArray>{"GET /ws HTTP/1.1\r\nUpgrade: websocket\r\n\r\n",
                                 QByteArray(100000, '\x81')}
            << H::Fine << 1 << true;
    }

    void requestLimit()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(HttpRequestLimit::Verdict, verdict);
        QFETCH(int, completed);
        QFETCH(bool, upgraded);
        HttpRequestLimit limit;
        HttpRequestLimit::Verdict last = HttpRequestLimit::Fine;
        for (const QByteArray &piece : pieces)
            last = limit.feed(piece.constData(), piece.size());
        QCOMPARE(last, verdict);
        QCOMPARE(limit.completed(), completed);
        QCOMPARE(limit.upgraded(), upgraded);
    }

    void subscribers()
    {
        OscSubscribers list;
        const QHostAddress a(QStringLiteral("10.77.0.2"));
        QCOMPARE(list.subscribe(a, 9001, 0), OscSubscribers::Added);
        QCOMPARE(list.subscribe(a, 9001, 9999), OscSubscribers::Renewed);
        QVERIFY(!list.expire(9999 + OscSubscribers::LifetimeMs - 1));
        QVERIFY(list.expire(9999 + OscSubscribers::LifetimeMs));
        QCOMPARE(list.count(), 0);

        for (quint16 port = 1; port <= OscSubscribers::Max; ++port)
            QCOMPARE(list.subscribe(a, port, 20000 + port), OscSubscribers::Added);
        QCOMPARE(list.subscribe(a, 100, 20100), OscSubscribers::Full);
        QCOMPARE(list.subscribe(a, 5, 20100), OscSubscribers::Renewed);
        // Once the others have gone quiet, a newcomer gets a place.
        QCOMPARE(list.subscribe(a, 100, 20017 + OscSubscribers::LifetimeMs), OscSubscribers::Added);
        QCOMPARE(list.count(), 2);
    }

    void oscAddress_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("address");
        QTest::newRow("all") << QString("255.255.255.255") << QString("0.0.0.0");
        QTest::newRow("nothing chosen (first start)") << QString() << QString("0.0.0.0");
        QTest::newRow("second network") << QString("192.168.77.0") << QString("192.168.77.1");
        QTest::newRow("chosen network not there") << QString("172.16.0.0") << QString("127.0.0.1");
    }

    void oscAddress()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, address);
        const QList<ArtnetInterface> interfaces =
            ArtnetInterfaces::enumerate({fakeInterface("10.77.0.1", "10.77.0.255"),
                                         fakeInterface("192.168.77.1", "192.168.77.255")},
                                        [](const QString &) {});
        QCOMPARE(RemoteControl::oscAddress(interfaces, chosen).toString(), address);
    }
};

QTEST_GUILESS_MAIN(TestRemoteProtocol)
#include "tst_remoteprotocol.moc"
