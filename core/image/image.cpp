// Provisional decoder (to be replaced by bounds-checked per-format decoders).
#include "core/image/image.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#include <stb/stb_image.h>

ErrorKind decode_image(const uint8_t *data, size_t size, const char *name, Image *image, Error *error) {
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(data, (int)size, &w, &h, &channels))
        return set_error(error, ERROR_MALFORMED, name, 0, "not an image the engine reads: %s", stbi_failure_reason());
    if (w <= 0 || h <= 0 || w > IMAGE_MAX_SIDE || h > IMAGE_MAX_SIDE || (int64_t)w * h > IMAGE_MAX_PIXELS)
        return set_error(error, ERROR_TOO_LARGE, name, 0, "image of %dx%d is over the limit", w, h);
    unsigned char *pixels = stbi_load_from_memory(data, (int)size, &w, &h, &channels, 4);
    if (!pixels) return set_error(error, ERROR_MALFORMED, name, 0, "cannot decode: %s", stbi_failure_reason());
    image->width = w;
    image->height = h;
    image->has_alpha = channels == 2 || channels == 4;
    image->rgba.assign(pixels, pixels + (size_t)w * h * 4);
    stbi_image_free(pixels);
    return ERROR_NONE;
}

ErrorKind load_image_file(const char *path, Image *image, Error *error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return set_error(error, ERROR_CANNOT_OPEN, path, 0, "cannot open: %s", strerror(errno));
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return decode_image(bytes.data(), bytes.size(), path, image, error);
}
