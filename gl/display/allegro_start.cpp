// start_allegro where Allegro installs handlers for the fatal signals and for
// the requests to end (X11 and the other POSIX ports). The Windows build uses
// allegro_start_windows.cpp.
#include "orj/gl/display/display.h"

#include <allegro.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace orj {

// Allegro's handler for all of these shuts the library down from inside the
// handler. After a heap overrun that frees memory under the malloc lock, and
// on SIGINT, SIGTERM or SIGQUIT while the program draws (the GL context is
// destroyed under the driver's own lock) the process hangs for ever; while
// Allegro's lock is held the handler calls abort() instead (SIGABRT, status
// 134). Nothing of the program's is written either way.
static const int KEPT_SIGNALS[] = {SIGSEGV, SIGABRT, SIGFPE, SIGILL, SIGBUS, SIGTRAP, SIGSYS, SIGINT, SIGTERM, SIGQUIT};
static const int KEPT_SIGNAL_COUNT = sizeof KEPT_SIGNALS / sizeof KEPT_SIGNALS[0];

int start_allegro(int system_id)
{
    // What was there before (the default, a sanitizer's report, the program's
    // own ending of signals.h) comes back. Requests to end wait meanwhile, so
    // none reaches Allegro's handler; its threads block every signal anyway.
    sigset_t requests, mask_before;
    sigemptyset(&requests);
    sigaddset(&requests, SIGINT);
    sigaddset(&requests, SIGTERM);
    sigaddset(&requests, SIGQUIT);
    pthread_sigmask(SIG_BLOCK, &requests, &mask_before);
    struct sigaction before[KEPT_SIGNAL_COUNT];
    for (int i = 0; i < KEPT_SIGNAL_COUNT; i++) sigaction(KEPT_SIGNALS[i], nullptr, &before[i]);
    int result = install_allegro(system_id, &errno, atexit);
    int cause = errno;
    for (int i = 0; i < KEPT_SIGNAL_COUNT; i++) sigaction(KEPT_SIGNALS[i], &before[i], nullptr);
    pthread_sigmask(SIG_SETMASK, &mask_before, nullptr);
    errno = cause;
    return result;
}

}  // namespace orj
