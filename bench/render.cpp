// The viewer as a benchmark, measured against itself on this display:
//  1. triangles per second of the viewer's path (the scene's display lists
//     under draw_scene, in the benchmark grid, with the frame's render state)
//     against a reference that draws the same geometry from one vertex buffer
//     with glDrawElements under the same transforms and state; also the same
//     path with display lists of one triangle list per mesh;
//  2. the benchmark's copy_count after a run of the viewer's pass loop, with
//     the spinning wait for the slot against waits that give up the processor.
// Usage: bench_render [--short] [--scene PATH] [--texture PATH]
#include <allegro.h>
#include <alleggl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "core/base/version.h"
#include "core/viewer/playback.h"
#include "gl/viewer/ticks.h"
#include "gl/viewer/viewer_pass.h"
#include "gl/display/display.h"
#include "gl/display/render_state.h"
#include "gl/render/draw.h"
#include "gl/render/texture.h"
#include "core/scene/scene.h"

static double now_seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// ---- The reference: every mesh's triangles in one vertex buffer.

struct BufferVertex {
    float position[3];
    float normal[3];
    float tex[2];
};

struct MeshRange {
    int first;  // first index of the mesh in the index buffer
    int count;
};

struct Reference {
    GLuint vertex_buffer;
    GLuint index_buffer;
    std::vector<MeshRange> ranges;  // one per object; count 0 for cameras and lamps
};

static Reference make_reference(const Scene *scene)
{
    std::vector<BufferVertex> vertices;
    std::vector<uint32_t> indices;
    Reference reference = {};
    for (int i = 0; i < scene->object_count; i++) {
        const SceneObject *object = &scene->objects[i];
        MeshRange range = {(int)indices.size(), 0};
        // A corner is a vertex with the texture coordinate of one face: share equal ones.
        std::map<std::tuple<int, float, float>, uint32_t> shared;
        auto corner = [&](int v, TexCoord tex) {
            auto key = std::make_tuple(v, tex.s, tex.t);
            auto found = shared.find(key);
            if (found != shared.end()) return found->second;
            const Vector3 &p = object->vertices[v], &n = object->normals[v];
            vertices.push_back({{p.x, p.y, p.z}, {n.x, n.y, n.z}, {tex.s, tex.t}});
            shared[key] = (uint32_t)vertices.size() - 1;
            return (uint32_t)vertices.size() - 1;
        };
        if (object->kind == Mesh) {
            // The fan of a quad: corners 0 1 2, then 0 2 3.
            for (int q = 0; q < object->quad_count; q++) {
                const Quad &quad = object->quads[q];
                uint32_t c[4];
                for (int k = 0; k < 4; k++) c[k] = corner(quad.corners[k], quad.tex_coords[k]);
                indices.insert(indices.end(), {c[0], c[1], c[2], c[0], c[2], c[3]});
            }
            for (int t = 0; t < object->triangle_count; t++) {
                const Triangle &triangle = object->triangles[t];
                for (int k = 0; k < 3; k++) indices.push_back(corner(triangle.corners[k], triangle.tex_coords[k]));
            }
        }
        range.count = (int)indices.size() - range.first;
        reference.ranges.push_back(range);
    }
    glGenBuffers(1, &reference.vertex_buffer);
    glBindBuffer(GL_ARRAY_BUFFER, reference.vertex_buffer);
    glBufferData(GL_ARRAY_BUFFER, vertices.size() * sizeof(BufferVertex), vertices.data(), GL_STATIC_DRAW);
    glGenBuffers(1, &reference.index_buffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, reference.index_buffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, indices.size() * sizeof(uint32_t), indices.data(), GL_STATIC_DRAW);
    return reference;
}

static void bind_reference(const Reference *reference)
{
    glBindBuffer(GL_ARRAY_BUFFER, reference->vertex_buffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, reference->index_buffer);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(BufferVertex), (void *)offsetof(BufferVertex, position));
    glNormalPointer(GL_FLOAT, sizeof(BufferVertex), (void *)offsetof(BufferVertex, normal));
    glTexCoordPointer(2, GL_FLOAT, sizeof(BufferVertex), (void *)offsetof(BufferVertex, tex));
}

