// Frame records from bitmaps, the animation loaders and the builder, inside
// the engine's OpenGL window (32-bit bitmaps hold red, green, blue, alpha).
// gtest first: the X headers behind alleggl.h define None and Bool.
#include <gtest/gtest.h>

#include <allegro.h>
#include <alleggl.h>
#include <jpgalleg.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gl/sprites/animation_bitmap.h"
#include "gl/sprites/animation_builder.h"
#include "core/sprites/animation_file.h"
#include "gl/sprites/animation_loader.h"
#include "core/sprites/frame_runs.h"
#include "tests/support/test_support.h"

namespace {

struct Rgba {
    int r, g, b, a;
};

const Rgba MAGENTA = {255, 0, 255, 0};

// A 24-bit image (no alpha) drawn from a function of the pixel's place.
template <typename Paint>
BITMAP *make_image(int depth, int width, int height, Paint paint)
{
    BITMAP *bitmap = create_bitmap_ex(depth, width, height);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            Rgba c = paint(x, y);
            putpixel(bitmap, x, y, depth == 32 ? makeacol_depth(32, c.r, c.g, c.b, c.a) : makecol_depth(depth, c.r, c.g, c.b));
        }
    return bitmap;
}

template <typename Paint>
void save_image(const std::string &path, int depth, int width, int height, Paint paint)
{
    BITMAP *bitmap = make_image(depth, width, height, paint);
    ASSERT_EQ(save_tga(path.c_str(), bitmap, nullptr), 0) << path;
    destroy_bitmap(bitmap);
}

const uint8_t *pixel_bytes(BITMAP *bitmap, int x, int y)
{
    return bitmap->line[y] + 4 * x;
}

// Level 0 of a texture as bytes red, green, blue, alpha, top row first.
std::vector<uint8_t> texture_pixels(uint32_t texture, int *width, int *height)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, height);
    std::vector<uint8_t> pixels((size_t)*width * *height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

bool close_to(int value, int expected, int tolerance = 24)
{
    return value >= expected - tolerance && value <= expected + tolerance;
}

std::string frame_path(const std::string &dir, int number)
{
    char name[32];
    snprintf(name, sizeof name, "/shot%04d", number);
    return dir + name;
}

// Frame n of the builder tests: 16 x 8, magenta on the left quarter and on the
// bottom row, a colour of its own (red, green, blue...) elsewhere.
Rgba frame_colour(int n)
{
    const Rgba colours[] = {{230, 30, 30, 255}, {30, 200, 40, 255}, {40, 60, 230, 255}, {240, 220, 30, 255}};
    return colours[n % 4];
}

void save_builder_frame(const std::string &dir, int number, int width = 16, int height = 8)
{
    save_image(frame_path(dir, number), 24, width, height, [&](int x, int y) {
        return (x < width / 4 || y == height - 1) ? MAGENTA : frame_colour(number - 1);
    });
}

}  // namespace

TEST(FrameBitmap, MagentaOf24BitTgaIsTheMaskColour)
{
    std::string dir = make_temp_dir("sprites-mask");
    std::string path = dir + "/mask0001";
    save_image(path, 24, 4, 2, [](int x, int y) { return (y == 0 && (x == 0 || x == 3)) ? MAGENTA : Rgba{10, 20, 30, 0}; });
    BITMAP *loaded = load_tga(path.c_str(), nullptr);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(bitmap_color_depth(loaded), 32);
    EXPECT_EQ(getpixel(loaded, 0, 0), bitmap_mask_color(loaded));
    // The bytes are red, green, blue, alpha in memory.
    const uint8_t *ink = pixel_bytes(loaded, 1, 0);
    EXPECT_EQ(ink[0], 10);
    EXPECT_EQ(ink[1], 20);
    EXPECT_EQ(ink[2], 30);

    AnimationFrame frame = build_frame(loaded);
    EXPECT_EQ(frame.width, 4);
    EXPECT_EQ(frame.height, 2);
    EXPECT_EQ(frame.opaque_pixels, 2);
    ASSERT_EQ(frame.run_counts[0], 2);
    EXPECT_EQ(frame.runs[0][0], 1);
    EXPECT_EQ(frame.runs[0][1], 2);
    EXPECT_EQ(frame.runs[0][2], 1);
    ASSERT_EQ(frame.run_counts[1], 1);
    EXPECT_EQ(frame.runs[1][0], 0);
    EXPECT_EQ(frame.runs[1][1], 4);
    free_frame_runs(frame);
    destroy_bitmap(loaded);
}

