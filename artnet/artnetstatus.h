#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

// What the Art-Net node can tell the operator about its output, reported to
// the window (or a console) whenever it changes.
struct ArtnetStatus {
    bool bound = false;
    // The last attempt to bind port 6454 failed; it is tried again each second.
    bool portBusy = false;
    // No usable network: codes only go to the loopback fallback.
    bool loopbackOnly = false;
    // Broadcast addresses the next code goes to.
    QStringList destinations;
    quint64 framesSent = 0;
    // Address of another program sending ArtTimeCode on our networks, empty when none.
    QString otherSource;

    bool operator==(const ArtnetStatus &o) const
    {
        return bound == o.bound && portBusy == o.portBusy && loopbackOnly == o.loopbackOnly &&
               destinations == o.destinations && framesSent == o.framesSent &&
               otherSource == o.otherSource;
    }
    bool operator!=(const ArtnetStatus &o) const { return !(*this == o); }
};
Q_DECLARE_METATYPE(ArtnetStatus)
