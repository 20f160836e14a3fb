// Command-line work on sprite animations:
//   anim build FIRST_FRAME ANIMATION_FILE STRIP_JPG   packs numbered TGA frames
//   anim dump ANIMATION_FILE                          prints the frame records as JSON
#include <allegro.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <nlohmann/json.hpp>

#include "gl/sprites/animation_builder.h"
#include "core/sprites/animation_file.h"
#include "core/base/version.h"

static const char *usage_text =
    "usage: anim build FIRST_FRAME ANIMATION_FILE STRIP_JPG\n"
    "       anim dump ANIMATION_FILE\n"
    "build: packs the numbered TGA frames that start at FIRST_FRAME (a path ending\n"
    "       in four digits, no extension) into ANIMATION_FILE and a JPEG strip.\n"
    "dump:  prints the animation's frame records as JSON.\n"
    "anim --version prints the engine's version.\n";

static int usage_error(const char *what)
{
    fprintf(stderr, "anim: %s\n%s", what, usage_text);
    return 2;
}

static int run_build(const char *first_frame, const char *animation_path, const char *strip_path)
{
    // Images only: no window, no keyboard.
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
        fprintf(stderr, "anim: Allegro cannot start\n");
        return 1;
    }
    set_color_depth(32);
    std::string error;
    BuildResult result = build_animation_from_frames(first_frame, animation_path, strip_path, &error);
    allegro_exit();
    if (result != BUILD_OK) {
        fprintf(stderr, "anim: %s\n", error.c_str());
        return 1;
    }
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
    FILE *stream = fopen(animation_path, "rb");
    if (!stream) {
        fprintf(stderr, "anim: %s: cannot be opened: %s\n", animation_path, strerror(errno));
        return 1;
    }
    Animation animation = {};
    std::string error;
    bool read = read_animation_frames(stream, animation_path, &animation, &error);
    fclose(stream);
    if (!read) {
        fprintf(stderr, "anim: %s\n", error.c_str());
        return 1;
    }
    nlohmann::json frames = nlohmann::json::array();
    for (int32_t i = 0; i < animation.frame_count; i++) frames.push_back(frame_json(animation.frames[i]));
    nlohmann::json dump = {{"frame_count", animation.frame_count}, {"frames", frames}};
    destroy_animation(&animation);
    printf("%s\n", dump.dump().c_str());
    return 0;
}

int main(int argc, char **argv)
{
    if (print_version_if_asked(argc, argv, "anim")) return 0;
    if (argc >= 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        fputs(usage_text, stdout);
        return 0;
    }
    if (argc < 2) return usage_error("no command given");
    if (strcmp(argv[1], "build") == 0) {
        if (argc != 5) return usage_error("build takes FIRST_FRAME ANIMATION_FILE STRIP_JPG");
        if (strcmp(argv[3], "-") == 0 || strcmp(argv[4], "-") == 0)
            return usage_error("build writes its two files, not standard output (-)");
        return run_build(argv[2], argv[3], argv[4]);
    }
    if (strcmp(argv[1], "dump") == 0) {
        if (argc != 3) return usage_error("dump takes ANIMATION_FILE");
        return run_dump(argv[2]);
    }
    return usage_error((std::string("unknown command: ") + argv[1]).c_str());
}
END_OF_MAIN()
