/// @file
/// Writes scene records as a scene file.
///
/// What the reader reads back from the file:
/// - counts, names, types, parent names, meshes and scales: exactly;
/// - rotations and texture t: exactly whenever a file value gives them (the
///   file holds radians and an upturned t; the nearest such value is written);
/// - locations: the file holds them in one common space and the reader's
///   fix-up subtracts each parent's first-frame location (once per namesake
///   link). Given LOCATIONS_AS_IN_FILE, locations are written as they are, so
///   the records read back are exactly the fix-up of them. Given
///   LOCATIONS_RELATIVE (as the reader leaves them), every fix-up step is
///   undone by one addition, in reverse order, so a location reads back within
///   one rounding per step above it: exact when those sums are (small decimals
///   of a few digits), and a location next to a far-off or non-finite parent
///   loses what the sum loses.
#pragma once

#include <string>

#include "orj/core/base/error.h"
#include "orj/core/scene/scene.h"

namespace orj {

/// The space the locations of the scene handed to the writer are in.
enum LocationSpace {
    LOCATIONS_RELATIVE,    ///< parent-relative, as the reader leaves them
    LOCATIONS_AS_IN_FILE,  ///< the common space the file holds
};

/// The file's text; ERROR_MALFORMED (text still written, error filled) when the
/// hierarchy is one the reader rejects: an object named "none", a cycle, or
/// namesakes or depth beyond the reader's limits.
ErrorKind write_scene_text(const Scene *scene, LocationSpace space, std::string *text, Error *error);

/// Writes write_scene_text to path through orj/core/base/output_file.h, so
/// path is neither created nor changed when the hierarchy is refused or the
/// file cannot be written whole (ERROR_CANNOT_WRITE, naming the reason).
ErrorKind save_scene(const Scene *scene, LocationSpace space, const char *path, Error *error);

}  // namespace orj
