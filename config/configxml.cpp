#include "configxml.h"

#include "playlist.h"
#include "version.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cmath>
#include <limits>

namespace
{
const QString VersionAttr = QStringLiteral("version");

// The number an attribute holds when present, decimal and not negative.
bool readNumber(const QDomElement &element, const QString &name, qint64 *value)
{
    if (!element.hasAttribute(name))
        return false;
    bool ok = false;
    const qint64 number = element.attribute(name).toLongLong(&ok);
    if (!ok || number < 0)
        return false;
    *value = number;
    return true;
}

// A frame offset, signed; missing, not a number or out of range is 0.
qint32 readOffset(const QDomElement &element, const QString &name)
{
    bool ok = false;
    const int value = element.attribute(name).toInt(&ok);
    return ok && qAbs(value) <= SettingStruct::OffsetLimit ? value : 0;
}

// A number too large for the byte reads as a non-number does: its low bits
// would be some other, unrelated value.
quint8 lowByte(const QDomElement &element, const QString &name, quint8 fallback)
{
    qint64 value = 0;
    return readNumber(element, name, &value) && value <= 0xFF ? quint8(value) : fallback;
}

bool hasFormatVersion(const QDomElement &element)
{
    bool ok = false;
    return element.hasAttribute(VersionAttr) && element.attribute(VersionAttr).toInt(&ok) == 1 &&
           ok;
}

// Opens an empty element; its attributes follow until the next element.
void versioned(QXmlStreamWriter &writer, const QString &tag)
{
    writer.writeEmptyElement(tag);
    writer.writeAttribute(VersionAttr, QString::number(ConfigXml::FormatVersion));
}

void attribute(QXmlStreamWriter &writer, const QString &name, qint64 value)
{
    writer.writeAttribute(name, QString::number(value));
}

// The place fields in file order, each with the default that is left out.
struct PlaceAttribute {
    const char *name;
    quint8 SettingStructItem::*field;
    quint8 fallback;
};
constexpr PlaceAttribute placeAttributes[] = {
    {"start_hour", &SettingStructItem::StartHour, 0},
    {"start_min", &SettingStructItem::StartMinute, 0},
    {"start_sec", &SettingStructItem::StartSecond, 0},
    {"end_hour", &SettingStructItem::EndHour, 23},
    {"end_min", &SettingStructItem::EndMinute, 59},
    {"end_sec", &SettingStructItem::EndSecond, 59},
    {"close_at_end", &SettingStructItem::ExitAtEnd, 0},
};

void placeToXml(QXmlStreamWriter &writer, const SettingStructItem &place, int number)
{
    versioned(writer, QStringLiteral("place_item"));
    attribute(writer, QStringLiteral("place_number"), number);
    for (const PlaceAttribute &field : placeAttributes) {
        const quint8 value = place.*field.field;
        if (value != field.fallback)
            attribute(writer, QLatin1String(field.name), value);
    }
}

bool placeFromXml(const QDomElement &element, SettingStruct &record)
{
    if (!hasFormatVersion(element))
        return true;
    const QString numberName = QStringLiteral("place_number");
    if (!element.hasAttribute(numberName))
        return true;
    bool ok = false;
    const int number = element.attribute(numberName).toInt(&ok);
    if (!ok || number < 1 || number > SettingStruct::PlaceCount)
        return false;
    SettingStructItem &place = record.places[number - 1];
    for (const PlaceAttribute &attribute : placeAttributes)
        place.*attribute.field =
            lowByte(element, QLatin1String(attribute.name), attribute.fallback);
    return true;
}
// The pattern fields after the place, in file order, with their wildcards.
struct PatternAttribute {
    const char *name;
    int (*get)(const PlaylistTime &);
    void (*set)(PlaylistTime &, qint64);
};
const PatternAttribute patternAttributes[] = {
    {"year",
     [](const PlaylistTime &t) { return t.year == PlaylistTime::YearWildcard ? -1 : int(t.year); },
     [](PlaylistTime &t, qint64 v) { t.year = quint16(v & 0xFFFF); }},
    {"month",
     [](const PlaylistTime &t) { return t.month == PlaylistTime::Wildcard ? -1 : int(t.month); },
     [](PlaylistTime &t, qint64 v) { t.month = quint8(v & 0xFF); }},
    {"day", [](const PlaylistTime &t) { return t.day == PlaylistTime::Wildcard ? -1 : int(t.day); },
     [](PlaylistTime &t, qint64 v) { t.day = quint8(v & 0xFF); }},
    {"weekday",
     [](const PlaylistTime &t) {
         return t.weekday == PlaylistTime::Wildcard ? -1 : int(t.weekday);
     },
     [](PlaylistTime &t, qint64 v) { t.weekday = quint8(v & 0xFF); }},
    {"hour",
     [](const PlaylistTime &t) { return t.hour == PlaylistTime::Wildcard ? -1 : int(t.hour); },
     [](PlaylistTime &t, qint64 v) { t.hour = quint8(v & 0xFF); }},
    {"minute",
     [](const PlaylistTime &t) { return t.minute == PlaylistTime::Wildcard ? -1 : int(t.minute); },
     [](PlaylistTime &t, qint64 v) { t.minute = quint8(v & 0xFF); }},
};
// The remotes: a later addition like LTC, written only when something
// differs from the defaults; readers that do not know it skip it, and a file
// without it reads as both remotes off on their default ports. The token
// travels with the show, so the tablets keep working on a spare machine.
void remoteToXml(QXmlStreamWriter &writer, const SettingStruct &record)
{
    const SettingStruct defaults;
    if (record.osc_enabled == defaults.osc_enabled && record.osc_port == defaults.osc_port &&
        record.web_enabled == defaults.web_enabled && record.web_port == defaults.web_port &&
        record.web_token == defaults.web_token)
        return;
    versioned(writer, QStringLiteral("remote"));
    if (record.osc_enabled)
        attribute(writer, QStringLiteral("osc_enabled"), 1);
    if (record.osc_port != defaults.osc_port)
        attribute(writer, QStringLiteral("osc_port"), record.osc_port);
    if (record.web_enabled)
        attribute(writer, QStringLiteral("web_enabled"), 1);
    if (record.web_port != defaults.web_port)
        attribute(writer, QStringLiteral("web_port"), record.web_port);
    if (!record.web_token.isEmpty())
        writer.writeAttribute(QStringLiteral("web_token"), record.web_token);
}

quint16 portOf(const QDomElement &element, const QString &name, quint16 fallback)
{
    qint64 port = 0;
    return readNumber(element, name, &port) && port >= 1 && port <= 65535 ? quint16(port)
                                                                          : fallback;
}

bool remoteFromXml(const QDomElement &element, SettingStruct &record)
{
    if (!hasFormatVersion(element))
        return true;
    const SettingStruct defaults;
    record.osc_enabled = lowByte(element, QStringLiteral("osc_enabled"), 0) != 0;
    record.osc_port = portOf(element, QStringLiteral("osc_port"), defaults.osc_port);
    record.web_enabled = lowByte(element, QStringLiteral("web_enabled"), 0) != 0;
    record.web_port = portOf(element, QStringLiteral("web_port"), defaults.web_port);
    record.web_token = element.attribute(QStringLiteral("web_token")).trimmed();
    return true;
}

// What the settings window's controls can show: times of day, switches, the
// universes 1..256, the LTC level in dBFS and calendar values. -1 in a
// playlist field is the wildcard, as in the store.
struct ValueRange {
    const char *element;
    const char *attribute;
    int min;
    int max;
};
constexpr ValueRange valueRanges[] = {
    {"place_item", "start_hour", 0, 23},
    {"place_item", "start_min", 0, 59},
    {"place_item", "start_sec", 0, 59},
    {"place_item", "end_hour", 0, 23},
    {"place_item", "end_min", 0, 59},
    {"place_item", "end_sec", 0, 59},
    {"place_item", "close_at_end", 0, 1},
    {"dmx_in_item", "dmx_in_enabled", 0, 1},
    {"dmx_in_item", "dmx_in_universe", 1, 256},
    {"protocol_artnet", "enable", 0, 1},
    {"protocol_midi", "enable", 0, 1},
    {"protocol_ltc", "enable", 0, 1},
    {"protocol_ltc", "level", -60, 0},
    {"playlist", "enabled", 0, 1},
    {"playlist_item", "year", 1, 9999},
    {"playlist_item", "month", 1, 12},
    {"playlist_item", "day", 1, 31},
    {"playlist_item", "weekday", 0, 6},
    {"playlist_item", "hour", 0, 23},
    {"playlist_item", "minute", 0, 59},
    {"remote", "osc_enabled", 0, 1},
    {"remote", "osc_port", 1, 65535},
    {"remote", "web_enabled", 0, 1},
    {"remote", "web_port", 1, 65535},
};

QString tr(const char *text)
{
    return QCoreApplication::translate("Orvello", text);
}

QString notANumber(const QDomElement &element, const QString &attribute, int min, int max)
{
    return tr("line %1: %2 %3=\"%4\" is not a number from %5 to %6")
        .arg(element.lineNumber())
        .arg(element.tagName(), attribute, ConfigXml::shownValue(element.attribute(attribute)))
        .arg(min)
        .arg(max);
}

bool inRange(const ValueRange &range, const QString &text, bool wildcardAllowed)
{
    bool ok = false;
    // The level is in dBFS and need not be whole.
    if (qstrcmp(range.attribute, "level") == 0) {
        const double value = text.toDouble(&ok);
        return ok && value >= range.min && value <= range.max;
    }
    const qint64 value = text.toLongLong(&ok);
    return ok && ((value >= range.min && value <= range.max) || (wildcardAllowed && value == -1));
}
} // namespace

