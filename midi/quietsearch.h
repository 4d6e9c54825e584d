#pragma once

// While looking for a MIDI or audio system, one that is not there is the
// expected case, not news for the console. The ALSA and JACK libraries print
// their reasons through handlers of their own; those are muted while any
// object of this class lives, however many threads search at once, and set
// back when the last one goes.
//
// The standard streams are never touched: redirecting std::cerr is not safe
// while another thread searches, and RtAudio writes to it from JACK's own
// thread whenever a server goes away. What RtMidi and RtAudio would print
// there is kept from them instead (their warnings switched off, their errors
// taken by callbacks, and RtMidi's ALSA side not tried without a sequencer).
class QuietSearch
{
public:
    QuietSearch();
    ~QuietSearch();
    QuietSearch(const QuietSearch &) = delete;
    QuietSearch &operator=(const QuietSearch &) = delete;
};
