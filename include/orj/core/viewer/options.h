/// @file
/// Command-line options of the viewer and the demos, for unattended runs.
#pragma once

#include <cstdint>
#include <string>

#include "orj/core/base/command_line.h"
#include "orj/core/viewer/benchmark.h"

namespace orj {

/// When a run ends by itself: after a number of passes or of seconds,
/// whichever comes first.
struct RunLimits {
    int32_t passes;  ///< -1: no limit
    double seconds;  ///< negative: no limit
};

/// What the viewer's command line asks for. The text fields point into argv
/// or at static defaults; none is owned.
struct ViewerOptions {
    RunLimits limits;              ///< `--passes` and `--seconds`
    const char *scene_path;        ///< `--scene`; data/fiche.orj by default
    const char *texture_path;      ///< `--texture`; viewer_default_texture() by default
    bool texture_given;            ///< `--texture` was given: the scene's own picture is not looked for
    int camera;                    ///< 0 to 5: the file's camera keys; 6: the orbit camera
    const char *screenshot_path;   ///< null: no screenshot
    const char *record_pattern;    ///< null: no recording; else a name pattern for every pass's picture (record_name.h)
    const char *report_json_path;  ///< null: no JSON report
    const char *trace_path;        ///< null: no per-pass trace
    RampKind ramp;                 ///< how the grid's copy count settles
    int32_t fixed_copies;          ///< 0: the count settles; else the grid draws this many copies every pass
    int progress;                  ///< 1: a line a second on stderr; 0: none; -1: when stderr is a terminal
    PaceKind pace;                 ///< passes paced to their slot, or back to back
    int32_t width;                 ///< the window's width in pixels (full screen: 0 for the desktop's)
    int32_t height;                ///< the window's height in pixels (full screen: 0 for the desktop's)
    bool fullscreen;               ///< full screen rather than a window
    bool save_run;                 ///< a run of the benchmark grid goes into the history
    const char *results_path;      ///< null: the default history
    double extra_pass_ms;          ///< a wait added to every pass: a set-up slower by a known share
};

/// The sides `--size` takes, in pixels.
enum {
    WINDOW_MIN_SIDE = 16,     ///< the smallest
    WINDOW_MAX_SIDE = 16384,  ///< the largest
};

/// "1280x720" into width and height, each from WINDOW_MIN_SIDE to
/// WINDOW_MAX_SIDE in decimal digits, nothing else on the text.
bool parse_window_size(const char *text, int32_t *width, int32_t *height);

/// Fills options from argv ("--name VALUE" or "--name=VALUE"). On OPTIONS_BAD,
/// error says what was wrong; the paths point into argv.
OptionsResult parse_viewer_options(int argc, char **argv, ViewerOptions *options, std::string *error);
/// The viewer's usage text, for command_line_answer.
const char *viewer_usage();

/// The picture named like the scene file beside it (X.orj: X.tga, .png,
/// .jpg, .jpeg, .bmp or .pcx, the first that is a regular file), "" for none.
std::string picture_beside_scene(const char *scene_path);
/// The viewer's texture for a scene that has no picture beside it (the sample
/// scene's, data/texturarobot2.tga).
const char *viewer_default_texture();

/// Adds `--passes N` and `--seconds S` to a command line, filling limits (which
/// start unlimited).
void command_line_run_limits(CommandLine *line, RunLimits *limits);

/// True once passes_done has reached the pass limit or elapsed_ticks the time limit.
bool run_limit_reached(const RunLimits *limits, int32_t passes_done, int32_t elapsed_ticks);

}  // namespace orj
