#include "orj/import/orj_export.h"

#include <assimp/Exporter.hpp>
#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <cstdio>
#include <cstring>
#include <vector>

#include <nlohmann/json.hpp>

#include "orj/core/base/output_file.h"
#include "orj/core/image/image.h"
#include "orj/core/image/image_write.h"
#include "orj/core/scene/scene_reader.h"
#include "importer/orj_export_files.h"

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
// lights of the extension every current reader knows.
void add_gltf_cameras_and_lights(nlohmann::json *document, const aiScene *model)
{
    nlohmann::json &nodes = (*document)["nodes"];
    auto node_named = [&](const aiString &name) -> nlohmann::json * {
        for (nlohmann::json &node : nodes)
            if (node.value("name", "") == name.C_Str()) return &node;
        return nullptr;
    };
    for (unsigned i = 0; i < model->mNumCameras; i++) {
        nlohmann::json *node = node_named(model->mCameras[i]->mName);
        if (!node || node->contains("camera")) continue;
        nlohmann::json &cameras = (*document)["cameras"];
        (*node)["camera"] = cameras.size();
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

// Rewrites the glTF file's bytes (JSON, or binary with its JSON chunk first)
// with the model's cameras and lights. False when they are not what the
// writer makes.
bool patch_gltf(std::string *file, bool binary, const aiScene *model)
{
    const std::string &bytes = *file;
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
    *file = std::move(out);
    return true;
}

}  // namespace

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
    out->mMaterials = new aiMaterial *[1];
    aiMaterial *material = new aiMaterial();
    aiString material_name("orj_material");
    material->AddProperty(&material_name, AI_MATKEY_NAME);
    aiColor3D white(1, 1, 1);
    material->AddProperty(&white, 1, AI_MATKEY_COLOR_DIFFUSE);
    if (!texture_name.empty()) {
        aiString file(texture_name);
        material->AddProperty(&file, AI_MATKEY_TEXTURE_DIFFUSE(0));
    }
    out->mMaterials[0] = material;

    std::vector<aiNode *> nodes(scene->object_count);
    std::vector<aiMesh *> meshes;
    std::vector<aiLight *> lights;
    std::vector<aiCamera *> cameras;
    for (int i = 0; i < scene->object_count; i++) {
        const SceneObject &object = scene->objects[i];
        nodes[i] = new aiNode(object.name);
        if (scene->frame_count > 0) nodes[i]->mTransformation = object_matrix(object, 0);
        if (object.kind == Mesh && object.quad_count + object.triangle_count > 0) {
            nodes[i]->mNumMeshes = 1;
            nodes[i]->mMeshes = new unsigned[1]{(unsigned)meshes.size()};
            meshes.push_back(make_mesh(object));
        } else if (object.kind == Lamp && scene->frame_count > 0) {
            aiLight *light = new aiLight();
            light->mName = object.name;
            light->mType = aiLightSource_POINT;
            // The engine takes the lamp's rotation as its colour, and dims it with distance the same way.
            const Vector3 &c = object.rotations[0];
            light->mColorDiffuse = light->mColorSpecular = aiColor3D(c.x, c.y, c.z);
            light->mAttenuationConstant = 1.0f;
            light->mAttenuationLinear = 0.1f;
            lights.push_back(light);
        } else if (object.kind == Camera) {
            aiCamera *camera = new aiCamera();
            camera->mName = object.name;
            camera->mLookAt = aiVector3D(0, 0, -1);
            camera->mUp = aiVector3D(0, 1, 0);
            camera->mHorizontalFOV = (float)std::atan(0.5);  // half the view's angle
            camera->mAspect = 1.0f;
            camera->mClipPlaneNear = 1.0f;
            camera->mClipPlaneFar = 10000.0f;
            cameras.push_back(camera);
        }
    }
    // The hierarchy as drawing walks it, from the roots under the scene's root
    // node; an object that is nobody's child and no root is never drawn and left out.
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

    out->mNumMeshes = (unsigned)meshes.size();
    out->mMeshes = new_array(meshes);
    out->mNumLights = (unsigned)lights.size();
    out->mLights = new_array(lights);
    out->mNumCameras = (unsigned)cameras.size();
    out->mCameras = new_array(cameras);

    if (animate && scene->frame_count > 1) {
        aiAnimation *animation = new aiAnimation();
        animation->mName = "orj_animation";
        animation->mTicksPerSecond = VIEWER_FPS;
        animation->mDuration = scene->frame_count - 1;
        std::vector<aiNodeAnim *> channels;
        for (int i = 0; i < scene->object_count; i++)
            if (reached[i]) channels.push_back(make_channel(scene->objects[i], scene->frame_count));
        animation->mNumChannels = (unsigned)channels.size();
        animation->mChannels = new_array(channels);
        out->mNumAnimations = 1;
        out->mAnimations = new aiAnimation *[1] { animation };
    }
    return out;
}

