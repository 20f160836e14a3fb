// Scene loading: the pure reader against tinyobjloader on the same geometry
// written as a Wavefront OBJ file, the reader's peak memory (measured in a
// child process), and the display-list compile in the engine's window against
// compiling a glBegin per face. All times are CPU times.
#include <allegro.h>
#include <alleggl.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tiny_obj_loader.h>
#include <vector>

#include "orj/core/base/command_line.h"
#include "orj/gl/display/display.h"
#include "orj/gl/scene/scene_lists.h"
#include "orj/core/scene/scene_reader.h"
#include "bench/bench_scenes.h"
#include "orj/core/viewer/progress.h"

using namespace orj;

extern char **environ;

// The way lists were first compiled: a glBegin for every face, then one
// immediate-mode call for each value of each corner.
static uint32_t compile_immediately(const SceneObject *mesh)
{
    GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    auto corner = [&](int32_t index, TexCoord tex_coord) {
        glTexCoord2f(tex_coord.s, tex_coord.t);
        glNormal3f(mesh->normals[index].x, mesh->normals[index].y, mesh->normals[index].z);
        glVertex3f(mesh->vertices[index].x, mesh->vertices[index].y, mesh->vertices[index].z);
    };
    for (int32_t q = 0; q < mesh->quad_count; q++) {
        glBegin(GL_TRIANGLES);
        for (int c : {0, 1, 2, 0, 2, 3}) corner(mesh->quads[q].corners[c], mesh->quads[q].tex_coords[c]);
        glEnd();
    }
    for (int32_t t = 0; t < mesh->triangle_count; t++) {
        glBegin(GL_TRIANGLES);
        for (int c = 0; c < 3; c++) corner(mesh->triangles[t].corners[c], mesh->triangles[t].tex_coords[c]);
        glEnd();
    }
    glEndList();
    return list;
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

// The generated files, removed however the run ends (a window that cannot
// open ends the process from inside the display set-up).
static char bench_directory[] = "/tmp/bench-scene-load-XXXXXX";
static std::string bench_files[2];

static void remove_bench_files()
{
    for (const std::string &path : bench_files)
        if (!path.empty()) remove(path.c_str());
    rmdir(bench_directory);
}

// The engine's display-list compile against a glBegin per face, in
// alternating runs; frees the scene and ends Allegro.
static int compile_lists(Scene *scene, const BenchSize &size, long long triangles, BenchProgress *progress)
{
    bench_progress_stage(progress, "display-list compile");
    if (!init_display(0, 640, 480)) return 1;
    std::vector<double> engine_times, face_times;
    for (int run = 0; run < size.runs; run++) {
        for (bool engine : {true, false}) {
            std::vector<uint32_t> lists;
            glFinish();
            double start = cpu_seconds();
            for (int i = 0; i < scene->object_count; i++)
                if (scene->objects[i].kind == Mesh)
                    lists.push_back(engine ? compile_mesh_list(&scene->objects[i])
                                           : compile_immediately(&scene->objects[i]));
            glFinish();
            (engine ? engine_times : face_times).push_back(cpu_seconds() - start);
            for (uint32_t list : lists) glDeleteLists(list, 1);
        }
    }
    double engine = median(engine_times), per_face = median(face_times);
    printf("display-list compile, CPU time: %.3f s (%.1f M triangles/s), %.3f s with a glBegin per face\n", engine,
           triangles / engine / 1e6, per_face);
    printf("ratio a glBegin per face / the engine: %.2f (target at least 4)\n", per_face / engine);
    free_scene_records(scene);
    allegro_exit();
    bench_progress_stop(progress);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc == 3 && strcmp(argv[1], "--measure-memory") == 0) return measure_memory(argv[2]);
    if (argc == 3 && strcmp(argv[1], "--write-scene") == 0) {
        // The full run's scene file, for timing other programs on it.
        std::string scene_text, obj_text;
        long long triangles;
        make_scene_texts(FULL_BENCH_SIZE, &scene_text, &obj_text, &triangles);
        return write_text(argv[2], scene_text) ? 0 : 1;
    }
    const char *usage = "usage: bench_scene_load [--short] [--reader-only] [--progress|--quiet]\n"
                        "Measures the scene reader against an OBJ reader on generated files, and the\n"
                        "display-list compile, in a window.\n"
                        "  --short              a short run that measures nothing reliable (for the test suite)\n"
                        "  --reader-only        only the reader against the OBJ reader: no memory, no window\n"
                        "  --compile            only the display-list compile (the scene is read from memory)\n"
                        "  --progress, --quiet  a line a second on standard error saying what is measured,\n"
                        "                       or none (default: only when it is a terminal)\n"
                        "  --version            print the engine's version\n";
    bool short_run = false, reader_only = false, compile_only = false;
    int progress_option = -1;
    CommandLine *line = command_line_create();
    command_line_flag(line, "--short", &short_run);
    command_line_flag(line, "--reader-only", &reader_only);
    command_line_flag(line, "--compile", &compile_only);
    command_line_flag(line, "--progress", &progress_option, 1);
    command_line_flag(line, "--quiet", &progress_option, 0);
    std::string option_error;
    OptionsResult parsed = command_line_parse(line, argc, argv, &option_error);
    command_line_destroy(line);
    int status = command_line_answer("bench_scene_load", parsed, option_error, usage);
    if (status >= 0) return status;
    BenchProgress *progress = bench_progress_start("bench_scene_load", progress_wanted(progress_option));
    bench_progress_stage(progress, "making the scene and OBJ files");
    BenchSize size = short_run ? SHORT_BENCH_SIZE : FULL_BENCH_SIZE;

    std::string scene_text, obj_text;
    long long triangles;
    make_scene_texts(size, &scene_text, &obj_text, &triangles);
    Scene scene;
    Error error;
    if (compile_only) {
        if (read_scene_text(&scene, scene_text.data(), scene_text.size(), "bench.orj", &error) != ERROR_NONE) {
            fprintf(stderr, "%s\n", error.message.c_str());
            return 1;
        }
        printf("scene: %d meshes, %lld triangles (quads counted as two)\n", size.mesh_count, triangles);
        return compile_lists(&scene, size, triangles, progress);
    }
    char *directory = bench_directory;
    if (!mkdtemp(directory)) {
        perror("mkdtemp");
        return 1;
    }
    std::string scene_path = std::string(directory) + "/bench.orj", obj_path = std::string(directory) + "/bench.obj";
    bench_files[0] = scene_path;
    bench_files[1] = obj_path;
    atexit(remove_bench_files);
    if (!write_text(scene_path, scene_text) || !write_text(obj_path, obj_text)) {
        fprintf(stderr, "cannot write the benchmark files in %s\n", directory);
        return 1;
    }
    printf("scene: %d meshes, %lld triangles (quads counted as two), %d frames; %.1f MB scene file, %.1f MB OBJ\n",
           size.mesh_count, triangles, size.frame_count, scene_text.size() / 1e6, obj_text.size() / 1e6);
    fflush(stdout);

    // CPU time of this thread (user and system), in alternating runs so that
    // load from other processes falls on both alike; medians.
    std::vector<double> reader_times, text_times, obj_times;
    size_t obj_faces = 0;
    for (int run = 0; run < size.runs; run++) {
        bench_progress_stage(progress, "reading, run %d of %d", run + 1, size.runs);
        double start = cpu_seconds();
        if (read_scene_file(&scene, scene_path.c_str(), &error) != ERROR_NONE) {
            fprintf(stderr, "%s\n", error.message.c_str());
            return 1;
        }
        reader_times.push_back(cpu_seconds() - start);
        if (scene.polygon_count != triangles) {
            fprintf(stderr, "%s: the reader counted %d polygons, expected %lld\n", scene_path.c_str(),
                    (int)scene.polygon_count, triangles);
            return 1;
        }
        free_scene_records(&scene);

        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        start = cpu_seconds();
        bool loaded = tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, obj_path.c_str(), nullptr, false);
        obj_times.push_back(cpu_seconds() - start);
        if (!loaded) {
            fprintf(stderr, "%s: tinyobjloader: %s\n", obj_path.c_str(), err.c_str());
            return 1;
        }
        obj_faces = 0;
        for (const tinyobj::shape_t &shape : shapes)
            for (unsigned char corners : shape.mesh.num_face_vertices) obj_faces += corners == 4 ? 2 : 1;

        start = cpu_seconds();
        bool read =
            read_scene_text(&scene, scene_text.data(), scene_text.size(), scene_path.c_str(), &error) == ERROR_NONE;
        text_times.push_back(cpu_seconds() - start);
        if (!read) return 1;
        free_scene_records(&scene);
    }
    if ((long long)obj_faces != triangles) {
        fprintf(stderr, "%s: tinyobjloader read %zu triangles, expected %lld\n", obj_path.c_str(), obj_faces,
                triangles);
        return 1;
    }
    double reader = median(reader_times), text = median(text_times), obj = median(obj_times);
    printf("CPU time, medians of %d alternating runs:\n", size.runs);
    printf("  reader, from the file:   %.3f s  %.0f MB/s\n", reader, scene_text.size() / 1e6 / reader);
    printf("  reader, from memory:     %.3f s  %.0f MB/s\n", text, scene_text.size() / 1e6 / text);
    printf("  tinyobjloader, the OBJ:  %.3f s  %.0f MB/s\n", obj, obj_text.size() / 1e6 / obj);
    printf("ratio tinyobjloader / reader (both from their files): %.2f (target at least 6.5)\n", obj / reader);
    fflush(stdout);
    if (reader_only) {
        bench_progress_stop(progress);
        return 0;
    }
    bench_progress_stage(progress, "the reader's peak memory");

    long long peak = child_peak_bytes("/proc/self/exe", scene_path);
    if (read_scene_file(&scene, scene_path.c_str(), &error) != ERROR_NONE) return 1;
    remove_bench_files();
    size_t records = records_size(&scene);
    double limit = (double)records + 16.0 * 1024 * 1024;
    printf("reader peak memory: %.1f MB; records %.1f MB + 16 MiB = %.1f MB (%s)\n", peak / 1e6, records / 1e6,
           limit / 1e6,
           peak < 0        ? "not measured"
           : peak <= limit ? "within"
                           : "OVER");
    fflush(stdout);
    return compile_lists(&scene, size, triangles, progress);
}
END_OF_MAIN()
