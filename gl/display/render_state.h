// The fixed render state of a frame: fog, projection, default view, material, light.
#pragma once

// Degrees; +1 per set_render_state. The viewer spins its default view by half of it.
extern float spin_angle;
// 1 while lamps' lights are to be enabled (KEY_L), 0 while off (KEY_P).
extern int lights_on;
// Offset from GL_LIGHT0 of the next lamp's light; 1 after every set_render_state.
extern int next_light;

// Presents the finished frame, clears it and re-sends the whole render state
// for the next one; leaves GL_MODELVIEW current holding the default view.
void set_render_state();
