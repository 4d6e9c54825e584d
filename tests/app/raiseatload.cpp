// Preloaded into the program by tst_shutdown: a library constructor raises
// the signal named by ORVELLO_TEST_RAISE. Library constructors run right after
// the program's first step and before anything else of the program, so a
// signal here is as early as any can be caught.
#include <csignal>
#include <cstdlib>

__attribute__((constructor)) static void raiseAtLoad()
{
    if (const char *number = std::getenv("ORVELLO_TEST_RAISE"))
        std::raise(std::atoi(number));
}
