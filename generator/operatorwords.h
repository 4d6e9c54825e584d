#pragma once

#include "transportstate.h"

#include <QString>

// The transport as the operator reads it, translated (context Orvello): the
// window beside its display and the fullscreen clock use the same words.
namespace OperatorWords
{
// "RUNNING", "PAUSED", "FROZEN"
QString state(const TransportState &transport);
// "System time", "Place 3  01:00:00 to 01:20:00", "Place 3  from 01:00:00"
// (no end code), "No place"
QString source(const TransportState &transport);
// "24 fps", "25 fps", "30 drop", "30 fps"
QString format(int format);
} // namespace OperatorWords
