#include "orj/gl/display/display.h"

#include <allegro.h>
#include <alleggl.h>

#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "orj/gl/display/ending.h"
#include "orj/gl/display/message.h"

namespace orj {

// An X server whose last client has gone starts over unless it runs with
// -noreset: it closes every connection, then reloads its fonts, keymap and
// GLX, which takes from milliseconds to over a second on a busy machine. A
// client that connects meanwhile is accepted and then dropped: XOpenDisplay
// fails with ECONNRESET, or with EAGAIN when the connection ends while the
// server's greeting is read. Only such a start is tried again, for as long as
// a server may take to start over; no server at all (ECONNREFUSED, no
// DISPLAY) fails at once.
static const double SERVER_RESET_SECONDS = 5.0;
static const int START_RETRY_MS = 20;

static bool dropped_by_server(int cause)
{
#ifdef _WIN32
    (void)cause;
    return false;
#else
    return cause == ECONNRESET || cause == EAGAIN || cause == EPIPE;
#endif
}

static int start_allegro_on_display()
{
    auto give_up = std::chrono::steady_clock::now() + std::chrono::duration<double>(SERVER_RESET_SECONDS);
    int started = start_allegro(SYSTEM_AUTODETECT);
    while (started != 0 && dropped_by_server(errno) && std::chrono::steady_clock::now() < give_up) {
        std::this_thread::sleep_for(std::chrono::milliseconds(START_RETRY_MS));
        started = start_allegro(SYSTEM_AUTODETECT);
    }
    return started;
}

bool init_display(int fullscreen, int width, int height)
{
    // Without a display no system driver starts, and the keyboard would crash.
    errno = 0;
    if (start_allegro_on_display() != 0) {
        char reason[256];
        const char *display = getenv("DISPLAY");
        if (display && *display && errno != 0)
            snprintf(reason, sizeof reason, "Allegro could not start on the display %s: %s", display, strerror(errno));
        else snprintf(reason, sizeof reason, "Allegro could not start: no display?");
        show_message("Error setting OpenGL graphics mode:\n%s\nAllegro GL error : %s\n", reason, "");
        return false;
    }
    follow_ending_requests();
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
    if (fullscreen && (width <= 0 || height <= 0)) {
        width = 640;
        height = 480;
        int desktop_width = 0, desktop_height = 0;
        if (get_desktop_resolution(&desktop_width, &desktop_height) == 0 && desktop_width > 0 && desktop_height > 0) {
            width = desktop_width;
            height = desktop_height;
        }
    }
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
