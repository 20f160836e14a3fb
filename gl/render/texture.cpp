#include "orj/gl/render/texture.h"

#include <allegro.h>
#include <alleggl.h>
#include <GL/glu.h>

#include "orj/gl/display/message.h"
#include "orj/gl/render/image_bitmap.h"

namespace orj {

// OpenGL reads width * height * 4 bytes from the first row on: true when the
// bitmap holds exactly that (32 bits, rows one after another).
static bool rows_are_packed(BITMAP *bitmap)
{
    if (bitmap_color_depth(bitmap) != 32) return false;
    for (int y = 1; y < bitmap->h; y++)
        if (bitmap->line[y] != bitmap->line[y - 1] + (size_t)bitmap->w * 4) return false;
    return true;
}

uint32_t make_texture(BITMAP *bitmap)
{
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    // An empty image has no first row to read: the texture stays empty.
    if (bitmap->w <= 0 || bitmap->h <= 0) return name;
    // Other depths and sub-bitmaps go through a packed 32-bit copy.
    BITMAP *packed = rows_are_packed(bitmap) ? bitmap : create_bitmap_ex(32, bitmap->w, bitmap->h);
    if (packed && packed != bitmap) {
        blit(bitmap, packed, 0, 0, 0, 0, bitmap->w, bitmap->h);
        if (bitmap_color_depth(bitmap) != 32) fill_missing_alpha(packed);
    }
    if (packed) gluBuild2DMipmaps(GL_TEXTURE_2D, 4, packed->w, packed->h, GL_RGBA, GL_UNSIGNED_BYTE, packed->line[0]);
    if (packed && packed != bitmap) destroy_bitmap(packed);
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
    Error error;
    BITMAP *bitmap = load_image_bitmap(filename, &error);
    if (!bitmap) {
        show_message("No cargo la imagen tio\n%s", error.message.c_str());
        return 0;
    }
    fill_missing_alpha(bitmap);
    uint32_t name = make_texture(bitmap);
    destroy_bitmap(bitmap);
    return name;
}

void destroy_texture(uint32_t texture)
{
    if (texture == 0) return;
    GLuint name = texture;
    glDeleteTextures(1, &name);
}

}  // namespace orj
