// The viewer as a benchmark, measured against itself on this display. Every
// path draws through the engine's own draw_scene / draw_pass, so that none
// can drift from what the viewer does:
//  1. triangles per second of the viewer's pass in the benchmark grid, with
//     the frame's render state, against the same pass over reference display
//     lists that hold each mesh as one indexed triangle list;
//  2. the cost of a copy once rasterization costs nothing (every face culled,
//     as on a GPU that rasterizes for free): the viewer's pass, which records
//     one copy and replays it, against drawing each copy through draw_scene,
//     and against the fewest calls OpenGL 1.1 allows (each animation frame's
//     copy compiled once into a display list: one call a copy);
//  3. the grid's copy count after a run of the viewer's pass loop, with the
//     spinning wait for the slot against waits that give up the processor.
// Usage: bench_render [--short] [--per-copy] [--progress|--quiet] [--scene PATH] [--texture PATH]
#include <allegro.h>
#include <alleggl.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "orj/core/base/command_line.h"
#include "orj/core/scene/scene.h"
#include "orj/core/viewer/benchmark.h"
#include "orj/core/viewer/playback.h"
#include "orj/core/viewer/progress.h"
#include "orj/gl/display/display.h"
#include "orj/gl/display/render_state.h"
#include "orj/gl/render/draw.h"
#include "orj/gl/render/texture.h"
#include "orj/gl/viewer/ticks.h"
#include "orj/gl/viewer/viewer_pass.h"
#include "orj/gl/scene/scene_load.h"

using namespace orj;

// The drawing state of the one window these run in.
static RenderState render;

static double now_seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

static BenchProgress *progress;

// ---- Reference geometry: each mesh's triangles as one indexed list, corners
// with equal vertex and texture coordinate shared, compiled from vertex arrays.

struct Corner {
    float position[3];
    float normal[3];
    float tex[2];
};

