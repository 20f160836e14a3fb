/// @file
/// Turning a frame's pixels into transparency runs.
#pragma once

#include <cstdint>

#include "orj/core/sprites/animation.h"

namespace orj {

/// Builds the runs of a width x height frame whose pixels lie row after row,
/// top row first; a pixel equal to mask_color is transparent. The frame owns
/// its lists (free_frame_runs); when memory runs out it holds none
/// (frame_runs_built says so) and there is nothing to free.
AnimationFrame build_frame_from_pixels(const uint32_t *pixels, int32_t width, int32_t height, uint32_t mask_color);
/// The same from one byte per pixel, nonzero where the pixel is transparent.
AnimationFrame build_frame_from_transparency(const uint8_t *transparent, int32_t width, int32_t height);
/// False for a frame whose lists could not be allocated.
bool frame_runs_built(const AnimationFrame *frame);

/// Sets every pixel of a bitmap_width x bitmap_height image (rows[y] is row y)
/// opaque (alpha byte 255) and turns the pixels that the frame's runs call
/// transparent into grey 128, 128, 128 with alpha 0. Runs and rows beyond the
/// image are ignored.
void apply_frame_mask_rows(uint32_t *const *rows, int32_t bitmap_width, int32_t bitmap_height,
                           const AnimationFrame *frame);

}  // namespace orj
