/// @file
/// Decoded images as Allegro bitmaps.
#pragma once

#include "orj/core/base/error.h"
#include "orj/core/image/image.h"

struct BITMAP;

namespace orj {

/// A 32-bit bitmap holding the image's pixels the way Allegro's own loaders
/// left them in the engine's bitmaps: an image without an alpha channel has
/// alpha 0 in every pixel, so its magenta pixels match bitmap_mask_color. The
/// caller destroys it with destroy_bitmap; NULL when Allegro has no memory.
/// Call after the graphics mode is set (it fixes the pixel layout).
BITMAP *create_image_bitmap(const Image *image);

/// load_image_file (within limits, IMAGE_LIMITS when null), then
/// create_image_bitmap; NULL with error filled on failure.
BITMAP *load_image_bitmap(const char *path, Error *error, const ImageLimits *limits = nullptr);

}  // namespace orj
