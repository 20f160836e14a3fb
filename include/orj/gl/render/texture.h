/// @file
/// Images to mipmapped OpenGL textures.
#pragma once

#include <cstdint>

struct BITMAP;

namespace orj {

/// Makes a texture from a 32-bit bitmap (bytes red, green, blue, alpha) and
/// leaves it bound. The bitmap stays the caller's; the texture is the
/// caller's too (destroy_texture). Needs the OpenGL context.
uint32_t make_texture(BITMAP *bitmap);

/// Loads an image file (TGA, BMP, PCX, PNG or JPEG) as a texture; 0 after
/// "No cargo la imagen tio" and the reason, naming the file, when it cannot be
/// read. The texture is the caller's (destroy_texture).
uint32_t load_texture(const char *filename);

/// Images without an alpha channel arrive with alpha 0 in every pixel: when
/// every alpha byte of the 32-bit bitmap is 0, sets them all to 255.
void fill_missing_alpha(BITMAP *bitmap);

/// Deletes a texture made by make_texture or load_texture (0 is ignored).
void destroy_texture(uint32_t texture);

}  // namespace orj
