// The sprite demo: several animated sprites in a 2D view, each facing one of
// the four directions; the arrow keys move the first one, Esc, A or the window's close button ends.
#include <allegro.h>
#include <alleggl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "orj/core/base/command_line.h"
#include "orj/core/base/data_path.h"
#include "orj/core/base/signals.h"
#include "orj/core/viewer/options.h"
#include "orj/gl/viewer/ticks.h"
#include "orj/gl/display/display.h"
#include "orj/gl/display/ending.h"
#include "orj/gl/display/frame.h"
#include "orj/gl/display/message.h"
#include "orj/core/base/output_file.h"
#include "orj/gl/display/screenshot.h"
#include "orj/gl/sprites/animation_loader.h"
#include "orj/core/sprites/sprite_view.h"

using namespace orj;

struct DemoOptions {
    RunLimits limits;
    const char *animation_path;
    const char *strip_path;
    const char *screenshot_path;
};

static const char *usage_text = "usage: sprite_demo [options]\n"
                                "Shows animated sprites in all four directions; the arrow keys move the one at the\n"
                                "top left; Esc, A or the window's close button ends.\n"
                                "  --animation PATH   animation file (default data/sample_sprite.anim)\n"
                                "  --strip PATH       its JPEG strip image (default data/sample_sprite.jpg)\n"
                                "  --passes N         end after N passes (frames)\n"
                                "  --seconds S        end once S seconds have passed\n"
                                "  --screenshot PATH  save the last frame shown as a PNG file\n"
                                "  --help             show this text\n"
                                "  --version          print the engine's version\n";

static OptionsResult parse_demo_options(int argc, char **argv, DemoOptions *options, std::string *error)
{
    options->animation_path = "data/sample_sprite.anim";
    options->strip_path = "data/sample_sprite.jpg";
    options->screenshot_path = nullptr;
    CommandLine *line = command_line_create();
    command_line_run_limits(line, &options->limits);
    command_line_text(line, "--animation", &options->animation_path, "--animation needs a path");
    command_line_text(line, "--strip", &options->strip_path, "--strip needs a path");
    command_line_text(line, "--screenshot", &options->screenshot_path, "--screenshot needs a path");
    OptionsResult result = command_line_parse(line, argc, argv, error);
    command_line_destroy(line);
    if (result == OPTIONS_RUN && options->screenshot_path && strcmp(options->screenshot_path, "-") == 0) {
        *error = "--screenshot cannot write the image to standard output (-): give a file";
        return OPTIONS_BAD;
    }
    return result;
}

enum {
    SPRITE_PLAYER,   // upright, moved with the arrow keys
    SPRITE_MIRROR,   // mirrored left to right, still
    SPRITE_WALKER,   // upside down, crossing the view and coming back in on the left
    SPRITE_CIRCLER,  // turned by 180 degrees, going round in a circle
    SPRITE_COUNT,
};

// Where the sprites start: the player and the mirrored one in the upper half,
// the ones that move by themselves in the lower half, out of their way.
static void place_sprites(Sprite sprites[SPRITE_COUNT], const Animation *animation)
{
    sprites[SPRITE_PLAYER] = sprite_create(animation, -16.0f, 4.0f, 0.0f, 10.0f, 10.0f);
    sprites[SPRITE_MIRROR] = sprite_create(animation, 6.0f, 4.0f, 0.0f, 10.0f, 10.0f);
    sprites[SPRITE_WALKER] = sprite_create(animation, -20.0f, -9.0f, 0.0f, 8.0f, 8.0f);
    sprites[SPRITE_CIRCLER] = sprite_create(animation, 4.0f, -16.0f, 0.0f, 6.0f, 6.0f);
    for (int i = 0; i < SPRITE_COUNT; i++) {
        sprite_set_direction(&sprites[i], i);
        sprite_set_frame(&sprites[i], 2 * i);
    }
}

static float clamp(float value, float low, float high) { return value < low ? low : value > high ? high : value; }

