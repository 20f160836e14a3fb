#include "orj/core/viewer/options.h"

#include "orj/core/viewer/orbit.h"
#include "orj/core/viewer/record_name.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace orj {

bool parse_count(const char *text, int32_t *value)
{
    if (!text || *text < '0' || *text > '9') return false;
    errno = 0;
    char *end = nullptr;
    long long number = strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || number < 0 || number > INT32_MAX) return false;
    *value = (int32_t)number;
    return true;
}

bool parse_seconds(const char *text, double *value)
{
    if (!text || *text == '\0') return false;
    errno = 0;
    char *end = nullptr;
    double number = strtod(text, &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(number) || number < 0) return false;
    *value = number;
    return true;
}

// Matches "--name" or "--name=value"; sets *value to what follows '=' or to null.
bool match_option(const char *arg, const char *name, const char **value)
{
    size_t length = strlen(name);
    if (strncmp(arg, name, length) != 0) return false;
    if (arg[length] == '\0') {
        *value = nullptr;
        return true;
    }
    if (arg[length] == '=') {
        *value = arg + length + 1;
        return true;
    }
    return false;
}

const char *option_value(int argc, char **argv, int *index, const char *inline_value)
{
    if (inline_value) return inline_value;
    if (*index + 1 >= argc) return nullptr;
    *index += 1;
    return argv[*index];
}

int take_run_limit(int argc, char **argv, int *index, RunLimits *limits, std::string *error)
{
    const char *arg = argv[*index];
    const char *inline_value = nullptr;
    if (match_option(arg, "--passes", &inline_value)) {
        const char *text = option_value(argc, argv, index, inline_value);
        if (!parse_count(text, &limits->passes)) {
            *error = "--passes needs a whole number of passes, 0 or more";
            return -1;
        }
        return 1;
    }
    if (match_option(arg, "--seconds", &inline_value)) {
        const char *text = option_value(argc, argv, index, inline_value);
        if (!parse_seconds(text, &limits->seconds)) {
            *error = "--seconds needs a number of seconds, 0 or more";
            return -1;
        }
        return 1;
    }
    return 0;
}

OptionsResult parse_viewer_options(int argc, char **argv, ViewerOptions *options, std::string *error)
{
    options->limits.passes = -1;
    options->limits.seconds = -1.0;
    options->scene_path = "data/fiche.orj";
    options->texture_path = "data/texturarobot2.tga";
    options->camera = 4;
    options->screenshot_path = nullptr;
    options->record_pattern = nullptr;
    options->report_json_path = nullptr;
    options->trace_path = nullptr;
    options->ramp = RAMP_GEOMETRIC;
    options->fixed_copies = 0;
    options->progress = -1;
    bool ramp_given = false;

    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        const char *inline_value = nullptr;
        int taken = take_run_limit(argc, argv, &i, &options->limits, error);
        if (taken < 0) return OPTIONS_BAD;
        if (taken > 0) continue;

        if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) return OPTIONS_HELP;

        const char **path = nullptr;
        if (match_option(arg, "--scene", &inline_value)) path = &options->scene_path;
        else if (match_option(arg, "--texture", &inline_value)) path = &options->texture_path;
        else if (match_option(arg, "--screenshot", &inline_value)) path = &options->screenshot_path;
        else if (match_option(arg, "--report-json", &inline_value)) path = &options->report_json_path;
        else if (match_option(arg, "--trace", &inline_value)) path = &options->trace_path;
        else if (match_option(arg, "--record", &inline_value)) path = &options->record_pattern;
        if (path) {
            const char *text = option_value(argc, argv, &i, inline_value);
            if (!text || *text == '\0') {
                *error = std::string(arg) + " needs a path";
                return OPTIONS_BAD;
            }
            if (path == &options->screenshot_path && strcmp(text, "-") == 0) {
                *error = "--screenshot cannot write the image to standard output (-): give a file";
                return OPTIONS_BAD;
            }
            *path = text;
            if (path == &options->record_pattern && !check_record_pattern(text)) {
                *error = "--record needs a file name pattern with one number field, such as shots/frame%04d.png";
                return OPTIONS_BAD;
            }
            continue;
        }
        if (match_option(arg, "--camera", &inline_value)) {
            const char *text = option_value(argc, argv, &i, inline_value);
            int32_t camera = 0;
            if (!parse_count(text, &camera) || camera > ORBIT_CAMERA_KEY) {
                *error = "--camera needs a camera number from 0 to 5, or 6 for the orbit camera";
                return OPTIONS_BAD;
            }
            options->camera = camera;
            continue;
        }
        if (match_option(arg, "--ramp", &inline_value)) {
            const char *text = option_value(argc, argv, &i, inline_value);
            if (text && strcmp(text, "geometric") == 0) options->ramp = RAMP_GEOMETRIC;
            else if (text && strcmp(text, "linear") == 0) options->ramp = RAMP_LINEAR;
            else {
                *error = "--ramp needs geometric or linear";
                return OPTIONS_BAD;
            }
            ramp_given = true;
            continue;
        }
        if (match_option(arg, "--copies", &inline_value)) {
            const char *text = option_value(argc, argv, &i, inline_value);
            int32_t copies = 0;
            if (!parse_count(text, &copies) || copies < 1 || copies > RAMP_MAX_COPIES) {
                *error = "--copies needs a number of copies from 1 to " + std::to_string((int)RAMP_MAX_COPIES);
                return OPTIONS_BAD;
            }
            options->fixed_copies = copies;
            continue;
        }
        if (strcmp(arg, "--progress") == 0 || strcmp(arg, "--quiet") == 0) {
            options->progress = strcmp(arg, "--progress") == 0 ? 1 : 0;
            continue;
        }
        *error = std::string("unknown option: ") + arg;
        return OPTIONS_BAD;
    }
    if (ramp_given && options->fixed_copies > 0) {
        *error = "--copies fixes the grid's count: it takes no --ramp";
        return OPTIONS_BAD;
    }
    return OPTIONS_RUN;
}

const char *viewer_usage()
{
    return "usage: viewer [options]\n"
           "Plays an animated scene; holding A ends it and prints the benchmark report.\n"
           "  --scene PATH          scene file (default data/fiche.orj)\n"
           "  --texture PATH        texture image (default data/texturarobot2.tga)\n"
           "  --camera N            first camera, 0 to 5 (default 4), or 6: the orbit camera, which\n"
           "                        frames the whole scene and turns round it (mouse drag or arrow\n"
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
           "  --progress, --quiet   a progress line every second on standard error, or\n"
           "                        none (default: only when it is a terminal)\n"
           "  --help                show this text\n"
           "  --version             print the engine's version\n";
}

bool run_limit_reached(const RunLimits *limits, int32_t passes_done, int32_t elapsed_ticks)
{
    if (limits->passes >= 0 && passes_done >= limits->passes) return true;
    if (limits->seconds >= 0.0 && (double)elapsed_ticks >= 100.0 * limits->seconds) return true;
    return false;
}

}  // namespace orj
