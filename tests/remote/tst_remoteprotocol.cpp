#include "fakeinterfaces.h"
#include "httprequestlimit.h"
#include "oscbytes.h"
#include "oscmessages.h"
#include "oscsubscribers.h"
#include "remotecontrol.h"
#include "remotestatus.h"
#include "table.h"

#include <QtTest>

Q_DECLARE_METATYPE(OscMessages::Request::Kind)
Q_DECLARE_METATYPE(HttpRequestLimit::Verdict)

class TestRemoteProtocol : public QObject
{
    Q_OBJECT
private slots:
    void oscRequests_data()
    {
        // command: GeneratorCommand::Kind, or the subscribe port; text: part of the log text
        Table::columns<QByteArray, OscMessages::Request::Kind, int, int, QString>(
            "datagram", "kind", "command", "value", "text");

        using R = OscMessages::Request;
        using C = GeneratorCommand;
        const auto row = [](const char *name, const QByteArray &datagram, R::Kind kind, int command,
                            int value, const char *text) {
            QTest::newRow(name) << datagram << kind << command << value << QString(text);
        };
        const auto ignored = [&row](const char *name, const QByteArray &datagram,
                                    const char *text) {
            row(name, datagram, R::Ignored, 0, 0, text);
        };
        row("play", oscMessage("/orvello/play"), R::Command, C::Play, 0, "play");
        row("pause pressed (float 1)", oscMessage("/orvello/pause", "f", 1), R::Command, C::Pause,
            0, "pause");
        row("playpause released (float 0)", oscMessage("/orvello/playpause", "f", 0), R::Release,
            C::PlayPause, 0, "");
        row("place 3 (int)", oscMessage("/orvello/place", "i", 3), R::Command, C::Place, 2,
            "place 3");
        row("place 0 is the system time (float)", oscMessage("/orvello/place", "f", 0), R::Command,
            C::Place, -3, "");
        row("format 3 (double)", oscMessage("/orvello/format", "d", 3), R::Command, C::Format, 3,
            "");
        row("format 2 (int64)", oscMessage("/orvello/format", "h", 2), R::Command, C::Format, 2,
            "");
        row("playlist on", oscMessage("/orvello/playlist", "i", 1), R::Command, C::Playlist, 1, "");
        row("subscribe from the source port", oscMessage("/orvello/subscribe"), R::Subscribe, 0, 0,
            "subscribe");
        row("subscribe to a port", oscMessage("/orvello/subscribe", "i", 9001), R::Subscribe, 9001,
            0, "");

        ignored("place out of range", oscMessage("/orvello/place", "i", 10),
                "value 10 is not one of 0..9");
        ignored("format not whole", oscMessage("/orvello/format", "f", 2.5), "not one of 0..3");
        ignored("negative playlist", oscMessage("/orvello/playlist", "i", -1), "not one of");
        ignored("place without a value", oscMessage("/orvello/place"), "needs a value");
        ignored("string argument", oscMessage("/orvello/place", "s"), "wrong argument type");
        ignored("two arguments", oscMessage("/orvello/place", "ii", 2), "too many arguments");
        ignored("unknown command", oscMessage("/orvello/stop"), "unknown command \"stop\"");
        ignored("unknown address", oscMessage("/other/play"), "unknown address /other/play");
        ignored("bad subscribe port", oscMessage("/orvello/subscribe", "i", 70000), "bad port");
        ignored("bundle",
                QByteArray("#bundle\0\0\0\0\0\0\0\0\1\0\0\0\x10", 20) + oscMessage("/orvello/play"),
                "bundle");
        ignored("truncated", oscMessage("/orvello/place", "i", 3).chopped(4), "malformed");
        ignored("not whole words", oscMessage("/orvello/play").chopped(1), "truncated");
        ignored("oversized", oscMessage("/orvello/play") + QByteArray(600, '\0'), "oversized");
        ignored("address not terminated", QByteArray("/orvello/playxxx,\0\0\0", 20), "malformed");
        ignored("type tag promises an int that is not there",
                QByteArray("/orvello/place\0\0,i\0\0", 20), "malformed");
    }

