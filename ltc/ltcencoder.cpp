#include "ltcencoder.h"

#include "dropframe.h"

#include <cmath>
#include <cstring>
#include <ltc.h>

namespace
{

LTC_TV_STANDARD standardOf(quint8 type)
{
    // The standard decides where the parity and binary group flag bits sit;
    // 25 fps is the one that differs.
    switch (type) {
    case Frame24:
        return LTC_TV_FILM_24;
    case Frame25:
        return LTC_TV_625_50;
    default:
        return LTC_TV_525_60;
    }
}

} // namespace

namespace LtcTiming
{

bool isValidCode(const TimeCode &code, bool trueDropFrame)
{
    if (code.Type > Frame30)
        return false;
    if (trueDropFrame && code.Type == Frame30Drop)
        return DropFrame::isLegalLabel(code);
    const int fps = TimeCodeMath::framesPerSecond(TimeCodeFormat(code.Type));
    return code.Hour < 24 && code.Minute < 60 && code.Seconds < 60 && code.Frame < fps;
}

TimeCode nextCode(const TimeCode &code, bool trueDropFrame)
{
    if (trueDropFrame && code.Type == Frame30Drop)
        return TimeCodeMath::addFrames(code, 1, true);
    TimeCode next = code;
    const int fps = TimeCodeMath::framesPerSecond(TimeCodeFormat(code.Type));
    if (++next.Frame < fps)
        return next;
    next.Frame = 0;
    if (++next.Seconds < 60)
        return next;
    next.Seconds = 0;
    if (++next.Minute < 60)
        return next;
    next.Minute = 0;
    next.Hour = quint8((next.Hour + 1) % 24);
    return next;
}

qint64 frameNs(quint8 type)
{
    return 1000000000LL / TimeCodeMath::framesPerSecond(TimeCodeFormat(type));
}

qint64 frameStartNs(quint8 type, qint64 n, bool trueDropFrame)
{
    // 1001/30000 s is 100,100,000/3 ns; exact, and no overflow for years.
    if (trueDropFrame && type == Frame30Drop)
        return n * 100100000LL / 3;
    return n * frameNs(type);
}

} // namespace LtcTiming

LtcEncoder::LtcEncoder(quint32 sampleRate) : m_sampleRate(sampleRate)
{
    m_encoder = ltc_encoder_create(sampleRate, 25.0, LTC_TV_625_50, LTC_BGF_DONT_TOUCH);
    // One buffer large enough for the slowest rate, so a format change never
    // allocates: reinit only fits the frame into what is there.
    if (m_encoder && ltc_encoder_set_buffersize(m_encoder, sampleRate, 24.0) != 0) {
        ltc_encoder_free(m_encoder);
        m_encoder = nullptr;
    }
    if (m_encoder)
        // Full scale in libltc's 8 bits; the level is applied in float, which
        // keeps low levels from being quantised to a few steps.
        ltc_encoder_set_volume(m_encoder, 0.0);
    setLevel(DefaultLevelDbfs);
}

LtcEncoder::~LtcEncoder()
{
    if (m_encoder)
        ltc_encoder_free(m_encoder);
}

void LtcEncoder::setLevel(double dbfs)
{
    if (!std::isfinite(dbfs))
        dbfs = DefaultLevelDbfs;
    m_levelDbfs = qBound(MinLevelDbfs, dbfs, 0.0);
    m_gain = float(std::pow(10.0, m_levelDbfs / 20.0));
}

void LtcEncoder::reset()
{
    if (m_encoder)
        ltc_encoder_reset(m_encoder);
}

int LtcEncoder::applyFormat(quint8 type, bool trueDropFrame)
{
    const bool dropRate = trueDropFrame && type == Frame30Drop;
    const int key = type + (dropRate ? 8 : 0);
    if (m_type == key)
        return 0;
    const double fps =
        dropRate ? 30000.0 / 1001.0 : TimeCodeMath::framesPerSecond(TimeCodeFormat(type));
    if (ltc_encoder_reinit(m_encoder, m_sampleRate, fps, standardOf(type), LTC_BGF_DONT_TOUCH) != 0)
        return -1;
    ltc_encoder_set_volume(m_encoder, 0.0);
    m_type = key;
    return 0;
}

int LtcEncoder::encode(const TimeCode &code, float *out, int capacity, const Options &options)
{
    if (!m_encoder || !out || !LtcTiming::isValidCode(code, options.trueDropFrame) ||
        applyFormat(code.Type, options.trueDropFrame) != 0)
        return 0;

    const LTC_TV_STANDARD standard = standardOf(code.Type);
    LTCFrame frame;
    ltc_frame_reset(&frame); // user bits and binary group flags zero
    SMPTETimecode time{};
    time.hours = code.Hour;
    time.mins = code.Minute;
    time.secs = code.Seconds;
    time.frame = code.Frame;
    int flags = 0;
    if (options.userBits.kind == UserBits::Date && options.date.isValid()) {
        // libltc lays the date out in BCD and the zone as its SMPTE 309M code.
        const QByteArray zone = utcOffsetText(options.utcOffsetSeconds).toLatin1();
        std::memcpy(time.timezone, zone.constData(), qMin<size_t>(zone.size() + 1, 6));
        time.years = quint8(options.date.year() % 100);
        time.months = quint8(options.date.month());
        time.days = quint8(options.date.day());
        flags = LTC_USE_DATE;
    }
    ltc_time_to_frame(&frame, &time, standard, flags);
    if (flags == LTC_USE_DATE) {
        // Binary group flags 0 0 1: date and time zone in the user bits. The
        // field names follow the 24 and 30 fps layout; 25 fps has BGF2 at bit 43.
        if (standard == LTC_TV_625_50)
            frame.binary_group_flag_bit0 = 1;
        else
            frame.binary_group_flag_bit2 = 1;
    } else if (options.userBits.kind == UserBits::Fixed) {
        // Binary group 1 carries the lowest four bits, as libltc reads them back.
        const quint32 v = options.userBits.value;
        frame.user1 = v & 0xF;
        frame.user2 = (v >> 4) & 0xF;
        frame.user3 = (v >> 8) & 0xF;
        frame.user4 = (v >> 12) & 0xF;
        frame.user5 = (v >> 16) & 0xF;
        frame.user6 = (v >> 20) & 0xF;
        frame.user7 = (v >> 24) & 0xF;
        frame.user8 = (v >> 28) & 0xF;
    }
    // libltc sets the flag only for 29.97; this generator's 30 drop may run at
    // 30 and is labelled drop-frame all the same, as ArtTimeCode's Type 2 says.
    frame.dfbit = code.Type == Frame30Drop ? 1 : 0;
    ltc_frame_set_parity(&frame, standard);
    ltc_encoder_set_frame(m_encoder, &frame);
    ltc_encoder_encode_frame(m_encoder);

    ltcsnd_sample_t *samples = nullptr;
    const int count = ltc_encoder_get_bufferptr(m_encoder, &samples, 1);
    if (count <= 0 || count > capacity)
        return 0;
    // libltc's unsigned 8 bits centre on 128 with 127 as full scale.
    const float scale = m_gain / 127.0f;
    for (int i = 0; i < count; ++i)
        out[i] = (float(samples[i]) - 128.0f) * scale;
    return count;
}
