// Scene loading: the pure reader against tinyobjloader on the same geometry
// written as a Wavefront OBJ file, the reader's peak memory (measured in a
// child process), and the display-list compile in the engine's window.
#include <allegro.h>
#include <alleggl.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tiny_obj_loader.h>
#include <vector>

#include "gl/display/display.h"
#include "gl/scene/scene_lists.h"
#include "core/scene/scene_reader.h"
#include "core/viewer/progress.h"

extern char **environ;

struct BenchSize {
    int mesh_count;
    int grid;  // vertices along each side of a mesh's grid
    int frame_count;
    int runs;
};

static double seconds_now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

static void put_number(std::string *out, float value)
{
    char buffer[32];
    std::to_chars_result written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    out->append(buffer, written.ptr);
}

static void put_numbers(std::string *out, const char *prefix, std::initializer_list<float> values)
{
    out->append(prefix);
    bool first = true;
    for (float value : values) {
        if (!first) out->push_back(' ');
        first = false;
        put_number(out, value);
    }
    out->push_back('\n');
}

// Meshes of a wavy grid each (two triangles per cell, the first cell of each
// row a quad), a camera and a lamp, every object animated over all frames;
// the same geometry goes to the OBJ text with one vt per face corner.
static void make_scene_texts(const BenchSize &size, std::string *scene, std::string *obj, long long *triangles)
{
    int n = size.grid;
    scene->append(" " + std::to_string(size.mesh_count + 2) + "\n " + std::to_string(size.frame_count) + "\n");
    long long vertex_base = 0, texture_base = 0;
    *triangles = 0;
    for (int m = 0; m < size.mesh_count; m++) {
        std::string name = "malla" + std::to_string(m);
        scene->append(" " + name + "\n Mesh\n " + std::to_string(n * n) + "\n");
        // Per row: one quad and 2 (n - 2) triangles.
        long long faces = (long long)(n - 1) * (1 + 2 * (n - 2));
        scene->append(" " + std::to_string(faces) + "\n");
        obj->append("o " + name + "\n");
        for (int y = 0; y < n; y++)
            for (int x = 0; x < n; x++) {
                float px = x * 0.01f + m, py = y * 0.01f, pz = 0.1f * std::sin(x * 0.3f) * std::cos(y * 0.2f);
                float nx = -0.03f * std::cos(x * 0.3f), ny = 0.02f * std::sin(y * 0.2f), nz = 1.0f;
                put_numbers(scene, "  ", {px, py, pz});
                put_numbers(scene, "  ", {nx, ny, nz});
                put_numbers(obj, "v ", {px, py, pz});
                put_numbers(obj, "vn ", {nx, ny, nz});
            }
        std::string corners, textures;
        for (int y = 0; y + 1 < n; y++)
            for (int x = 0; x + 1 < n; x++) {
                long long a = (long long)y * n + x + 1, b = a + 1, c = a + n + 1, d = a + n;
                float s0 = (float)x / n, t0 = (float)y / n, s1 = (float)(x + 1) / n, t1 = (float)(y + 1) / n;
                std::vector<std::vector<long long>> polygons;
                std::vector<std::vector<float>> tex;
                if (x == 0) {
                    polygons = {{a, b, c, d}};
                    tex = {{s0, t0, s1, t0, s1, t1, s0, t1}};
                } else {
                    polygons = {{a, b, c}, {a, c, d}};
                    tex = {{s0, t0, s1, t0, s1, t1}, {s0, t0, s1, t1, s0, t1}};
                }
                for (size_t p = 0; p < polygons.size(); p++) {
                    corners += polygons[p].size() == 4 ? "4\n " : "3\n ";
                    std::string face = "f";
                    for (size_t k = 0; k < polygons[p].size(); k++) {
                        long long v = polygons[p][k];
                        corners += " " + std::to_string(v);
                        texture_base++;
                        face += " " + std::to_string(vertex_base + v) + "/" + std::to_string(texture_base) + "/" +
                                std::to_string(vertex_base + v);
                        put_numbers(obj, "vt ", {tex[p][2 * k], tex[p][2 * k + 1]});
                    }
                    obj->append(face + "\n");
                    corners += "\n";
                    textures += "  ";
                    for (size_t k = 0; k < tex[p].size(); k++) {
                        if (k > 0) textures += ' ';
                        put_number(&textures, tex[p][k]);
                    }
                    textures += "\n";
                    *triangles += polygons[p].size() == 4 ? 2 : 1;
                }
            }
        scene->append(corners);
        scene->append(textures);
        vertex_base += (long long)n * n;
        for (int f = 0; f < size.frame_count; f++)
            put_numbers(scene, "  ", {(float)m, 0.01f * f, 0.0f, 0.0f, 0.0f, 0.001f * f, 1.0f, 1.0f, 1.0f});
        scene->append(" None\n");
    }
    const char *others[2][2] = {{"camara1", "Camera"}, {"luz", "Lamp"}};
    for (auto &other : others) {
        scene->append(std::string(" ") + other[0] + "\n " + other[1] + "\n");
        for (int f = 0; f < size.frame_count; f++)
            put_numbers(scene, "  ", {0.0f, -5.0f + 0.01f * f, 1.0f, 1.5708f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f});
        scene->append(" parent: 'malla0'.\n");
    }
}

