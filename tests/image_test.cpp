// The image decoders refuse what is broken, oversized or not a file, quickly
// and naming the file, and stay inside their buffers on hostile input.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include <cstdio>

#include <jpeglib.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include "orj/core/image/image.h"
#include "tests/support/image_files.h"

using namespace orj;

using namespace image_files;

namespace {

ErrorKind decode(const std::string &bytes, Image *image, Error *error)
{
    return decode_image((const uint8_t *)bytes.data(), bytes.size(), "pic.img", image, error);
}

// Refused within a second, with a message that names the file.
void expect_refused(const std::string &bytes, ErrorKind kind, const std::string &what)
{
    Image image;
    Error error;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(decode(bytes, &image, &error), kind) << what << ": " << error.message;
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0) << what;
    EXPECT_EQ(error.message.rfind("pic.img: ", 0), 0u) << what << ": " << error.message;
}

void put_be32(std::string *s, uint32_t v)
{
    for (int b = 3; b >= 0; b--) *s += (char)(v >> (8 * b) & 0xFF);
}

// A PNG chunk with its CRC.
std::string png_chunk(const std::string &type_and_data)
{
    uint32_t crc = 0xFFFFFFFF;
    for (char c : type_and_data) {
        crc ^= (uint8_t)c;
        for (int k = 0; k < 8; k++) crc = crc >> 1 ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    std::string s;
    put_be32(&s, (uint32_t)type_and_data.size() - 4);
    s += type_and_data;
    put_be32(&s, ~crc);
    return s;
}

// A PNG of the given size whose image data is empty.
std::string png_header(uint32_t width, uint32_t height)
{
    std::string header("IHDR", 4);
    put_be32(&header, width);
    put_be32(&header, height);
    header.append("\x08\x06\0\0\0", 5);
    return std::string("\x89PNG\r\n\x1a\n", 8) + png_chunk(header) + png_chunk("IDAT") + png_chunk("IEND");
}

// The smallest JPEG header: start of image, a one-component baseline frame
// of the given size and the start of its scan.
std::string jpeg_header(int width, int height)
{
    std::string s("\xFF\xD8\xFF\xC0\x00\x0B\x08", 7);
    s += (char)(height >> 8), s += (char)(height & 0xFF), s += (char)(width >> 8), s += (char)(width & 0xFF);
    s.append("\x01\x01\x11\x00", 4);
    s.append("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10);
    return s;
}

// Valid JPEG and PNG files written by the libraries themselves.
std::string jpeg_file(int width, int height, const std::vector<uint32_t> &rgb)
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = width, info.image_height = height, info.input_components = 3, info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(width * 3);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++)
            for (int c = 0; c < 3; c++) row[3 * x + c] = (uint8_t)(rgb[y * width + x] >> (16 - 8 * c));
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes((const char *)out, size);
    free(out);
    return bytes;
}

std::string png_file(int width, int height, const std::vector<uint32_t> &rgba)
{
    png_image png = {};
    png.version = PNG_IMAGE_VERSION, png.width = width, png.height = height, png.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels;
    for (uint32_t v : rgba)
        pixels.insert(pixels.end(), {(uint8_t)(v >> 16), (uint8_t)(v >> 8), (uint8_t)v, (uint8_t)(v >> 24)});
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&png, nullptr, &size, 0, pixels.data(), 0, nullptr);
    std::string bytes(size, '\0');
    png_image_write_to_memory(&png, &bytes[0], &size, 0, pixels.data(), 0, nullptr);
    return bytes;
}

