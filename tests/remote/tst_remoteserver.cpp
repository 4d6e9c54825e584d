#include "oscbytes.h"
#include "oscmessages.h"
#include "privatenetwork.h"
#include "remotecontrol.h"
#include "settingsstore.h"
#include "table.h"

#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QWebSocket>
#include <QtTest>

#include <algorithm>
#include <memory>

// Both remotes on a real generator (workers on their threads, loopback
// only), driven by real sockets as consoles, control surfaces and browsers
// drive them.
namespace
{
constexpr quint16 OscPort = 19100;
constexpr quint16 WebPort = 18180;
constexpr int Wait = 10000; // bound of every wait; met in milliseconds on a quiet machine

struct Reply {
    int status = 0;
    QByteArray head;
    QByteArray body;
    bool closed = false;
};

// One request on a connection of its own; the answer as far as it came.
Reply http(const QByteArray &request, const QString &host = QStringLiteral("127.0.0.1"))
{
    Reply reply;
    QTcpSocket socket;
    socket.connectToHost(host, WebPort);
    (void)QTest::qWaitFor(
        [&] {
            return socket.state() == QAbstractSocket::ConnectedState ||
                   socket.error() != QAbstractSocket::UnknownSocketError;
        },
        Wait);
    if (socket.state() != QAbstractSocket::ConnectedState)
        return reply;
    socket.write(request);
    QByteArray data;
    (void)QTest::qWaitFor(
        [&] {
            data += socket.readAll();
            const qsizetype end = data.indexOf("\r\n\r\n");
            if (end < 0)
                return socket.state() != QAbstractSocket::ConnectedState;
            const QRegularExpression length(QStringLiteral("Content-Length: *(\\d+)"),
                                            QRegularExpression::CaseInsensitiveOption);
            const auto m = length.match(QString::fromLatin1(data.left(end)));
            return (m.hasMatch() && data.size() - end - 4 >= m.captured(1).toInt()) ||
                   socket.state() != QAbstractSocket::ConnectedState;
        },
        Wait);
    const qsizetype end = data.indexOf("\r\n\r\n");
    if (data.left(end).contains("Connection: close"))
        (void)QTest::qWaitFor([&] { return socket.state() != QAbstractSocket::ConnectedState; },
                              Wait);
    reply.head = data.left(end);
    reply.body = end < 0 ? QByteArray() : data.mid(end + 4);
    reply.status = data.mid(9, 3).toInt();
    reply.closed = socket.state() != QAbstractSocket::ConnectedState;
    return reply;
}

QByteArray post(const QByteArray &body, const QByteArray &extra = {})
{
    return "POST /api/command HTTP/1.1\r\nHost: 127.0.0.1:18180\r\nContent-Type: "
           "application/json\r\n" +
           extra + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QJsonObject statusNow()
{
    return QJsonDocument::fromJson(http("GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n").body)
        .object();
}

// A generator with both remotes, as the headless run builds it.
struct Rig {
    QStringList lines;
    std::unique_ptr<Generator> generator;
    std::unique_ptr<RemoteControl> remote;

    explicit Rig(const QString &token = {}, WebServer::Limits limits = {})
    {
        auto store = SettingsStore::open();
        store->clear();
        store->setValue(QStringLiteral("osc_enabled"), 1);
        store->setValue(QStringLiteral("osc_port"), int(OscPort));
        store->setValue(QStringLiteral("web_enabled"), 1);
        store->setValue(QStringLiteral("web_port"), int(WebPort));
        store->setValue(QStringLiteral("web_token"), token);
        store->setValue(QStringLiteral("midi_protocol_on"), 0);
        store->setValue(QStringLiteral("FrameFormat"), 1);
        store.reset();
        GeneratorPlatform platform;
        platform.addressEntries = QList<AddressEntry>{};
        platform.verboseSink = [this](const QByteArray &line) {
            lines << QString::fromUtf8(line).trimmed();
        };
        generator = std::make_unique<Generator>(
            CommandLineParser::parse({QStringLiteral("orvello"), QStringLiteral("verbose")}),
            platform);
        generator->start();
        remote = std::make_unique<RemoteControl>(*generator, limits);
        QObject::connect(remote.get(), &RemoteControl::commandRequested, generator.get(),
                         &Generator::perform);
        remote->apply();
    }
    ~Rig()
    {
        remote.reset();
        generator->finish();
    }
    void send(const QByteArray &datagram)
    {
        QUdpSocket out;
        out.writeDatagram(datagram, QHostAddress::LocalHost, OscPort);
    }
};
} // namespace

class TestRemoteServer : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
private slots:
    void initTestCase()
    {
        REQUIRE_PRIVATE_NETWORK();
        QVERIFY(m_dir.isValid());
        SettingsStore::useFile(m_dir.filePath(QStringLiteral("Orvello.conf")));
    }

