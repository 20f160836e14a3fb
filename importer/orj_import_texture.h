// A model's textures: found among its materials, decoded, and written as
// the TGA file that the viewer loads.
#pragma once

#include "orj/core/base/error.h"

#include <cstdint>
#include <string>
#include <vector>

struct aiScene;

namespace orj {

struct ModelFolder;

struct TextureImage {
    int width, height;
    std::vector<uint8_t> rgba;  // rows top first, bytes red, green, blue, alpha
};

// An uncompressed 32-bit TGA holding image, top row first.
std::vector<uint8_t> encode_tga(const TextureImage &image);

// The first diffuse (or base colour) texture of the materials, in material
// order: a file path as the model gives it, or "*N" for embedded texture N.
// False when no material has one.
bool find_diffuse_texture(const aiScene *scene, std::string *reference);
// The same for one material.
bool find_material_texture(const aiScene *scene, unsigned material, std::string *reference);

// Decodes the texture that reference names: embedded data, or a file found
// by resolve_texture_reference (inside the model's folder). Every image goes
// through the engine's decoders.
ErrorKind load_texture_image(const aiScene *scene, const std::string &reference, ModelFolder *folder,
                             TextureImage *image, Error *error);

// encode_tga written to path.
ErrorKind write_tga_file(const std::string &path, const TextureImage &image, Error *error);

}  // namespace orj
