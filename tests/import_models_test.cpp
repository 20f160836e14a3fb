// Real models from the asset importer's test set, converted and compared
// with what the importer itself says about the same files: counts, world
// placements at several frames, camera views, lamps and textures.
#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "orj/core/scene/scene_reader.h"
#include "orj/core/scene/scene_writer.h"
#include "tests/support/test_support.h"
#include "importer/orj_import_convert.h"
#include "importer/orj_import_files.h"
#include "importer/orj_import_math.h"
#include "importer/orj_import_texture.h"

using namespace orj;

static std::string model_path(const std::string &relative) { return "/usr/share/assimp/models/" + relative; }

#define NEED_MODEL(path)                                                                                               \
    do {                                                                                                               \
        if (!file_exists_at(path)) GTEST_SKIP() << "the asset importer's test models are missing: " << path;           \
    } while (0)

// A converted model written to a scene file and read back by the engine's reader.
struct ImportRun {
    ModelFolder folder;
    std::unique_ptr<Assimp::Importer> importer;
    const aiScene *source = nullptr;
    ImportedScene imported;
    Scene scene = {};
    ~ImportRun() { free_scene_records(&scene); }
};

static ImportSettings settings_of(int frames, double fps, double scale)
{
    ImportSettings settings;
    settings.frames = frames;
    settings.fps = fps;
    settings.scale = scale;
    settings.add_camera = false;
    return settings;
}

static void import_and_reread(const std::string &path, const ImportSettings &settings, ImportRun *run)
{
    run->importer.reset(new Assimp::Importer);
    ModelReading reading;
    Error error;
    ASSERT_EQ(open_model_folder(&run->folder, path.c_str(), false, &error), ERROR_NONE) << error.message;
    ASSERT_EQ(read_model(run->importer.get(), &run->folder, &run->source, &reading, &error), ERROR_NONE)
        << error.message;
    ASSERT_EQ(convert_scene(run->source, settings, nullptr, &run->imported, &error), ERROR_NONE) << error.message;
    std::string file = make_temp_dir("import_models") + "/model.orj";
    Error scene_error;
    ASSERT_EQ(save_scene(&run->imported.scene, LOCATIONS_RELATIVE, file.c_str(), &scene_error), ERROR_NONE)
        << scene_error.message;
    ASSERT_EQ(read_scene_file(&run->scene, file.c_str(), &scene_error), ERROR_NONE) << scene_error.message;
    ASSERT_EQ(run->scene.object_count, run->imported.scene.object_count);
}

// ---- the engine's placement chain, composed with the importer's own matrix helpers

static aiMatrix4x4 engine_local(const SceneObject &object, int frame)
{
    const double to_radians = M_PI / 180.0;
    const Vector3 &l = object.locations[frame], &r = object.rotations[frame], &s = object.scales[frame];
    aiMatrix4x4 t, rx, ry, rz, sc;
    aiMatrix4x4::Translation(aiVector3D(l.x, l.y, l.z), t);
    aiMatrix4x4::RotationX((float)(r.x * to_radians), rx);
    aiMatrix4x4::RotationY((float)(r.y * to_radians), ry);
    aiMatrix4x4::RotationZ((float)(r.z * to_radians), rz);
    aiMatrix4x4::Scaling(aiVector3D(s.x, s.y, s.z), sc);
    return t * rx * ry * rz * sc;
}

static aiMatrix4x4 engine_world(const Scene &scene, int index, int frame)
{
    const SceneObject &object = scene.objects[index];
    aiMatrix4x4 local = engine_local(object, frame);
    if (object.is_root) return local;
    return engine_world(scene, object.parent, frame) * local;
}

// ---- the importer's animation, evaluated here on its own

template <typename Key, typename Value>
static Value key_value(const Key *keys, unsigned count, double ticks, Value rest,
                       Value (*mix)(const Value &, const Value &, float))
{
    if (count == 0) return rest;
    if (ticks <= keys[0].mTime) return keys[0].mValue;
    for (unsigned k = 0; k + 1 < count; k++)
        if (ticks < keys[k + 1].mTime)
            return mix(keys[k].mValue, keys[k + 1].mValue,
                       (float)((ticks - keys[k].mTime) / (keys[k + 1].mTime - keys[k].mTime)));
    return keys[count - 1].mValue;
}

static aiVector3D mix_vectors(const aiVector3D &a, const aiVector3D &b, float f) { return a + (b - a) * f; }
static aiQuaternion mix_rotations(const aiQuaternion &a, const aiQuaternion &b, float f)
{
    aiQuaternion out;
    aiQuaternion::Interpolate(out, a, b, f);
    return out.Normalize();
}