static uint32_t make_indexed_list(const SceneObject *object)
{
    std::vector<Corner> corners;
    std::vector<uint32_t> indices;
    std::map<std::tuple<int, float, float>, uint32_t> shared;
    auto corner = [&](int v, TexCoord tex) {
        auto key = std::make_tuple(v, tex.s, tex.t);
        auto found = shared.find(key);
        if (found != shared.end()) return found->second;
        const Vector3 &p = object->vertices[v], &n = object->normals[v];
        corners.push_back({{p.x, p.y, p.z}, {n.x, n.y, n.z}, {tex.s, tex.t}});
        return shared[key] = (uint32_t)corners.size() - 1;
    };
    // A quad as its fan's two triangles: corners 0 1 2, then 0 2 3.
    for (int q = 0; q < object->quad_count; q++) {
        const Quad &quad = object->quads[q];
        uint32_t c[4];
        for (int k = 0; k < 4; k++) c[k] = corner(quad.corners[k], quad.tex_coords[k]);
        indices.insert(indices.end(), {c[0], c[1], c[2], c[0], c[2], c[3]});
    }
    for (int t = 0; t < object->triangle_count; t++)
        for (int k = 0; k < 3; k++)
            indices.push_back(corner(object->triangles[t].corners[k], object->triangles[t].tex_coords[k]));

    uint32_t list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    if (!indices.empty()) {
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_NORMAL_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glVertexPointer(3, GL_FLOAT, sizeof(Corner), corners[0].position);
        glNormalPointer(GL_FLOAT, sizeof(Corner), corners[0].normal);
        glTexCoordPointer(2, GL_FLOAT, sizeof(Corner), corners[0].tex);
        glDrawElements(GL_TRIANGLES, (GLsizei)indices.size(), GL_UNSIGNED_INT, indices.data());
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_NORMAL_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    glEndList();
    return list;
}

// One small triangle in place of a mesh: a draw call whose vertices cost
// nothing, as on a GPU, leaving the engine's and the driver's work a copy.
static uint32_t make_triangle_list()
{
    uint32_t list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBegin(GL_TRIANGLES);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(0.1f, 0.0f, 0.0f);
    glVertex3f(0.0f, 0.1f, 0.0f);
    glEnd();
    glEndList();
    return list;
}

// ---- 1. Throughput.

enum Path {
    VIEWER,
    REFERENCE,
    PATH_COUNT
};
static const char *path_names[PATH_COUNT] = {"viewer (its display lists)", "reference (indexed triangle lists)"};

struct Throughput {
    double triangles;
    double seconds;
};

static void run_throughput(ViewerPass *pass, const Scene *scene, uint32_t texture, int copies, double seconds,
                           Throughput *total)
{
    int frame = 1;
    int frames = 0;
    set_render_state(&render);
    glFinish();
    double start = now_seconds();
    while (now_seconds() - start < seconds) {
        draw_pass(pass, scene, texture, camera_names[FIRST_CAMERA], frame, copies, &render);
        frame = advance_frame(frame, scene->frame_count);
        glMatrixMode(GL_MODELVIEW);
        set_render_state(&render);
        glRotatef(render.spin_angle / 2.0f, 0.0f, 1.0f, 0.0f);
        frames++;
    }
    glFinish();
    total->seconds += now_seconds() - start;
    total->triangles += (double)scene->polygon_count * copies * frames;
}

// ---- 2. The cost of a copy without rasterization.

enum CopyPath {
    COPY_VIEWER,
    COPY_EACH,
    COPY_REFERENCE,
    COPY_PATH_COUNT
};
static const char *copy_path_names[COPY_PATH_COUNT] = {
    "viewer (one copy recorded, the rest replay it)",
    "every copy through draw_scene",
    "reference (one compiled list a frame, one call a copy)",
};

// Each frame's copy compiled once, with every light already taken (as in the
// grid's later copies): the engine's own calls, one glCallList to replay them.
static uint32_t make_frame_lists(const Scene *scene, uint32_t texture, int max_lights)
{
    uint32_t base = glGenLists(scene->frame_count);
    int saved = render.next_light;
    for (int f = 0; f < scene->frame_count; f++) {
        render.next_light = max_lights;
        glNewList(base + f, GL_COMPILE);
        draw_scene(scene, texture, f, &render);
        glEndList();
    }
    render.next_light = saved;
    return base;
}

// The grid as draw_pass lays it out, each copy one call once the lights are taken.
static void reference_pass(const ViewerPass *pass, const Scene *scene, uint32_t texture, uint32_t frame_lists,
                           int frame, int copies)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    glPushMatrix();
    for (int k = 0; k < copies; k++) {
        float x, y;
        grid_offset(k, &x, &y);
        glPushMatrix();
        if (k > 0) glTranslatef(x, y, 0.0f);
        if (pass->has_lamps && render.next_light >= 0 && render.next_light < pass->max_lights)
            draw_scene(scene, texture, frame, &render);
        else glCallList(frame_lists + frame);
        glPopMatrix();
    }
    glPopMatrix();
}

static void run_copy_costs(ViewerPass *pass, const Scene *scene, uint32_t texture, bool quick, const char *what);

// The scene as it is, then with one small triangle for each mesh.
static void run_all_copy_costs(ViewerPass *pass, const Scene *scene, uint32_t texture, bool quick)
{
    run_copy_costs(pass, scene, texture, quick, "the scene's meshes");
    uint32_t triangle = make_triangle_list();
    Scene bare = *scene;
    std::vector<SceneObject> objects(scene->objects, scene->objects + scene->object_count);
    for (SceneObject &object : objects)
        if (object.kind == Mesh) object.display_list = triangle;
    bare.objects = objects.data();
    run_copy_costs(pass, &bare, texture, quick, "a triangle for each mesh");
    glDeleteLists(triangle, 1);
}

// The process's processor time: a copy costs processor time only (nothing is
// rasterized), and on a machine shared with other work the wall clock also
// counts the others' turns.
static double cpu_seconds()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return (double)now.tv_sec + 1e-9 * (double)now.tv_nsec;
}