TEST(FrameBitmap, MaskRebuildsAlphaPixelByPixel)
{
    BITMAP *bitmap = make_image(32, 6, 2, [](int x, int y) { return Rgba{10 * x, 100 + y, 7, 0}; });
    int32_t row0[] = {3, 2, 1}, row1[] = {0, 4, 2};
    int32_t counts[] = {2, 2};
    int32_t *runs[] = {row0, row1};
    AnimationFrame frame = {};
    frame.width = 6;
    frame.height = 2;
    frame.run_counts = counts;
    frame.runs = runs;
    apply_frame_mask(bitmap, frame);
    const bool transparent[2][6] = {{true, true, true, false, false, true}, {false, false, false, false, true, true}};
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 6; x++) {
            const uint8_t *p = pixel_bytes(bitmap, x, y);
            if (transparent[y][x]) {
                EXPECT_EQ(p[0], 128) << x << "," << y;
                EXPECT_EQ(p[1], 128) << x << "," << y;
                EXPECT_EQ(p[2], 128) << x << "," << y;
                EXPECT_EQ(p[3], 0) << x << "," << y;
            } else {
                EXPECT_EQ(p[0], 10 * x) << x << "," << y;
                EXPECT_EQ(p[1], 100 + y) << x << "," << y;
                EXPECT_EQ(p[2], 7) << x << "," << y;
                EXPECT_EQ(p[3], 255) << x << "," << y;
            }
        }
    destroy_bitmap(bitmap);
}

TEST(FrameFiles, CountingStopsAtTheFirstGap)
{
    std::string dir = make_temp_dir("sprites-count");
    for (int n : {1, 2, 3, 4, 5, 7}) write_file(frame_path(dir, n), "x");
    EXPECT_EQ(count_frame_files(frame_path(dir, 1).c_str()), 5);
    EXPECT_EQ(count_frame_files(frame_path(dir, 6).c_str()), 0);
    EXPECT_EQ(count_frame_files(frame_path(dir, 7).c_str()), 1);
    EXPECT_EQ(count_frame_files("001"), 0);
    // A directory of a frame's name is no frame.
    ASSERT_TRUE(std::filesystem::create_directory(frame_path(dir, 8)));
    EXPECT_EQ(count_frame_files(frame_path(dir, 8).c_str()), 0);
}

