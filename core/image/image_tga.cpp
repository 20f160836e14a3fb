// TGA: uncompressed and run-length (image types 1, 2, 3 and 9, 10, 11),
// colour-mapped, grey, 15/16, 24 and 32 bits a pixel, either origin.
#include <cstring>

#include "core/image/image_formats.h"

namespace orj {

enum {
    TGA_HEADER_BYTES = 18,
    TGA_MAPPED = 1,
    TGA_TRUE_COLOUR = 2,
    TGA_GREY = 3,
    TGA_RLE = 8,               // added to the image type when run-length encoded
    TGA_TOP_DOWN = 0x20,       // descriptor bit: the first row is the top one
    TGA_RIGHT_TO_LEFT = 0x10,  // descriptor bit: each row runs from the right
    TGA_MAX_RUN = 128,         // pixels one packet covers at most
};

// One pixel of the file (1 to 4 bytes) to RGBA.
static void tga_pixel(const uint8_t *p, uint32_t pixel_bytes, const uint8_t (*palette)[4], uint32_t palette_size,
                      bool grey, uint8_t *out)
{
    if (pixel_bytes == 1) {
        if (grey) {
            out[0] = out[1] = out[2] = image_palette_component(p[0]);
        } else if (p[0] < palette_size) {
            memcpy(out, palette[p[0]], 3);
        } else {
            out[0] = out[1] = out[2] = 0;
        }
        out[3] = 255;
    } else if (pixel_bytes == 2) {
        uint32_t v = (uint32_t)p[0] | (uint32_t)p[1] << 8;
        out[0] = image_widen_5((v >> 10) & 31);
        out[1] = image_widen_5((v >> 5) & 31);
        out[2] = image_widen_5(v & 31);
        out[3] = 255;
    } else {
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
        out[3] = pixel_bytes == 4 ? p[3] : 255;
    }
}

// The colour map: only the 256 entries an 8-bit index reaches are kept.
static ErrorKind tga_colour_map(ImageBytes *bytes, const uint8_t *h, const char *name, uint8_t (*palette)[4],
                                uint32_t *palette_size, Error *error)
{
    uint32_t map_first = h[3] | h[4] << 8, map_length = h[5] | h[6] << 8, map_bits = h[7];
    if (map_bits != 15 && map_bits != 16 && map_bits != 24 && map_bits != 32)
        return set_error(error, ERROR_UNSUPPORTED, name, 0, "TGA colour map of %u bits an entry", map_bits);
    uint32_t entry_bytes = (map_bits + 7) / 8;
    const uint8_t *map;
    if (!image_bytes_take(bytes, (size_t)map_length * entry_bytes, &map)) return image_truncated(name, error);
    for (uint32_t i = 0; i < map_length && map_first + i < 256; i++) {
        uint8_t *entry = palette[map_first + i];
        tga_pixel(map + (size_t)i * entry_bytes, entry_bytes, nullptr, 0, false, entry);
        for (int c = 0; c < 3; c++) entry[c] = image_palette_component(entry[c]);
    }
    *palette_size = map_first + map_length < 256 ? map_first + map_length : 256;
    return ERROR_NONE;
}

// What the pixel data needs of the header.
struct TgaPixels {
    size_t width, height;
    uint32_t pixel_bytes;
    bool rle, grey, top_down, right_to_left;
    const uint8_t (*palette)[4];
    uint32_t palette_size;
};

// Pixels arrive in file order; i counts them, and each lands in its row and
// column according to the origin.
static ErrorKind tga_read_pixels(ImageBytes *bytes, const TgaPixels &layout, const char *name, Image *image,
                                 Error *error)
{
    size_t width = layout.width, pixels = width * layout.height, i = 0;
    while (i < pixels) {
        size_t count = 1;
        bool repeat = false;
        if (layout.rle) {
            uint32_t packet;
            if (!image_bytes_u8(bytes, &packet)) return image_truncated(name, error);
            count = (packet & 0x7F) + 1;
            repeat = (packet & 0x80) != 0;
        }
        const uint8_t *source;
        if (!image_bytes_take(bytes, (repeat ? 1 : count) * layout.pixel_bytes, &source))
            return image_truncated(name, error);
        // A packet running past the last pixel is cut there.
        if (count > pixels - i) count = pixels - i;
        for (size_t k = 0; k < count; k++, i++) {
            size_t file_row = i / width, file_column = i % width;
            size_t row = layout.top_down ? file_row : layout.height - 1 - file_row;
            size_t column = layout.right_to_left ? width - 1 - file_column : file_column;
            tga_pixel(source + (repeat ? 0 : k * layout.pixel_bytes), layout.pixel_bytes, layout.palette,
                      layout.palette_size, layout.grey, &image->rgba[(row * width + column) * 4]);
        }
    }
    return ERROR_NONE;
}

ErrorKind decode_tga(const uint8_t *data, size_t size, const char *name, const ImageLimits *limits, Image *image,
                     Error *error)
{
    ImageBytes bytes = {data, size, 0};
    const uint8_t *h;
    if (!image_bytes_take(&bytes, TGA_HEADER_BYTES, &h))
        return set_error(error, ERROR_MALFORMED, name, 0, "not an image the engine reads (too short for a TGA header)");
    uint32_t id_bytes = h[0], map_type = h[1], type = h[2];
    int64_t width = h[12] | h[13] << 8, height = h[14] | h[15] << 8;
    uint32_t bits = h[16], descriptor = h[17];

    uint32_t base_type = type & ~(uint32_t)TGA_RLE;
    bool rle = (type & TGA_RLE) != 0;
    if (type > 11 || base_type < TGA_MAPPED || base_type > TGA_GREY || map_type > 1)
        return set_error(error, ERROR_MALFORMED, name, 0, "not an image the engine reads (TGA image type %u)", type);
    bool mapped = base_type == TGA_MAPPED, grey = base_type == TGA_GREY;
    if ((mapped && (bits != 8 || map_type != 1)) || (grey && bits != 8) ||
        (base_type == TGA_TRUE_COLOUR && bits != 15 && bits != 16 && bits != 24 && bits != 32))
        return set_error(error, ERROR_UNSUPPORTED, name, 0, "TGA of %u bits a pixel in image type %u", bits, type);
    ErrorKind kind = image_check_size(width, height, name, limits, error);
    if (kind != ERROR_NONE) return kind;

    const uint8_t *skipped;
    if (!image_bytes_take(&bytes, id_bytes, &skipped)) return image_truncated(name, error);
    uint8_t palette[256][4] = {};
    uint32_t palette_size = 0;
    if (map_type == 1 && (kind = tga_colour_map(&bytes, h, name, palette, &palette_size, error)) != ERROR_NONE)
        return kind;

    uint32_t pixel_bytes = (bits + 7) / 8;
    size_t pixels = (size_t)width * height;
    // The least the pixel data can take, checked before anything is allocated.
    size_t least = rle ? (pixels + TGA_MAX_RUN - 1) / TGA_MAX_RUN * (1 + pixel_bytes) : pixels * pixel_bytes;
    if (image_bytes_left(&bytes) < least) return image_truncated(name, error);
    kind = image_allocate(image, (int)width, (int)height, bits == 32, name, limits, error);
    if (kind != ERROR_NONE) return kind;
    TgaPixels layout = {(size_t)width,
                        (size_t)height,
                        pixel_bytes,
                        rle,
                        grey,
                        (descriptor & TGA_TOP_DOWN) != 0,
                        (descriptor & TGA_RIGHT_TO_LEFT) != 0,
                        palette,
                        palette_size};
    return tga_read_pixels(&bytes, layout, name, image, error);
}

}  // namespace orj
