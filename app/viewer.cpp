// The scene viewer: plays an animated scene through its cameras, or, without
// the chosen camera, draws as many copies as fit in a frame and reports the
// polygon throughput at exit.
#include <allegro.h>
#include <alleggl.h>

#include <cstdio>
#include <string>

#include "gl/viewer/keys.h"
#include "gl/viewer/orbit_input.h"
#include "core/viewer/options.h"
#include "core/viewer/orbit.h"
#include "core/viewer/record_name.h"
#include "core/viewer/playback.h"
#include "core/viewer/report_json.h"
#include "gl/viewer/ticks.h"
#include "gl/viewer/viewer_pass.h"
#include "gl/display/display.h"
#include "gl/display/message.h"
#include "gl/display/render_state.h"
#include "gl/display/screenshot.h"
#include "gl/render/draw.h"
#include "gl/render/texture.h"
#include "core/scene/scene.h"
#include "core/base/version.h"

int main(int argc, char **argv)
{
    if (print_version_if_asked(argc, argv, "viewer")) return 0;
    ViewerOptions options;
    std::string error;
    switch (parse_viewer_options(argc, argv, &options, &error)) {
    case OPTIONS_HELP:
        fputs(viewer_usage(), stdout);
        return 0;
    case OPTIONS_BAD:
        fprintf(stderr, "viewer: %s\n%s", error.c_str(), viewer_usage());
        return 2;
    case OPTIONS_RUN:
        break;
    }

    int frame = 0;
    bool orbiting = options.camera == ORBIT_CAMERA_KEY;
    int camera = orbiting ? 4 : options.camera;
    int copy_count = 1;

    init_display(0, 640, 480);
    install_keys();
    install_ticks();

    Scene scene;
    if (!load_scene(&scene, options.scene_path)) {
        allegro_exit();
        return 1;
    }
    if (scene.frame_count < 1) {
        show_message("%s: the scene has no frames to play", options.scene_path);
        destroy_scene(&scene);
        allegro_exit();
        return 1;
    }
    uint32_t texture = load_texture(options.texture_path);
    // The orbit camera's bounds and mouse are set up the first time it is chosen.
    OrbitCamera orbit = {};
    OrbitInput orbit_input = {};
    bool orbit_ready = false;

    int32_t last_tick = 0;
    int32_t start_tick = get_ticks();
    int32_t frames_shown = 0;
    PassResult last_pass = {0, 0};
    int64_t polygons_drawn = 0;
    // Allocated before the loop: a pass allocates nothing.
    Screenshot shot = {0, 0, nullptr, 0};
    if (options.screenshot_path || options.record_pattern) screenshot_create(&shot);
    int status = 0;

    for (;;) {
        if (key[KEY_A]) break;
        if (run_limit_reached(&options.limits, frames_shown, get_ticks() - start_tick)) break;

        bool digit_held[CAMERA_SLOTS];
        for (int d = 0; d < CAMERA_SLOTS; d++) digit_held[d] = key[KEY_0 + d] != 0;
        camera = choose_camera(camera, digit_held);
        for (int d = 0; d < CAMERA_SLOTS; d++)
            if (digit_held[d]) orbiting = false;
        if (key[KEY_0 + ORBIT_CAMERA_KEY]) orbiting = true;

        if (orbiting && !orbit_ready) {
            orbit = orbit_frame_scene(&scene);
            orbit_input_start(&orbit_input);
            orbit_ready = true;
        }
        if (orbiting) {
            orbit_read_input(&orbit, &orbit_input);
            apply_orbit_camera(&orbit);
            draw_scene(&scene, texture, frame);
            last_pass = {1, 1};
        } else {
            last_pass = draw_pass(&scene, texture, camera_names[camera], frame, copy_count);
        }
        if (last_pass.found) copy_count = 0;
        polygons_drawn += (int64_t)scene.polygon_count * last_pass.copies;
        copy_count = adapt_copy_count(copy_count, get_ticks(), last_tick);

        last_tick = wait_for_slot(last_tick);

        // The pass's picture, just before set_render_state presents it.
        if (options.screenshot_path || options.record_pattern) screenshot_capture(&shot);
        if (options.record_pattern) {
            char name[4096];
            if (!record_file_name(options.record_pattern, frames_shown, name, sizeof name) || !screenshot_save(&shot, name)) {
                status = 1;
                break;
            }
        }

        frame = advance_frame(frame, scene.frame_count);
        glMatrixMode(GL_MODELVIEW);
        set_render_state();
        glRotatef(spin_angle / 2.0f, 0.0f, 1.0f, 0.0f);
        frames_shown++;
    }

    int32_t end_tick = get_ticks();
    int copies = last_pass.found ? 1 : copy_count;
    Report report = make_report(scene.polygon_count, copies, frames_shown, start_tick, end_tick);
    char report_text[REPORT_SIZE];
    format_report(report_text, sizeof report_text, &report);
    printf("%s\n", report_text);
    fflush(stdout);

    if (options.screenshot_path && frames_shown > 0 && !screenshot_save(&shot, options.screenshot_path)) status = 1;
    screenshot_destroy(&shot);
    if (options.report_json_path) {
        ReportExtras extras;
        extras.copies = last_pass.copies;
        extras.polygon_count = scene.polygon_count;
        extras.measured_polygons_per_second = report.seconds > 0.0f ? (double)polygons_drawn / report.seconds : 0.0;
        extras.renderer = (const char *)glGetString(GL_RENDERER);
        if (!write_report_json(options.report_json_path, &report, &extras)) {
            show_message("%s: cannot write the report", options.report_json_path);
            status = 1;
        }
    }

    destroy_scene(&scene);
    set_render_state();

    // The matrix dump is composed into the report buffer and shown nowhere.
    float matrix[16];
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glScalef(2.0f, 2.0f, 2.0f);
    glRotatef(90.0f, 0.0f, 0.0f, 1.0f);
    glTranslatef(10.0f, 100.0f, 1000.0f);
    glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
    format_matrix_dump(report_text, sizeof report_text, matrix);

    allegro_exit();
    return status;
}
END_OF_MAIN()