static void unbind_reference()
{
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

static int max_lights()
{
    static GLint count = 0;
    if (count == 0) glGetIntegerv(GL_MAX_LIGHTS, &count);
    return count;
}

// The same walk and the same calls as draw_object, with the lamp's light as it sets it up.
static void reference_object(const Scene *scene, const Reference *reference, int frame, int index)
{
    const SceneObject *object = &scene->objects[index];
    glPolygonMode(GL_FRONT, GL_FILL);
    const Vector3 &s = object->scales[frame];
    if (s.x == 0.0f || s.y == 0.0f || s.z == 0.0f) return;
    const Vector3 &l = object->locations[frame];
    const Vector3 &r = object->rotations[frame];
    glPushMatrix();
    glTranslatef(l.x, l.y, l.z);
    glRotatef(r.x, 1, 0, 0);
    glRotatef(r.y, 0, 1, 0);
    glRotatef(r.z, 0, 0, 1);
    glScalef(s.x, s.y, s.z);
    if (object->kind == Mesh) {
        const MeshRange &range = reference->ranges[index];
        glDrawElements(GL_TRIANGLES, range.count, GL_UNSIGNED_INT, (void *)(sizeof(uint32_t) * range.first));
    } else if (object->kind == Lamp && next_light < max_lights()) {
        static const GLfloat position[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1};
        GLfloat diffuse[4] = {r.x, r.y, r.z, 0.3f};
        GLenum light = GL_LIGHT0 + next_light++;
        glDisable(light);
        glLightfv(light, GL_POSITION, position);
        glLightf(light, GL_CONSTANT_ATTENUATION, 1.0f);
        glLightf(light, GL_LINEAR_ATTENUATION, 0.1f);
        glLightfv(light, GL_DIFFUSE, diffuse);
        glLightfv(light, GL_SPECULAR, white);
        glLightfv(light, GL_AMBIENT, black);
        if (lights_on) glEnable(light);
    }
    for (int c = 0; c < object->child_count; c++) reference_object(scene, reference, frame, object->children[c]);
    glPopMatrix();
}

// The grid of draw_pass, drawn from the vertex buffer.
static void reference_pass(const Scene *scene, const Reference *reference, uint32_t texture, int frame, int copy_count)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    bind_reference(reference);
    glPushMatrix();
    for (int k = 0; k < copy_count; k++) {
        if (k > 0) {
            glTranslatef(0, -10, 0);
            if (k % GRID_COLUMN == 0) {
                glPopMatrix();
                glTranslatef(-10, 0, 0);
                glPushMatrix();
            }
        }
        glBindTexture(GL_TEXTURE_2D, texture);
        glPolygonMode(GL_FRONT, GL_FILL);
        for (int i = 0; i < scene->object_count; i++)
            if (scene->objects[i].is_root) reference_object(scene, reference, frame, i);
    }
    glPopMatrix();
    unbind_reference();
}

// ---- A variant for comparison: each mesh's faces in one glBegin(GL_TRIANGLES).

static std::vector<uint32_t> make_triangle_lists(const Scene *scene)
{
    std::vector<uint32_t> lists(scene->object_count, 0);
    for (int i = 0; i < scene->object_count; i++) {
        const SceneObject *object = &scene->objects[i];
        if (object->kind != Mesh) continue;
        auto corner = [&](int v, TexCoord tex) {
            glTexCoord2f(tex.s, tex.t);
            glNormal3f(object->normals[v].x, object->normals[v].y, object->normals[v].z);
            glVertex3f(object->vertices[v].x, object->vertices[v].y, object->vertices[v].z);
        };
        lists[i] = glGenLists(1);
        glNewList(lists[i], GL_COMPILE);
        glBegin(GL_TRIANGLES);
        for (int q = 0; q < object->quad_count; q++) {
            const Quad &quad = object->quads[q];
            for (int k : {0, 1, 2, 0, 2, 3}) corner(quad.corners[k], quad.tex_coords[k]);
        }
        for (int t = 0; t < object->triangle_count; t++)
            for (int k = 0; k < 3; k++) corner(object->triangles[t].corners[k], object->triangles[t].tex_coords[k]);
        glEnd();
        glEndList();
    }
    return lists;
}

