#include "orj/import/orj_export.h"

#include <assimp/DefaultIOSystem.h>
#include <assimp/Exporter.hpp>
#include <assimp/IOStream.hpp>
#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fstream>
#include <iterator>
#include <unordered_map>
#include <cstdio>
#include <cstring>
#include <vector>

#include <nlohmann/json.hpp>

#include "orj/core/base/output_file.h"
#include "core/base/path_separators.h"
#include "orj/core/image/image.h"
#include "orj/core/image/image_write.h"
#include "orj/core/scene/scene_reader.h"
#include "importer/orj_import_convert.h"
#include "importer/orj_import_output.h"

namespace orj {

namespace {

const double VIEWER_FPS = 25.0;
const double DEGREES = 3.14159265358979323846 / 180.0;

const ExportFormat FORMATS[] = {
    {".gltf", "gltf2", "glTF 2.0, JSON with a .bin beside it", true},
    {".glb", "glb2", "glTF 2.0, binary", true},
    {".dae", "collada", "Collada", true},
    {".obj", "obj", "Wavefront OBJ with its .mtl (no animation, lamps or cameras)", false},
};

aiMatrix4x4 rotation_about(int axis, double degrees)
{
    aiMatrix4x4 r;
    aiVector3D axes[3] = {aiVector3D(1, 0, 0), aiVector3D(0, 1, 0), aiVector3D(0, 0, 1)};
    aiMatrix4x4::Rotation((ai_real)(degrees * DEGREES), axes[axis], r);
    return r;
}

// The rotation a drawn object gets (x, then y, then z), or, for a camera, the
// placement its view is the inverse of (z, y, x).
aiQuaternion object_rotation(const SceneObject &object, int frame)
{
    const Vector3 &r = object.rotations[frame];
    aiMatrix4x4 m = object.kind == Camera ? rotation_about(2, r.z) * rotation_about(1, r.y) * rotation_about(0, r.x)
                                          : rotation_about(0, r.x) * rotation_about(1, r.y) * rotation_about(2, r.z);
    return aiQuaternion(aiMatrix3x3(m));
}

aiVector3D object_scale(const SceneObject &object, int frame)
{
    // A view has no scale.
    if (object.kind == Camera) return aiVector3D(1, 1, 1);
    const Vector3 &s = object.scales[frame];
    return aiVector3D(s.x, s.y, s.z);
}

aiMatrix4x4 object_matrix(const SceneObject &object, int frame)
{
    const Vector3 &l = object.locations[frame];
    return aiMatrix4x4(object_scale(object, frame), object_rotation(object, frame), aiVector3D(l.x, l.y, l.z));
}

template <typename T>
T **new_array(const std::vector<T *> &items)
{
    if (items.empty()) return nullptr;
    T **array = new T *[items.size()];
    for (size_t i = 0; i < items.size(); i++) array[i] = items[i];
    return array;
}

aiMesh *make_mesh(const SceneObject &object)
{
    aiMesh *mesh = new aiMesh();
    mesh->mName = object.name;
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mMaterialIndex = 0;
    std::vector<aiVector3D> positions, normals, uvs;
    auto corner = [&](int32_t index, const TexCoord &uv) {
        // The reader keeps corners within the vertices; a hand-built scene may not.
        if (index >= 0 && index < object.vertex_count) {
            const Vector3 &p = object.vertices[index], &n = object.normals[index];
            positions.emplace_back(p.x, p.y, p.z);
            normals.emplace_back(n.x, n.y, n.z);
        } else {
            positions.emplace_back(0, 0, 0);
            normals.emplace_back(0, 0, 1);
        }
        // The engine keeps t turned (1 - v): the files keep v.
        uvs.emplace_back(uv.s, 1.0f - uv.t, 0.0f);
    };
    // Every corner its own vertex: face f is vertices 3f, 3f + 1, 3f + 2.
    auto triangle = [&](const int32_t *c, const TexCoord *uv, int a, int b, int d) {
        corner(c[a], uv[a]);
        corner(c[b], uv[b]);
        corner(c[d], uv[d]);
    };
    // Quads as the engine draws them, the fan a-b-c, a-c-d; then the triangles.
    for (int q = 0; q < object.quad_count; q++) {
        triangle(object.quads[q].corners, object.quads[q].tex_coords, 0, 1, 2);
        triangle(object.quads[q].corners, object.quads[q].tex_coords, 0, 2, 3);
    }
    for (int t = 0; t < object.triangle_count; t++)
        triangle(object.triangles[t].corners, object.triangles[t].tex_coords, 0, 1, 2);

    mesh->mNumVertices = (unsigned)positions.size();
    mesh->mVertices = new aiVector3D[positions.size()];
    mesh->mNormals = new aiVector3D[positions.size()];
    mesh->mTextureCoords[0] = new aiVector3D[positions.size()];
    mesh->mNumUVComponents[0] = 2;
    std::copy(positions.begin(), positions.end(), mesh->mVertices);
    std::copy(normals.begin(), normals.end(), mesh->mNormals);
    std::copy(uvs.begin(), uvs.end(), mesh->mTextureCoords[0]);
    mesh->mNumFaces = (unsigned)(positions.size() / 3);
    mesh->mFaces = new aiFace[mesh->mNumFaces];
    for (unsigned f = 0; f < mesh->mNumFaces; f++) {
        mesh->mFaces[f].mNumIndices = 3;
        mesh->mFaces[f].mIndices = new unsigned[3]{3 * f, 3 * f + 1, 3 * f + 2};
    }
    return mesh;
}

aiNodeAnim *make_channel(const SceneObject &object, int frame_count)
{
    aiNodeAnim *channel = new aiNodeAnim();
    channel->mNodeName = object.name;
    channel->mNumPositionKeys = channel->mNumRotationKeys = channel->mNumScalingKeys = (unsigned)frame_count;
    channel->mPositionKeys = new aiVectorKey[frame_count];
    channel->mRotationKeys = new aiQuatKey[frame_count];
    channel->mScalingKeys = new aiVectorKey[frame_count];
    for (int f = 0; f < frame_count; f++) {
        const Vector3 &l = object.locations[f];
        channel->mPositionKeys[f] = aiVectorKey(f, aiVector3D(l.x, l.y, l.z));
        channel->mRotationKeys[f] = aiQuatKey(f, object_rotation(object, f));
        channel->mScalingKeys[f] = aiVectorKey(f, object_scale(object, f));
    }
    return channel;
}

// The glTF writer of the asset library leaves cameras and lights out: they
// are added to its JSON afterwards, cameras as glTF cameras (which look
// along their node's -z, as the engine's do) and lamps as punctual point
// lights of the extension every current reader knows; a lamp's own colour,
// and a camera's key name, kept in its node's extras for orj import.
void add_gltf_cameras_and_lights(nlohmann::json *document, const aiScene *model)
{
    nlohmann::json &nodes = (*document)["nodes"];
    // The first node of each name, as the writer named them.
    std::unordered_map<std::string, nlohmann::json *> by_name;
    for (nlohmann::json &node : nodes)
        if (node.is_object() && node.contains("name") && node["name"].is_string())
            by_name.emplace(node["name"].get<std::string>(), &node);
    auto node_named = [&](const aiString &name) -> nlohmann::json * {
        auto found = by_name.find(name.C_Str());
        return found == by_name.end() ? nullptr : found->second;
    };
    for (unsigned i = 0; i < model->mNumCameras; i++) {
        nlohmann::json *node = node_named(model->mCameras[i]->mName);
        if (!node || node->contains("camera")) continue;
        nlohmann::json &cameras = (*document)["cameras"];
        (*node)["camera"] = cameras.size();
        (*node)["extras"][CAMERA_KEY_EXTRA] = model->mCameras[i]->mName.C_Str();
        const aiCamera *camera = model->mCameras[i];
        cameras.push_back({{"name", camera->mName.C_Str()},
                           {"type", "perspective"},
                           {"perspective",
                            {{"yfov", 2.0 * camera->mHorizontalFOV},
                             {"aspectRatio", camera->mAspect},
                             {"znear", camera->mClipPlaneNear},
                             {"zfar", camera->mClipPlaneFar}}}});
    }
    nlohmann::json lights = nlohmann::json::array();
    for (unsigned i = 0; i < model->mNumLights; i++) {
        nlohmann::json *node = node_named(model->mLights[i]->mName);
        if (!node) continue;
        // A colour within 0..1 and an intensity for lamps brighter than white.
        const aiColor3D &c = model->mLights[i]->mColorDiffuse;
        double brightest = std::max({(double)c.r, (double)c.g, (double)c.b, 1.0});
        (*node)["extensions"]["KHR_lights_punctual"]["light"] = lights.size();
        (*node)["extras"][LAMP_COLOUR_EXTRA] = {c.r, c.g, c.b};
        lights.push_back({{"name", model->mLights[i]->mName.C_Str()},
                          {"type", "point"},
                          {"color", {c.r / brightest, c.g / brightest, c.b / brightest}},
                          {"intensity", brightest}});
    }
    if (!lights.empty()) {
        (*document)["extensions"]["KHR_lights_punctual"]["lights"] = lights;
        nlohmann::json &used = (*document)["extensionsUsed"];
        if (!used.is_array()) used = nlohmann::json::array();
        used.push_back("KHR_lights_punctual");
    }
}

uint32_t read_u32(const std::string &bytes, size_t at)
{
    return (uint32_t)(uint8_t)bytes[at] | (uint32_t)(uint8_t)bytes[at + 1] << 8 |
           (uint32_t)(uint8_t)bytes[at + 2] << 16 | (uint32_t)(uint8_t)bytes[at + 3] << 24;
}

void put_u32(std::string *bytes, uint32_t value)
{
    for (int k = 0; k < 4; k++) bytes->push_back((char)(value >> (8 * k) & 0xFF));
}

// Rewrites the glTF file at path (JSON, or binary with its JSON chunk first)
// with the model's cameras and lights. False when the file is not what the
// writer makes.
bool patch_gltf(const std::string &path, bool binary, const aiScene *model)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    std::string json_text, rest;
    if (binary) {
        if (bytes.size() < 20 || bytes.compare(0, 4, "glTF") != 0 || bytes.compare(16, 4, "JSON") != 0) return false;
        uint32_t json_length = read_u32(bytes, 12);
        if (json_length > bytes.size() - 20) return false;
        json_text = bytes.substr(20, json_length);
        rest = bytes.substr(20 + json_length);  // the binary chunk, whole
    } else {
        json_text = bytes;
    }
    nlohmann::json document = nlohmann::json::parse(json_text, nullptr, false);
    if (document.is_discarded() || !document.contains("nodes")) return false;
    add_gltf_cameras_and_lights(&document, model);
    std::string out;
    if (binary) {
        std::string chunk = document.dump();
        while (chunk.size() % 4) chunk.push_back(' ');  // chunks keep 4-byte alignment, JSON padded with spaces
        out = "glTF";
        put_u32(&out, 2);
        put_u32(&out, (uint32_t)(12 + 8 + chunk.size() + rest.size()));
        put_u32(&out, (uint32_t)chunk.size());
        out += "JSON";
        out += chunk;
        out += rest;
    } else {
        out = document.dump(2);
    }
    Error error;
    return write_bytes_to(path, out, path, &error) == ERROR_NONE;
}

// A name as the formats take it: UTF-8 without control characters. Bytes
// that are not UTF-8 are taken as Latin-1; control characters (C0, DEL, C1)
// become '_'.
std::string export_name(const char *name, bool *changed)
{
    std::string out;
    const unsigned char *p = (const unsigned char *)name;
    while (*p) {
        int length = *p < 0x80 ? 1 : (*p & 0xE0) == 0xC0 ? 2 : (*p & 0xF0) == 0xE0 ? 3 : (*p & 0xF8) == 0xF0 ? 4 : 0;
        uint32_t code = length == 1 ? *p : length == 2 ? *p & 0x1Fu : length == 3 ? *p & 0x0Fu : *p & 0x07u;
        for (int k = 1; k < length; k++) {
            if ((p[k] & 0xC0) != 0x80) length = 0;
            else code = code << 6 | (p[k] & 0x3Fu);
        }
        static const uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (length > 0 && (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))) length = 0;
        if (length == 0) {  // a Latin-1 byte
            code = *p;
            length = 1;
            out += code < 0xA0 ? std::string("_") : std::string{(char)(0xC0 | code >> 6), (char)(0x80 | (code & 0x3F))};
        } else if (code < 0x20 || (code >= 0x7F && code < 0xA0)) {
            out += '_';
        } else {
            out.append((const char *)p, (size_t)length);
        }
        p += length;
    }
    *changed = out != name;
    return out;
}