static aiMatrix4x4 source_local(const aiScene *scene, const aiNode *node, double ticks)
{
    if (scene->mNumAnimations == 0) return node->mTransformation;
    const aiAnimation *clip = scene->mAnimations[0];
    for (unsigned c = 0; c < clip->mNumChannels; c++) {
        const aiNodeAnim *channel = clip->mChannels[c];
        if (scene->mRootNode->FindNode(channel->mNodeName) != node) continue;
        aiVector3D rest_scale, rest_position;
        aiQuaternion rest_rotation;
        node->mTransformation.Decompose(rest_scale, rest_rotation, rest_position);
        aiVector3D position =
            key_value(channel->mPositionKeys, channel->mNumPositionKeys, ticks, rest_position, mix_vectors);
        aiQuaternion rotation =
            key_value(channel->mRotationKeys, channel->mNumRotationKeys, ticks, rest_rotation, mix_rotations);
        aiVector3D scaling = key_value(channel->mScalingKeys, channel->mNumScalingKeys, ticks, rest_scale, mix_vectors);
        return aiMatrix4x4(scaling, rotation.Normalize(), position);
    }
    return node->mTransformation;
}

static aiMatrix4x4 source_world(const aiScene *scene, const aiNode *node, double ticks, double scale)
{
    aiMatrix4x4 local = source_local(scene, node, ticks);
    local.a4 *= scale;
    local.b4 *= scale;
    local.c4 *= scale;
    return node->mParent ? source_world(scene, node->mParent, ticks, scale) * local : local;
}

static double frame_ticks(const aiScene *scene, int frame, double fps)
{
    if (scene->mNumAnimations == 0) return 0.0;
    const aiAnimation *clip = scene->mAnimations[0];
    double tps = clip->mTicksPerSecond > 0 ? clip->mTicksPerSecond : 25.0;
    return std::min(frame / fps * tps, clip->mDuration);
}

static void expect_matrices_near(const aiMatrix4x4 &engine, const aiMatrix4x4 &source, const std::string &what)
{
    double size = 1.0;
    for (int i = 0; i < 3; i++) size = std::max(size, (double)std::fabs(source[i][3]));
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 4; j++) {
            double tolerance =
                j == 3 ? 2e-4 * size : 2e-4 * std::max(1.0, (double)std::fabs(source[0][0]) + std::fabs(source[1][1]));
            EXPECT_NEAR(engine[i][j], source[i][j], tolerance) << what << " at [" << i << "][" << j << "]";
        }
}

// Every Mesh object named like a node must stand where the importer puts the
// node, at each of the frames; returns how many were compared.
static int compare_nodes(const ImportRun &run, const std::vector<int> &frames, double fps, double scale)
{
    int compared = 0;
    for (int i = 0; i < run.scene.object_count; i++) {
        const SceneObject &object = run.scene.objects[i];
        const aiNode *node = run.source->mRootNode->FindNode(object.name);
        if (object.kind != Mesh || !node) continue;
        for (int frame : frames) {
            double ticks = frame_ticks(run.source, frame, fps);
            expect_matrices_near(engine_world(run.scene, i, frame), source_world(run.source, node, ticks, scale),
                                 std::string(object.name) + " frame " + std::to_string(frame));
        }
        compared++;
    }
    return compared;
}

// ---- counts

struct ExpectedCounts {
    int64_t faces;  // faces of three or more corners, polygons counted as their fan
    int64_t quads;
    int64_t points_and_lines;
    int cameras, lights;
    int objects;
    bool skinned;  // rigid skins add one object per bone
};

// What the importer's unprocessed scene says the conversion must give.
static ExpectedCounts expected_counts(const aiScene *scene)
{
    ExpectedCounts e = {};
    e.cameras = (int)scene->mNumCameras;
    e.lights = (int)scene->mNumLights;
    std::set<std::string> cameras, lights;
    for (unsigned i = 0; i < scene->mNumCameras; i++) cameras.insert(scene->mCameras[i]->mName.C_Str());
    for (unsigned i = 0; i < scene->mNumLights; i++) lights.insert(scene->mLights[i]->mName.C_Str());
    std::vector<const aiNode *> stack = {scene->mRootNode};
    while (!stack.empty()) {
        const aiNode *node = stack.back();
        stack.pop_back();
        for (unsigned c = 0; c < node->mNumChildren; c++) stack.push_back(node->mChildren[c]);
        bool camera = cameras.count(node->mName.C_Str()) > 0, light = lights.count(node->mName.C_Str()) > 0;
        bool bare = node->mNumMeshes == 0 && node->mNumChildren == 0;
        e.objects +=
            bare && (camera || light) ? 1 : 1 + (node->mNumMeshes > 1 ? node->mNumMeshes - 1 : 0) + camera + light;
        for (unsigned m = 0; m < node->mNumMeshes; m++) {
            const aiMesh *mesh = scene->mMeshes[node->mMeshes[m]];
            e.skinned = e.skinned || mesh->mNumBones > 0;
            for (unsigned f = 0; f < mesh->mNumFaces; f++) {
                unsigned n = mesh->mFaces[f].mNumIndices;
                if (n < 3) e.points_and_lines++;
                else e.faces += n - 2 > 2 ? n - 2 : 1;
                if (n == 4) e.quads++;
            }
        }
    }
    return e;
}

