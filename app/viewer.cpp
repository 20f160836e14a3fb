// The scene viewer: plays an animated scene through its cameras, or, without
// the chosen camera, draws as many copies as fit in a frame and reports the
// polygon throughput at exit.
#include <allegro.h>
#include <alleggl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "orj/core/base/command_line.h"
#include "orj/core/base/data_path.h"
#include "orj/core/base/signals.h"
#include "orj/core/base/version.h"
#include "orj/core/scene/scene.h"
#include "orj/core/viewer/benchmark.h"
#include "orj/core/viewer/options.h"
#include "orj/core/viewer/orbit.h"
#include "orj/core/viewer/playback.h"
#include "orj/core/viewer/record_name.h"
#include "orj/core/viewer/report_json.h"
#include "orj/core/viewer/viewer_outputs.h"
#include "orj/gl/display/display.h"
#include "orj/gl/display/ending.h"
#include "orj/gl/display/message.h"
#include "orj/gl/display/render_state.h"
#include "orj/gl/display/screenshot.h"
#include "orj/gl/render/draw.h"
#include "orj/gl/render/texture.h"
#include "orj/gl/scene/scene_load.h"
#include "orj/gl/viewer/keys.h"
#include "orj/gl/viewer/orbit_input.h"
#include "orj/gl/viewer/ticks.h"
#include "orj/gl/viewer/viewer_pass.h"
#ifdef ORJ_HISTORY
#include "app/results_store.h"
#endif

using namespace orj;

// An hour of passes at 25 a second: records are kept without allocating in the loop.
static const size_t RECORDS_RESERVED = (size_t)25 * 3600;

struct Viewer {
    ViewerOptions options;
    std::string scene_picture;  // the texture named like the scene beside it, when --texture names none
    Scene scene;
    uint32_t texture;
    ViewerPass pass;
    RenderState render;
    KeyTables keys;
    Screenshot shot;  // allocated before the loop: a pass allocates nothing
    OrbitCamera orbit;
    OrbitInput orbit_input;
    bool orbiting;     // the orbit camera is chosen (key 6)
    bool orbit_ready;  // its bounds and mouse are set up, the first time it is chosen

    int frame;
    int camera;
    CopyCount copies;  // the grid's count, which the library's ramp sets
    PassResult last_pass;

    int32_t last_tick;
    int32_t start_tick;
    int32_t frames_shown;
    int32_t camera_passes;  // passes through a camera: such a run is no benchmark of the grid
    double start_seconds;   // steady clock at the start tick
    double slot_start;      // steady clock when the pass's slot began
    std::vector<PassRecord> records;

    bool progress;
    double progress_at;        // when the last progress line was due
    double progress_polygons;  // polygons drawn since then
};

static double now_seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

static const char *gl_text(GLenum name)
{
    const char *text = (const char *)glGetString(name);
    return text ? text : "";
}

