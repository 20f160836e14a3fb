/// @file
/// A square orthographic 2D view over a list of animated, mirrorable sprites.
#pragma once

#include <cstdint>

#include "orj/core/sprites/animation.h"

namespace orj {

/// One animated sprite: a rectangle of the view showing one frame of an
/// animation, in one of four directions. A plain value the caller owns
/// (sprite_create makes one; nothing to release).
struct Sprite {
    const Animation *animation;  ///< not owned; must outlive the sprite's drawing
    float prev_x;                ///< x before the latest move
    float prev_y;                ///< y before the latest move
    float x;                     ///< left edge, in view units
    float y;                     ///< bottom edge, in view units
    float z;                     ///< kept, never read
    float width;                 ///< in view units
    float height;                ///< in view units
    int32_t frame;               ///< the animation frame shown, from 0
    int32_t direction;           ///< 0 upright, 1 mirrored left-right, 2 upside down, 3 both
    int32_t user_x;              ///< the caller's own value
    int32_t user_y;              ///< the caller's own value
    float s_left;                ///< texture s at the left edge (set by the direction)
    float t_bottom;              ///< texture t at the bottom edge
    float s_right;               ///< texture s at the right edge
    float t_top;                 ///< texture t at the top edge
};

/// A square 2D view listing the sprites it draws. It holds pointers to
/// sprites the caller owns; view_create allocates the list and view_destroy
/// releases it.
struct SpriteView {
    Sprite **sprites;  ///< not owned; in the order they were added
    int32_t capacity;  ///< room in sprites
    int32_t count;     ///< sprites added
    float max_x;       ///< right edge: centre + extent
    float max_y;       ///< top edge: centre + extent
    float min_x;       ///< left edge: centre - extent
    float min_y;       ///< bottom edge: centre - extent
    float extent;      ///< the projection spans -extent .. extent on both axes
};

/// A sprite's corners on the display, in whole units.
struct SpriteCorners {
    int32_t x0;  ///< left
    int32_t y0;  ///< bottom
    int32_t x1;  ///< right
    int32_t y1;  ///< top
};

/// Initialises the view (centre 0, 0, extent 20) with room for capacity
/// sprites. False when the list cannot be allocated: the view then holds none.
/// Pair with view_destroy.
bool view_create(SpriteView *view, int32_t capacity);
/// Releases the sprite list (the sprites are the caller's).
void view_destroy(SpriteView *view);
/// Moves the view's edges to centre cx, cy, keeping its extent.
void view_set_center(SpriteView *view, float cx, float cy);
/// Sets the half-width of the square (and so the projection), keeping the centre.
void view_set_extent(SpriteView *view, float e);
/// The centre of the view's edges.
void view_get_center(const SpriteView *view, float *cx, float *cy);
/// The sprite's 1-based place in the list, or 0 when the list is full (or
/// the view has none).
int32_t view_add_sprite(SpriteView *view, Sprite *sprite);
/// Whether the sprite lies (partly) inside the square: strict across, inclusive up and down.
bool view_sprite_visible(const SpriteView *view, const Sprite *sprite, float cx, float cy);

/// A sprite of animation (not owned) with its lower left corner at x, y,
/// upright, at frame 0.
Sprite sprite_create(const Animation *animation, float x, float y, float z, float width, float height);
/// Moves the sprite's lower left corner to x, y; the old place becomes prev_x, prev_y.
void sprite_move_to(Sprite *sprite, float x, float y);
/// Moves the sprite by dx, dy; the old place becomes prev_x, prev_y.
void sprite_move_by(Sprite *sprite, float dx, float dy);
/// The caller's two values kept in the sprite.
void sprite_get_user(const Sprite *sprite, int32_t *user_x, int32_t *user_y);
/// Keeps two values of the caller's in the sprite.
void sprite_set_user(Sprite *sprite, int32_t user_x, int32_t user_y);
/// 0 upright, 1 mirrored left-right, 2 upside down, 3 both; another value is
/// kept in direction but leaves the texture coordinates as they were.
void sprite_set_direction(Sprite *sprite, int32_t direction);
/// The next frame, back to 0 after the last.
void sprite_next_frame(Sprite *sprite);
/// The frame before, the last after 0 (0 for an animation without frames).
void sprite_prev_frame(Sprite *sprite);
/// Shows frame; a frame outside the animation's is ignored.
void sprite_set_frame(Sprite *sprite, int32_t frame);
/// The texture of the sprite's frame; false when there is no frame to show
/// (no animation, an animation of no frames, or no textures).
bool sprite_frame_texture(const Sprite *sprite, uint32_t *texture);
/// The corners offset by the view centre, each converted toward zero and held
/// to the integer range. False when a corner is not a number.
bool sprite_corners(const Sprite *sprite, float cx, float cy, SpriteCorners *corners);

// Drawing: defined in orj::gl, and needs the OpenGL context.

/// Sets an orthographic projection over the view's square and draws every
/// visible sprite in the order they were added, blended by alpha.
void view_draw(const SpriteView *view);
/// Draws one sprite with its current frame's texture, offset by cx, cy; draws
/// nothing when sprite_frame_texture or sprite_corners fails.
void sprite_draw(const Sprite *sprite, float cx, float cy);

}  // namespace orj
