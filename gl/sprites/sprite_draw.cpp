#include <allegro.h>
#include <alleggl.h>

#include "orj/core/sprites/sprite_view.h"

namespace orj {

void sprite_draw(const Sprite *sprite, float cx, float cy)
{
    SpriteCorners corners;
    uint32_t texture = 0;
    if (!sprite_frame_texture(sprite, &texture) || !sprite_corners(sprite, cx, cy, &corners)) return;
    glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_QUADS);
    glTexCoord2f(sprite->s_left, sprite->t_bottom);
    glVertex2f((float)corners.x0, (float)corners.y0);
    glTexCoord2f(sprite->s_right, sprite->t_bottom);
    glVertex2f((float)corners.x1, (float)corners.y0);
    glTexCoord2f(sprite->s_right, sprite->t_top);
    glVertex2f((float)corners.x1, (float)corners.y1);
    glTexCoord2f(sprite->s_left, sprite->t_top);
    glVertex2f((float)corners.x0, (float)corners.y1);
    glEnd();
}

void view_draw(const SpriteView *view)
{
    float cx, cy;
    view_get_center(view, &cx, &cy);
    float e = view->extent;

    glViewport(0, 0, SCREEN_W, SCREEN_H);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-e, e, -e, e, -1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -e);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glPolygonMode(GL_FRONT, GL_FILL);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    for (int32_t i = 0; i < view->count; i++) {
        const Sprite *sprite = view->sprites[i];
        if (view_sprite_visible(view, sprite, cx, cy)) sprite_draw(sprite, cx, cy);
    }
}

}  // namespace orj
