#include "render/texture.h"

#include <allegro.h>
#include <alleggl.h>
#include <jpgalleg.h>
#include <GL/glu.h>

#include "display/message.h"

uint32_t make_texture(BITMAP *bitmap)
{
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 4, bitmap->w, bitmap->h, GL_RGBA, GL_UNSIGNED_BYTE, bitmap->line[0]);
    return name;
}

void fill_missing_alpha(BITMAP *bitmap)
{
    if (bitmap_color_depth(bitmap) != 32) return;
    for (int y = 0; y < bitmap->h; y++) {
        const uint8_t *row = bitmap->line[y];
        for (int x = 0; x < bitmap->w; x++)
            if (row[x * 4 + 3] != 0) return;
    }
    for (int y = 0; y < bitmap->h; y++) {
        uint8_t *row = bitmap->line[y];
        for (int x = 0; x < bitmap->w; x++) row[x * 4 + 3] = 255;
    }
}

uint32_t load_texture(const char *filename)
{
    BITMAP *bitmap = load_bitmap(filename, nullptr);
    if (!bitmap) bitmap = load_jpg(filename, nullptr);
    if (!bitmap) {
        show_message("No cargo la imagen tio");
        return 0;
    }
    fill_missing_alpha(bitmap);
    uint32_t name = make_texture(bitmap);
    destroy_bitmap(bitmap);
    return name;
}
