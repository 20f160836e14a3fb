#include "core/sprites/animation_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

static bool write_int(int32_t value, FILE *stream)
{
    uint32_t bits = (uint32_t)value;
    unsigned char bytes[4] = {(unsigned char)bits, (unsigned char)(bits >> 8), (unsigned char)(bits >> 16),
                              (unsigned char)(bits >> 24)};
    return fwrite(bytes, 1, 4, stream) == 4;
}

static bool read_int(FILE *stream, int32_t *value)
{
    unsigned char bytes[4];
    if (fread(bytes, 1, 4, stream) != 4) return false;
    uint32_t bits = (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 | (uint32_t)bytes[3] << 24;
    *value = (int32_t)bits;
    return true;
}

bool write_animation_count(int32_t frame_count, FILE *stream)
{
    return stream && write_int(frame_count, stream);
}

int write_frame(const AnimationFrame *frame, FILE *stream)
{
    if (!stream) return 0;
    bool written = write_int(frame->width, stream) && write_int(frame->height, stream) &&
                   write_int(frame->opaque_pixels, stream);
    for (int32_t y = 0; written && y < frame->height; y++) {
        int32_t k = frame->run_counts[y];
        written = write_int(k, stream);
        for (int32_t r = 0; written && r <= k; r++) written = write_int(frame->runs[y][r], stream);
    }
    return written ? 1 : -1;
}

int read_frame(AnimationFrame *frame, FILE *stream)
{
    if (!stream || !frame) return FRAME_READ_NOTHING;
    int32_t width = 0, height = 0, opaque_pixels = 0;
    if (!read_int(stream, &width) || !read_int(stream, &height) || !read_int(stream, &opaque_pixels))
        return FRAME_READ_ENDS_EARLY;
    if (width < 1 || width > MAX_ANIMATION_SIDE || height < 1 || height > MAX_ANIMATION_SIDE) return FRAME_READ_BAD_SIZE;
    if (opaque_pixels < 0 || (int64_t)opaque_pixels > (int64_t)width * height) return FRAME_READ_BAD_OPAQUE_COUNT;

    // The working area holds a count and a 4-byte row reference per row, then the runs.
    int64_t work_bytes = 8 * (int64_t)height;
    if (work_bytes > FRAME_WORK_AREA_BYTES) return FRAME_READ_TOO_BIG;
    std::vector<int32_t> counts((size_t)height);
    std::vector<int32_t> lengths;
    for (int32_t y = 0; y < height; y++) {
        int32_t k = 0;
        if (!read_int(stream, &k)) return FRAME_READ_ENDS_EARLY;
        // A row of width pixels has at most width + 1 runs (the first may be empty).
        if (k < 0 || k > width) return FRAME_READ_BAD_RUN_COUNT;
        work_bytes += 4 * ((int64_t)k + 1);
        if (work_bytes > FRAME_WORK_AREA_BYTES) return FRAME_READ_TOO_BIG;
        counts[(size_t)y] = k;
        int64_t sum = 0;
        for (int32_t r = 0; r <= k; r++) {
            int32_t length = 0;
            if (!read_int(stream, &length)) return FRAME_READ_ENDS_EARLY;
            if (length < 0 || length > width) return FRAME_READ_BAD_RUN;
            sum += length;
            lengths.push_back(length);
        }
        if (sum != width) return FRAME_READ_BAD_RUN_SUM;
    }

    // One block: the row references first (they need the strictest alignment), then counts, then runs.
    size_t references_size = sizeof(int32_t *) * (size_t)height;
    size_t counts_size = sizeof(int32_t) * (size_t)height;
    size_t lengths_size = sizeof(int32_t) * lengths.size();
    size_t block_size = references_size + counts_size + lengths_size;
    char *block = (char *)malloc(block_size);
    if (!block) exit(1);
    int32_t **references = (int32_t **)block;
    int32_t *block_counts = (int32_t *)(block + references_size);
    int32_t *block_lengths = (int32_t *)(block + references_size + counts_size);
    memcpy(block_counts, counts.data(), counts_size);
    memcpy(block_lengths, lengths.data(), lengths_size);
    size_t offset = 0;
    for (int32_t y = 0; y < height; y++) {
        references[y] = block_lengths + offset;
        offset += (size_t)counts[(size_t)y] + 1;
    }

    frame->width = width;
    frame->height = height;
    frame->opaque_pixels = opaque_pixels;
    frame->run_counts = block_counts;
    frame->runs = references;
    frame->block = block;
    frame->block_size = (int32_t)block_size;
    return FRAME_READ_OK;
}

const char *frame_read_error_text(int result)
{
    switch (result) {
    case FRAME_READ_OK: return "no error";
    case FRAME_READ_NOTHING: return "nothing to read from";
    case FRAME_READ_ENDS_EARLY: return "the file ends inside the frame record";
    case FRAME_READ_BAD_SIZE: return "the frame's width or height is not between 1 and 65535";
    case FRAME_READ_BAD_RUN_COUNT: return "a row's run count is negative or larger than the frame's width";
    case FRAME_READ_BAD_RUN: return "a run length is negative or larger than the frame's width";
    case FRAME_READ_BAD_RUN_SUM: return "a row's run lengths do not add up to the frame's width";
    case FRAME_READ_TOO_BIG: {
        static char text[80];  // the same text on every call
        snprintf(text, sizeof text, "the frame's runs do not fit in the %d-byte working area",
                 (int)FRAME_WORK_AREA_BYTES);
        return text;
    }
    case FRAME_READ_BAD_OPAQUE_COUNT: return "the opaque pixel count is negative or larger than the frame";
    }
    return "unknown error";
}

void free_frame_block(AnimationFrame frame)
{
    free(frame.block);
}

void destroy_animation(Animation *animation)
{
    if (animation->frames)
        for (int32_t i = 0; i < animation->frame_count; i++) free_frame_block(animation->frames[i]);
    free(animation->bitmaps);
    free(animation->frames);
    animation->bitmaps = nullptr;
    animation->frames = nullptr;
}

bool read_animation_frames(FILE *stream, const char *path, Animation *animation, std::string *error)
{
    int32_t frame_count = 0;
    if (!read_int(stream, &frame_count)) {
        *error = std::string(path) + ": the file ends before its frame count";
        return false;
    }
    if (frame_count < 0 || frame_count > MAX_ANIMATION_SIDE) {
        *error = std::string(path) + ": implausible frame count " + std::to_string(frame_count);
        return false;
    }
    AnimationFrame *frames = (AnimationFrame *)calloc((size_t)frame_count + 1, sizeof(AnimationFrame));
    if (!frames) exit(1);
    int64_t pixel_bytes = 0;
    for (int32_t i = 0; i < frame_count; i++) {
        int result = read_frame(&frames[i], stream);
        if (result != FRAME_READ_OK) {
            *error = std::string(path) + ": frame " + std::to_string(i) + ": " + frame_read_error_text(result);
            for (int32_t j = 0; j < i; j++) free_frame_block(frames[j]);
            free(frames);
            return false;
        }
        pixel_bytes += (int64_t)frames[i].width * frames[i].height * 4;
    }
    animation->frame_count = frame_count;
    animation->pixel_bytes = pixel_bytes > INT32_MAX ? INT32_MAX : (int32_t)pixel_bytes;
    animation->frames = frames;
    animation->textures = nullptr;
    animation->bitmaps = nullptr;
    return true;
}