TEST(ImportModels, CountsMatchTheImportersForEveryFormat)
{
    const char *models[] = {"OBJ/spider.obj",
                            "OBJ/box.obj",
                            "glTF2/BoxTextured-glTF/BoxTextured.gltf",
                            "glTF2/cameras/Cameras.gltf",
                            "Collada/duck.dae",
                            "Collada/lights.dae",
                            "PLY/cube.ply",
                            "STL/Spider_binary.stl",
                            "3DS/fels.3ds",
                            "FBX/spider.fbx",
                            "FBX/box.fbx",
                            "Collada/anims_with_full_rotations_between_keys.DAE"};
    int tried = 0;
    for (const char *relative : models) {
        std::string path = model_path(relative);
        if (!file_exists_at(path)) continue;
        SCOPED_TRACE(relative);
        Assimp::Importer reference;
        const aiScene *plain = reference.ReadFile(path, 0);
        ASSERT_NE(plain, nullptr) << reference.GetErrorString();
        ExpectedCounts expected = expected_counts(plain);

        ImportRun run;
        import_and_reread(path, settings_of(0, 25.0, 1.0), &run);
        if (HasFatalFailure()) return;
        const ImportStats &stats = run.imported.stats;
        EXPECT_EQ(stats.quads + stats.triangles, expected.faces);
        EXPECT_EQ(stats.quads, expected.quads);
        EXPECT_EQ(stats.points_dropped + stats.lines_dropped, expected.points_and_lines);
        if (expected.skinned) EXPECT_GE(run.scene.object_count, expected.objects);
        else EXPECT_EQ(run.scene.object_count, expected.objects);

        int cameras = 0, lamps = 0;
        int64_t quads = 0, polygons = 0;
        std::set<std::string> names;
        for (int i = 0; i < run.scene.object_count; i++) {
            const SceneObject &object = run.scene.objects[i];
            cameras += object.kind == Camera;
            lamps += object.kind == Lamp;
            quads += object.quad_count;
            polygons += object.triangle_count + 2 * object.quad_count;
            EXPECT_LE(object.face_count, 10000);
            EXPECT_TRUE(names.insert(object.name).second) << "twice: " << object.name;
            for (int q = 0; q < object.quad_count; q++)
                for (int k = 0; k < 4; k++) ASSERT_LT(object.quads[q].corners[k], object.vertex_count);
            for (int t = 0; t < object.triangle_count; t++)
                for (int k = 0; k < 3; k++) ASSERT_LT(object.triangles[t].corners[k], object.vertex_count);
        }
        EXPECT_EQ(cameras, expected.cameras);
        EXPECT_EQ(lamps, expected.lights);
        EXPECT_EQ(quads, expected.quads);
        EXPECT_EQ(run.scene.polygon_count, polygons);
        EXPECT_EQ(names.count("none"), 0u);
        tried++;
    }
    if (tried == 0) GTEST_SKIP() << "the asset importer's test models are missing";
}

TEST(ImportModels, TextureCoordinatesKeepSAndFlipT)
{
    std::string path = model_path("glTF2/BoxTextured-glTF/BoxTextured.gltf");
    NEED_MODEL(path);
    ImportRun run;
    import_and_reread(path, settings_of(0, 25.0, 1.0), &run);
    if (HasFatalFailure()) return;
    const aiMesh *mesh = run.source->mMeshes[0];
    ASSERT_NE(mesh->mTextureCoords[0], nullptr);
    const SceneObject *box = nullptr;
    for (int i = 0; i < run.scene.object_count; i++)
        if (run.scene.objects[i].triangle_count > 0) box = &run.scene.objects[i];
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->triangle_count, (int)mesh->mNumFaces);
    for (int t = 0; t < box->triangle_count; t++)
        for (int k = 0; k < 3; k++) {
            const aiVector3D &uv = mesh->mTextureCoords[0][mesh->mFaces[t].mIndices[k]];
            EXPECT_NEAR(box->triangles[t].tex_coords[k].s, uv.x, 1e-5);
            EXPECT_NEAR(box->triangles[t].tex_coords[k].t, 1.0f - uv.y, 1e-5);
            const Vector3 &v = box->vertices[box->triangles[t].corners[k]];
            const aiVector3D &p = mesh->mVertices[mesh->mFaces[t].mIndices[k]];
            EXPECT_NEAR(v.x, p.x, 1e-5);
            EXPECT_NEAR(v.y, p.y, 1e-5);
            EXPECT_NEAR(v.z, p.z, 1e-5);
        }
}

