// The scene's one texture holds every material: each material's texture (or
// a patch of its diffuse colour) is a tile of an atlas, and the meshes'
// texture coordinates are moved into their material's tile.
#pragma once

#include <string>
#include <vector>

#include "importer/orj_import_convert.h"
#include "importer/orj_import_texture.h"

struct aiScene;

namespace orj {

struct ModelFolder;

enum {
    ATLAS_MAX_SIDE = 4096,   // the atlas's sides, powers of two; tiles shrink to fit
    ATLAS_MAX_REPEATS = 8,   // copies of a texture along each side for faces that repeat it
    ATLAS_PADDING = 4,       // texels of wrapped texture around a tile, against bleeding from its neighbours
    ATLAS_COLOUR_TILE = 4,   // side of a tile that holds a plain colour
    ATLAS_MAX_TILES = 1024,  // distinct textures and colours; (8 + 8) texels each fit the atlas at worst
};

struct Atlas {
    Image image;
    std::vector<std::string> materials;  // one line for each material used: what became of it
    std::vector<std::string> repeats;    // textures repeated in their tile, and how often
    std::vector<std::string> warnings;   // missing textures, repeats cut at the bound
};

// Packs the textures and colours of the materials that objects use into
// atlas->image and rewrites the objects' texture coordinates into their
// material's tile. Faces whose coordinates run past 0..1 see their texture
// repeated in the tile, up to ATLAS_MAX_REPEATS along a side; past that the
// coordinates are held at the bound, with a warning. A texture that cannot be
// found or read gives way to its material's colour, with a warning. Texture
// files are looked for through folder (inside the model's folder).
void build_atlas(const aiScene *scene, ModelFolder *folder, std::vector<ImportObject> *objects, Atlas *atlas);

}  // namespace orj
