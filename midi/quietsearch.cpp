#include "quietsearch.h"

#include <mutex>

#ifdef __LINUX_ALSA__
#include <alsa/asoundlib.h>
#endif
#ifdef __UNIX_JACK__
#include <jack/jack.h>
#endif

namespace
{
#ifdef __LINUX_ALSA__
void quietAlsa(const char *, int, const char *, int, const char *, ...) {}
#endif
#ifdef __UNIX_JACK__
void quietJack(const char *) {}
#endif

// The handlers are process-wide: only the first search in mutes them and only
// the last one out sets them back.
std::mutex searchesLock;
int searches = 0;
} // namespace

QuietSearch::QuietSearch()
{
    const std::lock_guard<std::mutex> lock(searchesLock);
    if (searches++ > 0)
        return;
#ifdef __LINUX_ALSA__
    snd_lib_error_set_handler(&quietAlsa);
#endif
#ifdef __UNIX_JACK__
    jack_set_error_function(&quietJack);
    jack_set_info_function(&quietJack);
#endif
}

QuietSearch::~QuietSearch()
{
    const std::lock_guard<std::mutex> lock(searchesLock);
    if (--searches > 0)
        return;
#ifdef __UNIX_JACK__
    jack_set_error_function(nullptr);
    jack_set_info_function(nullptr);
#endif
#ifdef __LINUX_ALSA__
    snd_lib_error_set_handler(nullptr);
#endif
}