TEST(Builder, PacksTheNumberedFramesAndTheyLoadBack)
{
    std::string dir = make_temp_dir("sprites-build");
    for (int n = 1; n <= 3; n++) save_builder_frame(dir, n);
    save_builder_frame(dir, 5);  // after the gap: not used
    std::string animation_path = dir + "/out.anim", strip_path = dir + "/out.jpg";
    std::string error;
    ASSERT_EQ(build_animation_from_frames(frame_path(dir, 1).c_str(), animation_path.c_str(), strip_path.c_str(), &error),
              BUILD_OK)
        << error;
    EXPECT_FALSE(file_exists_at(animation_path + ".part"));
    EXPECT_FALSE(file_exists_at(strip_path + ".part"));

    // Header 3, then three records of 16 x 8: seven rows of 4 transparent and 12
    // opaque pixels, and a transparent bottom row.
    std::string bytes = read_file(animation_path);
    ASSERT_EQ(bytes.size(), 4u + 3 * (12 + 7 * 12 + 8));
    FILE *stream = fopen(animation_path.c_str(), "rb");
    Animation records = {};
    ASSERT_TRUE(read_animation_frames(stream, animation_path.c_str(), &records, &error)) << error;
    fclose(stream);
    ASSERT_EQ(records.frame_count, 3);
    for (int i = 0; i < 3; i++) {
        const AnimationFrame &frame = records.frames[i];
        EXPECT_EQ(frame.width, 16);
        EXPECT_EQ(frame.height, 8);
        EXPECT_EQ(frame.opaque_pixels, 0);
        EXPECT_EQ(frame.run_counts[0], 1);
        EXPECT_EQ(frame.runs[0][0], 4);
        EXPECT_EQ(frame.runs[0][1], 12);
        EXPECT_EQ(frame.run_counts[7], 0);
        EXPECT_EQ(frame.runs[7][0], 16);
    }
    destroy_animation(&records);

    BITMAP *strip = load_jpg(strip_path.c_str(), nullptr);
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->w, 16);
    EXPECT_EQ(strip->h, 24);
    destroy_bitmap(strip);

    // The JPEG loader: the strip's frames with their alpha rebuilt from the runs.
    Animation animation = {};
    ASSERT_TRUE(try_load_animation(animation_path.c_str(), strip_path.c_str(), STRIP_JPEG, &animation, &error)) << error;
    ASSERT_EQ(animation.frame_count, 3);
    EXPECT_EQ(animation.pixel_bytes, 3 * 16 * 8 * 4);
    for (int i = 0; i < 3; i++) {
        int width = 0, height = 0;
        std::vector<uint8_t> pixels = texture_pixels(animation.textures[i], &width, &height);
        ASSERT_EQ(width, 16);
        ASSERT_EQ(height, 8);
        Rgba colour = frame_colour(i);
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 16; x++) {
                const uint8_t *p = &pixels[(size_t)(y * 16 + x) * 4];
                if (x < 4 || y == 7) {
                    EXPECT_EQ(p[3], 0) << i << ": " << x << "," << y;
                    EXPECT_EQ(p[0], 128) << i << ": " << x << "," << y;
                } else {
                    EXPECT_EQ(p[3], 255) << i << ": " << x << "," << y;
                    // Away from the magenta edge the JPEG keeps the colour closely.
                    if (x >= 6 && y <= 5) {
                        EXPECT_TRUE(close_to(p[0], colour.r) && close_to(p[1], colour.g) && close_to(p[2], colour.b))
                            << i << ": " << x << "," << y << " is " << (int)p[0] << " " << (int)p[1] << " " << (int)p[2];
                    }
                }
            }
    }
    EXPECT_EQ(animation.bitmaps[0], nullptr);
    delete_animation_textures(&animation);
    destroy_animation(&animation);
}

TEST(Builder, NoFramesLeavesAnExistingAnimationAlone)
{
    std::string dir = make_temp_dir("sprites-none");
    std::string animation_path = dir + "/keep.anim", strip_path = dir + "/keep.jpg";
    write_file(animation_path, "old animation");
    write_file(strip_path, "old strip");
    std::string error;
    EXPECT_EQ(build_animation_from_frames(frame_path(dir, 1).c_str(), animation_path.c_str(), strip_path.c_str(), &error),
              BUILD_FAILED);
    EXPECT_NE(error.find(frame_path(dir, 1)), std::string::npos) << error;
    EXPECT_EQ(read_file(animation_path), "old animation");
    EXPECT_EQ(read_file(strip_path), "old strip");
    EXPECT_FALSE(file_exists_at(animation_path + ".part"));

    // A first frame name too short to count in is refused before anything is written.
    EXPECT_EQ(build_animation_from_frames("01", animation_path.c_str(), strip_path.c_str(), &error), BUILD_FAILED);
    EXPECT_FALSE(file_exists_at(animation_path + ".part"));
    EXPECT_EQ(read_file(animation_path), "old animation");

    // An animation file that cannot be written is told apart, so the caller can ask for another.
    EXPECT_EQ(build_animation_from_frames(frame_path(dir, 1).c_str(), (dir + "/missing/x.anim").c_str(),
                                          strip_path.c_str(), &error),
              BUILD_CANNOT_WRITE_ANIMATION);
}

