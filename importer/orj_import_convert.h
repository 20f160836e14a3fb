// Turns a scene read by the asset importer into the engine's scene records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "orj/core/base/error.h"
#include "orj/core/scene/scene.h"
#include "importer/orj_import_guard.h"
#include "orj/import/orj_import.h"

struct aiScene;

namespace Assimp {
class Importer;
}

namespace orj {

struct ModelFolder;

// MAX_FACES_PER_OBJECT and MAX_CHILDREN_PER_OBJECT (orj/import/orj_import.h)
// are the format's own limits: this engine's reader takes more, other readers
// of the format may not.

// The glTF node extra in which orj export keeps a lamp's own colour (the
// light's colour is within 0..1, the engine's lamps may be brighter).
constexpr const char *LAMP_COLOUR_EXTRA = "orj_lamp_colour";
// The glTF node extra that marks a camera orj export wrote: its name is the
// viewer's key it stands on.
constexpr const char *CAMERA_KEY_EXTRA = "orj_camera_key";

// One object as built, before it is laid out as a SceneObject.
struct ImportObject {
    std::string name;
    std::string source_name;  // the node's (or camera's, light's) own name, for the rename list
    ObjectKind kind;
    int parent;    // index into ImportedScene::objects, -1 for a root
    int material;  // the source mesh's material, -1 for none
    std::vector<Vector3> vertices;
    std::vector<Vector3> normals;
    std::vector<Quad> quads;
    std::vector<Triangle> triangles;
    std::vector<Vector3> locations;  // parent-relative
    std::vector<Vector3> rotations;  // degrees
    std::vector<Vector3> scales;
};

struct ImportStats {
    int mesh_objects, group_objects, camera_objects, lamp_objects;
    int64_t quads, triangles;
    int64_t points_dropped, lines_dropped;
    int64_t polygons_split;             // faces of five or more corners, made into triangle fans
    int64_t faces_out_of_range;         // faces naming vertices the mesh does not have, dropped
    int64_t bad_numbers;                // non-finite positions, normals or texture coordinates set to 0
    int64_t normals_missing;            // meshes whose normals were generated
    int meshes_split;                   // meshes cut into several objects to keep under MAX_FACES_PER_OBJECT
    int poor_fits;                      // objects whose matrix had shear the chain cannot express
    double worst_fit;                   // largest relative error of those fits
    int animations_ignored;             // clips after the first
    int mesh_animations_ignored;        // deforming meshes held in their first frame's pose (past the limits)
    int deforming_meshes;               // skins that blend bones and meshes with morph targets, posed frame by frame
    int posed_objects;                  // objects holding their poses, each shown at its own frames
    int64_t most_drawn_polygons;        // in one frame (a quad counts as two)
    int rigid_skins;                    // skinned meshes whose parts follow one bone each
    int deepest_level;                  // of the source's hierarchy, the root being level 1
    int flattened;                      // objects moved up to keep within the reader's depth
    int group_inserted;                 // grouping objects added for parents of too many children
    bool has_extent;                    // the meshes have vertices: extent_* are set
    Vector3 extent_centre;              // middle of the box the meshes fill over the animation
    double extent_size;                 // the box's diagonal
    int added_camera;                   // index of the added camera object, -1 for none
    double applied_scale;               // the factor every location and vertex was multiplied by
    int lamps_added;                    // lamps added for a model without lights
    std::vector<std::string> warnings;  // ready-made lines about lights, limits and the like
    std::vector<std::string> renames;   // "old" -> "new" lines
};

// Not copyable: its records point into its own vectors.
struct ImportedScene {
    ImportedScene() = default;
    ImportedScene(const ImportedScene &) = delete;
    ImportedScene &operator=(const ImportedScene &) = delete;

    std::vector<ImportObject> objects;
    int32_t frame_count = 0;
    ImportStats stats = ImportStats();
    // The scene records, pointing into objects (valid while objects is unchanged).
    std::vector<SceneObject> records;
    std::vector<std::vector<int32_t>> children;
    Scene scene = Scene();
};

// What reading a model took care of, for the summary.
struct ModelReading {
    int64_t normals_missing;  // meshes whose normals were generated
    MeshRepairs repairs;      // what was dropped before the library's mesh steps
};

// Reads folder's model with importer (which keeps it and opens every file
// through folder), after check_collada_file; broken indices are dropped,
// normals made where missing and equal vertices merged.
ErrorKind read_model(Assimp::Importer *importer, ModelFolder *folder, const aiScene **scene, ModelReading *reading,
                     Error *error);

// Converts source into imported (objects, frame count, stats and the records
// in imported->scene). Fails when nothing can be made of it (ERROR_MALFORMED)
// or it has no faces to draw (ERROR_REFUSED: points and lines only, or no
// meshes at all).
ErrorKind convert_scene(const aiScene *source, const ImportSettings &settings, ImportProgress progress,
                        ImportedScene *imported, Error *error);

// Lays imported->objects out as imported->scene (records, children, polygon count).
void build_scene_records(ImportedScene *imported);

}  // namespace orj