bool finite3(const Vector3 &v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// The first value the formats cannot hold (a NaN or an infinity), named by
// object, field and frame or index; empty when there is none.
std::string first_non_finite(const Scene *scene)
{
    char text[300];
    for (int i = 0; i < scene->object_count; i++) {
        const SceneObject &object = scene->objects[i];
        const char *rotation = object.kind == Lamp ? "rotation (the lamp's colour)" : "rotation";
        struct {
            const Vector3 *values;
            const char *field;
        } frames[3] = {{object.locations, "location"}, {object.rotations, rotation}, {object.scales, "scale"}};
        for (const auto &field : frames)
            for (int f = 0; field.values && f < scene->frame_count; f++)
                if (!finite3(field.values[f])) {
                    snprintf(text, sizeof text, "object \"%.100s\": its %s at frame %d", object.name, field.field,
                             f + 1);
                    return text;
                }
        for (int v = 0; object.vertices && object.normals && v < object.vertex_count; v++)
            if (!finite3(object.vertices[v]) || !finite3(object.normals[v])) {
                snprintf(text, sizeof text, "object \"%.100s\": vertex %d (position or normal)", object.name, v + 1);
                return text;
            }
        for (int q = 0; object.quads && q < object.quad_count; q++)
            for (const TexCoord &uv : object.quads[q].tex_coords)
                if (!std::isfinite(uv.s) || !std::isfinite(uv.t)) {
                    snprintf(text, sizeof text, "object \"%.100s\": the texture coordinates of quad %d", object.name,
                             q + 1);
                    return text;
                }
        for (int t = 0; object.triangles && t < object.triangle_count; t++)
            for (const TexCoord &uv : object.triangles[t].tex_coords)
                if (!std::isfinite(uv.s) || !std::isfinite(uv.t)) {
                    snprintf(text, sizeof text, "object \"%.100s\": the texture coordinates of triangle %d",
                             object.name, t + 1);
                    return text;
                }
    }
    return std::string();
}

// A file the exporter writes, every write and the close checked.
class CheckedStream : public Assimp::IOStream {
public:
    CheckedStream(FILE *file, bool *failed, std::string *problem, const std::string &path)
        : file_(file), failed_(failed), problem_(problem), path_(path)
    {
    }
    ~CheckedStream() override
    {
        if (fclose(file_) != 0) fail();
    }
    size_t Read(void *buffer, size_t size, size_t count) override { return fread(buffer, size, count, file_); }
    size_t Write(const void *buffer, size_t size, size_t count) override
    {
        size_t written = fwrite(buffer, size, count, file_);
        if (written != count) fail();
        return written;
    }
    aiReturn Seek(size_t offset, aiOrigin origin) override
    {
        int whence = origin == aiOrigin_SET ? SEEK_SET : origin == aiOrigin_CUR ? SEEK_CUR : SEEK_END;
        return fseek(file_, (long)offset, whence) == 0 ? aiReturn_SUCCESS : aiReturn_FAILURE;
    }
    size_t Tell() const override { return (size_t)ftell(file_); }
    size_t FileSize() const override
    {
        long at = ftell(file_);
        fseek(file_, 0, SEEK_END);
        long size = ftell(file_);
        fseek(file_, at, SEEK_SET);
        return size < 0 ? 0 : (size_t)size;
    }
    void Flush() override
    {
        if (fflush(file_) != 0) fail();
    }

private:
    // The first failure's reason is kept for the message.
    void fail()
    {
        if (!*failed_) *problem_ = path_ + ": cannot be written: " + strerror(errno ? errno : EIO);
        *failed_ = true;
    }
    FILE *file_;
    bool *failed_;
    std::string *problem_;
    std::string path_;
};

// The exporter's file system: every file it writes goes to a staged
// temporary file beside its target, put in place only when all are done.
class StagingFiles : public Assimp::DefaultIOSystem {
public:
    StagingFiles(StagedOutputs *outputs, bool *failed, std::string *problem)
        : outputs_(outputs), failed_(failed), problem_(problem)
    {
    }
    Assimp::IOStream *Open(const char *path, const char *mode) override
    {
        if (!path || !mode || !strpbrk(mode, "wa+")) return DefaultIOSystem::Open(path, mode);
        std::string temp = staged_path(*outputs_, path);
        Error error;
        if (temp.empty() && stage_output(outputs_, path, &temp, &error) != ERROR_NONE) {
            *problem_ = error.message;
            *failed_ = true;
            return nullptr;
        }
        FILE *file = fopen(temp.c_str(), "wb");
        if (!file) {
            *problem_ = std::string(path) + ": cannot be written: " + strerror(errno);
            *failed_ = true;
            return nullptr;
        }
        return new CheckedStream(file, failed_, problem_, path);
    }
    void Close(Assimp::IOStream *stream) override { delete stream; }

private:
    StagedOutputs *outputs_;
    bool *failed_;
    std::string *problem_;
};

}  // namespace

