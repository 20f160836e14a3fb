// The commands behind "orj import", "orj export" and "orj formats" (the
// program orj-import): their options, messages and exit statuses, on the
// importer's library (orj/import/).
#include "app/orj_import_command.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "orj/core/base/command_line.h"
#include "orj/core/base/output_file.h"
#include "orj/core/image/image_write.h"
#include "orj/core/scene/scene_reader.h"
#include "orj/core/scene/scene_writer.h"
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
    static const std::string text = format_usage(
        "usage: orj import MODEL -o SCENE [--texture-out TGA] [--frames N] [--fps R] [--scale S] [--add-camera]\n"
        "                  [--no-lamps] [--allow-outside-refs]\n"
        "\n"
        "Converts a model (OBJ, glTF 2.0, Collada, PLY, STL, 3DS, FBX and the other formats of the\n"
        "asset importer) into a scene file for the viewer.\n"
        "\n"
        "  -o, --output SCENE   the scene file to write (- for standard output)\n"
        "  --texture-out TGA    write the scene's texture there as a TGA image: an atlas of every\n"
        "                       material's texture, or its colour when it has none or it cannot\n"
        "                       be read; the texture coordinates are moved into it\n"
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
        "                       (+y), on the first camera key (\"%s\", the viewer's default);\n"
        "                       the model's own cameras move to the next keys\n"
        "  --no-lamps           do not light a model that has no lights: by default it gets a\n"
        "                       white lamp at the added camera (or where it would stand) and a\n"
        "                       weaker fill lamp from the other side\n"
        "  --allow-outside-refs read the files the model refers to (buffers, materials, textures)\n"
        "                       also outside its folder; without it such references are refused\n"
        "                       with a warning\n"
        "\n"
        "Nodes become Mesh objects (one more, under the node's, for every further mesh of a node;\n"
        "meshes of more than %d faces are cut into several), empty nodes empty meshes. Quads\n"
        "stay quads, bigger polygons become triangle fans, points and lines are dropped.\n"
        "Cameras become root Camera objects named for the viewer's camera keys: the first\n"
        "\"%s\" (the viewer's default), then \"%s\" (key %d), \"%s\" (%d), \"%s\",\n"
        "\"%s\", \"%s\"; further cameras keep their own names.\n"
        "Lights become Lamp objects (point lights): the engine takes a lamp's rotation, in degrees,\n"
        "as its diffuse colour, so the light's red, green and blue (scaled into 0..1 when brighter)\n"
        "are written as its rotation about x, y and z.\n"
        "\n"
        "Sizes: the viewer's fog hides what lies more than about 40 units from the camera (half\n"
        "gone at 33 units, nine tenths at 60) and its near plane cuts what is closer than 1 unit;\n"
        "a model about 10 units across suits it. Without a camera the viewer looks from 1000 units\n"
        "away and shows only fog: --add-camera gives the model one, and the viewer's key 6 an\n"
        "orbit camera around any scene.\n",
        (int)MAX_IMPORT_FRAMES, camera_slot(0), (int)MAX_FACES_PER_OBJECT, camera_slot(0), camera_slot(1),
        import_camera_key(1), camera_slot(2), import_camera_key(2), camera_slot(3), camera_slot(4), camera_slot(5));
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
    command->settings.lamps = true;
    command->settings.allow_outside_refs = false;
}

// What the options and arguments say together, once each is read.
static OptionsResult check_import_command(ImportCommand *command, const std::vector<const char *> &models,
                                          bool no_lamps, std::string *error)
{
    if (command->texture_path && strcmp(command->texture_path, "-") == 0)
        *error = "--texture-out cannot write the image to standard output (-): give a file";
    else if (models.size() > 1) *error = std::string("only one model can be imported at a time: ") + models[1];
    else if (models.empty()) *error = "the model file to import is missing";
    else if (!command->scene_path) *error = "-o SCENE is missing: the scene file to write";
    if (!error->empty()) return OPTIONS_BAD;
    command->model_path = models[0];
    command->settings.lamps = !no_lamps;
    command->settings.atlas = command->texture_path != nullptr;
    return OPTIONS_RUN;
}

