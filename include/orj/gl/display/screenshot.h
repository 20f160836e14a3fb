/// @file
/// Saving what the window shows. The software renderer does not give the
/// front buffer back, so a frame is captured from the back buffer just before
/// it is presented.
#pragma once

#include <cstdint>

#include "orj/core/base/error.h"

namespace orj {

/// Room for one frame of the display and, once captured, its pixels. The
/// record is the caller's; its pixels are freed by screenshot_destroy.
struct Screenshot {
    int width;        ///< the display's width in pixels (0 when there is no room)
    int height;       ///< the display's height in pixels (0 when there is no room)
    uint8_t *pixels;  ///< RGB rows as OpenGL reads them, bottom row first; null when there is no room
    int captured;     ///< nonzero once a frame has been captured
};

/// Allocates room for one frame of the current display (which must be open);
/// when memory runs out, pixels is null and every capture is skipped.
void screenshot_create(Screenshot *shot);
/// Copies the back buffer (the frame about to be presented) of the current
/// OpenGL context; nothing when there is no room.
void screenshot_capture(Screenshot *shot);
/// Writes the captured frame as a PNG file, top row first, through the safe
/// output writer. ERROR_REFUSED when nothing was captured; when the file
/// cannot be written, the writer's error naming it (ERROR_CANNOT_WRITE, or
/// ERROR_REFUSED for a path that is not a regular file).
ErrorKind screenshot_save(const Screenshot *shot, const char *path, Error *error);
/// Frees the pixels; the record may then be created again.
void screenshot_destroy(Screenshot *shot);

}  // namespace orj
