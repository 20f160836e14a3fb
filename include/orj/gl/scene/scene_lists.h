/// @file
/// Compiling a scene's meshes into OpenGL display lists.
#pragma once

#include "orj/core/scene/scene.h"

namespace orj {

/// Compiles one display list per Mesh object in the current context, quads
/// first (each as the two triangles of its fan), then triangles, in one
/// triangle list; each list's name goes into
/// its object's display_list, and destroy_scene deletes them.
void compile_scene_lists(Scene *scene);

/// Compiles the faces of one mesh into a new list and returns its name, which
/// the caller deletes (glDeleteLists); 0 when OpenGL has no list to give.
uint32_t compile_mesh_list(const SceneObject *mesh);

}  // namespace orj
