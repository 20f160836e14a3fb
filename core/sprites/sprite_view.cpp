#include "orj/core/sprites/sprite_view.h"

#include <cmath>
#include <cstdlib>

namespace orj {

bool view_create(SpriteView *view, int32_t capacity)
{
    view->extent = 20.0f;
    view->count = 0;
    view->min_x = -10.0f;
    view->min_y = -10.0f;
    view->max_x = 10.0f;
    view->max_y = 10.0f;
    if (capacity < 0) capacity = 0;
    // An array of pointers: sizeof(Sprite *) is meant.
    // NOLINTNEXTLINE(bugprone-sizeof-expression)
    view->sprites = (Sprite **)malloc(sizeof(Sprite *) * ((size_t)capacity > 0 ? (size_t)capacity : 1));
    view->capacity = view->sprites ? capacity : 0;
    view_set_extent(view, 20.0f);
    return view->sprites != nullptr;
}

void view_destroy(SpriteView *view)
{
    free(view->sprites);
    view->sprites = nullptr;
    view->capacity = 0;
    view->count = 0;
}

void view_get_center(const SpriteView *view, float *cx, float *cy)
{
    *cx = (view->min_x + view->max_x) / 2.0f;
    *cy = (view->min_y + view->max_y) / 2.0f;
}

void view_set_center(SpriteView *view, float cx, float cy)
{
    view->min_x = cx - view->extent;
    view->max_x = cx + view->extent;
    view->min_y = cy - view->extent;
    view->max_y = cy + view->extent;
}

void view_set_extent(SpriteView *view, float e)
{
    float cx, cy;
    view_get_center(view, &cx, &cy);
    view->min_x = cx - e;
    view->max_x = cx + e;
    view->min_y = cy - e;
    view->max_y = cy + e;
    view->extent = e;
}

int32_t view_add_sprite(SpriteView *view, Sprite *sprite)
{
    if (!view->sprites || view->count >= view->capacity) return 0;
    view->sprites[view->count] = sprite;
    view->count++;
    return view->count;
}

bool view_sprite_visible(const SpriteView *view, const Sprite *sprite, float cx, float cy)
{
    float e = view->extent;
    return -e < sprite->x + sprite->width + cx && sprite->x + cx < e && -e <= sprite->y + sprite->height + cy &&
           sprite->y + cy <= e;
}

Sprite sprite_create(const Animation *animation, float x, float y, float z, float width, float height)
{
    Sprite sprite = {};
    sprite.animation = animation;
    sprite.x = x;
    sprite.y = y;
    sprite.z = z;
    sprite.width = width;
    sprite.height = height;
    // Nothing has moved yet: the previous position is the first one.
    sprite.prev_x = x;
    sprite.prev_y = y;
    sprite.frame = 0;
    sprite.user_x = 0;
    sprite.user_y = 0;
    sprite_set_direction(&sprite, 0);
    return sprite;
}

void sprite_move_to(Sprite *sprite, float x, float y)
{
    sprite->prev_x = sprite->x;
    sprite->prev_y = sprite->y;
    sprite->x = x;
    sprite->y = y;
}

void sprite_move_by(Sprite *sprite, float dx, float dy)
{
    sprite->prev_x = sprite->x;
    sprite->prev_y = sprite->y;
    sprite->x += dx;
    sprite->y += dy;
}

void sprite_get_user(const Sprite *sprite, int32_t *user_x, int32_t *user_y)
{
    *user_x = sprite->user_x;
    *user_y = sprite->user_y;
}

void sprite_set_user(Sprite *sprite, int32_t user_x, int32_t user_y)
{
    sprite->user_x = user_x;
    sprite->user_y = user_y;
}

void sprite_set_direction(Sprite *sprite, int32_t direction)
{
    // Texture row 0 is the frame's top row, so t = 1 at the bottom edge is upright.
    static const float coordinates[4][4] = {
        {0.0f, 1.0f, 1.0f, 0.0f},
        {1.0f, 1.0f, 0.0f, 0.0f},
        {0.0f, 0.0f, 1.0f, 1.0f},
        {1.0f, 0.0f, 0.0f, 1.0f},
    };
    if (direction >= 0 && direction <= 3) {
        sprite->s_left = coordinates[direction][0];
        sprite->t_bottom = coordinates[direction][1];
        sprite->s_right = coordinates[direction][2];
        sprite->t_top = coordinates[direction][3];
    }
    sprite->direction = direction;
}

static int32_t sprite_frame_count(const Sprite *sprite)
{
    return sprite->animation ? sprite->animation->frame_count : 0;
}

void sprite_next_frame(Sprite *sprite)
{
    if (sprite->frame < sprite_frame_count(sprite) - 1) sprite->frame++;
    else sprite->frame = 0;
}

void sprite_prev_frame(Sprite *sprite)
{
    int32_t frame_count = sprite_frame_count(sprite);
    if (sprite->frame > 0) sprite->frame--;
    // An animation without frames keeps frame 0 rather than -1.
    else sprite->frame = frame_count > 0 ? frame_count - 1 : 0;
}

void sprite_set_frame(Sprite *sprite, int32_t frame)
{
    if (frame >= 0 && frame < sprite_frame_count(sprite)) sprite->frame = frame;
}

bool sprite_frame_texture(const Sprite *sprite, uint32_t *texture)
{
    const Animation *animation = sprite->animation;
    if (!animation || !animation->textures || sprite->frame < 0 || sprite->frame >= animation->frame_count)
        return false;
    *texture = animation->textures[sprite->frame];
    return true;
}

// Toward zero, held to the integer range; false for a value that is not a number.
static bool truncate_to_int(float value, int32_t *result)
{
    if (std::isnan(value)) return false;
    if (value >= 2147483648.0f) *result = INT32_MAX;
    else if (value <= -2147483648.0f) *result = INT32_MIN;
    else *result = (int32_t)value;
    return true;
}

bool sprite_corners(const Sprite *sprite, float cx, float cy, SpriteCorners *corners)
{
    return truncate_to_int(sprite->x + cx, &corners->x0) &&
           truncate_to_int(sprite->x + sprite->width + cx, &corners->x1) &&
           truncate_to_int(sprite->y + cy, &corners->y0) &&
           truncate_to_int(sprite->y + sprite->height + cy, &corners->y1);
}

}  // namespace orj
