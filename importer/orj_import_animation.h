// A node's transform at a moment of an animation clip.
#pragma once

#include <assimp/anim.h>
#include <assimp/scene.h>

namespace orj {

// The node's local matrix at ticks: channel's keys when it has them
// (position, rotation and scale each interpolated between the keys around
// ticks, held before the first and after the last), the node's own matrix
// for what the channel lacks or without a channel (null).
aiMatrix4x4 sample_node_transform(const aiNode *node, const aiNodeAnim *channel, double ticks);

}  // namespace orj
