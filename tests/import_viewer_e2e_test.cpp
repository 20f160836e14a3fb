// Imported models played by the real viewer: it must find the model's camera
// under the viewer's camera keys and play every frame of the animation.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <dirent.h>
#include <signal.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "app/orj_import_command.h"

using namespace orj;

static int run_import(std::vector<std::string> args)
{
    args.insert(args.begin(), "import");
    std::vector<char *> argv;
    for (std::string &arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    return orj_import_main((int)args.size(), argv.data());
}

// Imports model, plays it for passes frames through camera key 4 and returns
// the viewer's JSON report; its last frame goes to *screenshot when given.
static nlohmann::json play_imported(const std::string &model, const std::vector<std::string> &import_options,
                                    int passes, std::string *screenshot = nullptr)
{
    std::string dir = make_temp_dir("import_viewer");
    std::string scene = dir + "/model.orj", texture = dir + "/model.tga", json = dir + "/report.json";
    if (screenshot) *screenshot = dir + "/last.png";
    std::vector<std::string> args = {model, "-o", scene, "--texture-out", texture};
    args.insert(args.end(), import_options.begin(), import_options.end());
    EXPECT_EQ(run_import(args), 0);
    std::vector<std::string> viewer = {
        binary_path("app/viewer"), "--scene",       scene, "--texture", texture, "--camera", "4", "--passes",
        std::to_string(passes),    "--report-json", json};
    if (screenshot) viewer.insert(viewer.end(), {"--screenshot", *screenshot});
    ProgramResult result = run_program(viewer, 120);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err.find("No cargo"), std::string::npos) << result.err;
    if (!file_exists_at(json)) return nlohmann::json::object();
    return nlohmann::json::parse(read_file(json));
}

TEST(ImportViewer, DuckPlaysThroughItsCamera)
{
    std::string model = "/usr/share/assimp/models/Collada/duck.dae";
    if (!file_exists_at(model)) GTEST_SKIP() << "the asset importer's test models are missing";
    std::string shot;
    nlohmann::json report = play_imported(model, {}, 5, &shot);
    EXPECT_EQ(report["copies"], 1);  // the camera was found: one copy, no benchmark grid
    EXPECT_EQ(report["polygon_count"], 4212);
    EXPECT_EQ(report["frames"], 5);

    // The yellow duck in the middle of the clear colour (0.1, 0.1, 0.5).
    int width = 0, height = 0, covered = 0, yellow = 0, middle = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(read_png_rgb(shot.c_str(), &width, &height, &rgb));
    ASSERT_EQ(width, 640);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            const uint8_t *p = &rgb[((size_t)y * width + x) * 3];
            if (std::abs(p[0] - 25) <= 3 && std::abs(p[1] - 25) <= 3 && std::abs(p[2] - 127) <= 3) continue;
            covered++;
            yellow += p[0] > 120 && p[1] > 90 && p[2] < p[0] - 60;  // lit or in its own shade
            middle += x > 160 && x < 480 && y > 120 && y < 360;
        }
    EXPECT_GT(covered, width * height / 40);
    EXPECT_LT(covered, width * height / 2);
    EXPECT_GT(yellow, covered / 2);
    EXPECT_EQ(middle, covered);
}

TEST(ImportViewer, AnimatedColladaPlaysItsWholeClipThroughAnAddedCamera)
{
    std::string model = "/usr/share/assimp/models/Collada/anims_with_full_rotations_between_keys.DAE";
    if (!file_exists_at(model)) GTEST_SKIP() << "the asset importer's test models are missing";
    // 12 seconds at 5 frames a second: 61 frames; 70 passes wrap around the clip.
    nlohmann::json report = play_imported(model, {"--scale", "0.1", "--fps", "5", "--add-camera"}, 70);
    EXPECT_EQ(report["copies"], 1);
    EXPECT_EQ(report["polygon_count"], 64 * 6 * 2);
    EXPECT_EQ(report["frames"], 70);
}

TEST(ImportViewer, AnimatedCameraOfA3dsFilePlays)
{
    std::string model = "/usr/share/assimp/models/3DS/CameraRollAnim.3ds";
    if (!file_exists_at(model)) GTEST_SKIP() << "the asset importer's test models are missing";
    nlohmann::json report = play_imported(model, {"--scale", "0.05"}, 130);
    EXPECT_EQ(report["copies"], 1);
    EXPECT_EQ(report["polygon_count"], 12);
    EXPECT_EQ(report["frames"], 130);
}

// Entries of dir whose names start with prefix.
static int entries_named(const std::string &dir, const std::string &prefix)
{
    int found = 0;
    DIR *folder = opendir(dir.c_str());
    while (const struct dirent *entry = folder ? readdir(folder) : nullptr)
        found += std::string(entry->d_name).compare(0, prefix.size(), prefix) == 0;
    if (folder) closedir(folder);
    return found;
}

TEST(ImportViewer, ViewShowsAModelOnTheOrbitCameraAndLeavesNothingBehind)
{
    std::string box = "/usr/share/assimp/models/FBX/box.fbx", cloud = "/usr/share/assimp/models/PLY/pond.0.ply";
    if (!file_exists_at(box) || !file_exists_at(cloud)) GTEST_SKIP() << "the asset importer's test models are missing";
    std::string dir = make_temp_dir("view"), shot = dir + "/shot.png";
    const char *saved = getenv("TMPDIR");
    std::string kept = saved ? saved : "";
    setenv("TMPDIR", dir.c_str(), 1);  // where orj view makes its folder
    std::string orj = binary_path("app/orj");

    ProgramResult shown = run_program({orj, "view", box, "--passes", "3", "--screenshot", shot, "--quiet"}, 120);
    EXPECT_EQ(shown.status, 0) << shown.err;
    int width = 0, height = 0, covered = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(read_png_rgb(shot.c_str(), &width, &height, &rgb));
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        covered += !(std::abs(rgb[i] - 25) <= 3 && std::abs(rgb[i + 1] - 25) <= 3 && std::abs(rgb[i + 2] - 127) <= 3);
    EXPECT_GT(covered, width * height / 5);  // the orbit camera's picture of the cube

    ProgramResult refused = run_program({orj, "view", cloud, "--passes", "3"}, 120);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("nothing to draw"), std::string::npos) << refused.err;

    // Ended by a signal while the viewer runs: passed on, the folder removed, orj ends by it too.
    ProgramRun run = start_program({orj, "view", box, "--seconds", "60", "--progress"}, dir);
    ASSERT_TRUE(wait_until_playing(run, 60)) << read_file(run.stderr_path);
    kill(run.pid, SIGTERM);
    EXPECT_EQ(wait_program(run, 60), 128 + SIGTERM) << read_file(run.stderr_path);

    EXPECT_EQ(entries_named(dir, "orj-view-"), 0);
    if (saved) setenv("TMPDIR", kept.c_str(), 1);
    else unsetenv("TMPDIR");
}