TEST(ImportModels, ModelWithoutTextureCoordinatesGetsZeros)
{
    std::string path = model_path("STL/Spider_binary.stl");
    NEED_MODEL(path);
    ImportRun run;
    import_and_reread(path, settings_of(0, 25.0, 1.0), &run);
    if (HasFatalFailure()) return;
    for (int i = 0; i < run.scene.object_count; i++) {
        const SceneObject &object = run.scene.objects[i];
        for (int t = 0; t < object.triangle_count; t++) {
            EXPECT_EQ(object.triangles[t].tex_coords[0].s, 0.0f);
            EXPECT_EQ(object.triangles[t].tex_coords[0].t, 1.0f);  // 0 in the file, flipped on reading
        }
        // Normals were made for the model: unit length.
        for (int v = 0; v < object.vertex_count; v += 97) {
            const Vector3 &n = object.normals[v];
            EXPECT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.0, 1e-3);
        }
    }
}

// ---- placements through the frames

TEST(ImportModels, DeepAnimatedColladaFollowsTheImportersWorldMatrices)
{
    std::string path = model_path("Collada/anims_with_full_rotations_between_keys.DAE");
    NEED_MODEL(path);
    ImportRun run;
    import_and_reread(path, settings_of(0, 25.0, 1.0), &run);
    if (HasFatalFailure()) return;
    const aiAnimation *clip = run.source->mAnimations[0];
    double tps = clip->mTicksPerSecond > 0 ? clip->mTicksPerSecond : 25.0;
    EXPECT_EQ(run.scene.frame_count, (int)std::floor(clip->mDuration / tps * 25.0 + 1e-6) + 1);
    // The chain is deeper than the reader takes: the lower objects were moved up.
    EXPECT_GT(run.imported.stats.flattened, 0);
    int last = run.scene.frame_count - 1;
    int compared = compare_nodes(run, {0, 1, 37, last / 2, last - 1, last}, 25.0, 1.0);
    EXPECT_GE(compared, 120);
}

TEST(ImportModels, RotatingBoxFollowsItsKeysAtAnyRateAndScale)
{
    std::string path = model_path("3DS/RotatingCube.3DS");
    NEED_MODEL(path);
    ImportRun run;
    import_and_reread(path, settings_of(0, 10.0, 2.5), &run);
    if (HasFatalFailure()) return;
    const aiAnimation *clip = run.source->mAnimations[0];
    double tps = clip->mTicksPerSecond > 0 ? clip->mTicksPerSecond : 25.0;
    EXPECT_EQ(run.scene.frame_count, (int)std::floor(clip->mDuration / tps * 10.0 + 1e-6) + 1);
    EXPECT_EQ(compare_nodes(run, {0, 3, 17, 40, run.scene.frame_count - 1}, 10.0, 2.5), 2);

    // More frames than the clip: the last pose is held.
    ImportRun held;
    import_and_reread(path, settings_of(run.scene.frame_count + 20, 10.0, 2.5), &held);
    if (HasFatalFailure()) return;
    int end = held.scene.frame_count - 1;
    EXPECT_EQ(compare_nodes(held, {end - 10, end}, 10.0, 2.5), 2);
    for (int i = 0; i < held.scene.object_count; i++) {
        const SceneObject &object = held.scene.objects[i];
        EXPECT_EQ(object.rotations[end].z, object.rotations[end - 10].z);
    }
}

