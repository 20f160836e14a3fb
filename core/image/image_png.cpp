// PNG through libpng's simplified reader, to 8-bit RGBA as the importer has
// always read it.
#include <cstring>
#include <new>

#include <png.h>

#include "core/image/image_formats.h"

namespace orj {

// deflate gives at most about 1032 bytes for one it reads; a little more is allowed.
static const uint64_t PNG_MAX_INFLATE_RATIO = 1100;

// The bytes of all IDAT chunks, walked without trusting a length past the end.
static uint64_t png_compressed_bytes(const uint8_t *data, size_t size)
{
    uint64_t total = 0;
    size_t at = 8;
    while (size - at >= 12) {
        uint64_t length = (uint64_t)data[at] << 24 | data[at + 1] << 16 | data[at + 2] << 8 | data[at + 3];
        if (memcmp(data + at + 4, "IDAT", 4) == 0) total += length;
        if (length > size - at - 12) break;
        at += 12 + (size_t)length;
    }
    return total;
}

ErrorKind decode_png(const uint8_t *data, size_t size, const char *name, const ImageLimits *limits, Image *image,
                     Error *error)
{
    png_image png;
    memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, data, size)) {
        ErrorKind kind = set_error(error, ERROR_MALFORMED, name, 0, "cannot read the PNG: %s", png.message);
        png_image_free(&png);
        return kind;
    }
    bool has_alpha = (png.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    ErrorKind kind = image_check_size(png.width, png.height, name, limits, error);
    if (kind == ERROR_NONE) {
        // Each row is at least its filter byte and one bit a pixel before compression.
        uint64_t least_raw = (uint64_t)png.height * (1 + ((uint64_t)png.width + 7) / 8);
        if (png_compressed_bytes(data, size) * PNG_MAX_INFLATE_RATIO < least_raw) kind = image_truncated(name, error);
    }
    if (kind == ERROR_NONE)
        kind = image_allocate(image, (int)png.width, (int)png.height, has_alpha, name, limits, error);
    if (kind != ERROR_NONE) {
        png_image_free(&png);
        return kind;
    }
    png.format = PNG_FORMAT_RGBA;
    if (!png_image_finish_read(&png, nullptr, image->rgba.data(), 0, nullptr)) {
        kind = set_error(error, ERROR_MALFORMED, name, 0, "cannot decode the PNG: %s", png.message);
        png_image_free(&png);
        return kind;
    }
    return ERROR_NONE;
}

}  // namespace orj