// The objects' names as the formats take them (export_name); the changed
// ones are added to *changes.
static std::vector<std::string> export_names(const Scene *scene, std::vector<std::string> *changes)
{
    std::vector<std::string> names(scene->object_count);
    for (int i = 0; i < scene->object_count; i++) {
        bool changed = false;
        char name[sizeof scene->objects[i].name + 1] = {};
        memcpy(name, scene->objects[i].name, sizeof name - 1);
        names[i] = export_name(name, &changed);
        if (changed && changes) changes->push_back(names[i]);
    }
    return names;
}

// One material, white, naming texture_name (none when empty).
static aiMaterial *make_material(const std::string &texture_name)
{
    aiMaterial *material = new aiMaterial();
    aiString material_name("orj_material");
    material->AddProperty(&material_name, AI_MATKEY_NAME);
    aiColor3D white(1, 1, 1);
    material->AddProperty(&white, 1, AI_MATKEY_COLOR_DIFFUSE);
    if (!texture_name.empty()) {
        aiString file(texture_name);
        material->AddProperty(&file, AI_MATKEY_TEXTURE_DIFFUSE(0));
    }
    return material;
}

static aiLight *make_light(const SceneObject &object, const std::string &name)
{
    aiLight *light = new aiLight();
    light->mName = name;
    light->mType = aiLightSource_POINT;
    // The engine takes the lamp's rotation as its colour, and dims it with distance the same way.
    const Vector3 &c = object.rotations[0];
    light->mColorDiffuse = light->mColorSpecular = aiColor3D(c.x, c.y, c.z);
    light->mAttenuationConstant = 1.0f;
    light->mAttenuationLinear = 0.1f;
    return light;
}

