// The sprite demo and the anim tool, run as programs.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <string>
#include <vector>

#include <gif_lib.h>
#include <nlohmann/json.hpp>
#include <png.h>

#include "tests/support/test_support.h"

namespace {

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

struct Colour {
    int r, g, b;
};

const Colour BACKGROUND = {38, 51, 89};  // the demo's clear colour (0.15, 0.2, 0.35)
const Colour RED = {220, 40, 40}, GREEN = {40, 200, 60}, BLUE = {50, 80, 230}, YELLOW = {240, 220, 40};

Colour pixel(const Image &image, int x, int y)
{
    const uint8_t *p = &image.rgb[((size_t)y * image.width + x) * 3];
    return {p[0], p[1], p[2]};
}

::testing::AssertionResult colour_near(const Image &image, int x, int y, Colour expected, int tolerance)
{
    Colour c = pixel(image, x, y);
    if (abs(c.r - expected.r) <= tolerance && abs(c.g - expected.g) <= tolerance && abs(c.b - expected.b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << c.r << " " << c.g << " " << c.b
                                         << ", expected " << expected.r << " " << expected.g << " " << expected.b;
}

std::vector<std::string> demo_args(std::vector<std::string> extra)
{
    std::vector<std::string> argv = {binary_path("app/sprite_demo"), "--animation",
                                     source_path("data/sample_sprite.anim"), "--strip",
                                     source_path("data/sample_sprite.jpg")};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return argv;
}

Image read_shot(const std::string &path)
{
    Image image;
    EXPECT_TRUE(read_png_rgb(path.c_str(), &image.width, &image.height, &image.rgb)) << path;
    return image;
}

// The upright sprite spans x -16..-6, y 4..14 of the 40-unit view: 16 pixels
// across and 12 down per unit, so its 64 x 64 frame lies at pixels 64..224,
// rows 72..192 (2.5 pixels per texel across, 1.875 down). The mirrored one
// spans x 6..16, pixels 416..576, on the same rows.
int upright_x(double u) { return (int)(64 + 2.5 * (u + 0.5)); }
int mirrored_x(double u) { return (int)(576 - 2.5 * (u + 0.5)); }
int sprite_row(double v) { return (int)(72 + 1.875 * (v + 0.5)); }

// Whether the program has ended, leaving its status to wait_program.
bool program_ended(const ProgramRun &run)
{
    siginfo_t info = {};
    return waitid(P_PID, (id_t)run.pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == run.pid;
}

}  // namespace

TEST(SpriteDemo, ScreenshotShowsTransparencyAndTheMirroredSprite)
{
    std::string dir = make_temp_dir("sprite-demo");
    std::string shot = dir + "/shot.png";
    ProgramResult result = run_program(demo_args({"--passes", "3", "--screenshot", shot}), 60);
    ASSERT_EQ(result.status, 0) << result.err;
    Image image = read_shot(shot);
    ASSERT_EQ(image.width, 640);
    ASSERT_EQ(image.height, 480);

    // Transparent texels (the frame's corners, outside the disc) show the background exactly.
    for (int u : {1, 62})
        for (int v : {1, 62}) {
            EXPECT_TRUE(colour_near(image, upright_x(u), sprite_row(v), BACKGROUND, 2));
            EXPECT_TRUE(colour_near(image, mirrored_x(u), sprite_row(v), BACKGROUND, 2));
        }
    EXPECT_TRUE(colour_near(image, 320, 130, BACKGROUND, 2));

    // The disc's quarters, well inside each: red top left, green top right,
    // blue bottom left, yellow bottom right; the mirrored sprite swaps left and right.
    const int tolerance = 40;
    struct Quarter {
        int u, v;
        Colour colour;
    } quarters[] = {{23, 23, RED}, {41, 23, GREEN}, {23, 41, BLUE}, {41, 41, YELLOW}};
    for (const Quarter &q : quarters) {
        EXPECT_TRUE(colour_near(image, upright_x(q.u), sprite_row(q.v), q.colour, tolerance));
        EXPECT_TRUE(colour_near(image, mirrored_x(q.u), sprite_row(q.v), q.colour, tolerance));
    }
    // So the mirrored sprite's left side is green where the upright one's is red.
    EXPECT_TRUE(colour_near(image, mirrored_x(41), sprite_row(23), GREEN, tolerance));
    EXPECT_LT(mirrored_x(41), mirrored_x(23));
}

TEST(SpriteDemo, ArrowKeyMovesTheUprightSprite)
{
    std::string dir = make_temp_dir("sprite-demo-keys");
    std::string shot = dir + "/moved.png";
    // The sprite moves 4 pixels a pass while Right is down: 60 passes keep it
    // clear of the mirrored sprite however early the key arrives.
    ProgramRun run = start_program(demo_args({"--passes", "60", "--screenshot", shot}), dir);
    ASSERT_TRUE(wait_for_window(30));
    // Held until the demo ends, the press sent again every 0.3 s: on a loaded
    // machine one press and its release can reach the demo together.
    for (double end = now_seconds() + 60; !program_ended(run) && now_seconds() < end;)
        ASSERT_EQ(run_shell("xdotool keydown Right; sleep 0.3"), 0);
    run_shell("xdotool keyup Right");
    ASSERT_EQ(wait_program(run, 60), 0) << read_file(run.stderr_path);
    Image image = read_shot(shot);
    // The red quarter has left its first place, which now shows the background.
    EXPECT_TRUE(colour_near(image, upright_x(23), sprite_row(23), BACKGROUND, 2));
    bool red_further_right = false;
    for (int x = upright_x(23); x < 400 && !red_further_right; x++)
        red_further_right = colour_near(image, x, sprite_row(23), RED, 40);
    EXPECT_TRUE(red_further_right);
}

TEST(SpriteDemo, EscapeEndsIt)
{
    std::string dir = make_temp_dir("sprite-demo-esc");
    ProgramRun run = start_program(demo_args({"--seconds", "120"}), dir);
    // Keys are followed from before the window opens; a press and release
    // at once is far shorter than a pass.
    ASSERT_TRUE(wait_for_window(30));
    ASSERT_EQ(run_shell("xdotool key --delay 0 Escape"), 0);
    double pressed = now_seconds();
    EXPECT_EQ(wait_program(run, 30), 0) << read_file(run.stderr_path);
    EXPECT_LT(now_seconds() - pressed, 10.0);
}

TEST(SpriteDemo, MissingAnimationIsAFailure)
{
    std::string dir = make_temp_dir("sprite-demo-missing");
    std::vector<std::string> argv = {binary_path("app/sprite_demo"), "--animation", dir + "/none.anim", "--passes",
                                     "1"};
    ProgramResult result = run_program(argv, 60);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("No se pudo abrir el archivo: " + dir + "/none.anim"), std::string::npos) << result.err;
}

TEST(SpriteDemo, OptionsAndUsage)
{
    ProgramResult help = run_program({binary_path("app/sprite_demo"), "--help"}, 30);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: sprite_demo"), std::string::npos);
    for (std::vector<std::string> bad :
         {std::vector<std::string>{"--frobnicate"}, {"--passes", "x"}, {"--seconds"}, {"--screenshot"}}) {
        std::vector<std::string> argv = {binary_path("app/sprite_demo")};
        argv.insert(argv.end(), bad.begin(), bad.end());
        ProgramResult result = run_program(argv, 30);
        EXPECT_EQ(result.status, 2) << bad[0];
        EXPECT_NE(result.err.find("usage: sprite_demo"), std::string::npos) << bad[0];
    }
}

TEST(AnimTool, BuildRemakesTheSampleAnimation)
{
    // The generator's frames packed by anim build give the committed sample animation.
    std::string dir = make_temp_dir("anim-build");
    ProgramResult made =
        run_program({binary_path("samples/make_sample_animation"), dir, dir + "/made.anim", dir + "/made.jpg"}, 60);
    ASSERT_EQ(made.status, 0) << made.err;
    // Options take "--name=value" as well as "--name value" (128 is the default).
    ProgramResult built = run_program({binary_path("app/anim"), "build", "--alpha-threshold=128",
                                       dir + "/sample_sprite0001", dir + "/a.anim", dir + "/a.jpg"},
                                      60);
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_EQ(read_file(dir + "/a.anim"), read_file(source_path("data/sample_sprite.anim")));
    EXPECT_EQ(read_file(dir + "/a.anim"), read_file(dir + "/made.anim"));
    EXPECT_EQ(read_file(dir + "/a.jpg"), read_file(dir + "/made.jpg"));

    ProgramResult missing =
        run_program({binary_path("app/anim"), "build", dir + "/none0001", dir + "/b.anim", dir + "/b.jpg"}, 60);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find(dir + "/none0001"), std::string::npos) << missing.err;
    EXPECT_FALSE(file_exists_at(dir + "/b.anim"));

    EXPECT_EQ(run_program({binary_path("app/anim"), "build", dir + "/sample_sprite0001"}, 30).status, 2);
    EXPECT_EQ(run_program({binary_path("app/anim")}, 30).status, 2);
    EXPECT_EQ(run_program({binary_path("app/anim"), "explode"}, 30).status, 2);
}

TEST(AnimTool, DumpShowsTheRecordsAndNamesTheBrokenFrame)
{
    ProgramResult dump = run_program({binary_path("app/anim"), "dump", source_path("data/sample_sprite.anim")}, 30);
    ASSERT_EQ(dump.status, 0) << dump.err;
    nlohmann::json json = nlohmann::json::parse(dump.out);
    ASSERT_EQ(json["frame_count"], 8);
    ASSERT_EQ(json["frames"].size(), 8u);
    for (const nlohmann::json &frame : json["frames"]) {
        EXPECT_EQ(frame["width"], 64);
        EXPECT_EQ(frame["height"], 64);
        ASSERT_EQ(frame["runs"].size(), 64u);
        EXPECT_EQ(frame["runs"][0], nlohmann::json::array({64}));  // the top row is clear of the disc
        for (const nlohmann::json &row : frame["runs"]) {
            int sum = 0;
            for (const nlohmann::json &run : row) sum += run.get<int>();
            EXPECT_EQ(sum, 64);
        }
        EXPECT_GT(frame["opaque_pixels"].get<int>(), 0);
    }

    std::string dir = make_temp_dir("anim-dump");
    std::string bytes = read_file(source_path("data/sample_sprite.anim"));
    write_file(dir + "/cut.anim", bytes.substr(0, bytes.size() - 10));
    ProgramResult broken = run_program({binary_path("app/anim"), "dump", dir + "/cut.anim"}, 30);
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.err.find(dir + "/cut.anim: frame 7: the file ends"), std::string::npos) << broken.err;
    EXPECT_EQ(run_program({binary_path("app/anim"), "dump", dir + "/none.anim"}, 30).status, 1);
    // A FIFO is refused at once rather than waited on; so is a directory.
    ASSERT_EQ(mkfifo((dir + "/pipe.anim").c_str(), 0600), 0);
    for (const char *name : {"/pipe.anim", ""}) {
        ProgramResult refused = run_program({binary_path("app/anim"), "dump", dir + name}, 30);
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.err.find(dir + name + ": "), std::string::npos) << refused.err;
    }
    // Output that cannot be written is a failure.
    EXPECT_NE(run_shell(binary_path("app/anim") + " dump " + source_path("data/sample_sprite.anim") + " > /dev/full"),
              0);
    EXPECT_EQ(run_program({binary_path("app/anim"), "dump"}, 30).status, 2);
}

