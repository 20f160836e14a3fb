#include "orj/gl/display/render_state.h"

#include <allegro.h>
#include <alleggl.h>

#include "orj/gl/display/frame.h"

namespace orj {

static const GLfloat light_position[4] = {0.0f, 0.0f, 1000.0f, 0.0f};

double frustum_widening(int width, int height)
{
    if (width <= 0 || height <= 0) return 1.0;
    return (3.0 * width) / (4.0 * height);
}

static void set_drawing_switches()
{
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glPolygonMode(GL_FRONT, GL_FILL);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

static void set_fog()
{
    static const GLfloat fog_colour[4] = {0.1f, 0.1f, 0.5f, 1.0f};
    glFogi(GL_FOG_MODE, GL_EXP2);
    glFogfv(GL_FOG_COLOR, fog_colour);
    glFogf(GL_FOG_DENSITY, 0.025f);
    glHint(GL_FOG_HINT, GL_DONT_CARE);
    glFogf(GL_FOG_START, 1.0f);
    glFogf(GL_FOG_END, 5000.0f);
    glEnable(GL_FOG);
}

// The whole window, the frustum widened to its shape, and the default view.
static void set_projection()
{
    glViewport(0, 0, SCREEN_W, SCREEN_H);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.5 * frustum_widening(SCREEN_W, SCREEN_H), 0.5 * frustum_widening(SCREEN_W, SCREEN_H), -0.5, 0.5, 1.0,
              10000.0);

    glMatrixMode(GL_MODELVIEW);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -1000.0f);
    glTranslatef(0.0f, 300.0f, 0.0f);
}

static void set_material()
{
    static const GLfloat material_specular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    static const GLfloat material_shininess[1] = {90.0f};
    static const GLfloat material_emission[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    static const GLfloat material_ambient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glMaterialfv(GL_FRONT, GL_SPECULAR, material_specular);
    glMaterialfv(GL_FRONT, GL_SHININESS, material_shininess);
    glMaterialfv(GL_FRONT, GL_EMISSION, material_emission);
    glMaterialfv(GL_FRONT, GL_AMBIENT, material_ambient);
}

// Light 0: given through the default view, so it shines from the viewer's side.
static void set_light()
{
    static const GLfloat light_ambient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    static const GLfloat light_diffuse[4] = {0.2f, 0.2f, 0.2f, 0.3f};
    glLightfv(GL_LIGHT0, GL_POSITION, light_position);
    glLightfv(GL_LIGHT0, GL_AMBIENT, light_ambient);
    glEnable(GL_LIGHTING);
    glLightf(GL_LIGHT0, GL_CONSTANT_ATTENUATION, 100.0f);
    glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, 0.0f);
    glLightf(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, 0.0f);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, light_diffuse);
}

void set_render_state(RenderState *state)
{
    state->next_light = 1;
    glClearColor(0.1f, 0.1f, 0.5f, 1.0f);
    set_fog();

    begin_frame(100.0f);
    set_drawing_switches();
    set_projection();

    set_drawing_switches();
    glPushMatrix();
    glDisable(GL_LIGHTING);
    set_material();
    if (key[KEY_L]) state->lights_on = 1;
    if (key[KEY_P]) state->lights_on = 0;
    set_light();

    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);

    state->spin_angle = state->spin_angle + 1.0f;
    glPopMatrix();
}

}  // namespace orj