static aiCamera *make_camera(const std::string &name)
{
    aiCamera *camera = new aiCamera();
    camera->mName = name;
    camera->mLookAt = aiVector3D(0, 0, -1);
    camera->mUp = aiVector3D(0, 1, 0);
    camera->mHorizontalFOV = (float)std::atan(0.5);  // half the view's angle
    camera->mAspect = 1.0f;
    camera->mClipPlaneNear = 1.0f;
    camera->mClipPlaneFar = 10000.0f;
    return camera;
}

// A node per object, with its mesh, light or camera put in out.
static std::vector<aiNode *> make_nodes(const Scene *scene, const std::vector<std::string> &names, aiScene *out)
{
    std::vector<aiNode *> nodes(scene->object_count);
    std::vector<aiMesh *> meshes;
    std::vector<aiLight *> lights;
    std::vector<aiCamera *> cameras;
    for (int i = 0; i < scene->object_count; i++) {
        const SceneObject &object = scene->objects[i];
        nodes[i] = new aiNode(names[i]);
        if (scene->frame_count > 0) nodes[i]->mTransformation = object_matrix(object, 0);
        if (object.kind == Mesh && object.quad_count + object.triangle_count > 0) {
            nodes[i]->mNumMeshes = 1;
            nodes[i]->mMeshes = new unsigned[1]{(unsigned)meshes.size()};
            meshes.push_back(make_mesh(object));
            meshes.back()->mName = names[i];
        } else if (object.kind == Lamp && scene->frame_count > 0) {
            lights.push_back(make_light(object, names[i]));
        } else if (object.kind == Camera) {
            cameras.push_back(make_camera(names[i]));
        }
    }
    out->mNumMeshes = (unsigned)meshes.size();
    out->mMeshes = new_array(meshes);
    out->mNumLights = (unsigned)lights.size();
    out->mLights = new_array(lights);
    out->mNumCameras = (unsigned)cameras.size();
    out->mCameras = new_array(cameras);
    return nodes;
}

