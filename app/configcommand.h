#pragma once

#include "commandlineoptions.h"

#include <cstdio>

// "--export FILE" and "--import FILE": the configuration file from a shell,
// for setting up many machines. No window, no socket, no MIDI port; silent on
// success, the warning box's text on `err` and status 1 on failure. A failed
// import leaves the store as it was.
namespace ConfigCommand
{
int run(const CommandLineOptions &options, FILE *err = stderr);
}
