// The first code the program runs. It sits in the executable's
// pre-initialisation array, which the dynamic loader calls once every library
// is mapped and relocated and before any of their constructors (Qt's, the
// audio and MIDI libraries') or ours: nothing can open a descriptor or be
// stopped by a signal's default action after this point.
#include "terminationsignals.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace
{
// A service manager or a shell may start us with standard input, output or
// error closed. The first descriptors opened later (the signal socket pair,
// a settings file) would then take their numbers, and whatever is written to
// "standard output" would land there. /dev/null keeps the three taken.
void openStandardDescriptors()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free number: the lower ones are open by now.
        const int opened = ::open("/dev/null", O_RDWR);
        if (opened >= 0 && opened != fd)
            ::close(opened); // no /dev/null in this place: nothing better to do
    }
}

void startEarly(int, char **, char **)
{
    openStandardDescriptors();
    TerminationSignals::installEarly();
}
} // namespace

// Called by the loader with the process's arguments and environment.
__attribute__((section(".preinit_array"),
               used)) void (*const orvelloEarlyStart)(int, char **, char **) = &startEarly;
