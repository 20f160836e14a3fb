#include "orj/gl/display/screenshot.h"

#include <allegro.h>
#include <alleggl.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "orj/core/image/image_write.h"

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

ErrorKind screenshot_save(const Screenshot *shot, const char *path, Error *error)
{
    if (!shot->captured) return set_error(error, ERROR_REFUSED, path, 0, "no frame was captured for the screenshot");
    // OpenGL's rows start at the bottom; the file's at the top.
    Image image;
    image.width = shot->width;
    image.height = shot->height;
    image.has_alpha = false;
    image.rgba.resize((size_t)shot->width * shot->height * 4);
    for (int y = 0; y < shot->height; y++) {
        const uint8_t *from = shot->pixels + (size_t)y * shot->width * 3;
        uint8_t *to = &image.rgba[(size_t)(shot->height - 1 - y) * shot->width * 4];
        for (int x = 0; x < shot->width; x++, from += 3, to += 4) {
            memcpy(to, from, 3);
            to[3] = 255;
        }
    }
    return write_png_file(path, image, error);
}

void screenshot_destroy(Screenshot *shot)
{
    free(shot->pixels);
    shot->pixels = nullptr;
    shot->captured = 0;
}

}  // namespace orj
