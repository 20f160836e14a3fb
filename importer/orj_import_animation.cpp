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

std::vector<float> sample_morph_weights(const aiMesh *mesh, const aiMeshMorphAnim *channel, double ticks)
{
    unsigned targets = mesh->mAnimMeshes ? mesh->mNumAnimMeshes : 0;
    std::vector<float> weights(targets, 0.0f);
    if (!channel || !channel->mKeys || channel->mNumKeys == 0) {
        for (unsigned t = 0; t < targets; t++)
            if (mesh->mAnimMeshes[t]) weights[t] = mesh->mAnimMeshes[t]->mWeight;
        return weights;
    }
    float factor;
    unsigned k = key_before(channel->mKeys, channel->mNumKeys, ticks, &factor);
    // Each of the two keys around ticks adds its share of every target it names.
    for (unsigned side = 0; side < 2; side++) {
        float share = side == 0 ? 1.0f - factor : factor;
        if (share == 0.0f) continue;
        const aiMeshMorphKey &key = channel->mKeys[k + side];
        for (unsigned i = 0; key.mValues && key.mWeights && i < key.mNumValuesAndWeights; i++)
            if (key.mValues[i] < targets) weights[key.mValues[i]] += share * (float)key.mWeights[i];
    }
    return weights;
}

int sample_mesh_key(const aiMesh *mesh, const aiMeshAnim *channel, double ticks)
{
    if (!channel || !channel->mKeys || channel->mNumKeys == 0) return -1;
    float factor;
    unsigned k = key_before(channel->mKeys, channel->mNumKeys, ticks, &factor);
    unsigned target = channel->mKeys[k].mValue;
    return mesh->mAnimMeshes && target < mesh->mNumAnimMeshes && mesh->mAnimMeshes[target] ? (int)target : -1;
}

}  // namespace orj
