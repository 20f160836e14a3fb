// Draws the sample sprite animation's frames (numbered 24-bit TGA images on a
// magenta background) and packs them with the animation builder:
//   make_sample_animation FRAME_DIR ANIMATION_FILE STRIP_JPG
// The frames are a disc in four coloured quarters (red top left, green top
// right, blue bottom left, yellow bottom right) with a white dot going round
// its rim, one eighth of a turn per frame.
#include <allegro.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "orj/core/base/command_line.h"
#include "orj/gl/display/display.h"
#include "orj/gl/sprites/animation_builder.h"

using namespace orj;

enum {
    FRAME_SIDE = 64,
    FRAME_COUNT = 8,
};

static int quarter_color(int x, int y)
{
    bool left = x < FRAME_SIDE / 2;
    bool top = y < FRAME_SIDE / 2;
    if (top) return left ? makecol24(220, 40, 40) : makecol24(40, 200, 60);
    return left ? makecol24(50, 80, 230) : makecol24(240, 220, 40);
}

static void draw_frame(BITMAP *bitmap, int frame)
{
    const double centre = FRAME_SIDE / 2.0;
    const double angle = 2.0 * M_PI * frame / FRAME_COUNT;
    const double dot_x = centre + 22.0 * cos(angle);
    const double dot_y = centre - 22.0 * sin(angle);
    for (int y = 0; y < FRAME_SIDE; y++) {
        for (int x = 0; x < FRAME_SIDE; x++) {
            double px = x + 0.5, py = y + 0.5;
            int color = makecol24(255, 0, 255);
            if (hypot(px - centre, py - centre) <= 28.0) color = quarter_color(x, y);
            if (hypot(px - dot_x, py - dot_y) <= 5.0) color = makecol24(255, 255, 255);
            putpixel(bitmap, x, y, color);
        }
    }
}

int main(int argc, char **argv)
{
    const char *usage = "usage: make_sample_animation FRAME_DIR ANIMATION_FILE STRIP_JPG\n"
                        "Draws the sample sprite's frames into FRAME_DIR and packs them (anim build).\n"
                        "  --version  print the engine's version\n";
    std::vector<const char *> paths;
    int answer = command_line_answer_plain("make_sample_animation", argc, argv, usage, &paths);
    if (answer >= 0) return answer;
    if (paths.size() != 3)
        return command_line_answer("make_sample_animation", OPTIONS_BAD,
                                   "FRAME_DIR ANIMATION_FILE STRIP_JPG are needed", usage);
    if (strcmp(paths[1], "-") == 0 || strcmp(paths[2], "-") == 0)
        return command_line_answer("make_sample_animation", OPTIONS_BAD,
                                   "the animation and its strip go to files, not to standard output (-)", usage);
    if (start_allegro(SYSTEM_NONE) != 0) {
        fprintf(stderr, "make_sample_animation: Allegro cannot start\n");
        return 1;
    }
    set_color_depth(32);

    std::string first_frame = std::string(paths[0]) + "/sample_sprite0001";
    BITMAP *bitmap = create_bitmap_ex(24, FRAME_SIDE, FRAME_SIDE);
    if (!bitmap) return 1;
    for (int frame = 0; frame < FRAME_COUNT; frame++) {
        char name[32];
        snprintf(name, sizeof name, "/sample_sprite%04d", frame + 1);
        std::string path = std::string(paths[0]) + name;
        draw_frame(bitmap, frame);
        if (save_tga(path.c_str(), bitmap, nullptr) != 0) {
            fprintf(stderr, "make_sample_animation: %s: cannot be written\n", path.c_str());
            return 1;
        }
    }
    destroy_bitmap(bitmap);

    Error error;
    if (build_animation_from_frames(first_frame.c_str(), paths[1], paths[2], &error) != ERROR_NONE) {
        fprintf(stderr, "make_sample_animation: %s\n", error.message.c_str());
        return 1;
    }
    return 0;
}
END_OF_MAIN()
