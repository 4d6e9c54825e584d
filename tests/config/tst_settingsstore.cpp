#include "mainwindowkeys.h"
#include "settingsstore.h"
#include "settingstruct.h"

#include <QDataStream>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
QByteArray bytes(const SettingStructItem &place)
{
    static_assert(sizeof place == 7);
    return QByteArray(reinterpret_cast<const char *>(&place), sizeof place);
}
} // namespace

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
        SettingsStore::open()->setValue(QStringLiteral("osc_port"), 70000);
        SettingStruct s;
        s.osc_port = 9001;
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
        QCOMPARE(s.osc_port, 9001);   // a port out of range keeps the current one
        QCOMPARE(stored().size(), 6); // loading writes nothing

        s.setDefaults();
        for (const SettingStructItem &place : s.places)
            QCOMPARE(bytes(place), QByteArray("\0\0\0\x17\x3b\x3b\0", 7)); // 00:00:00 to 23:59:59
        QVERIFY(!s.dmx_in_enabled && s.dmx_in_universe == 256);
        QVERIFY(s.artnet_protocol_on && s.midi_protocol_on && s.midi_timecode_type == 0);
        QCOMPARE(s.artnet_interface_name, QStringLiteral("255.255.255.255"));
        QCOMPARE(s.midi_interface_name, QStringLiteral("all"));
        QVERIFY(!s.ltc_protocol_on && s.ltc_device.isEmpty() && s.ltc_level == -18);
    }

    void saveLoadAndErase()
    {
        SettingStruct written;
        for (int i = 0; i < SettingStruct::PlaceCount; ++i)
            written.places[i] = {quint8(i), 10, 20, quint8(i + 1), 30, 40, quint8(i % 2)};
        written.dmx_in_enabled = true;
        written.dmx_in_universe = 17;
        written.artnet_protocol_on = written.midi_protocol_on = false;
        written.artnet_interface_name = QStringLiteral("10.77.0.0");
        written.midi_timecode_type = 1;
        written.midi_interface_name = QStringLiteral("mtcdump:input");
        written.ltc_protocol_on = true;
        written.ltc_device = QStringLiteral("system");
        written.ltc_level = -12.5;
        written.osc_enabled = written.web_enabled = true;
        written.osc_port = 8000;
        written.web_port = 80;
        written.web_token = QStringLiteral("t0ken");
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
              "ltc_protocol_on", "osc_enabled", "osc_port", "web_enabled", "web_port"})
            types[key] = "int";
        for (const char *key : {"artnet_interface_name", "midi_interface_name", "MidiInterfaceName",
                                "ltc_device", "web_token"})
            types[key] = "QString";
        types["ltc_level"] = "double";
        types["midi_timecode_type"] = "uint";
        QCOMPARE(stored(), types);
        QCOMPARE(SettingsStore::open()->value("dmx_in_enabled"), QVariant(1)); // bools as 0/1

        SettingsStore::open()->setValue(QStringLiteral("UseLcd"), true);
        SettingStruct read;
        read.loadFromStore();
        for (int i = 0; i < SettingStruct::PlaceCount; ++i)
            QCOMPARE(bytes(read.places[i]), bytes(written.places[i]));
        QVERIFY(read.dmx_in_enabled && read.dmx_in_universe == 17 && !read.artnet_protocol_on &&
                !read.midi_protocol_on && read.midi_timecode_type == 1);
        QCOMPARE(read.artnet_interface_name, written.artnet_interface_name);
        QCOMPARE(read.midi_interface_name, written.midi_interface_name);
        QVERIFY(read.ltc_protocol_on && read.ltc_device == written.ltc_device &&
                read.ltc_level == -12.5);
        QVERIFY(read.osc_enabled && read.osc_port == 8000 && read.web_enabled &&
                read.web_port == 80 && read.web_token == written.web_token);
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
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("on");
        QTest::addColumn<quint32>("portAddress");
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
        const QString ini = m_dir.filePath(QStringLiteral("hand.conf"));
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        for (const char *key :
             {"dmx_in_enabled", "artnet_protocol_on", "midi_protocol_on", "dmx_in_universe"})
            file.write(key + QByteArray("=") + text + '\n');
        file.close();
        SettingsStore::useFile(ini);
        SettingStruct s;
        s.dmx_in_enabled = !s.artnet_protocol_on; // every switch starts opposite to a row
        s.loadFromStore();
        QFETCH(bool, on);
        QCOMPARE(QList<bool>({s.dmx_in_enabled, s.artnet_protocol_on, s.midi_protocol_on}),
                 QList<bool>({on, on, on}));
        QTEST(s.dmxInPortAddress(), "portAddress");
        QCOMPARE(SettingsStore::problem(), QString());
    }

    // A store that QSettings cannot read or parse is reported, copied aside
    // before any write, and the record keeps its defaults.
    void damagedStore_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("copied");
        QTest::newRow("line without a value")
            << QByteArray("[General]\nartnet_protocol_on=0\nthis line is broken\nFrameFormat=3\n")
            << true;
        QTest::newRow("a folder in its place") << QByteArray() << false;
    }
    void damagedStore()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, copied);
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("Orvello.conf"));
        if (content.isEmpty()) {
            QVERIFY(QDir().mkpath(ini));
        } else {
            QFile file(ini);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        }
        SettingsStore::useFile(ini);
        SettingStruct s;
        s.loadFromStore();
        MainWindowKeys keys;
        keys.load();
        QVERIFY(s.artnet_protocol_on && keys.FrameFormat == 0);
        QVERIFY2(SettingsStore::problem().contains(ini), qPrintable(SettingsStore::problem()));
        MainWindowKeys{false, 2, 0, {}}.save(); // what every exit writes back
        QFile copy(ini + QStringLiteral(".damaged"));
        QCOMPARE(copy.exists(), copied);
        if (copied) {
            SettingStruct{}.loadFromStore(); // a later start never replaces the first copy
            QVERIFY(copy.open(QIODevice::ReadOnly));
            QCOMPARE(copy.readAll(), content);
        }
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
        QCOMPARE(bytes(item), bytes(source.places[8]));
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
