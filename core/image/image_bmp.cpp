// BMP: Windows and OS/2 headers; 1, 4, 8, 16, 24 and 32 bits a pixel, plain,
// with bit fields, or run-length encoded (RLE8, RLE4); bottom-up or top-down.
#include <cstring>

#include "core/image/image_formats.h"

namespace orj {

enum {
    BMP_FILE_HEADER_BYTES = 14,
    BMP_OS2_HEADER_BYTES = 12,
    BMP_RGB = 0,
    BMP_RLE8 = 1,
    BMP_RLE4 = 2,
    BMP_BITFIELDS = 3,
};

// One component of a bit-field pixel, widened to 8 bits by repeating its bits.
static uint8_t bmp_field(uint32_t value, uint32_t mask)
{
    if (mask == 0) return 0;
    int shift = 0, bits = 0;
    while (!((mask >> shift) & 1)) shift++;
    while (shift + bits < 32 && ((mask >> (shift + bits)) & 1)) bits++;
    uint32_t v = (value & mask) >> shift;
    if (bits >= 8) return (uint8_t)(v >> (bits - 8));
    uint32_t out = 0;
    for (int filled = 0; filled < 8; filled += bits) out = out << bits | v;
    return (uint8_t)(out >> ((8 + bits - 1) / bits * bits - 8));
}

struct BmpLayout {
    int64_t width, height;
    bool top_down;
    uint32_t bits, compression;
    uint32_t masks[3];        // red, green, blue for 16 and 32 bits a pixel
    uint8_t palette[256][4];  // RGBA, as the engine's bitmaps hold palette colours
    uint32_t palette_size;
};

static void bmp_set_index(const BmpLayout *layout, Image *image, size_t row, size_t column, uint32_t index)
{
    uint8_t *out = &image->rgba[(row * (size_t)layout->width + column) * 4];
    if (index < layout->palette_size) memcpy(out, layout->palette[index], 3);
    else out[0] = out[1] = out[2] = 0;
}

// The image row that the file's n-th row (from the start of the data) lands in.
static size_t bmp_row(const BmpLayout *layout, int64_t file_row)
{
    return layout->top_down ? (size_t)file_row : (size_t)(layout->height - 1 - file_row);
}

static void bmp_plain(const BmpLayout *layout, const ImageBytes *bytes, Image *image)
{
    size_t stride = ((size_t)layout->width * layout->bits + 31) / 32 * 4;
    for (int64_t y = 0; y < layout->height; y++) {
        const uint8_t *p = bytes->data + bytes->at + (size_t)y * stride;
        size_t row = bmp_row(layout, y);
        for (size_t x = 0; x < (size_t)layout->width; x++) {
            uint8_t *out = &image->rgba[(row * (size_t)layout->width + x) * 4];
            switch (layout->bits) {
            case 1:
                bmp_set_index(layout, image, row, x, (p[x / 8] >> (7 - x % 8)) & 1);
                break;
            case 4:
                bmp_set_index(layout, image, row, x, (p[x / 2] >> (x % 2 ? 0 : 4)) & 15);
                break;
            case 8:
                bmp_set_index(layout, image, row, x, p[x]);
                break;
            case 16:
            case 32: {
                uint32_t v = layout->bits == 16 ? (uint32_t)p[2 * x] | (uint32_t)p[2 * x + 1] << 8
                                                : (uint32_t)p[4 * x] | (uint32_t)p[4 * x + 1] << 8 |
                                                      (uint32_t)p[4 * x + 2] << 16 | (uint32_t)p[4 * x + 3] << 24;
                for (int c = 0; c < 3; c++) out[c] = bmp_field(v, layout->masks[c]);
                // Plain 16-bit pixels are widened through 5-6-5 bits: green takes a sixth bit.
                if (layout->bits == 16 && layout->compression == BMP_RGB) {
                    uint32_t g6 = (uint32_t)image_widen_5(v >> 5 & 31) >> 2;
                    out[1] = (uint8_t)(g6 << 2 | g6 >> 4);
                }
                break;
            }
            case 24:
                out[0] = p[3 * x + 2];
                out[1] = p[3 * x + 1];
                out[2] = p[3 * x];
                break;
            }
        }
    }
}

// RLE8 and RLE4: a count and a value, or an escape (0) followed by end of
// row (0), end of image (1), a move (2, dx, dy) or a run of literal indices.
// Pixels that fall outside the image are dropped; pixels never written keep
// palette entry 0.
static ErrorKind bmp_rle(const BmpLayout *layout, ImageBytes *bytes, const char *name, Image *image, Error *error)
{
    bool four = layout->compression == BMP_RLE4;
    int64_t x = 0, y = 0;
    auto put = [&](uint32_t index) {
        if (x < layout->width && y < layout->height) bmp_set_index(layout, image, bmp_row(layout, y), (size_t)x, index);
        x++;
    };
    uint8_t first_entry[4] = {0, 0, 0, 255};
    if (layout->palette_size > 0) memcpy(first_entry, layout->palette[0], 3);
    image_fill(image, first_entry);
    while (y < layout->height) {
        uint32_t count, value;
        // The loop also ends after the last row's end mark: some writers leave out the end of image.
        if (!image_bytes_u8(bytes, &count) || !image_bytes_u8(bytes, &value)) return image_truncated(name, error);
        if (count > 0) {
            for (uint32_t k = 0; k < count; k++) put(four ? (k % 2 ? value & 15 : value >> 4) : value);
        } else if (value == 0) {
            x = 0;
            y++;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            uint32_t dx, dy;
            if (!image_bytes_u8(bytes, &dx) || !image_bytes_u8(bytes, &dy)) return image_truncated(name, error);
            x += dx;
            y += dy;
        } else {
            size_t literal_bytes = four ? (value + 1) / 2 : value;
            const uint8_t *p;
            if (!image_bytes_take(bytes, (literal_bytes + 1) / 2 * 2, &p)) return image_truncated(name, error);
            for (uint32_t k = 0; k < value; k++) put(four ? (k % 2 ? p[k / 2] & 15 : p[k / 2] >> 4) : p[k]);
        }
    }
    return ERROR_NONE;
}

// A Windows header of 40 to 124 bytes, with the bit masks that follow a
// 40-byte one or are part of a longer one.
static ErrorKind bmp_info_header(ImageBytes *bytes, uint32_t header_bytes, const char *name, BmpLayout *layout,
                                 uint32_t *colours_used, Error *error)
{
    uint32_t w, h, planes, ignored;
    if (!image_bytes_u32le(bytes, &w) || !image_bytes_u32le(bytes, &h) || !image_bytes_u16le(bytes, &planes) ||
        !image_bytes_u16le(bytes, &layout->bits) || !image_bytes_u32le(bytes, &layout->compression) ||
        !image_bytes_u32le(bytes, &ignored) || !image_bytes_u32le(bytes, &ignored) ||
        !image_bytes_u32le(bytes, &ignored) || !image_bytes_u32le(bytes, colours_used) ||
        !image_bytes_u32le(bytes, &ignored))
        return image_truncated(name, error);
    layout->width = (int32_t)w;
    layout->height = (int32_t)h;  // negative: rows from the top; as 64 bits, -INT_MIN does not overflow
    if (layout->height < 0) {
        layout->height = -layout->height;
        layout->top_down = true;
    }
    if (layout->compression == BMP_BITFIELDS) {
        size_t at = header_bytes > 40 ? BMP_FILE_HEADER_BYTES + 40 : bytes->at;
        ImageBytes masks = {bytes->data, bytes->size, at};
        if (!image_bytes_u32le(&masks, &layout->masks[0]) || !image_bytes_u32le(&masks, &layout->masks[1]) ||
            !image_bytes_u32le(&masks, &layout->masks[2]))
            return image_truncated(name, error);
        if (header_bytes == 40) bytes->at = masks.at;
    }
    const uint8_t *rest;
    if (header_bytes > 40 && !image_bytes_take(bytes, header_bytes - 40, &rest)) return image_truncated(name, error);
    return ERROR_NONE;
}

// The header after the file header: OS/2's or a Windows one.
static ErrorKind bmp_header(ImageBytes *bytes, uint32_t header_bytes, const char *name, BmpLayout *layout,
                            uint32_t *palette_entry_bytes, uint32_t *colours_used, Error *error)
{
    *palette_entry_bytes = 4;
    *colours_used = 0;
    if (header_bytes >= 40 && header_bytes <= 124)
        return bmp_info_header(bytes, header_bytes, name, layout, colours_used, error);
    if (header_bytes != BMP_OS2_HEADER_BYTES)
        return set_error(error, ERROR_UNSUPPORTED, name, 0, "BMP with a %u-byte header", header_bytes);
    uint32_t w, h, planes;
    if (!image_bytes_u16le(bytes, &w) || !image_bytes_u16le(bytes, &h) || !image_bytes_u16le(bytes, &planes) ||
        !image_bytes_u16le(bytes, &layout->bits))
        return image_truncated(name, error);
    layout->width = w;
    layout->height = h;
    *palette_entry_bytes = 3;
    return ERROR_NONE;
}

// Refuses the pixel formats the decoder does not know; gives plain 16- and
// 32-bit pixels their fixed masks.
static ErrorKind bmp_check_format(BmpLayout *layout, const char *name, Error *error)
{
    uint32_t bits = layout->bits, compression = layout->compression;
    bool known =
        (compression == BMP_RGB && (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32)) ||
        (compression == BMP_RLE8 && bits == 8) || (compression == BMP_RLE4 && bits == 4) ||
        (compression == BMP_BITFIELDS && (bits == 16 || bits == 32));
    if (!known)
        return set_error(error, ERROR_UNSUPPORTED, name, 0, "BMP of %u bits a pixel, compression %u", bits,
                         compression);
    if (compression == BMP_RGB && bits == 16) {
        layout->masks[0] = 0x7C00, layout->masks[1] = 0x03E0, layout->masks[2] = 0x001F;
    } else if (compression == BMP_RGB && bits == 32) {
        layout->masks[0] = 0xFF0000, layout->masks[1] = 0x00FF00, layout->masks[2] = 0x0000FF;
    }
    return ERROR_NONE;
}

static ErrorKind bmp_palette(ImageBytes *bytes, uint32_t colours_used, uint32_t entry_bytes, const char *name,
                             BmpLayout *layout, Error *error)
{
    uint32_t entries = colours_used ? colours_used : 1u << layout->bits;
    const uint8_t *palette;
    if (entries > 256) entries = 256;
    if (!image_bytes_take(bytes, (size_t)entries * entry_bytes, &palette)) return image_truncated(name, error);
    for (uint32_t i = 0; i < entries; i++) {
        const uint8_t *entry = palette + (size_t)i * entry_bytes;
        layout->palette[i][0] = image_palette_component(entry[2]);
        layout->palette[i][1] = image_palette_component(entry[1]);
        layout->palette[i][2] = image_palette_component(entry[0]);
        layout->palette[i][3] = 255;
    }
    layout->palette_size = entries;
    return ERROR_NONE;
}

ErrorKind decode_bmp(const uint8_t *data, size_t size, const char *name, const ImageLimits *limits, Image *image,
                     Error *error)
{
    ImageBytes bytes = {data, size, 0};
    uint32_t magic, file_size, reserved, data_offset, header_bytes;
    if (!image_bytes_u16le(&bytes, &magic) || !image_bytes_u32le(&bytes, &file_size) ||
        !image_bytes_u32le(&bytes, &reserved) || !image_bytes_u32le(&bytes, &data_offset) ||
        !image_bytes_u32le(&bytes, &header_bytes))
        return image_truncated(name, error);

    BmpLayout layout = {};
    uint32_t palette_entry_bytes, colours_used;
    ErrorKind kind = bmp_header(&bytes, header_bytes, name, &layout, &palette_entry_bytes, &colours_used, error);
    if (kind == ERROR_NONE) kind = bmp_check_format(&layout, name, error);
    if (kind == ERROR_NONE) kind = image_check_size(layout.width, layout.height, name, limits, error);
    if (kind == ERROR_NONE && layout.bits <= 8)
        kind = bmp_palette(&bytes, colours_used, palette_entry_bytes, name, &layout, error);
    if (kind != ERROR_NONE) return kind;
    // The pixels start where the file header says, when that lies past the palette.
    if (data_offset >= bytes.at && data_offset <= size) bytes.at = data_offset;

    if (layout.compression == BMP_RLE8 || layout.compression == BMP_RLE4) {
        kind = image_allocate(image, (int)layout.width, (int)layout.height, false, name, limits, error);
        if (kind != ERROR_NONE) return kind;
        return bmp_rle(&layout, &bytes, name, image, error);
    }
    size_t stride = ((size_t)layout.width * layout.bits + 31) / 32 * 4;
    size_t last_row = ((size_t)layout.width * layout.bits + 7) / 8;
    if (image_bytes_left(&bytes) < stride * (size_t)(layout.height - 1) + last_row) return image_truncated(name, error);
    kind = image_allocate(image, (int)layout.width, (int)layout.height, false, name, limits, error);
    if (kind != ERROR_NONE) return kind;
    bmp_plain(&layout, &bytes, image);
    return ERROR_NONE;
}

}  // namespace orj
