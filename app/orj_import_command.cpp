// The commands behind "orj import", "orj export" and "orj formats" (the
// program orj-import): their options, messages and exit statuses, on the
// importer's library (orj/import/); import's outputs are staged together
// as the exporter's are (importer/orj_import_output.h).
#include "app/orj_import_command.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/model_library.h"
#include "importer/orj_import_output.h"
#include "importer/orj_import_texture.h"
#include "orj/core/base/command_line.h"
#include "orj/core/base/data_path.h"
#include "orj/core/base/output_file.h"
#include "orj/core/image/image.h"
#include "orj/core/image/image_write.h"
#include "orj/core/scene/scene_reader.h"
#include "orj/core/scene/scene_writer.h"
#include "orj/core/viewer/options.h"
#include "orj/core/viewer/playback.h"
#include "orj/import/orj_export.h"
#include "orj/import/orj_import.h"

using namespace orj;

static const double MAX_IMPORT_SCALE = 1e30;    // --scale's limit
static const int LARGE_MODEL_BYTES = 16 << 20;  // from here on the import says it is reading

std::string command_name(const char *argv0)
{
    for (const char *command : {"import", "export", "formats"})
        if (strcmp(argv0, command) == 0) return std::string("orj ") + command;
    return "orj-import";
}

// The name of the camera key that imported camera number index takes.
static const char *camera_slot(int index) { return camera_names[import_camera_key(index)]; }

// The usage text with its numbers filled in.
static std::string format_usage(const char *format, ...) __attribute__((format(printf, 1, 2)));
static std::string format_usage(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int length = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text((size_t)length + 1, '\0');
    va_start(args, format);
    vsnprintf(&text[0], text.size(), format, args);
    va_end(args);
    text.resize((size_t)length);
    return text;
}

const char *import_usage()
{
    // Built once, with the limits from where they are defined.
    static const std::string text =
        format_usage("usage: orj import MODEL -o SCENE [--texture-out TGA] [--frames N] [--fps R] [--scale S]\n"
                     "                  [--add-camera | --no-camera] [--no-lamps] [--allow-outside-refs]\n"
                     "                  [--max-memory MB] [--max-cpu S] [--max-stack MB]\n"
                     "\n"
                     "Converts a model (OBJ, glTF 2.0, Collada, PLY, STL, 3DS, FBX and the other formats of the\n"
                     "asset importer) into a scene file for the viewer.\n"
                     "\n"
                     "  -o, --output SCENE   the scene file to write (- for standard output)\n"
                     "  --texture-out TGA    write the scene's texture there as a TGA image (default: beside the\n"
                     "                       scene, named like it: X.tga for X.orj, which the viewer takes for\n"
                     "                       X.orj's texture; none with -o -): an atlas of every material's\n"
                     "                       texture, or its colour when it has none or it cannot be read; the\n"
                     "                       texture coordinates are moved into it\n"
                     "  --frames N           frames to write, 1 to %d (default: the first animation's\n"
                     "                       length times the rate, plus one; 1 without animation). Frames\n"
                     "                       past the animation's end hold its last pose.\n"
                     "  --fps R              frames per second of animation time, above 0, at most 1000\n"
                     "                       (default 25, the viewer's rate)\n"
                     "  --scale S            multiplies every location and vertex position, above 0; --scale 1\n"
                     "                       keeps the model's units (default: the model is made 10 units\n"
                     "                       across and its middle put at the origin, which the viewer's fog\n"
                     "                       and view suit; the factor is printed)\n"
                     "  --add-camera         add a still camera that holds the whole model in view, looking at\n"
                     "                       it from the front (+z), a little from the right (+x) and above\n"
                     "                       (+y), on the first camera key (\"%s\", the viewer's default),\n"
                     "                       also when the model has cameras of its own (they take the next\n"
                     "                       keys); by default only a model without cameras gets it\n"
                     "  --no-camera          add no camera, even to a model without any\n"
                     "  --no-lamps           do not light a model that has no lights: by default it gets a key\n"
                     "                       lamp above and to the left of the first camera's view and a\n"
                     "                       weaker fill lamp from its right\n"
                     "  --allow-outside-refs read the files the model refers to (buffers, materials, textures)\n"
                     "                       also outside its folder; without it such references are refused\n"
                     "                       with a warning\n" MODEL_LIBRARY_LIMITS_USAGE "\n"
                     "Nodes become Mesh objects (one more, under the node's, for every further mesh of a node;\n"
                     "meshes of more than %d faces are cut into several), empty nodes empty meshes. Quads\n"
                     "stay quads, bigger polygons become triangle fans, points and lines are dropped; a model\n"
                     "with no faces to draw is refused.\n"
                     "Skinned meshes that blend bones, and meshes with morph targets, are posed at every frame\n"
                     "and written once per pose, each pose shown only at its own frames (at most %lld faces\n"
                     "and %lld object frames in all; past that they keep their first pose).\n"
                     "Cameras become root Camera objects named for the viewer's camera keys: the first\n"
                     "\"%s\" (the viewer's default), then \"%s\" (key %d), \"%s\" (%d), \"%s\",\n"
                     "\"%s\", \"%s\" (a camera orj export wrote keeps its key); further cameras keep\n"
                     "their own names.\n"
                     "Lights become root Lamp objects (point lights) written before the meshes: the engine takes\n"
                     "a lamp's rotation, in degrees, as its diffuse colour, so the light's red, green and blue\n"
                     "(scaled into 0..1 when brighter, unless orj export kept the lamp's own colour) are written\n"
                     "as its rotation about x, y and z.\n"
                     "\n"
                     "Sizes: the viewer's fog hides what lies more than about 40 units from the camera (half\n"
                     "gone at 33 units, nine tenths at 60) and its near plane cuts what is closer than 1 unit;\n"
                     "a model about 10 units across suits it. Without a camera the viewer looks from 1000 units\n"
                     "away and shows only fog: a model without a camera gets one unless --no-camera, and the\n"
                     "viewer's key 6 is an orbit camera around any scene.\n",
                     (int)MAX_IMPORT_FRAMES, camera_slot(0), (int)MAX_FACES_PER_OBJECT, (long long)MAX_POSED_FACES,
                     (long long)MAX_POSED_TRANSFORMS, camera_slot(0), camera_slot(1), import_camera_key(1),
                     camera_slot(2), import_camera_key(2), camera_slot(3), camera_slot(4), camera_slot(5));
    return text.c_str();
}