    // A subscriber gets every code in the order sent, and the state reports
    // around them.
    void oscSubscriberGetsCodesAndStates()
    {
        Rig rig;
        QByteArrayList sent;
        QObject context; // queued to this thread, like the client's datagrams
        connect(rig.generator.get(), &Generator::signalSendTimecodeTimeOut, &context,
                [&sent](quint8 h, quint8 m, quint8 s, quint8 f, quint8 type) {
                    sent << OscMessages::timecode(TimeCode::make(h, m, s, f, type));
                });
        QUdpSocket client;
        QVERIFY(client.bind(QHostAddress::LocalHost, 0));
        QList<QByteArray> received;
        connect(&client, &QUdpSocket::readyRead, &client, [&]() {
            while (client.hasPendingDatagrams())
                received << client.receiveDatagram().data();
        });
        client.writeDatagram(oscMessage("/orvello/subscribe"), QHostAddress::LocalHost, OscPort);
        QTRY_COMPARE_WITH_TIMEOUT(rig.remote->osc().subscriberCount(), 1, Wait);
        rig.send(oscMessage("/orvello/place", "i", 1));
        QTRY_VERIFY_WITH_TIMEOUT(received.size() >= 32, Wait);

        // The state at once, then the state after the place.
        const QByteArray paused =
            OscMessages::state(QStringLiteral("paused"), QStringLiteral("no place"));
        const QByteArray running =
            OscMessages::state(QStringLiteral("running"), QStringLiteral("place 1"));
        QCOMPARE(received.at(0), paused);
        QByteArrayList states;
        for (const QByteArray &message : std::as_const(received))
            if (message.startsWith("/orvello/state"))
                states << message;
        // The place and the play state come as two reports; one between them
        // may show the new place still paused.
        QCOMPARE(states.first(), paused);
        QCOMPARE(states.last(), running);
        QByteArray seen;
        for (const QByteArray &st : std::as_const(states))
            seen += st.mid(20).replace('\0', ' ') + " | ";
        QVERIFY2(states.size() == 2 || (states.size() == 3 &&
                                        states[1] == OscMessages::state(QStringLiteral("paused"),
                                                                        QStringLiteral("place 1"))),
                 seen.constData());
        QByteArrayList codes;
        for (const QByteArray &message : std::as_const(received))
            if (message.startsWith("/orvello/timecode"))
                codes << message;
        QVERIFY(codes.size() >= 25);
        QTRY_VERIFY(std::search(sent.cbegin(), sent.cend(), codes.cbegin(), codes.cend()) !=
                    sent.cend());
    }

    // Each kind of bad datagram is tst_remoteprotocol's; here a flood of them.
    void oscFlood()
    {
        Rig rig;
        QTRY_VERIFY_WITH_TIMEOUT(!rig.lines.filter(QStringLiteral("OSC: listening")).isEmpty(),
                                 Wait);
        // Garbage and commands: the last word counts, frames go on.
        QUdpSocket out;
        for (int i = 0; i < 5000; ++i) {
            out.writeDatagram(i % 2 ? oscMessage("/orvello/format", "i", 1)
                                    : QByteArray(64, char(i)),
                              QHostAddress::LocalHost, OscPort);
            if (i % 500 == 0)
                QCoreApplication::processEvents();
        }
        // Like a surface that repeats until it sees the change; the flood may
        // still fill the socket's buffer.
        QTRY_VERIFY_WITH_TIMEOUT((rig.send(oscMessage("/orvello/format", "i", 3)),
                                  rig.send(oscMessage("/orvello/play")),
                                  rig.generator->format() == 3 && !rig.generator->isPaused()),
                                 Wait);
        QVERIFY(rig.lines.filter(QStringLiteral("OSC: ignored")).size() > 100);
        QSignalSpy frames(rig.generator.get(), &Generator::signalSendTimecodeTimeOut);
        QTRY_VERIFY_WITH_TIMEOUT(frames.size() >= 10, Wait);
        QCOMPARE(frames.last().at(4).toInt(), 3);
    }

