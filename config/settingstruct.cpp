#include "settingstruct.h"

#include "settingsstore.h"

#include <cmath>

namespace
{
// Store order of the seven place keys; the load and the save walk the same list.
struct PlaceKey {
    const char *name;
    quint8 SettingStructItem::*field;
};
constexpr PlaceKey placeKeys[] = {
    {"start_hour_%1", &SettingStructItem::StartHour},
    {"start_minute_%1", &SettingStructItem::StartMinute},
    {"start_seconds_%1", &SettingStructItem::StartSecond},
    {"end_hour_%1", &SettingStructItem::EndHour},
    {"end_minute_%1", &SettingStructItem::EndMinute},
    {"end_seconds_%1", &SettingStructItem::EndSecond},
    {"exits_at_end_%1", &SettingStructItem::ExitAtEnd},
};

QString placeKey(const PlaceKey &key, int index)
{
    return QString::fromLatin1(key.name).arg(index);
}

// The store is a text file people edit by hand, so a switch also reads the
// words for on and off; anything else converts as a number, where text that
// is not one gives 0.
bool readSwitch(const QSettings &store, const QString &key, bool current)
{
    const QVariant value = store.value(key, QVariant(int(current)));
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("yes") ||
        text == QLatin1String("on"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("no") ||
        text == QLatin1String("off"))
        return false;
    return value.toInt() != 0;
}

// An offset outside the range is brought into it; text that is not a number
// keeps the current one.
qint32 readOffset(const QSettings &store, const QString &key, qint32 current)
{
    bool ok = false;
    const int value = store.value(key, current).toInt(&ok);
    return ok ? qBound(-SettingStruct::OffsetLimit, value, SettingStruct::OffsetLimit) : current;
}

// A port from the store: 1..65535, anything else keeps the current one.
quint16 readPort(const QSettings &store, const QString &key, quint16 current)
{
    bool ok = false;
    const int port = store.value(key, int(current)).toInt(&ok);
    return ok && port >= 1 && port <= 65535 ? quint16(port) : current;
}
} // namespace

void SettingStruct::setDefaults()
{
    *this = SettingStruct();
}

void SettingStruct::copyFrom(const SettingStruct *other)
{
    copy(other, this);
}

void SettingStruct::copy(const SettingStruct *from, SettingStruct *to)
{
    if (from && to && from != to)
        *to = *from;
}

void SettingStruct::copyPlace(int index, SettingStructItem *to) const
{
    if (index >= 0 && index < PlaceCount)
        SettingStructItem::copy(&places[index], to);
}

quint32 SettingStruct::dmxInPortAddress() const
{
    // Widened first: a hand-edited universe may be the lowest int.
    return quint32(qint64(dmx_in_universe) - 1);
}

void SettingStruct::loadFromStore()
{
    const auto store = SettingsStore::openChecked();
    // A damaged store was reported and copied aside; its leftovers are not
    // trusted, so the record keeps the defaults.
    if (SettingsStore::damaged())
        return;
    for (int i = 0; i < PlaceCount; ++i) {
        for (const PlaceKey &key : placeKeys) {
            quint8 &field = places[i].*key.field;
            // No range check: the record keeps whatever byte the store gives.
            field = quint8(store->value(placeKey(key, i), QVariant(int(field))).toInt());
        }
    }
    dmx_in_enabled = readSwitch(*store, QStringLiteral("dmx_in_enabled"), dmx_in_enabled);
    dmx_in_universe =
        store->value(QStringLiteral("dmx_in_universe"), QVariant(dmx_in_universe)).toInt();
    artnet_protocol_on =
        readSwitch(*store, QStringLiteral("artnet_protocol_on"), artnet_protocol_on);
    artnet_interface_name =
        store->value(QStringLiteral("artnet_interface_name"), QString()).toString();
    midi_protocol_on = readSwitch(*store, QStringLiteral("midi_protocol_on"), midi_protocol_on);
    midi_interface_name = store->value(QStringLiteral("midi_interface_name"), QString()).toString();
    midi_timecode_type = store->value(QStringLiteral("midi_timecode_type"), QVariant(0u)).toUInt();
    ltc_protocol_on =
        store->value(QStringLiteral("ltc_protocol_on"), QVariant(int(ltc_protocol_on))).toInt();
    ltc_device = store->value(QStringLiteral("ltc_device"), ltc_device).toString();
    // A level that is not a number keeps the current one rather than become 0 dBFS.
    bool isNumber = false;
    const double level = store->value(QStringLiteral("ltc_level"), ltc_level).toDouble(&isNumber);
    if (isNumber && std::isfinite(level))
        ltc_level = level;
    true_drop_frame = readSwitch(*store, QStringLiteral("true_drop_frame"), true_drop_frame);
    artnet_broadcast = readSwitch(*store, QStringLiteral("artnet_broadcast"), artnet_broadcast);
    artnet_unicast = store->value(QStringLiteral("artnet_unicast"), artnet_unicast).toString();
    bool ok = false;
    const int streamId =
        store->value(QStringLiteral("artnet_stream_id"), int(artnet_stream_id)).toInt(&ok);
    if (ok && streamId >= 0 && streamId <= 255)
        artnet_stream_id = quint8(streamId);
    artnet_offset = readOffset(*store, QStringLiteral("artnet_offset"), artnet_offset);
    midi_offset = readOffset(*store, QStringLiteral("midi_offset"), midi_offset);
    ltc_offset = readOffset(*store, QStringLiteral("ltc_offset"), ltc_offset);
    ltc_userbits = store->value(QStringLiteral("ltc_userbits"), ltc_userbits).toString();
    follow_input =
        followInputName(store->value(QStringLiteral("follow_input"), follow_input).toString());
    follow_artnet_source =
        store->value(QStringLiteral("follow_artnet_source"), follow_artnet_source).toString();
    follow_midi_port =
        store->value(QStringLiteral("follow_midi_port"), follow_midi_port).toString();
    follow_ltc_device =
        store->value(QStringLiteral("follow_ltc_device"), follow_ltc_device).toString();
    follow_freewheel_frames = boundedFrames(
        store->value(QStringLiteral("follow_freewheel_frames"), follow_freewheel_frames)
            .toLongLong(),
        follow_freewheel_frames);
    follow_run_on = readSwitch(*store, QStringLiteral("follow_run_on"), follow_run_on);
    standby_enabled = readSwitch(*store, QStringLiteral("standby_enabled"), standby_enabled);
    standby_takeover_frames = boundedFrames(
        store->value(QStringLiteral("standby_takeover_frames"), standby_takeover_frames)
            .toLongLong(),
        standby_takeover_frames);
    if (standby_takeover_frames < 1)
        standby_takeover_frames = SettingStruct().standby_takeover_frames;

    osc_enabled = readSwitch(*store, QStringLiteral("osc_enabled"), osc_enabled);
    osc_port = readPort(*store, QStringLiteral("osc_port"), osc_port);
    web_enabled = readSwitch(*store, QStringLiteral("web_enabled"), web_enabled);
    web_port = readPort(*store, QStringLiteral("web_port"), web_port);
    web_token = store->value(QStringLiteral("web_token"), web_token).toString().trimmed();
}

