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
    // The 30 Drop format at 30000/1001 frames a second with drop-frame
    // labels; off, it runs at 30 and is only labelled drop-frame.
    bool true_drop_frame = false;
    bool artnet_broadcast = true;
    QString artnet_unicast; // IPv4 addresses separated by blanks
    quint8 artnet_stream_id = 0;
    // Frames each output runs ahead of (positive) or behind the generator.
    static constexpr int OffsetLimit = 30;
    qint32 artnet_offset = 0;
    qint32 midi_offset = 0;
    qint32 ltc_offset = 0;
    QString ltc_userbits; // empty, eight hexadecimal digits or "date"

    // Following another clock: which input ("artnet", "mtc" or "ltc"), the
    // only Art-Net sender followed (empty for any), the MIDI port (empty for
    // a port of our own) and the audio input (empty for the default).
    QString follow_input = QStringLiteral("artnet");
    QString follow_artnet_source;
    QString follow_midi_port;
    QString follow_ltc_device;
    // Frames counted on after the input stopped, then a pause or, run on, no end.
    qint32 follow_freewheel_frames = 25;
    bool follow_run_on = false;
    // A hot standby: silent on Art-Net until the primary's codes stop for
    // the takeover frames.
    bool standby_enabled = false;
    qint32 standby_takeover_frames = 3;

    // The follow settings as stored, whatever a hand edit made of them.
    static QString followInputName(const QString &stored);
    static qint32 boundedFrames(qint64 stored, qint32 fallback);
    bool followAtDefaults() const;

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