TEST(ImportModels, RigidlySkinnedBoxRidesOnItsAnimatedBone)
{
    std::string path = model_path("Collada/box_nested_animation.dae");
    NEED_MODEL(path);
    ImportRun run;
    import_and_reread(path, settings_of(0, 25.0, 1.0), &run);
    if (HasFatalFailure()) return;
    EXPECT_EQ(run.imported.stats.rigid_skins, 1);
    const aiMesh *mesh = run.source->mMeshes[0];
    ASSERT_EQ(mesh->mNumBones, 1u);
    const aiBone *bone = mesh->mBones[0];
    const aiNode *bone_node = run.source->mRootNode->FindNode(bone->mName);
    ASSERT_NE(bone_node, nullptr);
    int box = -1;
    for (int i = 0; i < run.scene.object_count; i++)
        if (run.scene.objects[i].triangle_count > 0) box = i;
    ASSERT_GE(box, 0);
    const SceneObject &object = run.scene.objects[box];
    // Moving frames: the skinned corners, bone world times offset, against the engine's.
    std::vector<int> frames = {0, 5, 20, run.scene.frame_count - 1};
    for (int frame : frames) {
        aiMatrix4x4 skin =
            source_world(run.source, bone_node, frame_ticks(run.source, frame, 25.0), 1.0) * bone->mOffsetMatrix;
        aiMatrix4x4 engine = engine_world(run.scene, box, frame);
        for (int t = 0; t < object.triangle_count; t++)
            for (int k = 0; k < 3; k++) {
                const Vector3 &v = object.vertices[object.triangles[t].corners[k]];
                aiVector3D from_engine = engine * aiVector3D(v.x, v.y, v.z);
                aiVector3D from_source = skin * mesh->mVertices[mesh->mFaces[t].mIndices[k]];
                EXPECT_NEAR(from_engine.x, from_source.x, 1e-3) << "frame " << frame;
                EXPECT_NEAR(from_engine.y, from_source.y, 1e-3) << "frame " << frame;
                EXPECT_NEAR(from_engine.z, from_source.z, 1e-3) << "frame " << frame;
            }
    }
    aiMatrix4x4 first = engine_world(run.scene, box, 0), later = engine_world(run.scene, box, 20);
    EXPECT_FALSE(first.Equal(later, 1e-3f)) << "the box should move";
}

// The view the engine loads for a camera must take the source camera's eye
// to the origin, its view direction to -z and its up direction to +y.
static void expect_camera_view(const aiScene *source, const aiCamera *camera, const SceneObject &object, int frame,
                               double fps, double scale)
{
    const aiNode *node = source->mRootNode->FindNode(camera->mName);
    ASSERT_NE(node, nullptr);
    aiMatrix4x4 world = source_world(source, node, frame_ticks(source, frame, fps), scale);
    // glTF and 3DS cameras repeat their node's translation as their own place: it counts once.
    aiVector3D own = camera->mPosition;
    const aiMatrix4x4 &rest = node->mTransformation;
    if ((own - aiVector3D(rest.a4, rest.b4, rest.c4)).Length() < 1e-4f) own = aiVector3D(0, 0, 0);
    aiVector3D eye = world * (own * (float)scale);
    aiMatrix3x3 turn(world);
    aiVector3D ahead = (turn * camera->mLookAt).Normalize(), up = turn * camera->mUp;

    Matrix4 view = camera_view_matrix(object.locations[frame], object.rotations[frame]);
    auto through = [&](const aiVector3D &p) {
        return aiVector3D((float)(view.m[0][0] * p.x + view.m[0][1] * p.y + view.m[0][2] * p.z + view.m[0][3]),
                          (float)(view.m[1][0] * p.x + view.m[1][1] * p.y + view.m[1][2] * p.z + view.m[1][3]),
                          (float)(view.m[2][0] * p.x + view.m[2][1] * p.y + view.m[2][2] * p.z + view.m[2][3]));
    };
    double size = std::max(1.0f, eye.Length());
    aiVector3D at_eye = through(eye), at_ahead = through(eye + ahead), at_up = through(eye + up);
    EXPECT_NEAR(at_eye.Length(), 0.0, 2e-5 * size) << object.name << " frame " << frame;
    EXPECT_NEAR(at_ahead.x, 0.0, 2e-5 * size);
    EXPECT_NEAR(at_ahead.y, 0.0, 2e-5 * size);
    EXPECT_NEAR(at_ahead.z, -1.0, 2e-5 * size);
    EXPECT_NEAR(at_up.x, 0.0, 2e-5 * size);
    EXPECT_GT(at_up.y, 0.0);
}