TEST(Image, HeaderSizesOverTheLimitsAreRefusedBeforeAnythingIsAllocated)
{
    // An 18-byte TGA claiming 16384 x 16384 (within the limits) but holding no pixels.
    std::string tga_header = tga(2, 24, 1, 1, {0}, false).substr(0, 18);
    tga_header[12] = 0, tga_header[13] = 0x40, tga_header[14] = 0, tga_header[15] = 0x40;
    expect_refused(tga_header, ERROR_MALFORMED, "tga without pixels");
    tga_header[2] = 10;  // the same, run-length encoded
    expect_refused(tga_header, ERROR_MALFORMED, "rle tga without pixels");

    expect_refused(png_header(65535, 65535), ERROR_TOO_LARGE, "png 65535 square");
    expect_refused(png_header(16384, 16384), ERROR_MALFORMED, "png without its data");

    std::string pcx_big = pcx(1, 1, 1, {0});
    pcx_big[8] = pcx_big[9] = pcx_big[10] = pcx_big[11] = (char)0xFF;  // 65536 x 65536
    expect_refused(pcx_big, ERROR_TOO_LARGE, "pcx 65536 square");

    std::string bmp_min = bmp(24, 0, 1, 1, {0});
    bmp_min[22] = 0, bmp_min[23] = 0, bmp_min[24] = 0, bmp_min[25] = (char)0x80;  // height INT_MIN
    expect_refused(bmp_min, ERROR_TOO_LARGE, "bmp height INT_MIN");
    std::string bmp_tall = bmp(8, 1, 1, 1, {0}, {0});
    bmp_tall[22] = 0, bmp_tall[23] = 0, bmp_tall[24] = 1;  // 1 x 65536, run-length encoded
    expect_refused(bmp_tall, ERROR_TOO_LARGE, "rle bmp over the side limit");

    expect_refused(jpeg_header(0, 0), ERROR_MALFORMED, "jpeg 0x0");
    expect_refused(jpeg_header(30000, 30000), ERROR_TOO_LARGE, "jpeg 30000 square");
    expect_refused(jpeg_header(16384, 16384), ERROR_MALFORMED, "jpeg without its data");
    expect_refused("", ERROR_MALFORMED, "empty");
}

// Every valid sample, cut short anywhere before its last bytes, is refused: no
// decoder fills in what is missing.
TEST(Image, TruncatedFilesAreRefused)
{
    const int w = 9, h = 5;
    std::vector<uint32_t> rgb = pattern(w, h, 0x1000000), index = pattern(w, h, 256);
    std::vector<uint32_t> palette(256, 0x336699);
    struct Sample {
        std::string bytes;
        size_t optional_tail;  // bytes at the end that may be missing
    };
    std::vector<Sample> samples = {
        {tga(2, 24, w, h, rgb, false), 0},
        {tga(10, 32, w, h, rgb, true), 0},
        {tga(9, 8, w, h, index, false, palette), 0},
        {bmp(24, 0, w, h, rgb), 3},            // the last row's padding
        {bmp(8, 1, w, h, index, palette), 2},  // the end-of-image mark
        {bmp(4, 2, w, h, pattern(w, h, 16), std::vector<uint32_t>(16, 0x102030)), 2},
        {pcx(1, w, h, index, palette), 0},
        {pcx(3, w, h, rgb), 0},
        {jpeg_file(w, h, rgb), 0},
        {png_file(w, h, rgb), 12},  // the end chunk
    };
    for (size_t s = 0; s < samples.size(); s++) {
        const std::string &bytes = samples[s].bytes;
        Image image;
        Error error;
        ASSERT_EQ(decode(bytes, &image, &error), ERROR_NONE) << s << ": " << error.message;
        for (size_t cut = 0; cut + samples[s].optional_tail < bytes.size(); cut++)
            ASSERT_NE(decode(bytes.substr(0, cut), &image, &error), ERROR_NONE) << "sample " << s << " cut at " << cut;
    }
}

