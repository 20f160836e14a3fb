// One pass of the viewer's frame loop: the drawing and the wait for the slot.
#pragma once

#include <cstdint>

#include "core/scene/scene.h"

struct PassResult {
    int found;   // the camera was found: one copy through it
    int copies;  // copies drawn in this pass
};

// Binds the texture and looks for the camera; draws copy 0 at the current
// matrix and, without the camera, copies 1 .. copy_count - 1 in the grid.
PassResult draw_pass(const Scene *scene, uint32_t texture, const char *camera_name, int frame, int copy_count);

// Spins until 4 ticks have passed since last_tick; returns the new last tick.
int32_t wait_for_slot(int32_t last_tick);
