#include "configfile.h"
#include "configxml.h"
#include "playlist.h"
#include "settingsstore.h"

#include <QTemporaryDir>
#include <QtTest>

namespace
{
// Record and playlist as one line: the places that differ from the default,
// then DMX, protocols, interfaces, MIDI type, playlist flag and entries.
QString summary(const SettingStruct &r, Playlist &p)
{
    QStringList parts;
    for (int i = 0; i < SettingStruct::PlaceCount; ++i) {
        const SettingStructItem &x = r.places[i];
        const QString text =
            QString::asprintf("%02d:%02d:%02d-%02d:%02d:%02d", x.StartHour, x.StartMinute,
                              x.StartSecond, x.EndHour, x.EndMinute, x.EndSecond) +
            (x.ExitAtEnd ? QStringLiteral("x%1").arg(x.ExitAtEnd) : QString());
        if (text != QLatin1String("00:00:00-23:59:59"))
            parts << QStringLiteral("p%1=%2").arg(i + 1).arg(text);
    }
    parts << QString::asprintf("dmx=%d/%d an=%d mi=%d", r.dmx_in_enabled, r.dmx_in_universe,
                               r.artnet_protocol_on, r.midi_protocol_on);
    if (r.ltc_protocol_on || r.ltc_level != -18 || !r.ltc_device.isEmpty())
        parts << QStringLiteral("lt=%1/%2/%3")
                     .arg(int(r.ltc_protocol_on))
                     .arg(r.ltc_level)
                     .arg(r.ltc_device);
    if (r.osc_enabled || r.osc_port != 9000 || r.web_enabled || r.web_port != 8080 ||
        !r.web_token.isEmpty())
        parts << QStringLiteral("rm=%1/%2/%3/%4/%5")
                     .arg(int(r.osc_enabled))
                     .arg(r.osc_port)
                     .arg(int(r.web_enabled))
                     .arg(r.web_port)
                     .arg(r.web_token);
    if (r.artnet_interface_name != QLatin1String("255.255.255.255") ||
        r.midi_interface_name != QLatin1String("all") || r.midi_timecode_type != 0)
        parts << QStringLiteral("if=%1,%2,%3")
                     .arg(r.artnet_interface_name, r.midi_interface_name)
                     .arg(r.midi_timecode_type);
    if (r.true_drop_frame || !r.artnet_broadcast || !r.artnet_unicast.isEmpty() ||
        r.artnet_stream_id || r.artnet_offset || r.midi_offset || r.ltc_offset ||
        !r.ltc_userbits.isEmpty())
        parts << QStringLiteral("wire=%1/%2/[%3]/%4/%5,%6,%7/%8")
                     .arg(int(r.true_drop_frame))
                     .arg(int(r.artnet_broadcast))
                     .arg(r.artnet_unicast)
                     .arg(r.artnet_stream_id)
                     .arg(r.artnet_offset)
                     .arg(r.midi_offset)
                     .arg(r.ltc_offset)
                     .arg(r.ltc_userbits);
    if (!r.followAtDefaults())
        parts << QStringLiteral("fo=%1,%2,%3,%4,%5/%6,%7/%8")
                     .arg(r.follow_input, r.follow_artnet_source, r.follow_midi_port,
                          r.follow_ltc_device)
                     .arg(r.follow_freewheel_frames)
                     .arg(int(r.follow_run_on))
                     .arg(int(r.standby_enabled))
                     .arg(r.standby_takeover_frames);
    parts << QStringLiteral("pl=%1").arg(int(p.enabled.load()));
    for (int i = 0; i < p.itemCount(); ++i) {
        const PlaylistTime e = p.itemAt(i).entry;
        parts << QString::asprintf("[%d %d %d %d %d %d %d]", e.place, e.year, e.month, e.day,
                                   e.weekday, e.hour, e.minute);
    }
    return parts.join(QLatin1Char(' '));
}

// Every field away from its default, a playlist with each kind of place.
void fillShow(SettingStruct &r, Playlist &p)
{
    for (int i = 0; i < SettingStruct::PlaceCount; ++i)
        r.places[i] =
            SettingStructItem{quint8(i),      quint8(10 + i), quint8(20 + i), quint8(12 + i),
                              quint8(30 + i), quint8(40 + i), quint8(i % 2)};
    r.dmx_in_enabled = true;
    r.dmx_in_universe = 300;
    r.artnet_protocol_on = false;
    r.midi_protocol_on = false;
    r.artnet_interface_name = QStringLiteral("10.77.0.0");
    r.midi_interface_name = QStringLiteral("port");
    r.midi_timecode_type = 2;
    r.ltc_protocol_on = true;
    r.ltc_level = -12.5;
    r.ltc_device = QStringLiteral("system");
    r.true_drop_frame = true;
    r.artnet_broadcast = false;
    r.artnet_unicast = QStringLiteral("10.77.0.2 192.168.77.9");
    r.artnet_stream_id = 7;
    r.artnet_offset = -30;
    r.midi_offset = 2;
    r.ltc_offset = 30;
    r.ltc_userbits = QStringLiteral("date");
    r.follow_input = QStringLiteral("ltc");
    r.follow_artnet_source = QStringLiteral("10.77.0.2");
    r.follow_midi_port = QStringLiteral("mtc port");
    r.follow_ltc_device = QStringLiteral("capture");
    r.follow_freewheel_frames = 50;
    r.follow_run_on = true;
    r.standby_enabled = true;
    r.standby_takeover_frames = 5;
    r.osc_enabled = true;
    r.osc_port = 8000;
    r.web_port = 80;
    r.web_token = QStringLiteral("a&<\"b");
    p.enabled = true;
    p.appendItem({3, 0xFFFF, 0xFF, 0xFF, 0, 19, 30});
    p.appendItem({0xFD, 0xFFFF, 0xFF, 0xFF, 0xFF, 0, 0});
    p.appendItem({0xFE, 2027, 3, 6, 0xFF, 23, 59});
    p.appendItem(PlaylistTime());
}

const QString Defaults = QStringLiteral("dmx=0/256 an=1 mi=1 pl=0");
} // namespace