// Run-length data that reaches past a row or the whole image, and a colour
// map far longer than an 8-bit index reaches, stay inside the image.
TEST(Image, RunsAndMapsPastTheImageStayInside)
{
    Image image;
    Error error;
    // TGA: one repeat packet of 128 pixels for a 2 x 2 image, then one row-crossing raw packet.
    std::string run = tga(10, 24, 2, 2, {1, 1, 1, 1}, true);
    run.resize(18);
    run.append("\xFF\x01\x02\x03", 4);
    ASSERT_EQ(decode(run, &image, &error), ERROR_NONE) << error.message;
    EXPECT_EQ(image.rgba, std::vector<uint8_t>({3, 2, 1, 255, 3, 2, 1, 255, 3, 2, 1, 255, 3, 2, 1, 255}));
    std::string crossing = tga(10, 24, 2, 2, {1, 1, 1, 1}, true).substr(0, 18);
    crossing.append("\x02"
                    "\x01\x00\x00"
                    "\x02\x00\x00"
                    "\x03\x00\x00"
                    "\x00"
                    "\x04\x00\x00",
                    14);
    ASSERT_EQ(decode(crossing, &image, &error), ERROR_NONE) << error.message;
    EXPECT_EQ(image.rgba[8], 0);  // row 1, column 0: the third pixel of the first packet
    EXPECT_EQ(image.rgba[10], 3);

    // A 65535-entry colour map: entries past 256 are skipped.
    std::vector<uint32_t> map(65535, 0x00FF00);
    map[7] = 0xFF0000;
    ASSERT_EQ(decode(tga(1, 8, 2, 1, {7, 255}, true, map), &image, &error), ERROR_NONE) << error.message;
    EXPECT_EQ(image.rgba, std::vector<uint8_t>({255, 0, 0, 255, 0, 255, 0, 255}));

    // BMP RLE8 and RLE4: runs past the right edge, moves past the last row.
    for (int bits : {8, 4}) {
        std::string b = bmp(bits, bits == 8 ? 1 : 2, 3, 2, {1, 1, 1, 1, 1, 1}, std::vector<uint32_t>(16, 0xFFFFFF));
        b.resize(54 + 16 * 4);
        b.append("\xFF\x11"
                 "\x00\x03\x11\x10"
                 "\x00\x02\x05\x09"
                 "\xFF\x11"
                 "\x00\x00"
                 "\xFF\x11"
                 "\x00\x01",
                 18);
        ASSERT_EQ(decode(b, &image, &error), ERROR_NONE) << bits << ": " << error.message;
        EXPECT_EQ(image.width, 3);
        EXPECT_EQ(image.height, 2);
    }

    // PCX: a run of 63 where a line of three 2-byte planes ends after 6.
    std::string p = pcx(3, 2, 1, {0x010203, 0x040506});
    p.resize(128);
    p.append("\xFF\x07", 2);
    ASSERT_EQ(decode(p, &image, &error), ERROR_NONE) << error.message;
    EXPECT_EQ(image.rgba, std::vector<uint8_t>({7, 7, 7, 255, 7, 7, 7, 255}));
}

// Variants the engine never read before that real files use: rows stored top
// first (BMP's negative height) and TGA rows from the right.
TEST(Image, RowOrdersGiveTheSameImage)
{
    std::vector<uint32_t> rgb = pattern(5, 3, 0x1000000);
    Image up, down, mirrored;
    Error error;
    ASSERT_EQ(decode(bmp(24, 0, 5, 3, rgb), &up, &error), ERROR_NONE);
    ASSERT_EQ(decode(bmp(24, 0, 5, -3, rgb), &down, &error), ERROR_NONE) << error.message;
    EXPECT_EQ(up.rgba, down.rgba);
    std::vector<uint32_t> reversed;
    for (int y = 0; y < 3; y++)
        for (int x = 4; x >= 0; x--) reversed.push_back(rgb[y * 5 + x]);
    std::string right = tga(2, 24, 5, 3, reversed, true);
    right[17] |= 0x10;
    ASSERT_EQ(decode(right, &mirrored, &error), ERROR_NONE);
    EXPECT_EQ(up.rgba, mirrored.rgba);
}

TEST(Image, OnlyRegularFilesOfBoundedSizeAreRead)
{
    char dir_template[] = "/tmp/image_test_XXXXXX";
    std::string dir = mkdtemp(dir_template);
    std::string fifo = dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string path;
        ErrorKind kind;
        const char *message;
    };
    for (const Case &c :
         {Case{dir, ERROR_CANNOT_OPEN, "is a directory"}, Case{fifo, ERROR_CANNOT_OPEN, "not a regular file"},
          Case{"/dev/zero", ERROR_CANNOT_OPEN, "not a regular file"},
          Case{dir + "/missing.tga", ERROR_CANNOT_OPEN, "No such file"}}) {
        Image image;
        Error error;
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(load_image_file(c.path.c_str(), &image, &error), c.kind) << c.path;
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
        EXPECT_EQ(error.message.rfind(c.path + ": ", 0), 0u) << error.message;
        EXPECT_NE(error.message.find(c.message), std::string::npos) << error.message;
    }
    unlink(fifo.c_str());
    rmdir(dir.c_str());
}

}  // namespace