    void oscRequests()
    {
        const auto [datagram, kind, command, value, text] =
            Table::fetch<QByteArray, OscMessages::Request::Kind, int, int, QString>(
                "datagram", "kind", "command", "value", "text");
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

    void jsonCommands_data()
    {
        using Table::row;
        Table::columns<QByteArray, bool, int, int>("body", "ok", "kind", "value");
        using C = GeneratorCommand;
        row("place 0", QByteArray(R"({"command":"place","value":0})"), true, int(C::Place), -3);
        row("format 1.0", QByteArray(R"({"command":"format","value":1.0})"), true, int(C::Format),
            1);
        row("playlist off", QByteArray(R"({"command":"playlist","value":0})"), true,
            int(C::Playlist), 0);
        row("value as text", QByteArray(R"({"command":"place","value":"3"})"), false, 0, 0);
        row("no command", QByteArray(R"({"value":1})"), false, 0, 0);
        row("array", QByteArray(R"(["play"])"), false, 0, 0);
        row("not JSON", QByteArray("command=play"), false, 0, 0);
        row("empty", QByteArray(), false, 0, 0);
    }

    void jsonCommands()
    {
        const auto [body, ok, kind, value] =
            Table::fetch<QByteArray, bool, int, int>("body", "ok", "kind", "value");
        const RemoteJson::Parsed parsed = RemoteJson::command(body);
        QCOMPARE(parsed.ok, ok);
        QCOMPARE(parsed.error.isEmpty(), ok);
        if (ok) {
            QCOMPARE(int(parsed.command.kind), kind);
            QCOMPARE(parsed.command.value, value);
        }
    }

    // What subscribers get, as liblo reads it: address, types and values.
    void outgoingMessages()
    {
        QByteArray code = OscMessages::timecode(TimeCode::make(1, 2, 3, 4, 3));
        QByteArray state = OscMessages::state(QStringLiteral("frozen"), QStringLiteral("place 2"));
        QStringList read;
        for (QByteArray *bytes : {&code, &state}) {
            int error = 0;
            const lo_message m =
                lo_message_deserialise(bytes->data(), size_t(bytes->size()), &error);
            QVERIFY2(m, qPrintable(QString::number(error)));
            const QString types = QString::fromLatin1(lo_message_get_types(m));
            lo_arg **argv = lo_message_get_argv(m);
            read << QString::fromLatin1(bytes->constData()) + ' ' + types + ' ' + &argv[0]->s +
                        ' ' + (types == "ss" ? QString(&argv[1]->s) : QString::number(argv[1]->i));
            lo_message_free(m);
        }
        QCOMPARE(read, (QStringList{"/orvello/timecode si 01:02:03:04 3",
                                    "/orvello/state ss frozen place 2"}));
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
        Table::columns<QString, QByteArray, bool>("token", "header", "allowed");
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
        const auto [token, header, allowed] =
            Table::fetch<QString, QByteArray, bool>("token", "header", "allowed");
        QCOMPARE(RemoteJson::authorised(token, header), allowed);
    }

    void requestLimit_data()
    {
        using Table::row;
        Table::columns<QList<QByteArray>, HttpRequestLimit::Verdict, int, bool>(
            "pieces", "verdict", "completed", "upgraded");
        using H = HttpRequestLimit;
        const QByteArray post = "POST /api/command HTTP/1.1\r\nHost: x\r\nContent-Length: ";
        row("a GET", QList<QByteArray>{"GET / HTTP/1.1\r\nHost: x\r\n\r\n"}, H::Fine, 1, false);
        row("head in pieces, end split",
            QList<QByteArray>{"GET / HTTP/1.1\r\nHo", "st: x\r\n\r", "\n"}, H::Fine, 1, false);
        row("body of 4096, then a second request",
            QList<QByteArray>{post + "4096\r\n\r\n",
                              QByteArray(4096, 'x') + "GET / HTTP/1.1\r\n\r\n"},
            H::Fine, 2, false);
        row("body of 4097", QList<QByteArray>{post + "4097\r\n\r\n"}, H::BodyTooLarge, 0, false);
        row("large body behind a small request",
            QList<QByteArray>{post + "2\r\n\r\n{}" + post + "99999\r\n\r\n"}, H::BodyTooLarge, 1,
            false);
        row("two lengths", QList<QByteArray>{post + "2\r\nContent-Length: 3\r\n\r\n"},
            H::BadRequest, 0, false);
        row("signed length", QList<QByteArray>{post + "-1\r\n\r\n"}, H::BadRequest, 0, false);
        row("chunked", QList<QByteArray>{"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"},
            H::LengthRequired, 0, false);
        row("endless head",
            QList<QByteArray>{"GET / HTTP/1.1\r\n", QByteArray(5000, 'a'), QByteArray(5000, 'b')},
            H::HeadTooLarge, 0, false);
        row("upgrade, then frames",
            QList<QByteArray>{"GET /ws HTTP/1.1\r\nUpgrade: websocket\r\n\r\n",
                              QByteArray(100000, '\x81')},
            H::Fine, 1, true);
    }

    void requestLimit()
    {
        const auto [pieces, verdict, completed, upgraded] =
            Table::fetch<QList<QByteArray>, HttpRequestLimit::Verdict, int, bool>(
                "pieces", "verdict", "completed", "upgraded");
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
        Table::columns<QString, QString>("chosen", "address");
        QTest::newRow("all") << QString("255.255.255.255") << QString("0.0.0.0");
        QTest::newRow("nothing chosen (first start)") << QString() << QString("0.0.0.0");
        QTest::newRow("second network") << QString("192.168.77.0") << QString("192.168.77.1");
        QTest::newRow("chosen network not there") << QString("172.16.0.0") << QString("127.0.0.1");
    }

    void oscAddress()
    {
        const auto [chosen, address] = Table::fetch<QString, QString>("chosen", "address");
        const QList<ArtnetInterface> interfaces =
            ArtnetInterfaces::enumerate({fakeInterface("10.77.0.1", "10.77.0.255"),
                                         fakeInterface("192.168.77.1", "192.168.77.255")},
                                        [](const QString &) {});
        QCOMPARE(RemoteControl::oscAddress(interfaces, chosen).toString(), address);
    }
};

QTEST_GUILESS_MAIN(TestRemoteProtocol)
#include "tst_remoteprotocol.moc"
