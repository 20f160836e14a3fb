#include "gl/viewer/viewer_pass.h"

#include <allegro.h>
#include <alleggl.h>

#include "core/viewer/playback.h"
#include "gl/viewer/ticks.h"
#include "gl/render/camera.h"
#include "gl/render/draw.h"

PassResult draw_pass(const Scene *scene, uint32_t texture, const char *camera_name, int frame, int copy_count)
{
    PassResult result;
    glBindTexture(GL_TEXTURE_2D, texture);
    result.found = apply_camera(scene, camera_name, frame);
    glPushMatrix();
    draw_scene(scene, texture, frame);
    result.copies = 1;
    if (!result.found) {
        // Columns of 30 copies going down y, each column 10 units further along -x.
        for (int k = 1; k < copy_count; k++) {
            glTranslatef(0.0f, -10.0f, 0.0f);
            if (k % GRID_COLUMN == 0) {
                glPopMatrix();
                glTranslatef(-10.0f, 0.0f, 0.0f);
                glPushMatrix();
            }
            draw_scene(scene, texture, frame);
            result.copies++;
        }
    }
    glPopMatrix();
    return result;
}

int32_t wait_for_slot(int32_t last_tick)
{
    // A busy wait: the next pass starts as soon as the slot has passed.
    while ((int32_t)((uint32_t)get_ticks() - (uint32_t)last_tick) < 4) {
    }
    return get_ticks();
}
