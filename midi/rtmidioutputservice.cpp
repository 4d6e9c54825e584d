#include "rtmidioutputservice.h"

#include "quietsearch.h"
#include "rtmidiapis.h"

#include <QMutexLocker>
#include <RtMidi.h>
#include <pthread.h>
#include <sched.h>
#include <tuple>
#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

#ifdef __UNIX_JACK__
#include <jack/jack.h>
#endif

using namespace MidiResult;

namespace
{

// Collects what RtMidi reports through its error callback during one call.
// With a callback set RtMidi reports even fatal errors there instead of
// throwing, so each call is judged by what it left here.
struct ErrorSink {
    bool failed = false;
    RtMidiError::Type type = RtMidiError::UNSPECIFIED;

    static void callback(RtMidiError::Type type, const std::string &, void *user)
    {
        auto *sink = static_cast<ErrorSink *>(user);
        sink->failed = true;
        sink->type = type;
    }
};

int resultOf(RtMidiError::Type type)
{
    switch (type) {
    case RtMidiError::MEMORY_ERROR:
        return MMSYSERR_NOMEM;
    case RtMidiError::INVALID_PARAMETER:
    case RtMidiError::INVALID_DEVICE:
        return MMSYSERR_INVALPARAM;
    default:
        // Warnings included: ALSA reports a message it could not queue as one.
        return MIDIERR_NOTREADY;
    }
}

bool validHeader(const MidiOutHeader *header)
{
    return header && header->data && header->bufferLength > 0 && header->bytesRecorded > 0 &&
           header->bytesRecorded <= header->bufferLength;
}

} // namespace

struct RtMidiOutputService::Port {
    std::unique_ptr<RtMidiOut> out;
    ErrorSink sink;
    int serversGone = 0;
};

namespace
{
// An output whose JACK server died is let go, not destroyed: closing its
// client would touch the dead server. The leak checker of a sanitizer build
// is told so, as it cannot know.
void letGo(std::unique_ptr<RtMidiOut> &out)
{
#ifdef __SANITIZE_ADDRESS__
    __lsan_ignore_object(out.get());
#endif
    (void)out.release();
}
} // namespace

RtMidiOutputService::RtMidiOutputService() = default;

RtMidiOutputService::~RtMidiOutputService()
{
    if (m_searcher.joinable())
        m_searcher.join();
    QMutexLocker lock(&m_lock);
    for (auto &entry : m_ports)
        if (lost(*entry.second))
            letGo(entry.second->out);
#ifdef __UNIX_JACK__
    if (m_watch && m_watchedAt == m_serversGone)
        jack_client_close(static_cast<jack_client_t *>(m_watch));
#endif
}

void RtMidiOutputService::jackServerGone(void *service)
{
    // Called on JACK's own thread; only the count is touched here.
    ++static_cast<RtMidiOutputService *>(service)->m_serversGone;
}

void RtMidiOutputService::watchJackServer()
{
#ifdef __UNIX_JACK__
    if (m_api != RtMidi::UNIX_JACK || (m_watch && m_watchedAt == m_serversGone))
        return;
    // A watcher of a server that has gone is as dead as its ports: left alone.
    const QuietSearch quiet;
    jack_status_t status;
    auto *client = jack_client_open("Orvello watch", JackNoStartServer, &status);
    if (!client)
        return;
    m_watchedAt = m_serversGone;
    jack_on_shutdown(client, &RtMidiOutputService::jackServerGone, this);
    m_watch = client;
#endif
}

bool RtMidiOutputService::lost(const Port &port) const
{
    return port.serversGone != m_serversGone;
}

void RtMidiOutputService::discover()
{
    if (m_discovered)
        return;
    m_discovered = true;
    std::tie(m_api, m_names) = search();
}

