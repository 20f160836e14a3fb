/// @file
/// Starting Allegro, AllegroGL and the OpenGL graphics mode.
#pragma once

namespace orj {

/// install_allegro(system_id) for every program of the engine, without
/// Allegro's handlers for fatal signals (SIGSEGV, SIGABRT, ...) and requests
/// to end (SIGINT, SIGTERM, SIGQUIT): a crash ends the process at once and a
/// request to end is the program's own (signals.h) or the default, instead of
/// the library's shut-down inside the handler. Returns install_allegro's
/// result, with errno as the start left it.
int start_allegro(int system_id);

/// Starts Allegro with its keyboard, follows the requests to end
/// (ending.h), opens a width x height OpenGL mode (a window unless fullscreen
/// is nonzero; full screen at 0 x 0 takes the desktop's size) and sets the
/// OpenGL defaults. False, after "Error setting
/// OpenGL graphics mode: ..." is shown with the reason, when there is no
/// display or no such mode: Allegro is then shut down again.
bool init_display(int fullscreen, int width, int height);

}  // namespace orj