static double copy_cost(CopyPath path, ViewerPass *pass, const Scene *scene, uint32_t texture, uint32_t frame_lists,
                        int copies, double seconds)
{
    pass->replay_copies = path == COPY_VIEWER;
    int frame = 1;
    long long drawn = 0;
    set_render_state(&render);
    glFinish();
    double start = now_seconds(), cpu_start = cpu_seconds();
    while (now_seconds() - start < seconds) {
        // Culling both sides keeps every call and vertex but rasterizes nothing.
        glEnable(GL_CULL_FACE);
        glCullFace(GL_FRONT_AND_BACK);
        if (path == COPY_REFERENCE) reference_pass(pass, scene, texture, frame_lists, frame, copies);
        else draw_pass(pass, scene, texture, camera_names[FIRST_CAMERA], frame, copies, &render);
        drawn += copies;
        frame = advance_frame(frame, scene->frame_count);
        glMatrixMode(GL_MODELVIEW);
        set_render_state(&render);
    }
    glFinish();
    double elapsed = cpu_seconds() - cpu_start;
    glCullFace(GL_BACK);
    pass->replay_copies = true;
    return drawn ? 1e6 * elapsed / (double)drawn : 0.0;
}

static void run_copy_costs(ViewerPass *pass, const Scene *scene, uint32_t texture, bool quick, const char *what)
{
    const int copies = quick ? 50 : 1000;
    const double slice = quick ? 0.2 : 1.5;
    const int rounds = quick ? 1 : 5;
    uint32_t frame_lists = make_frame_lists(scene, texture, pass->max_lights);
    // The least of the rounds: what the path costs when nothing else gets in the way.
    double micros[COPY_PATH_COUNT] = {1e30, 1e30, 1e30};
    for (int path = 0; path < COPY_PATH_COUNT; path++)
        copy_cost((CopyPath)path, pass, scene, texture, frame_lists, copies, 0.2);
    // Paths interleaved, so that a change in the machine's load touches all alike.
    for (int round = 0; round < rounds; round++)
        for (int path = 0; path < COPY_PATH_COUNT; path++) {
            bench_progress_stage(progress, "cost of a copy (%s), round %d of %d, %s", what, round + 1, rounds,
                                 copy_path_names[path]);
            micros[path] =
                std::min(micros[path], copy_cost((CopyPath)path, pass, scene, texture, frame_lists, copies, slice));
        }
    glDeleteLists(frame_lists, scene->frame_count);

    printf("\ncost of a copy without rasterization (every face culled), %d copies a pass, %s\n"
           "(processor time, the least of %d rounds):\n",
           copies, what, rounds);
    for (int path = 0; path < COPY_PATH_COUNT; path++)
        printf("  %-56s %8.2f us a copy\n", copy_path_names[path], micros[path]);
    printf("  ratio viewer / reference: %.3f\n", micros[COPY_VIEWER] / micros[COPY_REFERENCE]);
    printf("  ratio every copy through draw_scene / reference: %.3f\n", micros[COPY_EACH] / micros[COPY_REFERENCE]);
    fflush(stdout);
}

// ---- 3. The pass loop of the viewer with one or another wait.

enum Wait {
    SPIN,
    REST_0,
    REST_1,
    WAIT_COUNT
};
static const char *wait_names[WAIT_COUNT] = {"spin (the viewer's wait)", "rest(0) in a loop", "rest(1) in a loop"};

static int32_t wait_with(Wait wait, int32_t last_tick)
{
    if (wait == SPIN) return wait_for_slot(last_tick);
    while ((int32_t)((uint32_t)get_ticks() - (uint32_t)last_tick) < 4) rest(wait == REST_0 ? 0 : 1);
    return get_ticks();
}

struct LoopResult {
    int final_copy_count;
    double mean_copies_second_half;
    double mean_wait_ms_second_half;  // time in the wait a pass
    int passes;
};

