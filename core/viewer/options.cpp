#include "orj/core/viewer/options.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "orj/core/viewer/orbit.h"
#include "orj/core/viewer/playback.h"
#include "orj/core/viewer/record_name.h"

namespace orj {

// --passes and --seconds, which the viewer and the sprite demo share.
void command_line_run_limits(CommandLine *line, RunLimits *limits)
{
    limits->passes = -1;
    limits->seconds = -1.0;
    command_line_count(line, "--passes", &limits->passes, 0, INT32_MAX,
                       "--passes needs a whole number of passes, 0 or more");
    command_line_number(line, "--seconds", &limits->seconds, 0.0, true, HUGE_VAL,
                        "--seconds needs a number of seconds, 0 or more");
}

// The sample scene's texture: the viewer's default, and the picture of a
// scene that has none beside it.
static const char DEFAULT_TEXTURE[] = "data/texturarobot2.tga";

static void set_viewer_defaults(ViewerOptions *options)
{
    options->scene_path = "data/fiche.orj";
    options->texture_path = DEFAULT_TEXTURE;
    options->camera = FIRST_CAMERA;
    options->screenshot_path = nullptr;
    options->record_pattern = nullptr;
    options->report_json_path = nullptr;
    options->trace_path = nullptr;
    options->ramp = RAMP_GEOMETRIC;
    options->fixed_copies = 0;
    options->progress = -1;
    options->pace = PACE_SLOT;
    options->width = 640;
    options->height = 480;
    options->fullscreen = false;
    options->save_run = true;
    options->results_path = nullptr;
    options->extra_pass_ms = 0.0;
}

static bool parse_side(const std::string &text, int32_t *side)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    long value = strtol(text.c_str(), nullptr, 10);
    if (value < WINDOW_MIN_SIDE || value > WINDOW_MAX_SIDE) return false;
    *side = (int32_t)value;
    return true;
}

bool parse_window_size(const char *text, int32_t *width, int32_t *height)
{
    const char *x = text ? strchr(text, 'x') : nullptr;
    int32_t w = 0, h = 0;
    if (!x || !parse_side(std::string(text, (size_t)(x - text)), &w) || !parse_side(x + 1, &h)) return false;
    *width = w;
    *height = h;
    return true;
}

// The window's and the history's options, once each is read.
static void check_window_and_history(ViewerOptions *options, const char *pace, const char *size, bool no_save,
                                     std::string *error)
{
    if (pace && strcmp(pace, "slot") != 0 && strcmp(pace, "none") != 0) *error = "--pace needs slot or none";
    else if (size && !parse_window_size(size, &options->width, &options->height))
        *error = "--size needs WIDTHxHEIGHT, each from " + std::to_string((int)WINDOW_MIN_SIDE) + " to " +
                 std::to_string((int)WINDOW_MAX_SIDE) + " (e.g. 1280x720)";
    else if (no_save && options->results_path)
        *error = "--no-save keeps the run out of the history: it takes no --results-db";
    if (pace) options->pace = strcmp(pace, "none") == 0 ? PACE_NONE : PACE_SLOT;
    if (options->fullscreen && !size) options->width = options->height = 0;
    options->save_run = !no_save;
}

// What the options' values say together, once each is read.
static OptionsResult check_viewer_options(ViewerOptions *options, const char *ramp, std::string *error)
{
    if (!error->empty()) return OPTIONS_BAD;
    if (options->screenshot_path && strcmp(options->screenshot_path, "-") == 0)
        *error = "--screenshot cannot write the image to standard output (-): give a file";
    else if (options->record_pattern && !check_record_pattern(options->record_pattern))
        *error = "--record needs a file name pattern with one number field, such as shots/frame%04d.png";
    else if (ramp && strcmp(ramp, "geometric") != 0 && strcmp(ramp, "linear") != 0)
        *error = "--ramp needs geometric or linear";
    else if (ramp && options->fixed_copies > 0) *error = "--copies fixes the grid's count: it takes no --ramp";
    if (!error->empty()) return OPTIONS_BAD;
    if (ramp) options->ramp = strcmp(ramp, "linear") == 0 ? RAMP_LINEAR : RAMP_GEOMETRIC;
    options->texture_given = options->texture_path != DEFAULT_TEXTURE;
    return OPTIONS_RUN;
}