TEST(Builder, FramesOfAnotherSizeOrUnreadableFailWithoutWriting)
{
    std::string dir = make_temp_dir("sprites-mismatch");
    save_builder_frame(dir, 1);
    save_builder_frame(dir, 2, 16, 9);
    std::string animation_path = dir + "/keep.anim", strip_path = dir + "/keep.jpg";
    write_file(animation_path, "old animation");
    std::string error;
    EXPECT_EQ(build_animation_from_frames(frame_path(dir, 1).c_str(), animation_path.c_str(), strip_path.c_str(), &error),
              BUILD_FAILED);
    EXPECT_NE(error.find(frame_path(dir, 2) + ": the frame is 16 x 9"), std::string::npos) << error;
    EXPECT_EQ(read_file(animation_path), "old animation");
    EXPECT_FALSE(file_exists_at(strip_path));
    EXPECT_FALSE(file_exists_at(animation_path + ".part"));

    // A counted frame that is not an image.
    write_file(frame_path(dir, 2), "not an image");
    EXPECT_EQ(build_animation_from_frames(frame_path(dir, 1).c_str(), animation_path.c_str(), strip_path.c_str(), &error),
              BUILD_FAILED);
    EXPECT_NE(error.find(frame_path(dir, 2) + ": cannot be read"), std::string::npos) << error;
    EXPECT_EQ(read_file(animation_path), "old animation");
}

TEST(Builder, StripTallerThanAJpegIsRefused)
{
    std::string dir = make_temp_dir("sprites-tall");
    save_builder_frame(dir, 1, 4, 33000);
    save_builder_frame(dir, 2, 4, 33000);
    std::string animation_path = dir + "/tall.anim", strip_path = dir + "/tall.jpg";
    std::string error;
    EXPECT_EQ(build_animation_from_frames(frame_path(dir, 1).c_str(), animation_path.c_str(), strip_path.c_str(), &error),
              BUILD_FAILED);
    EXPECT_NE(error.find("65535"), std::string::npos) << error;
    EXPECT_FALSE(file_exists_at(animation_path));
    EXPECT_FALSE(file_exists_at(strip_path));
}

TEST(Builder, UnwritableStripFailsAndKeepsTheAnimation)
{
    std::string dir = make_temp_dir("sprites-nostrip");
    save_builder_frame(dir, 1);
    std::string animation_path = dir + "/keep.anim";
    write_file(animation_path, "old animation");
    std::string error;
    EXPECT_EQ(build_animation_from_frames(frame_path(dir, 1).c_str(), animation_path.c_str(),
                                          (dir + "/missing/strip.jpg").c_str(), &error),
              BUILD_FAILED);
    EXPECT_NE(error.find("missing/strip.jpg"), std::string::npos) << error;
    EXPECT_EQ(read_file(animation_path), "old animation");
    EXPECT_FALSE(file_exists_at(animation_path + ".part"));
}

namespace {

// An animation file of frame_count records of width x height, every pixel opaque.
void write_opaque_animation(const std::string &path, int frame_count, int width, int height)
{
    std::vector<uint32_t> pixels((size_t)width * height, 0x00010203u);
    AnimationFrame frame = build_frame_from_pixels(pixels.data(), width, height, 0x00ff00ffu);
    FILE *stream = fopen(path.c_str(), "wb");
    write_animation_count(frame_count, stream);
    for (int i = 0; i < frame_count; i++) write_frame(&frame, stream);
    fclose(stream);
    free_frame_runs(frame);
}

}  // namespace

TEST(Loader, TgaStripKeepsItsAlpha)
{
    std::string dir = make_temp_dir("sprites-tga");
    std::string animation_path = dir + "/a.anim", strip_path = dir + "/strip.tga";
    write_opaque_animation(animation_path, 2, 8, 4);
    // Alpha varies across the strip; magenta with alpha 200 stays visible as it is.
    save_image(strip_path, 32, 8, 8, [](int x, int y) {
        return y == 0 && x == 0 ? Rgba{255, 0, 255, 200} : Rgba{20 * x, 30 * y, 99, 30 * x + y};
    });
    Animation animation = {};
    std::string error;
    ASSERT_TRUE(try_load_animation(animation_path.c_str(), strip_path.c_str(), STRIP_TGA, &animation, &error)) << error;
    ASSERT_EQ(animation.frame_count, 2);
    for (int i = 0; i < 2; i++) {
        int width = 0, height = 0;
        std::vector<uint8_t> pixels = texture_pixels(animation.textures[i], &width, &height);
        ASSERT_EQ(width, 8);
        ASSERT_EQ(height, 4);
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 8; x++) {
                const uint8_t *p = &pixels[(size_t)(y * 8 + x) * 4];
                int strip_y = 4 * i + y;
                if (strip_y == 0 && x == 0) {
                    EXPECT_EQ(p[3], 200);
                    continue;
                }
                EXPECT_EQ(p[0], 20 * x) << i << ": " << x << "," << y;
                EXPECT_EQ(p[1], 30 * strip_y) << i << ": " << x << "," << y;
                EXPECT_EQ(p[3], 30 * x + strip_y) << i << ": " << x << "," << y;
            }
    }
    delete_animation_textures(&animation);
    destroy_animation(&animation);
}

