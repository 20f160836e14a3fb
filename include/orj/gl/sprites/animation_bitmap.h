/// @file
/// Frame records from and onto Allegro bitmaps.
#pragma once

#include "orj/core/sprites/animation.h"

namespace orj {

/// The runs of a bitmap: pixels of its mask colour (magenta) are transparent.
/// The frame owns its lists (free_frame_runs); when memory runs out it holds
/// none (frame_runs_built says so).
AnimationFrame build_frame(BITMAP *bitmap);
/// Rebuilds a 32-bit bitmap's alpha from the frame's runs: opaque pixels keep
/// their colour with alpha 255, transparent ones become grey with alpha 0.
void apply_frame_mask(BITMAP *bitmap, AnimationFrame frame);

}  // namespace orj
