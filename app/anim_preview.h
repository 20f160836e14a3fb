// anim preview: what the engine shows of an animation, as an animated GIF or
// a PNG contact sheet.
#pragma once

#include "orj/core/base/error.h"

using namespace orj;

// Writes the frames of animation_path cut from strip_path (JPEG: alpha from
// the runs; TGA: alpha as stored) to output_path: an animated GIF when it ends
// in .gif (40 ms a frame, looping), a contact sheet over a checkerboard when
// it ends in .png. frame_count receives the number of frames shown.
ErrorKind write_animation_preview(const char *animation_path, const char *strip_path, const char *output_path,
                                  int *frame_count, Error *error);
