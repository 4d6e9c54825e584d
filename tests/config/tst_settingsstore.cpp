#include "configfile.h"
#include "fakeclock.h"
#include "mainwindowkeys.h"
#include "playlist.h"
#include "settingsstore.h"
#include "settingstruct.h"
#include "showrecord.h"
#include "table.h"
#include "writefile.h"

#include <QDataStream>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>

class TestSettingsStore : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_file = m_dir.filePath(QStringLiteral("store.typed"));

    // Key and type name of every value in the store file, as written.
    QMap<QString, QString> stored() const
    {
        QFile file(m_file);
        QSettings::SettingsMap map;
        QDataStream in(&file);
        if (file.open(QIODevice::ReadOnly))
            in >> map;
        QMap<QString, QString> types;
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            types.insert(it.key(), QString::fromLatin1(it->typeName()));
        return types;
    }

private slots:
    void init()
    {
        // The native store on Linux is INI, which reads every number back as
        // text; this format keeps each value's own type on disk.
        static const auto typed = QSettings::registerFormat(
            "typed",
            [](QIODevice &device, QSettings::SettingsMap &map) {
                QDataStream in(&device);
                return (in >> map).status() == QDataStream::Ok;
            },
            [](QIODevice &device, const QSettings::SettingsMap &map) {
                QDataStream out(&device);
                return (out << map).status() == QDataStream::Ok;
            });
        QVERIFY(m_dir.isValid() && typed != QSettings::InvalidFormat);
        QFile::remove(m_file);
        SettingsStore::useFile(m_file, typed);
    }

    void loadKeepsWhatIsAbsentAndTakesWhateverIsStored()
    {
        int index = 0;
        for (const QVariant &value : QVariantList{"abc", "12", 300, -1}) // no number, text, too big
            SettingsStore::open()->setValue(QStringLiteral("start_hour_%1").arg(index++), value);
        SettingsStore::open()->setValue(QStringLiteral("ltc_level"), "loud");
        SettingsStore::open()->setValue(QStringLiteral("midi_offset"), 99);
        SettingsStore::open()->setValue(QStringLiteral("ltc_offset"), "late");
        SettingsStore::open()->setValue(QStringLiteral("osc_port"), 70000);
        SettingStruct s;
        s.osc_port = 9001;
        s.ltc_offset = 4;
        s.places[4].StartHour = 7;
        s.dmx_in_universe = 3;
        s.artnet_protocol_on = false;
        s.midi_timecode_type = 2;
        s.ltc_level = -20;
        s.ltc_device = QStringLiteral("system");
        s.loadFromStore();
        // Converted as QVariant converts and truncated to a byte; absent keys keep
        // the current values, except the interface texts (empty) and the MIDI type (0).
        QList<int> hours;
        for (const SettingStructItem &place : s.places)
            hours << place.StartHour;
        QCOMPARE(hours, (QList<int>{0, 12, 44, 255, 7, 0, 0, 0, 0}));
        QVERIFY(s.dmx_in_universe == 3 && !s.artnet_protocol_on && s.midi_timecode_type == 0);
        QCOMPARE(s.artnet_interface_name + s.midi_interface_name, QString());
        QVERIFY(s.ltc_level == -20 && s.ltc_device == QStringLiteral("system"));
        QVERIFY(s.midi_offset == 30 && s.ltc_offset == 4); // brought into range, or kept
        QCOMPARE(s.osc_port, 9001);   // a port out of range keeps the current one
        QCOMPARE(stored().size(), 8); // loading writes nothing
    }

    void saveLoadAndErase()
    {
        SettingStruct written;
        Playlist list(false);
        fillShow(written, list);
        written.follow_freewheel_frames = 0; // the least a count may be
        written.web_enabled = true;
        written.saveToStore();
        const MainWindowKeys keys{true, 3, 2, QStringLiteral("All Midi Devices")};
        keys.save(); // all but UseLcd, which the program never writes

        QMap<QString, QString> types{{"FrameFormat", "int"}, {"MidiTimecodeType", "int"}};
        for (int i = 0; i < SettingStruct::PlaceCount; ++i)
            for (const QString key : {"start_hour", "start_minute", "start_seconds", "end_hour",
                                      "end_minute", "end_seconds", "exits_at_end"})
                types[key + QLatin1Char('_') + QString::number(i)] = "int";
        for (const char *key :
             {"dmx_in_enabled", "dmx_in_universe", "artnet_protocol_on", "midi_protocol_on",
              "ltc_protocol_on", "true_drop_frame", "artnet_broadcast", "artnet_stream_id",
              "artnet_offset", "midi_offset", "ltc_offset", "follow_freewheel_frames",
              "follow_run_on", "standby_enabled", "standby_takeover_frames", "osc_enabled",
              "osc_port", "web_enabled", "web_port"})
            types[key] = "int";
        for (const char *key :
             {"artnet_interface_name", "midi_interface_name", "MidiInterfaceName", "ltc_device",
              "artnet_unicast", "ltc_userbits", "follow_input", "follow_artnet_source",
              "follow_midi_port", "follow_ltc_device", "web_token"})
            types[key] = "QString";
        types["ltc_level"] = "double";
        types["midi_timecode_type"] = "uint";
        QCOMPARE(stored(), types);
        QCOMPARE(SettingsStore::open()->value("dmx_in_enabled"), QVariant(1)); // bools as 0/1

        SettingsStore::open()->setValue(QStringLiteral("UseLcd"), true);
        SettingStruct read;
        read.loadFromStore();
        QCOMPARE(summary(read, list), summary(written, list));
        MainWindowKeys again;
        again.load();
        QVERIFY(again.UseLcd && again.FrameFormat == 3 && again.MidiTimecodeType == 2 &&
                again.MidiInterfaceName == keys.MidiInterfaceName);

        // Erasing takes every key of the application, not only the record's.
        SettingsStore::open()->setValue(QStringLiteral("UpdateCheckLast"), "01.01.2026");
        SettingStruct::eraseStore();
        QVERIFY(stored().isEmpty());
        SettingStruct::eraseStore(); // the dialog and the window both erase: twice is harmless
        QVERIFY(stored().isEmpty());
    }

    // The store is edited by hand: words for the switches, any int for the universe.
    void handEditedValues_data()
    {
        Table::columns<QByteArray, bool, quint32>("text", "on", "portAddress");
        QTest::newRow("true") << QByteArray("true") << true << 0xFFFFFFFFu;
        QTest::newRow("Yes") << QByteArray("Yes") << true << 0xFFFFFFFFu;
        QTest::newRow("on, spaced") << QByteArray(" on") << true << 0xFFFFFFFFu;
        QTest::newRow("FALSE") << QByteArray("FALSE") << false << 0xFFFFFFFFu;
        QTest::newRow("no") << QByteArray("no") << false << 0xFFFFFFFFu;
        QTest::newRow("off") << QByteArray("off") << false << 0xFFFFFFFFu;
        QTest::newRow("number 2") << QByteArray("2") << true << 1u;
        QTest::newRow("lowest int") << QByteArray("-2147483648") << true << 0x7FFFFFFFu;
        QTest::newRow("highest int") << QByteArray("2147483647") << true << 0x7FFFFFFEu;
        QTest::newRow("not a word") << QByteArray("maybe") << false << 0xFFFFFFFFu;
    }
    void handEditedValues()
    {
        QFETCH(QByteArray, text);
        QByteArray ini;
        for (const char *key :
             {"dmx_in_enabled", "artnet_protocol_on", "midi_protocol_on", "dmx_in_universe"})
            ini += key + QByteArray("=") + text + '\n';
        SettingsStore::useFile(writeFile(m_dir.filePath(QStringLiteral("hand.conf")), ini));
        SettingStruct s;
        s.dmx_in_enabled = !s.artnet_protocol_on; // every switch starts opposite to a row
        s.loadFromStore();
        QFETCH(bool, on);
        QCOMPARE(QList<bool>({s.dmx_in_enabled, s.artnet_protocol_on, s.midi_protocol_on}),
                 QList<bool>({on, on, on}));
        QTEST(s.dmxInPortAddress(), "portAddress");
        QCOMPARE(SettingsStore::problem(), QString());
    }

    // A store that is not a regular file once links are followed is reported
    // and never opened: reading a FIFO waits for ever, and a save would put a
    // new file in place of the link's target, a device included.
    void storeThatIsNoFile_data()
    {
        QTest::addColumn<QString>("kind"); // a FIFO, a link to one, a character device, a folder
        for (const char *kind : {"fifo", "link", "device", "folder"})
            QTest::newRow(kind) << kind;
    }
    void storeThatIsNoFile()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("Orvello.conf"));
        const QString target = dir.filePath(QStringLiteral("target"));
        const QByteArray path = QFile::encodeName(kind == "link" ? target : ini);
        if (kind == "device") {
            // The numbers of /dev/zero, made here so that a fault replaces only this.
            if (::mknod(path, S_IFCHR | 0666, makedev(1, 5)) != 0)
                QSKIP("cannot make a device node here");
        } else if (kind == "folder") {
            QVERIFY(QDir().mkpath(ini));
        } else {
            QVERIFY(::mkfifo(path, 0600) == 0);
            if (kind == "link")
                QVERIFY(QFile::link(target, ini));
        }
        struct stat before = {};
        QVERIFY(::stat(path, &before) == 0);
        SettingsStore::useFile(ini);

        SettingStruct s;
        s.loadFromStore(); // a FIFO opened for reading would block here
        MainWindowKeys keys;
        keys.load();
        QVERIFY(s.artnet_protocol_on && keys.FrameFormat == 0);
        const QString problem = SettingsStore::problem();
        QVERIFY2(problem.contains(ini), qPrintable(problem));
        s.saveToStore();
        MainWindowKeys{false, 2, 0, {}}.save();      // what every exit writes back
        QCOMPARE(SettingsStore::problem(), problem); // told once, not again at each save

        struct stat after = {};
        QVERIFY(::stat(path, &after) == 0);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(QFileInfo(ini).isSymLink(), kind == "link");
        QCOMPARE(QDir(dir.path())
                     .entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot | QDir::Dirs)
                     .size(),
                 kind == "link" ? 2 : 1); // nothing written beside it
    }

    // A store that QSettings cannot parse is reported and copied aside, and
    // then means the defaults: nothing read from its damaged part is used or
    // written back. The same damaged content is never copied twice.
    // Whoever saves, a store that cannot be written is reported, not taken
    // for saved: here its folder is a file.
    void failedWritesAreReported()
    {
        QFile blocker(m_dir.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const std::function<void()> saves[] = {
            [] { SettingStruct().saveToStore(); },
            [] { Playlist(false).savePlaylistToStore(); },
            [] { ConfigFile::saveConfigFolder(QStringLiteral("/tmp")); },
        };
        for (const auto &save : saves) {
            SettingsStore::useFile(blocker.fileName() + QStringLiteral("/Orvello.conf"));
            save();
            QVERIFY2(SettingsStore::problem().contains(QLatin1String("could not be written")),
                     qPrintable(SettingsStore::problem()));
        }
    }

    void damagedStore()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("Orvello.conf"));
        const QByteArray damaged("[General]\nartnet_protocol_on=0\nplaylist_count=1\n"
                                 "playlist_place_0=-2\nplaylist_enabled=1\nthis line is broken\n"
                                 "FrameFormat=3\n");
        // One start and exit: what the program then runs with.
        const auto start = [] {
            SettingStruct s;
            s.loadFromStore();
            MainWindowKeys keys;
            keys.load();
            FakeClock clock;
            Playlist playlist(false, &clock);
            playlist.loadPlaylistFromStore(false, false);
            MainWindowKeys{false, 2, 0, {}}.save(); // what every exit writes back
            return QStringList{
                QString::number(s.artnet_protocol_on), QString::number(keys.FrameFormat),
                QString::number(playlist.itemCount()), QString::number(playlist.enabled)};
        };
        const QStringList defaults{"1", "0", "0", "0"};
        const auto copies = [&dir] {
            return QDir(dir.path())
                .entryList({QStringLiteral("Orvello.conf.damaged*")}, QDir::Files);
        };
        SettingsStore::useFile(ini);

        writeFile(ini, damaged);
        QCOMPARE(start(), defaults);
        QVERIFY2(SettingsStore::problem().contains(ini + QStringLiteral(".damaged")),
                 qPrintable(SettingsStore::problem()));
        QFile copy(ini + QStringLiteral(".damaged"));
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), damaged);
        QSettings after(ini, QSettings::IniFormat);
        QCOMPARE(after.allKeys(),
                 (QStringList{"FrameFormat", "MidiInterfaceName", "MidiTimecodeType"}));
        QCOMPARE(after.value("FrameFormat").toInt(), 2);

        // The store is whole again: no report, no copy, the saved keys read.
        QCOMPARE(start(), (QStringList{"1", "2", "0", "0"}));
        QCOMPARE(SettingsStore::problem(), QString());
        writeFile(ini, damaged); // the same damage again
        QCOMPARE(start(), defaults);
        QCOMPARE(copies(), QStringList{"Orvello.conf.damaged"});
        writeFile(ini, damaged + "another broken line\n");
        QCOMPARE(start(), defaults);
        QCOMPARE(copies().size(), 2);
    }

    void copyIgnoresMissingRecordsAndPlaces()
    {
        SettingStruct target, source;
        target.places[2].EndSecond = 5;
        target.copyFrom(nullptr);
        SettingStruct::copy(&target, nullptr);
        QCOMPARE(target.places[2].EndSecond, quint8(5));
        source.places[8].StartSecond = 9;
        source.midi_interface_name = QStringLiteral("port");
        target.copyFrom(&source);
        QVERIFY(target.places[2].EndSecond == 59 && target.places[8].StartSecond == 9 &&
                target.midi_interface_name == QLatin1String("port"));
        SettingStructItem item;
        item.StartHour = 99;
        source.copyPlace(9, &item); // no place 10
        source.copyPlace(-1, &item);
        QCOMPARE(item.StartHour, quint8(99));
        source.copyPlace(8, &item);
        static_assert(sizeof item == 7); // no padding: the bytes are the fields
        QVERIFY(memcmp(&item, &source.places[8], sizeof item) == 0);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