static LoopResult run_pass_loop(ViewerPass *pass, const Scene *scene, uint32_t texture, Wait wait, int run_ticks)
{
    LoopResult result = {0, 0.0, 0.0, 0};
    int frame = 0;
    CopyCount copies = copy_count_create(RAMP_GEOMETRIC, 0, PACE_SLOT);
    int32_t last_tick = get_ticks();
    int32_t start_tick = last_tick;
    double copies_sum = 0, wait_sum = 0;
    int copies_passes = 0;
    set_render_state(&render);
    while (get_ticks() - start_tick < run_ticks) {
        double slot_start = now_seconds();
        PassResult drawn = draw_pass(pass, scene, texture, camera_names[FIRST_CAMERA], frame, copies.count, &render);
        copy_count_judge(&copies, false, get_ticks(), last_tick, (float)(1000.0 * (now_seconds() - slot_start)));
        double wait_start = now_seconds();
        last_tick = wait_with(wait, last_tick);
        double waited = now_seconds() - wait_start;
        frame = advance_frame(frame, scene->frame_count);
        glMatrixMode(GL_MODELVIEW);
        set_render_state(&render);
        glRotatef(render.spin_angle / 2.0f, 0.0f, 1.0f, 0.0f);
        result.passes++;
        if (get_ticks() - start_tick >= run_ticks / 2) {
            copies_sum += drawn.copies;
            wait_sum += waited;
            copies_passes++;
        }
    }
    result.final_copy_count = copies.count;
    result.mean_copies_second_half = copies_passes ? copies_sum / copies_passes : 0.0;
    result.mean_wait_ms_second_half = copies_passes ? 1000.0 * wait_sum / copies_passes : 0.0;
    return result;
}

static std::string data_path(const char *name)
{
    const char *source = getenv("ENGINE_SOURCE_DIR");
    return std::string(source ? source : ENGINE_SOURCE_DIR_DEFAULT) + "/data/" + name;
}

static const char *usage_text =
    "usage: bench_render [--short] [--per-copy] [--progress|--quiet] [--scene PATH] [--texture PATH]\n"
    "Measures the viewer's drawing path against references in a window.\n"
    "  --short              a short run that measures nothing reliable (for the test suite)\n"
    "  --per-copy           only the cost of a copy when rasterization costs nothing\n"
    "  --progress, --quiet  a line a second on standard error saying what is measured,\n"
    "                       or none (default: only when it is a terminal)\n"
    "  --version            print the engine's version\n";

