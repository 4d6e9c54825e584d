#include "configfile.h"
#include "configxml.h"
#include "documentshape.h"
#include "settingsstore.h"
#include "showrecord.h"
#include "table.h"
#include "writefile.h"

#include <QTemporaryDir>
#include <QtTest>

using DocumentShape::Fault;
Q_DECLARE_METATYPE(DocumentShape::Fault)

const QString Defaults = QStringLiteral("dmx=0/256 an=1 mi=1 pl=0");

class TestConfigFile : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    // A show file whose root element holds `body`, read into the record.
    ConfigFile::Result readBody(const QString &body, SettingStruct *record, Playlist *playlist)
    {
        const QString file = writeFile(m_dir.filePath(QStringLiteral("body.ovxml")),
                                       "<!DOCTYPE orvello>\n<OrvelloConfig version=\"1\">" +
                                           body.toUtf8() + "</OrvelloConfig>\n");
        return ConfigFile::read(file, record, playlist, false);
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
        const ConfigFile::Result read = ConfigFile::read(file, &in, &inList, false);
        QVERIFY(read.ok());
        // Only the universe lies beyond what the settings window shows.
        QCOMPARE(
            read.warnings,
            QStringList{
                R"(line 12: dmx_in_item dmx_in_universe="300" is not a number from 1 to 256)"});
        out.artnet_interface_name = QStringLiteral("255.255.255.255");
        out.midi_interface_name = QStringLiteral("all");
        out.midi_timecode_type = 0;
        out.ltc_device.clear(); // a device, like an interface, belongs to one computer
        QCOMPARE(summary(in, inList), summary(out, outList));
    }

    void readingRules_data()
    {
        Table::columns<QString, QString>("body", "expected");
        using Table::row;
        row("place 3 with end hour 12, hour 30 kept",
            R"(<place_item version="1" place_number="3" end_hour="12"/><place_item version="1" place_number="1" start_hour="30"/>)",
            "p1=30:00:00-23:59:59 p3=00:00:00-12:59:59 " + Defaults);
        row("places without version, another version, number 0, 10, none",
            R"(<place_item place_number="3" end_hour="12"/><place_item version="2" place_number="4" end_hour="12"/><place_item version="1" place_number="0" end_hour="1"/><place_item version="1" place_number="10"/><place_item version="1" start_hour="2"/>)",
            Defaults);
        row("negative, not a number, too large for a byte",
            R"(<place_item version="1" place_number="9" start_hour="-1" start_min="x" start_sec="5" end_hour="300" close_at_end="257"/>)",
            "p9=00:00:05-23:59:59 " + Defaults);
        row("dmx and protocols",
            R"(<dmx_in_item version="1" dmx_in_enabled="257" dmx_in_universe="300"/><protocol_artnet version="1" enable="0"/><protocol_midi version="1" enable="256"/>)",
            "dmx=0/300 an=0 mi=1 pl=0");
        row("dmx negative, protocols without version",
            R"(<dmx_in_item version="1" dmx_in_enabled="-1" dmx_in_universe="-5"/><protocol_artnet enable="0"/><protocol_midi version="2" enable="0"/>)",
            Defaults);
        row("ltc on at a level", R"(<protocol_ltc version="1" enable="1" level="-12.5"/>)",
            "dmx=0/256 an=1 mi=1 lt=1/-12.5/ pl=0");
        row("ltc level clamped, enable too large",
            R"(<protocol_ltc version="1" enable="256" level="-90"/>)",
            "dmx=0/256 an=1 mi=1 lt=0/-60/ pl=0");
        row("ltc without enable is off", R"(<protocol_ltc version="1" level="-12"/>)",
            "dmx=0/256 an=1 mi=1 lt=0/-12/ pl=0");
        row("ltc level not a number, without version",
            R"(<protocol_ltc version="1" enable="1" level="loud"/><protocol_ltc enable="0" level="-3"/>)",
            "dmx=0/256 an=1 mi=1 lt=1/-18/ pl=0");
        // Offsets out of range or not numbers read as 0; stream id keeps its low byte.
        row("wire options",
            R"(<timecode version="1" true_drop_frame="1"/><protocol_artnet version="1" broadcast="0" stream_id="258" offset="-31"/><artnet_unicast version="1" address=" 10.77.0.2 "/><artnet_unicast version="1" address="a b"/><artnet_unicast address="10.77.0.3"/><protocol_midi version="1" offset="x"/><protocol_ltc version="1" offset="-30" userbits="0123ABCD"/>)",
            "dmx=0/256 an=1 mi=1 wire=1/0/[10.77.0.2]/0/0,0,-30/0123ABCD pl=0");
        row("follow: unknown input, huge and zero frame counts",
            R"(<follow version="1" input="smpte" artnet_source="10.77.0.2" freewheel_frames="999999" run_on="1" standby="256" takeover_frames="0"/>)",
            "dmx=0/256 an=1 mi=1 fo=artnet,10.77.0.2,,,25/1,0/3 pl=0");
        row("follow mtc, case and counts kept",
            R"(<follow version="1" input="MTC" midi_port="p" freewheel_frames="0" takeover_frames="10"/>)",
            "dmx=0/256 an=1 mi=1 fo=mtc,,p,,0/0,0/10 pl=0");
        row("remote: ports out of range are the defaults",
            R"(<remote version="1" osc_enabled="1" osc_port="70000" web_enabled="1" web_port="0" web_token=" t "/>)",
            "dmx=0/256 an=1 mi=1 rm=1/9000/1/8080/t pl=0");
        // The largest values a field holds are kept.
        row("at the top of the ranges",
            R"(<protocol_artnet version="1" stream_id="255"/><remote version="1" osc_port="65535" web_port="65535"/><protocol_ltc version="1" enable="0" level="0"/>)",
            "dmx=0/256 an=1 mi=1 lt=0/0/ rm=0/65535/0/65535/ wire=0/1/[]/255/0,0,0/ pl=0");
        row("remote of another version", R"(<remote version="2" osc_enabled="1"/>)", Defaults);
        row("playlist enabled negative", R"(<playlist version="1" enabled="-1"/>)",
            "dmx=0/256 an=1 mi=1 pl=1");
        row("playlist enabled low bits", R"(<playlist version="1" enabled="256"/>)", Defaults);
        row("playlist enabled not a number", R"(<playlist version="1" enabled="yes"/>)", Defaults);
        row("entry places st, ex, 10, --",
            R"(<playlist_item version="1" place="st" hour="7"/><playlist_item version="1" place="Ex"/><playlist_item version="1" place="10" minute="5"/><playlist_item version="1" place="-1"/>)",
            Defaults + " [253 65535 255 255 255 7 255] [254 65535 255 255 255 255 255]"
                       " [255 65535 255 255 255 255 5] [255 65535 255 255 255 255 255]");
        row("entry place 0 is no place", R"(<playlist_item version="1" place="0" minute="5"/>)",
            Defaults + " [255 65535 255 255 255 255 5]");
        row("entry values: too large, negative, text",
            R"(<playlist_item version="1" place="03" year="70000" month="13" day="-2" weekday="x" hour="256"/>)",
            Defaults + " [3 65535 13 255 255 255 255]");
        row("entry without version is all wildcards",
            R"(<playlist_item place="3" hour="7"/><playlist_item version="2" place="3"/>)",
            Defaults + " [255 65535 255 255 255 255 255] [255 65535 255 255 255 255 255]");
        row("unknown and nested elements ignored",
            R"(<foo version="1"/><bar><place_item version="1" place_number="2" start_hour="1"/></bar>text)",
            Defaults);
    }

    void readingRules()
    {
        const auto [body, expected] = Table::fetch<QString, QString>("body", "expected");
        SettingStruct record;
        Playlist playlist(false);
        fillShow(record, playlist); // everything must be replaced
        QVERIFY(readBody(body, &record, &playlist).ok());
        QCOMPARE(summary(record, playlist), expected);
    }

    // A value outside what the settings window can show is read (or replaced)
    // and named in a warning; one at the edge of its range is not.
    void warningsNameValuesOutOfRange_data()
    {
        Table::columns<QString, QStringList>("body", "warnings");
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
        const auto [body, warnings] = Table::fetch<QString, QStringList>("body", "warnings");
        SettingStruct record;
        Playlist playlist(false);
        const ConfigFile::Result result = readBody(body, &record, &playlist);
        QVERIFY(result.ok());
        QCOMPARE(result.warnings, warnings);
    }

    // Unreadable files and the warning texts are checked where the boxes are shown.
    void malformedFileChangesNothing()
    {
        const QString file =
            writeFile(m_dir.filePath("broken.ovxml"), "<OrvelloConfig><place_item version=\"1\">");
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

    // Each bound of the shape scan holds a document exactly at it and refuses
    // one past it, read as bytes and as decoded text alike.
    void documentShapeBounds_data()
    {
        using Table::row;
        Table::columns<QByteArray, Fault>("document", "fault");
        const auto nested = [](int depth) {
            return QByteArray("<a>").repeated(depth) + QByteArray("</a>").repeated(depth);
        };
        const auto attributes = [](int count) {
            QByteArray tag = "<a";
            for (int i = 0; i < count; ++i)
                tag += " a" + QByteArray::number(i) + "='>'";
            return tag + "/>";
        };
        // The root and then pairs of an empty element and a text: two nodes each.
        const auto nodes = [](int pairs) {
            return "<r>" + QByteArray("<e/>t").repeated(pairs) + "</r>";
        };
        row("nested at the bound", nested(DocumentShape::MaxDepth), Fault::None);
        row("nested past it", nested(DocumentShape::MaxDepth + 1), Fault::Nesting);
        row("closed elements do not add up",
            QByteArray("<a></a>").repeated(DocumentShape::MaxDepth + 1), Fault::None);
        row("attributes at the bound, '>' quoted", attributes(DocumentShape::MaxAttributes),
            Fault::None);
        row("attributes past it", attributes(DocumentShape::MaxAttributes + 1), Fault::Attributes);
        row("nodes at the bound", nodes((DocumentShape::MaxNodes - 2) / 2) + "t", Fault::None);
        row("a text after markup is a node", nodes((DocumentShape::MaxNodes - 2) / 2) + "<e/>t",
            Fault::Nodes);
        row("comments and declarations hide markup",
            "<!DOCTYPE r [<!ENTITY x '<a><a>'>]><r><!-- <a><a><a> --><![CDATA[<a>]]></r>" +
                nested(DocumentShape::MaxDepth - 1),
            Fault::None);
    }

    void documentShapeBounds()
    {
        const auto [document, fault] = Table::fetch<QByteArray, Fault>("document", "fault");
        QCOMPARE(DocumentShape::scan(QByteArrayView(document)), fault);
        const QString text = QString::fromLatin1(document);
        QCOMPARE(DocumentShape::scan(QStringView(text)), fault);
    }
};

QTEST_GUILESS_MAIN(TestConfigFile)
#include "tst_configfile.moc"
