#pragma once

#include "playlist.h"
#include "settingstruct.h"

#include <QStringList>

// Record and playlist as one line: the places that differ from the default,
// then DMX, protocols, interfaces, MIDI type, playlist flag and entries.
inline QString summary(const SettingStruct &r, Playlist &p)
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
        parts << QString::asprintf("lt=%d/%g/%s", r.ltc_protocol_on, r.ltc_level,
                                   qPrintable(r.ltc_device));
    if (r.osc_enabled || r.osc_port != 9000 || r.web_enabled || r.web_port != 8080 ||
        !r.web_token.isEmpty())
        parts << QString::asprintf("rm=%d/%d/%d/%d/%s", r.osc_enabled, r.osc_port, r.web_enabled,
                                   r.web_port, qPrintable(r.web_token));
    if (r.artnet_interface_name != QLatin1String("255.255.255.255") ||
        r.midi_interface_name != QLatin1String("all") || r.midi_timecode_type != 0)
        parts << QString::asprintf("if=%s,%s,%u", qPrintable(r.artnet_interface_name),
                                   qPrintable(r.midi_interface_name), r.midi_timecode_type);
    if (r.true_drop_frame || !r.artnet_broadcast || !r.artnet_unicast.isEmpty() ||
        r.artnet_stream_id || r.artnet_offset || r.midi_offset || r.ltc_offset ||
        !r.ltc_userbits.isEmpty())
        parts << QString::asprintf("wire=%d/%d/[%s]/%d/%d,%d,%d/%s", r.true_drop_frame,
                                   r.artnet_broadcast, qPrintable(r.artnet_unicast),
                                   r.artnet_stream_id, r.artnet_offset, r.midi_offset, r.ltc_offset,
                                   qPrintable(r.ltc_userbits));
    if (!r.followAtDefaults())
        parts << QString::asprintf("fo=%s,%s,%s,%s,%d/%d,%d/%d", qPrintable(r.follow_input),
                                   qPrintable(r.follow_artnet_source),
                                   qPrintable(r.follow_midi_port), qPrintable(r.follow_ltc_device),
                                   r.follow_freewheel_frames, r.follow_run_on, r.standby_enabled,
                                   r.standby_takeover_frames);
    parts << QStringLiteral("pl=%1").arg(int(p.enabled.load()));
    for (int i = 0; i < p.itemCount(); ++i) {
        const PlaylistTime e = p.itemAt(i).entry;
        parts << QString::asprintf("[%d %d %d %d %d %d %d]", e.place, e.year, e.month, e.day,
                                   e.weekday, e.hour, e.minute);
    }
    return parts.join(QLatin1Char(' '));
}

// Every field away from its default, a playlist with each kind of place.
inline void fillShow(SettingStruct &r, Playlist &p)
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
    r.artnet_stream_id = 200;
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
    r.web_enabled = true;
    r.web_port = 80;
    r.web_token = QStringLiteral("a&<\"b");
    p.enabled = true;
    p.appendItem({3, 0xFFFF, 0xFF, 0xFF, 0, 19, 30});
    p.appendItem({0xFD, 0xFFFF, 0xFF, 0xFF, 0xFF, 0, 0});
    p.appendItem({0xFE, 2027, 3, 6, 0xFF, 23, 59});
    p.appendItem(PlaylistTime());
}
