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

void SettingStruct::loadFromStore()
{
    const auto store = SettingsStore::open();
    for (int i = 0; i < PlaceCount; ++i) {
        for (const PlaceKey &key : placeKeys) {
            quint8 &field = places[i].*key.field;
            // No range check: the record keeps whatever byte the store gives.
            field = quint8(store->value(placeKey(key, i), QVariant(int(field))).toInt());
        }
    }
    dmx_in_enabled =
        store->value(QStringLiteral("dmx_in_enabled"), QVariant(int(dmx_in_enabled))).toInt();
    dmx_in_universe =
        store->value(QStringLiteral("dmx_in_universe"), QVariant(dmx_in_universe)).toInt();
    artnet_protocol_on =
        store->value(QStringLiteral("artnet_protocol_on"), QVariant(int(artnet_protocol_on)))
            .toInt();
    artnet_interface_name =
        store->value(QStringLiteral("artnet_interface_name"), QString()).toString();
    midi_protocol_on =
        store->value(QStringLiteral("midi_protocol_on"), QVariant(int(midi_protocol_on))).toInt();
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
}

void SettingStruct::eraseStore()
{
    SettingsStore::open()->remove(QString());
}
