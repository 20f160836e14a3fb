/// @file
/// The animation file: a frame count, then one run-length record per frame,
/// every integer 32-bit little-endian.
#pragma once

#include <cstdint>
#include <cstdio>

#include "orj/core/base/error.h"
#include "orj/core/image/image.h"
#include "orj/core/sprites/animation.h"

namespace orj {

enum {
    /// Most bytes that one frame's counts, row references (4 bytes each) and
    /// run lengths may take: the reader's working area.
    FRAME_WORK_AREA_BYTES = 400000,
    /// Image files hold at most this many rows and columns; no frame nor
    /// frame count can exceed it.
    MAX_ANIMATION_SIDE = 65535,
};

/// A strip holds every frame top to bottom: as many rows as a JPEG image holds
/// (65500), within the pixel count every image is held to. The builder and
/// every loader of strips share these limits, so nothing built is refused later.
constexpr int ANIMATION_STRIP_MAX_ROWS = 65500;
/// The limits every strip is decoded within.
constexpr ImageLimits ANIMATION_STRIP_LIMITS = {IMAGE_MAX_SIDE, ANIMATION_STRIP_MAX_ROWS, IMAGE_MAX_PIXELS};

/// The largest animation file the reader can need: the count, then the most
/// frames, each with its width, height and a full working area.
constexpr int64_t ANIMATION_MAX_FILE_BYTES = 4 + (int64_t)MAX_ANIMATION_SIDE * (8 + FRAME_WORK_AREA_BYTES);

/// Bytes of the reader's working area that a frame takes: a count and a row
/// reference per row, and its run lengths. Writers check it against
/// FRAME_WORK_AREA_BYTES so that they never make a file the reader refuses.
int64_t frame_work_bytes(const AnimationFrame *frame);

/// Writes the frame count. ERROR_CANNOT_WRITE without a stream or when the write fails.
ErrorKind write_animation_count(int32_t frame_count, FILE *stream, Error *error);
/// Writes one frame record. ERROR_CANNOT_WRITE without a stream or when a write fails.
ErrorKind write_frame(const AnimationFrame *frame, FILE *stream, Error *error);

/// Reads one frame record into one block owned by the frame. On failure the
/// message says what was wrong (without a path) and the frame holds nothing
/// to release; ERROR_CANNOT_OPEN when no stream or no frame is given.
ErrorKind read_frame(AnimationFrame *frame, FILE *stream, Error *error);

/// Reads the frame count and every frame record into animation->frames (room
/// for frame_count + 1 entries); textures and bitmaps are left empty. On
/// failure the message names the file (path) and the frame, and nothing is kept.
ErrorKind read_animation_frames(FILE *stream, const char *path, Animation *animation, Error *error);

}  // namespace orj
