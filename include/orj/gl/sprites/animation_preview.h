/// @file
/// What the engine shows of an animation, transparency applied, as a picture
/// for people: an animated GIF or a PNG contact sheet (the command anim preview).
#pragma once

#include "orj/core/base/error.h"

namespace orj {

/// Writes the frames of animation_path cut from strip_path (JPEG: alpha from
/// the runs; TGA: alpha as stored) to output_path: an animated GIF when it ends
/// in .gif (40 ms a frame, looping), a contact sheet over a checkerboard when
/// it ends in .png (any other name is refused, ERROR_REFUSED); the strip's
/// format is judged by its content, not its name. frame_count receives the
/// number of frames shown.
/// The output is written under a temporary name beside it and put in place
/// when complete; an output that is one of the inputs, or not a regular file,
/// is refused (ERROR_REFUSED). Errors name the file: the animation or strip
/// that cannot be read or does not match (ERROR_MALFORMED and the reader's
/// kinds), a contact sheet over the image limit (ERROR_TOO_LARGE), the output
/// that cannot be written (ERROR_CANNOT_WRITE).
ErrorKind write_animation_preview(const char *animation_path, const char *strip_path, const char *output_path,
                                  int *frame_count, Error *error);

}  // namespace orj