// The display, keys, timer, scene and texture. False (after a message) when
// the scene cannot be played.
static bool start_viewer(Viewer *viewer)
{
    // The file is read while the window opens; its messages come after the window's.
    SceneReading reading;
    scene_reading_start(&reading, viewer->options.scene_path);
    if (!init_display(viewer->options.fullscreen ? 1 : 0, viewer->options.width, viewer->options.height)) {
        scene_reading_finish(&reading, nullptr);
        return false;
    }
    viewer->options.width = SCREEN_W;
    viewer->options.height = SCREEN_H;
    install_keys(&viewer->keys);
    install_ticks();
    if (!scene_reading_finish(&reading, &viewer->scene)) return false;
    if (viewer->scene.frame_count < 1) {
        show_message("%s: the scene has no frames to play", viewer->options.scene_path);
        destroy_scene(&viewer->scene);
        return false;
    }
    viewer->texture = load_texture(viewer->options.texture_path);
    viewer_pass_create(&viewer->pass, &viewer->scene);
    viewer->orbit = {};
    viewer->orbit_input = {};
    viewer->orbit_ready = false;
    viewer->shot = {0, 0, nullptr, 0};
    if (viewer->options.screenshot_path || viewer->options.record_pattern) screenshot_create(&viewer->shot);
    viewer->records.reserve(RECORDS_RESERVED);

    viewer->frame = 0;
    viewer->orbiting = viewer->options.camera == ORBIT_CAMERA_KEY;
    viewer->camera = viewer->orbiting ? FIRST_CAMERA : viewer->options.camera;
    viewer->copies = copy_count_create(viewer->options.ramp, viewer->options.fixed_copies, viewer->options.pace);
    viewer->last_pass = {0, 0};
    viewer->last_tick = 0;
    viewer->frames_shown = 0;
    viewer->camera_passes = 0;
    viewer->progress = viewer->options.progress < 0 ? isatty(STDERR_FILENO) != 0 : viewer->options.progress != 0;
    if (viewer->progress)
        fprintf(stderr, "viewer: renderer %s, OpenGL %s, %s\n", gl_text(GL_RENDERER), gl_text(GL_VERSION),
                gl_text(GL_VENDOR));
    viewer->start_tick = get_ticks();
    viewer->start_seconds = now_seconds();
    viewer->slot_start = viewer->start_seconds;
    viewer->progress_at = viewer->start_seconds;
    viewer->progress_polygons = 0.0;
    return true;
}

static void choose_view(Viewer *viewer)
{
    bool digit_held[CAMERA_SLOTS];
    for (int d = 0; d < CAMERA_SLOTS; d++) digit_held[d] = key[KEY_0 + d] != 0;
    viewer->camera = choose_camera(viewer->camera, digit_held);
    for (int d = 0; d < CAMERA_SLOTS; d++)
        if (digit_held[d]) viewer->orbiting = false;
    if (key[KEY_0 + ORBIT_CAMERA_KEY]) viewer->orbiting = true;
}

// One copy through the orbit camera, or the pass through the chosen camera
// or in the benchmark grid.
static PassResult draw_view(Viewer *viewer)
{
    if (viewer->orbiting && !viewer->orbit_ready) {
        viewer->orbit = orbit_frame_scene(&viewer->scene);
        orbit_input_start(&viewer->orbit_input);
        viewer->orbit_ready = true;
    }
    if (viewer->orbiting) {
        orbit_read_input(&viewer->orbit, &viewer->orbit_input);
        apply_orbit_camera(&viewer->orbit);
        draw_scene(&viewer->scene, viewer->texture, viewer->frame, &viewer->render);
        return {1, 1};
    }
    return draw_pass(&viewer->pass, &viewer->scene, viewer->texture, camera_names[viewer->camera], viewer->frame,
                     viewer->copies.count, &viewer->render);
}

// Saves the pass's picture under --record's pattern; false, after a message,
// when it cannot. The first pass draws before any render state has been set
// (the window's start-up state, black through a camera), so the recording
// starts with the second pass's picture, numbered 0.
static bool record_pass(Viewer *viewer)
{
    if (viewer->frames_shown == 0) return true;
    char name[4096];
    Error error;
    if (!record_file_name(viewer->options.record_pattern, viewer->frames_shown - 1, name, sizeof name))
        set_error(&error, ERROR_REFUSED, viewer->options.record_pattern, 0, "is no name for recorded pictures");
    else if (screenshot_save(&viewer->shot, name, &error) == ERROR_NONE) return true;
    show_message("%s", error.message.c_str());
    return false;
}

static void show_progress(Viewer *viewer, double now)
{
    viewer->progress_polygons += (double)viewer->scene.polygon_count * viewer->last_pass.copies;
    if (!viewer->progress || now - viewer->progress_at < 1.0) return;
    char line[160];
    format_progress(line, sizeof line, now - viewer->start_seconds, viewer->last_pass.copies,
                    viewer->progress_polygons / (now - viewer->progress_at), copy_count_settled(&viewer->copies));
    fprintf(stderr, "%s\n", line);
    viewer->progress_at = now;
    viewer->progress_polygons = 0.0;
}

