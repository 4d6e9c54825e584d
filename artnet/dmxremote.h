#pragma once

#include <QMetaType>
#include <QtGlobal>

#include <array>

class artnet;

// What one remote channel asks for. Channels 1..19 in order; the two spare
// channels are held like the others but do nothing.
enum class DmxRemoteAction : quint8 {
    None,
    Frame24,
    Frame25,
    Frame30Drop,
    Frame30,
    TimeReset,
    Freeze,
    PlayPause,
    SystemTime,
    Place1, // Place1 + n is place n + 1, up to place 9
    Place9 = Place1 + 8,
};
Q_DECLARE_METATYPE(DmxRemoteAction)

// The DMX remote control: turns the first 19 channels of the remote
// universe into at most one action per check. Only the lowest channel that
// is on counts; a channel acts on its rising edge and is held until a scan
// sees it off, so a fader left up does not repeat its action every frame.
class DmxRemote
{
public:
    static constexpr int Channels = 19;
    static constexpr quint8 OnThreshold = 128;

    // Reads the node's latest frame into a buffer of its own (nothing is
    // allocated per frame) and scans it. No node, no new frame or an empty
    // one: nothing changes.
    DmxRemoteAction check(artnet *node);
    // Scans `length` delivered channel values, channel 1 first.
    DmxRemoteAction scan(const quint8 *values, int length);

    // The 0-based channel last acted on and not seen off since, or -1.
    int heldChannel() const { return m_held; }

    static DmxRemoteAction actionOfChannel(int index);
    // The place number of the calculator (-3 system time, 0..8 places 1..9)
    // for a place action, else -100.
    static int placeNumber(DmxRemoteAction action);

private:
    std::array<quint8, Channels> m_buffer{};
    int m_held = -1;
};
