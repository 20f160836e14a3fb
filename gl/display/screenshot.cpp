#include "orj/gl/display/screenshot.h"

#include <allegro.h>
#include <alleggl.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "orj/gl/display/message.h"
#include "orj/gl/display/png_file.h"

namespace orj {

void screenshot_create(Screenshot *shot)
{
    shot->width = SCREEN_W;
    shot->height = SCREEN_H;
    shot->captured = 0;
    shot->pixels = (uint8_t *)calloc((size_t)shot->width * shot->height, 3);
    if (!shot->pixels) {
        shot->width = 0;
        shot->height = 0;
    }
}

void screenshot_capture(Screenshot *shot)
{
    if (!shot->pixels) return;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, shot->width, shot->height, GL_RGB, GL_UNSIGNED_BYTE, shot->pixels);
    shot->captured = 1;
}

bool screenshot_save(const Screenshot *shot, const char *path)
{
    if (!shot->captured) {
        show_message("%s: no frame was captured for the screenshot", path);
        return false;
    }
    // OpenGL's rows start at the bottom; the file's at the top.
    size_t row = (size_t)shot->width * 3;
    std::vector<uint8_t> top_down(row * shot->height);
    for (int y = 0; y < shot->height; y++)
        memcpy(&top_down[(size_t)(shot->height - 1 - y) * row], shot->pixels + (size_t)y * row, row);

    if (!write_png_rgb(path, shot->width, shot->height, top_down.data())) {
        show_message("%s: cannot write the screenshot", path);
        return false;
    }
    return true;
}

void screenshot_destroy(Screenshot *shot)
{
    free(shot->pixels);
    shot->pixels = nullptr;
    shot->captured = 0;
}

}  // namespace orj