int main(int argc, char **argv)
{
    bool quick = false, copies_only = false;
    int progress_option = -1;
    std::string default_scene = data_path("fiche.orj"), default_texture = data_path("texturarobot2.tga");
    const char *scene_path = default_scene.c_str(), *texture_path = default_texture.c_str();
    CommandLine *line = command_line_create();
    command_line_flag(line, "--short", &quick);
    command_line_flag(line, "--per-copy", &copies_only);
    command_line_flag(line, "--progress", &progress_option, 1);
    command_line_flag(line, "--quiet", &progress_option, 0);
    command_line_text(line, "--scene", &scene_path, "--scene needs a path");
    command_line_text(line, "--texture", &texture_path, "--texture needs a path");
    std::string error;
    OptionsResult parsed = command_line_parse(line, argc, argv, &error);
    command_line_destroy(line);
    int status = command_line_answer("bench_render", parsed, error, usage_text);
    if (status >= 0) return status;

    if (!init_display(0, 640, 480)) return 1;
    install_ticks();
    Scene scene;
    if (!load_scene(&scene, scene_path)) {
        allegro_exit();
        return 1;
    }
    if (scene.frame_count < 2 || scene.polygon_count <= 0) {
        fprintf(stderr, "%s: the benchmark needs an animated scene with polygons\n", scene_path);
        destroy_scene(&scene);
        allegro_exit();
        return 1;
    }
    uint32_t texture = load_texture(texture_path);
    ViewerPass pass;
    viewer_pass_create(&pass, &scene);

    printf("renderer: %s, OpenGL %s, %s\n", (const char *)glGetString(GL_RENDERER),
           (const char *)glGetString(GL_VERSION), (const char *)glGetString(GL_VENDOR));
    printf("scene: %s, %d objects, %d frames, %d polygons a copy\n", scene_path, scene.object_count, scene.frame_count,
           scene.polygon_count);
    fflush(stdout);
    progress = bench_progress_start("bench_render", progress_wanted(progress_option));

    if (copies_only) {
        run_all_copy_costs(&pass, &scene, texture, quick);
    } else {
        // 1. Throughput: paths interleaved, so that a change in the machine's load touches all alike.
        Scene listed = scene;
        std::vector<SceneObject> listed_objects(scene.objects, scene.objects + scene.object_count);
        for (SceneObject &object : listed_objects)
            if (object.kind == Mesh) object.display_list = make_indexed_list(&object);
        listed.objects = listed_objects.data();
        ViewerPass listed_pass;
        viewer_pass_create(&listed_pass, &listed);
        ViewerPass *passes[PATH_COUNT] = {&pass, &listed_pass};
        const Scene *scenes[PATH_COUNT] = {&scene, &listed};

        const int copies = quick ? 4 : 40;
        const double slice = quick ? 0.2 : 3.0;
        const int rounds = quick ? 1 : 3;
        Throughput totals[PATH_COUNT] = {};
        // A first run of each compiles the rasterizer's code for its state: not counted.
        Throughput warm_up = {};
        for (int path = 0; path < PATH_COUNT; path++)
            run_throughput(passes[path], scenes[path], texture, copies, 0.3, &warm_up);
        for (int round = 0; round < rounds; round++)
            for (int path = 0; path < PATH_COUNT; path++) {
                bench_progress_stage(progress, "throughput, round %d of %d, %s", round + 1, rounds, path_names[path]);
                run_throughput(passes[path], scenes[path], texture, copies, slice, &totals[path]);
            }
        printf("\nthroughput, %d copies a frame in the benchmark grid:\n", copies);
        double rate[PATH_COUNT];
        for (int path = 0; path < PATH_COUNT; path++) {
            rate[path] = totals[path].seconds > 0 ? totals[path].triangles / totals[path].seconds : 0.0;
            printf("  %-44s %12.0f triangles/s\n", path_names[path], rate[path]);
        }
        printf("  ratio viewer / reference: %.3f (target 0.85 or more)\n", rate[VIEWER] / rate[REFERENCE]);
        fflush(stdout);
        viewer_pass_destroy(&listed_pass);
        for (SceneObject &object : listed_objects)
            if (object.kind == Mesh) glDeleteLists(object.display_list, 1);

        // 2. The cost of a copy once rasterization is free.
        run_all_copy_costs(&pass, &scene, texture, quick);

        // 3. copy_count after the run, with each wait; the waits take turns, round after round.
        const int run_ticks = quick ? 100 : 1000;
        const int wait_rounds = quick ? 1 : 3;
        printf("\ncopy_count after %d s of the viewer's pass loop (%d rounds, waits taking turns):\n", run_ticks / 100,
               wait_rounds);
        LoopResult results[WAIT_COUNT][3] = {};
        for (int round = 0; round < wait_rounds; round++)
            for (int wait = 0; wait < WAIT_COUNT; wait++) {
                bench_progress_stage(progress, "pass loop, round %d of %d, %s", round + 1, wait_rounds,
                                     wait_names[wait]);
                results[wait][round] = run_pass_loop(&pass, &scene, texture, (Wait)wait, run_ticks);
            }
        for (int wait = 0; wait < WAIT_COUNT; wait++) {
            double mean_final = 0, mean_copies = 0, mean_wait = 0;
            printf("  %-26s copy_count", wait_names[wait]);
            for (int round = 0; round < wait_rounds; round++) {
                printf(" %4d", results[wait][round].final_copy_count);
                mean_final += results[wait][round].final_copy_count / (double)wait_rounds;
                mean_copies += results[wait][round].mean_copies_second_half / wait_rounds;
                mean_wait += results[wait][round].mean_wait_ms_second_half / wait_rounds;
            }
            printf("  mean %6.2f\n  %-26s over each second half: %6.2f copies and %5.2f ms of waiting a pass\n",
                   mean_final, "", mean_copies, mean_wait);
        }
    }

    bench_progress_stop(progress);
    viewer_pass_destroy(&pass);
    destroy_scene(&scene);
    allegro_exit();
    return 0;
}
END_OF_MAIN()
