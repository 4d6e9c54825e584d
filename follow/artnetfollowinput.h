#pragma once

#include "artnet.h"
#include "followedcode.h"

#include <atomic>
#include <memory>

// ArtTimeCode of other nodes as a follow input: the node calls it on its own
// thread for every valid code not sent by this machine; it passes on what
// comes from the chosen sender (any sender when none is chosen) while the
// Art-Net input is the one followed.
class ArtnetFollowInput : public ArtTimeCodeListener
{
public:
    explicit ArtnetFollowInput(std::shared_ptr<FollowSink> sink) : m_sink(std::move(sink)) {}

    void setEnabled(bool enabled) { m_enabled = enabled; }
    // The only sender followed, as an IPv4 address; 0 for any.
    void setSource(quint32 address) { m_source = address; }

    void timeCodeReceived(const TimeCode &code, quint32 sender, qint64 arrivalNs) override
    {
        if (!m_enabled)
            return;
        const quint32 wanted = m_source;
        if (wanted && sender != wanted)
            return;
        FollowedCode in;
        in.code = code;
        in.startNs = arrivalNs;
        in.source = sender;
        m_sink->deliver(in);
    }

private:
    const std::shared_ptr<FollowSink> m_sink;
    std::atomic<bool> m_enabled{false};
    std::atomic<quint32> m_source{0};
};
