#include "transportwords.h"

#include "timecode.h"

namespace TransportWords
{
QString state(bool paused, bool frozen)
{
    if (frozen)
        return QStringLiteral("frozen");
    return paused ? QStringLiteral("paused") : QStringLiteral("running");
}

QString source(int place)
{
    if (place == Place::SystemTime)
        return QStringLiteral("system time");
    if (place == Place::Follow)
        return QStringLiteral("follow");
    if (Place::isStoredPlace(place))
        return QStringLiteral("place %1").arg(place + 1);
    return QStringLiteral("no place");
}

QString format(int format, bool trueDropFrame)
{
    switch (format) {
    case Frame25:
        return QStringLiteral("25 fps");
    case Frame30Drop:
        return trueDropFrame ? QStringLiteral("30 drop at 29.97 fps") : QStringLiteral("30 drop");
    case Frame30:
        return QStringLiteral("30 fps");
    default:
        return QStringLiteral("24 fps");
    }
}
} // namespace TransportWords