// ---- 1. Throughput.

enum Path { VIEWER, REFERENCE, TRIANGLE_LISTS, PATH_COUNT };
static const char *path_names[PATH_COUNT] = {"viewer (display lists, a glBegin per face)", "reference (VBO + glDrawElements)",
                                            "display lists, one triangle list per mesh"};

struct Throughput {
    double triangles;
    double seconds;
};

static void run_throughput(Path path, const Scene *scene, const Scene *listed, const Reference *reference,
                           uint32_t texture, int copies, double seconds, Throughput *total)
{
    int frame = 1;
    int frames = 0;
    set_render_state();
    glFinish();
    double start = now_seconds();
    while (now_seconds() - start < seconds) {
        if (path == VIEWER) draw_pass(scene, texture, "camara4", frame, copies);
        else if (path == TRIANGLE_LISTS) draw_pass(listed, texture, "camara4", frame, copies);
        else reference_pass(scene, reference, texture, frame, copies);
        frame = advance_frame(frame, scene->frame_count);
        glMatrixMode(GL_MODELVIEW);
        set_render_state();
        glRotatef(spin_angle / 2.0f, 0.0f, 1.0f, 0.0f);
        frames++;
    }
    glFinish();
    total->seconds += now_seconds() - start;
    total->triangles += (double)scene->polygon_count * copies * frames;
}

// ---- 2. The pass loop of the viewer with one or another wait.

enum Wait { SPIN, REST_0, REST_1, WAIT_COUNT };
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

