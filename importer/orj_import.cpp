#include "importer/orj_import.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "orj/core/base/output_file.h"
#include "orj/core/image/image_write.h"
#include "orj/core/scene/scene_writer.h"
#include "importer/orj_import_atlas.h"
#include "importer/orj_import_files.h"
#include "importer/orj_import_math.h"
#include "importer/orj_import_names.h"
#include "importer/orj_import_texture.h"

namespace orj {

static const double MAX_IMPORT_SCALE = 1e30;  // --scale's limit

enum {
    LARGE_MODEL_FACES = 200000,     // from here on progress is shown
    LARGE_MODEL_SAMPLES = 2000000,  // objects times frames
    LARGE_MODEL_BYTES = 16 << 20,
};

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
        "                       (+y), on the first camera key (\"camara4\", the viewer's default);\n"
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
        "\"camara4\" (the viewer's default), then \"camara\" (key 0), \"Camera\" (1), \"camara2\",\n"
        "\"camara3\", \"camara5\"; further cameras keep their own names.\n"
        "Lights become Lamp objects (point lights): the engine takes a lamp's rotation, in degrees,\n"
        "as its diffuse colour, so the light's red, green and blue (scaled into 0..1 when brighter)\n"
        "are written as its rotation about x, y and z.\n"
        "\n"
        "Sizes: the viewer's fog hides what lies more than about 40 units from the camera (half\n"
        "gone at 33 units, nine tenths at 60) and its near plane cuts what is closer than 1 unit;\n"
        "a model about 10 units across suits it. Without a camera the viewer looks from 1000 units\n"
        "away and shows only fog: --add-camera gives the model one, and the viewer's key 6 an\n"
        "orbit camera around any scene.\n",
        (int)MAX_IMPORT_FRAMES, (int)MAX_FACES_PER_OBJECT);
    return text.c_str();
}

// A finite number above 0 and at most limit, nothing else on the text.
static bool parse_positive(const char *text, double limit, double *value)
{
    if (!text || *text == '\0') return false;
    errno = 0;
    char *end = nullptr;
    double number = strtod(text, &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(number) || !(number > 0.0) || number > limit) return false;
    *value = number;
    return true;
}

OptionsResult parse_import_options(int argc, char **argv, ImportCommand *command, std::string *error)
{
    command->model_path = nullptr;
    command->scene_path = nullptr;
    command->texture_path = nullptr;
    command->settings.frames = 0;
    command->settings.fps = 25.0;
    command->settings.scale = 0.0;  // framed
    command->settings.add_camera = false;
    command->settings.lamps = true;
    command->allow_outside_refs = false;

    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        const char *inline_value = nullptr;
        if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) return OPTIONS_HELP;
        if (strcmp(arg, "-o") == 0 || match_option(arg, "--output", &inline_value)) {
            command->scene_path = option_value(argc, argv, &i, inline_value);
            if (!command->scene_path || !*command->scene_path) {
                *error = "-o needs the path of the scene file to write";
                return OPTIONS_BAD;
            }
            continue;
        }
        if (match_option(arg, "--texture-out", &inline_value)) {
            command->texture_path = option_value(argc, argv, &i, inline_value);
            if (!command->texture_path || !*command->texture_path) {
                *error = "--texture-out needs the path of the TGA file to write";
                return OPTIONS_BAD;
            }
            if (strcmp(command->texture_path, "-") == 0) {
                *error = "--texture-out cannot write the image to standard output (-): give a file";
                return OPTIONS_BAD;
            }
            continue;
        }
        if (match_option(arg, "--frames", &inline_value)) {
            int32_t frames = 0;
            if (!parse_count(option_value(argc, argv, &i, inline_value), &frames) || frames < 1 ||
                frames > MAX_IMPORT_FRAMES) {
                *error = "--frames needs a whole number of frames from 1 to " + std::to_string(MAX_IMPORT_FRAMES);
                return OPTIONS_BAD;
            }
            command->settings.frames = frames;
            continue;
        }
        if (match_option(arg, "--fps", &inline_value)) {
            if (!parse_positive(option_value(argc, argv, &i, inline_value), 1000.0, &command->settings.fps)) {
                *error = "--fps needs a rate above 0 and at most 1000 frames per second";
                return OPTIONS_BAD;
            }
            continue;
        }
        if (match_option(arg, "--scale", &inline_value)) {
            if (!parse_positive(option_value(argc, argv, &i, inline_value), MAX_IMPORT_SCALE,
                                &command->settings.scale)) {
                *error = "--scale needs a finite factor above 0";
                return OPTIONS_BAD;
            }
            continue;
        }
        if (strcmp(arg, "--no-lamps") == 0) {
            command->settings.lamps = false;
            continue;
        }
        if (strcmp(arg, "--add-camera") == 0) {
            command->settings.add_camera = true;
            continue;
        }
        if (strcmp(arg, "--allow-outside-refs") == 0) {
            command->allow_outside_refs = true;
            continue;
        }
        if (arg[0] == '-' && arg[1] != '\0') {
            *error = std::string("unknown option: ") + arg;
            return OPTIONS_BAD;
        }
        if (command->model_path) {
            *error = std::string("only one model can be imported at a time: ") + arg;
            return OPTIONS_BAD;
        }
        command->model_path = arg;
    }
    if (!command->model_path) {
        *error = "the model file to import is missing";
        return OPTIONS_BAD;
    }
    if (!command->scene_path) {
        *error = "-o SCENE is missing: the scene file to write";
        return OPTIONS_BAD;
    }
    return OPTIONS_RUN;
}

