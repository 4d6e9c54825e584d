#include "linewriter.h"

#include <QElapsedTimer>
#include <QtTest>

#include <fcntl.h>
#include <memory>
#include <unistd.h>

// The writer of the diagnosis lines against streams that do not take them:
// a pipe nobody reads and a pipe whose reader has gone.
class TestLineWriter : public QObject
{
    Q_OBJECT
    int m_fds[2] = {-1, -1};

    void openPipe()
    {
        QCOMPARE(::pipe2(m_fds, O_CLOEXEC), 0);
        ::fcntl(m_fds[1], F_SETPIPE_SZ, 4096); // fills after a few dozen lines
    }

    QByteArray readAvailable()
    {
        ::fcntl(m_fds[0], F_SETFL, O_NONBLOCK);
        QByteArray all;
        char buffer[4096];
        QElapsedTimer quiet;
        quiet.start();
        while (quiet.elapsed() < 500) { // until nothing came for half a second
            const ssize_t n = ::read(m_fds[0], buffer, sizeof buffer);
            if (n > 0) {
                all.append(buffer, int(n));
                quiet.restart();
            } else {
                QThread::msleep(5);
            }
        }
        return all;
    }

private slots:
    void cleanup()
    {
        for (int &fd : m_fds)
            if (fd >= 0)
                ::close(fd), fd = -1;
    }

    void neverStallsTheCaller_data()
    {
        QTest::addColumn<bool>("readerGone");
        QTest::newRow("nobody reads") << false;
        QTest::newRow("reader closed") << true;
    }
    void neverStallsTheCaller()
    {
        QFETCH(bool, readerGone);
        openPipe();
        if (readerGone)
            ::close(m_fds[0]), m_fds[0] = -1;
        auto writer = std::make_unique<LineWriter>(m_fds[1], 16 * 1024);
        const QByteArray line(99, 'x');
        QElapsedTimer timer;
        timer.start();
        int accepted = 0;
        for (int i = 0; i < 20000; ++i) // ten times what the pipe and the queue hold
            accepted += writer->append(line + '\n');
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
        if (!readerGone) // a closed stream swallows everything; a blocked one overflows
            QVERIFY(writer->dropped() > 0 && accepted + writer->dropped() == 20000);
        timer.restart();
        writer.reset(); // the process's exit gives a blocked stream its time, and no more
        QVERIFY2(timer.elapsed() < LineWriter::ExitWaitMs + 1000 &&
                     (readerGone || timer.elapsed() >= LineWriter::ExitWaitMs),
                 qPrintable(QString::number(timer.elapsed())));
    }

    // Once the stream moves again the lines come in order, each whole, and
    // the number of dropped ones is told.
    void resumesAndTellsWhatWasDropped()
    {
        openPipe();
        LineWriter writer(m_fds[1], 8 * 1024);
        QByteArray expected;
        quint64 missing = 0;
        const auto send = [&](const QByteArray &line) {
            if (!writer.append(line)) {
                ++missing;
            } else {
                if (missing)
                    expected += LineWriter::droppedNote(missing);
                expected += line;
                missing = 0;
            }
        };
        for (int i = 0; i < 2000; ++i)
            send("line " + QByteArray::number(i) + '\n');
        QVERIFY(writer.dropped() > 0);
        QByteArray out = readAvailable();
        // Emptied, the queue takes a text as long as it holds.
        const QByteArray full = QByteArray(8 * 1024 - 1, 'a') + '\n';
        send(full);
        out += readAvailable();
        QVERIFY(expected.contains(" lines dropped")); // the note was needed at least once
        QVERIFY(out.endsWith(full));
        QCOMPARE(out, expected);
    }
};

QTEST_GUILESS_MAIN(TestLineWriter)
#include "tst_linewriter.moc"
