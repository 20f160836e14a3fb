#include "orj/gl/render/draw.h"

#include <allegro.h>
#include <alleggl.h>

#include <cassert>

namespace orj {

static void set_up_lamp_light(const SceneObject *lamp, int frame, RenderState *state)
{
    static const GLfloat position[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    static const GLfloat specular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    static const GLfloat ambient[4] = {0.0f, 0.0f, 0.0f, 1.0f};

    // Asked each time: the limit belongs to the current context, and a
    // program may draw in more than one.
    GLint max_lights = 0;
    glGetIntegerv(GL_MAX_LIGHTS, &max_lights);
    if (state->next_light < 0 || state->next_light >= max_lights) return;
    GLenum light = GL_LIGHT0 + state->next_light;
    state->next_light++;

    // A lamp's colour is its rotation as stored, in degrees.
    const Vector3 &colour = lamp->rotations[frame];
    GLfloat diffuse[4] = {colour.x, colour.y, colour.z, 0.3f};

    glDisable(light);
    glLightfv(light, GL_POSITION, position);
    glLightf(light, GL_CONSTANT_ATTENUATION, 1.0f);
    glLightf(light, GL_LINEAR_ATTENUATION, 0.1f);
    glLightfv(light, GL_DIFFUSE, diffuse);
    glLightfv(light, GL_SPECULAR, specular);
    glLightfv(light, GL_AMBIENT, ambient);
    if (state->lights_on != 0) glEnable(light);
}

// normalizing: a scale other than 1 above the object already has OpenGL
// bring normals back to unit length. Fixed-function lighting takes a scaled
// normal as it comes: a small scale (a model's unit conversion) would
// saturate every face to one colour, a large one darken it. Scenes whose
// scales are all 1 never pay for the renormalisation.
static void draw_tree(const Scene *scene, int frame, int index, RenderState *state, bool normalizing)
{
    assert(index >= 0 && index < scene->object_count && frame >= 0 && frame < scene->frame_count);
    const SceneObject *object = &scene->objects[index];
    glPolygonMode(GL_FRONT, GL_FILL);

    // A zero scale on any axis hides the object and everything below it.
    const Vector3 &scale = object->scales[frame];
    if (scale.x == 0.0f || scale.y == 0.0f || scale.z == 0.0f) return;

    const Vector3 &location = object->locations[frame];
    const Vector3 &rotation = object->rotations[frame];
    glPushMatrix();
    glTranslatef(location.x, location.y, location.z);
    glRotatef(rotation.x, 1.0f, 0.0f, 0.0f);
    glRotatef(rotation.y, 0.0f, 1.0f, 0.0f);
    glRotatef(rotation.z, 0.0f, 0.0f, 1.0f);
    glScalef(scale.x, scale.y, scale.z);
    bool starts_normalizing = !normalizing && (scale.x != 1.0f || scale.y != 1.0f || scale.z != 1.0f);
    if (starts_normalizing) glEnable(GL_NORMALIZE);

    if (object->kind == Mesh) glCallList(object->display_list);
    else if (object->kind == Lamp) set_up_lamp_light(object, frame, state);

    for (int i = 0; i < object->child_count; i++)
        draw_tree(scene, frame, object->children[i], state, normalizing || starts_normalizing);
    if (starts_normalizing) glDisable(GL_NORMALIZE);
    glPopMatrix();
}

void draw_object(const Scene *scene, int frame, int index, RenderState *state)
{
    draw_tree(scene, frame, index, state, false);
}

void draw_scene(const Scene *scene, uint32_t texture, int frame, RenderState *state)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    glPolygonMode(GL_FRONT, GL_FILL);
    if (frame < 0 || frame >= scene->frame_count) return;
    for (int i = 0; i < scene->object_count; i++)
        if (scene->objects[i].is_root) draw_object(scene, frame, i, state);
}

}  // namespace orj
