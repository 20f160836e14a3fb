#include "orj/gl/display/frame.h"

#include <allegro.h>
#include <alleggl.h>

namespace orj {

void begin_frame_plain()
{
    // The flip comes first: the clear works on the new back buffer.
    allegro_gl_flip();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, SCREEN_W, SCREEN_H);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1, 1, -1, 1, 1, 1000);
    glMatrixMode(GL_MODELVIEW);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLoadIdentity();
    glEnable(GL_BLEND);
}

void set_flat_drawing(float red, float green, float blue)
{
    glDisable(GL_DEPTH_TEST);
    glClearColor(red, green, blue, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void begin_frame(float half_extent)
{
    (void)half_extent;
    begin_frame_plain();
}

}  // namespace orj
