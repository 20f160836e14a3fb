/// @file
/// Importing a model from the common interchange formats (OBJ, glTF 2.0,
/// Collada, PLY, STL, 3DS, FBX and the others of the asset importer library)
/// as the engine's scene records and one texture atlas.
#pragma once

#include <string>
#include <vector>

#include "orj/core/base/error.h"
#include "orj/core/image/image.h"
#include "orj/core/scene/scene.h"

namespace orj {

/// An import's limits.
enum {
    MAX_IMPORT_FRAMES = 100000,      ///< frames an import writes at most
    MAX_FACES_PER_OBJECT = 10000,    ///< faces of one mesh object; larger meshes are cut into several
    MAX_CHILDREN_PER_OBJECT = 1000,  ///< children of one object; grouping objects are added past it
};

/// Skinned meshes that blend bones and meshes with morph targets are written
/// once per pose: the faces of all those poses, and their objects times the
/// frames (a transform line each), are held to about a hundred megabytes of
/// scene file. Past either, such meshes keep their first frame's pose.
enum : int64_t {
    MAX_POSED_FACES = 1000000,       ///< faces over all poses of such meshes
    MAX_POSED_TRANSFORMS = 4000000,  ///< their objects times the frames
};

/// What import_model is asked to make; the defaults import the model as it is.
struct ImportSettings {
    int frames = 0;               ///< 0: from the animation (or 1 without one), else 1 to MAX_IMPORT_FRAMES
    double fps = 25.0;            ///< sampling rate of the animation, in frames a second
    double scale = 1.0;           ///< multiplies locations and vertex positions; 0: framed, 10 units across and centred
    bool add_camera = false;      ///< one more camera, holding the whole model in view, on the viewer's first key
    bool camera_if_none = false;  ///< add that camera when the model brings none of its own
    bool lamps = false;           ///< light a model that has no lights of its own
    bool allow_outside_refs = false;  ///< read files the model names outside its folder
    bool atlas = false;               ///< pack the materials' textures and colours into ImportResult::texture
};

/// Called now and then while converting a large model: stage names the step,
/// fraction (0 to 1) says how far it is.
typedef void (*ImportProgress)(const char *stage, double fraction);
/// Called with a line that says what a large import is about to do.
typedef void (*ImportNote)(const char *line);

/// The converted objects the scene's records point into; opaque, owned by an
/// ImportResult.
struct ImportedModel;

/// What import_model made. Owned by the caller, who frees it with
/// import_result_destroy; scene points into model and lives as long as it.
struct ImportResult {
    ImportedModel *model = nullptr;      ///< what scene points into; null before an import
    const Scene *scene = nullptr;        ///< the imported scene; null until an import succeeds
    Image texture;                       ///< the atlas (with ImportSettings::atlas), rows top first
    std::vector<std::string> warnings;   ///< what was dropped, repaired or refused, one message each
    std::vector<std::string> counts;     ///< summary lines: objects, faces, frames, what was generated or dropped
    std::vector<std::string> materials;  ///< the atlas: what became of each material
    std::vector<std::string> repeats;    ///< the atlas: textures repeated in their tile
    std::vector<std::string> view;       ///< summary lines: size, lamps and camera keys in the viewer
};

/// Reads the model at model_path through the asset importer, only from inside
/// its folder (unless settings.allow_outside_refs), checks and repairs what
/// would make the library read out of bounds, and converts it into scene
/// records: nodes become Mesh objects, cameras Camera objects on the viewer's
/// camera keys (a camera already named for a key keeps it), lights Lamp
/// objects written before the meshes, and the first animation is sampled at
/// settings.fps; meshes that deform are posed frame by frame. A model with no
/// faces to draw is refused (ERROR_REFUSED). With settings.atlas the
/// materials' textures are packed into result->texture and the texture
/// coordinates moved into them. progress and note may be null. Errors name the model: ERROR_CANNOT_OPEN, ERROR_REFUSED,
/// ERROR_MALFORMED when it cannot be read or nothing can be made of it; even
/// then result->warnings says what was refused. result must be constructed
/// (or hold an earlier import, which is freed first): it is filled afresh.
ErrorKind import_model(const char *model_path, const ImportSettings &settings, ImportProgress progress, ImportNote note,
                       ImportResult *result, Error *error);

/// Frees what result owns and empties it; it may then be filled again.
void import_result_destroy(ImportResult *result);

/// Refuses (ERROR_REFUSED, naming the file) an import's output, the scene at
/// scene_path or the texture at texture_path (which may be null), that is the
/// model at model_path or the other output: the same file by identity
/// (links included), or for outputs not there yet, the same place once their
/// folders are resolved.
ErrorKind check_import_outputs(const char *model_path, const char *scene_path, const char *texture_path, Error *error);

/// The viewer's camera key (core/viewer/playback.h) that imported camera
/// number camera_index takes: FIRST_CAMERA, then the others in order; -1 past
/// the last key (further cameras keep their own names).
int import_camera_key(int camera_index);

/// Writes texture (an ImportResult's atlas) to path as an uncompressed 32-bit
/// TGA file, top row first; ERROR_CANNOT_WRITE naming the file when it cannot.
ErrorKind write_import_texture(const char *path, const Image &texture, Error *error);

/// The extensions the asset importer reads, as it lists them ("*.3ds;*.obj;...").
std::string import_extensions();

}  // namespace orj
