#pragma once

#include "midioutputservice.h"

#include <QByteArray>
#include <QStringList>
#include <set>
#include <vector>

// A MIDI output service with named ports that logs every call and lets a test
// answer any call in the port's place. Calls are logged by letter, so those on
// a port read as a word ("ORPLRU"): c count, n name, O open, R reset, S short,
// P prepare, L long, U unprepare, C close, s rescan.
class FakeMidiOutputService : public MidiOutputService
{
public:
    struct Call {
        char op;
        int port; // -1 for the listing and for a handle that names no open port
        QByteArray bytes;
        int result;
    };

    explicit FakeMidiOutputService(QStringList portNames = {}) : names(std::move(portNames)) {}

    // The nth call of op on port answers code instead of the port.
    struct {
        char op = 0;
        int port, nth, code;
    } fail;
    bool holds = false;   // the port keeps each long message until it is reset
    bool changed = false; // the next rescan finds a new port list in `names`

    QStringList names;
    std::vector<Call> calls;
    std::set<const MidiOutHeader *> prepared; // prepared and not yet released

    QByteArray ops(int port, size_t from = 0) const
    {
        QByteArray out;
        for (size_t i = from; i < calls.size(); ++i)
            if (calls[i].port == port)
                out += calls[i].op;
        return out;
    }
    QByteArray wire(int port) const // every byte the port accepted
    {
        QByteArray out;
        for (const Call &c : calls)
            if (c.port == port && c.result == MidiResult::MMSYSERR_NOERROR)
                out += c.bytes;
        return out;
    }

    quint32 deviceCount() override { return quint32(log({'c', -1, {}, int(names.size())})); }
    int deviceName(quint32 index, QString *name) override
    {
        *name = names.value(int(index));
        return log({'n', -1, {}, 0});
    }
    int open(MidiOutHandle *h, quint32 index) override
    {
        m_open.insert(*h = 0x100 + index);
        return call('O', *h); // a refused open leaves the handle unusable
    }
    int reset(MidiOutHandle h) override { return call('R', h); }
    int shortMessage(MidiOutHandle h, quint32 message) override
    {
        return call('S', h, nullptr, QByteArray(1, char(message)) + char(message >> 8));
    }
    int prepareHeader(MidiOutHandle h, MidiOutHeader *m) override { return call('P', h, m); }
    int longMessage(MidiOutHandle h, MidiOutHeader *m) override
    {
        return call('L', h, m,
                    QByteArray(reinterpret_cast<const char *>(m->data), m->bytesRecorded));
    }
    int unprepareHeader(MidiOutHandle h, MidiOutHeader *m) override { return call('U', h, m); }
    int close(MidiOutHandle h) override { return call('C', h); }
    bool rescan() override
    {
        log({'s', -1, {}, 0});
        return std::exchange(changed, false);
    }

private:
    int log(Call c)
    {
        if (c.op == fail.op && c.port == fail.port && ops(c.port).count(c.op) + 1 == fail.nth)
            c.result = fail.code;
        calls.push_back(c);
        return c.result;
    }
    // A call on a port, with what it does to the port's state.
    int call(char op, MidiOutHandle handle, const MidiOutHeader *header = nullptr,
             const QByteArray &bytes = {})
    {
        using namespace MidiResult;
        const int port = m_open.count(handle) ? int(handle - 0x100) : -1;
        const int result = log({op, port, bytes,
                                port < 0                              ? MMSYSERR_INVALHANDLE
                                : op == 'U' && m_queued.count(header) ? MIDIERR_STILLPLAYING
                                                                      : MMSYSERR_NOERROR});
        const bool ok = result == MMSYSERR_NOERROR;
        if ((op == 'O' && !ok) || (op == 'C' && ok))
            m_open.erase(handle);
        if (ok && (op == 'P' || (op == 'L' && holds)))
            (op == 'P' ? prepared : m_queued).insert(header);
        if (ok && op == 'R')
            m_queued.clear();
        if (op == 'U' && result != MIDIERR_STILLPLAYING)
            prepared.erase(header), m_queued.erase(header);
        return result;
    }

    std::set<MidiOutHandle> m_open;
    std::set<const MidiOutHeader *> m_queued; // held by a port that holds
};
