/// @file
/// Writing images: the engine's one TGA writer and one PNG writer, for every
/// program, with or without a window. Files are written through
/// orj/core/base/output_file.h, so a failure leaves the old file as it was.
#pragma once

#include <cstdint>
#include <vector>

#include "orj/core/base/error.h"
#include "orj/core/image/image.h"

namespace orj {

/// An uncompressed true-colour TGA, rows bottom first: 32 bits with 8 alpha
/// bits when image.has_alpha, else 24 bits. Refuses a side over 65535 (the
/// format's limit); name is only used in messages.
ErrorKind encode_tga(const Image &image, const char *name, std::vector<uint8_t> *bytes, Error *error);

/// An 8-bit PNG: RGBA when image.has_alpha, else RGB.
ErrorKind encode_png(const Image &image, const char *name, std::vector<uint8_t> *bytes, Error *error);

/// encode_tga written to path (orj/core/base/output_file.h).
ErrorKind write_tga_file(const char *path, const Image &image, Error *error);
/// encode_png written to path (orj/core/base/output_file.h).
ErrorKind write_png_file(const char *path, const Image &image, Error *error);

}  // namespace orj
