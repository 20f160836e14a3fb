// "orj import" as a command: its options, its exit statuses and the files it writes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "orj/core/scene/scene_reader.h"
#include "tests/support/test_support.h"
#include "app/orj_import_command.h"

using namespace orj;

static const char *const ANIMATED = "/usr/share/assimp/models/Collada/anims_with_full_rotations_between_keys.DAE";

static int run_import(std::vector<std::string> args)
{
    args.insert(args.begin(), "import");
    std::vector<char *> argv;
    for (std::string &arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    return orj_import_main((int)args.size(), argv.data());
}

// The command's paths point into the arguments: they are kept until the next call.
static OptionsResult parse(std::vector<std::string> args, ImportCommand *command, std::string *error)
{
    static std::vector<std::string> kept;
    kept = std::move(args);
    kept.insert(kept.begin(), "import");
    std::vector<char *> argv;
    for (std::string &arg : kept) argv.push_back(&arg[0]);
    return parse_import_options((int)kept.size(), argv.data(), command, error);
}

TEST(ImportCommand, OptionsAreReadWithTheirDefaults)
{
    ImportCommand command;
    std::string error;
    ASSERT_EQ(parse({"m.obj", "-o", "s.orj"}, &command, &error), OPTIONS_RUN) << error;
    EXPECT_STREQ(command.model_path, "m.obj");
    EXPECT_STREQ(command.scene_path, "s.orj");
    EXPECT_STREQ(command.texture_path, "s.tga");  // beside the scene, where the viewer looks
    EXPECT_TRUE(command.settings.camera_if_none);
    EXPECT_FALSE(command.settings.add_camera);
    EXPECT_EQ(command.settings.frames, 0);
    EXPECT_EQ(command.settings.fps, 25.0);
    EXPECT_EQ(command.settings.scale, 0.0);  // framed
    EXPECT_TRUE(command.settings.lamps);

    ASSERT_EQ(parse({"--output=s.orj", "--texture-out", "t.tga", "--frames=12", "--fps", "12.5", "--scale=0.01",
                     "--no-lamps", "--max-memory=0", "--max-cpu", "20", "m.dae"},
                    &command, &error),
              OPTIONS_RUN)
        << error;
    EXPECT_STREQ(command.texture_path, "t.tga");
    EXPECT_EQ(command.settings.frames, 12);
    EXPECT_EQ(command.settings.fps, 12.5);
    EXPECT_EQ(command.settings.scale, 0.01);
    EXPECT_FALSE(command.settings.lamps);
    ASSERT_EQ(parse({"m.obj", "-o", "-", "--no-camera"}, &command, &error), OPTIONS_RUN) << error;
    EXPECT_EQ(command.texture_path, nullptr);
    EXPECT_FALSE(command.settings.camera_if_none);
    EXPECT_EQ(parse({"m.obj", "-o", "s.orj", "--no-camera", "--add-camera"}, &command, &error), OPTIONS_BAD);
    EXPECT_EQ(parse({"--help"}, &command, &error), OPTIONS_HELP);
}

TEST(ImportCommand, BadOptionsAreRefusedWithStatusTwo)
{
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"m.obj"},
        {"-o", "s.orj"},
        {"m.obj", "-o"},
        {"m.obj", "-o", "s.orj", "--frames", "0"},
        {"m.obj", "-o", "s.orj", "--frames", "100001"},
        {"m.obj", "-o", "s.orj", "--frames", "3x"},
        {"m.obj", "-o", "s.orj", "--frames", "-2"},
        {"m.obj", "-o", "s.orj", "--fps", "0"},
        {"m.obj", "-o", "s.orj", "--fps", "nan"},
        {"m.obj", "-o", "s.orj", "--fps", "1001"},
        {"m.obj", "-o", "s.orj", "--scale", "-1"},
        {"m.obj", "-o", "s.orj", "--scale", "inf"},
        {"m.obj", "-o", "s.orj", "--scale", ""},
        {"m.obj", "-o", "s.orj", "--texture-out"},
        {"m.obj", "-o", "s.orj", "--colour", "red"},
        {"m.obj", "-o", "s.orj", "--max-memory", "lots"},
        {"m.obj", "-o", "s.orj", "--max-cpu=-1"},
        {"m.obj", "n.obj", "-o", "s.orj"},
    };
    for (const std::vector<std::string> &args : bad) {
        std::string joined;
        for (const std::string &arg : args) joined += arg + " ";
        ImportCommand command;
        std::string error;
        EXPECT_EQ(parse(args, &command, &error), OPTIONS_BAD) << joined;
        EXPECT_FALSE(error.empty()) << joined;
        EXPECT_EQ(run_import(args), 2) << joined;
    }
    EXPECT_EQ(run_import({"--help"}), 0);
}