// One pass; false when its picture could not be recorded.
static bool run_pass(Viewer *viewer)
{
    choose_view(viewer);
    viewer->last_pass = draw_view(viewer);
    if (viewer->options.extra_pass_ms > 0.0)
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(viewer->options.extra_pass_ms));
    if (viewer->orbiting || viewer->last_pass.found) viewer->camera_passes++;
    int32_t now = get_ticks();
    PassRecord record;
    record.copies = viewer->last_pass.copies;
    record.tick = now - viewer->start_tick;
    record.pass_ms = (float)(1000.0 * (now_seconds() - viewer->slot_start));
    record.fitted =
        copy_count_judge(&viewer->copies, viewer->last_pass.found != 0, now, viewer->last_tick, record.pass_ms);
    record.settled = copy_count_settled(&viewer->copies);

    viewer->last_tick = viewer->options.pace == PACE_NONE ? now : wait_for_slot(viewer->last_tick);
    viewer->slot_start = now_seconds();

    // The pass's picture, just before set_render_state presents it.
    if (viewer->options.screenshot_path || viewer->options.record_pattern) screenshot_capture(&viewer->shot);
    if (viewer->options.record_pattern && !record_pass(viewer)) return false;

    viewer->frame = advance_frame(viewer->frame, viewer->scene.frame_count);
    glMatrixMode(GL_MODELVIEW);
    set_render_state(&viewer->render);
    glRotatef(viewer->render.spin_angle / 2.0f, 0.0f, 1.0f, 0.0f);
    viewer->frames_shown++;

    double shown = now_seconds();
    record.end_seconds = shown - viewer->start_seconds;
    viewer->records.push_back(record);
    show_progress(viewer, shown);
    return true;
}

static std::string utc_now()
{
    char text[32];
    format_utc_timestamp(text, sizeof text, (int64_t)time(nullptr));
    return text;
}

// Adds a run of the benchmark grid to the history. A failure is reported and
// the figures stand; it fails the run only when the history was named
// (--results-db), as a report that cannot be written does.
static int keep_run(const Viewer *viewer, const std::string &report_json, int status)
{
    const ViewerOptions &options = viewer->options;
    if (!options.save_run || viewer->camera_passes > 0 || viewer->frames_shown == 0) return status;
#ifdef ORJ_HISTORY
    std::string path;
    if (options.results_path) path = options.results_path;
    else if (!default_results_path(&path)) {
        fprintf(stderr,
                "viewer: the run is not kept in the history: " RESULTS_PLACE_UNKNOWN " (give --results-db PATH, "
                "or --no-save)\n");
        return status;
    }
    ResultsStore store;
    Error error;
    int64_t id = 0;
    if (results_open(&store, path.c_str(), true, !options.results_path, &error) == ERROR_NONE)
        results_add(&store, report_json, &id, &error);
    results_close(&store);
    if (error.kind == ERROR_NONE) return status;
    fprintf(stderr, "viewer: %s; the run is not kept in the history\n", error.message.c_str());
#else
    (void)report_json;
    if (!options.results_path) return status;
    fprintf(stderr, "viewer: %s: this build keeps no history of runs (it was built without SQLite)\n",
            options.results_path);
#endif
    return options.results_path ? 1 : status;
}

