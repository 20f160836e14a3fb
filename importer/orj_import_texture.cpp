#include "importer/orj_import_texture.h"

#include "importer/orj_import_files.h"

#include <allegro.h>
#include <jpgalleg.h>
#include <png.h>
#include <unistd.h>

#include <assimp/scene.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

bool write_tga_file(const std::string &path, const TextureImage &image, std::string *error)
{
    if (image.width < 1 || image.height < 1 || image.width > 65535 || image.height > 65535) {
        *error = path + ": the texture's size does not fit a TGA file";
        return false;
    }
    std::vector<uint8_t> bytes = encode_tga(image);
    FILE *file = fopen(path.c_str(), "wb");
    if (!file) {
        *error = path + ": cannot write the texture: " + strerror(errno);
        return false;
    }
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    written = fclose(file) == 0 && written;
    if (!written) *error = path + ": cannot write the texture: " + strerror(errno);
    return written;
}

bool find_diffuse_texture(const aiScene *scene, std::string *reference)
{
    const aiTextureType types[2] = {aiTextureType_DIFFUSE, aiTextureType_BASE_COLOR};
    for (unsigned m = 0; m < scene->mNumMaterials; m++)
        for (aiTextureType type : types) {
            aiString path;
            if (scene->mMaterials[m]->GetTextureCount(type) == 0) continue;
            if (scene->mMaterials[m]->GetTexture(type, 0, &path) != AI_SUCCESS || path.length == 0) continue;
            *reference = path.C_Str();
            return true;
        }
    return false;
}

static bool read_whole_file(const std::string &path, std::vector<uint8_t> *bytes)
{
    FILE *file = fopen(path.c_str(), "rb");
    if (!file) return false;
    bytes->clear();
    uint8_t block[65536];
    size_t n;
    while ((n = fread(block, 1, sizeof block, file)) > 0) bytes->insert(bytes->end(), block, block + n);
    bool ok = !ferror(file);
    fclose(file);
    return ok;
}

static bool decode_png(const std::vector<uint8_t> &bytes, TextureImage *image)
{
    png_image png;
    memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) return false;
    png.format = PNG_FORMAT_RGBA;
    if (png.width > 65535 || png.height > 65535) {
        png_image_free(&png);
        return false;
    }
    image->width = (int)png.width;
    image->height = (int)png.height;
    image->rgba.assign(PNG_IMAGE_SIZE(png), 0);
    if (!png_image_finish_read(&png, nullptr, image->rgba.data(), 0, nullptr)) {
        png_image_free(&png);
        return false;
    }
    return true;
}

// Allegro's image loaders, started without a window for the length of one call.
struct AllegroSession {
    bool started_here;
};

static bool begin_allegro(AllegroSession *session)
{
    session->started_here = false;
    if (!system_driver) {
        if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return false;
        session->started_here = true;
    }
    set_color_depth(32);
    set_color_conversion(COLORCONV_TOTAL);
    jpgalleg_init();
    return true;
}

static void end_allegro(AllegroSession *session)
{
    if (session->started_here) allegro_exit();
}

static bool bitmap_to_image(BITMAP *bitmap, TextureImage *image)
{
    if (!bitmap) return false;
    int depth = bitmap_color_depth(bitmap);
    image->width = bitmap->w;
    image->height = bitmap->h;
    image->rgba.resize((size_t)bitmap->w * bitmap->h * 4);
    bool any_alpha = false;
    for (int y = 0; y < bitmap->h; y++)
        for (int x = 0; x < bitmap->w; x++) {
            int colour = getpixel(bitmap, x, y);
            uint8_t *p = &image->rgba[((size_t)y * bitmap->w + x) * 4];
            p[0] = (uint8_t)getr_depth(depth, colour);
            p[1] = (uint8_t)getg_depth(depth, colour);
            p[2] = (uint8_t)getb_depth(depth, colour);
            p[3] = depth == 32 ? (uint8_t)geta32(colour) : 255;
            any_alpha = any_alpha || p[3] != 0;
        }
    // Images without an alpha channel come with alpha 0 everywhere.
    if (!any_alpha)
        for (size_t p = 3; p < image->rgba.size(); p += 4) image->rgba[p] = 255;
    destroy_bitmap(bitmap);
    return image->width > 0 && image->height > 0;
}

static bool is_png(const std::vector<uint8_t> &bytes)
{
    return bytes.size() >= 8 && memcmp(bytes.data(), "\x89PNG\r\n\x1a\n", 8) == 0;
}

static bool is_jpeg(const std::vector<uint8_t> &bytes)
{
    return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

// Decodes bytes; path names the file the bytes came from, or an empty string
// when they live in memory only (then extension tells Allegro the type).
static bool decode_bytes(const std::vector<uint8_t> &bytes, const std::string &path, const std::string &extension,
                         TextureImage *image, std::string *error)
{
    if (is_png(bytes)) {
        if (decode_png(bytes, image)) return true;
        *error = "the PNG image cannot be decoded";
        return false;
    }
    AllegroSession session;
    if (!begin_allegro(&session)) {
        *error = "the image loaders cannot start";
        return false;
    }
    bool ok = false;
    if (is_jpeg(bytes)) {
        ok = bitmap_to_image(load_memory_jpg((void *)bytes.data(), (int)bytes.size(), nullptr), image);
        if (!ok) *error = "the JPEG image cannot be decoded";
    } else if (!path.empty()) {
        ok = bitmap_to_image(load_bitmap(path.c_str(), nullptr), image);
        if (!ok) *error = "the image type is not one that can be read (PNG, JPEG, TGA, BMP, PCX)";
    } else {
        char temp_path[] = "/tmp/orj_import_texture_XXXXXX";
        int fd = mkstemp(temp_path);
        if (fd >= 0) {
            bool written = write(fd, bytes.data(), bytes.size()) == (ssize_t)bytes.size();
            close(fd);
            std::string typed_path = std::string(temp_path) + "." + extension;
            if (written && rename(temp_path, typed_path.c_str()) == 0) {
                ok = bitmap_to_image(load_bitmap(typed_path.c_str(), nullptr), image);
                unlink(typed_path.c_str());
            } else {
                unlink(temp_path);
            }
        }
        if (!ok) *error = "the embedded image (" + extension + ") cannot be decoded";
    }
    end_allegro(&session);
    return ok;
}

bool load_texture_image(const aiScene *scene, const std::string &reference, ModelFolder *folder,
                        TextureImage *image, std::string *error)
{
    const aiTexture *embedded = scene->GetEmbeddedTexture(reference.c_str());
    if (embedded && !embedded->pcData) {
        *error = "embedded texture " + reference + " holds no data";
        return false;
    }
    if (embedded) {
        if (embedded->mHeight == 0) {
            const uint8_t *data = (const uint8_t *)embedded->pcData;
            std::vector<uint8_t> bytes(data, data + embedded->mWidth);
            std::string hint = embedded->achFormatHint;
            if (hint.empty() || hint.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789") != std::string::npos) hint = "tga";
            return decode_bytes(bytes, "", hint, image, error);
        }
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
        return true;
    }
    if (!reference.empty() && reference[0] == '*') {
        *error = "embedded texture " + reference + " is missing from the model";
        return false;
    }

    std::string path;
    Error not_found;
    if (resolve_texture_reference(folder, reference, &path, &not_found) != ERROR_NONE) {
        *error = not_found.message;
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!read_whole_file(path, &bytes)) {
        *error = path + ": cannot be read";
        return false;
    }
    if (decode_bytes(bytes, path, "", image, error)) return true;
    *error = path + ": " + *error;
    return false;
}