// Where path is or would be: device and inode when it exists, else its
// folder resolved and its last component.
struct FilePlace {
    bool exists;
    dev_t device;
    ino_t inode;
    std::string resolved;
};

static FilePlace place_of(const char *path)
{
    FilePlace place = {false, 0, 0, std::string()};
    struct stat status;
    if (stat(path, &status) == 0) {
        place.exists = true;
        place.device = status.st_dev;
        place.inode = status.st_ino;
        return place;
    }
    std::string text = path;
    size_t slash = text.find_last_of('/');
    std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : text.substr(0, slash);
    char *real = realpath(directory.c_str(), nullptr);
    if (real) {
        place.resolved = std::string(real) + "/" + (slash == std::string::npos ? text : text.substr(slash + 1));
        free(real);
    }
    return place;
}

static bool same_place(const FilePlace &a, const FilePlace &b)
{
    if (a.exists || b.exists) return a.exists && b.exists && a.device == b.device && a.inode == b.inode;
    return !a.resolved.empty() && a.resolved == b.resolved;
}

ErrorKind check_import_paths(const ImportCommand &command, Error *error)
{
    FilePlace model = place_of(command.model_path), scene = place_of(command.scene_path);
    if (same_place(scene, model))
        return set_error(error, ERROR_REFUSED, command.scene_path, 0, "the scene would replace the model: refused");
    if (!command.texture_path) return ERROR_NONE;
    FilePlace texture = place_of(command.texture_path);
    if (same_place(texture, model))
        return set_error(error, ERROR_REFUSED, command.texture_path, 0, "the texture would replace the model: refused");
    if (same_place(texture, scene))
        return set_error(error, ERROR_REFUSED, command.texture_path, 0,
                         "the texture and the scene would be written to the same file: refused");
    return ERROR_NONE;
}

static void show_progress(const char *stage, double fraction)
{
    fprintf(stderr, "orj import: %s %3d%%\n", stage, (int)std::lround(fraction * 100.0));
}

static void warn(const std::string &text) { fprintf(stderr, "orj import: warning: %s\n", text.c_str()); }

static void report_refused(ModelFolder *folder)
{
    for (const std::string &path : folder->refused)
        warn(folder->model_path + ": '" + path +
             "' lies outside the model's folder: not read (--allow-outside-refs reads it)");
    folder->refused.clear();
}

static void report_warnings(const ImportStats &stats, const MeshRepairs &repairs)
{
    if (repairs.weights_dropped)
        warn(std::to_string(repairs.weights_dropped) +
             " bone weights naming vertices their mesh does not have dropped");
    if (repairs.morphs_dropped)
        warn(std::to_string(repairs.morphs_dropped) + " morph targets whose vertices do not match their mesh dropped");
    if (stats.points_dropped || stats.lines_dropped)
        warn(std::to_string(stats.points_dropped) + " points and " + std::to_string(stats.lines_dropped) +
             " lines dropped (the scene holds faces only)");
    if (stats.polygons_split)
        warn(std::to_string(stats.polygons_split) + " polygons of more than four corners made into triangle fans");
    if (stats.faces_out_of_range)
        warn(std::to_string(stats.faces_out_of_range) + " faces naming vertices their mesh does not have dropped");
    if (stats.bad_numbers) warn(std::to_string(stats.bad_numbers) + " non-finite vertex values set to 0");
    if (stats.meshes_split)
        warn(std::to_string(stats.meshes_split) + " meshes of more than " + std::to_string(MAX_FACES_PER_OBJECT) +
             " faces cut into several objects");
    if (stats.poor_fits) {
        char text[200];
        snprintf(text, sizeof text,
                 "%d objects have shear or a non-uniform scale under rotation that the engine cannot express: "
                 "drawn with the nearest transform (error up to %.3g of their size)",
                 stats.poor_fits, stats.worst_fit);
        warn(text);
    }
    if (stats.animations_ignored > 0)
        warn(std::to_string(stats.animations_ignored) + " animations after the first one ignored");
    if (stats.mesh_animations_ignored > 0)
        warn(std::to_string(stats.mesh_animations_ignored) +
             " meshes blend bones or morph: they stay in their rest pose (only rigid parts follow bones)");
    if (stats.group_inserted > 0)
        warn(std::to_string(stats.group_inserted) + " grouping objects added to keep parents under 1000 children");
    for (const std::string &line : stats.warnings) warn(line);
    if (!stats.renames.empty()) {
        warn(std::to_string(stats.renames.size()) + " objects renamed to keep names unique and readable:");
        size_t shown = std::min<size_t>(stats.renames.size(), 30);
        for (size_t i = 0; i < shown; i++) fprintf(stderr, "    %s\n", stats.renames[i].c_str());
        if (shown < stats.renames.size()) fprintf(stderr, "    and %zu more\n", stats.renames.size() - shown);
    }
}

