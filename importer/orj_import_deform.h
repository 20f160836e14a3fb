// Meshes that move by themselves (skins that blend bones, morph targets),
// posed at one moment of the animation.
#pragma once

#include <vector>

#include "importer/orj_import_math.h"

struct aiMesh;

namespace orj {

// What moves a mesh at one moment.
struct MeshPose {
    // For each of the mesh's bones: its node's world matrix times the bone's
    // offset (translations times the import's scale), or mesh_world for a
    // bone that names no node.
    std::vector<Matrix4> bones;
    // The mesh node's world matrix: it places the vertices no bone holds, and
    // every vertex of a mesh without bones.
    Matrix4 mesh_world;
    std::vector<float> morph_weights;  // one per morph target
    int shown_target;                  // a target shown whole (vertex animation), -1 for none
};

// Where every vertex of mesh stands, and which way its normal points, in
// world units times scale: the morph targets blended in by weight (targets
// hold whole positions), then the bones' matrices blended by the vertex's
// weights. Non-finite values count as 0; a normal that cannot be turned is
// kept as it is.
void pose_mesh(const aiMesh *mesh, const MeshPose &pose, double scale, std::vector<Vector3> *positions,
               std::vector<Vector3> *normals);

}  // namespace orj
