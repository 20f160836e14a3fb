/// @file
/// The pure scene reader: text in, records out, no OpenGL.
#pragma once

#include <cstddef>

#include "orj/core/base/error.h"
#include "orj/core/scene/scene.h"

/// The largest scene file read: every line number then fits in 32 bits.
#define SCENE_MAX_FILE_SIZE 2147483647LL

namespace orj {

/// Parses a whole scene file held in memory, links the hierarchy, counts the
/// polygons and applies the parent-relative fix-up. Display lists stay 0.
/// On failure returns the kind, fills error ("PATH:LINE: what was wrong") and
/// leaves scene zeroed with nothing allocated.
ErrorKind read_scene_text(Scene *scene, const char *text, size_t size, const char *path, Error *error);

/// Reads the file at path piece by piece, with the same records and messages
/// as read_scene_text on its whole text. Never ends the process. Refuses with
/// ERROR_CANNOT_OPEN ("PATH: cannot open: reason", "PATH: is a directory",
/// "PATH: not a regular file") and ERROR_TOO_LARGE (over SCENE_MAX_FILE_SIZE).
ErrorKind read_scene_file(Scene *scene, const char *path, Error *error);

/// Releases the arrays of a scene made by the reader (or built by hand with
/// malloc), then zeroes the scene; display lists are not touched.
void free_scene_records(Scene *scene);

}  // namespace orj
