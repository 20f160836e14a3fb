#include "orj/gl/render/camera.h"

#include <allegro.h>
#include <alleggl.h>

#include <cstring>

namespace orj {

int apply_camera(const Scene *scene, const char *name, int frame)
{
    for (int i = 0; i < scene->object_count; i++) {
        const SceneObject *object = &scene->objects[i];
        if (object->kind != Camera || strcmp(object->name, name) != 0) continue;
        if (frame < 0 || frame >= scene->frame_count) return 0;

        const Vector3 &location = object->locations[frame];
        const Vector3 &rotation = object->rotations[frame];
        glLoadIdentity();
        glRotatef(-rotation.x, 1.0f, 0.0f, 0.0f);
        glRotatef(-rotation.y, 0.0f, 1.0f, 0.0f);
        glRotatef(-rotation.z, 0.0f, 0.0f, 1.0f);
        glTranslatef(-location.x, -location.y, -location.z);
        return 1;
    }
    return 0;
}

}  // namespace orj
