// orj export: the sample scene out to glTF and back in through orj import
// keeps its objects, polygons and placement; the asset importer reads the
// export back without a warning.
#include <gtest/gtest.h>

#include <assimp/DefaultLogger.hpp>
#include <assimp/Importer.hpp>
#include <assimp/LogStream.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "orj/core/scene/scene_reader.h"
#include "orj/import/orj_export.h"
#include "orj/import/orj_import.h"
#include "app/orj_import_command.h"
#include "tests/support/test_support.h"

using namespace orj;

static int run_orj(int (*command)(int, char **), std::vector<std::string> args)
{
    std::vector<char *> argv;
    for (std::string &arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    return command((int)args.size(), argv.data());
}

// The object's world matrix at frame as drawing builds it: translate, rotate
// about x, y and z, scale, under the parent's.
static aiMatrix4x4 world_matrix(const Scene &scene, int index, int frame)
{
    const SceneObject &object = scene.objects[index];
    const Vector3 &l = object.locations[frame], &r = object.rotations[frame], &s = object.scales[frame];
    aiMatrix4x4 t, rx, ry, rz, sc;
    aiMatrix4x4::Translation(aiVector3D(l.x, l.y, l.z), t);
    aiMatrix4x4::RotationX(r.x * (float)M_PI / 180.0f, rx);
    aiMatrix4x4::RotationY(r.y * (float)M_PI / 180.0f, ry);
    aiMatrix4x4::RotationZ(r.z * (float)M_PI / 180.0f, rz);
    aiMatrix4x4::Scaling(aiVector3D(s.x, s.y, s.z), sc);
    aiMatrix4x4 local = t * rx * ry * rz * sc;
    return object.is_root ? local : world_matrix(scene, object.parent, frame) * local;
}

static int find_object(const Scene &scene, const char *name)
{
    for (int i = 0; i < scene.object_count; i++)
        if (strcmp(scene.objects[i].name, name) == 0) return i;
    return -1;
}

struct WarningCounter : Assimp::LogStream {
    std::vector<std::string> lines;
    void write(const char *message) override { lines.push_back(message); }
};

TEST(Export, SampleSceneComesBackFromGltfWithItsObjectsPolygonsAndPlacement)
{
    std::string dir = make_temp_dir("export");
    std::string sample = source_path("data/fiche.orj"), model = dir + "/robot.gltf", back = dir + "/back.orj";
    for (const std::string &written : {model, dir + "/robot.glb"}) {
        ASSERT_EQ(run_orj(orj_export_main,
                          {"export", sample, "-o", written, "--texture", source_path("data/texturarobot2.tga")}),
                  0);
        // The asset importer takes the file, cameras and lights included, without a warning or error.
        WarningCounter *warnings = new WarningCounter();
        Assimp::DefaultLogger::create("", Assimp::Logger::NORMAL);
        Assimp::DefaultLogger::get()->attachStream(warnings, Assimp::Logger::Warn | Assimp::Logger::Err);
        {
            Assimp::Importer importer;
            const aiScene *read = importer.ReadFile(written, aiProcess_ValidateDataStructure);
            EXPECT_NE(read, nullptr) << importer.GetErrorString();
            if (read) {
                EXPECT_EQ(read->mNumCameras, 5u) << written;
                EXPECT_EQ(read->mNumLights, 2u) << written;
            }
        }
        std::vector<std::string> lines = warnings->lines;
        Assimp::DefaultLogger::kill();
        EXPECT_TRUE(lines.empty()) << written << ": " << lines[0];
    }
    EXPECT_TRUE(file_exists_at(dir + "/robot.png"));

    ASSERT_EQ(run_orj(orj_import_main, {"import", model, "-o", back, "--scale", "1", "--no-lamps"}), 0);
    Scene original, returned;
    Error error;
    ASSERT_EQ(read_scene_file(&original, sample.c_str(), &error), ERROR_NONE) << error.message;
    ASSERT_EQ(read_scene_file(&returned, back.c_str(), &error), ERROR_NONE) << error.message;
    EXPECT_EQ(returned.frame_count, original.frame_count);
    EXPECT_EQ(returned.polygon_count, original.polygon_count);
    int meshes = 0;
    for (int i = 0; i < original.object_count; i++) {
        const SceneObject &object = original.objects[i];
        if (object.kind != Mesh) continue;
        SCOPED_TRACE(object.name);
        int j = find_object(returned, object.name);
        ASSERT_GE(j, 0);
        EXPECT_EQ(returned.objects[j].kind, Mesh);
        EXPECT_EQ(returned.objects[j].triangle_count + 2 * returned.objects[j].quad_count,
                  object.triangle_count + 2 * object.quad_count);
        for (int frame : {0, 17, 60, original.frame_count - 1}) {
            aiMatrix4x4 want = world_matrix(original, i, frame), got = world_matrix(returned, j, frame);
            for (int r = 0; r < 3; r++)
                for (int c = 0; c < 4; c++)
                    EXPECT_NEAR(got[r][c], want[r][c], 1e-4 * (c == 3 ? 10.0 : 1.0))
                        << "frame " << frame << " [" << r << "][" << c << "]";
        }
        meshes++;
    }
    EXPECT_EQ(meshes, 17);

    // Cameras come back in their order with their names (and so their keys),
    // each with the same view; lamps with their colour.
    std::vector<int> cameras[2], lamps[2];
    const Scene *scenes[2] = {&original, &returned};
    for (int k = 0; k < 2; k++)
        for (int i = 0; i < scenes[k]->object_count; i++) {
            if (scenes[k]->objects[i].kind == Camera) cameras[k].push_back(i);
            if (scenes[k]->objects[i].kind == Lamp) lamps[k].push_back(i);
        }
    ASSERT_EQ(cameras[1].size(), cameras[0].size());
    for (size_t c = 0; c < cameras[0].size(); c++)
        for (int frame : {0, 60}) {
            aiMatrix4x4 views[2];
            for (int k = 0; k < 2; k++) {
                const SceneObject &camera = scenes[k]->objects[cameras[k][c]];
                const Vector3 &l = camera.locations[frame], &r = camera.rotations[frame];
                aiMatrix4x4 rx, ry, rz, t;
                aiMatrix4x4::RotationX(-r.x * (float)M_PI / 180.0f, rx);
                aiMatrix4x4::RotationY(-r.y * (float)M_PI / 180.0f, ry);
                aiMatrix4x4::RotationZ(-r.z * (float)M_PI / 180.0f, rz);
                aiMatrix4x4::Translation(aiVector3D(-l.x, -l.y, -l.z), t);
                views[k] = rx * ry * rz * t;
            }
            EXPECT_STREQ(scenes[1]->objects[cameras[1][c]].name, scenes[0]->objects[cameras[0][c]].name);
            for (int r = 0; r < 3; r++)
                for (int col = 0; col < 4; col++)
                    EXPECT_NEAR(views[1][r][col], views[0][r][col], col == 3 ? 2e-3 : 2e-4)
                        << "camera " << c << " frame " << frame;
        }
    ASSERT_EQ(lamps[1].size(), lamps[0].size());
    for (size_t l = 0; l < lamps[0].size(); l++) {
        const Vector3 &want = original.objects[lamps[0][l]].rotations[0],
                      &got = returned.objects[lamps[1][l]].rotations[0];
        // The engine's own colours, brighter than white, come back whole.
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.z, want.z);
    }
    free_scene_records(&original);
    free_scene_records(&returned);
}

