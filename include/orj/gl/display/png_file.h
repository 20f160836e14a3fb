// Writing 8-bit RGB PNG files.
#pragma once

#include <cstdint>

namespace orj {

// rgb holds height rows of width * 3 bytes, top row first.
bool write_png_rgb(const char *path, int width, int height, const uint8_t *rgb);

}  // namespace orj
