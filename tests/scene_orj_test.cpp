// The orj tool run as a program: exit statuses, messages and the JSON dump.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>
#include <random>
#include <string>

#include "orj/core/scene/scene_reader.h"
#include "tests/scene_test_files.h"
#include "tests/support/test_support.h"

using namespace orj;

namespace {

ProgramResult run_orj(const std::vector<std::string> &arguments)
{
    std::vector<std::string> argv = {binary_path("app/orj")};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return run_program(argv, 60);
}

std::string write_scene(const std::string &name, const std::string &text)
{
    std::string path = make_temp_dir("orj") + "/" + name;
    write_file(path, text);
    return path;
}

TEST(OrjTool, CheckIsSilentOnAValidFile)
{
    ProgramResult result = run_orj({"check", write_scene("ok.orj", worked_example_text())});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
}

TEST(OrjTool, CheckNamesTheBadLine)
{
    std::string text = worked_example_text();
    text.replace(text.find("  1 3 4"), 7, "  1 3 9");
    std::string path = write_scene("bad.orj", text);
    ProgramResult result = run_orj({"check", path});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, path + ":18: vertex number 9 outside 1..4\n");
}

TEST(OrjTool, CheckOnAMissingFileAndWrongUsage)
{
    ProgramResult missing = run_orj({"check", "/nonexistent/x.orj"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "/nonexistent/x.orj: cannot open: No such file or directory\n");
    EXPECT_EQ(run_orj({}).status, 2);
    EXPECT_EQ(run_orj({"check"}).status, 2);
    EXPECT_EQ(run_orj({"frobnicate", "x.orj"}).status, 2);
    EXPECT_EQ(run_orj({"check", "a.orj", "b.orj"}).status, 2);
}

TEST(OrjTool, InfoShowsCountsAndTheTree)
{
    ProgramResult result = run_orj({"info", write_scene("ok.orj", worked_example_text() + "")});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("polygons: 3"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("frames: 2"), std::string::npos) << result.out;
    size_t plane = result.out.find("\"Plano\" (Mesh");
    size_t camera = result.out.find("    1 \"Camera\" (Camera)");
    EXPECT_NE(plane, std::string::npos) << result.out;
    EXPECT_NE(camera, std::string::npos) << result.out;
    EXPECT_LT(plane, camera);
}

TEST(OrjTool, InfoListsObjectsNoRootReaches)
{
    std::string text = " 3\n 0\n R\n Lamp\n None\n A\n Lamp\n xxxxxxxxxBxx\n B\n Camera\n xxxxxxxxxAxx\n";
    ProgramResult result = run_orj({"info", write_scene("loop.orj", text)});
    EXPECT_EQ(result.status, 0) << result.err;
    size_t heading = result.out.find("not reached from a root");
    ASSERT_NE(heading, std::string::npos) << result.out;
    EXPECT_NE(result.out.find("1 \"A\" (Lamp), parent \"B\"", heading), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("2 \"B\" (Camera), parent \"A\"", heading), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("\"R\"", heading), std::string::npos) << result.out;

    // Names are untrusted: control characters reach the terminal only escaped.
    result = run_orj({"info", write_scene("escape.orj", " 1\n 0\n Bad\x1b]2;x\x07\xc2\x9b\n Lamp\n None\n")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("\"Bad\\x1b]2;x\\x07\\xc2\\x9b\" (Lamp)"), std::string::npos) << result.out;
}

float as_float(const nlohmann::json &value)
{
    if (value.is_string()) {
        std::string text = value;
        if (text == "nan") return NAN;
        return text == "inf" ? INFINITY : -INFINITY;
    }
    return (float)value.get<double>();
}

bool same_float(float a, float b)
{
    if (std::isnan(a)) return std::isnan(b);
    return memcmp(&a, &b, sizeof a) == 0;
}

TEST(OrjTool, DumpHoldsTheRecordsExactly)
{
    // Awkward floats: many digits, subnormal, huge, infinite, not a number.
    std::string text = " 2\n 1\n Pieza\n Mesh\n 1\n 1\n  0.1 1e-45 3.4e38\n  -0 inf nan\n0\n  1 1 1\n"
                       "  0.3 0.7 0.5 0.125 1 0.2\n  1.17 2.5 -3 1 2 3 0.5 0.5 0.5\n None\n"
                       " Luz\n Lamp\n  0 0 0 0 0 0 1 1 1\n parent: 'Nadie'.\n";
    std::string path = write_scene("dump.orj", text);
    ProgramResult result = run_orj({"dump", path});
    ASSERT_EQ(result.status, 0) << result.err;
    nlohmann::json dump = nlohmann::json::parse(result.out);
    // Streamed, yet the text the JSON library gives for the whole document.
    EXPECT_EQ(result.out, dump.dump() + "\n");

    Scene scene;
    Error error;
    ASSERT_EQ(read_scene_text(&scene, text.data(), text.size(), path.c_str(), &error), ERROR_NONE) << error.message;
    EXPECT_EQ(dump["object_count"], 2);
    EXPECT_EQ(dump["frame_count"], 1);
    EXPECT_EQ(dump["polygon_count"], 1);
    const nlohmann::json &mesh = dump["objects"][0];
    std::vector<std::string> keys;
    for (auto &item : mesh.items()) keys.push_back(item.key());
    EXPECT_EQ(keys.size(), 18u);
    EXPECT_EQ(mesh["kind"], "Mesh");
    EXPECT_EQ(mesh["is_root"], true);
    EXPECT_TRUE(mesh["parent"].is_null());
    EXPECT_EQ(mesh["triangles"][0]["corners"], nlohmann::json::array({0, 0, 0}));
    const SceneObject &object = scene.objects[0];
    for (int k = 0; k < 3; k++) {
        EXPECT_TRUE(same_float(as_float(mesh["vertices"][0][k]), (&object.vertices[0].x)[k])) << k;
        EXPECT_TRUE(same_float(as_float(mesh["normals"][0][k]), (&object.normals[0].x)[k])) << k;
        EXPECT_TRUE(same_float(as_float(mesh["rotations"][0][k]), (&object.rotations[0].x)[k])) << k;
    }
    EXPECT_EQ(mesh["normals"][0][1], "inf");
    EXPECT_EQ(mesh["normals"][0][2], "nan");
    for (int c = 0; c < 3; c++) {
        EXPECT_TRUE(
            same_float(as_float(mesh["triangles"][0]["tex_coords"][c][0]), object.triangles[0].tex_coords[c].s));
        EXPECT_TRUE(
            same_float(as_float(mesh["triangles"][0]["tex_coords"][c][1]), object.triangles[0].tex_coords[c].t));
    }
    const nlohmann::json &lamp = dump["objects"][1];
    EXPECT_EQ(lamp["kind"], "Lamp");
    EXPECT_EQ(lamp["is_root"], false);
    EXPECT_TRUE(lamp["parent"].is_null());
    EXPECT_EQ(lamp["parent_name"], "Nadie");
    free_scene_records(&scene);
}

TEST(OrjTool, DumpedFloatsReadBackAsTheSameFloats)
{
    // Random bit patterns of every magnitude, as vertex positions.
    std::mt19937 random(7);
    const int count = 3000;
    std::string text = " 1\n 0\n M\n Mesh\n " + std::to_string(count) + "\n 0\n";
    for (int v = 0; v < count; v++) {
        char line[128];
        float values[3];
        for (float &value : values) {
            uint32_t bits = (uint32_t)random();
            memcpy(&value, &bits, sizeof value);
        }
        snprintf(line, sizeof line, "  %.9g %.9g %.9g\n  0 0 1\n", values[0], values[1], values[2]);
        text += line;
    }
    text += " None\n";
    std::string path = write_scene("floats.orj", text);
    ProgramResult result = run_orj({"dump", path});
    ASSERT_EQ(result.status, 0) << result.err;
    nlohmann::json dump = nlohmann::json::parse(result.out);
    Scene scene;
    Error error;
    ASSERT_EQ(read_scene_text(&scene, text.data(), text.size(), path.c_str(), &error), ERROR_NONE) << error.message;
    int mismatches = 0;
    for (int v = 0; v < count; v++)
        for (int k = 0; k < 3; k++)
            if (!same_float(as_float(dump["objects"][0]["vertices"][v][k]), (&scene.objects[0].vertices[v].x)[k]))
                mismatches++;
    EXPECT_EQ(mismatches, 0);
    free_scene_records(&scene);
}

TEST(OrjTool, DumpWritesLatin1NamesAsUtf8AndNullKinds)
{
    std::string path = write_scene("latin1.orj", " 1\n 0\n Cami\xf3n\n Luz\n None\n");
    ProgramResult result = run_orj({"dump", path});
    ASSERT_EQ(result.status, 0) << result.err;
    nlohmann::json dump = nlohmann::json::parse(result.out);
    EXPECT_EQ(dump["objects"][0]["name"], "Cami\xc3\xb3n");
    EXPECT_TRUE(dump["objects"][0]["kind"].is_null());
    EXPECT_EQ(dump["objects"][0]["type_name"], "Luz");
}

}  // namespace