static int64_t count_source_faces(const aiScene *scene)
{
    int64_t faces = 0;
    for (unsigned m = 0; m < scene->mNumMeshes; m++) faces += scene->mMeshes[m]->mNumFaces;
    return faces;
}

// Writes the scene to path, or to standard output for "-", and the texture
// (when asked for): both files are written out before either replaces
// anything, then put in place as a set. False (with the message shown) when
// any of it fails; then no file has changed.
static bool write_import_outputs(const Scene *scene, const char *scene_path, const char *texture_path,
                                 const Image *texture)
{
    Error error;
    std::string text;
    std::vector<uint8_t> tga;
    OutputFile scene_out, texture_out;
    bool to_stdout = strcmp(scene_path, "-") == 0;
    bool done = write_scene_text(scene, LOCATIONS_RELATIVE, &text, &error) == ERROR_NONE &&
                (!texture_path || encode_tga(*texture, texture_path, &tga, &error) == ERROR_NONE);
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
static bool check_import_outputs(const ImportCommand &command)
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
    switch (parse_import_options(argc, argv, &command, &error)) {
    case OPTIONS_HELP:
        fputs(import_usage(), stdout);
        return 0;
    case OPTIONS_BAD:
        fprintf(stderr, "orj import: %s\n%.*s(orj import --help tells more)\n", error.c_str(),
                (int)(strchr(import_usage(), '\n') - import_usage() + 1), import_usage());
        return 2;
    case OPTIONS_RUN:
        break;
    }

    Error failure;
    if (check_import_paths(command, &failure) != ERROR_NONE) {
        fprintf(stderr, "orj import: %s\n", failure.message.c_str());
        return 2;
    }
    if (!check_import_outputs(command)) return 1;
    struct stat model_stat;
    if (stat(command.model_path, &model_stat) == 0 && model_stat.st_size > LARGE_MODEL_BYTES)
        fprintf(stderr, "orj import: reading %s (%lld MB)\n", command.model_path,
                (long long)(model_stat.st_size >> 20));
    ModelFolder folder;
    Assimp::Importer importer;
    ModelReading reading;
    const aiScene *scene = nullptr;
    ErrorKind read = open_model_folder(&folder, command.model_path, command.allow_outside_refs, &failure);
    if (read == ERROR_NONE) read = read_model(&importer, &folder, &scene, &reading, &failure);
    report_refused(&folder);
    if (read != ERROR_NONE) {
        fprintf(stderr, "orj import: %s\n", failure.message.c_str());
        return 1;
    }

    int64_t source_faces = count_source_faces(scene);
    bool large = source_faces >= LARGE_MODEL_FACES;
    if (large) fprintf(stderr, "orj import: %s: %lld faces to convert\n", command.model_path, (long long)source_faces);
    ImportedScene imported;
    ImportProgress progress = large ? show_progress : nullptr;
    if (!large && scene->mNumAnimations > 0) {
        // A long animation over many nodes is slow too.
        double ticks_per_second =
            scene->mAnimations[0]->mTicksPerSecond > 0 ? scene->mAnimations[0]->mTicksPerSecond : 25.0;
        double frames = command.settings.frames > 0
                            ? command.settings.frames
                            : scene->mAnimations[0]->mDuration / ticks_per_second * command.settings.fps;
        if (frames * scene->mNumMeshes > LARGE_MODEL_SAMPLES) progress = show_progress;
    }
    if (convert_scene(scene, command.settings, progress, &imported, &failure) != ERROR_NONE) {
        fprintf(stderr, "orj import: %s: %s\n", command.model_path, failure.message.c_str());
        return 1;
    }
    int64_t normals_missing = reading.normals_missing;
    imported.stats.normals_missing = normals_missing;
    imported.stats.faces_out_of_range += reading.repairs.faces_dropped;

    // The texture coordinates move into the atlas before the scene is written.
    Atlas atlas;
    if (command.texture_path) build_atlas(scene, &folder, &imported.objects, &atlas);

    if (!write_import_outputs(&imported.scene, command.scene_path, command.texture_path, &atlas.image)) return 1;

    const ImportStats &stats = imported.stats;
    report_warnings(stats, reading.repairs);
    report_refused(&folder);  // texture references refused while building the atlas
    for (const std::string &line : atlas.warnings) warn(line);
    fprintf(stderr, "orj import: %s -> %s\n", command.model_path,
            strcmp(command.scene_path, "-") == 0 ? "standard output" : command.scene_path);
    fprintf(stderr, "  objects: %d (%d meshes, %d empty groups, %d cameras, %d lamps)\n", imported.scene.object_count,
            stats.mesh_objects, stats.group_objects, stats.camera_objects, stats.lamp_objects);
    fprintf(stderr, "  faces: %lld (%lld quads, %lld triangles), %d polygons drawn per frame\n",
            (long long)stats.quads + stats.triangles, (long long)stats.quads, (long long)stats.triangles,
            imported.scene.polygon_count);
    fprintf(stderr, "  frames: %d at %g per second%s\n", imported.frame_count, command.settings.fps,
            scene->mNumAnimations > 0 ? "" : " (no animation)");
    if (normals_missing > 0) fprintf(stderr, "  normals generated for %lld meshes\n", (long long)normals_missing);
    if (stats.points_dropped || stats.lines_dropped)
        fprintf(stderr, "  dropped: %lld points, %lld lines\n", (long long)stats.points_dropped,
                (long long)stats.lines_dropped);
    if (command.texture_path) {
        fprintf(stderr, "  texture: %s (%dx%d), an atlas of %zu materials:\n", command.texture_path, atlas.image.width,
                atlas.image.height, atlas.materials.size());
        size_t shown = std::min<size_t>(atlas.materials.size(), 40);
        for (size_t i = 0; i < shown; i++) fprintf(stderr, "    %s\n", atlas.materials[i].c_str());
        if (shown < atlas.materials.size()) fprintf(stderr, "    and %zu more\n", atlas.materials.size() - shown);
        for (const std::string &line : atlas.repeats) fprintf(stderr, "    %s\n", line.c_str());
    }
    if (stats.has_extent) {
        // The one size message: what the model measures in the scene, and how it got there.
        double model_units = stats.extent_size / stats.applied_scale;
        if (!(stats.extent_size > 0.0))
            fputs("  size: 0 (all the model's vertices lie at one point: no scale makes it visible)\n", stderr);
        else if (command.settings.scale == 0.0)
            fprintf(
                stderr,
                "  size: %.4g units across, scaled by %.4g to %.3g and centred (--scale 1 keeps the model's units)\n",
                model_units, stats.applied_scale, stats.extent_size);
        else if (stats.extent_size > 40.0 || stats.extent_size < 2.0)
            fprintf(stderr, "  size: %.4g units across; the viewer suits about 5 to 20 (leave out --scale to fit it)\n",
                    stats.extent_size);
        else fprintf(stderr, "  size: %.4g units across\n", stats.extent_size);
    }
    if (stats.lamps_added > 0)
        fprintf(stderr, "  lamps: %d added (the model has no lights; --no-lamps leaves them out)\n", stats.lamps_added);
    // Which key shows which camera, the one the viewer starts with first.
    static const int key_order[CAMERA_SLOT_COUNT] = {4, 0, 1, 2, 3, 5};
    for (int key : key_order)
        for (int i = 0; i < imported.scene.object_count; i++) {
            const ImportObject &object = imported.objects[i];
            if (object.kind != Camera || camera_key_of(object.name.c_str()) != key) continue;
            fprintf(stderr, "  camera key %d: '%s'%s%s\n", key, object.name.c_str(),
                    i == stats.added_camera ? " (added in front of the model)"
                                            : (" (the model's '" + object.source_name + "')").c_str(),
                    key == 4 ? ", shown first" : "");
            break;
        }
    fprintf(stderr, "  key 6 in the viewer: an orbit camera around the whole scene\n");
    return 0;
}

}  // namespace orj