namespace {

// Four 64 x 64 PNG frames: the left half transparent (black, alpha 0), the
// right half red, opaque.
void write_half_frames(const std::string &dir)
{
    std::vector<uint8_t> rgba(64 * 64 * 4, 0);
    for (int y = 0; y < 64; y++)
        for (int x = 32; x < 64; x++) {
            uint8_t *p = &rgba[(size_t)(y * 64 + x) * 4];
            p[0] = (uint8_t)RED.r, p[1] = (uint8_t)RED.g, p[2] = (uint8_t)RED.b, p[3] = 255;
        }
    for (int n = 1; n <= 4; n++) {
        png_image image = {};
        image.version = PNG_IMAGE_VERSION;
        image.width = image.height = 64;
        image.format = PNG_FORMAT_RGBA;
        std::string path = dir + "/half_" + std::to_string(n) + ".png";
        ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr)) << path;
    }
}

}  // namespace

TEST(AnimTool, PngFramesBuildPreviewAndShowInTheDemo)
{
    std::string dir = make_temp_dir("anim-png");
    write_half_frames(dir);
    std::string anim = binary_path("app/anim");
    // The first frame by its name with extension, then by a pattern; a name with no number is refused.
    ProgramResult built = run_program({anim, "build", dir + "/half_1.png", dir + "/a.anim", dir + "/a.jpg"}, 60);
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_NE(built.out.find("4 frames of 64x64, 50% opaque"), std::string::npos) << built.out;
    built = run_program({anim, "build", dir + "/half_%d.png", dir + "/b.anim", dir + "/b.jpg", "--strip-tga"}, 60);
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_EQ(read_file(dir + "/b.anim"), read_file(dir + "/a.anim"));
    EXPECT_TRUE(file_exists_at(dir + "/b.tga"));
    ProgramResult refused = run_program({anim, "build", dir + "/half.png", dir + "/c.anim", dir + "/c.jpg"}, 60);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find(dir + "/half.png: names no numbered frame sequence"), std::string::npos) << refused.err;
    EXPECT_FALSE(file_exists_at(dir + "/c.anim"));

    // Drawn by the demo: the transparent half shows the background, the other half red.
    std::string shot = dir + "/shot.png";
    ProgramResult demo = run_program({binary_path("app/sprite_demo"), "--animation", dir + "/a.anim", "--strip",
                                      dir + "/a.jpg", "--passes", "3", "--screenshot", shot},
                                     60);
    ASSERT_EQ(demo.status, 0) << demo.err;
    Image image = read_shot(shot);
    for (int v : {4, 32, 60}) {
        EXPECT_TRUE(colour_near(image, upright_x(10), sprite_row(v), BACKGROUND, 2));
        EXPECT_TRUE(colour_near(image, upright_x(50), sprite_row(v), RED, 24));
        EXPECT_TRUE(colour_near(image, mirrored_x(10), sprite_row(v), BACKGROUND, 2));
        EXPECT_TRUE(colour_near(image, mirrored_x(50), sprite_row(v), RED, 24));
    }

    // Previews: a contact sheet of 2 x 2 cells over a checkerboard, and a looping GIF.
    ProgramResult sheet = run_program({anim, "preview", dir + "/a.anim", dir + "/a.jpg", "-o", dir + "/p.png"}, 60);
    ASSERT_EQ(sheet.status, 0) << sheet.err;
    Image preview = read_shot(dir + "/p.png");
    EXPECT_EQ(preview.width, 2 + 2 * 66);
    EXPECT_TRUE(colour_near(preview, 2 + 66 + 1, 2 + 1, {204, 204, 204}, 0));  // frame 1, a light square
    EXPECT_TRUE(colour_near(preview, 2 + 66 + 9, 2 + 1, {153, 153, 153}, 0));
    EXPECT_TRUE(colour_near(preview, 2 + 66 + 50, 2 + 66 + 30, RED, 24));
    // The strip's kind is told by its content: the JPEG strip named .tga previews the same.
    write_file(dir + "/jpeg.tga", read_file(dir + "/a.jpg"));
    ProgramResult renamed =
        run_program({anim, "preview", dir + "/a.anim", dir + "/jpeg.tga", "-o", dir + "/q.png"}, 60);
    ASSERT_EQ(renamed.status, 0) << renamed.err;
    EXPECT_EQ(read_file(dir + "/q.png"), read_file(dir + "/p.png"));
    ProgramResult gif = run_program({anim, "preview", dir + "/b.anim", dir + "/b.tga", "-o", dir + "/p.gif"}, 60);
    ASSERT_EQ(gif.status, 0) << gif.err;
    int code = 0;
    GifFileType *file = DGifOpenFileName((dir + "/p.gif").c_str(), &code);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(DGifSlurp(file), GIF_OK);
    ASSERT_EQ(file->ImageCount, 4);
    GraphicsControlBlock control;
    ASSERT_EQ(DGifSavedExtensionToGCB(file, 3, &control), GIF_OK);
    EXPECT_EQ(control.DelayTime, 4);
    const GifByteType *pixels = file->SavedImages[3].RasterBits;
    const GifColorType &red = file->SColorMap->Colors[pixels[20 * 64 + 50]];
    EXPECT_EQ(pixels[20 * 64 + 10], control.TransparentColor);
    EXPECT_TRUE(abs(red.Red - RED.r) <= 8 && abs(red.Green - RED.g) <= 8 && abs(red.Blue - RED.b) <= 8);
    DGifCloseFile(file, &code);
    // A preview written over its own strip is refused.
    EXPECT_EQ(run_program({anim, "preview", dir + "/a.anim", dir + "/a.jpg", "-o", dir + "/a.jpg"}, 60).status, 1);
}
