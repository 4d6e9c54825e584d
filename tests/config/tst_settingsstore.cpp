#include "mainwindowkeys.h"
#include "settingsstore.h"
#include "settingstruct.h"

#include <QDataStream>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
// A store format that keeps the values' own types on disk (INI turns every
// number into text), so the tests can see which type each key was written as.
bool readTyped(QIODevice &device, QSettings::SettingsMap &map)
{
    QDataStream in(&device);
    in >> map;
    return in.status() == QDataStream::Ok;
}

bool writeTyped(QIODevice &device, const QSettings::SettingsMap &map)
{
    QDataStream out(&device);
    out << map;
    return out.status() == QDataStream::Ok;
}

const QStringList placeKeyNames{"start_hour_%1",  "start_minute_%1", "start_seconds_%1",
                                "end_hour_%1",    "end_minute_%1",   "end_seconds_%1",
                                "exits_at_end_%1"};
} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void emptyStoreGivesDefaults();
    void missingKeysKeepCurrentValuesButNotInterfaceTexts();
    void saveWritesEveryKeyWithItsType();
    void roundTrip();
    void loadTakesWhateverTheStoreHolds_data();
    void loadTakesWhateverTheStoreHolds();
    void eraseRemovesEveryKeyOfTheApplication();
    void copyFromMissingRecordChangesNothing();
    void mainWindowKeys();
    void nativeStoreLivesUnderTheOrganisation();

private:
    QSettings::SettingsMap stored() const;
    QTemporaryDir m_dir;
    QString m_file;
    QSettings::Format m_typed = QSettings::InvalidFormat;
};

void TestSettingsStore::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_typed = QSettings::registerFormat(QStringLiteral("typed"), readTyped, writeTyped);
    QVERIFY(m_typed != QSettings::InvalidFormat);
    m_file = m_dir.filePath(QStringLiteral("store.typed"));
}

void TestSettingsStore::init()
{
    QFile::remove(m_file);
    SettingsStore::useFile(m_file, m_typed);
}

QSettings::SettingsMap TestSettingsStore::stored() const
{
    QFile file(m_file);
    QSettings::SettingsMap map;
    if (file.open(QIODevice::ReadOnly))
        readTyped(file, map);
    return map;
}

void TestSettingsStore::emptyStoreGivesDefaults()
{
    SettingStruct s;
    s.setDefaults();
    s.loadFromStore();
    for (const SettingStructItem &place : s.places) {
        QCOMPARE(place.StartHour, quint8(0));
        QCOMPARE(place.StartMinute, quint8(0));
        QCOMPARE(place.StartSecond, quint8(0));
        QCOMPARE(place.EndHour, quint8(23));
        QCOMPARE(place.EndMinute, quint8(59));
        QCOMPARE(place.EndSecond, quint8(59));
        QCOMPARE(place.ExitAtEnd, quint8(0));
    }
    QCOMPARE(s.dmx_in_enabled, false);
    QCOMPARE(s.dmx_in_universe, 256);
    QCOMPARE(s.artnet_protocol_on, true);
    QCOMPARE(s.midi_protocol_on, true);
    QCOMPARE(s.midi_timecode_type, 0u);
    // Absent interface keys give empty texts, not the record's defaults.
    QCOMPARE(s.artnet_interface_name, QString());
    QCOMPARE(s.midi_interface_name, QString());
    QVERIFY(stored().isEmpty()); // loading writes nothing
}

void TestSettingsStore::missingKeysKeepCurrentValuesButNotInterfaceTexts()
{
    SettingStruct s;
    s.places[4].StartMinute = 7;
    s.dmx_in_enabled = true;
    s.dmx_in_universe = 3;
    s.artnet_protocol_on = false;
    s.midi_protocol_on = false;
    s.midi_timecode_type = 2;
    s.loadFromStore();
    QCOMPARE(s.places[4].StartMinute, quint8(7));
    QCOMPARE(s.dmx_in_enabled, true);
    QCOMPARE(s.dmx_in_universe, 3);
    QCOMPARE(s.artnet_protocol_on, false);
    QCOMPARE(s.midi_protocol_on, false);
    QCOMPARE(s.midi_timecode_type, 0u); // its default is 0, not the current value
}

