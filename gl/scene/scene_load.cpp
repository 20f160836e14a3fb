#include "orj/gl/scene/scene_load.h"

#include <allegro.h>
#include <alleggl.h>

#include <cstdio>
#include <cstdlib>
#include <system_error>
#ifndef _WIN32
#include <locale.h>
#endif

#include "orj/gl/display/message.h"
#include "orj/gl/scene/scene_lists.h"
#include "orj/core/scene/scene_reader.h"

namespace orj {

static void read_on_thread(SceneReading *reading)
{
#ifndef _WIN32
    // The X keyboard driver sets the process's locale from the environment,
    // perhaps while this thread reads: the few numbers the reader leaves to the
    // C library are read in the C locale whatever the environment says, as the
    // programs that never open a window read them.
    locale_t c_locale = newlocale(LC_ALL_MASK, "C", (locale_t)0);
    if (c_locale) uselocale(c_locale);
#endif
    reading->result = read_scene_file(&reading->scene, reading->path.c_str(), &reading->error);
#ifndef _WIN32
    if (c_locale) {
        uselocale(LC_GLOBAL_LOCALE);
        freelocale(c_locale);
    }
#endif
}

void scene_reading_start(SceneReading *reading, const char *path)
{
    reading->path = path;
    reading->scene = {};
    reading->error = {};
    reading->result = ERROR_NONE;
    try {
        reading->reader = std::thread(read_on_thread, reading);
    } catch (const std::system_error &) {
        // No thread to be had: the reading is done here and now instead.
        read_on_thread(reading);
    }
}

// Reports a rejected file.
static void report_unread(const Error &error)
{
    if (error.kind == ERROR_CANNOT_OPEN) {
        // Why, and which file, for whoever reads standard error.
        fprintf(stderr, "%s\n", error.message.c_str());
        fputs("no se encontro el archivo", stdout);
        fflush(stdout);
        return;
    }
    show_message("%s", error.message.c_str());
}

Scene *scene_reading_finish(SceneReading *reading, Scene *scene)
{
    if (reading->reader.joinable()) reading->reader.join();
    if (!scene) {
        free_scene_records(&reading->scene);
        return nullptr;
    }
    // A rejected file leaves the scene zeroed, as the reader does.
    *scene = reading->scene;
    reading->scene = {};
    if (reading->result != ERROR_NONE) {
        report_unread(reading->error);
        return nullptr;
    }
    compile_scene_lists(scene);
    return scene;
}

Scene *load_scene(Scene *scene, const char *path)
{
    if (!scene) return nullptr;
    SceneReading reading;
    scene_reading_start(&reading, path);
    return scene_reading_finish(&reading, scene);
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

}  // namespace orj
