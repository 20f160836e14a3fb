/// @file
/// Images decoded from untrusted files into plain RGBA pixels, with bounds
/// checked and sizes capped before anything is allocated. The GL side turns
/// them into the bitmaps and textures it draws with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "orj/core/base/error.h"

namespace orj {

/// The largest side of an image the engine takes.
constexpr int IMAGE_MAX_SIDE = 16384;
/// The most pixels of an image the engine takes (1 GiB of RGBA).
constexpr int64_t IMAGE_MAX_PIXELS = (int64_t)1 << 28;

/// What a decoder takes: every image is held to IMAGE_MAX_PIXELS (that bounds
/// the memory); a reader of a known kind of image may allow more rows or
/// columns within it (a sprite strip, orj/core/sprites/animation_file.h).
struct ImageLimits {
    int max_width;       ///< columns
    int max_height;      ///< rows
    int64_t max_pixels;  ///< columns times rows
};
/// The limits of every image but a sprite strip.
constexpr ImageLimits IMAGE_LIMITS = {IMAGE_MAX_SIDE, IMAGE_MAX_SIDE, IMAGE_MAX_PIXELS};

/// The engine's one image record: what the decoders fill and the writers
/// (orj/core/image/image_write.h) take. It owns its pixels.
struct Image {
    int width = 0;              ///< columns
    int height = 0;             ///< rows
    bool has_alpha = false;     ///< the file carries an alpha channel (else every alpha is 255)
    std::vector<uint8_t> rgba;  ///< width * height pixels, rows top to bottom, bytes R G B A
};

/// Reads and decodes the image file at path (TGA, BMP, PCX, PNG or JPEG, told
/// by its content). Refuses what is not a regular file, what is truncated or
/// malformed, and images over limits (IMAGE_LIMITS when null); error names the file.
ErrorKind load_image_file(const char *path, Image *image, Error *error, const ImageLimits *limits = nullptr);

/// The same for a file held in memory; name is only used in messages.
ErrorKind decode_image(const uint8_t *data, size_t size, const char *name, Image *image, Error *error,
                       const ImageLimits *limits = nullptr);

}  // namespace orj
