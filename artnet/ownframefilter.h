#pragma once

#include "artnetinterface.h"

#include <QList>

// A classic BPF socket filter on the node's Art-Net socket: the ArtTimeCode
// the node broadcasts comes back to its own socket on every adapter, once per
// frame each, and would wake the node's thread only to be thrown away. The
// kernel drops an ArtTimeCode whose source is port 6454 on one of the node's
// own addresses; everything else (another node's timecode, a poll from a
// console on this same computer) still arrives.
namespace OwnFrameFilter
{
// Attaches the filter for these addresses to the socket, replacing the one
// before. False when the system refused it (the node then works unfiltered).
bool attach(qintptr socket, const QList<AddressEntry> &ownAddresses);
} // namespace OwnFrameFilter
