// Compiling a scene's meshes into OpenGL display lists.
#pragma once

#include "orj/core/scene/scene.h"

namespace orj {

// Compiles one display list per Mesh object in the current context, quads
// first (one triangle fan each), then triangles.
void compile_scene_lists(Scene *scene);

// Compiles the faces of one mesh into a new list and returns its name.
uint32_t compile_mesh_list(const SceneObject *mesh);

}  // namespace orj
