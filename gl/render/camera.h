// Looking at a scene through one of its camera objects.
#pragma once

#include "core/scene/scene.h"

// Replaces the current matrix by the view of the first Camera object called
// name, at frame. Returns 1 when found, 0 (matrix untouched) otherwise.
int apply_camera(const Scene *scene, const char *name, int frame);