TEST(ImportModels, CamerasBecomeRootsSeeingWhatTheSourceCamerasSee)
{
    // A foreign model's cameras take the keys in order, whatever their names ("Camera" among them).
    struct Case {
        const char *model;
        double scale;
    } cases[] = {{"glTF2/cameras/Cameras.gltf", 1.0},
                 {"Collada/cameras.dae", 3.0},
                 {"3DS/CameraRollAnim.3ds", 0.1},
                 {"Collada/duck.dae", 1.0}};
    const char *slots[] = {"camara4", "camara", "Camera"};
    int tried = 0;
    for (const Case &c : cases) {
        std::string path = model_path(c.model);
        if (!file_exists_at(path)) continue;
        SCOPED_TRACE(c.model);
        ImportRun run;
        import_and_reread(path, settings_of(0, 25.0, c.scale), &run);
        if (HasFatalFailure()) return;
        int seen = 0;
        for (int i = 0; i < run.scene.object_count; i++) {
            const SceneObject &object = run.scene.objects[i];
            if (object.kind != Camera) continue;
            EXPECT_TRUE(object.is_root);
            ASSERT_LT(seen, 3);
            EXPECT_STREQ(object.name, slots[seen]);
            const aiCamera *camera = run.source->mCameras[seen];
            for (int frame : {0, run.scene.frame_count / 2, run.scene.frame_count - 1})
                expect_camera_view(run.source, camera, object, frame, 25.0, c.scale);
            seen++;
        }
        EXPECT_EQ(seen, (int)run.source->mNumCameras);
        if (std::string(c.model) == "glTF2/cameras/Cameras.gltf") {
            // The file puts both cameras' nodes at (0.5, 0.5, 3), and so the eyes.
            for (int i = 0; i < run.scene.object_count; i++) {
                const SceneObject &object = run.scene.objects[i];
                if (object.kind != Camera) continue;
                EXPECT_NEAR(object.locations[0].x, 0.5, 1e-6);
                EXPECT_NEAR(object.locations[0].y, 0.5, 1e-6);
                EXPECT_NEAR(object.locations[0].z, 3.0, 1e-6);
            }
        }
        tried++;
    }
    if (tried == 0) GTEST_SKIP() << "the asset importer's test models are missing";
}

TEST(ImportModels, LightsBecomeLampsWithTheirColourAsRotation)
{
    std::string path = model_path("Collada/lights.dae");
    NEED_MODEL(path);
    ImportRun run;
    import_and_reread(path, settings_of(0, 25.0, 2.0), &run);
    if (HasFatalFailure()) return;
    int lamps = 0;
    for (unsigned l = 0; l < run.source->mNumLights; l++) {
        const aiLight *light = run.source->mLights[l];
        const SceneObject *lamp = nullptr;
        // The lamp is made of the light; it is a root drawn before every mesh.
        int first_mesh = run.scene.object_count;
        for (int i = run.scene.object_count; i-- > 0;) {
            const SceneObject &object = run.scene.objects[i];
            if (object.kind == Lamp && light->mName == aiString(run.imported.objects[i].source_name)) lamp = &object;
            if (object.kind == Mesh) first_mesh = i;
        }
        ASSERT_NE(lamp, nullptr) << light->mName.C_Str();
        EXPECT_TRUE(lamp->is_root);
        EXPECT_LT(lamp - run.scene.objects, first_mesh);
        float brightest =
            std::max(1.0f, std::max(light->mColorDiffuse.r, std::max(light->mColorDiffuse.g, light->mColorDiffuse.b)));
        EXPECT_NEAR(lamp->rotations[0].x, std::max(0.0f, light->mColorDiffuse.r) / brightest, 1e-4);
        EXPECT_NEAR(lamp->rotations[0].y, std::max(0.0f, light->mColorDiffuse.g) / brightest, 1e-4);
        EXPECT_NEAR(lamp->rotations[0].z, std::max(0.0f, light->mColorDiffuse.b) / brightest, 1e-4);
        // The light stands where the importer places it (the engine's lamp light sits at the lamp's origin).
        const aiNode *node = run.source->mRootNode->FindNode(light->mName);
        ASSERT_NE(node, nullptr);
        aiVector3D expected = source_world(run.source, node, 0.0, 2.0) * (light->mPosition * 2.0f);
        aiVector3D got = engine_world(run.scene, (int)(lamp - run.scene.objects), 0) * aiVector3D(0, 0, 0);
        EXPECT_NEAR(got.x, expected.x, 1e-3 * std::max(1.0f, expected.Length()));
        EXPECT_NEAR(got.y, expected.y, 1e-3 * std::max(1.0f, expected.Length()));
        EXPECT_NEAR(got.z, expected.z, 1e-3 * std::max(1.0f, expected.Length()));
        lamps++;
    }
    EXPECT_GT(lamps, 0);
}

// ---- textures

static Image texture_of(const std::string &path)
{
    Assimp::Importer importer;
    ModelFolder folder;
    ModelReading reading;
    Error error;
    std::string reference;
    Error texture_error;
    Image image = {};
    const aiScene *scene = nullptr;
    EXPECT_EQ(open_model_folder(&folder, path.c_str(), false, &error), ERROR_NONE) << error.message;
    EXPECT_EQ(read_model(&importer, &folder, &scene, &reading, &error), ERROR_NONE) << error.message;
    if (!scene) return image;
    EXPECT_TRUE(find_diffuse_texture(scene, &reference));
    EXPECT_EQ(load_texture_image(scene, reference, &folder, &image, &texture_error), ERROR_NONE)
        << texture_error.message;
    return image;
}

static int distinct_colours(const Image &image)
{
    std::set<uint32_t> colours;
    for (size_t p = 0; p + 3 < image.rgba.size() && colours.size() < 50; p += 4 * 7)
        colours.insert(image.rgba[p] | image.rgba[p + 1] << 8 | image.rgba[p + 2] << 16);
    return (int)colours.size();
}

