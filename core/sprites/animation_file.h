// The animation file: a frame count, then one run-length record per frame,
// every integer 32-bit little-endian.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/sprites/animation.h"

enum {
    // Most bytes that one frame's counts, row references (4 bytes each) and
    // run lengths may take: the reader's working area.
    FRAME_WORK_AREA_BYTES = 400000,
    // Image files hold at most this many rows and columns; no frame nor
    // frame count can exceed it.
    MAX_ANIMATION_SIDE = 65535,
};

enum FrameReadResult {
    FRAME_READ_OK = 1,
    FRAME_READ_NOTHING = 0,  // no stream or no frame given
    FRAME_READ_ENDS_EARLY = -1,
    FRAME_READ_BAD_SIZE = -2,
    FRAME_READ_BAD_RUN_COUNT = -3,
    FRAME_READ_BAD_RUN = -4,
    FRAME_READ_BAD_RUN_SUM = -5,
    FRAME_READ_TOO_BIG = -6,
    FRAME_READ_BAD_OPAQUE_COUNT = -7,
};

// Writes the frame count. False when no stream is given or the write fails.
bool write_animation_count(int32_t frame_count, FILE *stream);
// Writes one frame record: 1 after writing, 0 without a stream, -1 when a write fails.
int write_frame(const AnimationFrame *frame, FILE *stream);

// Reads one frame record into one block owned by the frame. Returns
// FRAME_READ_OK, FRAME_READ_NOTHING or one of the errors; on anything but
// FRAME_READ_OK the frame holds nothing to release.
int read_frame(AnimationFrame *frame, FILE *stream);
// What went wrong, for a result of read_frame.
const char *frame_read_error_text(int result);

// Reads the frame count and every frame record into animation->frames (room
// for frame_count + 1 entries); textures and bitmaps are left empty. On
// failure, error names the file (path) and the frame, and nothing is kept.
bool read_animation_frames(FILE *stream, const char *path, Animation *animation, std::string *error);
