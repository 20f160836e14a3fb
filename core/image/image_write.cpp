#include "orj/core/image/image_write.h"

#include <png.h>

#include <cstring>
#include <new>

#include "orj/core/base/output_file.h"

namespace orj {

static const int TGA_MAX_SIDE = 65535;

ErrorKind encode_tga(const Image &image, const char *name, std::vector<uint8_t> *bytes, Error *error)
{
    if (image.width < 1 || image.height < 1 || image.width > TGA_MAX_SIDE || image.height > TGA_MAX_SIDE)
        return set_error(error, ERROR_TOO_LARGE, name, 0,
                         "an image of %d x %d does not fit a TGA file (1 to %d a side)", image.width, image.height,
                         TGA_MAX_SIDE);
    int depth = image.has_alpha ? 4 : 3;
    try {
        bytes->assign(18 + (size_t)image.width * image.height * depth, 0);
    } catch (const std::bad_alloc &) {
        return set_error(error, ERROR_OUT_OF_MEMORY, name, 0, "no memory for a TGA of %d x %d", image.width,
                         image.height);
    }
    uint8_t *header = bytes->data();
    header[2] = 2;  // uncompressed true colour
    header[12] = (uint8_t)(image.width & 0xFF);
    header[13] = (uint8_t)(image.width >> 8);
    header[14] = (uint8_t)(image.height & 0xFF);
    header[15] = (uint8_t)(image.height >> 8);
    header[16] = (uint8_t)(8 * depth);
    header[17] = image.has_alpha ? 8 : 0;  // alpha bits; rows bottom first
    uint8_t *out = header + 18;
    for (int y = image.height - 1; y >= 0; y--) {
        const uint8_t *p = &image.rgba[(size_t)y * image.width * 4];
        for (int x = 0; x < image.width; x++, p += 4, out += depth) {
            out[0] = p[2];
            out[1] = p[1];
            out[2] = p[0];
            if (depth == 4) out[3] = p[3];
        }
    }
    return ERROR_NONE;
}

struct PngSink {
    std::vector<uint8_t> *bytes;
    bool out_of_memory;
};

static void png_sink_write(png_structp png, png_bytep data, png_size_t length)
{
    PngSink *sink = (PngSink *)png_get_io_ptr(png);
    try {
        sink->bytes->insert(sink->bytes->end(), data, data + length);
    } catch (const std::bad_alloc &) {
        sink->out_of_memory = true;
        png_error(png, "out of memory");
    }
}

static void png_sink_flush(png_structp) {}

ErrorKind encode_png(const Image &image, const char *name, std::vector<uint8_t> *bytes, Error *error)
{
    if (image.width < 1 || image.height < 1)
        return set_error(error, ERROR_MALFORMED, name, 0, "an empty image (%d x %d) makes no PNG", image.width,
                         image.height);
    bytes->clear();
    PngSink sink = {bytes, false};
    int channels = image.has_alpha ? 4 : 3;
    std::vector<uint8_t> row((size_t)image.width * channels);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        bytes->clear();
        if (sink.out_of_memory || !info) return set_error(error, ERROR_OUT_OF_MEMORY, name, 0, "no memory for the PNG");
        return set_error(error, ERROR_CANNOT_WRITE, name, 0, "the PNG cannot be encoded");
    }
    png_set_write_fn(png, &sink, png_sink_write, png_sink_flush);
    png_set_IHDR(png, info, (png_uint_32)image.width, (png_uint_32)image.height, 8,
                 image.has_alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; y++) {
        const uint8_t *from = &image.rgba[(size_t)y * image.width * 4];
        for (int x = 0; x < image.width; x++)
            memcpy(&row[(size_t)x * channels], from + (size_t)x * 4, (size_t)channels);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return ERROR_NONE;
}

ErrorKind write_tga_file(const char *path, const Image &image, Error *error)
{
    std::vector<uint8_t> bytes;
    ErrorKind kind = encode_tga(image, path, &bytes, error);
    return kind != ERROR_NONE ? kind : write_output_file(path, bytes.data(), bytes.size(), error);
}

ErrorKind write_png_file(const char *path, const Image &image, Error *error)
{
    std::vector<uint8_t> bytes;
    ErrorKind kind = encode_png(image, path, &bytes, error);
    return kind != ERROR_NONE ? kind : write_output_file(path, bytes.data(), bytes.size(), error);
}

}  // namespace orj
