#pragma once

#include "midioutputservice.h"

#include <QMutex>
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class RtMidiOut;

// The MIDI output service on RtMidi. RtMidi's default API choice on Linux is
// ALSA, which throws when there is no sequencer device even while JACK runs,
// and it does not fall back; so every compiled API is tried in turn and the
// first that starts and offers ports is used. With no MIDI system at all the
// port list is empty. RtMidi reports failures by exception or through its
// error callback; both end here and come out as result codes.
//
// A JACK server that stops takes its clients with it, and RtMidi's JACK port
// crashes when closed after that. So while ports are open on JACK a client of
// our own watches the server; ports opened before it went down are never
// touched again, and are left to the end of the process.
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
    void startSearch();
    Port *port(MidiOutHandle handle);
    int send(Port &port, const quint8 *bytes, size_t size);

    // Caller holds m_lock.
    void watchJackServer();
    bool lost(const Port &port) const;
    static void jackServerGone(void *service);

    QMutex m_lock;
    // Counts the JACK servers gone since start; a port remembers the count it was opened at.
    std::atomic<int> m_serversGone{0};
    void *m_watch = nullptr; // jack_client_t of the running server's watcher
    int m_watchedAt = -1;
    bool m_discovered = false;
    // The rescan's search runs on a thread of its own: opening a JACK client
    // to list the ports takes tens of milliseconds, which on the sending
    // thread would hold the quarter frames back. Each rescan takes the
    // result of the search the one before started, and starts the next.
    std::thread m_searcher;
    std::atomic<bool> m_searchDone{false};
    std::pair<int, std::vector<std::string>> m_found; // the searcher's, until m_searchDone
    int m_api = 0;                                    // RtMidi::Api of the ports below
    std::vector<std::string> m_names;
    std::map<MidiOutHandle, std::unique_ptr<Port>> m_ports;
    MidiOutHandle m_nextHandle = 1;
};
