#pragma once

#include "inputservices.h"

#include <atomic>
#include <memory>

class RtMidiIn;

// The MIDI input on RtMidi. As for the output, every MIDI system that is
// there (presentMidiApis) is tried in turn and the first that offers the port
// is used; failures come back as result codes. While a port is open on JACK, a client of our own
// watches the server: RtMidi's JACK port crashes when closed after its server has gone, so such a
// port is never touched again and is left to the end of the process.
class RtMidiInputService : public MidiInputService
{
public:
    static constexpr const char *ClientName = "Orvello";
    static constexpr const char *PortName = "MTC in";

    RtMidiInputService();
    ~RtMidiInputService() override;

    QStringList portNames() override;
    int open(const QString &port, Receiver receiver) override;
    void close() override;
    bool isOpen() override;
    QString description() const override { return m_description; }

private:
    static void callback(double, std::vector<unsigned char> *message, void *user);
    static void serverGone(void *user);
    void watch();
    void unwatch();

    std::unique_ptr<RtMidiIn> m_in;
    Receiver m_receiver;
    QString m_description;
    int m_api = 0;
    void *m_watch = nullptr; // jack_client_t watching the server of m_in
    std::atomic<bool> m_serverGone{false};
};