OptionsResult parse_viewer_options(int argc, char **argv, ViewerOptions *options, std::string *error)
{
    set_viewer_defaults(options);
    const char *ramp = nullptr;
    CommandLine *line = command_line_create();
    command_line_run_limits(line, &options->limits);
    command_line_text(line, "--scene", &options->scene_path, "--scene needs a path");
    command_line_text(line, "--texture", &options->texture_path, "--texture needs a path");
    command_line_text(line, "--screenshot", &options->screenshot_path, "--screenshot needs a path");
    command_line_text(line, "--report-json", &options->report_json_path, "--report-json needs a path");
    command_line_text(line, "--trace", &options->trace_path, "--trace needs a path");
    command_line_text(line, "--record", &options->record_pattern, "--record needs a path");
    command_line_count(line, "--camera", &options->camera, 0, ORBIT_CAMERA_KEY,
                       "--camera needs a camera number from 0 to 5, or 6 for the orbit camera");
    command_line_text(line, "--ramp", &ramp, "--ramp needs geometric or linear");
    command_line_count(line, "--copies", &options->fixed_copies, 1, RAMP_MAX_COPIES,
                       "--copies needs a number of copies from 1 to " + std::to_string((int)RAMP_MAX_COPIES));
    command_line_flag(line, "--progress", &options->progress, 1);
    command_line_flag(line, "--quiet", &options->progress, 0);
    const char *pace = nullptr, *size = nullptr;
    bool no_save = false;
    command_line_text(line, "--pace", &pace, "--pace needs slot or none");
    command_line_text(line, "--size", &size, "--size needs WIDTHxHEIGHT (e.g. 1280x720)");
    command_line_flag(line, "--fullscreen", &options->fullscreen);
    command_line_flag(line, "--no-save", &no_save);
    command_line_text(line, "--results-db", &options->results_path, "--results-db needs a path");
    command_line_number(line, "--extra-pass-ms", &options->extra_pass_ms, 0.0, true, 1000.0,
                        "--extra-pass-ms needs a number of milliseconds from 0 to 1000");
    OptionsResult result = command_line_parse(line, argc, argv, error);
    command_line_destroy(line);
    if (result == OPTIONS_RUN) check_window_and_history(options, pace, size, no_save, error);
    return result == OPTIONS_RUN ? check_viewer_options(options, ramp, error) : result;
}

const char *viewer_usage()
{
    return "usage: viewer [options]\n"
           "Plays an animated scene; Esc, A or the window's close button ends it and prints the\n"
           "benchmark report (so do SIGINT and SIGTERM, then the process ends with the signal).\n"
           "  --scene PATH          scene file (default data/fiche.orj)\n"
           "  --texture PATH        texture image (default: the picture named like the scene beside it,\n"
           "                        X.tga for X.orj (or .png, .jpg, .jpeg, .bmp, .pcx), else\n"
           "                        data/texturarobot2.tga)\n"
           "  --camera N            first camera, 0 to 5 (default 4), or 6: the orbit camera, which\n"
           "                        frames what is drawn and turns round it (mouse drag or arrow\n"
           "                        keys; wheel or +/- come closer); the digit keys change it\n"
           "  --passes N            end after N passes (frames)\n"
           "  --seconds S           end once S seconds have passed\n"
           "  --screenshot PATH     save the last frame drawn as a PNG file\n"
           "  --record PATTERN      save every frame drawn as a PNG file named by PATTERN, whose\n"
           "                        one number field counts from 0 (e.g. shots/frame%04d.png)\n"
           "  --report-json PATH    write the report's figures as JSON (- for standard output)\n"
           "  --trace PATH          write one CSV row per pass\n"
           "  --ramp KIND           how the grid's copy count settles: geometric (default:\n"
           "                        grow, bisect, then one up or down) or linear (one up\n"
           "                        or down from the start)\n"
           "  --copies N            draw N copies in the grid every pass instead: a fixed\n"
           "                        load, to compare machines or runs at equal work\n"
           "  --pace slot|none      slot (default): every pass waits for its 40 ms slot; none:\n"
           "                        passes back to back, to measure frame times (one animation\n"
           "                        frame a pass still; a pass fits when it takes 40 ms at most)\n"
           "  --size WxH            the window's size (default 640x480)\n"
           "  --fullscreen          full screen, at the desktop's size unless --size says\n"
           "  --extra-pass-ms MS    wait MS more in every pass: a set-up known to be slower (the\n"
           "                        settled count falls by about MS/40), to calibrate comparisons\n"
           "  --no-save             keep the run out of the history of benchmark runs\n"
           "  --results-db PATH     the history to add a benchmark run to (default\n"
#ifdef _WIN32
           "                        %APPDATA%\\orj\\results.sqlite)\n"
#else
           "                        $XDG_DATA_HOME/orj/results.sqlite or ~/.local/share/...)\n"
#endif
           "  --progress, --quiet   a progress line every second on standard error, or\n"
           "                        none (default: only when it is a terminal)\n"
           "  --help                show this text\n"
           "  --version             print the engine's version\n";
}

const char *viewer_default_texture() { return DEFAULT_TEXTURE; }

std::string picture_beside_scene(const char *scene_path)
{
    static const char *const extensions[] = {".tga", ".png", ".jpg", ".jpeg", ".bmp", ".pcx"};
    std::string path = scene_path;
    size_t slash = path.find_last_of('/'), dot = path.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.resize(dot);
    for (const char *extension : extensions) {
        std::string picture = path + extension;
        struct stat status;
        if (picture != scene_path && stat(picture.c_str(), &status) == 0 && S_ISREG(status.st_mode)) return picture;
    }
    return std::string();
}

bool run_limit_reached(const RunLimits *limits, int32_t passes_done, int32_t elapsed_ticks)
{
    if (limits->passes >= 0 && passes_done >= limits->passes) return true;
    if (limits->seconds >= 0.0 && (double)elapsed_ticks >= 100.0 * limits->seconds) return true;
    return false;
}

}  // namespace orj