void TestSettingsStore::saveWritesEveryKeyWithItsType()
{
    SettingStruct s;
    s.places[0].StartHour = 1;
    s.places[8].ExitAtEnd = 1;
    s.dmx_in_enabled = true;
    s.midi_timecode_type = 2;
    s.saveToStore();

    const QSettings::SettingsMap map = stored();
    QStringList expected;
    for (int i = 0; i < SettingStruct::PlaceCount; ++i)
        for (const QString &key : placeKeyNames)
            expected << key.arg(i);
    expected << "dmx_in_enabled"
             << "dmx_in_universe"
             << "artnet_protocol_on"
             << "artnet_interface_name"
             << "midi_protocol_on"
             << "midi_interface_name"
             << "midi_timecode_type";
    QStringList keys = map.keys();
    keys.sort();
    expected.sort();
    QCOMPARE(keys, expected);

    const auto typeOf = [&](const char *key) { return map.value(QLatin1String(key)).metaType(); };
    for (int i = 0; i < SettingStruct::PlaceCount; ++i)
        for (const QString &key : placeKeyNames)
            QCOMPARE(map.value(key.arg(i)).metaType(), QMetaType::fromType<int>());
    QCOMPARE(typeOf("dmx_in_enabled"), QMetaType::fromType<int>());
    QCOMPARE(typeOf("artnet_protocol_on"), QMetaType::fromType<int>());
    QCOMPARE(typeOf("midi_protocol_on"), QMetaType::fromType<int>());
    QCOMPARE(typeOf("dmx_in_universe"), QMetaType::fromType<int>());
    QCOMPARE(typeOf("midi_timecode_type"), QMetaType::fromType<uint>());
    QCOMPARE(typeOf("artnet_interface_name"), QMetaType::fromType<QString>());
    QCOMPARE(typeOf("midi_interface_name"), QMetaType::fromType<QString>());

    // Index 0 is place 1; bools are stored as 0/1.
    QCOMPARE(map.value("start_hour_0"), QVariant(1));
    QCOMPARE(map.value("exits_at_end_8"), QVariant(1));
    QCOMPARE(map.value("dmx_in_enabled"), QVariant(1));
    QCOMPARE(map.value("artnet_protocol_on"), QVariant(1));
    QCOMPARE(map.value("artnet_interface_name"), QVariant(QStringLiteral("255.255.255.255")));
    QCOMPARE(map.value("midi_interface_name"), QVariant(QStringLiteral("all")));
}

void TestSettingsStore::roundTrip()
{
    SettingStruct written;
    for (int i = 0; i < SettingStruct::PlaceCount; ++i) {
        written.places[i] = {quint8(i),      quint8(i + 10), quint8(i + 20), quint8(i + 1),
                             quint8(i + 30), quint8(i + 40), quint8(i % 2)};
    }
    written.dmx_in_enabled = true;
    written.dmx_in_universe = 17;
    written.artnet_protocol_on = false;
    written.artnet_interface_name = QStringLiteral("10.77.0.0");
    written.midi_protocol_on = false;
    written.midi_timecode_type = 1;
    written.midi_interface_name = QStringLiteral("mtcdump:input");
    written.saveToStore();

    SettingStruct read;
    read.setDefaults();
    read.loadFromStore();
    for (int i = 0; i < SettingStruct::PlaceCount; ++i)
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(&read.places[i]), 7),
                 QByteArray(reinterpret_cast<const char *>(&written.places[i]), 7));
    QCOMPARE(read.dmx_in_enabled, true);
    QCOMPARE(read.dmx_in_universe, 17);
    QCOMPARE(read.artnet_protocol_on, false);
    QCOMPARE(read.artnet_interface_name, written.artnet_interface_name);
    QCOMPARE(read.midi_protocol_on, false);
    QCOMPARE(read.midi_timecode_type, 1u);
    QCOMPARE(read.midi_interface_name, written.midi_interface_name);
}

void TestSettingsStore::loadTakesWhateverTheStoreHolds_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("startHour");
    QTest::newRow("text that is no number") << QVariant(QStringLiteral("abc")) << 0;
    QTest::newRow("number as text") << QVariant(QStringLiteral("12")) << 12;
    QTest::newRow("out of range, truncated to a byte") << QVariant(300) << 44;
    QTest::newRow("negative, truncated to a byte") << QVariant(-1) << 255;
}

void TestSettingsStore::loadTakesWhateverTheStoreHolds()
{
    QFETCH(QVariant, stored);
    QFETCH(int, startHour);
    SettingsStore::open()->setValue(QStringLiteral("start_hour_0"), stored);
    SettingStruct s;
    s.loadFromStore();
    QCOMPARE(int(s.places[0].StartHour), startHour);
    QCOMPARE(int(s.places[1].StartHour), 0);
}

