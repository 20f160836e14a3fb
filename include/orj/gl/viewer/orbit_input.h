// The orbit camera's controls in the viewer: a drag with the mouse or the
// arrow keys turn it, the wheel or +/- bring it closer or further.
#pragma once

#include "orj/core/viewer/orbit.h"

namespace orj {

struct OrbitInput {
    bool mouse_present;  // a mouse was installed
    int dragging;        // a mouse button was down at the last reading
    int last_x, last_y;  // the pointer then
    int last_wheel;      // the wheel's position then
};

enum {
    ORBIT_KEY_DEGREES = 2,  // a turn for every pass an arrow key is held
};
constexpr float ORBIT_DRAG_DEGREES = 0.4f;  // a turn for every pixel dragged
constexpr float ORBIT_ZOOM_STEP = 0.9f;     // distance factor a wheel notch (or a pass of +) gives

// Installs the mouse (the viewer runs on without one) and takes its state.
void orbit_input_start(OrbitInput *input);
// Reads the keys and the mouse once a pass and moves camera accordingly.
void orbit_read_input(OrbitCamera *camera, OrbitInput *input);
// Loads the camera's view as the modelview matrix.
void apply_orbit_camera(const OrbitCamera *camera);

}  // namespace orj
