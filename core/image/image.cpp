#include "orj/core/image/image.h"

#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "orj/core/base/input_file.h"
#include "core/image/image_formats.h"

namespace orj {

// The largest file worth reading: an uncompressed image at the pixel limit,
// four bytes a pixel, plus room for headers and palettes.
static int64_t image_max_file_bytes(const ImageLimits *limits) { return limits->max_pixels * 4 + (1 << 20); }

bool image_bytes_take(ImageBytes *bytes, size_t count, const uint8_t **out)
{
    if (count > image_bytes_left(bytes)) return false;
    *out = bytes->data + bytes->at;
    bytes->at += count;
    return true;
}

bool image_bytes_u8(ImageBytes *bytes, uint32_t *value)
{
    const uint8_t *p;
    if (!image_bytes_take(bytes, 1, &p)) return false;
    *value = p[0];
    return true;
}

bool image_bytes_u16le(ImageBytes *bytes, uint32_t *value)
{
    const uint8_t *p;
    if (!image_bytes_take(bytes, 2, &p)) return false;
    *value = (uint32_t)p[0] | (uint32_t)p[1] << 8;
    return true;
}

bool image_bytes_u32le(ImageBytes *bytes, uint32_t *value)
{
    const uint8_t *p;
    if (!image_bytes_take(bytes, 4, &p)) return false;
    *value = (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
    return true;
}

ErrorKind image_check_size(int64_t width, int64_t height, const char *name, const ImageLimits *limits, Error *error)
{
    if (width <= 0 || height <= 0)
        return set_error(error, ERROR_MALFORMED, name, 0, "the image is empty (%lld x %lld)", (long long)width,
                         (long long)height);
    if (width <= limits->max_width && height <= limits->max_height && width * height <= limits->max_pixels)
        return ERROR_NONE;
    if (limits->max_width == limits->max_height)
        return set_error(error, ERROR_TOO_LARGE, name, 0,
                         "the image is %lld x %lld pixels, over the limit of %d on a side and %lld in all",
                         (long long)width, (long long)height, limits->max_width, (long long)limits->max_pixels);
    return set_error(error, ERROR_TOO_LARGE, name, 0,
                     "the image is %lld x %lld pixels, over the limit of %d columns, %d rows and %lld pixels in all",
                     (long long)width, (long long)height, limits->max_width, limits->max_height,
                     (long long)limits->max_pixels);
}

ErrorKind image_allocate(Image *image, int width, int height, bool has_alpha, const char *name,
                         const ImageLimits *limits, Error *error)
{
    ErrorKind kind = image_check_size(width, height, name, limits, error);
    if (kind != ERROR_NONE) return kind;
    try {
        image->rgba.resize((size_t)width * height * 4);
    } catch (const std::bad_alloc &) {
        image->rgba.clear();
        return set_error(error, ERROR_OUT_OF_MEMORY, name, 0, "no memory for a %d x %d image", width, height);
    }
    image->width = width;
    image->height = height;
    image->has_alpha = has_alpha;
    const uint8_t black[4] = {0, 0, 0, 255};
    image_fill(image, black);
    return ERROR_NONE;
}

// One row pixel by pixel, then whole rows copied: an image at the limits is
// filled in a fraction of a second.
void image_fill(Image *image, const uint8_t rgba[4])
{
    size_t row_bytes = (size_t)image->width * 4;
    if (image->height <= 0 || row_bytes == 0) return;
    uint8_t *first = image->rgba.data();
    for (size_t x = 0; x < row_bytes; x += 4) memcpy(first + x, rgba, 4);
    for (int y = 1; y < image->height; y++) memcpy(first + y * row_bytes, first, row_bytes);
}

ErrorKind image_truncated(const char *name, Error *error)
{
    return set_error(error, ERROR_MALFORMED, name, 0, "the image data ends early (truncated file)");
}

bool image_is_png(const uint8_t *data, size_t size) { return size >= 8 && memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0; }

bool image_is_jpeg(const uint8_t *data, size_t size)
{
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

bool image_is_bmp(const uint8_t *data, size_t size) { return size >= 2 && data[0] == 'B' && data[1] == 'M'; }

// Manufacturer 10, a known version and run-length encoding. No valid TGA
// starts so: its second byte (colour map type) is 0 or 1, and with 0 its
// third (image type) is never 1.
bool image_is_pcx(const uint8_t *data, size_t size)
{
    return size >= 3 && data[0] == 0x0A && data[1] != 1 && data[1] <= 5 && data[2] == 1;
}

ErrorKind decode_image(const uint8_t *data, size_t size, const char *name, Image *image, Error *error,
                       const ImageLimits *limits)
{
    if (!limits) limits = &IMAGE_LIMITS;
    Image decoded;
    ErrorKind kind;
    if (image_is_png(data, size)) kind = decode_png(data, size, name, limits, &decoded, error);
    else if (image_is_jpeg(data, size)) kind = decode_jpeg(data, size, name, limits, &decoded, error);
    else if (image_is_bmp(data, size)) kind = decode_bmp(data, size, name, limits, &decoded, error);
    else if (image_is_pcx(data, size)) kind = decode_pcx(data, size, name, limits, &decoded, error);
    else kind = decode_tga(data, size, name, limits, &decoded, error);
    if (kind != ERROR_NONE) return kind;
    *image = std::move(decoded);
    return ERROR_NONE;
}

// Takes only regular files of a size worth reading (a FIFO with no writer
// would wait for ever).
ErrorKind load_image_file(const char *path, Image *image, Error *error, const ImageLimits *limits)
{
    if (!limits) limits = &IMAGE_LIMITS;
    int fd;
    int64_t file_size;
    ErrorKind opened = open_input_file(path, image_max_file_bytes(limits), &fd, &file_size, error);
    if (opened != ERROR_NONE) return opened;
    std::vector<uint8_t> bytes;
    try {
        bytes.resize((size_t)file_size);
    } catch (const std::bad_alloc &) {
        close(fd);
        return set_error(error, ERROR_OUT_OF_MEMORY, path, 0, "no memory to read the file");
    }
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int code = errno;
            close(fd);
            return set_error(error, ERROR_CANNOT_OPEN, path, 0, "cannot read: %s", strerror(code));
        }
        if (n == 0) break;  // shrank while being read
        done += (size_t)n;
    }
    close(fd);
    if (done < bytes.size()) return image_truncated(path, error);
    return decode_image(bytes.data(), bytes.size(), path, image, error, limits);
}

}  // namespace orj
