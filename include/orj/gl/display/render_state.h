/// @file
/// The fixed render state of a frame: fog, projection, default view, material, light.
#pragma once

namespace orj {

/// What the drawing carries from frame to frame; the caller owns it (one per
/// window) and hands it to set_render_state and the drawing functions.
struct RenderState {
    /// Degrees; +1 per set_render_state. The viewer spins its default view by half of it.
    float spin_angle = 0.0f;
    /// 1 while lamps' lights are to be enabled (KEY_L), 0 while off (KEY_P).
    int lights_on = 1;
    /// Offset from GL_LIGHT0 of the next lamp's light; 1 after every set_render_state.
    int next_light = 0;
};

/// Presents the finished frame, clears it and re-sends the whole render state
/// for the next one; leaves GL_MODELVIEW current holding the default view.
/// Reads KEY_L and KEY_P into state->lights_on.
void set_render_state(RenderState *state);

}  // namespace orj
