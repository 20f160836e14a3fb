// Command-line work on sprite animations:
//   anim build [options] FIRST_FRAME ANIMATION_FILE STRIP_JPG
//   anim build [options] --sheet IMAGE --frame-size WxH [--frames N] ANIMATION_FILE STRIP_JPG
//   anim preview ANIMATION_FILE STRIP -o PREVIEW.gif|png
//   anim dump ANIMATION_FILE
#include <allegro.h>

#include <strings.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "orj/core/base/signals.h"
#include "orj/gl/display/display.h"
#include "orj/core/base/command_line.h"
#include "orj/core/base/input_file.h"
#include "core/base/path_separators.h"
#include "orj/core/sprites/animation_file.h"
#include "orj/gl/sprites/animation_builder.h"
#include "orj/gl/sprites/animation_preview.h"

using namespace orj;

static const char *usage_text =
    "usage: anim build [options] FIRST_FRAME ANIMATION_FILE STRIP_JPG\n"
    "       anim build [options] --sheet IMAGE --frame-size WxH [--frames N] ANIMATION_FILE STRIP_JPG\n"
    "       anim preview ANIMATION_FILE STRIP -o PREVIEW.gif|PREVIEW.png\n"
    "       anim dump ANIMATION_FILE\n"
    "build:   packs numbered frames (PNG, or TGA of 24 or 32 bits) into ANIMATION_FILE\n"
    "         and a JPEG strip. FIRST_FRAME is the first frame's path, with or without\n"
    "         its extension (ball0001, ball0001.png), or a pattern (ball%04d.png, from\n"
    "         frame 0 or 1); the frames run up to the first missing number. With --sheet\n"
    "         the frames are the WxH cells of IMAGE, left to right, top to bottom; empty\n"
    "         cells at the end are left out unless --frames N says how many to take.\n"
    "  --alpha-threshold A  frames with alpha: alpha below A is transparent (default 128)\n"
    "  --mask-colour RRGGBB frames without alpha: this colour is transparent (default ff00ff)\n"
    "  --mask-fuzz PERCENT  and colours this near it: a distance in RGB, in per cent of the\n"
    "                       channel range, as ImageMagick's -fuzz (default 0: the colour alone)\n"
    "  --strip-quality Q    the JPEG strip's quality, 1 to 100 (default 100)\n"
    "  --strip-tga          also write the strip as a 32-bit TGA beside it (STRIP.tga),\n"
    "                       colours exact and alpha 0 where transparent\n"
    "preview: the frames as the engine shows them, transparency applied: an animated\n"
    "         GIF (40 ms a frame) or a PNG contact sheet over a checkerboard. STRIP is\n"
    "         the JPEG strip or a TGA strip.\n"
    "dump:    prints the animation's frame records as JSON.\n"
    "anim --version prints the engine's version.\n";

// A colour this close to the mask colour (in per cent of the channel range) is
// named when no pixel is the mask colour itself.
static const double NEAR_MASK_PERCENT = 10.0;

static int usage_error(const std::string &what) { return command_line_answer("anim", OPTIONS_BAD, what, usage_text); }

// The strip path with its extension (if any) replaced by .tga.
static std::string tga_beside(const std::string &strip_path)
{
    size_t slash = strip_path.find_last_of(PATH_SEPARATORS);
    size_t dot = strip_path.rfind('.');
    size_t base = slash == std::string::npos ? 0 : slash + 1;
    return (dot != std::string::npos && dot > base ? strip_path.substr(0, dot) : strip_path) + ".tga";
}

// What a build took that the person may not have meant: a gap in the
// numbering, and a mask colour no pixel has while one lies close to it.
static void report_build_warnings(const BuildSummary &summary, const BuildOptions &options)
{
    if (!summary.gap_missing.empty()) {
        bool case_only = strcasecmp(summary.gap_missing.c_str(), summary.gap_found.c_str()) == 0;
        fprintf(
            stderr, "anim: warning: %s is missing but %s exists%s: %d frame%s built, the frames after it left out\n",
            summary.gap_missing.c_str(), summary.gap_found.c_str(), case_only ? " (its extension differs in case)" : "",
            (int)summary.frame_count, summary.frame_count == 1 ? "" : "s");
    }
    int64_t pixels = (int64_t)summary.frame_count * summary.width * summary.height;
    double nearest = summary.nearest_mask_distance < 0 ? -1.0 : sqrt((double)summary.nearest_mask_distance);
    if (summary.opaque_count == pixels && nearest >= 0.0 && nearest <= NEAR_MASK_PERCENT / 100.0 * 255.0)
        fprintf(stderr,
                "anim: warning: no pixel is the mask colour %06x, so every pixel is opaque; %06x is %.1f%% from it "
                "(--mask-fuzz %.0f takes it)\n",
                (unsigned)options.mask_rgb, (unsigned)summary.nearest_mask_rgb, nearest / 255.0 * 100.0,
                ceil(nearest / 255.0 * 100.0));
}

