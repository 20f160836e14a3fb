#include "importer/orj_import_mesh.h"

#include <assimp/mesh.h>

#include <algorithm>
#include <cmath>

namespace orj {

namespace {

// One face as written: three or four corners into the mesh's vertices.
struct Face {
    int corner_count;
    unsigned corners[4];
};

Vector3 finite_or(const aiVector3D &v, Vector3 fallback, int64_t *bad)
{
    if (std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z)) return {(float)v.x, (float)v.y, (float)v.z};
    (*bad)++;
    return fallback;
}

// The faces of a mesh as the engine keeps them: quads stay, bigger polygons
// become fans, points and lines are dropped.
std::vector<Face> mesh_faces(const aiMesh *mesh, ImportStats *stats)
{
    std::vector<Face> faces;
    if (!mesh->mVertices || !mesh->mFaces) {
        // A point cloud: vertices without faces.
        if (mesh->mVertices) stats->points_dropped += mesh->mNumVertices;
        return faces;
    }
    faces.reserve(mesh->mNumFaces);
    for (unsigned f = 0; f < mesh->mNumFaces; f++) {
        const aiFace &face = mesh->mFaces[f];
        unsigned n = face.mIndices ? face.mNumIndices : 0;
        bool in_range = true;
        for (unsigned k = 0; k < n; k++) in_range = in_range && face.mIndices[k] < mesh->mNumVertices;
        if (n == 1) stats->points_dropped++;
        if (n == 2) stats->lines_dropped++;
        if (n >= 3 && !in_range) stats->faces_out_of_range++;
        if (n < 3 || !in_range) continue;
        if (n <= 4) {
            Face out = {(int)n, {0, 0, 0, 0}};
            for (unsigned k = 0; k < n; k++) out.corners[k] = face.mIndices[k];
            faces.push_back(out);
            continue;
        }
        stats->polygons_split++;
        for (unsigned k = 1; k + 1 < n; k++)
            faces.push_back({3, {face.mIndices[0], face.mIndices[k], face.mIndices[k + 1], 0}});
    }
    return faces;
}

// Geometry of faces[begin, end) of mesh: only the vertices those faces use,
// positions multiplied by scale, texture t flipped as the reader stores it.
ImportObject mesh_part(const aiMesh *mesh, const std::vector<Face> &faces, size_t begin, size_t end, double scale,
                       ImportStats *stats, std::vector<unsigned> *sources)
{
    ImportObject part = {};
    part.kind = Mesh;
    std::vector<int32_t> remap(mesh->mNumVertices, -1);
    const aiVector3D *uv = mesh->mTextureCoords[0];
    for (size_t f = begin; f < end; f++) {
        const Face &face = faces[f];
        int32_t corners[4];
        TexCoord coords[4];
        for (int k = 0; k < face.corner_count; k++) {
            unsigned v = face.corners[k];
            if (remap[v] < 0) {
                remap[v] = (int32_t)part.vertices.size();
                sources->push_back(v);
                Vector3 position = finite_or(mesh->mVertices[v], {0, 0, 0}, &stats->bad_numbers);
                part.vertices.push_back(
                    {(float)(position.x * scale), (float)(position.y * scale), (float)(position.z * scale)});
                Vector3 normal = {0, 0, 1};
                if (mesh->mNormals) normal = finite_or(mesh->mNormals[v], {0, 0, 1}, &stats->bad_numbers);
                part.normals.push_back(normal);
            }
            corners[k] = remap[v];
            coords[k] = {0.0f, 1.0f};
            if (uv) {
                Vector3 st = finite_or(uv[v], {0, 0, 0}, &stats->bad_numbers);
                coords[k] = {st.x, 1.0f - st.y};
            }
        }
        if (face.corner_count == 4) {
            Quad quad;
            for (int k = 0; k < 4; k++) {
                quad.corners[k] = corners[k];
                quad.tex_coords[k] = coords[k];
            }
            part.quads.push_back(quad);
        } else {
            Triangle triangle;
            for (int k = 0; k < 3; k++) {
                triangle.corners[k] = corners[k];
                triangle.tex_coords[k] = coords[k];
            }
            part.triangles.push_back(triangle);
        }
    }
    return part;
}

// The bone each face follows rigidly: the bone that holds all of its corners
// with full weight. False when some face blends bones (or has none).
bool rigid_face_bones(const aiMesh *mesh, const std::vector<Face> &faces, std::vector<int> *face_bone)
{
    std::vector<int> vertex_bone(mesh->mNumVertices, -1);
    for (unsigned b = 0; b < mesh->mNumBones; b++) {
        const aiBone *bone = mesh->mBones[b];
        for (unsigned w = 0; bone->mWeights && w < bone->mNumWeights; w++) {
            const aiVertexWeight &weight = bone->mWeights[w];
            if (weight.mVertexId < mesh->mNumVertices && weight.mWeight >= 0.999f)
                vertex_bone[weight.mVertexId] = (int)b;
        }
    }
    face_bone->assign(faces.size(), -1);
    for (size_t f = 0; f < faces.size(); f++) {
        int bone = vertex_bone[faces[f].corners[0]];
        for (int k = 1; k < faces[f].corner_count; k++)
            if (vertex_bone[faces[f].corners[k]] != bone) bone = -1;
        if (bone < 0) return false;
        (*face_bone)[f] = bone;
    }
    return true;
}

}  // namespace

MeshParts convert_mesh(const aiMesh *mesh, double scale, ImportStats *stats)
{
    std::vector<Face> faces = mesh_faces(mesh, stats);
    MeshParts out;

    // Faces grouped by the bone they follow (all under -1 without a rigid skin).
    std::vector<int> face_bone(faces.size(), -1);
    out.deforms = mesh->mNumAnimMeshes > 0 && mesh->mAnimMeshes;
    if (mesh->mNumBones > 0 && mesh->mBones && !out.deforms) {
        out.deforms = !rigid_face_bones(mesh, faces, &face_bone);
        if (out.deforms) face_bone.assign(faces.size(), -1);
        else stats->rigid_skins++;
    }
    std::vector<int> bones(face_bone);
    std::sort(bones.begin(), bones.end());
    bones.erase(std::unique(bones.begin(), bones.end()), bones.end());
    if (bones.empty()) bones.push_back(-1);

    for (int bone : bones) {
        std::vector<Face> group;
        for (size_t f = 0; f < faces.size(); f++)
            if (face_bone[f] == bone) group.push_back(faces[f]);
        for (size_t begin = 0; begin < group.size() || begin == 0; begin += MAX_FACES_PER_OBJECT) {
            size_t end = std::min(group.size(), begin + (size_t)MAX_FACES_PER_OBJECT);
            out.sources.emplace_back();
            out.parts.push_back(mesh_part(mesh, group, begin, end, scale, stats, &out.sources.back()));
            out.parts.back().material = (int)mesh->mMaterialIndex;
            out.bones.push_back(bone);
            if (group.empty()) break;
        }
        if (group.size() > (size_t)MAX_FACES_PER_OBJECT) stats->meshes_split++;
    }
    return out;
}

}  // namespace orj
