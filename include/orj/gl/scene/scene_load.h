/// @file
/// Loading a scene file: reading its records, then compiling its display lists.
#pragma once

#include <string>
#include <thread>

#include "orj/core/base/error.h"
#include "orj/core/scene/scene.h"

namespace orj {

/// Reads a scene file and compiles one display list per mesh in the current
/// OpenGL context. Returns scene, filled and owning its records and lists
/// (destroy_scene), or null when scene is null or the file is rejected: the
/// message, "PATH:LINE: what was wrong", is shown first, and a file that cannot
/// be opened prints "no se encontro el archivo" on standard output.
Scene *load_scene(Scene *scene, const char *path);

/// Releases everything the scene owns, its display lists included; the context
/// that built them must be current. The counts are kept, objects becomes null.
void destroy_scene(Scene *scene);

/// A scene file being read on a thread of its own, so that the reading
/// overlaps whatever the caller does meanwhile: opening the window is mostly
/// loading the GL driver and the display server's answers. load_scene is a
/// start followed at once by a finish. The caller owns the record; its
/// members are the reading's own until scene_reading_finish returns.
struct SceneReading {
    std::string path;    ///< the file being read
    Scene scene;         ///< the records read, handed over by scene_reading_finish
    Error error;         ///< why the reading failed
    ErrorKind result;    ///< the reader's result
    std::thread reader;  ///< the reading thread, joined by scene_reading_finish
};

/// Starts reading path into reading->scene. The reading touches nothing but
/// reading itself; every start is followed by scene_reading_finish.
void scene_reading_start(SceneReading *reading, const char *path);

/// Waits for the reading, then does what load_scene does with a scene it has
/// read: the same messages, the display lists compiled in the current context.
/// Returns scene, filled and owning its records and lists (destroy_scene), or
/// null when scene is null (the records read are released) or the file was
/// rejected.
Scene *scene_reading_finish(SceneReading *reading, Scene *scene);

}  // namespace orj
