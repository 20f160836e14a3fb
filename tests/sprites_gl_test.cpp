// Frame records from bitmaps, the animation loaders and the builder, inside
// the engine's OpenGL window (32-bit bitmaps hold red, green, blue, alpha).
// gtest first: the X headers behind alleggl.h define None and Bool.
#include <gtest/gtest.h>

#include <allegro.h>
#include <alleggl.h>
#include <jpgalleg.h>
#include <png.h>

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "orj/core/image/image_write.h"
#include "orj/gl/sprites/animation_bitmap.h"
#include "orj/gl/sprites/animation_builder.h"
#include "orj/core/sprites/animation_file.h"
#include "orj/gl/sprites/animation_loader.h"
#include "orj/core/sprites/frame_runs.h"
#include "tests/support/test_support.h"

using namespace orj;

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
            putpixel(bitmap, x, y,
                     depth == 32 ? makeacol_depth(32, c.r, c.g, c.b, c.a) : makecol_depth(depth, c.r, c.g, c.b));
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

const uint8_t *pixel_bytes(BITMAP *bitmap, int x, int y) { return bitmap->line[y] + 4 * x; }

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

// Files a build left behind under a temporary name (NAME.XXXXXX).
int temporary_files(const std::string &dir)
{
    int count = 0;
    if (DIR *folder = opendir(dir.c_str())) {
        while (dirent *entry = readdir(folder)) {
            std::string name = entry->d_name;
            size_t dot = name.rfind('.');
            if (dot != std::string::npos && name.size() - dot == 7 && name.find('.') < dot) count++;
        }
        closedir(folder);
    }
    return count;
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
    save_image(frame_path(dir, number), 24, width, height,
               [&](int x, int y) { return (x < width / 4 || y == height - 1) ? MAGENTA : frame_colour(number - 1); });
}

}  // namespace

TEST(FrameBitmap, MagentaOf24BitTgaIsTheMaskColour)
{
    std::string dir = make_temp_dir("sprites-mask");
    std::string path = dir + "/mask0001";
    save_image(path, 24, 4, 2, [](int x, int y) {
        return (y == 0 && (x == 0 || x == 3)) ? MAGENTA : Rgba{10, 20, 30, 0};
    });
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
    Error error;
    ASSERT_EQ(
        build_animation_from_frames(frame_path(dir, 1).c_str(), animation_path.c_str(), strip_path.c_str(), &error),
        ERROR_NONE)
        << error.message;
    EXPECT_EQ(temporary_files(dir), 0);

    // Header 3, then three records of 16 x 8: seven rows of 4 transparent and 12
    // opaque pixels, and a transparent bottom row.
    std::string bytes = read_file(animation_path);
    ASSERT_EQ(bytes.size(), 4u + 3 * (12 + 7 * 12 + 8));
    FILE *stream = fopen(animation_path.c_str(), "rb");
    Animation records = {};
    ASSERT_EQ(read_animation_frames(stream, animation_path.c_str(), &records, &error), ERROR_NONE) << error.message;
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
    Error load_error;
    ASSERT_EQ(load_animation(animation_path.c_str(), strip_path.c_str(), &animation, &load_error), ERROR_NONE)
        << load_error.message;
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
                            << i << ": " << x << "," << y << " is " << (int)p[0] << " " << (int)p[1] << " "
                            << (int)p[2];
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
    Error error;
    EXPECT_EQ(
        build_animation_from_frames(frame_path(dir, 1).c_str(), animation_path.c_str(), strip_path.c_str(), &error),
        ERROR_CANNOT_OPEN);
    EXPECT_NE(error.message.find(frame_path(dir, 1) + ": no frame file of that name"), std::string::npos)
        << error.message;
    EXPECT_EQ(read_file(animation_path), "old animation");
    EXPECT_EQ(read_file(strip_path), "old strip");
    EXPECT_EQ(temporary_files(dir), 0);

    // A first frame name too short to count in is refused before anything is written.
    EXPECT_EQ(build_animation_from_frames("ab", animation_path.c_str(), strip_path.c_str(), &error), ERROR_REFUSED);
    EXPECT_EQ(temporary_files(dir), 0);
    EXPECT_EQ(read_file(animation_path), "old animation");

    // An animation file that cannot be written is told apart, so the caller can ask for another.
    EXPECT_EQ(build_animation_from_frames(frame_path(dir, 1).c_str(), (dir + "/missing/x.anim").c_str(),
                                          strip_path.c_str(), &error),
              ERROR_CANNOT_WRITE);
    EXPECT_EQ(error.path, dir + "/missing/x.anim");
}