std::pair<int, std::vector<std::string>> RtMidiOutputService::search()
{
    const QuietSearch quiet;
    for (RtMidi::Api api : presentMidiApis()) {
        try {
            RtMidiOut out(api, ClientName);
            ErrorSink sink;
            out.setErrorCallback(&ErrorSink::callback, &sink);
            const unsigned int count = out.getPortCount();
            if (sink.failed || count == 0)
                continue;
            std::vector<std::string> names;
            for (unsigned int i = 0; i < count; ++i)
                names.push_back(out.getPortName(i));
            return {api, std::move(names)};
        } catch (const RtMidiError &) {
            // This API cannot start here (ALSA without a sequencer); try the next.
        } catch (const std::exception &) {
        }
    }
    return {0, {}};
}

void RtMidiOutputService::startSearch()
{
    m_searchDone.store(false);
    m_searcher = std::thread([this] {
        // Not in the real-time class of the thread that started it.
        const sched_param normal{};
        pthread_setschedparam(pthread_self(), SCHED_OTHER, &normal);
        m_found = search();
        m_searchDone.store(true, std::memory_order_release);
    });
}

bool RtMidiOutputService::rescan()
{
    if (!m_searcher.joinable()) {
        startSearch();
        return false;
    }
    // Still searching: nothing new yet; the next rescan asks again.
    if (!m_searchDone.load(std::memory_order_acquire))
        return false;
    m_searcher.join();
    auto found = std::move(m_found);
    startSearch();
    QMutexLocker lock(&m_lock);
    const bool changed = !m_discovered || found.first != m_api || found.second != m_names;
    m_discovered = true;
    std::tie(m_api, m_names) = std::move(found);
    return changed;
}

quint32 RtMidiOutputService::deviceCount()
{
    QMutexLocker lock(&m_lock);
    discover();
    return quint32(m_names.size());
}

int RtMidiOutputService::deviceName(quint32 index, QString *name)
{
    QMutexLocker lock(&m_lock);
    discover();
    if (!name)
        return MMSYSERR_INVALPARAM;
    if (index >= m_names.size())
        return MMSYSERR_BADDEVICEID;
    *name = QString::fromStdString(m_names[index]);
    return MMSYSERR_NOERROR;
}

int RtMidiOutputService::open(MidiOutHandle *handle, quint32 index)
{
    QMutexLocker lock(&m_lock);
    discover();
    if (!handle)
        return MMSYSERR_INVALPARAM;
    *handle = 0;
    if (index >= m_names.size())
        return MMSYSERR_BADDEVICEID;

    // Watching starts before the port exists, so no shutdown goes unseen.
    watchJackServer();
    const int generation = m_serversGone;
    auto port = std::make_unique<Port>();
    try {
        port->out = std::make_unique<RtMidiOut>(RtMidi::Api(m_api), ClientName);
        port->out->setErrorCallback(&ErrorSink::callback, &port->sink);
        // Ports may have come or gone since the list was read; the name is
        // what the operator chose, so it wins over the position.
        const std::string &wanted = m_names[index];
        const unsigned int count = port->out->getPortCount();
        unsigned int target = index;
        if (target >= count || port->out->getPortName(target) != wanted) {
            target = count;
            for (unsigned int i = 0; i < count; ++i) {
                if (port->out->getPortName(i) == wanted) {
                    target = i;
                    break;
                }
            }
            if (target == count)
                return MMSYSERR_BADDEVICEID;
        }
        port->sink = ErrorSink();
        port->out->openPort(target, PortName);
        if (port->sink.failed)
            return resultOf(port->sink.type);
        if (!port->out->isPortOpen())
            return MMSYSERR_ERROR;
    } catch (const RtMidiError &error) {
        return resultOf(error.getType());
    } catch (const std::exception &) {
        return MMSYSERR_ERROR;
    }
    port->serversGone = generation;
    *handle = m_nextHandle++;
    m_ports[*handle] = std::move(port);
    return MMSYSERR_NOERROR;
}

RtMidiOutputService::Port *RtMidiOutputService::port(MidiOutHandle handle)
{
    const auto it = m_ports.find(handle);
    return it == m_ports.end() ? nullptr : it->second.get();
}

