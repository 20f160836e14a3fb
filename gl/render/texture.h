// Images to mipmapped OpenGL textures.
#pragma once

#include <cstdint>

struct BITMAP;

// Makes a texture from a 32-bit bitmap (bytes red, green, blue, alpha) and leaves it bound.
uint32_t make_texture(BITMAP *bitmap);

// Loads an image file (any type Allegro reads, or JPEG) as a texture;
// 0 after "No cargo la imagen tio" when neither loader reads it.
uint32_t load_texture(const char *filename);

// Images without an alpha channel arrive with alpha 0 in every pixel: when
// every alpha byte of the 32-bit bitmap is 0, sets them all to 255.
void fill_missing_alpha(BITMAP *bitmap);
