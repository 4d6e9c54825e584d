#pragma once

#include <RtMidi.h>

#include <vector>

// The compiled MIDI systems that are there to be used, in RtMidi's order,
// for the MIDI output and the MIDI input alike. A system that is not there is
// left out before RtMidi is asked: RtMidi's ALSA side writes its reason to
// std::cerr before it throws, and its JACK side, while it has no server, asks
// for one again at every port query and each time creates a ring buffer it
// never frees (16 KiB lost per query, RtMidi 5). The probes open what RtMidi
// itself would open. Call it inside a QuietSearch.
std::vector<RtMidi::Api> presentMidiApis();
