// Loading an animation file and its strip image into one texture per frame.
#pragma once

#include "core/base/error.h"

#include <string>

#include "core/sprites/animation.h"

enum StripKind {
    // Colours only: the alpha channel is rebuilt from the frames' runs.
    STRIP_JPEG,
    // Colours and alpha as stored (an image without alpha is taken as opaque).
    STRIP_TGA,
};

// Loads an animation and makes its textures. On failure error's message names
// the file (and the frame; a file that cannot be opened gets the fixed
// "No se pudo abrir el archivo: PATH" first), and nothing is kept.
ErrorKind try_load_animation(const char *animation_path, const char *strip_path, StripKind kind, Animation *animation,
                             Error *error);

// Load or end the process with status 1 after showing what went wrong
// ("No se pudo abrir el archivo: %s" for a file that cannot be opened).
Animation load_animation(const char *animation_path, const char *strip_path);
Animation load_animation_tga(const char *animation_path, const char *strip_path);

// Deletes the GL textures of an animation and releases its textures list.
void delete_animation_textures(Animation *animation);
