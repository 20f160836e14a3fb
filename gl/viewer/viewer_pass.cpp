#include "orj/gl/viewer/viewer_pass.h"

#include <allegro.h>
#include <alleggl.h>

#include "orj/core/viewer/playback.h"
#include "orj/gl/display/render_state.h"
#include "orj/gl/render/camera.h"
#include "orj/gl/render/draw.h"
#include "orj/gl/viewer/ticks.h"

namespace orj {

void viewer_pass_create(ViewerPass *pass, const Scene *scene)
{
    pass->copy_list = glGenLists(1);
    GLint max_lights = 8;
    glGetIntegerv(GL_MAX_LIGHTS, &max_lights);
    pass->max_lights = max_lights;
    pass->has_lamps = false;
    for (int i = 0; i < scene->object_count; i++)
        if (scene->objects[i].kind == Lamp) pass->has_lamps = true;
    pass->replay_copies = pass->copy_list != 0;
}

void viewer_pass_destroy(ViewerPass *pass)
{
    if (pass->copy_list) glDeleteLists(pass->copy_list, 1);
    pass->copy_list = 0;
}

// A copy's lamps light the copies after it until every light is taken; from
// then on a copy changes no state but the matrix stack's, and a recording of
// it stands for any of them.
static bool copies_alike(const ViewerPass *pass, const RenderState *state)
{
    return !pass->has_lamps || state->next_light < 0 || state->next_light >= pass->max_lights;
}

PassResult draw_pass(ViewerPass *pass, const Scene *scene, uint32_t texture, const char *camera_name, int frame,
                     int copy_count, RenderState *state)
{
    PassResult result;
    glBindTexture(GL_TEXTURE_2D, texture);
    result.found = apply_camera(scene, camera_name, frame);
    result.copies = 1;
    glPushMatrix();
    if (result.found) {
        draw_scene(scene, texture, frame, state);
        glPopMatrix();
        return result;
    }
    draw_scene(scene, texture, frame, state);
    bool recorded = false;
    for (int k = 1; k < copy_count; k++) {
        float x, y;
        grid_offset(k, &x, &y);
        glPushMatrix();
        glTranslatef(x, y, 0.0f);
        if (recorded) {
            glCallList(pass->copy_list);
        } else if (pass->replay_copies && k + 1 < copy_count && copies_alike(pass, state)) {
            glNewList(pass->copy_list, GL_COMPILE_AND_EXECUTE);
            draw_scene(scene, texture, frame, state);
            glEndList();
            recorded = true;
        } else {
            draw_scene(scene, texture, frame, state);
        }
        glPopMatrix();
        result.copies++;
    }
    glPopMatrix();
    return result;
}

int32_t wait_for_slot(int32_t last_tick)
{
    // A busy wait: the next pass starts as soon as the slot has passed.
    while ((int32_t)((uint32_t)get_ticks() - (uint32_t)last_tick) < SLOT_TICKS) {
    }
    return get_ticks();
}

}  // namespace orj
