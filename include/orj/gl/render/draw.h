/// @file
/// Drawing a loaded scene at one animation frame.
#pragma once

#include <cstdint>

#include "orj/core/scene/scene.h"
#include "orj/gl/display/render_state.h"

namespace orj {

/// Binds texture and draws every root with its descendants at the current
/// modelview matrix; leaves the matrix stack as it found it. A frame outside
/// the scene's frames draws nothing. Each lamp takes the light state->next_light
/// (and moves it on), enabled when state->lights_on.
void draw_scene(const Scene *scene, uint32_t texture, int frame, RenderState *state);

/// Draws object index and its descendants at frame. Below a scale other than
/// 1 normals are brought back to unit length (GL_NORMALIZE), and left so after.
void draw_object(const Scene *scene, int frame, int index, RenderState *state);

}  // namespace orj
