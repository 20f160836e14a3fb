// PCX: run-length encoded, 8 bits a pixel in one plane (with the 256-colour
// palette at the end of the file) or in three planes (red, green, blue).
#include <cstring>
#include <vector>

#include "core/image/image_formats.h"

namespace orj {

enum {
    PCX_HEADER_BYTES = 128,
    PCX_PALETTE_BYTES = 769,  // the marker 12, then 256 entries of red, green, blue
    PCX_PALETTE_MARKER = 12,
    PCX_RUN = 0xC0,  // the top two bits mark a run; the other six count it
};

ErrorKind decode_pcx(const uint8_t *data, size_t size, const char *name, const ImageLimits *limits, Image *image,
                     Error *error)
{
    ImageBytes bytes = {data, size, 0};
    const uint8_t *h;
    if (!image_bytes_take(&bytes, PCX_HEADER_BYTES, &h)) return image_truncated(name, error);
    uint32_t bits = h[3], planes = h[65];
    int64_t x_min = h[4] | h[5] << 8, y_min = h[6] | h[7] << 8, x_max = h[8] | h[9] << 8, y_max = h[10] | h[11] << 8;
    size_t line_bytes = (size_t)(h[66] | h[67] << 8);
    int64_t width = x_max - x_min + 1, height = y_max - y_min + 1;
    if (bits != 8 || (planes != 1 && planes != 3))
        return set_error(error, ERROR_UNSUPPORTED, name, 0, "PCX of %u bits in %u planes", bits, planes);
    ErrorKind kind = image_check_size(width, height, name, limits, error);
    if (kind != ERROR_NONE) return kind;
    if (line_bytes < (size_t)width)
        return set_error(error, ERROR_MALFORMED, name, 0, "PCX lines of %zu bytes for %lld pixels", line_bytes,
                         (long long)width);

    uint8_t palette[256][3] = {};
    size_t data_end = size;
    if (planes == 1) {
        if (size < PCX_HEADER_BYTES + PCX_PALETTE_BYTES || data[size - PCX_PALETTE_BYTES] != PCX_PALETTE_MARKER)
            return set_error(error, ERROR_MALFORMED, name, 0, "the PCX has no 256-colour palette at its end");
        const uint8_t *p = data + size - PCX_PALETTE_BYTES + 1;
        for (int i = 0; i < 256; i++)
            for (int c = 0; c < 3; c++) palette[i][c] = image_palette_component(p[3 * i + c]);
        data_end = size - PCX_PALETTE_BYTES;
    }
    bytes.size = data_end;

    // A line of all planes; one byte covers at most 63 of it, checked before allocating.
    size_t scan_bytes = line_bytes * planes;
    if (image_bytes_left(&bytes) / (size_t)height < (scan_bytes + 62) / 63) return image_truncated(name, error);
    kind = image_allocate(image, (int)width, (int)height, false, name, limits, error);
    if (kind != ERROR_NONE) return kind;

    std::vector<uint8_t> scan(scan_bytes);
    for (size_t y = 0; y < (size_t)height; y++) {
        // A run that goes past the end of the line is cut there.
        size_t filled = 0;
        while (filled < scan_bytes) {
            uint32_t value, count = 1;
            if (!image_bytes_u8(&bytes, &value)) return image_truncated(name, error);
            if ((value & PCX_RUN) == PCX_RUN) {
                count = value & ~(uint32_t)PCX_RUN;
                if (!image_bytes_u8(&bytes, &value)) return image_truncated(name, error);
            }
            for (; count > 0 && filled < scan_bytes; count--) scan[filled++] = (uint8_t)value;
        }
        uint8_t *row = &image->rgba[y * (size_t)width * 4];
        for (size_t x = 0; x < (size_t)width; x++) {
            if (planes == 1) {
                memcpy(row + 4 * x, palette[scan[x]], 3);
            } else {
                for (int c = 0; c < 3; c++) row[4 * x + c] = scan[c * line_bytes + x];
            }
        }
    }
    return ERROR_NONE;
}

}  // namespace orj
