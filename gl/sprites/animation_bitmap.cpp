#include "orj/gl/sprites/animation_bitmap.h"

#include <allegro.h>

#include <vector>

#include "orj/core/sprites/frame_runs.h"

namespace orj {

AnimationFrame build_frame(BITMAP *bitmap)
{
    int width = bitmap->w;
    int height = bitmap->h;
    std::vector<uint32_t> pixels((size_t)width * (size_t)height);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) pixels[(size_t)y * width + x] = (uint32_t)getpixel(bitmap, x, y);
    return build_frame_from_pixels(pixels.data(), width, height, (uint32_t)bitmap_mask_color(bitmap));
}

void apply_frame_mask(BITMAP *bitmap, AnimationFrame frame)
{
    if (bitmap_color_depth(bitmap) != 32) return;
    std::vector<uint32_t *> rows((size_t)bitmap->h);
    for (int y = 0; y < bitmap->h; y++) rows[(size_t)y] = (uint32_t *)bitmap->line[y];
    apply_frame_mask_rows(rows.data(), bitmap->w, bitmap->h, &frame);
}

}  // namespace orj
