#include "gl/display/display.h"

#include <allegro.h>
#include <alleggl.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "gl/display/message.h"

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

void init_display(int fullscreen, int width, int height)
{
    // Without a display no system driver starts, and the keyboard would crash.
    if (start_allegro(SYSTEM_AUTODETECT) != 0) {
        show_message("Error setting OpenGL graphics mode:\n%s\nAllegro GL error : %s\n",
                     "Allegro could not start: no display?", "");
        exit(1);
    }
    install_allegro_gl();
    install_keyboard();

    allegro_gl_clear_settings();
    allegro_gl_set(AGL_COLOR_DEPTH, 32);
    allegro_gl_set(AGL_DOUBLEBUFFER, 1);
    allegro_gl_set(AGL_Z_DEPTH, 16);
    allegro_gl_set(AGL_WINDOWED, TRUE);
    if (fullscreen) allegro_gl_set(AGL_WINDOWED, FALSE);
    allegro_gl_set(AGL_RENDERMETHOD, 1);
    allegro_gl_set(AGL_SUGGEST, AGL_COLOR_DEPTH | AGL_DOUBLEBUFFER | AGL_Z_DEPTH | AGL_WINDOWED | AGL_RENDERMETHOD);

    set_color_depth(32);
    if (set_gfx_mode(GFX_OPENGL, width, height, 0, 0) != 0) {
        show_message("Error setting OpenGL graphics mode:\n%s\nAllegro GL error : %s\n", allegro_error, allegro_gl_error);
        // Nothing can be drawn without the context: stop here rather than crash later.
        allegro_exit();
        exit(1);
    }

    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glDisable(GL_DITHER);
    glShadeModel(GL_FLAT);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_FASTEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}