static void move_sprites(Sprite sprites[SPRITE_COUNT], int32_t pass)
{
    const float step = 0.25f;
    Sprite *player = &sprites[SPRITE_PLAYER];
    float dx = (key[KEY_RIGHT] ? step : 0.0f) - (key[KEY_LEFT] ? step : 0.0f);
    float dy = (key[KEY_UP] ? step : 0.0f) - (key[KEY_DOWN] ? step : 0.0f);
    if (dx != 0.0f || dy != 0.0f)
        sprite_move_to(player, clamp(player->x + dx, -20.0f, 20.0f - player->width),
                       clamp(player->y + dy, -20.0f, 20.0f - player->height));

    // The walker leaves on the right, where the view stops drawing it, and comes back on the left.
    Sprite *walker = &sprites[SPRITE_WALKER];
    sprite_move_by(walker, 0.2f, 0.0f);
    if (walker->x > 22.0f) sprite_move_to(walker, -20.0f - walker->width - 2.0f, walker->y);

    // Round (-3, -16) in eight steps of 12 passes each.
    static const float circle[8][2] = {{1, 0},  {0.7071f, 0.7071f},   {0, 1},  {-0.7071f, 0.7071f},
                                       {-1, 0}, {-0.7071f, -0.7071f}, {0, -1}, {0.7071f, -0.7071f}};
    int32_t step_index = (pass / 12) % 8;
    sprite_move_to(&sprites[SPRITE_CIRCLER], -3.0f + 4.0f * circle[step_index][0],
                   -16.0f + 3.0f * circle[step_index][1]);

    // One animation frame per pass.
    for (int i = 0; i < SPRITE_COUNT; i++) sprite_next_frame(&sprites[i]);
}

// The output is tried before the window opens: a failure names it and the reason, and nothing runs.
static bool demo_outputs_usable(const DemoOptions &options)
{
    if (!options.screenshot_path) return true;
    Error error;
    if (check_output_paths({options.animation_path, options.strip_path}, {options.screenshot_path}, &error) !=
            ERROR_NONE ||
        check_output_path(options.screenshot_path, &error) != ERROR_NONE) {
        fprintf(stderr, "sprite_demo: %s\n", error.message.c_str());
        return false;
    }
    return true;
}

// Outside the source tree the installed sample data stands in for data/.
static bool load_demo_animation(const DemoOptions &options, Animation *animation)
{
    Error error;
    std::string animation_path = find_data_file(options.animation_path);
    std::string strip_path = find_data_file(options.strip_path);
    if (load_animation(animation_path.c_str(), strip_path.c_str(), animation, &error) == ERROR_NONE) return true;
    show_message("%s", error.message.c_str());
    return false;
}

// Draws passes until the run ends.
static void run_passes(const DemoOptions &options, Sprite sprites[SPRITE_COUNT], SpriteView *view, Screenshot *shot)
{
    // Flat 2D drawing: overlapping sprites blend in the order they were added.
    glDisable(GL_DEPTH_TEST);
    glClearColor(0.15f, 0.2f, 0.35f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    int32_t start_tick = get_ticks();
    int32_t last_tick = start_tick;
    int32_t passes = 0;
    // A screenshot asked for is a frame shown: one pass is drawn even when
    // the run is told to end before its first.
    while ((options.screenshot_path && passes == 0) ||
           (ending_requested() == END_NONE && !run_limit_reached(&options.limits, passes, get_ticks() - start_tick))) {
        if (passes > 0) move_sprites(sprites, passes);
        view_draw(view);
        // One pass every 4 ticks, as the viewer.
        while ((int32_t)((uint32_t)get_ticks() - (uint32_t)last_tick) < 4) rest(1);
        last_tick = get_ticks();
        // The pass's picture, just before it is presented.
        if (options.screenshot_path) screenshot_capture(shot);
        begin_frame_plain();
        glDisable(GL_DEPTH_TEST);
        passes++;
    }
}

int main(int argc, char **argv)
{
    DemoOptions options;
    std::string error;
    OptionsResult parsed = parse_demo_options(argc, argv, &options, &error);
    int answer = command_line_answer("sprite_demo", parsed, error, usage_text);
    if (answer >= 0) return answer;
    if (!demo_outputs_usable(options)) return 1;
    install_signal_ending(SIGNALS_NOTE_FIRST);
    if (!init_display(0, 640, 480)) return 1;
    install_ticks();
    Animation animation = {};
    if (!load_demo_animation(options, &animation)) {
        allegro_exit();
        return 1;
    }

    Sprite sprites[SPRITE_COUNT];
    place_sprites(sprites, &animation);
    SpriteView view;
    if (!view_create(&view, SPRITE_COUNT)) {
        allegro_exit();
        return 1;
    }
    for (int i = 0; i < SPRITE_COUNT; i++) view_add_sprite(&view, &sprites[i]);
    // Allocated before the loop: a pass allocates nothing.
    Screenshot shot = {0, 0, nullptr, 0};
    if (options.screenshot_path) screenshot_create(&shot);
    run_passes(options, sprites, &view, &shot);

    int status = 0;
    Error save_error;
    if (options.screenshot_path && screenshot_save(&shot, options.screenshot_path, &save_error) != ERROR_NONE) {
        show_message("%s", save_error.message.c_str());
        status = 1;
    }
    screenshot_destroy(&shot);
    view_destroy(&view);
    delete_animation_textures(&animation);
    destroy_animation(&animation);
    allegro_exit();
    if (signal_ending_received() != 0) end_with_signal(signal_ending_received());
    return status;
}
END_OF_MAIN()
