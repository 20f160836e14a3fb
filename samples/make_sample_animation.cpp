// Draws the sample sprite animation's frames (numbered 24-bit TGA images on a
// magenta background) and packs them with the animation builder:
//   make_sample_animation FRAME_DIR ANIMATION_FILE STRIP_JPG
// The frames are a disc in four coloured quarters (red top left, green top
// right, blue bottom left, yellow bottom right) with a white dot going round
// its rim, one eighth of a turn per frame.
#include <allegro.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "orj/core/base/command_line.h"
#include "orj/core/image/image_write.h"
#include "orj/gl/display/display.h"
#include "orj/gl/sprites/animation_builder.h"

using namespace orj;

enum {
    FRAME_SIDE = 64,
    FRAME_COUNT = 8,
};

static uint32_t rgb(int r, int g, int b) { return (uint32_t)r << 16 | (uint32_t)g << 8 | (uint32_t)b; }

static uint32_t quarter_color(int x, int y)
{
    bool left = x < FRAME_SIDE / 2;
    bool top = y < FRAME_SIDE / 2;
    if (top) return left ? rgb(220, 40, 40) : rgb(40, 200, 60);
    return left ? rgb(50, 80, 230) : rgb(240, 220, 40);
}

// The frame's pixels, without alpha: the magenta background is the mask colour.
static void draw_frame(Image *image, int frame)
{
    const double centre = FRAME_SIDE / 2.0;
    const double angle = 2.0 * M_PI * frame / FRAME_COUNT;
    const double dot_x = centre + 22.0 * cos(angle);
    const double dot_y = centre - 22.0 * sin(angle);
    for (int y = 0; y < FRAME_SIDE; y++) {
        for (int x = 0; x < FRAME_SIDE; x++) {
            double px = x + 0.5, py = y + 0.5;
            uint32_t color = rgb(255, 0, 255);
            if (hypot(px - centre, py - centre) <= 28.0) color = quarter_color(x, y);
            if (hypot(px - dot_x, py - dot_y) <= 5.0) color = rgb(255, 255, 255);
            uint8_t *p = &image->rgba[((size_t)y * FRAME_SIDE + x) * 4];
            p[0] = (uint8_t)(color >> 16);
            p[1] = (uint8_t)(color >> 8);
            p[2] = (uint8_t)color;
            p[3] = 255;
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
    Image image;
    image.width = image.height = FRAME_SIDE;
    image.rgba.resize((size_t)FRAME_SIDE * FRAME_SIDE * 4);
    Error error;
    for (int frame = 0; frame < FRAME_COUNT; frame++) {
        char name[32];
        snprintf(name, sizeof name, "/sample_sprite%04d", frame + 1);
        std::string path = std::string(paths[0]) + name;
        draw_frame(&image, frame);
        if (write_tga_file(path.c_str(), image, &error) != ERROR_NONE) {
            fprintf(stderr, "make_sample_animation: %s\n", error.message.c_str());
            return 1;
        }
    }

    if (build_animation_from_frames(first_frame.c_str(), paths[1], paths[2], &error) != ERROR_NONE) {
        fprintf(stderr, "make_sample_animation: %s\n", error.message.c_str());
        return 1;
    }
    return 0;
}
END_OF_MAIN()
