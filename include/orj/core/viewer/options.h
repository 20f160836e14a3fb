// Command-line options of the viewer and the demos, for unattended runs.
#pragma once

#include <cstdint>
#include <string>

#include "orj/core/viewer/benchmark.h"

namespace orj {

struct RunLimits {
    int32_t passes;  // -1: no limit
    double seconds;  // negative: no limit
};

struct ViewerOptions {
    RunLimits limits;
    const char *scene_path;
    const char *texture_path;
    int camera;                   // 0 to 5: the file's camera keys; 6: the orbit camera
    const char *screenshot_path;  // null: no screenshot
    const char *record_pattern;  // null: no recording; else a name for every pass's picture (core/viewer/record_name.h)
    const char *report_json_path;  // null: no JSON report
    const char *trace_path;        // null: no per-pass trace
    RampKind ramp;                 // how the grid's copy count settles
    int32_t fixed_copies;          // 0: the count settles; else the grid draws this many copies every pass
    int progress;                  // 1: a line a second on stderr; 0: none; -1: when stderr is a terminal
};

enum OptionsResult {
    OPTIONS_RUN,
    OPTIONS_HELP,
    OPTIONS_BAD,
};

// An integer from 0 to 2^31 - 1, nothing else on the text.
bool parse_count(const char *text, int32_t *value);
// A finite, non-negative number of seconds.
bool parse_seconds(const char *text, double *value);

// Matches "--name" or "--name=value"; *value gets what follows '=' or null.
bool match_option(const char *arg, const char *name, const char **value);
// The option's value: inline_value (after '='), else the next argument
// (moving *index past it), else null.
const char *option_value(int argc, char **argv, int *index, const char *inline_value);

// Fills options from argv ("--name VALUE" or "--name=VALUE"). On OPTIONS_BAD,
// error says what was wrong.
OptionsResult parse_viewer_options(int argc, char **argv, ViewerOptions *options, std::string *error);
const char *viewer_usage();

// Reads "--passes" and "--seconds" at argv[*index] into limits, taking the
// value from the next argument or after '='. Returns 1 when taken (and moves
// *index past it), 0 when argv[*index] is neither, -1 when its value is bad.
int take_run_limit(int argc, char **argv, int *index, RunLimits *limits, std::string *error);

// True once passes_done has reached the pass limit or elapsed_ticks the time limit.
bool run_limit_reached(const RunLimits *limits, int32_t passes_done, int32_t elapsed_ticks);

}  // namespace orj
