// A square orthographic 2D view over a list of animated, mirrorable sprites.
#pragma once

#include <cstdint>

#include "orj/core/sprites/animation.h"

namespace orj {

struct Sprite {
    const Animation *animation;  // not owned
    float prev_x, prev_y;        // position before the latest move
    float x, y;                  // left and bottom edge
    float z;                     // kept, never read
    float width, height;
    int32_t frame;
    int32_t direction;       // 0 upright, 1 mirrored left-right, 2 upside down, 3 both
    int32_t user_x, user_y;  // the caller's own values
    float s_left, t_bottom, s_right, t_top;
};

struct SpriteView {
    Sprite **sprites;  // not owned; in the order they were added
    int32_t capacity;
    int32_t count;
    float max_x, max_y;
    float min_x, min_y;
    float extent;  // the projection spans -extent .. extent on both axes
};

// A sprite's corners on the display, in whole units.
struct SpriteCorners {
    int32_t x0, y0, x1, y1;
};

// Initialises the view (centre 0, 0, extent 20) with room for capacity
// sprites. False when the list cannot be allocated: the view then holds none.
// Pair with view_destroy.
bool view_create(SpriteView *view, int32_t capacity);
// Releases the sprite list (the sprites are the caller's).
void view_destroy(SpriteView *view);
void view_set_center(SpriteView *view, float cx, float cy);
void view_set_extent(SpriteView *view, float e);
void view_get_center(const SpriteView *view, float *cx, float *cy);
// The sprite's 1-based place in the list, or 0 when the list is full (or
// the view has none).
int32_t view_add_sprite(SpriteView *view, Sprite *sprite);
// Whether the sprite lies (partly) inside the square: strict across, inclusive up and down.
bool view_sprite_visible(const SpriteView *view, const Sprite *sprite, float cx, float cy);

Sprite sprite_create(const Animation *animation, float x, float y, float z, float width, float height);
void sprite_move_to(Sprite *sprite, float x, float y);
void sprite_move_by(Sprite *sprite, float dx, float dy);
void sprite_get_user(const Sprite *sprite, int32_t *user_x, int32_t *user_y);
void sprite_set_user(Sprite *sprite, int32_t user_x, int32_t user_y);
void sprite_set_direction(Sprite *sprite, int32_t direction);
void sprite_next_frame(Sprite *sprite);
void sprite_prev_frame(Sprite *sprite);
void sprite_set_frame(Sprite *sprite, int32_t frame);
// The texture of the sprite's frame; false when there is no frame to show
// (no animation, an animation of no frames, or no textures).
bool sprite_frame_texture(const Sprite *sprite, uint32_t *texture);
// The corners offset by the view centre, each converted toward zero and held
// to the integer range. False when a corner is not a number.
bool sprite_corners(const Sprite *sprite, float cx, float cy, SpriteCorners *corners);

// Drawing (needs the OpenGL context).
void view_draw(const SpriteView *view);
void sprite_draw(const Sprite *sprite, float cx, float cy);

}  // namespace orj