// The sheet's cell size, WxH; false when it is not one.
static bool read_frame_size(const char *text, BuildOptions *options)
{
    int w = 0, h = 0;
    char tail = 0;
    if (sscanf(text, "%dx%d%c", &w, &h, &tail) != 2 || w < 1 || h < 1 || w > MAX_ANIMATION_SIDE ||
        h > MAX_ANIMATION_SIDE)
        return false;
    options->cell_width = w;
    options->cell_height = h;
    return true;
}

// The mask colour, six hexadecimal digits RRGGBB; false when it is not one.
static bool read_mask_colour(const char *text, BuildOptions *options)
{
    char *end = nullptr;
    unsigned long rgb = strtoul(text, &end, 16);
    if (strlen(text) != 6 || *end || !isxdigit((unsigned char)text[0])) return false;
    options->mask_rgb = (uint32_t)rgb;
    return true;
}

// Reads build's options and paths (argv[0] is "build"); -1 to build, else the status to end with.
static int parse_build(int argc, char **argv, BuildOptions *options, std::vector<const char *> *paths, bool *strip_tga)
{
    const char *frame_size = nullptr, *mask = nullptr;
    std::string sides = std::to_string((int)MAX_ANIMATION_SIDE);
    CommandLine *line = command_line_create();
    command_line_text(line, "--sheet", &options->sheet_path, "--sheet needs the sprite sheet's path");
    command_line_text(line, "--frame-size", &frame_size, "--frame-size takes WxH, as in 64x64");
    command_line_count(line, "--frames", &options->sheet_frames, 1, MAX_ANIMATION_SIDE,
                       "--frames takes a count from 1 to " + sides);
    command_line_count(line, "--alpha-threshold", &options->alpha_threshold, 0, 256,
                       "--alpha-threshold takes a value from 0 to 256");
    command_line_text(line, "--mask-colour", &mask, "--mask-colour takes six hexadecimal digits RRGGBB");
    command_line_number(line, "--mask-fuzz", &options->mask_fuzz, 0.0, true, 100.0,
                        "--mask-fuzz takes a percentage from 0 to 100");
    command_line_count(line, "--strip-quality", &options->strip_quality, 1, 100,
                       "--strip-quality takes a quality from 1 to 100");
    command_line_flag(line, "--strip-tga", strip_tga);
    command_line_arguments(line, paths);
    std::string error;
    OptionsResult result = command_line_parse(line, argc, argv, &error);
    command_line_destroy(line);
    if (result != OPTIONS_RUN) return command_line_answer("anim", result, error, usage_text);
    if (frame_size && !read_frame_size(frame_size, options)) return usage_error("--frame-size takes WxH, as in 64x64");
    if (mask && !read_mask_colour(mask, options))
        return usage_error("--mask-colour takes six hexadecimal digits RRGGBB");
    if (options->sheet_path) {
        if (paths->size() != 2) return usage_error("build --sheet takes ANIMATION_FILE STRIP_JPG");
        if (options->cell_width == 0) return usage_error("--sheet needs --frame-size WxH");
    } else {
        if (paths->size() != 3) return usage_error("build takes FIRST_FRAME ANIMATION_FILE STRIP_JPG");
        if (options->cell_width || options->sheet_frames)
            return usage_error("--frame-size and --frames go with --sheet");
        options->first_frame = (*paths)[0];
        paths->erase(paths->begin());
    }
    if (strcmp((*paths)[0], "-") == 0 || strcmp((*paths)[1], "-") == 0)
        return usage_error("build writes its two files, not standard output (-)");
    return -1;
}

static int run_build(int argc, char **argv)
{
    BuildOptions options;
    std::vector<const char *> paths;
    bool strip_tga = false;
    int status = parse_build(argc, argv, &options, &paths, &strip_tga);
    if (status >= 0) return status;
    std::string tga_path = tga_beside(paths[1]);
    if (strip_tga) options.strip_tga_path = tga_path.c_str();

    // Images only: no window, no keyboard.
    if (start_allegro(SYSTEM_NONE) != 0) {
        fprintf(stderr, "anim: Allegro cannot start\n");
        return 1;
    }
    set_color_depth(32);
    Error error;
    BuildSummary summary;
    ErrorKind result = build_animation_with(&options, paths[0], paths[1], &summary, &error);
    allegro_exit();
    if (result != ERROR_NONE) {
        fprintf(stderr, "anim: %s\n", error.message.c_str());
        return 1;
    }
    int64_t pixels = (int64_t)summary.frame_count * summary.width * summary.height;
    std::string half;
    if (summary.half_made_opaque || summary.half_made_transparent)
        half = " (half-transparent pixels: " + std::to_string(summary.half_made_opaque) + " made opaque, " +
               std::to_string(summary.half_made_transparent) + " made transparent)";
    printf("anim: %d frames of %dx%d, %.0f%% opaque%s; wrote %s, %s%s%s\n", (int)summary.frame_count, summary.width,
           summary.height, pixels ? 100.0 * (double)summary.opaque_count / (double)pixels : 0.0, half.c_str(), paths[0],
           paths[1], strip_tga ? ", " : "", strip_tga ? tga_path.c_str() : "");
    report_build_warnings(summary, options);
    return 0;
}