static void set_import_defaults(ImportCommand *command)
{
    command->model_path = nullptr;
    command->scene_path = nullptr;
    command->texture_path = nullptr;
    command->settings.frames = 0;
    command->settings.fps = 25.0;
    command->settings.scale = 0.0;  // framed
    command->settings.add_camera = false;
    command->settings.camera_if_none = true;
    command->settings.lamps = true;
    command->settings.allow_outside_refs = false;
}

// What the options and arguments say together, once each is read.
static OptionsResult check_import_command(ImportCommand *command, const std::vector<const char *> &models,
                                          bool no_lamps, bool no_camera, std::string *error)
{
    if (command->texture_path && strcmp(command->texture_path, "-") == 0)
        *error = "--texture-out cannot write the image to standard output (-): give a file";
    else if (models.size() > 1) *error = std::string("only one model can be imported at a time: ") + models[1];
    else if (models.empty()) *error = "the model file to import is missing";
    else if (!command->scene_path) *error = "-o SCENE is missing: the scene file to write";
    else if (no_camera && command->settings.add_camera)
        *error = "--add-camera and --no-camera ask for opposite things: give one";
    if (!error->empty()) return OPTIONS_BAD;
    command->model_path = models[0];
    command->settings.lamps = !no_lamps;
    command->settings.camera_if_none = !no_camera;
    // The texture goes beside the scene, named like it, where the viewer looks for it.
    if (!command->texture_path && strcmp(command->scene_path, "-") != 0) {
        std::string path = command->scene_path;
        size_t slash = path.find_last_of('/'), dot = path.find_last_of('.');
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.resize(dot);
        command->texture_beside = path + ".tga";
        command->texture_path = command->texture_beside.c_str();
    }
    command->settings.atlas = command->texture_path != nullptr;
    return OPTIONS_RUN;
}

