#pragma once

#include "midioutputservice.h"

#include <QMutex>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class RtMidiOut;

// The MIDI output service on RtMidi. RtMidi's default API choice on Linux is
// ALSA, which throws when there is no sequencer device even while JACK runs,
// and it does not fall back; so every compiled API is tried in turn and the
// first that starts and offers ports is used. With no MIDI system at all the
// port list is empty. RtMidi reports failures by exception or through its
// error callback; both end here and come out as result codes.
class RtMidiOutputService : public MidiOutputService
{
public:
    // Name of this program's client on the MIDI system; each opened port gets
    // a client of its own (JACK makes the names unique) with one output port.
    static constexpr const char *ClientName = "Orvello";
    static constexpr const char *PortName = "MTC out";

    RtMidiOutputService();
    ~RtMidiOutputService() override;

    quint32 deviceCount() override;
    int deviceName(quint32 index, QString *name) override;
    int open(MidiOutHandle *handle, quint32 index) override;
    int reset(MidiOutHandle handle) override;
    int shortMessage(MidiOutHandle handle, quint32 message) override;
    int prepareHeader(MidiOutHandle handle, MidiOutHeader *header) override;
    int longMessage(MidiOutHandle handle, MidiOutHeader *header) override;
    int unprepareHeader(MidiOutHandle handle, MidiOutHeader *header) override;
    int close(MidiOutHandle handle) override;
    bool rescan() override;

    // Number of bytes of a message by its status byte; 0 for a data byte.
    static int shortMessageLength(quint8 status);

private:
    struct Port;
    void discover();
    // The first API that starts and offers ports, with their names; 0 and none if none does.
    static std::pair<int, std::vector<std::string>> search();
    Port *port(MidiOutHandle handle);
    int send(Port &port, const quint8 *bytes, size_t size);

    QMutex m_lock;
    bool m_discovered = false;
    int m_api = 0; // RtMidi::Api of the ports below
    std::vector<std::string> m_names;
    std::map<MidiOutHandle, std::unique_ptr<Port>> m_ports;
    MidiOutHandle m_nextHandle = 1;
};