static int run_preview(int argc, char **argv)
{
    std::vector<const char *> paths;
    const char *output = nullptr;
    CommandLine *line = command_line_create();
    command_line_text(line, "-o,--output", &output, "-o needs the preview's path");
    command_line_arguments(line, &paths);
    std::string parse_error;
    OptionsResult result = command_line_parse(line, argc, argv, &parse_error);
    command_line_destroy(line);
    if (result != OPTIONS_RUN) return command_line_answer("anim", result, parse_error, usage_text);
    if (paths.size() != 2 || !output) return usage_error("preview takes ANIMATION_FILE STRIP -o PREVIEW.gif|png");
    if (strcmp(output, "-") == 0) return usage_error("preview writes an image file, not standard output (-)");
    Error error;
    int frames = 0;
    if (write_animation_preview(paths[0], paths[1], output, &frames, &error) != ERROR_NONE) {
        fprintf(stderr, "anim: %s\n", error.message.c_str());
        return 1;
    }
    printf("anim: %d frames; wrote %s\n", frames, output);
    return 0;
}

static nlohmann::json frame_json(const AnimationFrame &frame)
{
    nlohmann::json rows = nlohmann::json::array();
    for (int32_t y = 0; y < frame.height; y++) {
        nlohmann::json row = nlohmann::json::array();
        for (int32_t r = 0; r <= frame.run_counts[y]; r++) row.push_back(frame.runs[y][r]);
        rows.push_back(row);
    }
    return {{"width", frame.width}, {"height", frame.height}, {"opaque_pixels", frame.opaque_pixels}, {"runs", rows}};
}

static int run_dump(const char *animation_path)
{
    FILE *stream;
    Error error;
    if (open_input_stream(animation_path, ANIMATION_MAX_FILE_BYTES, &stream, &error) != ERROR_NONE) {
        fprintf(stderr, "anim: %s\n", error.message.c_str());
        return 1;
    }
    Animation animation = {};
    ErrorKind read = read_animation_frames(stream, animation_path, &animation, &error);
    fclose(stream);
    if (read != ERROR_NONE) {
        fprintf(stderr, "anim: %s\n", error.message.c_str());
        return 1;
    }
    nlohmann::json frames = nlohmann::json::array();
    for (int32_t i = 0; i < animation.frame_count; i++) frames.push_back(frame_json(animation.frames[i]));
    nlohmann::json dump = {{"frame_count", animation.frame_count}, {"frames", frames}};
    destroy_animation(&animation);
    printf("%s\n", dump.dump().c_str());
    // A full disk or a closed pipe is a failure, not a dump.
    if (fflush(stdout) != 0 || ferror(stdout)) {
        fprintf(stderr, "anim: standard output: write failed: %s\n", strerror(errno));
        return 1;
    }
    return 0;
}

static int run_dump_command(int argc, char **argv)
{
    std::vector<const char *> paths;
    int answer = command_line_answer_plain("anim", argc, argv, usage_text, &paths);
    if (answer >= 0) return answer;
    if (paths.size() != 1) return usage_error("dump takes ANIMATION_FILE");
    return run_dump(paths[0]);
}

int main(int argc, char **argv)
{
    // Ends at once, removing the temporary files of outputs not yet in place.
    install_signal_ending(SIGNALS_END_AT_ONCE);
    // The command, then its own options and arguments.
    const char *command = argc >= 2 ? argv[1] : "";
    if (strcmp(command, "build") == 0) return run_build(argc - 1, argv + 1);
    if (strcmp(command, "preview") == 0) return run_preview(argc - 1, argv + 1);
    if (strcmp(command, "dump") == 0) return run_dump_command(argc - 1, argv + 1);
    std::vector<const char *> arguments;
    int answer = command_line_answer_plain("anim", argc, argv, usage_text, &arguments);
    if (answer >= 0) return answer;
    return usage_error(arguments.empty() ? std::string("no command given")
                                         : "unknown command: " + std::string(arguments[0]));
}
END_OF_MAIN()
