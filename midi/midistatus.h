#pragma once

#include <QMetaType>
#include <QStringList>

// What the MIDI output can tell the operator, reported whenever it changes.
struct MidiStatus {
    // The MIDI system offers no output port at all (or is not running).
    bool noPorts = true;
    // The ports codes go to: the selected one, or every port.
    QStringList ports;
    // Ports among those that could not be opened; tried again at each rescan.
    QStringList failed;
    // Open ports among those that refused the last message sent to them.
    QStringList rejecting;
    quint32 type = 0;

    // Some port codes go to is there and did not refuse to open.
    bool canSend() const { return ports.size() > failed.size(); }

    bool operator==(const MidiStatus &o) const
    {
        return noPorts == o.noPorts && ports == o.ports && failed == o.failed &&
               rejecting == o.rejecting && type == o.type;
    }
    bool operator!=(const MidiStatus &o) const { return !(*this == o); }
};
Q_DECLARE_METATYPE(MidiStatus)
