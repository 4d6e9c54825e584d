#pragma once
// Adapters of a machine a test makes up, as the platform would list them.

#include "artnetinterface.h"

inline AddressEntry fakeInterface(const char *ip, const char *broadcast, const char *name = "eth",
                                  const char *mask = "255.255.255.0",
                                  const char *hardware = "02:00:00:00:00:01")
{
    AddressEntry e{{}, QLatin1String(hardware), QLatin1String(name)};
    e.entry.setIp(QHostAddress(QLatin1String(ip)));
    e.entry.setNetmask(QHostAddress(QLatin1String(mask)));
    e.entry.setBroadcast(QHostAddress(QLatin1String(broadcast)));
    return e;
}