TEST(Builder, FramesOfAnotherSizeOrUnreadableFailWithoutWriting)
{
    std::string dir = make_temp_dir("sprites-mismatch");
    save_builder_frame(dir, 1);
    save_builder_frame(dir, 2, 16, 9);
    std::string animation_path = dir + "/keep.anim", strip_path = dir + "/keep.jpg";
    write_file(animation_path, "old animation");
    Error error;
    EXPECT_EQ(
        build_animation_from_frames(frame_path(dir, 1).c_str(), animation_path.c_str(), strip_path.c_str(), &error),
        ERROR_MALFORMED);
    EXPECT_NE(error.message.find(frame_path(dir, 2) + ": the frame is 16 x 9"), std::string::npos) << error.message;
    EXPECT_EQ(read_file(animation_path), "old animation");
    EXPECT_FALSE(file_exists_at(strip_path));
    EXPECT_EQ(temporary_files(dir), 0);

    // A counted frame that is not an image.
    write_file(frame_path(dir, 2), "not an image");
    EXPECT_EQ(
        build_animation_from_frames(frame_path(dir, 1).c_str(), animation_path.c_str(), strip_path.c_str(), &error),
        ERROR_MALFORMED);
    EXPECT_EQ(error.message.rfind(frame_path(dir, 2) + ": ", 0), 0u) << error.message;
    EXPECT_EQ(read_file(animation_path), "old animation");
}

TEST(Builder, StripTallerThanAJpegIsRefused)
{
    std::string dir = make_temp_dir("sprites-tall");
    for (int n = 1; n <= 5; n++) save_builder_frame(dir, n, 4, 16000);
    std::string animation_path = dir + "/tall.anim", strip_path = dir + "/tall.jpg";
    Error error;
    EXPECT_EQ(
        build_animation_from_frames(frame_path(dir, 1).c_str(), animation_path.c_str(), strip_path.c_str(), &error),
        ERROR_TOO_LARGE);
    EXPECT_NE(error.message.find("65500"), std::string::npos) << error.message;
    EXPECT_FALSE(file_exists_at(animation_path));
    EXPECT_FALSE(file_exists_at(strip_path));
}

// A strip over an image's 16384 rows but within the strip's limit builds and loads back.
TEST(Loader, StripsTallerThanAnImageLoad)
{
    std::string dir = make_temp_dir("sprites-long");
    for (int n = 1; n <= 3; n++) save_builder_frame(dir, n, 4, 6000);
    std::string animation_path = dir + "/long.anim", strip_path = dir + "/long.jpg";
    Error error;
    ASSERT_EQ(
        build_animation_from_frames(frame_path(dir, 1).c_str(), animation_path.c_str(), strip_path.c_str(), &error),
        ERROR_NONE)
        << error.message;
    Animation animation = {};
    ASSERT_EQ(load_animation(animation_path.c_str(), strip_path.c_str(), &animation, &error), ERROR_NONE)
        << error.message;
    EXPECT_EQ(animation.frame_count, 3);
    delete_animation_textures(&animation);
    destroy_animation(&animation);
}

