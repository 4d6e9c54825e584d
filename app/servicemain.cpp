// What `orvello headless` runs: the same console run, in a program that maps
// no window libraries (Widgets, Gui and all they load), so a service keeps
// several megabytes less resident. `orvello` hands over by exec, keeping its
// process, arguments and any termination signal already caught.
#include "headlessentry.h"

int main(int argc, char *argv[])
{
    return runHeadless(argc, argv);
}
