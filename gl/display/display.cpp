#include "orj/gl/display/display.h"

#include <allegro.h>
#include <alleggl.h>

#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <thread>

#include "orj/gl/display/message.h"

namespace orj {

// Tries at starting the window library on a display, and the pause between them.
static const int START_ATTEMPTS = 5;
static const int START_RETRY_MS = 200;

bool init_display(int fullscreen, int width, int height)
{
    // Without a display no system driver starts, and the keyboard would crash.
    // With one, the X system driver has been seen to fail now and then on a
    // server that answers other clients at that moment: a few more tries, a
    // moment apart, before giving up.
    int started = start_allegro(SYSTEM_AUTODETECT);
    for (int attempt = 1; started != 0 && attempt < START_ATTEMPTS && getenv("DISPLAY"); attempt++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(START_RETRY_MS));
        started = start_allegro(SYSTEM_AUTODETECT);
    }
    if (started != 0) {
        show_message("Error setting OpenGL graphics mode:\n%s\nAllegro GL error : %s\n",
                     "Allegro could not start: no display?", "");
        return false;
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
        show_message("Error setting OpenGL graphics mode:\n%s\nAllegro GL error : %s\n", allegro_error,
                     allegro_gl_error);
        // Nothing can be drawn without the context: the caller stops rather than crash later.
        allegro_exit();
        return false;
    }

    // The X keyboard driver sets the whole locale from the environment (for its
    // input method) when the window opens; numbers are printed and read with a
    // point whatever it says (reports, comma-separated traces, scene files).
    setlocale(LC_NUMERIC, "C");

    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glDisable(GL_DITHER);
    glShadeModel(GL_FLAT);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_FASTEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    return true;
}

}  // namespace orj
