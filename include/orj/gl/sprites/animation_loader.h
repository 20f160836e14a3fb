/// @file
/// Loading an animation file and its strip image into one texture per frame.
#pragma once

#include "orj/core/base/error.h"
#include "orj/core/sprites/animation.h"

namespace orj {

/// Loads an animation file and its JPEG strip into one texture per frame (the
/// current OpenGL context's), rebuilding each frame's alpha from its runs:
/// the strip holds colours only. The animation owns its frames and textures
/// (delete_animation_textures, then destroy_animation). On failure error's
/// message names the file (and the frame; a file that cannot be opened gets
/// the fixed "No se pudo abrir el archivo: PATH" first), and nothing is kept.
ErrorKind load_animation(const char *animation_path, const char *strip_path, Animation *animation, Error *error);

/// The same with a TGA strip, whose colours and alpha are used as stored (an
/// image without alpha is taken as opaque); the runs are read but not applied.
ErrorKind load_animation_tga(const char *animation_path, const char *strip_path, Animation *animation, Error *error);

/// Deletes the GL textures of an animation and releases its textures list.
void delete_animation_textures(Animation *animation);

}  // namespace orj