static bool write_text(const std::string &path, const std::string &text)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = fwrite(text.data(), 1, text.size(), file) == text.size();
    return fclose(file) == 0 && ok;
}

static size_t records_size(const Scene *scene)
{
    size_t size = (size_t)scene->object_count * sizeof(SceneObject);
    for (int i = 0; i < scene->object_count; i++) {
        const SceneObject *o = &scene->objects[i];
        size += 2 * (size_t)o->vertex_count * sizeof(Vector3) + (size_t)o->quad_count * sizeof(Quad) +
                (size_t)o->triangle_count * sizeof(Triangle) + 3 * (size_t)scene->frame_count * sizeof(Vector3) +
                (size_t)o->child_count * sizeof(int32_t);
    }
    return size;
}

static long status_kilobytes(const char *field)
{
    FILE *file = fopen("/proc/self/status", "r");
    if (!file) return -1;
    char line[256];
    long value = -1;
    size_t length = strlen(field);
    while (fgets(line, sizeof line, file))
        if (strncmp(line, field, length) == 0) value = atol(line + length + 1);
    fclose(file);
    return value;
}

// Child mode: reads the scene once and prints how far the peak resident size
// rose above the size before reading, in bytes.
static int measure_memory(const char *path)
{
    long before = status_kilobytes("VmRSS");
    Scene scene;
    Error error;
    if (read_scene_file(&scene, path, &error) != ERROR_NONE) {
        fprintf(stderr, "%s\n", error.message.c_str());
        return 1;
    }
    long peak = status_kilobytes("VmHWM");
    printf("%ld\n", (peak - before) * 1024);
    free_scene_records(&scene);
    return 0;
}

static long long child_peak_bytes(const char *self, const std::string &path)
{
    std::string out_path = path + ".memory";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char *> argv = {(char *)self, (char *)"--measure-memory", (char *)path.c_str(), nullptr};
    pid_t pid;
    int status = -1;
    if (posix_spawn(&pid, self, &actions, nullptr, argv.data(), environ) == 0) waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    long long bytes = -1;
    FILE *file = fopen(out_path.c_str(), "r");
    if (file) {
        if (fscanf(file, "%lld", &bytes) != 1) bytes = -1;
        fclose(file);
    }
    remove(out_path.c_str());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? bytes : -1;
}

