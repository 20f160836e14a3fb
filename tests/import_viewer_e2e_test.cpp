// Imported models played by the real viewer: it must find the model's camera
// under the viewer's camera keys and play every frame of the animation.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

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
            yellow += p[0] > 150 && p[1] > 100 && p[2] < 100;
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
