#include "importer/orj_import_deform.h"

#include <assimp/mesh.h>

#include <cmath>

namespace orj {

namespace {

aiVector3D finite_or_zero(const aiVector3D &v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) ? v : aiVector3D(0, 0, 0);
}

// A morph target's positions or normals, when it has one for every vertex.
const aiVector3D *target_values(const aiMesh *mesh, unsigned target, bool normals)
{
    const aiAnimMesh *anim = mesh->mAnimMeshes[target];
    if (!anim || anim->mNumVertices != mesh->mNumVertices) return nullptr;
    return normals ? anim->mNormals : anim->mVertices;
}

// The mesh's positions (or normals) with the pose's morph targets blended in.
std::vector<aiVector3D> morphed(const aiMesh *mesh, const MeshPose &pose, bool normals)
{
    unsigned count = mesh->mNumVertices;
    const aiVector3D *base = normals ? mesh->mNormals : mesh->mVertices;
    std::vector<aiVector3D> values(count, normals ? aiVector3D(0, 0, 1) : aiVector3D(0, 0, 0));
    if (!base) return values;
    for (unsigned v = 0; v < count; v++) values[v] = finite_or_zero(base[v]);
    unsigned targets = mesh->mAnimMeshes ? mesh->mNumAnimMeshes : 0;
    if (pose.shown_target >= 0 && (unsigned)pose.shown_target < targets) {
        const aiVector3D *shown = target_values(mesh, (unsigned)pose.shown_target, normals);
        if (shown)
            for (unsigned v = 0; v < count; v++) values[v] = finite_or_zero(shown[v]);
        return values;
    }
    for (unsigned t = 0; t < targets && t < pose.morph_weights.size(); t++) {
        float weight = pose.morph_weights[t];
        const aiVector3D *target = target_values(mesh, t, normals);
        if (!target || weight == 0.0f || !std::isfinite(weight)) continue;
        for (unsigned v = 0; v < count; v++)
            values[v] += (finite_or_zero(target[v]) - finite_or_zero(base[v])) * weight;
    }
    return values;
}

// The matrix of every vertex: its bones' matrices blended by weight
// (weights made to add up to 1), mesh_world where no bone holds it.
std::vector<Matrix4> vertex_matrices(const aiMesh *mesh, const MeshPose &pose)
{
    unsigned count = mesh->mNumVertices;
    std::vector<Matrix4> blend(count, Matrix4());
    std::vector<double> total(count, 0.0);
    for (unsigned b = 0; mesh->mBones && b < mesh->mNumBones && b < pose.bones.size(); b++) {
        const aiBone *bone = mesh->mBones[b];
        for (unsigned w = 0; bone && bone->mWeights && w < bone->mNumWeights; w++) {
            const aiVertexWeight &weight = bone->mWeights[w];
            if (weight.mVertexId >= count || !(weight.mWeight > 0.0f) || !std::isfinite(weight.mWeight)) continue;
            Matrix4 &m = blend[weight.mVertexId];
            for (int i = 0; i < 3; i++)
                for (int j = 0; j < 4; j++) m.m[i][j] += weight.mWeight * pose.bones[b].m[i][j];
            total[weight.mVertexId] += weight.mWeight;
        }
    }
    for (unsigned v = 0; v < count; v++) {
        if (!(total[v] > 0.0)) {
            blend[v] = pose.mesh_world;
            continue;
        }
        for (int i = 0; i < 3; i++)
            for (int j = 0; j < 4; j++) blend[v].m[i][j] /= total[v];
        blend[v].m[3][3] = 1.0;
    }
    return blend;
}

// The normal n under matrix m: the inverse transpose of its 3x3 part, made
// unit length; n itself when m squashes it to nothing.
Vector3 turn_normal(const Matrix4 &m, const aiVector3D &n)
{
    double cofactor[3][3];
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) {
            int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            cofactor[i][j] = m.m[i1][j1] * m.m[i2][j2] - m.m[i1][j2] * m.m[i2][j1];
        }
    double det = m.m[0][0] * cofactor[0][0] + m.m[0][1] * cofactor[0][1] + m.m[0][2] * cofactor[0][2];
    double sign = det < 0.0 ? -1.0 : 1.0;
    double out[3];
    for (int i = 0; i < 3; i++) out[i] = sign * (cofactor[i][0] * n.x + cofactor[i][1] * n.y + cofactor[i][2] * n.z);
    double length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
    if (!(length > 1e-30) || !std::isfinite(length)) return {n.x, n.y, n.z};
    return {(float)(out[0] / length), (float)(out[1] / length), (float)(out[2] / length)};
}

}  // namespace

void pose_mesh(const aiMesh *mesh, const MeshPose &pose, double scale, std::vector<Vector3> *positions,
               std::vector<Vector3> *normals)
{
    std::vector<aiVector3D> places = morphed(mesh, pose, false), turns = morphed(mesh, pose, true);
    std::vector<Matrix4> matrices = vertex_matrices(mesh, pose);
    positions->resize(mesh->mNumVertices);
    normals->resize(mesh->mNumVertices);
    for (unsigned v = 0; v < mesh->mNumVertices; v++) {
        const double(*m)[4] = matrices[v].m;
        double p[3] = {places[v].x * scale, places[v].y * scale, places[v].z * scale};
        (*positions)[v] = {(float)(m[0][0] * p[0] + m[0][1] * p[1] + m[0][2] * p[2] + m[0][3]),
                           (float)(m[1][0] * p[0] + m[1][1] * p[1] + m[1][2] * p[2] + m[1][3]),
                           (float)(m[2][0] * p[0] + m[2][1] * p[1] + m[2][2] * p[2] + m[2][3])};
        (*normals)[v] = turn_normal(matrices[v], turns[v]);
    }
}

}  // namespace orj
