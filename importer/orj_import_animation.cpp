#include "importer/orj_import_animation.h"

namespace orj {

// Index of the key at or before ticks (0 before the first); *factor is how
// far ticks lies towards the next key, 0 when there is none.
template <typename Key>
static unsigned key_before(const Key *keys, unsigned count, double ticks, float *factor)
{
    unsigned k = 0;
    while (k + 1 < count && keys[k + 1].mTime <= ticks) k++;
    *factor = 0.0f;
    if (k + 1 < count && ticks > keys[k].mTime) {
        double span = keys[k + 1].mTime - keys[k].mTime;
        if (span > 0.0) *factor = (float)((ticks - keys[k].mTime) / span);
    }
    return k;
}

static aiVector3D sample_vector(const aiVectorKey *keys, unsigned count, double ticks, const aiVector3D &rest)
{
    if (count == 0 || !keys) return rest;
    float factor;
    unsigned k = key_before(keys, count, ticks, &factor);
    if (factor == 0.0f) return keys[k].mValue;
    return keys[k].mValue + (keys[k + 1].mValue - keys[k].mValue) * factor;
}

static aiQuaternion sample_rotation(const aiQuatKey *keys, unsigned count, double ticks, const aiQuaternion &rest)
{
    if (count == 0 || !keys) return rest;
    float factor;
    unsigned k = key_before(keys, count, ticks, &factor);
    aiQuaternion rotation = keys[k].mValue;
    if (factor != 0.0f) aiQuaternion::Interpolate(rotation, keys[k].mValue, keys[k + 1].mValue, factor);
    return rotation.Normalize();
}

aiMatrix4x4 sample_node_transform(const aiNode *node, const aiNodeAnim *channel, double ticks)
{
    if (!channel) return node->mTransformation;
    aiVector3D rest_scale, rest_position;
    aiQuaternion rest_rotation;
    node->mTransformation.Decompose(rest_scale, rest_rotation, rest_position);
    aiVector3D position = sample_vector(channel->mPositionKeys, channel->mNumPositionKeys, ticks, rest_position);
    aiQuaternion rotation = sample_rotation(channel->mRotationKeys, channel->mNumRotationKeys, ticks, rest_rotation);
    aiVector3D scaling = sample_vector(channel->mScalingKeys, channel->mNumScalingKeys, ticks, rest_scale);
    return aiMatrix4x4(scaling, rotation, position);
}

}  // namespace orj