OptionsResult parse_import_options(int argc, char **argv, ImportCommand *command, std::string *error)
{
    set_import_defaults(command);
    std::vector<const char *> models;
    bool no_lamps = false, no_camera = false;
    LibraryLimitOptions limits;  // taken by the process that started this one
    CommandLine *line = command_line_create();
    command_line_text(line, "-o,--output", &command->scene_path, "-o needs the path of the scene file to write");
    command_line_text(line, "--texture-out", &command->texture_path,
                      "--texture-out needs the path of the TGA file to write");
    command_line_count(line, "--frames", &command->settings.frames, 1, MAX_IMPORT_FRAMES,
                       "--frames needs a whole number of frames from 1 to " + std::to_string(MAX_IMPORT_FRAMES));
    command_line_number(line, "--fps", &command->settings.fps, 0.0, false, 1000.0,
                        "--fps needs a rate above 0 and at most 1000 frames per second");
    command_line_number(line, "--scale", &command->settings.scale, 0.0, false, MAX_IMPORT_SCALE,
                        "--scale needs a finite factor above 0");
    command_line_flag(line, "--no-lamps", &no_lamps);
    command_line_flag(line, "--add-camera", &command->settings.add_camera);
    command_line_flag(line, "--no-camera", &no_camera);
    command_line_flag(line, "--allow-outside-refs", &command->settings.allow_outside_refs);
    command_line_library_limits(line, &limits);
    command_line_arguments(line, &models);
    OptionsResult result = command_line_parse(line, argc, argv, error);
    command_line_destroy(line);
    return result == OPTIONS_RUN ? check_import_command(command, models, no_lamps, no_camera, error) : result;
}

static void show_progress(const char *stage, double fraction)
{
    fprintf(stderr, "orj import: %s %3d%%\n", stage, (int)std::lround(fraction * 100.0));
}

static void show_note(const char *line) { fprintf(stderr, "orj import: %s\n", line); }

static void show_warnings(const ImportResult &result)
{
    for (const std::string &line : result.warnings) fprintf(stderr, "orj import: warning: %s\n", line.c_str());
}

// The scene's text, refused (with the figures and what to change) when the
// engine's reader would refuse the file.
static ErrorKind scene_text_of(const Scene *scene, const char *path, std::string *text, Error *error)
{
    ErrorKind kind = write_scene_text(scene, LOCATIONS_RELATIVE, text, error);
    if (kind != ERROR_NONE) {
        std::string reason = error->message;
        return set_error(error, kind, path, 0, "%s", reason.c_str());
    }
    if ((long long)text->size() <= SCENE_MAX_FILE_SIZE) return ERROR_NONE;
    long long frames =
        std::max<long long>(1, (long long)((double)scene->frame_count * SCENE_MAX_FILE_SIZE / text->size() * 0.95));
    set_error(error, ERROR_TOO_LARGE, path, 0,
              "the scene would take %zu bytes (%d objects, %d frames), more than the %lld a scene file may hold: "
              "import fewer frames (--frames %lld or fewer) or at a lower rate (--fps)",
              text->size(), scene->object_count, scene->frame_count, SCENE_MAX_FILE_SIZE, frames);
    text->clear();
    return ERROR_TOO_LARGE;
}

// The texture staged among outputs as a TGA file.
static ErrorKind stage_texture(const Image &texture, const char *path, StagedOutputs *outputs, Error *error)
{
    Image atlas = texture;
    atlas.has_alpha = true;  // a 32-bit TGA
    std::vector<uint8_t> bytes;
    std::string temp;
    ErrorKind kind = encode_tga(atlas, path, &bytes, error);
    if (kind == ERROR_NONE) kind = stage_output(outputs, path, &temp, error);
    if (kind == ERROR_NONE) kind = write_bytes_to(temp, std::string(bytes.begin(), bytes.end()), path, error);
    return kind;
}

// Writes the scene to its path (or standard output for "-") and the
// texture, each to a temporary file first, both put in place only once both
// are written; false (with the message shown) when they cannot be.
static bool write_outputs(const ImportCommand &command, const ImportResult &result)
{
    Error error;
    std::string text, temp;
    StagedOutputs outputs;
    bool to_stdout = strcmp(command.scene_path, "-") == 0;
    ErrorKind kind = scene_text_of(result.scene, command.scene_path, &text, &error);
    if (kind == ERROR_NONE && !to_stdout) kind = stage_output(&outputs, command.scene_path, &temp, &error);
    if (kind == ERROR_NONE && !to_stdout) kind = write_bytes_to(temp, text, command.scene_path, &error);
    if (kind == ERROR_NONE && command.texture_path)
        kind = stage_texture(result.texture, command.texture_path, &outputs, &error);
    if (kind == ERROR_NONE && to_stdout &&
        (fwrite(text.data(), 1, text.size(), stdout) != text.size() || fflush(stdout) != 0))
        kind = set_error(&error, ERROR_CANNOT_WRITE, "standard output", 0, "cannot be written: %s", strerror(errno));
    if (kind == ERROR_NONE) kind = commit_outputs(&outputs, &error);
    if (kind == ERROR_NONE) return true;
    discard_outputs(&outputs);
    fprintf(stderr, "orj import: %s\n", error.message.c_str());
    return false;
}

