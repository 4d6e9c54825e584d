#pragma once

#include <sstream>
#include <streambuf>

// While looking for a MIDI or audio system, one that is not there is the
// expected case, not news for the console: RtMidi and RtAudio write their
// reasons to std::cerr, and the ALSA and JACK libraries print theirs on
// standard error. All of them are muted while an object of this class lives
// and restored to their defaults afterwards.
class QuietSearch
{
public:
    QuietSearch();
    ~QuietSearch();
    QuietSearch(const QuietSearch &) = delete;
    QuietSearch &operator=(const QuietSearch &) = delete;

private:
    std::ostringstream m_sink;
    std::streambuf *m_previous;
};