static std::string replace_extension(const std::string &path, const char *extension)
{
    size_t slash = path.find_last_of('/'), dot = path.find_last_of('.');
    std::string stem =
        dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path.substr(0, dot) : path;
    return stem + extension;
}

static std::string file_name_of(const std::string &path)
{
    size_t slash = path.find_last_of('/');
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
    const ExportFormat *format = export_format_of(model_path);
    std::vector<std::string> inputs = {scene_path}, outputs = {model_path};
    if (texture_path) {
        inputs.push_back(texture_path);
        outputs.push_back(texture_beside(model_path));
    }
    std::string side_file = format ? side_file_of(format, model_path) : "";
    if (!side_file.empty()) outputs.push_back(side_file);
    if (check_output_paths(inputs, outputs, error) != ERROR_NONE) return error->kind;
    for (const std::string &written : outputs)
        if (check_output_path(written.c_str(), error) != ERROR_NONE) return error->kind;
    return ERROR_NONE;
}

// The texture as a PNG file's bytes, to be written beside the model.
static ErrorKind encode_texture_beside(const char *texture_path, const std::string &texture_out, std::string *bytes,
                                       Error *error)
{
    Image image;
    if (load_image_file(texture_path, &image, error) != ERROR_NONE) return error->kind;
    image.has_alpha = true;
    std::vector<uint8_t> png;
    if (encode_png(image, texture_out.c_str(), &png, error) != ERROR_NONE) return error->kind;
    bytes->assign(png.begin(), png.end());
    return ERROR_NONE;
}

ErrorKind export_scene(const Scene *scene, const char *model_path, const char *texture_path, ExportSummary *summary,
                       Error *error)
{
    const ExportFormat *format = export_format_of(model_path);
    if (!format)
        return set_error(error, ERROR_REFUSED, model_path, 0,
                         "the extension says no format that export writes (orj formats lists them)");
    // What the exporter writes is caught in memory, then written as one set, the model last.
    std::deque<ExportedFile> files;
    std::string texture_out = texture_path ? texture_beside(model_path) : "";
    if (texture_path) {
        files.push_back({texture_out, std::string()});
        if (encode_texture_beside(texture_path, texture_out, &files.back().bytes, error) != ERROR_NONE)
            return error->kind;
    }
    aiScene *model = scene_to_assimp(scene, texture_path ? file_name_of(texture_out) : "", format->animation);
    Assimp::Exporter exporter;
    exporter.SetIOHandler(create_export_capture(&files));
    aiReturn result = exporter.Export(model, format->id, model_path);
    ExportedFile *main_file = find_exported_file(&files, model_path);
    bool gltf = strcmp(format->id, "gltf2") == 0 || strcmp(format->id, "glb2") == 0;
    std::vector<std::string> inputs;
    if (texture_path) inputs.push_back(texture_path);
    ErrorKind status = ERROR_NONE;
    if (result != aiReturn_SUCCESS || !main_file)
        status = set_error(error, ERROR_CANNOT_WRITE, model_path, 0, "cannot write the model: %s",
                           exporter.GetErrorString());
    else if (gltf && (model->mNumCameras || model->mNumLights) &&
             !patch_gltf(&main_file->bytes, strcmp(format->id, "glb2") == 0, model))
        status = set_error(error, ERROR_CANNOT_WRITE, model_path, 0,
                           "cannot add the cameras and lamps to the written model");
    else status = write_exported_files(&files, inputs, model_path, error);
    *summary = {format, model->mNumMeshes, model->mNumLights, model->mNumCameras, model->mNumAnimations > 0};
    delete model;
    return status;
}

}  // namespace orj
