#pragma once

#include <RtMidi.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// The MIDI inputs an output port of ours could be connected to, named and
// numbered as RtMidi numbers them, found through one client per MIDI system
// that is kept open from one search to the next. A client opened and closed
// for every search (every two seconds) made the JACK server rework its graph
// each time, and every JACK client, our own MTC port's among them, paid for
// that in its process cycle. A system that is not there costs a failed open
// per search and nothing else.
class MidiPortDirectory
{
public:
    MidiPortDirectory() = default;
    ~MidiPortDirectory();
    MidiPortDirectory(const MidiPortDirectory &) = delete;
    MidiPortDirectory &operator=(const MidiPortDirectory &) = delete;

    // The first system, in RtMidi's order, that offers ports, with their
    // names; 0 and none if none does. Safe to call from several threads.
    std::pair<int, std::vector<std::string>> search();

private:
    std::vector<std::string> alsaPorts();
    std::vector<std::string> jackPorts();
    static void jackServerGone(void *directory);

    std::mutex m_lock;
    std::unique_ptr<RtMidiOut> m_alsa; // RtMidi's own listing on a kept sequencer client
    bool m_alsaFailed = false;         // set by RtMidi's error callback during a listing
    void *m_jack = nullptr;            // jack_client_t, never activated: it only reads the graph
    std::atomic<bool> m_jackGone{false};
};
