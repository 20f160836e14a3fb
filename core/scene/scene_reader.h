// The pure scene reader: text in, records out, no OpenGL.
#pragma once

#include <cstddef>

#include "core/scene/scene.h"

struct SceneError {
    int line;           // 1-based line the message names, 0 when none
    char message[640];  // "PATH:LINE: what was wrong" or "PATH: cannot open: reason"
    bool cannot_open;   // the file could not be opened (message is the second form)
};

// Parses a whole scene file held in memory, links the hierarchy, counts the
// polygons and applies the parent-relative fix-up. Display lists stay 0.
// On failure returns false, fills error and leaves scene zeroed with nothing allocated.
bool read_scene_text(Scene *scene, const char *text, size_t size, const char *path, SceneError *error);

// Reads the file at path, then read_scene_text. Never ends the process.
bool read_scene_file(Scene *scene, const char *path, SceneError *error);

// Releases the arrays of a scene made by the reader (or built by hand with
// malloc), then zeroes the scene; display lists are not touched.
void free_scene_records(Scene *scene);