OptionsResult parse_import_options(int argc, char **argv, ImportCommand *command, std::string *error)
{
    set_import_defaults(command);
    std::vector<const char *> models;
    bool no_lamps = false;
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
    command_line_flag(line, "--allow-outside-refs", &command->settings.allow_outside_refs);
    command_line_arguments(line, &models);
    OptionsResult result = command_line_parse(line, argc, argv, error);
    command_line_destroy(line);
    return result == OPTIONS_RUN ? check_import_command(command, models, no_lamps, error) : result;
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

// Writes the scene to path, or to standard output for "-", and the texture
// (when asked for): both files are written out before either replaces
// anything, then put in place as a set. False (with the message shown) when
// any of it fails; then no file has changed.
static bool write_import_outputs(const Scene *scene, const char *scene_path, const char *texture_path,
                                 const Image &texture)
{
    Error error;
    std::string text;
    std::vector<uint8_t> tga;
    OutputFile scene_out, texture_out;
    bool to_stdout = strcmp(scene_path, "-") == 0;
    Image atlas = texture;
    atlas.has_alpha = true;  // a 32-bit TGA, as write_import_texture writes it
    bool done = write_scene_text(scene, LOCATIONS_RELATIVE, &text, &error) == ERROR_NONE &&
                (!texture_path || encode_tga(atlas, texture_path, &tga, &error) == ERROR_NONE);
    if (done && texture_path)
        done = output_file_begin(texture_path, &texture_out, &error) == ERROR_NONE &&
               output_file_write(&texture_out, tga.data(), tga.size(), &error) == ERROR_NONE;
    if (done && !to_stdout)
        done = output_file_begin(scene_path, &scene_out, &error) == ERROR_NONE &&
               output_file_write(&scene_out, text.data(), text.size(), &error) == ERROR_NONE;
    if (done && to_stdout && (fwrite(text.data(), 1, text.size(), stdout) != text.size() || fflush(stdout) != 0)) {
        set_error(&error, ERROR_CANNOT_WRITE, "standard output", 0, "cannot be written: %s", strerror(errno));
        done = false;
    }
    if (done) {
        OutputFile *set[2] = {&texture_out, &scene_out};
        int first = texture_path ? 0 : 1, count = (texture_path ? 1 : 0) + (to_stdout ? 0 : 1);
        done = output_files_commit(set + first, count, &error) == ERROR_NONE;
    }
    output_file_discard(&texture_out);
    output_file_discard(&scene_out);
    if (!done) fprintf(stderr, "orj import: %s\n", error.message.c_str());
    return done;
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
    } else if (!write_import_outputs(result.scene, command.scene_path, command.texture_path, result.texture)) {
        status = 1;
    } else {
        show_warnings(result);
        show_summary(command, result);
    }
    import_result_destroy(&result);
    return status;
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
    "usage: orj export SCENE -o MODEL [--texture IMAGE]\n"
    "\n"
    "Writes the scene as a model for other tools, by the extension of MODEL: .gltf or .glb\n"
    "(glTF 2.0), .dae (Collada) or .obj (OBJ; orj formats lists them). Every object becomes a\n"
    "node with its transform, meshes become triangles (a quad as the two the engine draws) with\n"
    "normals and texture coordinates, lamps point lights of their colour, cameras cameras, and\n"
    "the animation node keys at 25 frames a second (not in OBJ).\n"
    "\n"
    "  -o, --output MODEL   the model file to write (glTF also writes MODEL's name with .bin)\n"
    "  --texture IMAGE      the scene's texture (TGA, BMP, PCX, PNG or JPEG): written as a PNG\n"
    "                       file beside MODEL, named like it, and used by its one material\n";

// Reads export's options; -1 to export, else the status to end with.
static int parse_export_options(int argc, char **argv, const char **scene_path, const char **model_path,
                                const char **texture_path)
{
    std::vector<const char *> scenes;
    CommandLine *line = command_line_create();
    command_line_text(line, "-o,--output", model_path, "-o needs a path");
    command_line_text(line, "--texture", texture_path, "--texture needs a path");
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
    if (exported == ERROR_NONE)
        fprintf(stderr, "orj export: %s -> %s (%s): %u meshes, %u lamps, %u cameras, %d frames%s\n", scene_path,
                model_path, summary.format->description, summary.meshes, summary.lamps, summary.cameras,
                scene.frame_count, summary.animated ? " as node keys at 25 per second" : "");
    else fprintf(stderr, "orj export: %s\n", error.message.c_str());
    free_scene_records(&scene);
    return exported == ERROR_NONE ? 0 : 1;
}

int orj_formats_main(int argc, char **argv)
{
    int answer = command_line_answer_plain(
        command_name(argv[0]).c_str(), argc, argv,
        "usage: orj formats   lists the model formats import reads and export writes\n", nullptr);
    if (answer >= 0) return answer;
    printf("import reads (by extension): %s\n", import_extensions().c_str());
    printf("export writes:\n");
    int count = 0;
    const ExportFormat *formats = export_formats(&count);
    for (int i = 0; i < count; i++) printf("  %-6s %s\n", formats[i].extension, formats[i].description);
    return 0;
}