// A scene with a triangle, a camera and a lamp whose colour (its rotation) is given.
static std::string small_scene(const std::string &camera_name, const std::string &lamp_colour)
{
    return " 3\n 1\n tri\n Mesh\n 3\n 1\n  0 0 0\n  0 0 1\n  1 0 0\n  0 0 1\n  0 1 0\n  0 0 1\n3\n  1 2 3\n  0 0 1 0 0 1\n"
           "  0 0 0 0 0 0 1 1 1\n None\n " +
           camera_name + "\n Camera\n  0 0 5 0 0 0 1 1 1\n None\n lamp\n Lamp\n  0 3 3 " + lamp_colour +
           " 1 1 1\n None\n";
}

TEST(Export, NonFiniteValuesAreRefusedAndNamesMadeValidForEachFormat)
{
    std::string dir = make_temp_dir("export_hostile");
    for (const char *colour : {"nan 0 0", "0 inf 0", "0 0 1e308"}) {
        write_file(dir + "/bad.orj", small_scene("camara", colour));
        for (const char *model : {"/m.glb", "/m.gltf", "/m.dae", "/m.obj"}) {
            SCOPED_TRACE(std::string(colour) + model);
            EXPECT_EQ(run_orj(orj_export_main, {"export", dir + "/bad.orj", "-o", dir + model}), 1);
            EXPECT_FALSE(file_exists_at(dir + model));
        }
    }
    // Latin-1 and control characters in names: every format comes out readable, names in UTF-8.
    write_file(dir + "/names.orj", small_scene("c\xe1mara\x01<&\"", "0.5 0.5 0.5"));
    for (const char *model : {"/n.glb", "/n.gltf", "/n.dae"}) {
        SCOPED_TRACE(model);
        ASSERT_EQ(run_orj(orj_export_main, {"export", dir + "/names.orj", "-o", dir + model}), 0);
        Assimp::Importer importer;
        const aiScene *read = importer.ReadFile(dir + model, aiProcess_ValidateDataStructure);
        ASSERT_NE(read, nullptr) << importer.GetErrorString();
        EXPECT_EQ(read->mNumCameras, 1u);
        EXPECT_EQ(read->mNumLights, 1u);
        if (strcmp(model, "/n.dae") != 0) {
            EXPECT_STREQ(read->mCameras[0]->mName.C_Str(), "c\xc3\xa1mara_<&\"");
        }
    }
}

// The library's entry points take a null Error and still fail cleanly.
TEST(Export, ImportAndExportFailWithoutAnErrorRecord)
{
    std::string dir = make_temp_dir("export-null-error");
    write_file(dir + "/points.obj", "v 0 0 0\nv 1 0 0\np 1 2\n");
    ImportSettings settings;
    ImportResult result;
    EXPECT_EQ(import_model((dir + "/points.obj").c_str(), settings, nullptr, nullptr, &result, nullptr), ERROR_REFUSED);
    import_result_destroy(&result);

    Scene scene = {};
    Error error;
    ASSERT_EQ(read_scene_file(&scene, source_path("data/fiche.orj").c_str(), &error), ERROR_NONE) << error.message;
    ExportSummary summary;
    std::string model = dir + "/robot.gltf", missing = dir + "/missing.tga";
    EXPECT_NE(export_scene(&scene, model.c_str(), missing.c_str(), &summary, nullptr), ERROR_NONE);
    EXPECT_FALSE(file_exists_at(model));
    free_scene_records(&scene);
}