void TestSettingsStore::eraseRemovesEveryKeyOfTheApplication()
{
    SettingStruct().saveToStore();
    MainWindowKeys().save();
    {
        const auto store = SettingsStore::open();
        store->setValue(QStringLiteral("UseLcd"), true);
        store->setValue(QStringLiteral("path_export_import"), QStringLiteral("/tmp/"));
        store->setValue(QStringLiteral("UpdateCheckLast"), QStringLiteral("01.01.2026"));
        store->setValue(QStringLiteral("playlist_count"), 2);
    }
    QVERIFY(stored().size() > 60);
    SettingStruct::eraseStore();
    QCOMPARE(stored().keys(), QStringList());
    SettingStruct::eraseStore(); // the dialog and the window both erase: twice is harmless
    QCOMPARE(stored().keys(), QStringList());
}

void TestSettingsStore::copyFromMissingRecordChangesNothing()
{
    SettingStruct target;
    target.places[2].EndSecond = 5;
    target.artnet_interface_name = QStringLiteral("10.0.0.0");
    target.copyFrom(nullptr);
    QCOMPARE(target.places[2].EndSecond, quint8(5));
    QCOMPARE(target.artnet_interface_name, QStringLiteral("10.0.0.0"));
    SettingStruct::copy(&target, nullptr); // must not crash

    SettingStruct source;
    source.places[8].StartSecond = 9;
    source.midi_interface_name = QStringLiteral("port");
    target.copyFrom(&source);
    QCOMPARE(target.places[2].EndSecond, quint8(59));
    QCOMPARE(target.places[8].StartSecond, quint8(9));
    QCOMPARE(target.midi_interface_name, QStringLiteral("port"));
    QCOMPARE(target.artnet_interface_name, QStringLiteral("255.255.255.255"));

    SettingStructItem item;
    item.StartHour = 99;
    source.copyPlace(9, &item); // no place 10
    source.copyPlace(-1, &item);
    QCOMPARE(item.StartHour, quint8(99));
    source.copyPlace(8, &item);
    QCOMPARE(item.StartHour, quint8(0));
    QCOMPARE(item.StartSecond, quint8(9));
}

void TestSettingsStore::mainWindowKeys()
{
    MainWindowKeys keys;
    keys.load();
    QCOMPARE(keys.UseLcd, false);
    QCOMPARE(keys.FrameFormat, 0);
    QCOMPARE(keys.MidiTimecodeType, 0);
    QCOMPARE(keys.MidiInterfaceName, QString());

    keys.UseLcd = true; // never written by the program
    keys.FrameFormat = 3;
    keys.MidiTimecodeType = 2;
    keys.MidiInterfaceName = QStringLiteral("All Midi Devices");
    keys.save();
    const QSettings::SettingsMap map = stored();
    QCOMPARE(map.keys(), (QStringList{"FrameFormat", "MidiInterfaceName", "MidiTimecodeType"}));
    QCOMPARE(map.value("FrameFormat").metaType(), QMetaType::fromType<int>());
    QCOMPARE(map.value("MidiTimecodeType").metaType(), QMetaType::fromType<int>());
    QCOMPARE(map.value("MidiInterfaceName").metaType(), QMetaType::fromType<QString>());

    SettingsStore::open()->setValue(QStringLiteral("UseLcd"), true);
    MainWindowKeys again;
    again.load();
    QCOMPARE(again.UseLcd, true);
    QCOMPARE(again.FrameFormat, 3);
    QCOMPARE(again.MidiTimecodeType, 2);
    QCOMPARE(again.MidiInterfaceName, QStringLiteral("All Midi Devices"));
}

void TestSettingsStore::nativeStoreLivesUnderTheOrganisation()
{
    // The test runner gives every test its own XDG_CONFIG_HOME; refuse to run
    // against a real home folder.
    const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
    if (configHome.isEmpty() || !configHome.contains("test-config"))
        QSKIP("needs the private XDG_CONFIG_HOME that CTest sets");
    SettingsStore::useFile(QString());
    {
        SettingStruct s;
        s.dmx_in_universe = 42;
        s.saveToStore();
    }
    const QString file =
        QString::fromLocal8Bit(configHome) + QStringLiteral("/orvello.example/Orvello.conf");
    QVERIFY2(QFile::exists(file), qPrintable(file));
    QSettings raw(file, QSettings::IniFormat);
    QCOMPARE(raw.value(QStringLiteral("dmx_in_universe")).toInt(), 42);
    SettingStruct::eraseStore();
    QCOMPARE(QSettings(file, QSettings::IniFormat).allKeys(), QStringList());
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