QString SettingStruct::followInputName(const QString &stored)
{
    const QString name = stored.trimmed().toLower();
    if (name == QLatin1String("mtc") || name == QLatin1String("ltc"))
        return name;
    return QStringLiteral("artnet");
}

qint32 SettingStruct::boundedFrames(qint64 stored, qint32 fallback)
{
    // An hour of 30 fps frames is more than any show waits for.
    return stored >= 0 && stored <= 108000 ? qint32(stored) : fallback;
}

bool SettingStruct::followAtDefaults() const
{
    const SettingStruct d;
    return follow_input == d.follow_input && follow_artnet_source == d.follow_artnet_source &&
           follow_midi_port == d.follow_midi_port && follow_ltc_device == d.follow_ltc_device &&
           follow_freewheel_frames == d.follow_freewheel_frames &&
           follow_run_on == d.follow_run_on && standby_enabled == d.standby_enabled &&
           standby_takeover_frames == d.standby_takeover_frames;
}

void SettingStruct::saveToStore() const
{
    const auto store = SettingsStore::open();
    for (int i = 0; i < PlaceCount; ++i) {
        for (const PlaceKey &key : placeKeys)
            store->setValue(placeKey(key, i), QVariant(int(places[i].*key.field)));
    }
    store->setValue(QStringLiteral("dmx_in_enabled"), dmx_in_enabled ? 1 : 0);
    store->setValue(QStringLiteral("dmx_in_universe"), dmx_in_universe);
    store->setValue(QStringLiteral("artnet_protocol_on"), artnet_protocol_on ? 1 : 0);
    store->setValue(QStringLiteral("artnet_interface_name"), artnet_interface_name);
    store->setValue(QStringLiteral("midi_protocol_on"), midi_protocol_on ? 1 : 0);
    store->setValue(QStringLiteral("midi_interface_name"), midi_interface_name);
    store->setValue(QStringLiteral("midi_timecode_type"), uint(midi_timecode_type));
    store->setValue(QStringLiteral("ltc_protocol_on"), ltc_protocol_on ? 1 : 0);
    store->setValue(QStringLiteral("ltc_device"), ltc_device);
    store->setValue(QStringLiteral("ltc_level"), ltc_level);
    store->setValue(QStringLiteral("true_drop_frame"), true_drop_frame ? 1 : 0);
    store->setValue(QStringLiteral("artnet_broadcast"), artnet_broadcast ? 1 : 0);
    store->setValue(QStringLiteral("artnet_unicast"), artnet_unicast);
    store->setValue(QStringLiteral("artnet_stream_id"), int(artnet_stream_id));
    store->setValue(QStringLiteral("artnet_offset"), artnet_offset);
    store->setValue(QStringLiteral("midi_offset"), midi_offset);
    store->setValue(QStringLiteral("ltc_offset"), ltc_offset);
    store->setValue(QStringLiteral("ltc_userbits"), ltc_userbits);
    store->setValue(QStringLiteral("follow_input"), follow_input);
    store->setValue(QStringLiteral("follow_artnet_source"), follow_artnet_source);
    store->setValue(QStringLiteral("follow_midi_port"), follow_midi_port);
    store->setValue(QStringLiteral("follow_ltc_device"), follow_ltc_device);
    store->setValue(QStringLiteral("follow_freewheel_frames"), follow_freewheel_frames);
    store->setValue(QStringLiteral("follow_run_on"), follow_run_on ? 1 : 0);
    store->setValue(QStringLiteral("standby_enabled"), standby_enabled ? 1 : 0);
    store->setValue(QStringLiteral("standby_takeover_frames"), standby_takeover_frames);
    store->setValue(QStringLiteral("osc_enabled"), osc_enabled ? 1 : 0);
    store->setValue(QStringLiteral("osc_port"), int(osc_port));
    store->setValue(QStringLiteral("web_enabled"), web_enabled ? 1 : 0);
    store->setValue(QStringLiteral("web_port"), int(web_port));
    store->setValue(QStringLiteral("web_token"), web_token);
    SettingsStore::commit(*store);
}

void SettingStruct::eraseStore()
{
    const auto store = SettingsStore::open();
    store->remove(QString());
    SettingsStore::commit(*store);
}
