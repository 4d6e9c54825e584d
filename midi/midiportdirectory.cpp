#include "midiportdirectory.h"

#include "rtmidiapis.h"

#ifdef __UNIX_JACK__
#include <jack/jack.h>
#endif

MidiPortDirectory::~MidiPortDirectory()
{
#ifdef __UNIX_JACK__
    // A client whose server went away is left alone: closing it would touch
    // the dead server.
    if (m_jack && !m_jackGone.load())
        jack_client_close(static_cast<jack_client_t *>(m_jack));
#endif
}

std::pair<int, std::vector<std::string>> MidiPortDirectory::search()
{
    const std::lock_guard<std::mutex> lock(m_lock);
    std::vector<RtMidi::Api> compiled;
    RtMidi::getCompiledApi(compiled);
    for (RtMidi::Api api : compiled) {
        std::vector<std::string> names;
        if (api == RtMidi::LINUX_ALSA)
            names = alsaPorts();
        else if (api == RtMidi::UNIX_JACK)
            names = jackPorts();
        if (!names.empty())
            return {api, std::move(names)};
    }
    return {0, {}};
}

namespace
{
// RtMidi reports a port it could not read through this (instead of printing
// a warning); the listing it spoiled is not used.
void noteFailure(RtMidiError::Type, const std::string &, void *failed)
{
    *static_cast<bool *>(failed) = true;
}
} // namespace

std::vector<std::string> MidiPortDirectory::alsaPorts()
{
    std::vector<std::string> names;
    m_alsaFailed = false;
    try {
        // RtMidi's ALSA side writes to std::cerr before it throws when there
        // is no sequencer, so it is built only once one is there.
        if (!m_alsa && midiSystemPresent(RtMidi::LINUX_ALSA)) {
            m_alsa = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, "Orvello ports");
            m_alsa->setErrorCallback(&noteFailure, &m_alsaFailed);
        }
        if (!m_alsa)
            return names;
        const unsigned int count = m_alsa->getPortCount();
        for (unsigned int i = 0; i < count; ++i)
            names.push_back(m_alsa->getPortName(i));
    } catch (const std::exception &) {
        m_alsaFailed = true;
    }
    if (m_alsaFailed) {
        // A new client next time, in case the sequencer went away under this one.
        m_alsa.reset();
        names.clear();
    }
    return names;
}

void MidiPortDirectory::jackServerGone(void *directory)
{
    // Called on JACK's own thread; only the flag is touched here.
    static_cast<MidiPortDirectory *>(directory)->m_jackGone.store(true);
}

std::vector<std::string> MidiPortDirectory::jackPorts()
{
    std::vector<std::string> names;
#ifdef __UNIX_JACK__
    if (m_jack && m_jackGone.load())
        m_jack = nullptr; // left to the end of the process, like its server's ports
    if (!m_jack) {
        jack_status_t status;
        auto *client = jack_client_open("Orvello ports", JackNoStartServer, &status);
        if (!client)
            return names;
        m_jackGone.store(false);
        jack_on_shutdown(client, &MidiPortDirectory::jackServerGone, this);
        m_jack = client;
    }
    // The inputs RtMidi's JACK output offers, in its order: every MIDI port
    // that takes data in.
    const char **ports = jack_get_ports(static_cast<jack_client_t *>(m_jack), nullptr,
                                        JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
    if (!ports)
        return names;
    for (const char **port = ports; *port; ++port)
        names.emplace_back(*port);
    jack_free(ports);
#endif
    return names;
}
