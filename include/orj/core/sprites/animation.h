/// @file
/// Sprite animations: one frame's size and transparency runs, and a loaded
/// animation (one texture per frame).
#pragma once

#include <cstdint>

struct BITMAP;

namespace orj {

/// One frame's size and its rows' transparency runs. A row of k boundaries has
/// k + 1 runs that alternate transparent, opaque, transparent... starting with
/// a (possibly empty) transparent run; they add up to width.
struct AnimationFrame {
    int32_t width;        ///< pixels across
    int32_t height;       ///< rows
    int32_t *run_counts;  ///< k of every row
    int32_t **runs;       ///< every row's k + 1 run lengths
    void *block;          ///< frames read from a file: the one block holding all the above
    int32_t block_size;   ///< bytes of block; 0 for a frame built with separate lists
    /// Opaque runs that end before their row's right edge, summed over the rows.
    int32_t opaque_pixels;
};

/// A loaded animation (load_animation): its frames' records and one OpenGL
/// texture per frame. It owns all of them: delete_animation_textures, then
/// destroy_animation, release them.
struct Animation {
    int32_t frame_count;     ///< entries of frames and textures
    int32_t pixel_bytes;     ///< width * height * 4 summed over the frames
    uint32_t *textures;      ///< GL texture of frame i
    AnimationFrame *frames;  ///< the frames' records, frame_count of them
    BITMAP **bitmaps;        ///< working slot of frame i while its texture is made
};

/// Releases a frame made by build_frame (separate row lists).
void free_frame_runs(AnimationFrame frame);
/// Releases a frame made by read_frame (one block).
void free_frame_block(AnimationFrame frame);
/// Releases the frames' blocks and the bitmaps and frames lists; the textures
/// are the caller's (see delete_animation_textures).
void destroy_animation(Animation *animation);

}  // namespace orj
