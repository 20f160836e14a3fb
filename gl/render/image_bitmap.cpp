#include "orj/gl/render/image_bitmap.h"

#include <allegro.h>

namespace orj {

BITMAP *create_image_bitmap(const Image *image)
{
    BITMAP *bitmap = create_bitmap_ex(32, image->width, image->height);
    if (!bitmap) return nullptr;
    for (int y = 0; y < image->height; y++) {
        const uint8_t *p = &image->rgba[(size_t)y * image->width * 4];
        uint32_t *row = (uint32_t *)bitmap->line[y];
        for (int x = 0; x < image->width; x++, p += 4)
            row[x] = (uint32_t)makeacol32(p[0], p[1], p[2], image->has_alpha ? p[3] : 0);
    }
    return bitmap;
}

BITMAP *load_image_bitmap(const char *path, Error *error, const ImageLimits *limits)
{
    Image image;
    if (load_image_file(path, &image, error, limits) != ERROR_NONE) return nullptr;
    BITMAP *bitmap = create_image_bitmap(&image);
    if (!bitmap)
        set_error(error, ERROR_OUT_OF_MEMORY, path, 0, "no memory for a %d x %d bitmap", image.width, image.height);
    return bitmap;
}

}  // namespace orj