static void show_summary(const ImportCommand &command, const ImportResult &result)
{
    fprintf(stderr, "orj import: %s -> %s\n", command.model_path,
            strcmp(command.scene_path, "-") == 0 ? "standard output" : command.scene_path);
    for (const std::string &line : result.counts) fprintf(stderr, "%s\n", line.c_str());
    if (command.texture_path) {
        fprintf(stderr, "  texture: %s (%dx%d), an atlas of %zu materials:\n", command.texture_path,
                result.texture.width, result.texture.height, result.materials.size());
        size_t shown = std::min<size_t>(result.materials.size(), 40);
        for (size_t i = 0; i < shown; i++) fprintf(stderr, "    %s\n", result.materials[i].c_str());
        if (shown < result.materials.size()) fprintf(stderr, "    and %zu more\n", result.materials.size() - shown);
        for (const std::string &line : result.repeats) fprintf(stderr, "    %s\n", line.c_str());
    }
    for (const std::string &line : result.view) fprintf(stderr, "%s\n", line.c_str());
}

// Imports, writes the outputs and shows what became of the model; the exit status.
static int run_import(const ImportCommand &command)
{
    struct stat model_stat;
    if (stat(command.model_path, &model_stat) == 0 && model_stat.st_size > LARGE_MODEL_BYTES)
        fprintf(stderr, "orj import: reading %s (%lld MB)\n", command.model_path,
                (long long)(model_stat.st_size >> 20));
    ImportResult result;
    Error error;
    ErrorKind imported = import_model(command.model_path, command.settings, show_progress, show_note, &result, &error);
    int status = 0;
    if (imported != ERROR_NONE) {
        show_warnings(result);
        fprintf(stderr, "orj import: %s\n", error.message.c_str());
        status = 1;
    } else if (!write_outputs(command, result)) {
        status = 1;
    } else {
        show_warnings(result);
        show_summary(command, result);
    }
    import_result_destroy(&result);
    return status;
}

// Tries the outputs before the model is read: a run never ends in an output it cannot write.
static bool try_import_outputs(const ImportCommand &command)
{
    Error error;
    for (const char *path : {command.scene_path, command.texture_path})
        if (path && strcmp(path, "-") != 0 && check_output_path(path, &error) != ERROR_NONE) {
            fprintf(stderr, "orj import: %s\n", error.message.c_str());
            return false;
        }
    return true;
}

int orj_import_main(int argc, char **argv)
{
    ImportCommand command;
    std::string error;
    OptionsResult parsed = parse_import_options(argc, argv, &command, &error);
    int answer = command_line_answer(command_name(argv[0]).c_str(), parsed, error, import_usage());
    if (answer >= 0) return answer;
    Error failure;
    if (check_import_outputs(command.model_path, command.scene_path, command.texture_path, &failure) != ERROR_NONE) {
        fprintf(stderr, "orj import: %s\n", failure.message.c_str());
        return 2;
    }
    if (!try_import_outputs(command)) return 1;
    return run_import(command);
}

static const char *export_usage =
    "usage: orj export SCENE -o MODEL [--texture IMAGE] [--max-memory MB] [--max-cpu S] [--max-stack MB]\n"
    "\n"
    "Writes the scene as a model for other tools, by the extension of MODEL: .gltf or .glb\n"
    "(glTF 2.0), .dae (Collada) or .obj (OBJ; orj formats lists them). Every object becomes a\n"
    "node with its transform, meshes become triangles (a quad as the two the engine draws) with\n"
    "normals and texture coordinates, lamps point lights of their colour, cameras cameras, and\n"
    "the animation node keys at 25 frames a second (not in OBJ).\n"
    "\n"
    "  -o, --output MODEL   the model file to write (glTF also writes MODEL's name with .bin)\n"
    "  --texture IMAGE      the scene's texture (TGA, BMP, PCX, PNG or JPEG): written as a PNG\n"
    "                       file beside MODEL, named like it, and used by its one material\n"
    "                       (default: the texture the viewer shows SCENE with, the picture\n"
    "                       named like it beside it or else data/texturarobot2.tga)\n" MODEL_LIBRARY_LIMITS_USAGE;

