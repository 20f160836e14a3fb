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

/// The square frustum of the 640 x 480 window (its picture stretched 4/3
/// across) is widened by this factor for a window of another shape, so that
/// every window shows the same picture as that one, with more of the scene at
/// the sides of a wider window instead of a further stretch: (W / H) / (4 / 3),
/// exactly 1 at 4:3 and for a size of 0 (no window).
double frustum_widening(int width, int height);

/// Presents the finished frame, clears it and re-sends the whole render state
/// for the next one; leaves GL_MODELVIEW current holding the default view.
/// Reads KEY_L and KEY_P into state->lights_on.
void set_render_state(RenderState *state);

}  // namespace orj