    void httpAnswers_data()
    {
        using Table::row;
        Table::columns<QByteArray, int, QByteArray>("request", "status", "body");
        const QByteArray host = "Host: 127.0.0.1:18180\r\n";
        const auto get = [&host](const char *path) {
            return "GET " + QByteArray(path) + " HTTP/1.1\r\n" + host + "\r\n";
        };
        row("the page", get("/"), 200, QByteArray("id=\"code\""));
        row("status", get("/api/status"), 200, QByteArray("\"state\":\"paused\""));
        row("a command", post(R"({"command":"format","value":2})"), 200,
            QByteArray("\"format\":2"));
        row("unknown path", get("/etc/passwd"), 404, QByteArray("error"));
        row("path out of the root", get("/../remotepage.html"), 404, QByteArray());
        row("wrong method", get("/api/command"), 405, QByteArray());
        row("value out of range", post(R"({"command":"place","value":12})"), 400,
            QByteArray("0..9"));
        row("not JSON",
            "POST /api/command HTTP/1.1\r\n" + host +
                "Content-Type: text/plain\r\nContent-Length: 18\r\n\r\n{\"command\":\"play\"}",
            415, QByteArray());
        row("from another site's page",
            post(R"({"command":"play"})", "Origin: http://evil.example\r\n"), 403, QByteArray());
        row("a name of another site",
            QByteArray("GET /api/status HTTP/1.1\r\nHost: evil.example:18180\r\n\r\n"), 403,
            QByteArray());
        row("body over 4 KiB", post(QByteArray(4097, ' ')), 413, QByteArray());
        row("chunked body",
            "POST /api/command HTTP/1.1\r\n" + host +
                "Transfer-Encoding: chunked\r\n\r\n2\r\n{}\r\n0\r\n\r\n",
            411, QByteArray());
        row("WebSocket path without upgrade", get("/ws"), 426, QByteArray());
    }

    void httpAnswers()
    {
        const auto [request, status, body] =
            Table::fetch<QByteArray, int, QByteArray>("request", "status", "body");
        Rig rig;
        const Reply reply = http(request);
        QCOMPARE(reply.status, status);
        QVERIFY2(reply.body.contains(body), reply.body.constData());
    }

    // The answer to a command carries the status it leads to: the same as the
    // status read once the calculator has done it.
    void commandAnswerIsTheNewStatus()
    {
        Rig rig;
        const QList<QByteArray> commands{R"({"command":"place","value":2})",
                                         R"({"command":"pause"})",
                                         R"({"command":"freeze"})",
                                         R"({"command":"format","value":2})",
                                         R"({"command":"play"})",
                                         R"({"command":"freeze"})",
                                         R"({"command":"reset"})",
                                         R"({"command":"place","value":0})",
                                         R"({"command":"playpause"})"};
        for (const QByteArray &command : commands) {
            const Reply reply = http(post(command));
            QCOMPARE(reply.status, 200);
            // The code and the counts move on; the command names a mismatch.
            const auto settled = [&command](QJsonObject o) {
                o.remove(QStringLiteral("timecode"));
                o.remove(QStringLiteral("facts"));
                return command + " -> " + QJsonDocument(o).toJson(QJsonDocument::Compact);
            };
            QTRY_COMPARE_WITH_TIMEOUT(settled(statusNow()),
                                      settled(QJsonDocument::fromJson(reply.body).object()), Wait);
        }
    }

    void tokenAndBinding()
    {
        {
            Rig rig;
            QCOMPARE(rig.remote->web().address(), QHostAddress(QHostAddress::LocalHost));
            // 127.0.0.2 is this computer too, but not the one address served.
            QCOMPARE(http("GET /api/status HTTP/1.1\r\n\r\n", QStringLiteral("127.0.0.2")).status,
                     0);
        }
        Rig rig(QStringLiteral("t0ken-22"));
        const QString other = QStringLiteral("127.0.0.2");
        QCOMPARE(http("GET /api/status HTTP/1.1\r\nHost: show.lan\r\n\r\n", other).status, 200);
        QCOMPARE(http(post(R"({"command":"play"})"), other).status, 401);
        QCOMPARE(http(post(R"({"command":"play"})")).status, 401); // also from this computer
        const Reply ok =
            http(post(R"({"command":"play"})", "Authorization: Bearer t0ken-22\r\n"), other);
        QCOMPARE(ok.status, 200);
        QVERIFY(ok.body.contains("\"state\":\"running\""));
        QTRY_VERIFY_WITH_TIMEOUT(!rig.generator->isPaused(), Wait);
    }

