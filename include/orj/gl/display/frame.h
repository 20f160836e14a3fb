/// @file
/// Presenting a finished frame and starting the next one.
#pragma once

namespace orj {

/// Flips the buffers, clears colour and depth, and sets a plain perspective
/// projection with an identity modelview. half_extent shapes nothing.
void begin_frame(float half_extent);
/// The same as begin_frame: shows the frame drawn and starts the next.
void begin_frame_plain();

/// Flat 2D drawing for a sprite view: turns the depth test off, so that
/// overlapping sprites blend in the order they were added, and clears the
/// frame to the colour given (components 0 to 1), which the frames that
/// begin_frame_plain starts keep.
void set_flat_drawing(float red, float green, float blue);

}  // namespace orj