// The hierarchy as drawing walks it, from the roots under out's root node; an
// object that is nobody's child and no root is never drawn and left out (its
// node deleted). Which objects are in comes back.
static std::vector<bool> link_nodes(const Scene *scene, const std::vector<aiNode *> &nodes, aiScene *out)
{
    std::vector<bool> reached(scene->object_count, false);
    std::vector<int> walk;
    std::vector<aiNode *> roots;
    for (int i = 0; i < scene->object_count; i++)
        if (scene->objects[i].is_root) {
            reached[i] = true;
            walk.push_back(i);
            roots.push_back(nodes[i]);
        }
    for (size_t w = 0; w < walk.size(); w++) {
        const SceneObject &object = scene->objects[walk[w]];
        std::vector<aiNode *> children;
        for (int c = 0; c < object.child_count; c++) {
            int child = object.children[c];
            if (child < 0 || child >= scene->object_count || reached[child]) continue;
            reached[child] = true;
            walk.push_back(child);
            children.push_back(nodes[child]);
            nodes[child]->mParent = nodes[walk[w]];
        }
        nodes[walk[w]]->mNumChildren = (unsigned)children.size();
        nodes[walk[w]]->mChildren = new_array(children);
    }
    for (int i = 0; i < scene->object_count; i++)
        if (!reached[i]) delete nodes[i];
    out->mRootNode->mNumChildren = (unsigned)roots.size();
    out->mRootNode->mChildren = new_array(roots);
    for (aiNode *root : roots) root->mParent = out->mRootNode;
    return reached;
}

