#include "rtmidiapis.h"

#ifdef __LINUX_ALSA__
#include <alsa/asoundlib.h>
#endif
#ifdef __UNIX_JACK__
#include <jack/jack.h>
#endif

namespace
{
bool systemMissing(RtMidi::Api api)
{
    if (api == RtMidi::RTMIDI_DUMMY)
        return true;
#ifdef __LINUX_ALSA__
    if (api == RtMidi::LINUX_ALSA) {
        snd_seq_t *sequencer = nullptr;
        if (snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0)
            return true;
        snd_seq_close(sequencer);
    }
#endif
#ifdef __UNIX_JACK__
    if (api == RtMidi::UNIX_JACK) {
        jack_client_t *client = jack_client_open("Orvello probe", JackNoStartServer, nullptr);
        if (!client)
            return true;
        jack_client_close(client);
    }
#endif
    return false;
}
} // namespace

std::vector<RtMidi::Api> presentMidiApis()
{
    std::vector<RtMidi::Api> compiled, present;
    RtMidi::getCompiledApi(compiled);
    for (RtMidi::Api api : compiled)
        if (!systemMissing(api))
            present.push_back(api);
    return present;
}
