// The sprite view's arithmetic: centre and extent, culling, corners, frames, directions.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "orj/core/sprites/sprite_view.h"

using namespace orj;

namespace {

Animation animation_of(int32_t frame_count, uint32_t *textures)
{
    Animation animation = {};
    animation.frame_count = frame_count;
    animation.textures = textures;
    return animation;
}

}  // namespace

TEST(SpriteView, NewViewAndItsBox)
{
    SpriteView view;
    view_create(&view, 2);
    float cx = 1, cy = 1;
    view_get_center(&view, &cx, &cy);
    EXPECT_EQ(cx, 0.0f);
    EXPECT_EQ(cy, 0.0f);
    EXPECT_EQ(view.extent, 20.0f);
    EXPECT_EQ(view.min_x, -20.0f);
    EXPECT_EQ(view.max_y, 20.0f);
    EXPECT_EQ(view.count, 0);

    view_set_center(&view, 5.0f, -3.0f);
    view_set_extent(&view, 8.0f);
    view_get_center(&view, &cx, &cy);
    EXPECT_EQ(cx, 5.0f);
    EXPECT_EQ(cy, -3.0f);
    EXPECT_EQ(view.min_x, -3.0f);
    EXPECT_EQ(view.max_y, 5.0f);
    EXPECT_EQ(view.extent, 8.0f);
    view_destroy(&view);
}

TEST(SpriteView, FullViewRefusesTheThirdSprite)
{
    SpriteView view;
    view_create(&view, 2);
    Sprite a = sprite_create(nullptr, 0, 0, 0, 1, 1), b = a, c = a;
    EXPECT_EQ(view_add_sprite(&view, &a), 1);
    EXPECT_EQ(view_add_sprite(&view, &b), 2);
    EXPECT_EQ(view_add_sprite(&view, &c), 0);
    EXPECT_EQ(view.count, 2);
    EXPECT_EQ(view.sprites[1], &b);
    view_destroy(&view);
}

TEST(SpriteView, CullingIsStrictAcrossAndInclusiveUpAndDown)
{
    SpriteView view;
    view_create(&view, 1);
    struct Case {
        float x, y;
        bool visible;
    } cases[] = {
        {-25, 0, false},                                        // right edge touches the left side
        {20, 0, false},                                         // left edge touches the right side
        {-24.9f, 0, true},  {19.9f, 0, true},  {0, -25, true},  // top edge touches the bottom side
        {0, 20, true},                                          // bottom edge touches the top side
        {0, -25.1f, false}, {0, 20.1f, false},
    };
    for (const Case &c : cases) {
        Sprite sprite = sprite_create(nullptr, c.x, c.y, 0, 5, 5);
        EXPECT_EQ(view_sprite_visible(&view, &sprite, 0, 0), c.visible) << c.x << ", " << c.y;
    }
    // The centre is added: at centre (5, 0) a sprite at x = -30 has its right edge at -20.
    view_set_center(&view, 5, 0);
    Sprite shifted = sprite_create(nullptr, -30, 0, 0, 5, 5);
    EXPECT_FALSE(view_sprite_visible(&view, &shifted, 5, 0));
    view_destroy(&view);
}

TEST(SpriteView, CornersAreTruncatedTowardZeroAndHeldToTheIntegerRange)
{
    SpriteCorners corners;
    Sprite sprite = sprite_create(nullptr, 1.7f, -1.7f, 0, 2.6f, 2.6f);
    ASSERT_TRUE(sprite_corners(&sprite, 0, 0, &corners));
    EXPECT_EQ(corners.x0, 1);
    EXPECT_EQ(corners.x1, 4);
    EXPECT_EQ(corners.y0, -1);  // toward zero, not down
    EXPECT_EQ(corners.y1, 0);

    // The centre moves the corners: at centre (5, 0) a sprite at x = -5 starts at 0.
    Sprite centred = sprite_create(nullptr, -5, 0, 0, 2, 2);
    ASSERT_TRUE(sprite_corners(&centred, 5, 0, &corners));
    EXPECT_EQ(corners.x0, 0);

    Sprite far = sprite_create(nullptr, 3e9f, -3e9f, 0, 1e30f, std::numeric_limits<float>::infinity());
    ASSERT_TRUE(sprite_corners(&far, 0, 0, &corners));
    EXPECT_EQ(corners.x0, INT32_MAX);
    EXPECT_EQ(corners.x1, INT32_MAX);
    EXPECT_EQ(corners.y0, INT32_MIN);
    EXPECT_EQ(corners.y1, INT32_MAX);

    Sprite lost = sprite_create(nullptr, std::nanf(""), 0, 0, 1, 1);
    EXPECT_FALSE(sprite_corners(&lost, 0, 0, &corners));
}

