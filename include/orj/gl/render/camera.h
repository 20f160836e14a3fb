/// @file
/// Looking at a scene through one of its camera objects.
#pragma once

#include "orj/core/scene/scene.h"

namespace orj {

/// Replaces the current matrix by the view of the first Camera object called
/// name, at frame. Returns 1 when found, 0 (matrix untouched) otherwise.
int apply_camera(const Scene *scene, const char *name, int frame);

}  // namespace orj
