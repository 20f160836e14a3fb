// A scene viewer on the engine: opens a window, loads a scene and its
// texture, and plays the animation through an orbit camera (arrow keys or a
// mouse drag turn it, the wheel or +/- move it) until Esc, or for N frames
// with --frames N.   usage: scene_viewer [--frames N] [SCENE TEXTURE]
#include <cstdlib>
#include <cstring>

#include <orj/core/viewer/orbit.h>
#include <orj/gl/display/display.h>
#include <orj/gl/display/render_state.h>
#include <orj/gl/render/draw.h>
#include <orj/gl/render/texture.h>
#include <orj/gl/scene/scene_load.h>
#include <orj/gl/viewer/keys.h>
#include <orj/gl/viewer/orbit_input.h>
#include <orj/gl/viewer/ticks.h>
#include <orj/gl/viewer/viewer_pass.h>

using namespace orj;

int main(int argc, char **argv)
{
    int frames = -1;  // no limit
    if (argc > 2 && strcmp(argv[1], "--frames") == 0) {
        frames = atoi(argv[2]);
        argc -= 2, argv += 2;
    }
    const char *scene_path = argc > 2 ? argv[1] : SAMPLE_DATA "/fiche.orj";
    const char *texture_path = argc > 2 ? argv[2] : SAMPLE_DATA "/texturarobot2.tga";

    if (!init_display(0, 640, 480)) return 1;  // the message says why
    install_ticks();
    Scene scene;
    if (!load_scene(&scene, scene_path) || scene.frame_count < 1) return 1;
    uint32_t texture = load_texture(texture_path);  // 0 (drawn untextured) after a message

    OrbitCamera camera = orbit_frame_scene(&scene);
    OrbitInput input;
    orbit_input_start(&input);
    RenderState state;
    set_render_state(&state);  // the fixed lights, fog and projection of every frame

    int32_t tick = get_ticks();
    for (int frame = 0; frame != frames && !key_held(Key::ESCAPE); frame++) {
        orbit_read_input(&camera, &input);
        apply_orbit_camera(&camera);
        draw_scene(&scene, texture, frame % scene.frame_count, &state);
        tick = wait_for_slot(tick);  // one frame every 40 ms
        set_render_state(&state);    // shows the frame, starts the next
    }
    destroy_texture(texture);
    destroy_scene(&scene);
    return 0;
}
