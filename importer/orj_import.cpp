#include "orj/import/orj_import.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "orj/core/image/image_write.h"
#include "core/base/path_separators.h"
#include "importer/orj_import_atlas.h"
#include "importer/orj_import_convert.h"
#include "importer/orj_import_files.h"
#include "importer/orj_import_names.h"
#include "importer/orj_import_paths.h"
#include "importer/orj_import_texture.h"

namespace orj {

enum {
    LARGE_MODEL_FACES = 200000,     // from here on progress is shown
    LARGE_MODEL_SAMPLES = 2000000,  // objects times frames
};

struct ImportedModel {
    ImportedScene imported;
};

static void refused_warnings(ModelFolder *folder, std::vector<std::string> *warnings)
{
    for (const std::string &path : folder->refused)
        warnings->push_back(folder->model_path + ": '" + path +
                            "' lies outside the model's folder: not read (--allow-outside-refs reads it)");
    folder->refused.clear();
}

// What was dropped, repaired or left out, one message each.
static void stats_warnings(const ImportStats &stats, const MeshRepairs &repairs, std::vector<std::string> *warnings)
{
    auto warn = [warnings](const std::string &text) { warnings->push_back(text); };
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
        warn(std::to_string(stats.mesh_animations_ignored) + " skinned or morphing meshes would take more than " +
             std::to_string(MAX_POSED_FACES) + " faces, or " + std::to_string(MAX_POSED_TRANSFORMS) +
             " object frames, written once per pose: they keep the first frame's pose (fewer frames, with "
             "--frames or a lower --fps, let them move)");
    if (stats.group_inserted > 0)
        warn(std::to_string(stats.group_inserted) + " grouping objects added to keep parents under 1000 children");
    for (const std::string &line : stats.warnings) warn(line);
    if (!stats.renames.empty()) {
        std::string text = std::to_string(stats.renames.size()) + " objects renamed to keep names unique and readable:";
        size_t shown = std::min<size_t>(stats.renames.size(), 30);
        for (size_t i = 0; i < shown; i++) text += "\n    " + stats.renames[i];
        if (shown < stats.renames.size()) text += "\n    and " + std::to_string(stats.renames.size() - shown) + " more";
        warn(text);
    }
}

static int64_t count_source_faces(const aiScene *scene)
{
    int64_t faces = 0;
    for (unsigned m = 0; m < scene->mNumMeshes; m++) faces += scene->mMeshes[m]->mNumFaces;
    return faces;
}

// Progress for a large model, which takes a while: many faces, or a long
// animation over many meshes. Null for the others.
static ImportProgress progress_for(const aiScene *scene, const ImportSettings &settings, ImportProgress progress,
                                   ImportNote note, const char *model_path)
{
    int64_t source_faces = count_source_faces(scene);
    if (source_faces >= LARGE_MODEL_FACES) {
        if (note) note((std::string(model_path) + ": " + std::to_string(source_faces) + " faces to convert").c_str());
        return progress;
    }
    if (scene->mNumAnimations == 0) return nullptr;
    double ticks_per_second =
        scene->mAnimations[0]->mTicksPerSecond > 0 ? scene->mAnimations[0]->mTicksPerSecond : 25.0;
    double frames =
        settings.frames > 0 ? settings.frames : scene->mAnimations[0]->mDuration / ticks_per_second * settings.fps;
    return frames * scene->mNumMeshes > LARGE_MODEL_SAMPLES ? progress : nullptr;
}

static std::string format_line(const char *format, ...) __attribute__((format(printf, 1, 2)));
static std::string format_line(const char *format, ...)
{
    char text[400];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// What the scene holds: objects, faces, frames, what was generated or dropped.
static void count_lines(const ImportedScene &imported, bool animated, double fps, std::vector<std::string> *lines)
{
    const ImportStats &stats = imported.stats;
    lines->push_back(format_line("  objects: %d (%d meshes, %d empty groups, %d cameras, %d lamps)",
                                 imported.scene.object_count, stats.mesh_objects, stats.group_objects,
                                 stats.camera_objects, stats.lamp_objects));
    lines->push_back(format_line("  faces: %lld (%lld quads, %lld triangles), %lld polygons drawn per frame",
                                 (long long)stats.quads + stats.triangles, (long long)stats.quads,
                                 (long long)stats.triangles, (long long)stats.most_drawn_polygons));
    lines->push_back(
        format_line("  frames: %d at %g per second%s", imported.frame_count, fps, animated ? "" : " (no animation)"));
    if (stats.deforming_meshes > 0 && stats.mesh_animations_ignored == 0)
        lines->push_back(format_line("  skinned or morphing meshes: %d, posed frame by frame as %d objects, each "
                                     "shown at its own frames",
                                     stats.deforming_meshes, stats.posed_objects));
    if (stats.normals_missing > 0)
        lines->push_back(format_line("  normals generated for %lld meshes", (long long)stats.normals_missing));
    if (stats.points_dropped || stats.lines_dropped)
        lines->push_back(format_line("  dropped: %lld points, %lld lines", (long long)stats.points_dropped,
                                     (long long)stats.lines_dropped));
}

// The one size message: what the model measures in the scene, and how it got there.
static std::string size_line(const ImportStats &stats, bool framed)
{
    double model_units = stats.extent_size / stats.applied_scale;
    if (!(stats.extent_size > 0.0))
        return "  size: 0 (all the model's vertices lie at one point: no scale makes it visible)";
    if (framed)
        return format_line(
            "  size: %.4g units across, scaled by %.4g to %.3g and centred (--scale 1 keeps the model's units)",
            model_units, stats.applied_scale, stats.extent_size);
    if (stats.extent_size > 40.0 || stats.extent_size < 2.0)
        return format_line("  size: %.4g units across; the viewer suits about 5 to 20 (leave out --scale to fit it)",
                           stats.extent_size);
    return format_line("  size: %.4g units across", stats.extent_size);
}

// How the scene shows in the viewer: its size, its lamps, which key shows
// which camera (the one the viewer starts with first) and the orbit camera.
static void view_lines(const ImportedScene &imported, bool framed, std::vector<std::string> *lines)
{
    const ImportStats &stats = imported.stats;
    if (stats.has_extent) lines->push_back(size_line(stats, framed));
    if (stats.lamps_added > 0)
        lines->push_back(
            format_line("  lamps: %d added (the model has no lights; --no-lamps leaves them out)", stats.lamps_added));
    for (int slot = 0; slot < CAMERA_SLOTS; slot++)
        for (int i = 0, key = import_camera_key(slot); i < imported.scene.object_count; i++) {
            const ImportObject &object = imported.objects[i];
            if (object.kind != Camera || camera_key_of(object.name.c_str()) != key) continue;
            lines->push_back(format_line("  camera key %d: '%s'%s%s", key, object.name.c_str(),
                                         i == stats.added_camera
                                             ? " (added in front of the model)"
                                             : (" (the model's '" + object.source_name + "')").c_str(),
                                         key == FIRST_CAMERA ? ", shown first" : ""));
            break;
        }
    lines->push_back("  key 6 in the viewer: an orbit camera around the whole scene");
}

// Converts the model read into scene records, the atlas and the summary.
static ErrorKind convert_model(const aiScene *scene, ModelFolder *folder, const ModelReading &reading,
                               const ImportSettings &settings, ImportProgress progress, ImportResult *result,
                               Error *error)
{
    ImportedScene &imported = result->model->imported;
    if (convert_scene(scene, settings, progress, &imported, error) != ERROR_NONE) {
        std::string reason = error->message;
        return set_error(error, error->kind, folder->model_path.c_str(), 0, "%s", reason.c_str());
    }
    imported.stats.normals_missing = reading.normals_missing;
    imported.stats.faces_out_of_range += reading.repairs.faces_dropped;
    // The texture coordinates move into the atlas before the records are used.
    Atlas atlas;
    if (settings.atlas) {
        build_atlas(scene, folder, &imported.objects, &atlas);
        result->texture.width = atlas.image.width;
        result->texture.height = atlas.image.height;
        result->texture.has_alpha = true;
        result->texture.rgba = std::move(atlas.image.rgba);
    }
    result->scene = &imported.scene;
    stats_warnings(imported.stats, reading.repairs, &result->warnings);
    refused_warnings(folder, &result->warnings);  // texture references refused while building the atlas
    result->warnings.insert(result->warnings.end(), atlas.warnings.begin(), atlas.warnings.end());
    count_lines(imported, scene->mNumAnimations > 0, settings.fps, &result->counts);
    result->materials = std::move(atlas.materials);
    result->repeats = std::move(atlas.repeats);
    view_lines(imported, settings.scale == 0.0, &result->view);
    return ERROR_NONE;
}

ErrorKind import_model(const char *model_path, const ImportSettings &settings, ImportProgress progress, ImportNote note,
                       ImportResult *result, Error *error)
{
    // A null error still needs a place for the message.
    Error scratch;
    if (!error) error = &scratch;
    import_result_destroy(result);
    result->model = new ImportedModel();
    ModelFolder folder;
    Assimp::Importer importer;
    ModelReading reading;
    const aiScene *scene = nullptr;
    ErrorKind read = open_model_folder(&folder, model_path, settings.allow_outside_refs, error);
    if (read == ERROR_NONE) read = read_model(&importer, &folder, &scene, &reading, error);
    refused_warnings(&folder, &result->warnings);
    if (read != ERROR_NONE) return read;
    return convert_model(scene, &folder, reading, settings, progress_for(scene, settings, progress, note, model_path),
                         result, error);
}

void import_result_destroy(ImportResult *result)
{
    delete result->model;
    *result = ImportResult();
}

// Where path is or would be: the file's identity when it exists, else its
// folder resolved and its last component.
struct FilePlace {
    bool exists;
    FileKey key;
    std::string resolved;
};

static FilePlace place_of(const char *path)
{
    FilePlace place = {false, {0, 0}, std::string()};
    if (file_key_of(path, &place.key)) {
        place.exists = true;
        return place;
    }
    std::string text = path;
    size_t slash = text.find_last_of(PATH_SEPARATORS);
    std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : text.substr(0, slash);
    std::string real = resolve_real_path(directory);
    if (!real.empty()) place.resolved = real + "/" + (slash == std::string::npos ? text : text.substr(slash + 1));
    return place;
}

static bool same_place(const FilePlace &a, const FilePlace &b)
{
    if (a.exists || b.exists) return a.exists && b.exists && same_file_key(a.key, b.key);
    return !a.resolved.empty() && a.resolved == b.resolved;
}

ErrorKind check_import_outputs(const char *model_path, const char *scene_path, const char *texture_path, Error *error)
{
    // A null error still needs a place for the message.
    Error scratch;
    if (!error) error = &scratch;
    FilePlace model = place_of(model_path), scene = place_of(scene_path);
    if (same_place(scene, model))
        return set_error(error, ERROR_REFUSED, scene_path, 0, "the scene would replace the model: refused");
    if (!texture_path) return ERROR_NONE;
    FilePlace texture = place_of(texture_path);
    if (same_place(texture, model))
        return set_error(error, ERROR_REFUSED, texture_path, 0, "the texture would replace the model: refused");
    if (same_place(texture, scene))
        return set_error(error, ERROR_REFUSED, texture_path, 0,
                         "the texture and the scene would be written to the same file: refused");
    return ERROR_NONE;
}

std::string import_extensions()
{
    Assimp::Importer importer;
    aiString extensions;
    importer.GetExtensionList(extensions);
    return extensions.C_Str();
}

ErrorKind write_import_texture(const char *path, const Image &texture, Error *error)
{
    // A null error still needs a place for the message.
    Error scratch;
    if (!error) error = &scratch;
    Image image = texture;
    image.has_alpha = true;  // the atlas keeps its alpha: a 32-bit TGA
    return write_tga_file(path, image, error);
}

}  // namespace orj
