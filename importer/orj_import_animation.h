// A node's transform at a moment of an animation clip.
#pragma once

#include <assimp/anim.h>
#include <assimp/scene.h>

#include <vector>

namespace orj {

// The node's local matrix at ticks: channel's keys when it has them
// (position, rotation and scale each interpolated between the keys around
// ticks, held before the first and after the last), the node's own matrix
// for what the channel lacks or without a channel (null).
aiMatrix4x4 sample_node_transform(const aiNode *node, const aiNodeAnim *channel, double ticks);

// The weight of each of mesh's morph targets at ticks: channel's keys
// interpolated (a target a key leaves out weighs 0 there), the targets' own
// weights without a channel (null).
std::vector<float> sample_morph_weights(const aiMesh *mesh, const aiMeshMorphAnim *channel, double ticks);

// The morph target a vertex-animation channel shows at ticks (the key at or
// before it), -1 without a channel or for a key naming no target of mesh.
int sample_mesh_key(const aiMesh *mesh, const aiMeshAnim *channel, double ticks);

}  // namespace orj