int RtMidiOutputService::reset(MidiOutHandle handle)
{
    QMutexLocker lock(&m_lock);
    // RtMidi sends synchronously, so no long message is ever left to hand back,
    // and nothing is written: All-Notes-Off on every channel per frame would
    // flood a 31.25 kbaud line.
    return port(handle) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

int RtMidiOutputService::shortMessageLength(quint8 status)
{
    if (status < 0x80)
        return 0; // running status is not offered
    if (status < 0xC0)
        return 3; // note off/on, poly pressure, control change
    if (status < 0xE0)
        return 2; // program change, channel pressure
    if (status < 0xF0)
        return 3; // pitch bend
    switch (status) {
    case 0xF1: // MTC quarter frame
    case 0xF3: // song select
        return 2;
    case 0xF2: // song position
        return 3;
    case 0xF0: // System Exclusive goes as a long message
    case 0xF7:
        return 0;
    default:
        return 1;
    }
}

int RtMidiOutputService::send(Port &port, const quint8 *bytes, size_t size)
{
    if (lost(port))
        return MIDIERR_NOTREADY;
    port.sink = ErrorSink();
    try {
        port.out->sendMessage(bytes, size);
    } catch (const RtMidiError &error) {
        return resultOf(error.getType());
    } catch (const std::exception &) {
        return MIDIERR_NOTREADY;
    }
    return port.sink.failed ? resultOf(port.sink.type) : MMSYSERR_NOERROR;
}

int RtMidiOutputService::shortMessage(MidiOutHandle handle, quint32 message)
{
    QMutexLocker lock(&m_lock);
    Port *p = port(handle);
    if (!p)
        return MMSYSERR_INVALHANDLE;
    const quint8 bytes[3] = {quint8(message), quint8(message >> 8), quint8(message >> 16)};
    const int length = shortMessageLength(bytes[0]);
    if (length == 0)
        return MMSYSERR_INVALPARAM;
    return send(*p, bytes, size_t(length));
}

int RtMidiOutputService::prepareHeader(MidiOutHandle handle, MidiOutHeader *header)
{
    QMutexLocker lock(&m_lock);
    if (!port(handle))
        return MMSYSERR_INVALHANDLE;
    if (!validHeader(header))
        return MMSYSERR_INVALPARAM;
    header->flags = (header->flags | MidiOutHeader::Prepared) & ~quint32(MidiOutHeader::Done);
    return MMSYSERR_NOERROR;
}

int RtMidiOutputService::longMessage(MidiOutHandle handle, MidiOutHeader *header)
{
    QMutexLocker lock(&m_lock);
    Port *p = port(handle);
    if (!p)
        return MMSYSERR_INVALHANDLE;
    if (!validHeader(header))
        return MMSYSERR_INVALPARAM;
    if (!(header->flags & MidiOutHeader::Prepared))
        return MIDIERR_UNPREPARED;
    const int result = send(*p, header->data, header->bytesRecorded);
    // RtMidi has copied the bytes before returning: the header is never queued.
    header->flags |= MidiOutHeader::Done;
    return result;
}

int RtMidiOutputService::unprepareHeader(MidiOutHandle handle, MidiOutHeader *header)
{
    QMutexLocker lock(&m_lock);
    if (!port(handle))
        return MMSYSERR_INVALHANDLE;
    if (!header)
        return MMSYSERR_INVALPARAM;
    header->flags &= ~quint32(MidiOutHeader::Prepared);
    return MMSYSERR_NOERROR;
}

int RtMidiOutputService::close(MidiOutHandle handle)
{
    QMutexLocker lock(&m_lock);
    // RtMidiOut closes its port and its client when destroyed.
    const auto it = m_ports.find(handle);
    if (it == m_ports.end())
        return MMSYSERR_INVALHANDLE;
    if (lost(*it->second))
        letGo(it->second->out);
    m_ports.erase(it);
    return MMSYSERR_NOERROR;
}
