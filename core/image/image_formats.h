// Shared by the per-format decoders in this folder; not for other modules.
//
// Every decoder reads through an ImageBytes, which never passes the end of the
// bytes it was given, checks the size from the header against the engine's
// limits before it allocates, and refuses data that ends early instead of
// filling the rest with zeros.
#pragma once

#include <cstddef>
#include <cstdint>

#include "orj/core/image/image.h"

namespace orj {

struct ImageBytes {
    const uint8_t *data;
    size_t size;
    size_t at;  // next byte to read
};

// Points *out at the next count bytes and moves past them; false (and nothing
// moved) when fewer remain.
bool image_bytes_take(ImageBytes *bytes, size_t count, const uint8_t **out);
bool image_bytes_u8(ImageBytes *bytes, uint32_t *value);
bool image_bytes_u16le(ImageBytes *bytes, uint32_t *value);
bool image_bytes_u32le(ImageBytes *bytes, uint32_t *value);
inline size_t image_bytes_left(const ImageBytes *bytes) { return bytes->size - bytes->at; }

// Refuses a width and height over the limits, or empty; taken as 64-bit so
// that a header's extremes cannot wrap.
ErrorKind image_check_size(int64_t width, int64_t height, const char *name, const ImageLimits *limits, Error *error);

// Sizes image->rgba for width x height pixels (opaque black) after the check above.
ErrorKind image_allocate(Image *image, int width, int height, bool has_alpha, const char *name,
                         const ImageLimits *limits, Error *error);

// Sets every pixel of the allocated image to one RGBA value.
void image_fill(Image *image, const uint8_t rgba[4]);

ErrorKind image_truncated(const char *name, Error *error);

// Palette entries are kept the way the engine's bitmaps always held them:
// 6 bits a component, widened again as (v << 2) | (v >> 4). Direct 5-bit
// components widen as (v << 3) | (v >> 2).
inline uint8_t image_palette_component(uint8_t byte) { return (uint8_t)(((byte >> 2) << 2) | (byte >> 6)); }
inline uint8_t image_widen_5(uint32_t v) { return (uint8_t)((v << 3) | (v >> 2)); }

ErrorKind decode_tga(const uint8_t *data, size_t size, const char *name, const ImageLimits *limits, Image *image,
                     Error *error);
ErrorKind decode_bmp(const uint8_t *data, size_t size, const char *name, const ImageLimits *limits, Image *image,
                     Error *error);
ErrorKind decode_pcx(const uint8_t *data, size_t size, const char *name, const ImageLimits *limits, Image *image,
                     Error *error);
ErrorKind decode_png(const uint8_t *data, size_t size, const char *name, const ImageLimits *limits, Image *image,
                     Error *error);
ErrorKind decode_jpeg(const uint8_t *data, size_t size, const char *name, const ImageLimits *limits, Image *image,
                      Error *error);

// Signatures that pick the decoder; a file matching none is read as TGA, the
// one format without a signature.
bool image_is_png(const uint8_t *data, size_t size);
bool image_is_jpeg(const uint8_t *data, size_t size);
bool image_is_bmp(const uint8_t *data, size_t size);
bool image_is_pcx(const uint8_t *data, size_t size);

}  // namespace orj
