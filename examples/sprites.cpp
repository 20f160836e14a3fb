// Sprites on the engine: the sample animation as four sprites in a 2D view,
// one for each direction (upright, mirrored, upside down, both); the arrow
// keys move the first. Ends on Esc, or after N frames with --frames N.
//   usage: sprites [--frames N] [ANIMATION STRIP]
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <orj/core/sprites/sprite_view.h>
#include <orj/gl/display/display.h>
#include <orj/gl/display/frame.h>
#include <orj/gl/sprites/animation_loader.h>
#include <orj/gl/viewer/keys.h>
#include <orj/gl/viewer/ticks.h>
#include <orj/gl/viewer/viewer_pass.h>

using namespace orj;

int main(int argc, char **argv)
{
    int frames = -1;  // no limit
    if (argc > 2 && strcmp(argv[1], "--frames") == 0) {
        frames = atoi(argv[2]);
        argc -= 2, argv += 2;
    }
    const char *animation_path = argc > 2 ? argv[1] : SAMPLE_DATA "/sample_sprite.anim";
    const char *strip_path = argc > 2 ? argv[2] : SAMPLE_DATA "/sample_sprite.jpg";

    if (!init_display(0, 640, 480)) return 1;  // the message says why
    install_ticks();
    Animation animation = {};
    Error error;
    if (load_animation(animation_path, strip_path, &animation, &error) != ERROR_NONE) {
        fprintf(stderr, "%s\n", error.message.c_str());
        return 1;
    }

    // The view spans -20 .. 20 on both axes; a sprite's place is its lower left corner.
    Sprite sprites[4];
    SpriteView view;
    if (!view_create(&view, 4)) return 1;
    for (int i = 0; i < 4; i++) {
        sprites[i] = sprite_create(&animation, i % 2 ? 4.0f : -16.0f, i < 2 ? 4.0f : -16.0f, 0.0f, 12.0f, 12.0f);
        sprite_set_direction(&sprites[i], i);
        view_add_sprite(&view, &sprites[i]);
    }
    set_flat_drawing(0.15f, 0.2f, 0.35f);

    int32_t tick = get_ticks();
    for (int frame = 0; frame != frames && !key_held(Key::ESCAPE); frame++) {
        float dx = 0.25f * ((int)key_held(Key::RIGHT) - (int)key_held(Key::LEFT));
        float dy = 0.25f * ((int)key_held(Key::UP) - (int)key_held(Key::DOWN));
        sprite_move_by(&sprites[0], dx, dy);
        for (Sprite &sprite : sprites) sprite_next_frame(&sprite);
        view_draw(&view);
        tick = wait_for_slot(tick);  // one frame every 40 ms
        begin_frame_plain();         // shows the frame, starts the next
    }
    view_destroy(&view);
    delete_animation_textures(&animation);
    destroy_animation(&animation);
    return 0;
}