TEST(Loader, TgaStripWithoutAlphaIsOpaque)
{
    std::string dir = make_temp_dir("sprites-tga24");
    std::string animation_path = dir + "/a.anim", strip_path = dir + "/strip.tga";
    write_opaque_animation(animation_path, 1, 4, 4);
    save_image(strip_path, 24, 4, 4, [](int x, int y) { return x == 0 ? MAGENTA : Rgba{50, 60 + y, 70, 0}; });
    Animation animation = {};
    std::string error;
    ASSERT_TRUE(try_load_animation(animation_path.c_str(), strip_path.c_str(), STRIP_TGA, &animation, &error)) << error;
    int width = 0, height = 0;
    std::vector<uint8_t> pixels = texture_pixels(animation.textures[0], &width, &height);
    for (size_t i = 0; i < pixels.size(); i += 4) EXPECT_EQ(pixels[i + 3], 255) << i / 4;
    EXPECT_EQ(pixels[4 * 1 + 1], 60);
    delete_animation_textures(&animation);
    destroy_animation(&animation);

    // No frames: still a loadable strip, and nothing to show.
    write_opaque_animation(animation_path, 0, 4, 4);
    ASSERT_TRUE(try_load_animation(animation_path.c_str(), strip_path.c_str(), STRIP_TGA, &animation, &error)) << error;
    EXPECT_EQ(animation.frame_count, 0);
    EXPECT_EQ(animation.pixel_bytes, 0);
    delete_animation_textures(&animation);
    destroy_animation(&animation);
}

TEST(Loader, FailuresNameTheFileAndKeepNothing)
{
    std::string dir = make_temp_dir("sprites-loadfail");
    std::string animation_path = dir + "/a.anim", strip_path = dir + "/strip.tga";
    save_image(strip_path, 24, 8, 8, [](int, int) { return Rgba{1, 2, 3, 0}; });
    Animation animation = {};
    std::string error;

    EXPECT_FALSE(try_load_animation((dir + "/none.anim").c_str(), strip_path.c_str(), STRIP_TGA, &animation, &error));
    EXPECT_EQ(error, "No se pudo abrir el archivo: " + dir + "/none.anim");

    write_opaque_animation(animation_path, 2, 8, 4);
    EXPECT_FALSE(try_load_animation(animation_path.c_str(), (dir + "/none.jpg").c_str(), STRIP_JPEG, &animation, &error));
    EXPECT_EQ(error, "No se pudo abrir el archivo: " + dir + "/none.jpg");

    // Three frames of 4 rows do not fit an 8-row strip: the third is named.
    write_opaque_animation(animation_path, 3, 8, 4);
    EXPECT_FALSE(try_load_animation(animation_path.c_str(), strip_path.c_str(), STRIP_TGA, &animation, &error));
    EXPECT_NE(error.find(animation_path + ": frame 2 (8 x 4) does not fit the strip image"), std::string::npos) << error;

    // Frames wider than the strip.
    write_opaque_animation(animation_path, 1, 9, 4);
    EXPECT_FALSE(try_load_animation(animation_path.c_str(), strip_path.c_str(), STRIP_TGA, &animation, &error));
    EXPECT_NE(error.find("frame 0 (9 x 4)"), std::string::npos) << error;

    // A file cut inside its second record.
    write_opaque_animation(animation_path, 2, 8, 4);
    std::string bytes = read_file(animation_path);
    write_file(animation_path, bytes.substr(0, bytes.size() - 3));
    EXPECT_FALSE(try_load_animation(animation_path.c_str(), strip_path.c_str(), STRIP_TGA, &animation, &error));
    EXPECT_NE(error.find(animation_path + ": frame 1: the file ends"), std::string::npos) << error;
    EXPECT_EQ(animation.frames, nullptr);
    EXPECT_EQ(animation.textures, nullptr);
}
