/// @file
/// Packing frames (numbered image files or the cells of a sprite sheet) into
/// an animation file and a JPEG strip image, optionally a TGA strip too.
#pragma once

#include <cstdint>
#include <string>

#include "orj/core/base/error.h"

/// The first frame the interactive builder reads.
#define DEFAULT_FIRST_FRAME_NAME "c:/djgpp/bin/dibujos/render/render/0001"

namespace orj {

/// How many consecutively numbered frame files exist from name on (the count
/// stops at the first missing number). 0 for a name shorter than four characters.
int32_t count_frame_files(const char *name);

/// The build options' defaults.
enum {
    DEFAULT_ALPHA_THRESHOLD = 128,  ///< alpha below this is transparent
    DEFAULT_MASK_RGB = 0xff00ff,    ///< magenta, the engine's mask colour
    /// Quality 100 rather than the JPEG writer's usual 75: the strip is the only copy of the colours.
    DEFAULT_STRIP_QUALITY = 100,
};

/// What build_animation_with packs and how; the defaults build from numbered
/// frames. The strings are the caller's.
struct BuildOptions {
    /// The frames: a first frame name or pattern (ball0001, ball0001.png,
    /// ball%04d.png), or a sprite sheet cut into cells of cell_width x cell_height.
    const char *first_frame = nullptr;
    const char *sheet_path = nullptr;  ///< the sprite sheet, or null for numbered frames
    int cell_width = 0;                ///< a sheet's cell width in pixels
    int cell_height = 0;               ///< a sheet's cell height in pixels
    int32_t sheet_frames = 0;          ///< cells taken from the sheet; 0: all but the empty trailing ones
    /// Frames with an alpha channel: alpha below this is transparent. Frames
    /// without one: pixels of mask_rgb (0xRRGGBB) are, and those within mask_fuzz of it.
    int alpha_threshold = DEFAULT_ALPHA_THRESHOLD;
    uint32_t mask_rgb = DEFAULT_MASK_RGB;  ///< the transparent colour of frames without alpha, 0xRRGGBB
    /// How near mask_rgb a colour may be and still be transparent: a Euclidean
    /// distance in RGB, in per cent of the full channel range (255), as image
    /// tools' fuzz takes it; 0 to 100.
    double mask_fuzz = 0.0;
    int strip_quality = DEFAULT_STRIP_QUALITY;  ///< the JPEG strip's quality, 1 to 100
    const char *strip_tga_path = nullptr;       ///< also a 32-bit TGA strip, colours exact, alpha 0 where transparent
};

/// What a build packed, for the summary line.
struct BuildSummary {
    int32_t frame_count = 0;   ///< frames packed
    int width = 0;             ///< the frames' width in pixels
    int height = 0;            ///< the frames' height in pixels
    int64_t opaque_count = 0;  ///< opaque pixels over all frames
    /// Pixels of alpha between 0 and 255 taken as opaque (at or over the threshold).
    int64_t half_made_opaque = 0;
    int64_t half_made_transparent = 0;  ///< and those taken as transparent
    /// Frames without alpha: the squared RGB distance from the mask colour to
    /// the nearest colour left opaque; -1 when none was.
    int nearest_mask_distance = -1;
    uint32_t nearest_mask_rgb = 0;  ///< that colour, 0xRRGGBB
    /// Numbered frames only: the first frame not found when a later frame of
    /// the sequence (or the next one, its extension in another case) exists;
    /// empty when the sequence has no gap.
    std::string gap_missing;
    std::string gap_found;  ///< the file found past the gap
};

/// Packs the frames into animation_path and strip_path. Every output is
/// written under a unique temporary name and put in place once complete, so a
/// failure leaves existing files as they were; the outputs are put in place as
/// one set (orj/core/base/output_file.h), so two builds of one animation never
/// leave one's strip beside the other's animation file. Outputs that are not
/// regular files, or that are the same file as an input or another output,
/// are refused. Frames whose runs the loaders could not read, and strips over
/// ANIMATION_STRIP_LIMITS, are refused before anything is put in place; the
/// JPEG strip is read back before it is written. ERROR_CANNOT_WRITE with error->path equal to
/// animation_path means the animation file cannot be written there (nothing
/// was read). Needs Allegro installed with a colour depth of 32.
ErrorKind build_animation_with(const BuildOptions *options, const char *animation_path, const char *strip_path,
                               BuildSummary *summary, Error *error);

/// The same for numbered frames with the default options.
ErrorKind build_animation_from_frames(const char *first_frame, const char *animation_path, const char *strip_path,
                                      Error *error);

/// Asks for the animation file with Allegro's file selector, starting at path
/// (size bytes). False when the person cancels.
bool ask_animation_path(char *path, int size);

/// The interactive builder: packs the frames from DEFAULT_FIRST_FRAME_NAME,
/// asking for another animation file while animation_path cannot be written.
/// Errors are shown with show_message. False on failure or cancel.
bool build_animation(const char *animation_path, const char *strip_path);

}  // namespace orj