// The texture the viewer shows the scene with: the picture named like it
// beside it, else the viewer's default. Null when there is none, or when it
// cannot be read (a warning says so: nobody asked for it).
static const char *scene_texture(const char *scene_path, std::string *storage)
{
    *storage = picture_beside_scene(scene_path);
    if (storage->empty()) *storage = find_data_file(viewer_default_texture());
    struct stat status;
    if (stat(storage->c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return nullptr;
    Image image;
    Error error;
    if (load_image_file(storage->c_str(), &image, &error) != ERROR_NONE) {
        fprintf(stderr, "orj export: warning: %s; the model is written without a texture\n", error.message.c_str());
        return nullptr;
    }
    return storage->c_str();
}

// Reads export's options; -1 to export, else the status to end with.
static int parse_export_options(int argc, char **argv, const char **scene_path, const char **model_path,
                                const char **texture_path)
{
    std::vector<const char *> scenes;
    LibraryLimitOptions limits;  // taken by the process that started this one
    CommandLine *line = command_line_create();
    command_line_text(line, "-o,--output", model_path, "-o needs a path");
    command_line_text(line, "--texture", texture_path, "--texture needs a path");
    command_line_library_limits(line, &limits);
    command_line_arguments(line, &scenes);
    std::string error;
    OptionsResult parsed = command_line_parse(line, argc, argv, &error);
    command_line_destroy(line);
    if (parsed == OPTIONS_RUN && scenes.size() > 1) {
        parsed = OPTIONS_BAD;
        error = std::string("unexpected argument: ") + scenes[1];
    } else if (parsed == OPTIONS_RUN && (scenes.empty() || !*model_path)) {
        parsed = OPTIONS_BAD;
        error = std::string(scenes.empty() ? "the scene file" : "-o MODEL") + " is missing";
    }
    if (parsed == OPTIONS_RUN) *scene_path = scenes[0];
    return command_line_answer(command_name(argv[0]).c_str(), parsed, error, export_usage);
}

int orj_export_main(int argc, char **argv)
{
    const char *scene_path = nullptr, *model_path = nullptr, *texture_path = nullptr;
    int answer = parse_export_options(argc, argv, &scene_path, &model_path, &texture_path);
    if (answer >= 0) return answer;
    std::string scene_picture;
    if (!texture_path) texture_path = scene_texture(scene_path, &scene_picture);
    if (!export_format_of(model_path)) {
        fprintf(stderr, "orj export: %s: the extension says no format that export writes (orj formats lists them)\n",
                model_path);
        return 2;
    }
    Error error;
    Scene scene;
    ExportSummary summary;
    if (check_export_outputs(scene_path, model_path, texture_path, &error) != ERROR_NONE ||
        read_scene_file(&scene, scene_path, &error) != ERROR_NONE) {
        fprintf(stderr, "orj export: %s\n", error.message.c_str());
        return 1;
    }
    ErrorKind exported = export_scene(&scene, model_path, texture_path, &summary, &error);
    for (const std::string &line : summary.warnings) fprintf(stderr, "orj export: warning: %s\n", line.c_str());
    if (exported == ERROR_NONE)
        fprintf(stderr, "orj export: %s -> %s (%s): %u meshes, %u lamps, %u cameras, %d frames%s\n", scene_path,
                model_path, summary.format->description, summary.meshes, summary.lamps, summary.cameras,
                scene.frame_count, summary.animated ? " as node keys at 25 per second" : "");
    else if (error.path.empty()) fprintf(stderr, "orj export: %s: %s\n", scene_path, error.message.c_str());
    else fprintf(stderr, "orj export: %s\n", error.message.c_str());
    free_scene_records(&scene);
    return exported == ERROR_NONE ? 0 : 1;
}

int orj_formats_main(int argc, char **argv)
{
    LibraryLimitOptions limits;  // taken by the process that started this one
    CommandLine *line = command_line_create();
    command_line_library_limits(line, &limits);
    std::string error;
    OptionsResult parsed = command_line_parse(line, argc, argv, &error);
    command_line_destroy(line);
    int answer = command_line_answer(command_name(argv[0]).c_str(), parsed, error,
                                     "usage: orj formats   lists the model formats import reads and export writes\n");
    if (answer >= 0) return answer;
    printf("import reads (by extension): %s\n", import_extensions().c_str());
    printf("export writes:\n");
    int count = 0;
    const ExportFormat *formats = export_formats(&count);
    for (int i = 0; i < count; i++) printf("  %-6s %s\n", formats[i].extension, formats[i].description);
    return 0;
}
