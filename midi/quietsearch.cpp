#include "quietsearch.h"

#include <iostream>

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
} // namespace

QuietSearch::QuietSearch() : m_previous(std::cerr.rdbuf(m_sink.rdbuf()))
{
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
#ifdef __UNIX_JACK__
    jack_set_error_function(nullptr);
    jack_set_info_function(nullptr);
#endif
#ifdef __LINUX_ALSA__
    snd_lib_error_set_handler(nullptr);
#endif
    std::cerr.rdbuf(m_previous);
}
