// A model's textures: found among its materials, decoded, and written as
// the TGA file that the viewer loads.
#pragma once

#include "orj/core/base/error.h"
#include "orj/core/image/image.h"

#include <cstdint>
#include <string>
#include <vector>

struct aiScene;

namespace orj {

struct ModelFolder;

// The first diffuse (or base colour) texture of the materials, in material
// order: a file path as the model gives it, or "*N" for embedded texture N.
// False when no material has one.
bool find_diffuse_texture(const aiScene *scene, std::string *reference);
// The same for one material.
bool find_material_texture(const aiScene *scene, unsigned material, std::string *reference);

// Decodes the texture that reference names: embedded data, or a file found
// by resolve_texture_reference (inside the model's folder). Every image goes
// through the engine's decoders.
ErrorKind load_texture_image(const aiScene *scene, const std::string &reference, ModelFolder *folder, Image *image,
                             Error *error);

}  // namespace orj