namespace ConfigXml
{

bool playlistItemToXml(const PlaylistTime &entry, QXmlStreamWriter &writer)
{
    versioned(writer, QStringLiteral("playlist_item"));
    if (entry.place != PlaylistTime::Wildcard)
        writer.writeAttribute(QStringLiteral("place"), placeText(entry.place));
    for (const PatternAttribute &field : patternAttributes) {
        const int value = field.get(entry);
        if (value >= 0)
            attribute(writer, QLatin1String(field.name), value);
    }
    return true;
}

bool playlistItemFromXml(const QDomElement &element, PlaylistTime &entry)
{
    if (element.tagName() != QLatin1String("playlist_item"))
        return false;
    if (!hasFormatVersion(element))
        return true;
    const int place = placeFromText(element.attribute(QStringLiteral("place")));
    if (place != -1)
        entry.place = quint8(place);
    for (const PatternAttribute &attribute : patternAttributes) {
        // The year has 16 bits, the other fields 8; a larger number is no number.
        const qint64 max = qstrcmp(attribute.name, "year") == 0 ? 0xFFFF : 0xFF;
        qint64 value = 0;
        if (readNumber(element, QLatin1String(attribute.name), &value) && value <= max)
            attribute.set(entry, value);
    }
    return true;
}

void playlistToXml(QXmlStreamWriter &writer, Playlist &playlist)
{
    // Each read takes the playlist's lock; the list itself only changes on
    // the GUI thread, which is the one running this.
    if (playlist.enabled.load()) {
        versioned(writer, QStringLiteral("playlist"));
        attribute(writer, QStringLiteral("enabled"), 1);
    }
    for (int i = 0; i < playlist.itemCount(); ++i)
        playlistItemToXml(playlist.itemAt(i).entry, writer);
}

bool playlistFromXml(const QDomElement &element, Playlist &playlist)
{
    if (element.tagName() == QLatin1String("playlist")) {
        bool ok = false;
        const int enabled = element.attribute(QStringLiteral("enabled")).toInt(&ok);
        // Negative values count by their low byte; beyond a byte is no number.
        if (hasFormatVersion(element) && ok && enabled >= -128 && enabled <= 255)
            playlist.enabled = quint8(enabled) != 0;
        return true;
    }
    PlaylistTime entry;
    if (!playlistItemFromXml(element, entry))
        return false;
    playlist.appendItem(entry);
    return true;
}

QString placeText(quint8 place)
{
    if (place == PlaylistTime::PlaceSystemTime)
        return QStringLiteral("ST");
    if (place == PlaylistTime::PlaceExit)
        return QStringLiteral("EX");
    return QStringLiteral("%1").arg(place, 2, 10, QLatin1Char('0'));
}

int placeFromText(const QString &text)
{
    const QString t = text.trimmed().toUpper();
    if (t == QLatin1String("ST") || t == QLatin1String("-3"))
        return -3;
    if (t == QLatin1String("EX") || t == QLatin1String("-2"))
        return -2;
    bool ok = false;
    const int number = t.toInt(&ok);
    return ok && number >= 1 && number <= 9 ? number : -1;
}

QString shownValue(const QString &value)
{
    constexpr int Shown = 40;
    return value.size() <= Shown ? value : value.left(Shown) + QStringLiteral("...");
}

QStringList valuesOutOfRange(const QDomElement &element)
{
    QStringList found;
    if (!hasFormatVersion(element))
        return found;
    const QString tag = element.tagName();
    if (tag == QLatin1String("place_item")) {
        const QString numberName = QStringLiteral("place_number");
        if (!element.hasAttribute(numberName))
            return found;
        bool ok = false;
        const int number = element.attribute(numberName).toInt(&ok);
        // The element is then ignored, its times with it.
        if (!ok || number < 1 || number > SettingStruct::PlaceCount)
            return {notANumber(element, numberName, 1, SettingStruct::PlaceCount)};
    }
    const bool entry = tag == QLatin1String("playlist_item");
    const QString placeName = QStringLiteral("place");
    if (entry && element.hasAttribute(placeName)) {
        const QString place = element.attribute(placeName).trimmed();
        if (placeFromText(place) == -1 && place != QLatin1String("--") &&
            place != QLatin1String("-1"))
            found << tr("line %1: %2 %3=\"%4\" is not ST, EX or a place from 1 to 9")
                         .arg(element.lineNumber())
                         .arg(tag, placeName, shownValue(element.attribute(placeName)));
    }
    for (const ValueRange &range : valueRanges) {
        const QString attribute = QLatin1String(range.attribute);
        if (tag != QLatin1String(range.element) || !element.hasAttribute(attribute))
            continue;
        if (!inRange(range, element.attribute(attribute), entry))
            found << notANumber(element, attribute, range.min, range.max);
    }
    return found;
}

void settingsToXml(QXmlStreamWriter &writer, const SettingStruct &record)
{
    for (int i = 0; i < SettingStruct::PlaceCount; ++i)
        placeToXml(writer, record.places[i], i + 1);

    if (record.dmx_in_enabled || record.dmx_in_universe != 256) {
        versioned(writer, QStringLiteral("dmx_in_item"));
        if (record.dmx_in_enabled)
            attribute(writer, QStringLiteral("dmx_in_enabled"), 1);
        if (record.dmx_in_universe != 256)
            attribute(writer, QStringLiteral("dmx_in_universe"), record.dmx_in_universe);
    }
    // Later additions are written only away from their defaults, so a show
    // that does not use them exports as before and older readers skip them.
    const SettingStruct defaults;
    if (record.true_drop_frame) {
        versioned(writer, QStringLiteral("timecode"));
        attribute(writer, QStringLiteral("true_drop_frame"), 1);
    }
    if (!record.artnet_protocol_on || !record.artnet_broadcast || record.artnet_stream_id != 0 ||
        record.artnet_offset != 0) {
        versioned(writer, QStringLiteral("protocol_artnet"));
        if (!record.artnet_protocol_on)
            attribute(writer, QStringLiteral("enable"), 0);
        if (!record.artnet_broadcast)
            attribute(writer, QStringLiteral("broadcast"), 0);
        if (record.artnet_stream_id != 0)
            attribute(writer, QStringLiteral("stream_id"), record.artnet_stream_id);
        if (record.artnet_offset != 0)
            attribute(writer, QStringLiteral("offset"), record.artnet_offset);
    }
    for (const QString &address :
         record.artnet_unicast.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        versioned(writer, QStringLiteral("artnet_unicast"));
        writer.writeAttribute(QStringLiteral("address"), address);
    }
    if (!record.midi_protocol_on || record.midi_offset != 0) {
        versioned(writer, QStringLiteral("protocol_midi"));
        if (!record.midi_protocol_on)
            attribute(writer, QStringLiteral("enable"), 0);
        if (record.midi_offset != 0)
            attribute(writer, QStringLiteral("offset"), record.midi_offset);
    }
    // A file without this element reads as LTC off at the default level.
    if (record.ltc_protocol_on != defaults.ltc_protocol_on ||
        record.ltc_level != defaults.ltc_level || record.ltc_offset != 0 ||
        !record.ltc_userbits.trimmed().isEmpty()) {
        versioned(writer, QStringLiteral("protocol_ltc"));
        attribute(writer, QStringLiteral("enable"), record.ltc_protocol_on ? 1 : 0);
        writer.writeAttribute(QStringLiteral("level"), QString::number(record.ltc_level));
        if (record.ltc_offset != 0)
            attribute(writer, QStringLiteral("offset"), record.ltc_offset);
        if (!record.ltc_userbits.trimmed().isEmpty())
            writer.writeAttribute(QStringLiteral("userbits"), record.ltc_userbits.trimmed());
    }
    // Only the values that differ from the defaults, like the places.
    if (!record.followAtDefaults()) {
        versioned(writer, QStringLiteral("follow"));
        if (record.follow_input != defaults.follow_input)
            writer.writeAttribute(QStringLiteral("input"), record.follow_input);
        const auto text = [&](const char *name, const QString &value) {
            if (!value.isEmpty())
                writer.writeAttribute(QLatin1String(name), value);
        };
        text("artnet_source", record.follow_artnet_source);
        text("midi_port", record.follow_midi_port);
        text("ltc_device", record.follow_ltc_device);
        if (record.follow_freewheel_frames != defaults.follow_freewheel_frames)
            attribute(writer, QStringLiteral("freewheel_frames"), record.follow_freewheel_frames);
        if (record.follow_run_on)
            attribute(writer, QStringLiteral("run_on"), 1);
        if (record.standby_enabled)
            attribute(writer, QStringLiteral("standby"), 1);
        if (record.standby_takeover_frames != defaults.standby_takeover_frames)
            attribute(writer, QStringLiteral("takeover_frames"), record.standby_takeover_frames);
    }
    remoteToXml(writer, record);
}

namespace
{
void followFromXml(const QDomElement &element, SettingStruct &record)
{
    const SettingStruct defaults;
    record.follow_input = SettingStruct::followInputName(
        element.attribute(QStringLiteral("input"), defaults.follow_input));
    record.follow_artnet_source = element.attribute(QStringLiteral("artnet_source"));
    record.follow_midi_port = element.attribute(QStringLiteral("midi_port"));
    record.follow_ltc_device = element.attribute(QStringLiteral("ltc_device"));
    qint64 value = 0;
    record.follow_freewheel_frames =
        readNumber(element, QStringLiteral("freewheel_frames"), &value)
            ? SettingStruct::boundedFrames(value, defaults.follow_freewheel_frames)
            : defaults.follow_freewheel_frames;
    record.follow_run_on = lowByte(element, QStringLiteral("run_on"), 0) != 0;
    record.standby_enabled = lowByte(element, QStringLiteral("standby"), 0) != 0;
    record.standby_takeover_frames =
        readNumber(element, QStringLiteral("takeover_frames"), &value) && value >= 1
            ? SettingStruct::boundedFrames(value, defaults.standby_takeover_frames)
            : defaults.standby_takeover_frames;
}
} // namespace

bool settingsFromXml(const QDomElement &element, SettingStruct &record)
{
    const QString tag = element.tagName();
    if (tag == QLatin1String("place_item"))
        return placeFromXml(element, record);
    if (tag == QLatin1String("remote"))
        return remoteFromXml(element, record);

    const bool dmx = tag == QLatin1String("dmx_in_item");
    const bool artnet = tag == QLatin1String("protocol_artnet");
    const bool midi = tag == QLatin1String("protocol_midi");
    const bool ltc = tag == QLatin1String("protocol_ltc");
    const bool timecode = tag == QLatin1String("timecode");
    const bool unicast = tag == QLatin1String("artnet_unicast");
    const bool follow = tag == QLatin1String("follow");
    if (!dmx && !artnet && !midi && !ltc && !timecode && !unicast && !follow)
        return false;
    if (!hasFormatVersion(element))
        return true;
    if (follow) {
        followFromXml(element, record);
        return true;
    }
    if (timecode) {
        record.true_drop_frame = lowByte(element, QStringLiteral("true_drop_frame"), 0) != 0;
        return true;
    }
    if (unicast) {
        // One address an element; the list is checked where it is used.
        const QString address = element.attribute(QStringLiteral("address")).trimmed();
        if (!address.isEmpty() && !address.contains(QLatin1Char(' ')))
            record.artnet_unicast = (record.artnet_unicast + QLatin1Char(' ') + address).trimmed();
        return true;
    }
    if (ltc) {
        record.ltc_protocol_on = lowByte(element, QStringLiteral("enable"), 0) != 0;
        // dBFS, so negative and not always whole; anything else is the default.
        bool ok = false;
        const double level = element.attribute(QStringLiteral("level")).toDouble(&ok);
        record.ltc_level =
            ok && std::isfinite(level) ? qBound(-60.0, level, 0.0) : SettingStruct().ltc_level;
        record.ltc_offset = readOffset(element, QStringLiteral("offset"));
        record.ltc_userbits = element.attribute(QStringLiteral("userbits")).trimmed();
        return true;
    }
    if (dmx) {
        record.dmx_in_enabled = lowByte(element, QStringLiteral("dmx_in_enabled"), 0) != 0;
        qint64 universe = 0;
        // A universe beyond 32 bits does not read as a number and stays the default.
        record.dmx_in_universe =
            readNumber(element, QStringLiteral("dmx_in_universe"), &universe) &&
                    universe <= std::numeric_limits<qint32>::max()
                ? qint32(universe)
                : 256;
    } else {
        const bool on = lowByte(element, QStringLiteral("enable"), 1) != 0;
        (artnet ? record.artnet_protocol_on : record.midi_protocol_on) = on;
        (artnet ? record.artnet_offset : record.midi_offset) =
            readOffset(element, QStringLiteral("offset"));
        if (artnet) {
            record.artnet_broadcast = lowByte(element, QStringLiteral("broadcast"), 1) != 0;
            record.artnet_stream_id = lowByte(element, QStringLiteral("stream_id"), 0);
        }
    }
    return true;
}

QString buildConfigDocument(const QString &fileName, const SettingStruct *record,
                            Playlist *playlist, const QDateTime &now)
{
    QString text;
    QXmlStreamWriter writer(&text);
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(1);
    writer.writeDTD(QStringLiteral("<!DOCTYPE orvello>"));
    writer.writeStartElement(QLatin1String(Maker::Application) + QStringLiteral("Config"));
    writer.writeAttribute(QStringLiteral("name"), QFileInfo(fileName).fileName());
    writer.writeAttribute(QStringLiteral("author"), QLatin1String(Maker::Application));
    attribute(writer, VersionAttr, FormatVersion);
    writer.writeAttribute(QStringLiteral("software_version"), QStringLiteral("%1.%2.%3.%4")
                                                                  .arg(Version::Major)
                                                                  .arg(Version::Minor)
                                                                  .arg(Version::Revision)
                                                                  .arg(Version::Build));
    writer.writeAttribute(QStringLiteral("date"),
                          now.date().toString(QStringLiteral("yyyy/MM/dd")));
    writer.writeAttribute(QStringLiteral("time"), now.time().toString(QStringLiteral("hh:mm:ss")));
    if (record)
        settingsToXml(writer, *record);
    if (playlist)
        playlistToXml(writer, *playlist);
    writer.writeEndElement();
    writer.writeEndDocument();
    // Auto-formatting puts a line break before the document type as well.
    if (text.startsWith(QLatin1Char('\n')))
        text.remove(0, 1);
    return text;
}

} // namespace ConfigXml
