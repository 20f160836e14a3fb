// Feeds arbitrary bytes to the image decoders (TGA, BMP, PCX, PNG, JPEG): a
// decoded image has the size it claims within the limits; a refused one says
// which file and why.
#include <cstdint>
#include <cstdlib>

#include "orj/core/image/image.h"

using namespace orj;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Image image;
    Error error;
    if (decode_image(data, size, "fuzz.img", &image, &error) == ERROR_NONE) {
        if (image.width <= 0 || image.height <= 0 || image.width > IMAGE_MAX_SIDE || image.height > IMAGE_MAX_SIDE ||
            image.rgba.size() != (size_t)image.width * image.height * 4)
            abort();
    } else if (error.message.rfind("fuzz.img: ", 0) != 0) {
        abort();
    }
    return 0;
}