// What a build takes that the person may not have meant is said in its summary.
TEST(Builder, GapsHalfTransparencyAndColoursNearTheMaskAreReported)
{
    std::string dir = make_temp_dir("sprites-report");
    for (int n : {1, 2, 3, 5}) save_builder_frame(dir, n);
    BuildOptions options;
    BuildSummary summary;
    Error error;
    std::string first = frame_path(dir, 1), animation = dir + "/a.anim", strip = dir + "/a.jpg";
    options.first_frame = first.c_str();
    ASSERT_EQ(build_animation_with(&options, animation.c_str(), strip.c_str(), &summary, &error), ERROR_NONE);
    EXPECT_EQ(summary.frame_count, 3);
    EXPECT_EQ(summary.gap_missing, frame_path(dir, 4));
    EXPECT_EQ(summary.gap_found, frame_path(dir, 5));

    // walk_0002.PNG after walk_0001.png; an alpha of 60 and one of 200 (threshold 128); ff00fe next to ff00ff.
    std::vector<uint8_t> rgba = {255, 0, 254, 255, 255, 0, 254, 255, 10, 10, 10, 60, 10, 10, 10, 200};
    Image png = {2, 2, true, rgba};
    ASSERT_EQ(write_png_file((dir + "/walk_0001.png").c_str(), png, nullptr), ERROR_NONE);
    ASSERT_EQ(write_png_file((dir + "/walk_0002.PNG").c_str(), png, nullptr), ERROR_NONE);
    first = dir + "/walk_0001.png";
    options.first_frame = first.c_str();
    ASSERT_EQ(build_animation_with(&options, animation.c_str(), strip.c_str(), &summary, &error), ERROR_NONE);
    // Where names differ in case the next frame is missing; elsewhere (Windows) it is the same file.
    bool case_sensitive = !file_exists_at(dir + "/walk_0002.png");
    EXPECT_EQ(summary.frame_count, case_sensitive ? 1 : 2);
    if (case_sensitive) {
        EXPECT_EQ(summary.gap_missing, dir + "/walk_0002.png");
        EXPECT_EQ(summary.gap_found, dir + "/walk_0002.PNG");
    }
    std::filesystem::remove(dir + "/walk_0002.PNG");
    ASSERT_EQ(build_animation_with(&options, animation.c_str(), strip.c_str(), &summary, &error), ERROR_NONE);
    EXPECT_EQ(summary.half_made_transparent, 1);
    EXPECT_EQ(summary.half_made_opaque, 1);

    png.has_alpha = false;
    ASSERT_EQ(write_png_file(first.c_str(), png, nullptr), ERROR_NONE);
    ASSERT_EQ(build_animation_with(&options, animation.c_str(), strip.c_str(), &summary, &error), ERROR_NONE);
    EXPECT_EQ(summary.opaque_count, 4);
    EXPECT_EQ(summary.nearest_mask_distance, 1);
    EXPECT_EQ(summary.nearest_mask_rgb, 0xff00feu);
    options.mask_fuzz = 1.0;  // 2.55 steps of the channel range
    ASSERT_EQ(build_animation_with(&options, animation.c_str(), strip.c_str(), &summary, &error), ERROR_NONE);
    EXPECT_EQ(summary.opaque_count, 2);
    EXPECT_EQ(temporary_files(dir), 0);
}

TEST(Builder, UnwritableStripFailsAndKeepsTheAnimation)
{
    std::string dir = make_temp_dir("sprites-nostrip");
    save_builder_frame(dir, 1);
    std::string animation_path = dir + "/keep.anim";
    write_file(animation_path, "old animation");
    Error error;
    EXPECT_EQ(build_animation_from_frames(frame_path(dir, 1).c_str(), animation_path.c_str(),
                                          (dir + "/missing/strip.jpg").c_str(), &error),
              ERROR_CANNOT_WRITE);
    EXPECT_NE(error.message.find("missing/strip.jpg"), std::string::npos) << error.message;
    EXPECT_EQ(read_file(animation_path), "old animation");
    EXPECT_EQ(temporary_files(dir), 0);
}