// The report line and the measured figures on standard output, then the
// screenshot, JSON report and trace asked for, and the run in the history.
// Returns the exit status: 1 when any of them failed, else status.
static int report_run(Viewer *viewer, int status)
{
    int32_t end_tick = get_ticks();
    double run_seconds = now_seconds() - viewer->start_seconds;
    int32_t copies = copy_count_reported(&viewer->copies, viewer->frames_shown, viewer->last_pass.found != 0);
    Report report =
        make_report(viewer->scene.polygon_count, copies, viewer->frames_shown, viewer->start_tick, end_tick);
    BenchmarkSummary summary = summarize_passes(viewer->records.data(), (int32_t)viewer->records.size(),
                                                viewer->scene.polygon_count, run_seconds);
    char report_text[REPORT_SIZE];
    format_report(report_text, sizeof report_text, &report);
    printf("%s\n", report_text);
    char summary_text[300];
    format_summary(summary_text, sizeof summary_text, &summary);
    printf("%s\n", summary_text);
    fflush(stdout);

    const ViewerOptions &options = viewer->options;
    Error error;
    if (options.screenshot_path && viewer->frames_shown > 0 &&
        screenshot_save(&viewer->shot, options.screenshot_path, &error) != ERROR_NONE) {
        show_message("%s", error.message.c_str());
        status = 1;
    }
    std::string timestamp = utc_now();
    ReportRun run = {copies,
                     viewer->scene.polygon_count,
                     summary,
                     &options,
                     gl_text(GL_RENDERER),
                     gl_text(GL_VERSION),
                     gl_text(GL_VENDOR),
                     ORJ_VERSION,
                     timestamp.c_str()};
    if (options.report_json_path && write_report_json(options.report_json_path, &report, &run, &error) != ERROR_NONE) {
        show_message("%s", error.message.c_str());
        status = 1;
    }
    if (options.trace_path &&
        write_trace_csv(options.trace_path, viewer->records.data(), (int32_t)viewer->records.size(),
                        viewer->scene.polygon_count, &error) != ERROR_NONE) {
        show_message("%s", error.message.c_str());
        status = 1;
    }
    return keep_run(viewer, format_report_json(&report, &run), status);
}

// The matrix dump is composed into the report buffer and shown nowhere.
static void compose_matrix_dump()
{
    char text[REPORT_SIZE];
    float matrix[16];
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glScalef(2.0f, 2.0f, 2.0f);
    glRotatef(90.0f, 0.0f, 0.0f, 1.0f);
    glTranslatef(10.0f, 100.0f, 1000.0f);
    glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
    format_matrix_dump(text, sizeof text, matrix);
}

int main(int argc, char **argv)
{
    static Viewer viewer;
    std::string error;
    OptionsResult parsed = parse_viewer_options(argc, argv, &viewer.options, &error);
    int answer = command_line_answer("viewer", parsed, error, viewer_usage());
    if (answer >= 0) return answer;
    // Outside the source tree the installed sample data stands in for data/.
    std::string scene_path = find_data_file(viewer.options.scene_path);
    std::string texture_path = find_data_file(viewer.options.texture_path);
    viewer.options.scene_path = scene_path.c_str();
    viewer.options.texture_path = texture_path.c_str();

    if (!viewer.options.texture_given) {
        viewer.scene_picture = picture_beside_scene(viewer.options.scene_path);
        if (!viewer.scene_picture.empty()) viewer.options.texture_path = viewer.scene_picture.c_str();
    }
    // Every output is tried before the window opens: a run never ends in one it cannot write.
    Error output_error;
    if (check_viewer_outputs(&viewer.options, &output_error) != ERROR_NONE) {
        fprintf(stderr, "viewer: %s\n", output_error.message.c_str());
        return 1;
    }
    // Before the window opens: a signal from then on ends the run as A does.
    install_signal_ending(SIGNALS_NOTE_FIRST);
    if (!start_viewer(&viewer)) {
        allegro_exit();
        return 1;
    }
    int status = 0;
    for (;;) {
        if (ending_requested() != END_NONE) break;
        if (run_limit_reached(&viewer.options.limits, viewer.frames_shown, get_ticks() - viewer.start_tick)) break;
        if (!run_pass(&viewer)) {
            status = 1;
            break;
        }
    }
    status = report_run(&viewer, status);

    screenshot_destroy(&viewer.shot);
    viewer_pass_destroy(&viewer.pass);
    destroy_scene(&viewer.scene);
    set_render_state(&viewer.render);
    compose_matrix_dump();
    allegro_exit();
    if (signal_ending_received() != 0) end_with_signal(signal_ending_received());
    return status;
}
END_OF_MAIN()