TEST(ImportModels, TexturesAreDecodedFromFilesAndEmbeddedData)
{
    struct Case {
        const char *model;
        int width, height;
    } cases[] = {{"Collada/duck.dae", 512, 512},                               // a TGA file beside the model
                 {"OBJ/spider.obj", 250, 250},                                 // a JPEG file named with a backslash
                 {"glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", 211, 211},  // a PNG inside the model
                 {"glTF2/BoxTextured-glTF/BoxTextured.gltf", 211, 211}};       // a PNG file
    int tried = 0;
    for (const Case &c : cases) {
        std::string path = model_path(c.model);
        if (!file_exists_at(path)) continue;
        SCOPED_TRACE(c.model);
        Image image = texture_of(path);
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
        ASSERT_EQ(image.rgba.size(), (size_t)c.width * c.height * 4);
        EXPECT_GT(distinct_colours(image), 5);
        tried++;
    }
    if (tried == 0) GTEST_SKIP() << "the asset importer's test models are missing";
}

TEST(ImportModels, PointCloudsAreRefusedAndBrokenIndicesDropped)
{
    std::string cloud = model_path("PLY/points.ply"), broken = model_path("glTF2/IndexOutOfRange/IndexOutOfRange.gltf");
    NEED_MODEL(cloud);
    Assimp::Importer importer;
    ModelFolder folder;
    ModelReading reading;
    Error error;
    const aiScene *source = nullptr;
    ASSERT_EQ(open_model_folder(&folder, cloud.c_str(), false, &error), ERROR_NONE) << error.message;
    ASSERT_EQ(read_model(&importer, &folder, &source, &reading, &error), ERROR_NONE) << error.message;
    ImportedScene imported;
    EXPECT_EQ(convert_scene(source, settings_of(0, 25.0, 1.0), nullptr, &imported, &error), ERROR_REFUSED);
    EXPECT_NE(error.message.find(std::to_string(source->mMeshes[0]->mNumVertices) + " points"), std::string::npos)
        << error.message;

    NEED_MODEL(broken);
    ImportRun partial;
    import_and_reread(broken, settings_of(0, 25.0, 1.0), &partial);
    if (HasFatalFailure()) return;
    EXPECT_GT(partial.scene.polygon_count, 0);
}

// The world places of the vertices that frame draws (objects of scale 0 and
// what lies under them are hidden).
static std::vector<aiVector3D> drawn_vertices(const Scene &scene, int frame)
{
    std::vector<aiVector3D> drawn;
    for (int i = 0; i < scene.object_count; i++) {
        const SceneObject &object = scene.objects[i];
        bool hidden = false;
        for (int k = i; k >= 0 && !hidden; k = scene.objects[k].is_root ? -1 : scene.objects[k].parent) {
            const Vector3 &s = scene.objects[k].scales[frame];
            hidden = s.x == 0.0f || s.y == 0.0f || s.z == 0.0f;
        }
        if (hidden || object.kind != Mesh) continue;
        aiMatrix4x4 world = engine_world(scene, i, frame);
        for (int v = 0; v < object.vertex_count; v++) {
            const Vector3 &p = object.vertices[v];
            drawn.push_back(world * aiVector3D(p.x, p.y, p.z));
        }
    }
    return drawn;
}

static bool has_vertex(const std::vector<aiVector3D> &vertices, aiVector3D wanted)
{
    for (const aiVector3D &v : vertices)
        if ((v - wanted).Length() < 1e-4f) return true;
    return false;
}

