#include "importer/orj_import_texture.h"

#include <assimp/scene.h>

#include "orj/core/image/image.h"
#include "importer/orj_import_files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace orj {

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

static ErrorKind take_image(ErrorKind kind, Image *decoded, Image *image)
{
    if (kind != ERROR_NONE) return kind;
    *image = std::move(*decoded);
    return ERROR_NONE;
}

ErrorKind load_texture_image(const aiScene *scene, const std::string &reference, ModelFolder *folder, Image *image,
                             Error *error)
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
        image->has_alpha = true;
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
