#include "rtaudiooutputservice.h"
#include "rtmidioutputservice.h"

#include <QTemporaryFile>
#include <QtTest>

#include <iostream>
#include <thread>
#include <unistd.h>

// The MIDI and the LTC output look for their systems on threads of their own,
// often at the same moment (at start, and whenever a server comes or goes).
class TestQuietSearch : public QObject
{
    Q_OBJECT
private slots:
    void concurrentSearchesLeaveTheStreamsAlone_data()
    {
        QTest::addColumn<bool>("audio");
        // RtAudio mutes JACK itself: the MIDI output's searches alone show whether it does too.
        QTest::newRow("MIDI alone") << false;
        QTest::newRow("MIDI and audio") << true;
    }
    void concurrentSearchesLeaveTheStreamsAlone()
    {
        QFETCH(bool, audio);
        constexpr int Rounds = 60;
        std::streambuf *const cerrBuffer = std::cerr.rdbuf();
        QTemporaryFile capture;
        QVERIFY(capture.open());
        const int savedStderr = ::dup(STDERR_FILENO);
        QVERIFY(savedStderr >= 0 && ::dup2(capture.handle(), STDERR_FILENO) == STDERR_FILENO);

        std::thread midiSearches([] {
            for (int i = 0; i < Rounds; ++i)
                RtMidiOutputService().rescan();
        });
        std::thread audioSearches([audio] {
            for (int i = 0; audio && i < Rounds; ++i)
                RtAudioOutputService().deviceNames();
        });
        midiSearches.join();
        audioSearches.join();

        const bool sameBuffer = std::cerr.rdbuf() == cerrBuffer;
        std::cerr.rdbuf(cerrBuffer); // so that a failure can still be reported
        std::cerr.flush();
        ::dup2(savedStderr, STDERR_FILENO);
        ::close(savedStderr);
        QVERIFY2(sameBuffer, "std::cerr was left on another buffer");
        // Nothing the libraries said about a missing system reached the console.
        // Read through a file of its own: the capture's offset is past what was written.
        QFile written(capture.fileName());
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromLocal8Bit(written.readAll()), QString());
    }
};

QTEST_GUILESS_MAIN(TestQuietSearch)
#include "tst_quietsearch.moc"