int main(int argc, char **argv)
{
    if (argc == 3 && strcmp(argv[1], "--measure-memory") == 0) return measure_memory(argv[2]);
    bool short_run = false;
    int progress_option = -1;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--short") == 0) short_run = true;
        else if (strcmp(argv[i], "--progress") == 0 || strcmp(argv[i], "--quiet") == 0)
            progress_option = strcmp(argv[i], "--progress") == 0;
        else {
            fprintf(stderr, "usage: bench_scene_load [--short] [--progress|--quiet]\n");
            return 2;
        }
    }
    BenchProgress *progress = bench_progress_start("bench_scene_load", progress_wanted(progress_option));
    bench_progress_stage(progress, "making the scene and OBJ files");
    BenchSize size = short_run ? BenchSize{2, 60, 20, 2} : BenchSize{8, 256, 250, 5};

    std::string scene_text, obj_text;
    long long triangles;
    make_scene_texts(size, &scene_text, &obj_text, &triangles);
    char directory[] = "/tmp/bench-scene-load-XXXXXX";
    if (!mkdtemp(directory)) {
        perror("mkdtemp");
        return 1;
    }
    std::string scene_path = std::string(directory) + "/bench.orj", obj_path = std::string(directory) + "/bench.obj";
    if (!write_text(scene_path, scene_text) || !write_text(obj_path, obj_text)) {
        fprintf(stderr, "cannot write the benchmark files in %s\n", directory);
        return 1;
    }
    printf("scene: %d meshes, %lld triangles (quads counted as two), %d frames; %.1f MB scene file, %.1f MB OBJ\n",
           size.mesh_count, triangles, size.frame_count, scene_text.size() / 1e6, obj_text.size() / 1e6);
    fflush(stdout);

    double best_reader = 1e30, best_text = 1e30, best_obj = 1e30;
    Scene scene;
    Error error;
    size_t obj_faces = 0;
    for (int run = 0; run < size.runs; run++) {
        bench_progress_stage(progress, "reading, run %d of %d", run + 1, size.runs);
        double start = seconds_now();
        if (read_scene_file(&scene, scene_path.c_str(), &error) != ERROR_NONE) {
            fprintf(stderr, "%s\n", error.message.c_str());
            return 1;
        }
        best_reader = std::min(best_reader, seconds_now() - start);
        if (scene.polygon_count != triangles) {
            fprintf(stderr, "the reader counted %d polygons, expected %lld\n", (int)scene.polygon_count, triangles);
            return 1;
        }
        free_scene_records(&scene);

        start = seconds_now();
        bool read = read_scene_text(&scene, scene_text.data(), scene_text.size(), scene_path.c_str(), &error) == ERROR_NONE;
        best_text = std::min(best_text, seconds_now() - start);
        if (!read) return 1;
        free_scene_records(&scene);

        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        start = seconds_now();
        bool loaded = tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, obj_path.c_str(), nullptr, false);
        best_obj = std::min(best_obj, seconds_now() - start);
        if (!loaded) {
            fprintf(stderr, "tinyobjloader: %s\n", err.c_str());
            return 1;
        }
        obj_faces = 0;
        for (const tinyobj::shape_t &shape : shapes)
            for (unsigned char corners : shape.mesh.num_face_vertices) obj_faces += corners == 4 ? 2 : 1;
    }
    if ((long long)obj_faces != triangles) {
        fprintf(stderr, "tinyobjloader read %zu triangles, expected %lld\n", obj_faces, triangles);
        return 1;
    }
    printf("reader, from the file:   %.3f s  %.0f MB/s\n", best_reader, scene_text.size() / 1e6 / best_reader);
    printf("reader, from memory:     %.3f s  %.0f MB/s\n", best_text, scene_text.size() / 1e6 / best_text);
    printf("tinyobjloader, the OBJ:  %.3f s  %.0f MB/s\n", best_obj, obj_text.size() / 1e6 / best_obj);
    printf("ratio tinyobjloader / reader (both from their files): %.2f (target at least 2)\n", best_obj / best_reader);
    fflush(stdout);
    bench_progress_stage(progress, "the reader's peak memory");

    long long peak = child_peak_bytes("/proc/self/exe", scene_path);
    if (read_scene_file(&scene, scene_path.c_str(), &error) != ERROR_NONE) return 1;
    size_t records = records_size(&scene);
    double limit = (double)scene_text.size() + 2.0 * (double)records;
    printf("reader peak memory: %.1f MB; file %.1f MB + 2 x records %.1f MB = %.1f MB (%s)\n", peak / 1e6,
           scene_text.size() / 1e6, records / 1e6, limit / 1e6,
           peak < 0 ? "not measured" : peak <= limit ? "within" : "OVER");
    fflush(stdout);
    bench_progress_stage(progress, "display-list compile");

    init_display(0, 640, 480);
    double start = seconds_now();
    compile_scene_lists(&scene);
    glFinish();
    double compile = seconds_now() - start;
    printf("display-list compile in the window: %.3f s for %lld triangles\n", compile, triangles);
    for (int i = 0; i < scene.object_count; i++)
        if (scene.objects[i].kind == Mesh) glDeleteLists(scene.objects[i].display_list, 1);
    free_scene_records(&scene);
    allegro_exit();

    remove(scene_path.c_str());
    remove(obj_path.c_str());
    rmdir(directory);
    bench_progress_stop(progress);
    return 0;
}
END_OF_MAIN()
