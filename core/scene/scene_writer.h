// Writes scene records as a scene file that the reader reads back unchanged.
#pragma once

#include <string>

#include "core/base/error.h"
#include "core/scene/scene.h"
#include "core/scene/scene_reader.h"

// The file's text for a scene whose locations are parent-relative (as the
// reader leaves them): locations are written back in the common space.
std::string write_scene_text(const Scene *scene);

// Writes write_scene_text to path. Fails with error filled when the hierarchy
// would not read back (ERROR_MALFORMED) or the file cannot be opened or written.
ErrorKind save_scene(const Scene *scene, const char *path, Error *error);