class TestConfigFile : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &text)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            qFatal("cannot write the test file");
        return file.fileName();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        SettingsStore::useFile(m_dir.filePath(QStringLiteral("store.ini")));
    }

    void exportOfDefaultsHoldsNineBarePlaces()
    {
        SettingStruct record;
        Playlist playlist(false);
        const QDateTime at(QDate(2026, 3, 6), QTime(14, 5, 9));
        // Fixed attribute order: two exports of one show differ only in date and time.
        QString expected = "<!DOCTYPE orvello>\n<OrvelloConfig name=\"show.ovxml\" "
                           "author=\"Orvello\" version=\"1\" software_version=\"2.0.0.1\" "
                           "date=\"2026/03/06\" time=\"14:05:09\">\n";
        for (int n = 1; n <= 9; ++n)
            expected += QStringLiteral(" <place_item version=\"1\" place_number=\"%1\"/>\n").arg(n);
        QCOMPARE(ConfigXml::buildConfigDocument("/a.b/show.ovxml", &record, &playlist, at),
                 expected + "</OrvelloConfig>\n");
    }

    void roundTripKeepsAllButInterfacesAndType()
    {
        SettingStruct out;
        Playlist outList(false);
        fillShow(out, outList);
        const QString file = m_dir.filePath(QStringLiteral("show.ovxml"));
        QVERIFY(ConfigFile::write(file, &out, &outList).ok());

        SettingStruct in;
        Playlist inList(false);
        QVERIFY(ConfigFile::read(file, &in, &inList, false).ok());
        out.artnet_interface_name = QStringLiteral("255.255.255.255");
        out.midi_interface_name = QStringLiteral("all");
        out.midi_timecode_type = 0;
        out.ltc_device.clear(); // a device, like an interface, belongs to one computer
        QCOMPARE(summary(in, inList), summary(out, outList));
        QVERIFY(summary(in, inList).contains(QLatin1String("lt=1/-12.5/")));
        QVERIFY(summary(in, inList)
                    .contains(QLatin1String("wire=1/0/[10.77.0.2 192.168.77.9]/7/-30,2,30/date")));
        QVERIFY(summary(in, inList).contains(QLatin1String("rm=1/8000/0/80/a&<\"b")));
    }

    void readingRules_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("expected");
        QTest::newRow("place 3 with end hour 12, hour 30 kept")
            << R"(<place_item version="1" place_number="3" end_hour="12"/><place_item version="1" place_number="1" start_hour="30"/>)"
            << "p1=30:00:00-23:59:59 p3=00:00:00-12:59:59 " + Defaults;
        QTest::newRow("places without version, another version, number 0, 10, none")
            << R"(<place_item place_number="3" end_hour="12"/><place_item version="2" place_number="4" end_hour="12"/><place_item version="1" place_number="0" end_hour="1"/><place_item version="1" place_number="10"/><place_item version="1" start_hour="2"/>)"
            << Defaults;
        QTest::newRow("negative, not a number, too large for a byte")
            << R"(<place_item version="1" place_number="9" start_hour="-1" start_min="x" start_sec="5" end_hour="300" close_at_end="257"/>)"
            << "p9=00:00:05-23:59:59 " + Defaults;
        QTest::newRow("dmx and protocols")
            << R"(<dmx_in_item version="1" dmx_in_enabled="257" dmx_in_universe="300"/><protocol_artnet version="1" enable="0"/><protocol_midi version="1" enable="256"/>)"
            << "dmx=0/300 an=0 mi=1 pl=0";
        QTest::newRow("dmx negative, protocols without version")
            << R"(<dmx_in_item version="1" dmx_in_enabled="-1" dmx_in_universe="-5"/><protocol_artnet enable="0"/><protocol_midi version="2" enable="0"/>)"
            << Defaults;
        QTest::newRow("ltc on at a level")
            << R"(<protocol_ltc version="1" enable="1" level="-12.5"/>)"
            << "dmx=0/256 an=1 mi=1 lt=1/-12.5/ pl=0";
        QTest::newRow("ltc level clamped, enable too large")
            << R"(<protocol_ltc version="1" enable="256" level="-90"/>)"
            << "dmx=0/256 an=1 mi=1 lt=0/-60/ pl=0";
        QTest::newRow("ltc without enable is off") << R"(<protocol_ltc version="1" level="-12"/>)"
                                                   << "dmx=0/256 an=1 mi=1 lt=0/-12/ pl=0";
        QTest::newRow("ltc level not a number, without version")
            << R"(<protocol_ltc version="1" enable="1" level="loud"/><protocol_ltc enable="0" level="-3"/>)"
            << "dmx=0/256 an=1 mi=1 lt=1/-18/ pl=0";
        // Offsets out of range or not numbers read as 0; stream id keeps its low byte.
        QTest::newRow("wire options")
            << R"(<timecode version="1" true_drop_frame="1"/><protocol_artnet version="1" broadcast="0" stream_id="258" offset="-31"/><artnet_unicast version="1" address=" 10.77.0.2 "/><artnet_unicast version="1" address="a b"/><artnet_unicast address="10.77.0.3"/><protocol_midi version="1" offset="x"/><protocol_ltc version="1" offset="-30" userbits="0123ABCD"/>)"
            << "dmx=0/256 an=1 mi=1 wire=1/0/[10.77.0.2]/0/0,0,-30/0123ABCD pl=0";
        QTest::newRow("follow: unknown input, huge and zero frame counts")
            << R"(<follow version="1" input="smpte" artnet_source="10.77.0.2" freewheel_frames="999999" run_on="1" standby="256" takeover_frames="0"/>)"
            << "dmx=0/256 an=1 mi=1 fo=artnet,10.77.0.2,,,25/1,0/3 pl=0";
        QTest::newRow("follow mtc, case and counts kept")
            << R"(<follow version="1" input="MTC" midi_port="p" freewheel_frames="0" takeover_frames="10"/>)"
            << "dmx=0/256 an=1 mi=1 fo=mtc,,p,,0/0,0/10 pl=0";
        QTest::newRow("remote: ports out of range are the defaults")
            << R"(<remote version="1" osc_enabled="1" osc_port="70000" web_enabled="1" web_port="0" web_token=" t "/>)"
            << "dmx=0/256 an=1 mi=1 rm=1/9000/1/8080/t pl=0";
        // The largest values a field holds are kept.
        QTest::newRow("at the top of the ranges")
            << R"(<protocol_artnet version="1" stream_id="255"/><remote version="1" osc_port="65535" web_port="65535"/><protocol_ltc version="1" enable="0" level="0"/>)"
            << "dmx=0/256 an=1 mi=1 lt=0/0/ rm=0/65535/0/65535/ wire=0/1/[]/255/0,0,0/ pl=0";
        QTest::newRow("remote of another version")
            << R"(<remote version="2" osc_enabled="1"/>)" << Defaults;
        QTest::newRow("playlist enabled negative") << R"(<playlist version="1" enabled="-1"/>)"
                                                   << "dmx=0/256 an=1 mi=1 pl=1";
        QTest::newRow("playlist enabled low bits")
            << R"(<playlist version="1" enabled="256"/>)" << Defaults;
        QTest::newRow("playlist enabled not a number")
            << R"(<playlist version="1" enabled="yes"/>)" << Defaults;
        QTest::newRow("entry places st, ex, 10, --")
            << R"(<playlist_item version="1" place="st" hour="7"/><playlist_item version="1" place="Ex"/><playlist_item version="1" place="10" minute="5"/><playlist_item version="1" place="-1"/>)"
            << Defaults + " [253 65535 255 255 255 7 255] [254 65535 255 255 255 255 255]"
                          " [255 65535 255 255 255 255 5] [255 65535 255 255 255 255 255]";
        QTest::newRow("entry place 0 is no place")
            << R"(<playlist_item version="1" place="0" minute="5"/>)"
            << Defaults + " [255 65535 255 255 255 255 5]";
        QTest::newRow("entry values: too large, negative, text")
            << R"(<playlist_item version="1" place="03" year="70000" month="13" day="-2" weekday="x" hour="256"/>)"
            << Defaults + " [3 65535 13 255 255 255 255]";
        QTest::newRow("entry without version is all wildcards")
            << R"(<playlist_item place="3" hour="7"/><playlist_item version="2" place="3"/>)"
            << Defaults + " [255 65535 255 255 255 255 255] [255 65535 255 255 255 255 255]";
        QTest::newRow("unknown and nested elements ignored")
            << R"(<foo version="1"/><bar><place_item version="1" place_number="2" start_hour="1"/></bar>text)"
            << Defaults;
    }

    void readingRules()
    {
        QFETCH(QString, body);
        QFETCH(QString, expected);
        const QString file = write(QStringLiteral("rules.ovxml"),
                                   "<!DOCTYPE orvello>\n<OrvelloConfig version=\"1\">" +
                                       body.toUtf8() + "</OrvelloConfig>\n");
        SettingStruct record;
        Playlist playlist(false);
        fillShow(record, playlist); // everything must be replaced
        QVERIFY(ConfigFile::read(file, &record, &playlist, false).ok());
        QCOMPARE(summary(record, playlist), expected);
    }

    // A value outside what the settings window can show is read (or replaced)
    // and named in a warning; one at the edge of its range is not.
    void warningsNameValuesOutOfRange_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("warnings");
        QTest::newRow("edges")
            << R"(<protocol_ltc version="1" enable="0" level="-60"/><remote version="1" osc_enabled="1" osc_port="65535" web_port="1"/><playlist_item version="1" place="1" year="-1" weekday="6"/>)"
            << QStringList();
        QTest::newRow("one past")
            << R"(<protocol_ltc version="1" enable="2"/><remote version="1" osc_enabled="2" web_port="65536"/><playlist_item version="1" place="1" weekday="7"/>)"
            << QStringList{R"(line 2: protocol_ltc enable="2" is not a number from 0 to 1)",
                           R"(line 2: remote osc_enabled="2" is not a number from 0 to 1)",
                           R"(line 2: remote web_port="65536" is not a number from 1 to 65535)",
                           R"(line 2: playlist_item weekday="7" is not a number from 0 to 6)"};
    }

    void warningsNameValuesOutOfRange()
    {
        QFETCH(QString, body);
        QFETCH(QStringList, warnings);
        const QString file = write(QStringLiteral("warn.ovxml"),
                                   "<!DOCTYPE orvello>\n<OrvelloConfig version=\"1\">" +
                                       body.toUtf8() + "</OrvelloConfig>\n");
        SettingStruct record;
        Playlist playlist(false);
        const ConfigFile::Result result = ConfigFile::read(file, &record, &playlist, false);
        QVERIFY(result.ok());
        QCOMPARE(result.warnings, warnings);
    }

    // Unreadable files and the warning texts are checked where the boxes are shown.
    void malformedFileChangesNothing()
    {
        const QString file = write("broken.ovxml", "<OrvelloConfig><place_item version=\"1\">");
        SettingStruct record, before;
        Playlist playlist(false), beforeList(false);
        fillShow(record, playlist);
        fillShow(before, beforeList);
        QCOMPARE(ConfigFile::read(file, &record, &playlist, false).status,
                 ConfigFile::Status::ParseFailed);
        QCOMPARE(summary(record, playlist), summary(before, beforeList));
    }

    void extensionFollowsTheFileNameOnly()
    {
        QCOMPARE(ConfigFile::withExtension("/x/my.shows/show"), "/x/my.shows/show.ovxml");
        QCOMPARE(ConfigFile::withExtension("/x/shows/show.xml"), "/x/shows/show.xml");
    }

    // The file dialogs start in Documents, or in the home folder where there
    // is none; the folder kept always ends in one slash.
    void dialogFolder()
    {
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", home.path().toLocal8Bit());
        const QString withoutDocuments = ConfigFile::defaultConfigFolder();
        QVERIFY(QDir(home.path()).mkdir(QStringLiteral("Documents")));
        const QString withDocuments = ConfigFile::defaultConfigFolder();
        qputenv("HOME", oldHome);
        QCOMPARE(withoutDocuments, home.path() + QLatin1Char('/'));
        QCOMPARE(withDocuments, home.path() + QStringLiteral("/Documents/"));
        ConfigFile::saveConfigFolder(QStringLiteral("/shows"));
        QCOMPARE(SettingsStore::open()->value("path_export_import").toString(), "/shows/");
        QCOMPARE(ConfigFile::loadConfigFolder(), "/shows/");
    }
};

QTEST_GUILESS_MAIN(TestConfigFile)
#include "tst_configfile.moc"