static aiAnimation *make_animation(const Scene *scene, const std::vector<std::string> &names,
                                   const std::vector<bool> &reached)
{
    aiAnimation *animation = new aiAnimation();
    animation->mName = "orj_animation";
    animation->mTicksPerSecond = VIEWER_FPS;
    animation->mDuration = scene->frame_count - 1;
    std::vector<aiNodeAnim *> channels;
    for (int i = 0; i < scene->object_count; i++)
        if (reached[i]) {
            channels.push_back(make_channel(scene->objects[i], scene->frame_count));
            channels.back()->mNodeName = names[i];
        }
    animation->mNumChannels = (unsigned)channels.size();
    animation->mChannels = new_array(channels);
    return animation;
}

// The scene as an asset-importer scene: a node per object under one root,
// with the engine's transforms (translate, rotate about x, y, z, scale) at
// frame 0; meshes of triangles (quads cut as the engine draws them) with a
// vertex per corner, normals and texture coordinates, all sharing one
// material that names texture_name (none when empty); lamps as point lights
// of their colour; cameras; and, when animate is set and there is more than
// one frame, every object's transform as keys at 25 frames a second.
// The caller deletes the result.
static aiScene *scene_to_assimp(const Scene *scene, const std::string &texture_name, bool animate)
{
    aiScene *out = new aiScene();
    out->mRootNode = new aiNode("orj_scene");
    out->mNumMaterials = 1;
    out->mMaterials = new aiMaterial *[1] { make_material(texture_name) };

    std::vector<std::string> names = export_names(scene, nullptr);
    std::vector<aiNode *> nodes = make_nodes(scene, names, out);
    std::vector<bool> reached = link_nodes(scene, nodes, out);
    if (animate && scene->frame_count > 1) {
        out->mNumAnimations = 1;
        out->mAnimations = new aiAnimation *[1] { make_animation(scene, names, reached) };
    }
    return out;
}

