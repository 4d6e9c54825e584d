#pragma once

#include "timecode.h"

#include <QtGlobal>
#include <array>

// MIDI Time Code messages built from a timecode: the eight quarter-frame
// pieces (status 0xF1) and the ten-byte full-frame System Exclusive message.
// The Type byte of the timecode is the MTC rate code unchanged; hours,
// minutes, seconds and frames are taken as they are, bit-masked only.
namespace MtcMessage
{
constexpr quint8 QuarterFrameStatus = 0xF1;
constexpr int QuarterFramePieces = 8;
constexpr int FullFrameSize = 10;

// Data byte of quarter-frame piece 0..7: piece number in bits 4-6, value in bits 0-3.
quint8 quarterFrameData(const TimeCode &code, int piece);
// The two bytes packed as a short message: status in bits 0-7, data in bits 8-15.
quint32 quarterFrameMessage(const TimeCode &code, int piece);

// How many pieces the short form sends: only the pieces of the fields that
// changed since the last code, but always whole pairs from piece 0 up, and all
// eight when the rate, the hour or nothing changed.
int shortFormPieces(const TimeCode &code, const TimeCode &lastSent);

std::array<quint8, FullFrameSize> fullFrame(const TimeCode &code);
} // namespace MtcMessage
