#include "display/screenshot.h"

#include <allegro.h>
#include <alleggl.h>

#include <vector>

#include "display/message.h"
#include "display/png_file.h"

bool save_screenshot(const char *path)
{
    int width = SCREEN_W;
    int height = SCREEN_H;
    std::vector<uint8_t> bottom_up((size_t)width * height * 3);
    std::vector<uint8_t> top_down(bottom_up.size());

    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_FRONT);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottom_up.data());
    glReadBuffer(GL_BACK);

    // OpenGL's rows start at the bottom; the file's at the top.
    size_t row = (size_t)width * 3;
    for (int y = 0; y < height; y++)
        std::copy(bottom_up.begin() + (size_t)y * row, bottom_up.begin() + (size_t)(y + 1) * row,
                  top_down.begin() + (size_t)(height - 1 - y) * row);

    if (!write_png_rgb(path, width, height, top_down.data())) {
        show_message("%s: cannot write the screenshot", path);
        return false;
    }
    return true;
}
