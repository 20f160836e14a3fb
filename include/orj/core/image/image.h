// Images decoded from untrusted files into plain RGBA pixels, with bounds
// checked and sizes capped before anything is allocated. The GL side turns
// them into the bitmaps and textures it draws with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "orj/core/base/error.h"

namespace orj {

// The largest image the engine takes: a side and a pixel count (1 GiB of RGBA).
constexpr int IMAGE_MAX_SIDE = 16384;
constexpr int64_t IMAGE_MAX_PIXELS = (int64_t)1 << 28;

// What a decoder takes: every image is held to the pixel count above (that
// bounds the memory); a reader of a known kind of image may allow more rows
// or columns within it (a sprite strip, core/sprites/animation_file.h).
struct ImageLimits {
    int max_width;
    int max_height;
    int64_t max_pixels;
};
constexpr ImageLimits IMAGE_LIMITS = {IMAGE_MAX_SIDE, IMAGE_MAX_SIDE, IMAGE_MAX_PIXELS};

struct Image {
    int width = 0;
    int height = 0;
    bool has_alpha = false;     // the file carries an alpha channel (else every alpha is 255)
    std::vector<uint8_t> rgba;  // width * height pixels, rows top to bottom, bytes R G B A
};

// Reads and decodes the image file at path (TGA, BMP, PCX, PNG or JPEG, told
// by its content). Refuses what is not a regular file, what is truncated or
// malformed, and images over limits (IMAGE_LIMITS when null); error names the file.
ErrorKind load_image_file(const char *path, Image *image, Error *error, const ImageLimits *limits = nullptr);

// The same for a file held in memory; name is only used in messages.
ErrorKind decode_image(const uint8_t *data, size_t size, const char *name, Image *image, Error *error,
                       const ImageLimits *limits = nullptr);

}  // namespace orj
