#pragma once

#include "midioutputservice.h"

#include <QByteArray>
#include <QStringList>
#include <map>
#include <set>
#include <tuple>
#include <vector>

// A scripted MIDI output service: ports are given by name, every call is
// recorded with the port it addressed and the bytes it carried, and any call
// can be made to answer any result code.
class FakeMidiOutputService : public MidiOutputService
{
public:
    enum Op { Count, Name, Open, Reset, Short, Prepare, Long, Unprepare, Close };

    struct Call {
        Op op;
        int port; // -1 when the call named no known port
        QByteArray bytes;
        int result;
    };

    explicit FakeMidiOutputService(QStringList portNames = {}) : names(std::move(portNames)) {}

    // The nth call (1-based) of op on port answers result; nth 0 means every call.
    void failAt(Op op, int port, int nth, int result) { m_script[{op, port, nth}] = result; }
    // How many times in a row unprepare answers MIDIERR_STILLPLAYING for a
    // header before letting go of it; -1 holds every header for ever.
    int stillPlayingTries = 0;
    // A working port hands queued headers back on reset; a broken one may not.
    bool resetReturnsHeaders = true;

    QStringList names;
    std::vector<Call> calls;
    // Headers prepared and not yet unprepared: what the "port" still holds.
    std::set<const MidiOutHeader *> prepared;

    std::vector<Call> callsOf(Op op, int port = -2) const
    {
        std::vector<Call> out;
        for (const Call &c : calls)
            if (c.op == op && (port == -2 || c.port == port))
                out.push_back(c);
        return out;
    }
    // Ops addressed to one open or opening port, in order (the listing left out).
    std::vector<Op> opsOn(int port) const
    {
        std::vector<Op> out;
        for (const Call &c : calls)
            if (c.port == port && c.op != Count && c.op != Name)
                out.push_back(c.op);
        return out;
    }
    // Every byte that went out on a port, in order (accepted messages only).
    QByteArray wire(int port) const
    {
        QByteArray out;
        for (const Call &c : calls)
            if (c.port == port && (c.op == Short || c.op == Long) &&
                c.result == MidiResult::MMSYSERR_NOERROR)
                out += c.bytes;
        return out;
    }

    static constexpr MidiOutHandle HandleBase = 0x100;

    quint32 deviceCount() override { return quint32(record(Count, -1, {}, names.size())); }
    int deviceName(quint32 index, QString *name) override
    {
        const int port = index < quint32(names.size()) ? int(index) : -1;
        const int result = record(Name, port, {}, port < 0 ? MidiResult::MMSYSERR_BADDEVICEID : 0);
        if (result == MidiResult::MMSYSERR_NOERROR)
            *name = names.at(port);
        return result;
    }
    int open(MidiOutHandle *handle, quint32 index) override
    {
        const int port = index < quint32(names.size()) ? int(index) : -1;
        const int result = record(Open, port, {}, port < 0 ? MidiResult::MMSYSERR_BADDEVICEID : 0);
        *handle = result == MidiResult::MMSYSERR_NOERROR ? HandleBase + index : 0;
        if (*handle)
            m_open.insert(*handle);
        return result;
    }
    int reset(MidiOutHandle handle) override
    {
        const int result = record(Reset, portOf(handle), {}, valid(handle));
        // A reset hands every queued header back.
        if (result == MidiResult::MMSYSERR_NOERROR && resetReturnsHeaders)
            m_stillPlaying.clear();
        return result;
    }
    int shortMessage(MidiOutHandle handle, quint32 message) override
    {
        QByteArray bytes;
        bytes.append(char(message & 0xFF));
        bytes.append(char((message >> 8) & 0xFF));
        return record(Short, portOf(handle), bytes, valid(handle));
    }
    int prepareHeader(MidiOutHandle handle, MidiOutHeader *header) override
    {
        const int result = record(Prepare, portOf(handle), {}, valid(handle));
        if (result == MidiResult::MMSYSERR_NOERROR) {
            prepared.insert(header);
            header->flags |= MidiOutHeader::Prepared;
        }
        return result;
    }
    int longMessage(MidiOutHandle handle, MidiOutHeader *header) override
    {
        const QByteArray bytes(reinterpret_cast<const char *>(header->data),
                               int(header->bytesRecorded));
        const int result = record(Long, portOf(handle), bytes, valid(handle));
        if (result == MidiResult::MMSYSERR_NOERROR && stillPlayingTries != 0)
            m_stillPlaying[header] = stillPlayingTries;
        return result;
    }
    int unprepareHeader(MidiOutHandle handle, MidiOutHeader *header) override
    {
        int natural = valid(handle);
        auto it = m_stillPlaying.find(header);
        if (natural == 0 && it != m_stillPlaying.end()) {
            if (it->second > 0 && --it->second == 0)
                m_stillPlaying.erase(it);
            natural = MidiResult::MIDIERR_STILLPLAYING;
        }
        const int result = record(Unprepare, portOf(handle), {}, natural);
        if (result != MidiResult::MIDIERR_STILLPLAYING)
            prepared.erase(header);
        return result;
    }
    int close(MidiOutHandle handle) override
    {
        const int result = record(Close, portOf(handle), {}, valid(handle));
        if (result == MidiResult::MMSYSERR_NOERROR)
            m_open.erase(handle);
        return result;
    }

private:
    int portOf(MidiOutHandle handle) const
    {
        return m_open.count(handle) ? int(handle - HandleBase) : -1;
    }
    int valid(MidiOutHandle handle) const
    {
        return m_open.count(handle) ? MidiResult::MMSYSERR_NOERROR
                                    : MidiResult::MMSYSERR_INVALHANDLE;
    }
    int record(Op op, int port, const QByteArray &bytes, int natural)
    {
        const int nth = ++m_counts[{op, port}];
        int result = natural;
        if (auto it = m_script.find({op, port, nth}); it != m_script.end())
            result = it->second;
        else if (auto every = m_script.find({op, port, 0}); every != m_script.end())
            result = every->second;
        calls.push_back({op, port, bytes, op == Count ? 0 : result});
        return result;
    }

    std::map<std::tuple<Op, int, int>, int> m_script;
    std::map<std::pair<Op, int>, int> m_counts;
    std::set<MidiOutHandle> m_open;
    std::map<const MidiOutHeader *, int> m_stillPlaying;
};
