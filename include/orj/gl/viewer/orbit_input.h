/// @file
/// The orbit camera's controls in the viewer: a drag with the mouse or the
/// arrow keys turn it, the wheel or +/- bring it closer or further.
#pragma once

#include "orj/core/viewer/orbit.h"

namespace orj {

/// What the controls last read, between passes; a plain value the caller
/// keeps (orbit_input_start fills it).
struct OrbitInput {
    bool mouse_present;  ///< a mouse was installed
    int dragging;        ///< a mouse button was down at the last reading
    int last_x;          ///< the pointer's x then, in pixels
    int last_y;          ///< the pointer's y then, in pixels
    int last_wheel;      ///< the wheel's position then, in notches
};

/// The keys' turning speed.
enum {
    ORBIT_KEY_DEGREES = 2,  ///< degrees of turn for every pass an arrow key is held
};
/// Degrees of turn for every pixel dragged.
constexpr float ORBIT_DRAG_DEGREES = 0.4f;
/// Distance factor of a wheel notch that brings the camera closer (or of a
/// pass with + held); a notch the other way, or -, divides by it.
constexpr float ORBIT_ZOOM_STEP = 0.9f;

/// Installs Allegro's mouse (the viewer runs on without one) and takes its
/// state. The display must be open (init_display).
void orbit_input_start(OrbitInput *input);
/// Reads the keys and the mouse once a pass and moves camera accordingly:
/// arrows and a drag turn it, +/- (keypad or main keys) and the wheel zoom.
void orbit_read_input(OrbitCamera *camera, OrbitInput *input);
/// Loads the camera's view as OpenGL's modelview matrix (the matrix mode is
/// left at GL_MODELVIEW).
void apply_orbit_camera(const OrbitCamera *camera);

}  // namespace orj
