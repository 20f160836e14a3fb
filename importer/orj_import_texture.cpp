#include "importer/orj_import_texture.h"

#include <assimp/scene.h>

#include "orj/core/image/image.h"
#include "importer/orj_import_files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orj {

std::vector<uint8_t> encode_tga(const TextureImage &image)
{
    std::vector<uint8_t> bytes(18, 0);
    bytes[2] = 2;  // uncompressed true colour
    bytes[12] = (uint8_t)(image.width & 0xFF);
    bytes[13] = (uint8_t)(image.width >> 8);
    bytes[14] = (uint8_t)(image.height & 0xFF);
    bytes[15] = (uint8_t)(image.height >> 8);
    bytes[16] = 32;
    bytes[17] = 0x28;  // 8 alpha bits, top row first
    bytes.reserve(18 + (size_t)image.width * image.height * 4);
    for (size_t p = 0; p < (size_t)image.width * image.height; p++) {
        const uint8_t *rgba = &image.rgba[p * 4];
        bytes.push_back(rgba[2]);
        bytes.push_back(rgba[1]);
        bytes.push_back(rgba[0]);
        bytes.push_back(rgba[3]);
    }
    return bytes;
}

ErrorKind write_tga_file(const std::string &path, const TextureImage &image, Error *error)
{
    if (image.width < 1 || image.height < 1 || image.width > 65535 || image.height > 65535)
        return set_error(error, ERROR_TOO_LARGE, path.c_str(), 0, "the texture's size does not fit a TGA file");
    std::vector<uint8_t> bytes = encode_tga(image);
    FILE *file = fopen(path.c_str(), "wb");
    if (!file)
        return set_error(error, ERROR_CANNOT_WRITE, path.c_str(), 0, "cannot write the texture: %s", strerror(errno));
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    written = fclose(file) == 0 && written;
    if (!written)
        return set_error(error, ERROR_CANNOT_WRITE, path.c_str(), 0, "cannot write the texture: %s", strerror(errno));
    return ERROR_NONE;
}

static bool material_texture(const aiMaterial *material, std::string *reference)
{
    const aiTextureType types[2] = {aiTextureType_DIFFUSE, aiTextureType_BASE_COLOR};
    for (aiTextureType type : types) {
        aiString path;
        if (material->GetTextureCount(type) == 0) continue;
        if (material->GetTexture(type, 0, &path) != AI_SUCCESS || path.length == 0) continue;
        *reference = path.C_Str();
        return true;
    }
    return false;
}

bool find_material_texture(const aiScene *scene, unsigned material, std::string *reference)
{
    return material < scene->mNumMaterials && scene->mMaterials[material] &&
           material_texture(scene->mMaterials[material], reference);
}

bool find_diffuse_texture(const aiScene *scene, std::string *reference)
{
    for (unsigned m = 0; m < scene->mNumMaterials; m++)
        if (find_material_texture(scene, m, reference)) return true;
    return false;
}

static ErrorKind take_image(ErrorKind kind, Image *decoded, TextureImage *image)
{
    if (kind != ERROR_NONE) return kind;
    image->width = decoded->width;
    image->height = decoded->height;
    image->rgba.swap(decoded->rgba);
    return ERROR_NONE;
}

ErrorKind load_texture_image(const aiScene *scene, const std::string &reference, ModelFolder *folder,
                             TextureImage *image, Error *error)
{
    Image decoded;
    const aiTexture *embedded = scene->GetEmbeddedTexture(reference.c_str());
    if (embedded && !embedded->pcData)
        return set_error(error, ERROR_MALFORMED, nullptr, 0, "embedded texture %s holds no data", reference.c_str());
    if (embedded) {
        if (embedded->mHeight == 0) {
            ErrorKind kind = decode_image((const uint8_t *)embedded->pcData, embedded->mWidth,
                                          ("embedded " + reference).c_str(), &decoded, error);
            return take_image(kind, &decoded, image);
        }
        if (embedded->mWidth == 0 || embedded->mWidth > (unsigned)IMAGE_MAX_SIDE ||
            embedded->mHeight > (unsigned)IMAGE_MAX_SIDE)
            return set_error(error, ERROR_TOO_LARGE, nullptr, 0, "embedded texture %s is empty or over the size limit",
                             reference.c_str());
        image->width = (int)embedded->mWidth;
        image->height = (int)embedded->mHeight;
        image->rgba.resize((size_t)embedded->mWidth * embedded->mHeight * 4);
        for (size_t p = 0; p < (size_t)embedded->mWidth * embedded->mHeight; p++) {
            const aiTexel &texel = embedded->pcData[p];
            uint8_t *out = &image->rgba[p * 4];
            out[0] = texel.r;
            out[1] = texel.g;
            out[2] = texel.b;
            out[3] = texel.a;
        }
        return ERROR_NONE;
    }
    if (!reference.empty() && reference[0] == '*')
        return set_error(error, ERROR_MALFORMED, nullptr, 0, "embedded texture %s is missing from the model",
                         reference.c_str());

    std::string path;
    ErrorKind found = resolve_texture_reference(folder, reference, &path, error);
    if (found != ERROR_NONE) return found;
    return take_image(load_image_file(path.c_str(), &decoded, error), &decoded, image);
}

}  // namespace orj
