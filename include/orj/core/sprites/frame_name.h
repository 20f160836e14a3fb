/// @file
/// Names of numbered frame files: a path whose name ends in a frame number
/// (ball0001, ball_0001.png) or a pattern that holds one (ball%04d.png).
#pragma once

#include <cstdint>
#include <string>

#include "orj/core/base/error.h"

namespace orj {

/// Advances the four-digit counter at the end of name in place (0001 -> 0002,
/// 0999 -> 1000; a '9' in the fourth-last place becomes ':'). False, with
/// nothing changed, when the name is shorter than four characters.
bool next_frame_name(char *name);

/// A run of numbered frame files: frame n is prefix, n written with at least
/// digits digits (zero-padded), then suffix.
struct FrameSequence {
    std::string prefix;  ///< what comes before the number, folder included
    std::string suffix;  ///< what follows the number, usually the extension
    int digits = 0;      ///< the number's least width, zero-padded
    int32_t first = 0;   ///< the first frame's number
};

/// The name of the frame numbered number.
std::string frame_sequence_name(const FrameSequence *sequence, int32_t number);

/// Splits a first-frame argument into its sequence, without looking at files.
/// A pattern holds one %d or %0Nd and starts at frame 0 (the caller moves it to
/// 1 when there is no frame 0). ERROR_REFUSED, saying so, when the name ends
/// in no number.
ErrorKind parse_frame_sequence(const char *name, FrameSequence *sequence, bool *is_pattern, Error *error);

/// Resolves a first-frame argument against the files present: a name given
/// without its extension finds ball0001.tga or ball0001.png, a pattern starts
/// at frame 0 or 1. count is the number of consecutively numbered regular
/// files from the first on (at most max_count). Fails, naming the argument,
/// when no first frame exists or the name is no numbered sequence.
ErrorKind find_frame_files(const char *first_frame, int32_t max_count, FrameSequence *sequence, int32_t *count,
                           Error *error);

/// What follows a run of frames, for a warning (find_frame_gap).
struct FrameGap {
    std::string missing;  ///< the first frame not found; empty when the sequence has no gap
    std::string found;    ///< the first file of the sequence found past it
};

/// Looks past a run of count frames from sequence->first: when the folder
/// holds a later frame of the sequence (a gap in the numbering) or the next
/// frame under a name whose extension differs only in case, gap names the
/// first missing frame and that file; both stay empty otherwise.
void find_frame_gap(const FrameSequence *sequence, int32_t count, FrameGap *gap);

}  // namespace orj
