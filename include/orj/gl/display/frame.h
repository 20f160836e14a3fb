// Presenting a finished frame and starting the next one.
#pragma once

namespace orj {

// Flips the buffers, clears colour and depth, and sets a plain perspective
// projection with an identity modelview. half_extent shapes nothing.
void begin_frame(float half_extent);
void begin_frame_plain();

}  // namespace orj
