#pragma once

#include "timecode.h"

#include <QString>

// The settings record the main window owns: the nine places and the DMX-in,
// Art-Net, MIDI and LTC settings. Index 0 of places is place 1.
struct SettingStruct {
    static constexpr int PlaceCount = 9;

    SettingStructItem places[PlaceCount];
    bool dmx_in_enabled = false;
    qint32 dmx_in_universe = 256;
    bool artnet_protocol_on = true;
    QString artnet_interface_name = QStringLiteral("255.255.255.255");
    bool midi_protocol_on = true;
    quint32 midi_timecode_type = 0;
    QString midi_interface_name = QStringLiteral("all");
    // Off by default: LTC is an audio signal, and an output that starts by
    // itself would play it into whatever speaker is the default.
    bool ltc_protocol_on = false;
    QString ltc_device;       // the output device's name; empty is the system default
    double ltc_level = -18.0; // peak level in dBFS

    // The remotes, both off by default: a show computer offers nothing on
    // the network until the operator asks for it. An empty token keeps the
    // web page on this computer (127.0.0.1) alone.
    bool osc_enabled = false;
    quint16 osc_port = 9000;
    bool web_enabled = false;
    quint16 web_port = 8080;
    QString web_token;

    void setDefaults();
    // Copies every field; a missing record on either side leaves the target as it is.
    void copyFrom(const SettingStruct *other);
    static void copy(const SettingStruct *from, SettingStruct *to);

    // Copies place `index` into `to`; an index outside 0..8 or a missing target
    // leaves the target unchanged.
    void copyPlace(int index, SettingStructItem *to) const;

    // The node's port-address for dmx_in_universe (universe - 1), computed
    // without overflow for any stored value; out-of-range values stay out of
    // range, for the node to refuse.
    quint32 dmxInPortAddress() const;

    // Missing keys keep the current value, except the two interface texts,
    // which become empty: the outputs then pick their own fallback. A store
    // that cannot be read or is malformed is reported and leaves the record
    // as it is (SettingsStore::openChecked).
    void loadFromStore();
    void saveToStore() const;
    // Removes every key of the application's scope, not only the record's.
    static void eraseStore();
};
