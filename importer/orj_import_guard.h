// What the asset importer library is not trusted with: Collada files that
// nest too deep or instance themselves (its reader recurses until the stack
// runs out) are refused before it reads them, and meshes whose faces or
// weights name vertices they do not have are repaired before its mesh steps
// (smooth normals, vertex merging) index with them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "orj/core/base/error.h"

struct aiScene;

namespace orj {

enum {
    // Element nesting of a Collada file; real files stay in the tens. The
    // reader's recursion lasts to some thousands of levels in a plain build,
    // fewer with the sanitizers' larger frames.
    MAX_COLLADA_DEPTH = 1000,
    // Nodes of a Collada scene once every instance is expanded: instances of
    // instances multiply, and the library builds each copy.
    MAX_COLLADA_NODES = 1000000,
};

// ERROR_NONE for a file that is not Collada, or one the library may read;
// else ERROR_TOO_LARGE (too deep, too many nodes once instanced),
// ERROR_MALFORMED (not well-formed XML, or a node that instances itself) or
// ERROR_UNSUPPORTED (zipped Collada, whose inside cannot be checked).
ErrorKind check_collada_file(const char *path, Error *error);

// The same checks of Collada text in memory (named path in messages).
ErrorKind check_collada_text(const char *text, size_t size, const char *path, Error *error);

// ERROR_NONE for a file that is not binary glTF, or one whose header and
// first chunk lie within the file; else ERROR_MALFORMED (the library would
// allocate what the header says before finding the file shorter).
ErrorKind check_glb_file(const char *path, Error *error);

struct MeshRepairs {
    int64_t faces_dropped;    // faces naming missing vertices, or none
    int64_t weights_dropped;  // bone weights of missing vertices
    int64_t morphs_dropped;   // morph targets whose vertex count is not the mesh's
};

// Drops from scene's meshes what would make the library index past a
// vertex array; counts what it dropped in *repairs.
void repair_meshes(aiScene *scene, MeshRepairs *repairs);

}  // namespace orj
