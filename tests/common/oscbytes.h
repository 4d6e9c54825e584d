#pragma once
// An OSC message as a control surface sends it, put together by liblo itself:
// one argument per type tag (i, f, d, h; s is the string "3"), each `value`.

#include <QByteArray>

#include <lo/lo_lowlevel.h>

#include <cstdlib>

inline QByteArray oscMessage(const char *path, const char *types = "", double value = 0)
{
    lo_message m = lo_message_new();
    for (const char *t = types; *t; ++t) {
        switch (*t) {
        case 'i':
            lo_message_add_int32(m, int(value));
            break;
        case 'f':
            lo_message_add_float(m, float(value));
            break;
        case 'd':
            lo_message_add_double(m, value);
            break;
        case 'h':
            lo_message_add_int64(m, qint64(value));
            break;
        case 's':
            lo_message_add_string(m, "3");
            break;
        }
    }
    size_t size = 0;
    void *data = lo_message_serialise(m, path, nullptr, &size);
    const QByteArray bytes(static_cast<const char *>(data), qsizetype(size));
    free(data);
    lo_message_free(m);
    return bytes;
}
