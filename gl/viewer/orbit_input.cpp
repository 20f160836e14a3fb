#include "orj/gl/viewer/orbit_input.h"

#include <allegro.h>
#include <alleggl.h>

namespace orj {

static void read_mouse(int *x, int *y, int *buttons, int *wheel)
{
    if (mouse_needs_poll()) poll_mouse();
    *x = mouse_x;
    *y = mouse_y;
    *buttons = mouse_b;
    *wheel = mouse_z;
}

void orbit_input_start(OrbitInput *input)
{
    *input = OrbitInput();
    input->mouse_present = install_mouse() >= 0;
    if (!input->mouse_present) return;
    int buttons = 0;
    read_mouse(&input->last_x, &input->last_y, &buttons, &input->last_wheel);
}

void orbit_read_input(OrbitCamera *camera, OrbitInput *input)
{
    if (keyboard_needs_poll()) poll_keyboard();
    float yaw = 0.0f, pitch = 0.0f;
    if (key[KEY_LEFT]) yaw -= ORBIT_KEY_DEGREES;
    if (key[KEY_RIGHT]) yaw += ORBIT_KEY_DEGREES;
    if (key[KEY_UP]) pitch += ORBIT_KEY_DEGREES;
    if (key[KEY_DOWN]) pitch -= ORBIT_KEY_DEGREES;
    if (key[KEY_PLUS_PAD] || key[KEY_EQUALS]) orbit_zoom(camera, ORBIT_ZOOM_STEP);
    if (key[KEY_MINUS_PAD] || key[KEY_MINUS]) orbit_zoom(camera, 1.0f / ORBIT_ZOOM_STEP);

    if (input->mouse_present) {
        int x, y, buttons, wheel;
        read_mouse(&x, &y, &buttons, &wheel);
        // Dragging right turns the scene right: the eye goes left round it.
        if (buttons && input->dragging) {
            yaw -= (x - input->last_x) * ORBIT_DRAG_DEGREES;
            pitch += (y - input->last_y) * ORBIT_DRAG_DEGREES;
        }
        // A wild jump of the wheel counts as a few notches: the zoom stops at its bounds anyway.
        long notches = (long)wheel - input->last_wheel;
        for (long n = 0; n < notches && n < 100; n++) orbit_zoom(camera, ORBIT_ZOOM_STEP);
        for (long n = 0; n > notches && n > -100; n--) orbit_zoom(camera, 1.0f / ORBIT_ZOOM_STEP);
        input->dragging = buttons != 0;
        input->last_x = x;
        input->last_y = y;
        input->last_wheel = wheel;
    }
    if (yaw != 0.0f || pitch != 0.0f) orbit_turn(camera, yaw, pitch);
}

void apply_orbit_camera(const OrbitCamera *camera)
{
    float matrix[16];
    orbit_view_matrix(camera, matrix);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(matrix);
}

}  // namespace orj
