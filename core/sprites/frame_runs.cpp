#include "orj/core/sprites/frame_runs.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace orj {

static void *allocate(size_t size) { return malloc(size > 0 ? size : 1); }

// What a frame whose lists could not be allocated comes back as.
static AnimationFrame unbuilt_frame(AnimationFrame *partial, int32_t rows_done)
{
    if (partial->runs)
        for (int32_t y = 0; y < rows_done; y++) free(partial->runs[y]);
    free(partial->runs);
    free(partial->run_counts);
    AnimationFrame frame = {};
    frame.height = partial->height;
    return frame;
}

AnimationFrame build_frame_from_pixels(const uint32_t *pixels, int32_t width, int32_t height, uint32_t mask_color)
{
    if (width < 0) width = 0;
    if (height < 0) height = 0;
    std::vector<uint8_t> transparent((size_t)width * (size_t)height);
    for (size_t i = 0; i < transparent.size(); i++) transparent[i] = pixels[i] == mask_color;
    return build_frame_from_transparency(transparent.data(), width, height);
}

AnimationFrame build_frame_from_transparency(const uint8_t *transparent, int32_t width, int32_t height)
{
    AnimationFrame frame = {};
    if (width < 0) width = 0;
    if (height < 0) height = 0;
    frame.width = width;
    frame.height = height;
    frame.run_counts = (int32_t *)allocate(sizeof(int32_t) * (size_t)height);
    frame.runs = (int32_t **)allocate(sizeof(int32_t *) * ((size_t)height + 1));
    if (!frame.run_counts || !frame.runs) return unbuilt_frame(&frame, 0);

    // The row's runs are gathered in a list that grows with the row, so any width fits.
    std::vector<int32_t> row_runs;
    int64_t opaque_pixels = 0;
    for (int32_t y = 0; y < height; y++) {
        const uint8_t *row = transparent + (size_t)y * (size_t)width;
        bool opaque = false;
        int32_t run = 0;
        row_runs.clear();
        for (int32_t x = 0; x < width; x++) {
            bool masked = row[x] != 0;
            if (!opaque) {
                if (masked) {
                    run++;
                    continue;
                }
                row_runs.push_back(run);
                opaque = true;
                run = 0;
            }
            if (!masked) {
                run++;
            } else {
                row_runs.push_back(run);
                opaque_pixels += run;
                opaque = false;
                run = 1;
            }
        }
        // The last run reaches the right edge: an opaque one is not counted.
        row_runs.push_back(run);
        frame.run_counts[y] = (int32_t)row_runs.size() - 1;
        frame.runs[y] = (int32_t *)allocate(sizeof(int32_t) * row_runs.size());
        if (!frame.runs[y]) return unbuilt_frame(&frame, y);
        memcpy(frame.runs[y], row_runs.data(), sizeof(int32_t) * row_runs.size());
    }
    frame.runs[height] = nullptr;
    frame.opaque_pixels = opaque_pixels > INT32_MAX ? INT32_MAX : (int32_t)opaque_pixels;
    return frame;
}

bool frame_runs_built(const AnimationFrame *frame) { return frame->runs != nullptr; }

void free_frame_runs(AnimationFrame frame)
{
    if (frame.runs)
        for (int32_t y = 0; y < frame.height; y++) free(frame.runs[y]);
    free(frame.runs);
    free(frame.run_counts);
}

void apply_frame_mask_rows(uint32_t *const *rows, int32_t bitmap_width, int32_t bitmap_height,
                           const AnimationFrame *frame)
{
    // Alpha is the pixel's fourth byte in memory, the top byte of the value.
    for (int32_t y = 0; y < bitmap_height; y++)
        for (int32_t x = 0; x < bitmap_width; x++) rows[y][x] |= 0xff000000u;

    const uint32_t grey = 0x00808080u;
    int32_t height = frame->height < bitmap_height ? frame->height : bitmap_height;
    for (int32_t y = 0; y < height; y++) {
        int64_t x = 0;
        int64_t run_count = (int64_t)frame->run_counts[y] + 1;
        for (int64_t r = 0; r < run_count && x < bitmap_width; r++) {
            int64_t length = frame->runs[y][r];
            if (length < 0) length = 0;
            if (r % 2 == 0) {
                int64_t end = x + length < bitmap_width ? x + length : bitmap_width;
                for (int64_t p = x; p < end; p++) rows[y][p] = grey;
            }
            x += length;
        }
    }
}

}  // namespace orj
