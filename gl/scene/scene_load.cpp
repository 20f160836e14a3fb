#include <allegro.h>
#include <alleggl.h>

#include <cstdio>
#include <cstdlib>

#include "gl/display/message.h"
#include "core/scene/scene.h"
#include "gl/scene/scene_lists.h"
#include "core/scene/scene_reader.h"

Scene *load_scene(Scene *scene, const char *path)
{
    if (!scene) return nullptr;
    Error error;
    if (read_scene_file(scene, path, &error) != ERROR_NONE) {
        if (error.kind == ERROR_CANNOT_OPEN) {
            // Why, and which file, for whoever reads standard error.
            fprintf(stderr, "%s\n", error.message.c_str());
            fputs("no se encontro el archivo", stdout);
            fflush(stdout);
            // Failing to load the scene is a failure, whatever the old exit status said.
            exit(1);
        }
        show_message("%s", error.message.c_str());
        return nullptr;
    }
    compile_scene_lists(scene);
    return scene;
}

void destroy_scene(Scene *scene)
{
    for (int32_t i = 0; i < scene->object_count; i++) {
        const SceneObject *object = &scene->objects[i];
        if (object->kind == Mesh && object->display_list != 0) glDeleteLists(object->display_list, 1);
    }
    // The counts stay readable after the records are gone; only the pointer is cleared.
    Scene counts = *scene;
    free_scene_records(scene);
    scene->object_count = counts.object_count;
    scene->frame_count = counts.frame_count;
    scene->polygon_count = counts.polygon_count;
}
