#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

// One address the timecode goes to, and what became of the frames sent there.
struct ArtnetDestination {
    QString address;
    // Frames that left for this address.
    quint64 framesSent = 0;
    // errno of the sends that fail now, 0 while frames leave.
    int error = 0;

    bool operator==(const ArtnetDestination &o) const
    {
        return address == o.address && framesSent == o.framesSent && error == o.error;
    }
};

// What the Art-Net node can tell the operator about its output, reported to
// the window (or a console) whenever it changes.
struct ArtnetStatus {
    bool bound = false;
    // The last attempt to bind port 6454 failed; it is tried again each second.
    bool portBusy = false;
    // Another program listens on port 6454 as well: polls sent to this
    // computer may reach it instead of us.
    bool portShared = false;
    // No usable network: codes only go to the loopback fallback.
    bool loopbackOnly = false;
    // Where the next code goes, in order.
    QList<ArtnetDestination> destinations;
    // Address of another program sending ArtTimeCode on our networks, empty when none.
    QString otherSource;

    // The same status with every frame count 0: what changes beside the counting.
    ArtnetStatus withoutCounts() const
    {
        ArtnetStatus status = *this;
        for (ArtnetDestination &destination : status.destinations)
            destination.framesSent = 0;
        return status;
    }
    bool operator==(const ArtnetStatus &o) const
    {
        return bound == o.bound && portBusy == o.portBusy && portShared == o.portShared &&
               loopbackOnly == o.loopbackOnly && destinations == o.destinations &&
               otherSource == o.otherSource;
    }
    bool operator!=(const ArtnetStatus &o) const { return !(*this == o); }
};
Q_DECLARE_METATYPE(ArtnetStatus)
