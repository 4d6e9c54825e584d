#pragma once

#include <ltc.h>

#include <QString>
#include <algorithm>
#include <vector>

// libltc's decoder as the tests use it: samples in, decoded frames out with
// the sample at which each began, so a test checks what a receiver would read.
struct DecodedLtc {
    int hours = 0, minutes = 0, seconds = 0, frame = 0;
    bool dropFrame = false;
    unsigned long userBits = 0;
    long long startSample = 0;
    LTCFrame raw{}; // for the date and the binary group flags

    QString text() const
    {
        return QString::asprintf("%02d:%02d:%02d%c%02d", hours, minutes, seconds,
                                 dropFrame ? ';' : ':', frame);
    }
};

class LtcDecodeHelper
{
public:
    explicit LtcDecodeHelper(int samplesPerFrame)
        : m_decoder(ltc_decoder_create(samplesPerFrame, 32))
    {
    }
    ~LtcDecodeHelper() { ltc_decoder_free(m_decoder); }
    LtcDecodeHelper(const LtcDecodeHelper &) = delete;
    LtcDecodeHelper &operator=(const LtcDecodeHelper &) = delete;

    // Feeds the next samples of the stream; returns the frames completed by them.
    std::vector<DecodedLtc> write(float *samples, size_t count)
    {
        std::vector<DecodedLtc> out;
        // In pieces shorter than the decoder's queue of frames.
        for (size_t at = 0; at < count; at += 4096) {
            const size_t n = std::min<size_t>(4096, count - at);
            ltc_decoder_write_float(m_decoder, samples + at, n, m_position);
            m_position += ltc_off_t(n);
            LTCFrameExt ext;
            SMPTETimecode time;
            while (ltc_decoder_read(m_decoder, &ext)) {
                ltc_frame_to_time(&time, &ext.ltc, 0);
                out.push_back({time.hours, time.mins, time.secs, time.frame, bool(ext.ltc.dfbit),
                               ltc_frame_get_user_bits(&ext.ltc), ext.off_start, ext.ltc});
            }
        }
        return out;
    }

private:
    LTCDecoder *m_decoder;
    ltc_off_t m_position = 0;
};