namespace {

// An animation file of frame_count records of width x height, every pixel opaque.
void write_opaque_animation(const std::string &path, int frame_count, int width, int height)
{
    std::vector<uint32_t> pixels((size_t)width * height, 0x00010203u);
    AnimationFrame frame = build_frame_from_pixels(pixels.data(), width, height, 0x00ff00ffu);
    FILE *stream = fopen(path.c_str(), "wb");
    write_animation_count(frame_count, stream, nullptr);
    for (int i = 0; i < frame_count; i++) write_frame(&frame, stream, nullptr);
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
    Error error;
    ASSERT_EQ(load_animation_tga(animation_path.c_str(), strip_path.c_str(), &animation, &error), ERROR_NONE)
        << error.message;
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
    Error error;
    ASSERT_EQ(load_animation_tga(animation_path.c_str(), strip_path.c_str(), &animation, &error), ERROR_NONE)
        << error.message;
    int width = 0, height = 0;
    std::vector<uint8_t> pixels = texture_pixels(animation.textures[0], &width, &height);
    for (size_t i = 0; i < pixels.size(); i += 4) EXPECT_EQ(pixels[i + 3], 255) << i / 4;
    EXPECT_EQ(pixels[4 * 1 + 1], 60);
    delete_animation_textures(&animation);
    destroy_animation(&animation);

    // No frames: still a loadable strip, and nothing to show.
    write_opaque_animation(animation_path, 0, 4, 4);
    ASSERT_EQ(load_animation_tga(animation_path.c_str(), strip_path.c_str(), &animation, &error), ERROR_NONE)
        << error.message;
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
    Error error;

    EXPECT_NE(load_animation_tga((dir + "/none.anim").c_str(), strip_path.c_str(), &animation, &error), ERROR_NONE);
    EXPECT_EQ(error.message, "No se pudo abrir el archivo: " + dir + "/none.anim");

    write_opaque_animation(animation_path, 2, 8, 4);
    EXPECT_NE(load_animation(animation_path.c_str(), (dir + "/none.jpg").c_str(), &animation, &error), ERROR_NONE);
    EXPECT_EQ(error.message, "No se pudo abrir el archivo: " + dir + "/none.jpg");

    // Three frames of 4 rows do not fit an 8-row strip: the third is named.
    write_opaque_animation(animation_path, 3, 8, 4);
    EXPECT_NE(load_animation_tga(animation_path.c_str(), strip_path.c_str(), &animation, &error), ERROR_NONE);
    EXPECT_NE(error.message.find(animation_path + ": frame 2 (8 x 4) does not fit the strip image"), std::string::npos)
        << error.message;

    // Frames wider than the strip.
    write_opaque_animation(animation_path, 1, 9, 4);
    EXPECT_NE(load_animation_tga(animation_path.c_str(), strip_path.c_str(), &animation, &error), ERROR_NONE);
    EXPECT_NE(error.message.find("frame 0 (9 x 4)"), std::string::npos) << error.message;

    // A file cut inside its second record.
    write_opaque_animation(animation_path, 2, 8, 4);
    std::string bytes = read_file(animation_path);
    write_file(animation_path, bytes.substr(0, bytes.size() - 3));
    EXPECT_NE(load_animation_tga(animation_path.c_str(), strip_path.c_str(), &animation, &error), ERROR_NONE);
    EXPECT_NE(error.message.find(animation_path + ": frame 1: the file ends"), std::string::npos) << error.message;
    EXPECT_EQ(animation.frames, nullptr);
    EXPECT_EQ(animation.textures, nullptr);
}

namespace {

// Writes an 8-bit PNG through libpng: RGBA, or a palette of colours (with
// their alpha) that the pixels index.
void write_png_rgba(const std::string &path, int width, int height, const std::vector<uint8_t> &rgba)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = (png_uint_32)width;
    image.height = (png_uint_32)height;
    image.format = PNG_FORMAT_RGBA;
    ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr)) << path;
}

void write_png_palette(const std::string &path, int width, int height, const std::vector<uint8_t> &indices,
                       const std::vector<uint8_t> &palette_rgba)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = (png_uint_32)width;
    image.height = (png_uint_32)height;
    image.format = PNG_FORMAT_RGBA_COLORMAP;
    image.colormap_entries = (png_uint_32)(palette_rgba.size() / 4);
    ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, indices.data(), 0, palette_rgba.data())) << path;
}

// What a test frame should show at a pixel: transparent, or a colour.
struct Expected {
    bool transparent;
    Rgba colour;
};

