// One mesh of a model as the engine's faces: quads kept, polygons made into
// fans, points and lines dropped, cut into parts within the format's face limit.
#pragma once

#include <vector>

#include "importer/orj_import_convert.h"

struct aiMesh;

namespace orj {

// A mesh as objects: parts of at most MAX_FACES_PER_OBJECT faces, each
// following its node (bone -1) or rigidly one bone of the mesh. A mesh that
// deforms (a skin that blends bones, morph targets) is posed frame by frame:
// its parts follow no bone, and sources names the mesh vertex of each part
// vertex.
struct MeshParts {
    std::vector<ImportObject> parts;
    std::vector<int> bones;
    bool deforms = false;
    std::vector<std::vector<unsigned>> sources;
};

// The mesh's geometry, positions multiplied by scale, texture t stored
// flipped as the reader stores it, in parts of at most MAX_FACES_PER_OBJECT
// faces. A mesh whose faces are each held with full weight by one bone (a
// rigid skin) is cut by bone; other skins, and meshes with morph targets,
// deform. What is dropped or changed is counted in stats.
MeshParts convert_mesh(const aiMesh *mesh, double scale, ImportStats *stats);

}  // namespace orj
