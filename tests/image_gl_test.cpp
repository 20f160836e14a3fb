// Valid images of every kind the engine reads give the same bitmap pixels
// through the engine's decoders as through Allegro's own loaders (JPEG within
// the decoders' rounding). Runs inside the engine's OpenGL window.
#include <gtest/gtest.h>

#include <allegro.h>
#include <jpgalleg.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "orj/core/image/image_write.h"
#include "orj/gl/render/image_bitmap.h"
#include "tests/support/image_files.h"
#include "tests/support/test_support.h"

using namespace orj;

namespace {

const int W = 13, H = 7;

// Colours with magenta (the mask colour) and grey steps among them.
std::vector<uint32_t> colours(uint32_t alpha_steps)
{
    std::vector<uint32_t> out;
    for (uint32_t v : image_files::pattern(W, H, 1000)) {
        uint32_t rgb = v % 5 == 0 ? 0xFF00FF : (v * 2654435761u) >> 8 & 0xFFFFFF;
        out.push_back(rgb | (alpha_steps ? (v % alpha_steps) * 255 / (alpha_steps - 1) : 0) << 24);
    }
    return out;
}

// Largest difference of one byte between the two bitmaps' pixels; -1 when their sizes differ.
int largest_difference(BITMAP *a, BITMAP *b)
{
    if (a->w != b->w || a->h != b->h || bitmap_color_depth(a) != 32 || bitmap_color_depth(b) != 32) return -1;
    int largest = 0;
    for (int y = 0; y < a->h; y++)
        for (int i = 0; i < a->w * 4; i++) largest = std::max(largest, std::abs(a->line[y][i] - b->line[y][i]));
    return largest;
}

struct Case {
    const char *name;  // also the extension Allegro picks its loader by
    std::string bytes;
};

TEST(ImageGl, ValidFilesGiveTheBitmapsOfAllegrosLoaders)
{
    using namespace image_files;
    std::vector<uint32_t> rgb = colours(0), rgba = colours(4), index16 = pattern(W, H, 16), index2 = pattern(W, H, 2);
    std::vector<uint32_t> index = pattern(W, H, 256), words, palette;
    for (uint32_t c : rgb) words.push_back((c >> 19 & 31) << 10 | (c >> 11 & 31) << 5 | (c >> 3 & 31));
    for (int i = 0; i < 256; i++) palette.push_back(i % 9 == 0 ? 0xFF00FF : (uint32_t)i * 0x9E3779u & 0xFFFFFF);
    const std::vector<Case> cases = {
        {"24.tga", tga(2, 24, W, H, rgb, false)},
        {"24_top.tga", tga(2, 24, W, H, rgb, true)},
        {"32.tga", tga(2, 32, W, H, rgba, false)},
        {"16.tga", tga(2, 16, W, H, words, false)},
        {"24_rle.tga", tga(10, 24, W, H, rgb, false)},
        {"32_rle_top.tga", tga(10, 32, W, H, rgba, true)},
        {"16_rle.tga", tga(10, 16, W, H, words, true)},
        {"mapped.tga", tga(1, 8, W, H, index, false, palette)},
        {"mapped_rle.tga", tga(9, 8, W, H, index, true, palette)},
        {"grey.tga", tga(3, 8, W, H, index, false)},
        {"grey_rle.tga", tga(11, 8, W, H, index, false)},
        {"1.bmp", bmp(1, 0, W, H, index2, {0x102030, 0xF0E0D0})},
        {"4.bmp", bmp(4, 0, W, H, index16, std::vector<uint32_t>(palette.begin(), palette.begin() + 16))},
        {"8.bmp", bmp(8, 0, W, H, index, palette)},
        {"16.bmp", bmp(16, 0, W, H, words)},
        {"24.bmp", bmp(24, 0, W, H, rgb)},
        {"32.bmp", bmp(32, 0, W, H, rgba)},
        {"rle8.bmp", bmp(8, 1, W, H, index, palette)},
        {"rle4.bmp", bmp(4, 2, W, H, index16, std::vector<uint32_t>(palette.begin(), palette.begin() + 16))},
        {"8.pcx", pcx(1, W, H, index, palette)},
        {"24.pcx", pcx(3, W, H, rgb)},
    };
    std::string dir = make_temp_dir("image_gl");
    for (const Case &c : cases) {
        std::string path = dir + "/" + c.name;
        write_file(path, c.bytes);
        BITMAP *theirs = load_bitmap(path.c_str(), nullptr);
        Error error;
        BITMAP *ours = load_image_bitmap(path.c_str(), &error);
        ASSERT_TRUE(theirs) << c.name;
        ASSERT_TRUE(ours) << error.message;
        EXPECT_EQ(largest_difference(theirs, ours), 0) << c.name;
        for (int y = 0, shown = 0; y < H && shown < 3; y++)
            for (int x = 0; x < W && shown < 3; x++)
                if (getpixel(theirs, x, y) != getpixel(ours, x, y))
                    ADD_FAILURE() << c.name << " at " << x << "," << y << std::hex << ": " << getpixel(theirs, x, y)
                                  << " against " << getpixel(ours, x, y) << " (" << ++shown << ")";
        destroy_bitmap(theirs);
        destroy_bitmap(ours);
    }

    // JPEG: written by the engine's JPEG writer, read by both decoders.
    BITMAP *source = create_bitmap_ex(32, W * 4, H * 4);
    for (int y = 0; y < source->h; y++)
        for (int x = 0; x < source->w; x++)
            putpixel(source, x, y, makecol32(x * 255 / source->w, y * 30 % 256, x * y * 7 % 256));
    std::string jpeg = dir + "/strip.jpg";
    ASSERT_EQ(save_jpg_ex(jpeg.c_str(), source, nullptr, 90, 0, nullptr), 0);
    BITMAP *theirs = load_jpg(jpeg.c_str(), nullptr);
    Error error;
    BITMAP *ours = load_image_bitmap(jpeg.c_str(), &error);
    ASSERT_TRUE(theirs && ours) << error.message;
    int difference = largest_difference(theirs, ours);
    EXPECT_GE(difference, 0);
    EXPECT_LE(difference, 2);
    destroy_bitmap(theirs);
    destroy_bitmap(ours);
    destroy_bitmap(source);

    // PNG (read by no Allegro loader): the file's colours, alpha 0 as for every image without alpha.
    Image picture = {W, H, false, {}};
    for (uint32_t c : rgb)
        picture.rgba.insert(picture.rgba.end(), {(uint8_t)(c >> 16), (uint8_t)(c >> 8), (uint8_t)c, 255});
    std::string png = dir + "/rgb.png";
    ASSERT_EQ(write_png_file(png.c_str(), picture, nullptr), ERROR_NONE);
    ours = load_image_bitmap(png.c_str(), &error);
    ASSERT_TRUE(ours) << error.message;
    for (int i = 0; i < W * H; i++)
        ASSERT_EQ((uint32_t)getpixel(ours, i % W, i / W),
                  (uint32_t)makeacol32(picture.rgba[4 * i], picture.rgba[4 * i + 1], picture.rgba[4 * i + 2], 0));
    destroy_bitmap(ours);
    std::filesystem::remove_all(dir);
}

}  // namespace