TEST(ImportCommand, UnreadableModelsEndWithStatusOne)
{
    std::string dir = make_temp_dir("import_cli");
    EXPECT_EQ(run_import({dir + "/missing.obj", "-o", dir + "/s.orj"}), 1);
    write_file(dir + "/noise.xyz", std::string("\x01\x02not a model at all\xff", 22));
    EXPECT_EQ(run_import({dir + "/noise.xyz", "-o", dir + "/s.orj"}), 1);
    EXPECT_FALSE(file_exists_at(dir + "/s.orj"));
}

TEST(ImportCommand, WritesASceneTheReaderTakesAndItsTexture)
{
    if (!file_exists_at(ANIMATED)) GTEST_SKIP() << "the asset importer's test models are missing";
    std::string dir = make_temp_dir("import_cli");
    std::string scene_path = dir + "/anim.orj", texture_path = dir + "/anim.tga";
    ASSERT_EQ(run_import({ANIMATED, "-o", scene_path, "--texture-out", texture_path, "--frames", "5", "--fps", "10",
                          "--scale", "2"}),
              0);
    Scene scene;
    Error error;
    ASSERT_EQ(read_scene_file(&scene, scene_path.c_str(), &error), ERROR_NONE) << error.message;
    EXPECT_EQ(scene.frame_count, 5);
    EXPECT_EQ(scene.object_count, 129 + 3);      // and the camera and two lamps a bare model gets
    EXPECT_EQ(scene.polygon_count, 64 * 6 * 2);  // 64 boxes of six quads
    free_scene_records(&scene);

    // The model has no texture: its material's colour in a small atlas, 32 bits, top row first.
    std::string tga = read_file(texture_path);
    ASSERT_EQ(tga.size(), 18u + 4 * 4 * 4);
    EXPECT_EQ(tga[2], 2);
    EXPECT_EQ((uint8_t)tga[16], 32);
    EXPECT_EQ((uint8_t)tga[18 + 3], 255);  // opaque

    // An output that cannot be written is an error.
    EXPECT_EQ(run_import({ANIMATED, "-o", dir + "/no/such/dir/anim.orj"}), 1);
    EXPECT_EQ(run_import({ANIMATED, "-o", dir + "/b.orj", "--texture-out", dir + "/no/such/dir/t.tga"}), 1);
}

TEST(ImportCommand, FrameCountFollowsTheClipAndTheRate)
{
    if (!file_exists_at(ANIMATED)) GTEST_SKIP() << "the asset importer's test models are missing";
    std::string dir = make_temp_dir("import_cli");
    std::string at_25 = dir + "/a25.orj", at_5 = dir + "/a5.orj";
    ASSERT_EQ(run_import({ANIMATED, "-o", at_25}), 0);
    ASSERT_EQ(run_import({ANIMATED, "-o", at_5, "--fps", "5"}), 0);
    Scene fast, slow;
    Error error;
    ASSERT_EQ(read_scene_file(&fast, at_25.c_str(), &error), ERROR_NONE) << error.message;
    ASSERT_EQ(read_scene_file(&slow, at_5.c_str(), &error), ERROR_NONE) << error.message;
    // duration x rate + 1 at both rates: the same clip length.
    EXPECT_NEAR((fast.frame_count - 1) / 25.0, (slow.frame_count - 1) / 5.0, 0.2);
    EXPECT_GT(fast.frame_count, 100);
    free_scene_records(&fast);
    free_scene_records(&slow);
}

// "orj import" runs the importer as a program of its own: arguments, output
// and exit status pass through unchanged.
TEST(ImportCommand, OrjRunsTheImporterProgram)
{
    std::string orj = binary_path("app/orj");
    ProgramResult help = run_program({orj, "import", "--help"}, 60);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: orj import MODEL", 0), 0u) << help.out;
    ProgramResult bad = run_program({orj, "import", "--frames"}, 60);
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("orj import: "), std::string::npos) << bad.err;

    if (!file_exists_at(ANIMATED)) GTEST_SKIP() << "the asset importer's test models are missing";
    std::string dir = make_temp_dir("import_cli"), scene_path = dir + "/a.orj";
    ProgramResult run = run_program({orj, "import", ANIMATED, "-o", scene_path, "--frames", "5"}, 120);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run_program({orj, "check", scene_path}, 60).status, 0);
    EXPECT_EQ(run_import({ANIMATED, "-o", dir + "/b.orj", "--frames", "5"}), 0);
    EXPECT_EQ(read_file(scene_path), read_file(dir + "/b.orj"));
}
