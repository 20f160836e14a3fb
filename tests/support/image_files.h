// Small image files written byte by byte, for the decoder tests: every
// variant the engine reads, and the broken ones it must refuse.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace image_files {

inline void put16(std::string *s, uint32_t v)
{
    s->push_back((char)(v & 0xFF));
    s->push_back((char)(v >> 8 & 0xFF));
}

inline void put32(std::string *s, uint32_t v)
{
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

// Pixel values with runs and repeats in them (for the run-length encoders),
// each below limit.
inline std::vector<uint32_t> pattern(int width, int height, uint32_t limit)
{
    std::vector<uint32_t> values;
    uint32_t state = 12345;
    for (int i = 0; i < width * height; i++) {
        state = state * 1103515245u + 12345u;
        values.push_back(i % 7 < 3 && i > 0 ? values.back() : (state >> 8) % limit);
    }
    return values;
}

// TGA of image type 1, 2, 3 or (run-length) 9, 10, 11. values are the file's
// pixels top row first: an index or grey level (8 bits), a 16-bit word, or
// 0xAARRGGBB. map holds 0xRRGGBB entries of a 24-bit colour map.
inline std::string tga(int type, int bits, int width, int height, const std::vector<uint32_t> &values, bool top_down,
                       const std::vector<uint32_t> &map = {})
{
    std::string s;
    s += (char)0;
    s += (char)(map.empty() ? 0 : 1);
    s += (char)type;
    put16(&s, 0);
    put16(&s, (uint32_t)map.size());
    s += (char)(map.empty() ? 0 : 24);
    put16(&s, 0);
    put16(&s, 0);
    put16(&s, width);
    put16(&s, height);
    s += (char)bits;
    s += (char)(top_down ? 0x20 : 0) | (bits == 32 ? 8 : 0);
    for (uint32_t c : map) s.append({(char)(c & 0xFF), (char)(c >> 8 & 0xFF), (char)(c >> 16 & 0xFF)});
    auto pixel = [&](uint32_t v) {
        for (int b = 0; b < (bits + 7) / 8; b++) s += (char)(v >> (8 * b) & 0xFF);
    };
    std::vector<uint32_t> order;
    for (int row = 0; row < height; row++) {
        int y = top_down ? row : height - 1 - row;
        order.insert(order.end(), values.begin() + (size_t)y * width, values.begin() + (size_t)(y + 1) * width);
    }
    if (type < 9) {
        for (uint32_t v : order) pixel(v);
        return s;
    }
    // Runs of equal pixels as repeat packets, the rest as raw packets; no
    // packet crosses a row.
    for (size_t i = 0; i < order.size();) {
        size_t row_end = (i / width + 1) * width;
        size_t run = 1;
        while (i + run < row_end && run < 128 && order[i + run] == order[i]) run++;
        if (run > 1) {
            s += (char)(0x80 | (run - 1));
            pixel(order[i]);
            i += run;
            continue;
        }
        size_t raw = 1;
        while (i + raw < row_end && raw < 128 && order[i + raw] != order[i + raw - 1]) raw++;
        s += (char)(raw - 1);
        for (size_t k = 0; k < raw; k++) pixel(order[i + k]);
        i += raw;
    }
    return s;
}

// BMP with a 40-byte header. values: palette indices (1, 4, 8 bits), 16-bit
// 5-5-5 words, or 0xRRGGBB. compression 1 and 2 (RLE8, RLE4) write each row as
// a literal run of its first four pixels, then repeat runs. A negative height
// stores the rows top first.
inline std::string bmp(int bits, int compression, int width, int height, const std::vector<uint32_t> &values,
                       const std::vector<uint32_t> &palette = {})
{
    int rows = height < 0 ? -height : height;
    std::string pixels;
    for (int row = 0; row < rows; row++) {
        int y = height < 0 ? row : rows - 1 - row;
        const uint32_t *v = values.data() + (size_t)y * width;
        if (compression == 0) {
            std::string line;
            uint32_t acc = 0;
            int filled = 0;
            for (int x = 0; x < width; x++) {
                if (bits <= 8) {
                    acc = acc << bits | v[x];
                    filled += bits;
                    if (filled == 8) line += (char)acc, acc = 0, filled = 0;
                } else {
                    for (int b = 0; b < bits / 8; b++) line += (char)(v[x] >> (8 * b) & 0xFF);
                }
            }
            if (filled) line += (char)(acc << (8 - filled));
            while (line.size() % 4) line += (char)0;
            pixels += line;
            continue;
        }
        bool four = compression == 2;
        int literal = width < 4 ? width : 4;
        if (literal >= 3) {
            pixels.append({(char)0, (char)literal});
            std::string bytes;
            for (int x = 0; x < literal; x++) {
                if (!four) bytes += (char)v[x];
                else if (x % 2 == 0) bytes += (char)(v[x] << 4);
                else bytes.back() = (char)(bytes.back() | v[x]);
            }
            if (bytes.size() % 2) bytes += (char)0;
            pixels += bytes;
        } else {
            literal = 0;
        }
        for (int x = literal; x < width;) {
            int run = 1;
            while (x + run < width && run < 255 && v[x + run] == v[x]) run++;
            pixels.append({(char)run, (char)(four ? v[x] << 4 | v[x] : v[x])});
            x += run;
        }
        pixels.append({(char)0, (char)0});
    }
    if (compression != 0) pixels.append({(char)0, (char)1});
    std::string s = "BM";
    uint32_t offset = 14 + 40 + 4 * (uint32_t)palette.size();
    put32(&s, offset + (uint32_t)pixels.size());
    put32(&s, 0);
    put32(&s, offset);
    put32(&s, 40);
    put32(&s, (uint32_t)width);
    put32(&s, (uint32_t)height);
    put16(&s, 1);
    put16(&s, bits);
    put32(&s, compression);
    put32(&s, (uint32_t)pixels.size());
    put32(&s, 2835);
    put32(&s, 2835);
    put32(&s, (uint32_t)palette.size());
    put32(&s, 0);
    for (uint32_t c : palette) put32(&s, c);
    return s + pixels;
}

// PCX, run-length encoded: 8-bit indices in one plane with the 256-colour
// palette (0xRRGGBB) at the end, or 0xRRGGBB values in three planes.
inline std::string pcx(int planes, int width, int height, const std::vector<uint32_t> &values,
                       const std::vector<uint32_t> &palette = {})
{
    std::string s(128, '\0');
    int line_bytes = (width + 1) / 2 * 2;
    s[0] = 10, s[1] = 5, s[2] = 1, s[3] = 8;
    s[8] = (char)((width - 1) & 0xFF), s[9] = (char)((width - 1) >> 8);
    s[10] = (char)((height - 1) & 0xFF), s[11] = (char)((height - 1) >> 8);
    s[65] = (char)planes;
    s[66] = (char)(line_bytes & 0xFF), s[67] = (char)(line_bytes >> 8);
    for (int y = 0; y < height; y++) {
        std::string line;
        for (int p = 0; p < planes; p++)
            for (int x = 0; x < line_bytes; x++) {
                uint32_t v = x < width ? values[(size_t)y * width + x] : 0;
                line += (char)(planes == 1 ? v : v >> (8 * (2 - p)) & 0xFF);
            }
        for (size_t i = 0; i < line.size();) {
            size_t run = 1;
            while (i + run < line.size() && run < 63 && line[i + run] == line[i]) run++;
            if (run > 1 || (uint8_t)line[i] >= 0xC0) s += (char)(0xC0 | run);
            s += line[i];
            i += run;
        }
    }
    if (planes == 1) {
        s += (char)12;
        for (int i = 0; i < 256; i++) {
            uint32_t c = i < (int)palette.size() ? palette[i] : 0;
            s.append({(char)(c >> 16), (char)(c >> 8 & 0xFF), (char)(c & 0xFF)});
        }
    }
    return s;
}

}  // namespace image_files
