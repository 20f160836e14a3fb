// Packing numbered TGA frames into an animation file and a JPEG strip image.
#pragma once

#include <cstdint>
#include <string>

// The first frame the interactive builder reads.
#define DEFAULT_FIRST_FRAME_NAME "c:/djgpp/bin/dibujos/render/render/0001"

// How many consecutively numbered frame files exist from name on (the count
// stops at the first missing number). 0 for a name shorter than four characters.
int32_t count_frame_files(const char *name);

enum BuildResult {
    BUILD_OK = 0,
    // The animation file cannot be written where asked: nothing was read.
    BUILD_CANNOT_WRITE_ANIMATION = 1,
    // Anything else; neither output file was changed.
    BUILD_FAILED = 2,
};

// Packs the frames that start at first_frame (a name ending in a four-digit
// number) into animation_path and strip_path. Both files are written under a
// temporary name and only put in place once complete, so a failure leaves
// existing files as they were. On failure error says what went wrong.
// Needs Allegro installed with a colour depth of 32.
BuildResult build_animation_from_frames(const char *first_frame, const char *animation_path, const char *strip_path,
                                        std::string *error);

// Asks for the animation file with Allegro's file selector, starting at path
// (size bytes). False when the person cancels.
bool ask_animation_path(char *path, int size);

// The interactive builder: packs the frames from DEFAULT_FIRST_FRAME_NAME,
// asking for another animation file while animation_path cannot be written.
// Errors are shown with show_message. False on failure or cancel.
bool build_animation(const char *animation_path, const char *strip_path);
