/// @file
/// One pass of the viewer's frame loop: the drawing and the wait for the slot.
#pragma once

#include <cstdint>

#include "orj/core/scene/scene.h"
#include "orj/gl/display/render_state.h"

namespace orj {

/// What a pass keeps between passes: the display list that one copy of the
/// grid is recorded into, so that the other copies replay it.
struct ViewerPass {
    uint32_t copy_list;  ///< OpenGL display list name
    int max_lights;      ///< GL_MAX_LIGHTS
    bool has_lamps;      ///< the scene has a Lamp: its copies may set up lights
    bool replay_copies;  ///< false: every copy is drawn by draw_scene
};

/// Makes the pass's display list for scene (not kept). Needs the OpenGL
/// context. Pair with viewer_pass_destroy.
void viewer_pass_create(ViewerPass *pass, const Scene *scene);
/// Deletes the pass's display list; the context that made it must be current.
void viewer_pass_destroy(ViewerPass *pass);

/// What draw_pass drew.
struct PassResult {
    int found;   ///< the camera was found: one copy through it
    int copies;  ///< copies drawn in this pass
};

/// Binds the texture and looks for the camera; draws copy 0 at the current
/// matrix and, without the camera, copies 1 .. copy_count - 1 at grid_offset's
/// places. Once the copies' lamps can set up no further light, one copy is
/// recorded and the rest replay it: the same calls, pixel for pixel.
PassResult draw_pass(ViewerPass *pass, const Scene *scene, uint32_t texture, const char *camera_name, int frame,
                     int copy_count, RenderState *state);

/// Spins until 4 ticks have passed since last_tick; returns the new last tick.
int32_t wait_for_slot(int32_t last_tick);

}  // namespace orj
