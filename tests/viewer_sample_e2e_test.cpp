// The real viewer on the sample robot scene: the benchmark grid, the cameras
// chosen with the digit keys, and the lamps switched with L and P.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_support.h"

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t *at(int x, int y) const { return rgb.data() + ((size_t)y * width + x) * 3; }
};

static Image load_image(const std::string &path)
{
    Image image;
    EXPECT_TRUE(read_png_rgb(path.c_str(), &image.width, &image.height, &image.rgb)) << path;
    return image;
}

// The clear colour 0.1, 0.1, 0.5, which the fog also fades to.
static bool is_background(const uint8_t *p)
{
    return std::abs(p[0] - 25) <= 2 && std::abs(p[1] - 25) <= 2 && std::abs(p[2] - 127) <= 2;
}

struct Coverage {
    int pixels = 0;
    double centre_x = 0, centre_y = 0;
};

static Coverage cover(const Image &image, int x0, int y0, int x1, int y1)
{
    Coverage c;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++)
            if (!is_background(image.at(x, y))) {
                c.pixels++;
                c.centre_x += x;
                c.centre_y += y;
            }
    if (c.pixels) {
        c.centre_x /= c.pixels;
        c.centre_y /= c.pixels;
    }
    return c;
}

class SampleViewer : public testing::Test {
protected:
    void SetUp() override
    {
        dir = make_temp_dir("sample");
        setting.cwd = source_path("");
    }
    std::vector<std::string> run_args(std::vector<std::string> extra)
    {
        std::vector<std::string> argv = {binary_path("app/viewer")};
        argv.insert(argv.end(), extra.begin(), extra.end());
        return argv;
    }
    std::string dir;
    ProgramSetting setting;
};

TEST_F(SampleViewer, StartsInTheGridAndRaisesTheCopyCount)
{
    std::string json = dir + "/grid.json";
    std::string shot = dir + "/grid.png";
    ProgramResult result =
        run_program(run_args({"--seconds", "4", "--report-json", json, "--screenshot", shot}), 120, setting);
    ASSERT_EQ(result.status, 0) << result.err;
    nlohmann::json figures = nlohmann::json::parse(read_file(json));
    int polygon_count = figures["polygon_count"];
    EXPECT_GE(polygon_count, 1000);
    EXPECT_GT(figures["copies"].get<int>(), 1) << "a few seconds should fit more than one copy a pass";
    EXPECT_GT(figures["polygons"].get<long long>(), polygon_count);
    EXPECT_EQ(figures["polygons_per_second"].get<double>(), 25.0 * figures["polygons"].get<double>());

    // The default view is 1000 units away in dense fog: only the clear colour shows.
    Image image = load_image(shot);
    EXPECT_EQ(cover(image, 0, 0, image.width, image.height).pixels, 0);
}

TEST_F(SampleViewer, EveryCameraShowsTheRobot)
{
    for (int camera : {0, 1, 2, 3, 5}) {
        std::string shot = dir + "/camera" + std::to_string(camera) + ".png";
        ProgramResult result = run_program(
            run_args({"--camera", std::to_string(camera), "--passes", "20", "--screenshot", shot}), 120, setting);
        ASSERT_EQ(result.status, 0) << result.err;
        Image image = load_image(shot);
        Coverage all = cover(image, 0, 0, image.width, image.height);
        EXPECT_GT(all.pixels, image.width * image.height / 20) << "camera " << camera << " shows too little";
        EXPECT_GT(all.centre_x, image.width / 4.0) << "camera " << camera;
        EXPECT_LT(all.centre_x, image.width * 3 / 4.0) << "camera " << camera;
    }
}

TEST_F(SampleViewer, HoldingTwoShowsTheRobotInTheMiddleThird)
{
    std::string shot = dir + "/held2.png";
    ProgramRun run = start_program(run_args({"--seconds", "6", "--screenshot", shot, "--progress"}), dir, setting);
    ASSERT_TRUE(wait_for_window(30));
    ASSERT_TRUE(wait_until_playing(run, 60)) << read_file(run.stderr_path);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_EQ(run_shell("xdotool keydown 2; sleep 0.5; xdotool keyup 2"), 0);
    ASSERT_EQ(wait_program(run, 60), 0) << read_file(run.stdout_path) << read_file(run.stderr_path);

    Image image = load_image(shot);
    int third_w = image.width / 3, third_h = image.height / 3;
    Coverage middle = cover(image, third_w, third_h, 2 * third_w, 2 * third_h);
    EXPECT_GT(middle.pixels, third_w * third_h / 8) << "the robot should stand in the middle third";
    // Above the floor, the picture is the robot: centred across.
    Coverage upper = cover(image, 0, 0, image.width, 2 * third_h);
    EXPECT_GT(upper.centre_x, third_w);
    EXPECT_LT(upper.centre_x, 2 * third_w);
}

// Presses keys while a run of a fixed number of passes goes on, so that every
// run ends on the same animation frame; release runs once the program has
// ended. The last key stays held to the end: a loaded machine may not draw a
// pass, and so not look at the keys, for longer than any short press.
static Image run_with_keys(SampleViewer *, const std::vector<std::string> &argv, const std::string &dir,
                           const ProgramSetting &setting, const std::string &keys, const std::string &release,
                           const std::string &shot)
{
    ProgramRun run = start_program(argv, dir, setting);
    if (!keys.empty()) {
        EXPECT_TRUE(wait_for_window(30));
        EXPECT_TRUE(wait_until_playing(run, 60)) << read_file(run.stderr_path);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(run_shell(keys), 0);
    }
    EXPECT_EQ(wait_program(run, 90), 0) << read_file(run.stderr_path);
    if (!release.empty()) {
        EXPECT_EQ(run_shell(release), 0);
    }
    return load_image(shot);
}

static int differing_pixels(const Image &a, const Image &b)
{
    int count = 0;
    for (size_t i = 0; i + 2 < a.rgb.size() && i + 2 < b.rgb.size(); i += 3)
        if (std::abs(a.rgb[i] - b.rgb[i]) + std::abs(a.rgb[i + 1] - b.rgb[i + 1]) +
                std::abs(a.rgb[i + 2] - b.rgb[i + 2]) >
            12)
            count++;
    return count;
}

TEST_F(SampleViewer, LampsSwitchOffWithPAndBackOnWithL)
{
    auto argv = [&](const std::string &shot) {
        return run_args({"--camera", "2", "--passes", "125", "--screenshot", shot, "--progress"});
    };
    Image lit = run_with_keys(this, argv(dir + "/lit.png"), dir, setting, "", "", dir + "/lit.png");
    Image dark = run_with_keys(this, argv(dir + "/dark.png"), dir, setting, "xdotool keydown p", "xdotool keyup p",
                               dir + "/dark.png");
    Image relit = run_with_keys(this, argv(dir + "/relit.png"), dir, setting,
                                "xdotool keydown p; sleep 0.5; xdotool keyup p; sleep 0.5; xdotool keydown l",
                                "xdotool keyup l", dir + "/relit.png");
    Coverage robot = cover(lit, 0, 0, lit.width, lit.height);
    EXPECT_GT(differing_pixels(lit, dark), robot.pixels / 10) << "P should visibly change the picture";
    EXPECT_LT(differing_pixels(lit, relit), robot.pixels / 100) << "L should bring the lamps back";
}
