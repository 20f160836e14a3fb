// The viewer's orbit camera, driven through the keyboard: from every turned
// position the scene's middle stays at the picture's middle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_support.h"

// A ball of radius 1 whose middle stands at (6, 3, -4), far from the origin:
// seen from anywhere its outline is a circle round its middle.
static std::string ball_scene()
{
    const int rings = 12, segments = 16;
    std::string text = " 1\n 1\n ball\n Mesh\n " + std::to_string((rings + 1) * segments) + "\n " +
                       std::to_string(rings * segments) + "\n";
    char line[200];
    for (int r = 0; r <= rings; r++)
        for (int s = 0; s < segments; s++) {
            double a = M_PI * r / rings, b = 2 * M_PI * s / segments;
            double x = std::sin(a) * std::cos(b), y = std::cos(a), z = std::sin(a) * std::sin(b);
            snprintf(line, sizeof line, "  %f %f %f\n  %f %f %f\n", x, y, z, x, y, z);
            text += line;
        }
    for (int r = 0; r < rings; r++)
        for (int s = 0; s < segments; s++) {
            int v00 = r * segments + s + 1, v01 = r * segments + (s + 1) % segments + 1;
            snprintf(line, sizeof line, "4\n  %d %d %d %d\n", v00, v01, v01 + segments, v00 + segments);
            text += line;
        }
    for (int f = 0; f < rings * segments; f++) text += "  0 0 1 0 1 1 0 1\n";
    text += "  6 3 -4 0 0 0 1 1 1\n None\n";
    return text;
}

static std::string frame_path(const std::string &dir, int n)
{
    char name[40];
    snprintf(name, sizeof name, "/f%05d.png", n);
    return dir + name;
}

// Frames recorded so far (each is complete once the next one exists).
static int recorded(const std::string &dir)
{
    int n = 0;
    while (file_exists_at(frame_path(dir, n))) n++;
    return n;
}

static bool wait_for_frames(const std::string &dir, int count, double timeout_seconds)
{
    double end = now_seconds() + timeout_seconds;
    while (recorded(dir) < count) {
        if (now_seconds() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));  // polling, not spinning against the viewer
    }
    return true;
}

struct Centroid {
    double x = 0, y = 0;
    int covered = 0;
};

static Centroid centroid_of(const std::string &path, std::vector<uint8_t> *rgb)
{
    Centroid c;
    int width = 0, height = 0;
    EXPECT_TRUE(read_png_rgb(path.c_str(), &width, &height, rgb)) << path;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            const uint8_t *p = &(*rgb)[((size_t)y * width + x) * 3];
            if (std::abs(p[0] - 25) <= 3 && std::abs(p[1] - 25) <= 3 && std::abs(p[2] - 127) <= 3) continue;
            c.x += x;
            c.y += y;
            c.covered++;
        }
    if (c.covered) c.x /= c.covered, c.y /= c.covered;
    return c;
}

TEST(OrbitCamera, TurnedByTheKeysItKeepsTheScenesMiddleInTheMiddle)
{
    std::string dir = make_temp_dir("orbit");
    write_file(dir + "/ball.orj", ball_scene());
    ProgramRun run = start_program({binary_path("app/viewer"), "--scene", dir + "/ball.orj", "--texture",
                                    source_path("data/texturarobot2.tga"), "--camera", "6", "--seconds", "120",
                                    "--record", dir + "/f%05d.png"},
                                   dir);
    ASSERT_TRUE(wait_for_window(30));
    ASSERT_TRUE(wait_for_frames(dir, 2, 60));

    // Each hold lasts until the viewer has drawn a few passes with the key down.
    std::vector<std::string> pictures = {frame_path(dir, 0)};
    for (const char *keys : {"Right", "Up", "Left Down", "KP_Add"}) {
        std::string down = "xdotool", up = "xdotool";
        for (const char *k = keys; *k;) {
            std::string name;
            while (*k && *k != ' ') name += *k++;
            while (*k == ' ') k++;
            down += " keydown " + name;
            up += " keyup " + name;
        }
        int before = recorded(dir);
        ASSERT_EQ(run_shell(down), 0);
        bool drawn = wait_for_frames(dir, before + 8, 60);
        ASSERT_EQ(run_shell(up), 0);
        ASSERT_TRUE(drawn);
        int after = recorded(dir);
        ASSERT_TRUE(wait_for_frames(dir, after + 2, 60));
        pictures.push_back(frame_path(dir, after));
    }
    ASSERT_EQ(run_shell("xdotool keydown a; sleep 0.3; xdotool keyup a"), 0);
    EXPECT_EQ(wait_program(run, 60), 0) << read_file(run.stderr_path);

    std::vector<uint8_t> previous, rgb;
    for (const std::string &picture : pictures) {
        SCOPED_TRACE(picture);
        Centroid c = centroid_of(picture, &rgb);
        EXPECT_GT(c.covered, 640 * 480 / 100);
        EXPECT_NEAR(c.x, 320.0, 4.0);
        EXPECT_NEAR(c.y, 240.0, 4.0);
        // Each position is a turn away from the one before.
        if (!previous.empty()) {
            int differing = 0;
            for (size_t i = 0; i < rgb.size(); i++) differing += std::abs(rgb[i] - previous[i]) > 24;
            EXPECT_GT(differing, 2000);
        }
        previous = rgb;
    }
}
