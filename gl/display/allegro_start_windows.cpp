// start_allegro for Windows, where Allegro installs no signal handlers: there
// is nothing to keep.
#include "orj/gl/display/display.h"

#include <allegro.h>

#include <cerrno>
#include <cstdlib>

namespace orj {

int start_allegro(int system_id) { return install_allegro(system_id, &errno, atexit); }

}  // namespace orj