// Builds with options, loads the animation back through the JPEG loader
// (and the TGA strip when one was written) and checks every pixel's alpha,
// and the colour of opaque pixels two or more pixels from any transparent one.
template <typename Expect>
void build_and_check(const BuildOptions &options, const std::string &dir, int frame_count, int width, int height,
                     Expect expect)
{
    std::string animation_path = dir + "/out.anim", strip_path = dir + "/out.jpg";
    Error error;
    BuildSummary summary;
    ASSERT_EQ(build_animation_with(&options, animation_path.c_str(), strip_path.c_str(), &summary, &error), ERROR_NONE)
        << error.message;
    EXPECT_EQ(summary.frame_count, frame_count);
    EXPECT_EQ(temporary_files(dir), 0);
    for (bool tga : {false, true}) {
        if (tga && !options.strip_tga_path) continue;
        Animation animation = {};
        Error load_error;
        ErrorKind loaded =
            tga ? load_animation_tga(animation_path.c_str(), options.strip_tga_path, &animation, &load_error)
                : load_animation(animation_path.c_str(), strip_path.c_str(), &animation, &load_error);
        ASSERT_EQ(loaded, ERROR_NONE) << load_error.message;
        ASSERT_EQ(animation.frame_count, frame_count);
        int tolerance = tga ? 0 : 24;
        for (int i = 0; i < frame_count; i++) {
            int w = 0, h = 0;
            std::vector<uint8_t> pixels = texture_pixels(animation.textures[i], &w, &h);
            ASSERT_EQ(w, width);
            ASSERT_EQ(h, height);
            for (int y = 0; y < height; y++)
                for (int x = 0; x < width; x++) {
                    const uint8_t *p = &pixels[(size_t)(y * width + x) * 4];
                    Expected e = expect(i, x, y);
                    ASSERT_EQ(p[3], e.transparent ? 0 : 255)
                        << (tga ? "tga" : "jpeg") << " frame " << i << ": " << x << "," << y;
                    bool inner = true;
                    for (int dy = -2; dy <= 2; dy++)
                        for (int dx = -2; dx <= 2; dx++) {
                            int nx = x + dx, ny = y + dy;
                            if (nx >= 0 && ny >= 0 && nx < width && ny < height && expect(i, nx, ny).transparent)
                                inner = false;
                        }
                    if (!e.transparent && inner) {
                        ASSERT_TRUE(close_to(p[0], e.colour.r, tolerance) && close_to(p[1], e.colour.g, tolerance) &&
                                    close_to(p[2], e.colour.b, tolerance))
                            << (tga ? "tga" : "jpeg") << " frame " << i << ": " << x << "," << y << " is " << (int)p[0]
                            << " " << (int)p[1] << " " << (int)p[2];
                    }
                }
        }
        delete_animation_textures(&animation);
        destroy_animation(&animation);
    }
}

// Test frame i: a square of the frame's colour that moves one pixel right per
// frame, on a transparent field; a partly transparent border column (alpha 100).
Expected square_frame(int i, int x, int y)
{
    bool inside = x >= 4 + i && x < 12 + i && y >= 2 && y < 10;
    return {!inside, frame_colour(i)};
}

}  // namespace

