// "orj export": a scene file back out to the common interchange formats
// (glTF 2.0, Collada, OBJ) through the asset importer's exporter, and
// "orj formats": what import and export take.
#pragma once

#include <string>

#include "orj/core/scene/scene.h"

struct aiScene;

namespace orj {

// The scene as an asset-importer scene: a node per object under one root,
// with the engine's transforms (translate, rotate about x, y, z, scale) at
// frame 0; meshes of triangles (quads cut as the engine draws them) with a
// vertex per corner, normals and texture coordinates, all sharing one
// material that names texture_name (none when empty); lamps as point lights
// of their colour; cameras; and, when animate is set and there is more than
// one frame, every object's transform as keys at 25 frames a second.
// The caller deletes the result.
aiScene *scene_to_assimp(const Scene *scene, const std::string &texture_name, bool animate);

// argv[0] is "export" or "formats". Return the exit status: 0 done, 1 a file
// cannot be read or written, 2 bad options.
int orj_export_main(int argc, char **argv);
int orj_formats_main(int argc, char **argv);

}  // namespace orj
