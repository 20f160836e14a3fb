// Reading and writing 8-bit RGB PNG files.
#pragma once

#include <cstdint>
#include <vector>

// rgb holds height rows of width * 3 bytes, top row first.
bool write_png_rgb(const char *path, int width, int height, const uint8_t *rgb);

// Reads any PNG as 8-bit RGB, top row first. False when it cannot be read.
bool read_png_rgb(const char *path, int *width, int *height, std::vector<uint8_t> *rgb);