    void connectionLimitAndIdle()
    {
        WebServer::Limits limits;
        limits.idleMs = 1500;
        Rig rig({}, limits);
        std::vector<std::unique_ptr<QTcpSocket>> sockets;
        for (int i = 0; i < limits.maxConnections; ++i) {
            sockets.push_back(std::make_unique<QTcpSocket>());
            sockets.back()->connectToHost(QHostAddress::LocalHost, WebPort);
        }
        QTRY_COMPARE_WITH_TIMEOUT(rig.remote->web().connectionCount(), limits.maxConnections, Wait);
        const Reply refused = http("GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        QCOMPARE(refused.status, 503);
        QVERIFY(refused.closed);

        // A byte every 100 ms keeps no connection open: it must complete a request.
        QTcpSocket slow;
        QTimer drip;
        connect(&drip, &QTimer::timeout, &slow, [&slow]() { slow.write("G"); });
        QTRY_COMPARE_WITH_TIMEOUT(rig.remote->web().connectionCount(), 0, Wait);
        slow.connectToHost(QHostAddress::LocalHost, WebPort);
        drip.start(100);
        QTRY_COMPARE_WITH_TIMEOUT(rig.remote->web().connectionCount(), 1, Wait);
        QTRY_COMPARE_WITH_TIMEOUT(slow.state(), QAbstractSocket::UnconnectedState, Wait);
        for (const auto &socket : sockets)
            QCOMPARE(socket->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(http("GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n").status, 200);
    }

    void webSocketPushes()
    {
        Rig rig;
        QWebSocket client;
        QList<QJsonObject> messages;
        connect(&client, &QWebSocket::textMessageReceived, &client, [&](const QString &text) {
            messages << QJsonDocument::fromJson(text.toUtf8()).object();
        });
        client.open(QUrl(QStringLiteral("ws://127.0.0.1:18180/ws")));
        QTRY_VERIFY_WITH_TIMEOUT(!messages.isEmpty(), Wait);
        QCOMPARE(messages.first().value(QStringLiteral("state")).toString(),
                 QStringLiteral("paused"));
        const auto said = [&messages](const char *key, const char *value) {
            return std::any_of(messages.begin(), messages.end(), [&](const QJsonObject &m) {
                return m.value(QLatin1String(key)).toString() == QLatin1String(value);
            });
        };

        // 25 fps: every second frame is pushed, then every frame once asked for.
        const auto frameNumbers = [&messages]() {
            QList<int> numbers;
            for (const QJsonObject &m : std::as_const(messages)) {
                if (m.contains(QStringLiteral("state")))
                    continue;
                const QStringList parts = m.value(QStringLiteral("timecode")).toString().split(':');
                numbers << ((parts[0].toInt() * 60 + parts[1].toInt()) * 60 + parts[2].toInt()) *
                                   25 +
                               parts[3].toInt();
            }
            return numbers;
        };
        QCOMPARE(http(post(R"({"command":"place","value":1})")).status, 200);
        QTRY_VERIFY_WITH_TIMEOUT(frameNumbers().size() >= 10, Wait);
        QTRY_VERIFY_WITH_TIMEOUT(said("source", "place 1"), Wait);
        QList<int> numbers = frameNumbers();
        for (int i = 1; i < numbers.size(); ++i)
            QCOMPARE(numbers[i] - numbers[i - 1], 2);

        client.sendTextMessage(QStringLiteral("{\"frames\":\"all\"}"));
        const int asked = int(numbers.size()) + 3; // those already on their way
        QTRY_VERIFY_WITH_TIMEOUT(frameNumbers().size() >= asked + 10, Wait);
        numbers = frameNumbers().mid(asked);
        for (int i = 1; i < numbers.size(); ++i)
            QCOMPARE(numbers[i] - numbers[i - 1], 1);

        messages.clear();
        QCOMPARE(http(post(R"({"command":"pause"})")).status, 200);
        QTRY_VERIFY_WITH_TIMEOUT(said("state", "paused"), Wait);
        QCOMPARE(rig.remote->web().clientCount(), 1);
        client.close();
        QTRY_COMPARE_WITH_TIMEOUT(rig.remote->web().clientCount(), 0, Wait);
        // The upgraded connection no longer counts against the limit.
        QTRY_COMPARE_WITH_TIMEOUT(rig.remote->web().connectionCount(), 0, Wait);
    }
};

QTEST_GUILESS_MAIN(TestRemoteServer)
#include "tst_remoteserver.moc"
