// Saving what the window shows. The software renderer does not give the
// front buffer back, so a frame is captured from the back buffer just before
// it is presented.
#pragma once

#include <cstdint>

#include "orj/core/base/error.h"

namespace orj {

struct Screenshot {
    int width;
    int height;
    uint8_t *pixels;  // RGB rows as OpenGL reads them, bottom row first
    int captured;     // nonzero once a frame has been captured
};

// Allocates room for one frame of the current display.
void screenshot_create(Screenshot *shot);
// Copies the back buffer (the frame about to be presented).
void screenshot_capture(Screenshot *shot);
// Writes the captured frame as a PNG file, top row first, through the safe
// output writer. Fails when nothing was captured or the file cannot be written.
ErrorKind screenshot_save(const Screenshot *shot, const char *path, Error *error);
void screenshot_destroy(Screenshot *shot);

}  // namespace orj
