// Drawing a loaded scene at one animation frame.
#pragma once

#include <cstdint>

#include "core/scene/scene.h"

// Binds texture and draws every root with its descendants at the current
// modelview matrix; leaves the matrix stack as it found it. A frame outside
// the scene's frames draws nothing.
void draw_scene(const Scene *scene, uint32_t texture, int frame);

// Draws object index and its descendants at frame.
void draw_object(const Scene *scene, int frame, int index);
