// start_allegro where Allegro installs handlers for the fatal signals (X11
// and the other POSIX ports). The Windows build uses allegro_start_windows.cpp.
#include "orj/gl/display/display.h"

#include <allegro.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace orj {

// Allegro's handlers for these shut the library down from inside the handler:
// after a heap overrun that frees memory under the malloc lock, and the
// process hangs instead of ending.
static const int FATAL_SIGNALS[] = {SIGSEGV, SIGABRT, SIGFPE, SIGILL, SIGBUS, SIGTRAP, SIGSYS};
static const int FATAL_SIGNAL_COUNT = sizeof FATAL_SIGNALS / sizeof FATAL_SIGNALS[0];

int start_allegro(int system_id)
{
    // What was there before (the default, or a sanitizer's report) comes back.
    struct sigaction before[FATAL_SIGNAL_COUNT];
    for (int i = 0; i < FATAL_SIGNAL_COUNT; i++) sigaction(FATAL_SIGNALS[i], nullptr, &before[i]);
    int result = install_allegro(system_id, &errno, atexit);
    for (int i = 0; i < FATAL_SIGNAL_COUNT; i++) sigaction(FATAL_SIGNALS[i], &before[i], nullptr);
    return result;
}

}  // namespace orj