TEST(Builder, PngTgaAndSheetFramesKeepTheirTransparency)
{
    const int W = 32, H = 16, N = 3;  // textures are made a power of two wide and high
    // PNG with alpha: transparent pixels are black with alpha 0; the border
    // column's alpha of 100 is below the threshold.
    {
        std::string dir = make_temp_dir("sprites-png");
        for (int i = 0; i < N; i++) {
            std::vector<uint8_t> rgba((size_t)W * H * 4, 0);
            for (int y = 0; y < H; y++)
                for (int x = 0; x < W; x++) {
                    uint8_t *p = &rgba[(size_t)(y * W + x) * 4];
                    Expected e = square_frame(i, x, y);
                    if (!e.transparent) p[0] = e.colour.r, p[1] = e.colour.g, p[2] = e.colour.b, p[3] = 255;
                    if (x == W - 1) p[0] = 255, p[3] = 100;
                }
            char name[32];
            snprintf(name, sizeof name, "/ball_%04d.png", i + 1);
            write_png_rgba(dir + name, W, H, rgba);
        }
        BuildOptions options;
        std::string first = dir + "/ball_0001.png", tga = dir + "/out.tga";
        options.first_frame = first.c_str();
        options.strip_tga_path = tga.c_str();
        build_and_check(options, dir, N, W, H, square_frame);
        // Through a pattern, and with the threshold lowered below 100 the border shows.
        std::string pattern = dir + "/ball_%04d.png";
        options.first_frame = pattern.c_str();
        options.strip_tga_path = nullptr;
        options.alpha_threshold = 50;
        build_and_check(options, dir, N, W, H, [](int i, int x, int y) {
            return x == W - 1 ? Expected{false, {255, 0, 0, 0}} : square_frame(i, x, y);
        });
    }
    // PNG palette: entry 0 transparent (not magenta), entry 1 + i the frame's colour.
    {
        std::string dir = make_temp_dir("sprites-palette");
        std::vector<uint8_t> palette = {0, 0, 0, 0};
        for (int i = 0; i < N; i++)
            palette.insert(palette.end(),
                           {(uint8_t)frame_colour(i).r, (uint8_t)frame_colour(i).g, (uint8_t)frame_colour(i).b, 255});
        for (int i = 0; i < N; i++) {
            std::vector<uint8_t> indices((size_t)W * H);
            for (int y = 0; y < H; y++)
                for (int x = 0; x < W; x++)
                    indices[(size_t)(y * W + x)] = square_frame(i, x, y).transparent ? 0 : 1 + i;
            char name[32];
            snprintf(name, sizeof name, "/pal%02d.png", i);
            write_png_palette(dir + name, W, H, indices, palette);
        }
        BuildOptions options;
        std::string first = dir + "/pal00";  // named without its extension
        options.first_frame = first.c_str();
        build_and_check(options, dir, N, W, H, square_frame);
    }
    // 32-bit TGA with alpha: the field is magenta-free grey with alpha 0.
    {
        std::string dir = make_temp_dir("sprites-tga32");
        for (int i = 0; i < N; i++)
            save_image(frame_path(dir, i + 1) + ".tga", 32, W, H, [&](int x, int y) {
                Expected e = square_frame(i, x, y);
                return e.transparent ? Rgba{90, 90, 90, 0} : e.colour;
            });
        BuildOptions options;
        std::string first = frame_path(dir, 1) + ".tga";
        options.first_frame = first.c_str();
        build_and_check(options, dir, N, W, H, square_frame);
    }
    // 32-bit TGA whose alpha is 0 throughout (an unused channel): taken by its magenta.
    {
        std::string dir = make_temp_dir("sprites-tga32-unused");
        for (int i = 0; i < N; i++)
            save_image(frame_path(dir, i + 1), 32, W, H, [&](int x, int y) {
                Expected e = square_frame(i, x, y);
                return e.transparent ? MAGENTA : Rgba{e.colour.r, e.colour.g, e.colour.b, 0};
            });
        BuildOptions options;
        std::string first = frame_path(dir, 1);
        options.first_frame = first.c_str();
        build_and_check(options, dir, N, W, H, square_frame);
    }
    // 24-bit TGA without alpha and another mask colour (green).
    {
        std::string dir = make_temp_dir("sprites-tga24");
        for (int i = 0; i < N; i++)
            save_image(frame_path(dir, i + 1), 24, W, H, [&](int x, int y) {
                Expected e = square_frame(i, x, y);
                return e.transparent ? Rgba{0, 255, 0, 0} : e.colour;
            });
        BuildOptions options;
        std::string first = frame_path(dir, 1);
        options.first_frame = first.c_str();
        options.mask_rgb = 0x00ff00;
        build_and_check(options, dir, N, W, H, square_frame);
    }
    // A sheet of 3 x 4 cells, the last two empty: ten frames, row by row.
    {
        std::string dir = make_temp_dir("sprites-sheet");
        const int C = 3, R = 4, frames = 10;
        std::vector<uint8_t> rgba((size_t)C * W * R * H * 4, 0);
        for (int cell = 0; cell < frames; cell++)
            for (int y = 0; y < H; y++)
                for (int x = 0; x < W; x++) {
                    Expected e = square_frame(cell, x, y);
                    if (e.transparent) continue;
                    uint8_t *p = &rgba[(((size_t)(cell / C) * H + y) * C * W + (size_t)(cell % C) * W + x) * 4];
                    p[0] = e.colour.r, p[1] = e.colour.g, p[2] = e.colour.b, p[3] = 255;
                }
        write_png_rgba(dir + "/sheet.png", C * W, R * H, rgba);
        BuildOptions options;
        std::string sheet = dir + "/sheet.png";
        options.sheet_path = sheet.c_str();
        options.cell_width = W;
        options.cell_height = H;
        build_and_check(options, dir, frames, W, H, square_frame);
        // Asked for, empty cells are frames too.
        options.sheet_frames = 12;
        build_and_check(options, dir, 12, W, H, [](int i, int x, int y) {
            return i >= 10 ? Expected{true, {}} : square_frame(i, x, y);
        });
    }
}

