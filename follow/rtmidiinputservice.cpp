#include "rtmidiinputservice.h"

#include "quietsearch.h"
#include "rtmidiapis.h"

#include <RtMidi.h>

#include <chrono>

#ifdef __UNIX_JACK__
#include <jack/jack.h>
#endif

namespace
{
void quietError(RtMidiError::Type, const std::string &, void *) {}
} // namespace

RtMidiInputService::RtMidiInputService() = default;

RtMidiInputService::~RtMidiInputService()
{
    close();
}

QStringList RtMidiInputService::portNames()
{
    const QuietSearch quiet;
    for (RtMidi::Api api : presentMidiApis()) {
        try {
            RtMidiIn in(api, ClientName);
            in.setErrorCallback(&quietError, nullptr);
            QStringList names;
            for (unsigned int i = 0; i < in.getPortCount(); ++i)
                names << QString::fromStdString(in.getPortName(i));
            if (!names.isEmpty())
                return names;
        } catch (const std::exception &) {
        }
    }
    return {};
}

int RtMidiInputService::open(const QString &port, Receiver receiver)
{
    close();
    const QuietSearch quiet;
    int result = InputResult::NoSystem;
    for (RtMidi::Api api : presentMidiApis()) {
        try {
            auto in = std::make_unique<RtMidiIn>(api, ClientName);
            in->setErrorCallback(&quietError, nullptr);
            result = std::max(result, InputResult::NoDevice);
            unsigned int index = 0;
            if (!port.isEmpty()) {
                const unsigned int count = in->getPortCount();
                while (index < count && in->getPortName(index) != port.toStdString())
                    ++index;
                if (index == count)
                    continue;
            }
            result = InputResult::OpenFailed;
            // Quarter frames and full frames are timing and System Exclusive
            // messages, which RtMidi drops unless asked not to.
            in->ignoreTypes(false, false, true);
            m_receiver = std::move(receiver);
            in->setCallback(&RtMidiInputService::callback, this);
            if (port.isEmpty())
                in->openVirtualPort(PortName);
            else
                in->openPort(index, PortName);
            if (!in->isPortOpen() && !port.isEmpty())
                throw RtMidiError("port not opened", RtMidiError::DRIVER_ERROR);
            m_api = api;
            m_in = std::move(in);
            m_description =
                QStringLiteral("%1, %2").arg(QString::fromStdString(RtMidi::getApiDisplayName(api)),
                                             port.isEmpty() ? QString::fromLatin1(PortName) : port);
            watch();
            return InputResult::Ok;
        } catch (const std::exception &) {
        }
        m_receiver = nullptr;
    }
    return result;
}

void RtMidiInputService::close()
{
    if (!m_in)
        return;
    if (m_serverGone)
        (void)m_in.release(); // see the class comment
    else
        m_in.reset();
    unwatch();
    m_receiver = nullptr;
    m_description.clear();
}

bool RtMidiInputService::isOpen()
{
    return m_in && !m_serverGone;
}

void RtMidiInputService::callback(double, std::vector<unsigned char> *message, void *user)
{
    const qint64 now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
    auto *self = static_cast<RtMidiInputService *>(user);
    if (message && !message->empty() && self->m_receiver)
        self->m_receiver(message->data(), message->size(), now);
}

void RtMidiInputService::serverGone(void *user)
{
    // On JACK's own thread: only the flag is touched.
    static_cast<RtMidiInputService *>(user)->m_serverGone = true;
}

void RtMidiInputService::watch()
{
    m_serverGone = false;
#ifdef __UNIX_JACK__
    if (m_api != RtMidi::UNIX_JACK)
        return;
    auto *client = jack_client_open("Orvello watch in", JackNoStartServer, nullptr);
    if (!client)
        return;
    jack_on_shutdown(client, &RtMidiInputService::serverGone, this);
    m_watch = client;
#endif
}

void RtMidiInputService::unwatch()
{
#ifdef __UNIX_JACK__
    // A watcher of a server that has gone is as dead as the port: left alone.
    if (m_watch && !m_serverGone)
        jack_client_close(static_cast<jack_client_t *>(m_watch));
#endif
    m_watch = nullptr;
    m_serverGone = false;
}
