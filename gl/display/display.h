// Starting Allegro, AllegroGL and the OpenGL graphics mode.
#pragma once

// install_allegro(system_id) for every program of the engine, without
// Allegro's handlers for fatal signals (SIGSEGV, SIGABRT, ...): a crash ends
// the process at once instead of running the library's shut-down inside the
// handler. Returns install_allegro's result.
int start_allegro(int system_id);

// Opens a width x height OpenGL mode (a window unless fullscreen is nonzero)
// and sets the OpenGL defaults. A failed mode shows its message and ends the
// process with status 1.
void init_display(int fullscreen, int width, int height);
