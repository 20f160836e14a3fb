// Starting Allegro, AllegroGL and the OpenGL graphics mode.
#pragma once

// Opens a width x height OpenGL mode (a window unless fullscreen is nonzero)
// and sets the OpenGL defaults. A failed mode shows its message and ends the
// process with status 1.
void init_display(int fullscreen, int width, int height);
