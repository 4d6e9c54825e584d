#include "dmxremote.h"

#include "artnet.h"

DmxRemoteAction DmxRemote::check(artnet *node)
{
    if (!node)
        return DmxRemoteAction::None;
    m_buffer.fill(0);
    quint16 length = Channels;
    if (!node->readDmxIn(m_buffer.data(), length) || length == 0)
        return DmxRemoteAction::None;
    return scan(m_buffer.data(), length);
}

DmxRemoteAction DmxRemote::scan(const quint8 *values, int length)
{
    if (!values)
        return DmxRemoteAction::None;
    int on = -1;
    for (int i = 0; i < length && i < Channels; ++i) {
        if (values[i] >= OnThreshold) {
            on = i;
            break;
        }
        if (i == m_held)
            m_held = -1;
    }
    if (on < 0 || on == m_held)
        return DmxRemoteAction::None;
    m_held = on;
    return actionOfChannel(on);
}

DmxRemoteAction DmxRemote::actionOfChannel(int index)
{
    static constexpr DmxRemoteAction Fixed[] = {
        DmxRemoteAction::Frame24,   DmxRemoteAction::Frame25,   DmxRemoteAction::Frame30Drop,
        DmxRemoteAction::Frame30,   DmxRemoteAction::None,      DmxRemoteAction::TimeReset,
        DmxRemoteAction::Freeze,    DmxRemoteAction::PlayPause, DmxRemoteAction::None,
        DmxRemoteAction::SystemTime};
    constexpr int FixedCount = int(sizeof Fixed / sizeof Fixed[0]);
    if (index >= 0 && index < FixedCount)
        return Fixed[index];
    if (index >= FixedCount && index < Channels)
        return DmxRemoteAction(int(DmxRemoteAction::Place1) + index - FixedCount);
    return DmxRemoteAction::None;
}

int DmxRemote::placeNumber(DmxRemoteAction action)
{
    if (action == DmxRemoteAction::SystemTime)
        return -3;
    if (action >= DmxRemoteAction::Place1 && action <= DmxRemoteAction::Place9)
        return int(action) - int(DmxRemoteAction::Place1);
    return -100;
}
