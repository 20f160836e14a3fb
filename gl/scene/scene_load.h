// Loading a scene file: reading its records, then compiling its display lists.
#pragma once

#include <string>
#include <thread>

#include "core/base/error.h"
#include "core/scene/scene.h"

// A scene file being read on a thread of its own, so that the reading
// overlaps whatever the caller does meanwhile: opening the window is mostly
// loading the GL driver and the display server's answers. load_scene
// (core/scene/scene.h) is a start followed at once by a finish.
struct SceneReading {
    std::string path;
    Scene scene;
    Error error;
    ErrorKind result;
    std::thread reader;
};

// Starts reading path into reading->scene. The reading touches nothing but
// reading itself; every start is followed by scene_reading_finish.
void scene_reading_start(SceneReading *reading, const char *path);

// Waits for the reading, then does what load_scene does with a scene it has
// read: the same messages (the same exit when the file cannot be opened),
// the display lists compiled in the current context. Returns scene, filled,
// or null when scene is null or the file was rejected.
Scene *scene_reading_finish(SceneReading *reading, Scene *scene);