TEST(Sprite, CreateMoveAndUserValues)
{
    Animation animation = animation_of(3, nullptr);
    Sprite sprite = sprite_create(&animation, 3, 4, 7, 2, 1);
    EXPECT_EQ(sprite.frame, 0);
    EXPECT_EQ(sprite.direction, 0);
    EXPECT_EQ(sprite.z, 7.0f);
    sprite_move_by(&sprite, 1, 2);
    EXPECT_EQ(sprite.prev_x, 3.0f);
    EXPECT_EQ(sprite.prev_y, 4.0f);
    EXPECT_EQ(sprite.x, 4.0f);
    EXPECT_EQ(sprite.y, 6.0f);
    sprite_move_to(&sprite, -1, -2);
    EXPECT_EQ(sprite.prev_x, 4.0f);
    EXPECT_EQ(sprite.x, -1.0f);
    EXPECT_EQ(sprite.y, -2.0f);

    int32_t ux = 0, uy = 0;
    sprite_set_user(&sprite, -7, 123456);
    sprite_get_user(&sprite, &ux, &uy);
    EXPECT_EQ(ux, -7);
    EXPECT_EQ(uy, 123456);
}

TEST(Sprite, FramesWrapBothWaysAndStayInRange)
{
    uint32_t textures[3] = {11, 12, 13};
    Animation animation = animation_of(3, textures);
    Sprite sprite = sprite_create(&animation, 0, 0, 0, 1, 1);
    sprite_prev_frame(&sprite);
    EXPECT_EQ(sprite.frame, 2);
    sprite_next_frame(&sprite);
    EXPECT_EQ(sprite.frame, 0);
    sprite_set_frame(&sprite, 3);
    EXPECT_EQ(sprite.frame, 0);
    sprite_set_frame(&sprite, -1);
    EXPECT_EQ(sprite.frame, 0);
    sprite_set_frame(&sprite, 1);
    EXPECT_EQ(sprite.frame, 1);
    uint32_t texture = 0;
    ASSERT_TRUE(sprite_frame_texture(&sprite, &texture));
    EXPECT_EQ(texture, 12u);

    Animation single = animation_of(1, textures);
    Sprite one = sprite_create(&single, 0, 0, 0, 1, 1);
    sprite_next_frame(&one);
    EXPECT_EQ(one.frame, 0);
    sprite_prev_frame(&one);
    EXPECT_EQ(one.frame, 0);

    // No frames at all: the frame stays 0 and there is nothing to draw.
    Animation none = animation_of(0, textures);
    Sprite empty = sprite_create(&none, 0, 0, 0, 1, 1);
    sprite_prev_frame(&empty);
    EXPECT_EQ(empty.frame, 0);
    sprite_next_frame(&empty);
    EXPECT_EQ(empty.frame, 0);
    EXPECT_FALSE(sprite_frame_texture(&empty, &texture));
    Sprite orphan = sprite_create(nullptr, 0, 0, 0, 1, 1);
    EXPECT_FALSE(sprite_frame_texture(&orphan, &texture));
}

TEST(Sprite, DirectionsSetTheTextureCorners)
{
    const float expected[4][4] = {{0, 1, 1, 0}, {1, 1, 0, 0}, {0, 0, 1, 1}, {1, 0, 0, 1}};
    Sprite sprite = sprite_create(nullptr, 0, 0, 0, 1, 1);
    for (int d = 0; d < 4; d++) {
        sprite_set_direction(&sprite, d);
        EXPECT_EQ(sprite.s_left, expected[d][0]) << d;
        EXPECT_EQ(sprite.t_bottom, expected[d][1]) << d;
        EXPECT_EQ(sprite.s_right, expected[d][2]) << d;
        EXPECT_EQ(sprite.t_top, expected[d][3]) << d;
    }
    // Outside 0..3 the corners stay and the value is kept.
    sprite_set_direction(&sprite, 7);
    EXPECT_EQ(sprite.direction, 7);
    EXPECT_EQ(sprite.s_left, 1.0f);
    EXPECT_EQ(sprite.t_top, 1.0f);
}
