#pragma once

#include <QString>
#include <QtGlobal>

// The platform's MIDI output service as the timecode output uses it: ports
// listed by index with their names, opened without callback, short messages
// packed into 32 bits and long messages handed over through a prepared header.
// The shape and the result codes are those of the Windows multimedia MIDI
// output functions, so the sending logic reads the same on every platform and
// tests can replace the platform with a scripted fake.

// Result codes. The numeric values are the Windows ones; senders compare them.
namespace MidiResult
{
constexpr int MMSYSERR_NOERROR = 0;
constexpr int MMSYSERR_ERROR = 1;
constexpr int MMSYSERR_BADDEVICEID = 2;
constexpr int MMSYSERR_INVALHANDLE = 5;
constexpr int MMSYSERR_NOMEM = 7;
constexpr int MMSYSERR_INVALPARAM = 11;
constexpr int MIDIERR_UNPREPARED = 64;
constexpr int MIDIERR_STILLPLAYING = 65;
constexpr int MIDIERR_NOTREADY = 67;
constexpr int MIDIERR_BADOPENMODE = 70;
} // namespace MidiResult

// An open port; 0 is no port.
using MidiOutHandle = quintptr;

// Describes a long message. The bytes belong to the caller, who must keep them
// (and the header) alive until the port has given the header back: a header
// is released when unprepareHeader answers anything but MIDIERR_STILLPLAYING.
struct MidiOutHeader {
    enum Flag : quint32 { Prepared = 0x1, InQueue = 0x2, Done = 0x4 };

    const quint8 *data = nullptr;
    quint32 bufferLength = 0;
    quint32 bytesRecorded = 0;
    quint32 flags = 0;
};

class MidiOutputService
{
public:
    virtual ~MidiOutputService() = default;

    // Number of output ports; their indexes are 0 .. count - 1.
    virtual quint32 deviceCount() = 0;
    // The port's name as the platform reports it. On failure name is left as it was.
    virtual int deviceName(quint32 index, QString *name) = 0;
    // Opens the port without callback; on success *handle is non-zero.
    virtual int open(MidiOutHandle *handle, quint32 index) = 0;
    // Returns every long message the port still holds to the caller.
    virtual int reset(MidiOutHandle handle) = 0;
    // Status byte in bits 0-7, data bytes in bits 8-15 and 16-23.
    virtual int shortMessage(MidiOutHandle handle, quint32 message) = 0;
    virtual int prepareHeader(MidiOutHandle handle, MidiOutHeader *header) = 0;
    virtual int longMessage(MidiOutHandle handle, MidiOutHeader *header) = 0;
    virtual int unprepareHeader(MidiOutHandle handle, MidiOutHeader *header) = 0;
    virtual int close(MidiOutHandle handle) = 0;

    // Looks for the MIDI system and its ports again, for a system started or
    // restarted after the program. True when the port list changed; then the
    // indexes name the new list and handles opened before should be closed.
    virtual bool rescan() { return false; }
};
