// Feeds arbitrary bytes to the image decoders (TGA, BMP, PCX, PNG, JPEG): a
// decoded image has the size it claims within the limits; a refused one says
// which file and why. Every decoded image then goes through the writers (TGA
// and PNG) and must decode back as it was.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "orj/core/image/image.h"
#include "orj/core/image/image_write.h"

using namespace orj;

static bool same_pixels(const Image &a, const Image &b)
{
    if (a.width != b.width || a.height != b.height || a.has_alpha != b.has_alpha || a.rgba.size() != b.rgba.size())
        return false;
    for (size_t i = 0; i < a.rgba.size(); i++)
        if (a.rgba[i] != b.rgba[i] && (a.has_alpha || i % 4 != 3)) return false;
    return true;
}

static void write_and_read_back(const Image &image)
{
    std::vector<uint8_t> bytes;
    Error error;
    if (encode_tga(image, "fuzz.tga", &bytes, &error) != ERROR_NONE) abort();
    Image back;
    if (decode_image(bytes.data(), bytes.size(), "fuzz.tga", &back, &error) != ERROR_NONE || !same_pixels(image, back))
        abort();
    if (encode_png(image, "fuzz.png", &bytes, &error) != ERROR_NONE) abort();
    if (decode_image(bytes.data(), bytes.size(), "fuzz.png", &back, &error) != ERROR_NONE || !same_pixels(image, back))
        abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Image image;
    Error error;
    if (decode_image(data, size, "fuzz.img", &image, &error) == ERROR_NONE) {
        if (image.width <= 0 || image.height <= 0 || image.width > IMAGE_MAX_SIDE || image.height > IMAGE_MAX_SIDE ||
            image.rgba.size() != (size_t)image.width * image.height * 4)
            abort();
        // Large images are checked by their decoding alone: the writers' time grows with the pixels.
        if ((int64_t)image.width * image.height <= (1 << 20)) write_and_read_back(image);
    } else if (error.message.rfind("fuzz.img: ", 0) != 0) {
        abort();
    }
    return 0;
}