TEST(ImportModels, SkinsAndMorphTargetsMoveFrameByFrameWithinALimit)
{
    // A strip 1 wide and 2 high whose upper joint, at (0, 1, 0), turns 90
    // degrees about z by 1 s (frame 25); both joints' inverse binds are
    // T(-0.5, -1, 0). The bottom row follows the lower joint alone, the top
    // row the upper one.
    std::string skin = model_path("glTF2/simple_skin/simple_skin.gltf");
    NEED_MODEL(skin);
    ImportRun run;
    import_and_reread(skin, settings_of(0, 25.0, 1.0), &run);
    if (HasFatalFailure()) return;
    EXPECT_EQ(run.imported.stats.deforming_meshes, 1);
    std::vector<aiVector3D> rest = drawn_vertices(run.scene, 0), bent = drawn_vertices(run.scene, 25);
    EXPECT_EQ(rest.size(), 10u);
    EXPECT_EQ(bent.size(), 10u);
    EXPECT_TRUE(has_vertex(rest, aiVector3D(-0.5f, 0, 0)));
    EXPECT_TRUE(has_vertex(rest, aiVector3D(0.5f, 2, 0)));
    EXPECT_TRUE(has_vertex(bent, aiVector3D(-0.5f, 0, 0)));
    EXPECT_TRUE(has_vertex(bent, aiVector3D(-1, 0.5f, 0)));
    EXPECT_TRUE(has_vertex(bent, aiVector3D(-1, 1.5f, 0)));

    // A cube whose two morph targets' weights run over 4.2 s: its shape
    // changes; sampled a thousand times a second it would pass the limits
    // and keeps its first pose, with a warning.
    std::string morph = model_path("glTF2/glTF-Sample-Models/AnimatedMorphCube-glTF/AnimatedMorphCube.gltf");
    NEED_MODEL(morph);
    ImportRun cube;
    import_and_reread(morph, settings_of(0, 25.0, 1.0), &cube);
    if (HasFatalFailure()) return;
    ASSERT_GT(cube.scene.frame_count, 100);
    std::vector<aiVector3D> first = drawn_vertices(cube.scene, 0), later = drawn_vertices(cube.scene, 50);
    ASSERT_EQ(first.size(), later.size());
    double moved = 0;
    for (size_t v = 0; v < first.size(); v++) moved = std::max(moved, (double)(later[v] - first[v]).Length());
    EXPECT_GT(moved, 0.005);  // the cube is 0.02 across
    EXPECT_EQ(cube.imported.stats.mesh_animations_ignored, 0);

    ImportRun dense;
    import_and_reread(morph, settings_of(0, 1000.0, 1.0), &dense);
    if (HasFatalFailure()) return;
    EXPECT_EQ(dense.imported.stats.mesh_animations_ignored, 1);
    EXPECT_EQ(dense.imported.stats.posed_objects, 1);
    std::vector<aiVector3D> held = drawn_vertices(dense.scene, dense.scene.frame_count - 1);
    ASSERT_EQ(held.size(), first.size());
    for (size_t v = 0; v < held.size(); v++) EXPECT_LT((held[v] - first[v]).Length(), 1e-6f);
}

// ---- the format's limits, on models written here

TEST(ImportModels, BigMeshesAndWideParentsAreCutToTheReadersLimits)
{
    // A grid of 160 x 160 quads (25600 faces) and 1500 single triangles, each its own object.
    std::string dir = make_temp_dir("import_limits");
    std::string obj = "o grid\n";
    const int side = 160;
    for (int y = 0; y <= side; y++)
        for (int x = 0; x <= side; x++) obj += "v " + std::to_string(x) + " " + std::to_string(y) + " 0\n";
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++) {
            int a = y * (side + 1) + x + 1;
            obj += "f " + std::to_string(a) + " " + std::to_string(a + 1) + " " + std::to_string(a + side + 2) + " " +
                   std::to_string(a + side + 1) + "\n";
        }
    int base = (side + 1) * (side + 1);
    for (int k = 0; k < 1500; k++) {
        obj += "o piece" + std::to_string(k) + "\n";
        obj += "v " + std::to_string(k) + " -5 0\nv " + std::to_string(k + 1) + " -5 0\nv " + std::to_string(k) +
               " -4 0\n";
        int v = base + 3 * k + 1;
        obj += "f " + std::to_string(v) + " " + std::to_string(v + 1) + " " + std::to_string(v + 2) + "\n";
    }
    write_file(dir + "/big.obj", obj);

    ImportRun run;
    import_and_reread(dir + "/big.obj", settings_of(0, 25.0, 0.5), &run);
    if (HasFatalFailure()) return;
    int64_t quads = 0, triangles = 0;
    int largest_family = 0;
    for (int i = 0; i < run.scene.object_count; i++) {
        const SceneObject &object = run.scene.objects[i];
        EXPECT_LE(object.face_count, 10000) << object.name;
        largest_family = std::max(largest_family, object.child_count);
        quads += object.quad_count;
        triangles += object.triangle_count;
        // Every part keeps its vertices where the model has them (scaled by 0.5).
        aiMatrix4x4 world = engine_world(run.scene, i, 0);
        for (int v = 0; v < object.vertex_count; v += 211) {
            aiVector3D p = world * aiVector3D(object.vertices[v].x, object.vertices[v].y, object.vertices[v].z);
            EXPECT_NEAR(p.z, 0.0, 1e-4);
            EXPECT_NEAR(p.x * 2 - std::round(p.x * 2), 0.0, 1e-3);
        }
    }
    EXPECT_EQ(quads, side * side);
    EXPECT_EQ(triangles, 1500);
    EXPECT_GE(run.imported.stats.meshes_split, 1);
    EXPECT_LE(largest_family, 1000);
    EXPECT_GT(run.imported.stats.group_inserted, 0);
}