static LoopResult run_pass_loop(const Scene *scene, uint32_t texture, Wait wait, int run_ticks)
{
    LoopResult result = {0, 0.0, 0.0, 0};
    int frame = 0, copy_count = 1;
    int32_t last_tick = 0;
    int32_t start_tick = get_ticks();
    double copies_sum = 0, wait_sum = 0;
    int copies_passes = 0;
    set_render_state();
    while (get_ticks() - start_tick < run_ticks) {
        PassResult pass = draw_pass(scene, texture, "camara4", frame, copy_count);
        copy_count = adapt_copy_count(copy_count, get_ticks(), last_tick);
        double wait_start = now_seconds();
        last_tick = wait_with(wait, last_tick);
        double waited = now_seconds() - wait_start;
        frame = advance_frame(frame, scene->frame_count);
        glMatrixMode(GL_MODELVIEW);
        set_render_state();
        glRotatef(spin_angle / 2.0f, 0.0f, 1.0f, 0.0f);
        result.passes++;
        if (get_ticks() - start_tick >= run_ticks / 2) {
            copies_sum += pass.copies;
            wait_sum += waited;
            copies_passes++;
        }
    }
    result.final_copy_count = copy_count;
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
    "usage: bench_render [--short] [--scene PATH] [--texture PATH]\n"
    "Measures the viewer's drawing path against a vertex-buffer reference in a window.\n"
    "  --short    a short run that measures nothing reliable (for the test suite)\n"
    "  --version  print the engine's version\n";

int main(int argc, char **argv)
{
    if (print_version_or_usage(argc, argv, "bench_render", usage_text)) return 0;
    bool quick = false;
    std::string scene_path = data_path("fiche.orj"), texture_path = data_path("texturarobot2.tga");
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--short") == 0) quick = true;
        else if (strcmp(argv[i], "--scene") == 0 && i + 1 < argc) scene_path = argv[++i];
        else if (strcmp(argv[i], "--texture") == 0 && i + 1 < argc) texture_path = argv[++i];
        else {
            fprintf(stderr, "bench_render: unknown option %s\n%s", argv[i], usage_text);
            return 2;
        }
    }

    init_display(0, 640, 480);
    install_ticks();
    Scene scene;
    if (!load_scene(&scene, scene_path.c_str())) {
        allegro_exit();
        return 1;
    }
    if (scene.frame_count < 2 || scene.polygon_count <= 0) {
        fprintf(stderr, "%s: the benchmark needs an animated scene with polygons\n", scene_path.c_str());
        destroy_scene(&scene);
        allegro_exit();
        return 1;
    }
    uint32_t texture = load_texture(texture_path.c_str());
    Reference reference = make_reference(&scene);
    std::vector<uint32_t> triangle_lists = make_triangle_lists(&scene);
    Scene listed = scene;
    std::vector<SceneObject> listed_objects(scene.objects, scene.objects + scene.object_count);
    for (int i = 0; i < scene.object_count; i++) listed_objects[i].display_list = triangle_lists[i];
    listed.objects = listed_objects.data();

    printf("renderer: %s\n", (const char *)glGetString(GL_RENDERER));
    printf("scene: %s, %d objects, %d frames, %d polygons a copy\n", scene_path.c_str(), scene.object_count,
           scene.frame_count, scene.polygon_count);

    // 1. Throughput: paths interleaved, so that a change in the machine's load touches all alike.
    const int copies = quick ? 4 : 40;
    const double slice = quick ? 0.2 : 3.0;
    const int rounds = quick ? 1 : 3;
    Throughput totals[PATH_COUNT] = {};
    // A first run of each compiles the rasterizer's code for its state: not counted.
    Throughput warm_up = {};
    for (int path = 0; path < PATH_COUNT; path++)
        run_throughput((Path)path, &scene, &listed, &reference, texture, copies, 0.3, &warm_up);
    for (int round = 0; round < rounds; round++)
        for (int path = 0; path < PATH_COUNT; path++)
            run_throughput((Path)path, &scene, &listed, &reference, texture, copies, slice, &totals[path]);
    printf("\nthroughput, %d copies a frame in the benchmark grid:\n", copies);
    double rate[PATH_COUNT];
    for (int path = 0; path < PATH_COUNT; path++) {
        rate[path] = totals[path].seconds > 0 ? totals[path].triangles / totals[path].seconds : 0.0;
        printf("  %-44s %12.0f triangles/s\n", path_names[path], rate[path]);
    }
    printf("  ratio viewer / reference: %.3f (target 0.85 or more)\n", rate[VIEWER] / rate[REFERENCE]);
    printf("  ratio one triangle list per mesh / reference: %.3f\n", rate[TRIANGLE_LISTS] / rate[REFERENCE]);

    // 2. copy_count after the run, with each wait; the waits take turns, round after round.
    const int run_ticks = quick ? 100 : 1000;
    const int wait_rounds = quick ? 1 : 3;
    printf("\ncopy_count after %d s of the viewer's pass loop (%d rounds, waits taking turns):\n", run_ticks / 100,
           wait_rounds);
    LoopResult results[WAIT_COUNT][3] = {};
    for (int round = 0; round < wait_rounds; round++)
        for (int wait = 0; wait < WAIT_COUNT; wait++) results[wait][round] = run_pass_loop(&scene, texture, (Wait)wait, run_ticks);
    for (int wait = 0; wait < WAIT_COUNT; wait++) {
        double mean_final = 0, mean_copies = 0, mean_wait = 0;
        printf("  %-26s copy_count", wait_names[wait]);
        for (int round = 0; round < wait_rounds; round++) {
            printf(" %4d", results[wait][round].final_copy_count);
            mean_final += results[wait][round].final_copy_count / (double)wait_rounds;
            mean_copies += results[wait][round].mean_copies_second_half / wait_rounds;
            mean_wait += results[wait][round].mean_wait_ms_second_half / wait_rounds;
        }
        printf("  mean %6.2f\n  %-26s over each second half: %6.2f copies and %5.2f ms of waiting a pass\n", mean_final, "",
               mean_copies, mean_wait);
    }

    for (size_t i = 0; i < triangle_lists.size(); i++) {
        if (triangle_lists[i]) glDeleteLists(triangle_lists[i], 1);
    }
    glDeleteBuffers(1, &reference.vertex_buffer);
    glDeleteBuffers(1, &reference.index_buffer);
    destroy_scene(&scene);
    allegro_exit();
    return 0;
}
END_OF_MAIN()