TEST(Builder, UnsafeOutputsAreRefusedAndLeftAlone)
{
    if (!have_posix_shell()) GTEST_SKIP() << "needs FIFOs, symbolic links and file modes";
    std::string dir = make_temp_dir("sprites-unsafe");
    save_builder_frame(dir, 1);
    std::string first = frame_path(dir, 1), frame_bytes = read_file(first);
    std::string out = dir + "/out.anim", strip = dir + "/out.jpg";
    ASSERT_EQ(run_shell("mkfifo " + dir + "/fifo && ln -s " + dir + "/target " + dir + "/link"), 0);
    write_file(dir + "/target", "link target");
    write_file(out + ".part", "the user's own file");
    struct Case {
        std::string animation, strip, what;
    } cases[] = {
        {dir + "/same.anim", dir + "/./same.anim", "the output is also the output"},
        {dir + "/sub/../shot0001", strip, "the output is the input"},
        {out, dir + "/shot0001", "the output is the input"},
        {dir + "/fifo", strip, "is a FIFO"},
        {dir + "/link", strip, "is a symbolic link"},
        {out, dir + "/link", "is a symbolic link"},
        {dir, strip, "is a directory"},
    };
    ASSERT_EQ(run_shell("mkdir " + dir + "/sub"), 0);
    for (const Case &c : cases) {
        Error error;
        EXPECT_NE(build_animation_from_frames(first.c_str(), c.animation.c_str(), c.strip.c_str(), &error), ERROR_NONE)
            << c.animation;
        EXPECT_NE(error.message.find(c.what), std::string::npos) << c.animation << ": " << error.message;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(std::filesystem::symlink_status(dir + "/fifo")));
    EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(dir + "/link")));
    EXPECT_EQ(read_file(dir + "/target"), "link target");
    EXPECT_EQ(read_file(first), frame_bytes);
    EXPECT_FALSE(file_exists_at(out));
    EXPECT_FALSE(file_exists_at(dir + "/same.anim"));

    // A read-only animation is replaced and stays read-only; the user's .part file is not touched.
    write_file(out, "old");
    ASSERT_EQ(chmod(out.c_str(), 0444), 0);
    Error error;
    ASSERT_EQ(build_animation_from_frames(first.c_str(), out.c_str(), strip.c_str(), &error), ERROR_NONE)
        << error.message;
    struct stat status;
    ASSERT_EQ(stat(out.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0444u);
    EXPECT_NE(read_file(out), "old");
    EXPECT_EQ(read_file(out + ".part"), "the user's own file");
    EXPECT_EQ(temporary_files(dir), 0);
}

TEST(Builder, FramesTheLoadersWouldRefuseAreRefused)
{
    std::string dir = make_temp_dir("sprites-oversize");
    std::string out = dir + "/out.anim", strip = dir + "/out.jpg";
    // 512 x 512 alternating columns: 513 runs a row, 1 MB of runs, over the 400000-byte area.
    save_image(dir + "/stripes0001", 24, 512, 512, [](int x, int) { return x % 2 ? MAGENTA : Rgba{9, 9, 9, 0}; });
    // A TGA header of 0 x 0 with no pixels, and a 4 x 4 one whose pixels stop after 10 bytes.
    std::string header(18, '\0');
    header[2] = 2;
    header[16] = 24;
    write_file(dir + "/empty0001", header);
    std::string cut = header;
    cut[12] = 4, cut[14] = 4;
    write_file(dir + "/cut0001", cut + std::string(10, '\x7f'));
    for (const char *name : {"stripes0001", "empty0001", "cut0001"}) {
        Error error;
        EXPECT_NE(build_animation_from_frames((dir + "/" + name).c_str(), out.c_str(), strip.c_str(), &error),
                  ERROR_NONE)
            << name;
        EXPECT_EQ(error.message.rfind(dir + "/" + name + ": ", 0), 0u) << error.message;
        EXPECT_FALSE(file_exists_at(out)) << name;
        EXPECT_FALSE(file_exists_at(strip)) << name;
    }
    EXPECT_EQ(temporary_files(dir), 0);
}