static std::string replace_extension(const std::string &path, const char *extension)
{
    size_t slash = path.find_last_of(PATH_SEPARATORS), dot = path.find_last_of('.');
    std::string stem =
        dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path.substr(0, dot) : path;
    return stem + extension;
}

static std::string file_name_of(const std::string &path)
{
    size_t slash = path.find_last_of(PATH_SEPARATORS);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

const ExportFormat *export_formats(int *count)
{
    *count = (int)(sizeof FORMATS / sizeof FORMATS[0]);
    return FORMATS;
}

const ExportFormat *export_format_of(const char *model_path)
{
    size_t length = strlen(model_path);
    for (const ExportFormat &format : FORMATS) {
        size_t n = strlen(format.extension);
        if (length > n && strcasecmp(model_path + length - n, format.extension) == 0) return &format;
    }
    return nullptr;
}

// The texture written beside the model, and the file the format writes beside it (.bin, .mtl).
static std::string texture_beside(const char *model_path) { return replace_extension(model_path, ".png"); }
static std::string side_file_of(const ExportFormat *format, const char *model_path)
{
    if (strcmp(format->id, "gltf2") == 0) return replace_extension(model_path, ".bin");
    if (strcmp(format->id, "obj") == 0) return replace_extension(model_path, ".mtl");
    return "";
}

ErrorKind check_export_outputs(const char *scene_path, const char *model_path, const char *texture_path, Error *error)
{
    // A null error still needs a place for the message.
    Error scratch;
    if (!error) error = &scratch;
    const ExportFormat *format = export_format_of(model_path);
    std::vector<std::string> inputs = {scene_path}, outputs = {model_path};
    if (texture_path) {
        inputs.push_back(texture_path);
        outputs.push_back(texture_beside(model_path));
    }
    std::string side_file = format ? side_file_of(format, model_path) : "";
    if (!side_file.empty()) outputs.push_back(side_file);
    // Nothing that is read may be written over, nor one output be another
    // (compared as files), and every output is tried before anything is read.
    if (check_output_paths(inputs, outputs, error) != ERROR_NONE) return error->kind;
    for (const std::string &written : outputs)
        if (check_output_path(written.c_str(), error) != ERROR_NONE) return error->kind;
    return ERROR_NONE;
}

// The texture as a PNG file beside the model, staged among outputs.
static ErrorKind write_texture_beside(const char *texture_path, const std::string &texture_out, StagedOutputs *outputs,
                                      Error *error)
{
    Image image;
    std::string temp;
    if (load_image_file(texture_path, &image, error) != ERROR_NONE) return error->kind;
    image.has_alpha = true;
    std::vector<uint8_t> png;
    if (encode_png(image, texture_out.c_str(), &png, error) != ERROR_NONE) return error->kind;
    if (stage_output(outputs, texture_out, &temp, error) != ERROR_NONE) return error->kind;
    return write_bytes_to(temp, std::string(png.begin(), png.end()), texture_out, error);
}

// Writes the model (and the format's side files) through the exporter,
// every file staged among outputs, and adds the glTF cameras and lamps.
static ErrorKind write_model(const aiScene *model, const ExportFormat *format, const char *model_path,
                             StagedOutputs *outputs, Error *error)
{
    Assimp::Exporter exporter;
    bool failed = false;
    std::string problem;
    exporter.SetIOHandler(new StagingFiles(outputs, &failed, &problem));
    aiReturn result = exporter.Export(model, format->id, model_path);
    bool gltf = strcmp(format->id, "gltf2") == 0 || strcmp(format->id, "glb2") == 0;
    std::string written = staged_path(*outputs, model_path);
    // A failed write names its file and the system's reason; else the exporter's own.
    if (!problem.empty()) return set_error(error, ERROR_CANNOT_WRITE, nullptr, 0, "%s", problem.c_str());
    if (result != aiReturn_SUCCESS || failed || written.empty())
        return set_error(error, ERROR_CANNOT_WRITE, model_path, 0, "cannot write the model: %s",
                         exporter.GetErrorString());
    if (gltf && (model->mNumCameras || model->mNumLights) &&
        !patch_gltf(written, strcmp(format->id, "glb2") == 0, model))
        return set_error(error, ERROR_CANNOT_WRITE, model_path, 0,
                         "cannot add the cameras and lamps to the written model");
    return ERROR_NONE;
}

// A warning for the names that export_names changed; none when none was.
static void warn_of_names(const Scene *scene, std::vector<std::string> *warnings)
{
    std::vector<std::string> renamed;
    export_names(scene, &renamed);
    if (renamed.empty()) return;
    warnings->push_back(std::to_string(renamed.size()) +
                        " names made valid UTF-8 without control characters (bytes that are not UTF-8 read as "
                        "Latin-1, control characters as '_'), the first: '" +
                        renamed[0] + "'");
}

ErrorKind export_scene(const Scene *scene, const char *model_path, const char *texture_path, ExportSummary *summary,
                       Error *error)
{
    // A null error still needs a place for the message.
    Error scratch;
    if (!error) error = &scratch;
    const ExportFormat *format = export_format_of(model_path);
    summary->format = format;
    summary->meshes = summary->lamps = summary->cameras = 0;
    summary->animated = false;
    summary->warnings.clear();
    if (!format)
        return set_error(error, ERROR_REFUSED, model_path, 0,
                         "the extension says no format that export writes (orj formats lists them)");
    std::string non_finite = first_non_finite(scene);
    if (!non_finite.empty())
        return set_error(error, ERROR_REFUSED, nullptr, 0,
                         "%s is not a finite number, which the model formats cannot hold: refused, nothing written",
                         non_finite.c_str());
    warn_of_names(scene, &summary->warnings);
    StagedOutputs outputs;
    std::string texture_out = texture_path ? texture_beside(model_path) : "";
    ErrorKind status = ERROR_NONE;
    if (texture_path) status = write_texture_beside(texture_path, texture_out, &outputs, error);
    if (status == ERROR_NONE) {
        aiScene *model = scene_to_assimp(scene, texture_path ? file_name_of(texture_out) : "", format->animation);
        status = write_model(model, format, model_path, &outputs, error);
        summary->meshes = model->mNumMeshes;
        summary->lamps = model->mNumLights;
        summary->cameras = model->mNumCameras;
        summary->animated = model->mNumAnimations > 0;
        delete model;
    }
    if (status == ERROR_NONE) status = commit_outputs(&outputs, error);
    if (status != ERROR_NONE) discard_outputs(&outputs);
    return status;
}

}  // namespace orj
