#pragma once

#include <QNetworkInterface>
#include <QtTest>

// Tests that build the main window or start the program open the Art-Net
// socket and may broadcast. They run only where loopback is the sole
// interface: the private network namespace that scripts/test creates.
namespace PrivateNetwork
{
inline bool onlyLoopback()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &i : interfaces)
        if (!(i.flags() & QNetworkInterface::IsLoopBack))
            return false;
    return true;
}
} // namespace PrivateNetwork

#define REQUIRE_PRIVATE_NETWORK()                                                                  \
    do {                                                                                           \
        if (!PrivateNetwork::onlyLoopback())                                                       \
            QSKIP("needs a private network namespace with loopback only: run it by scripts/test"); \
    } while (false)
