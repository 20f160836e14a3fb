#include "orj/core/sprites/animation_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace orj {

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

ErrorKind write_animation_count(int32_t frame_count, FILE *stream, Error *error)
{
    if (!stream || !write_int(frame_count, stream))
        return set_error(error, ERROR_CANNOT_WRITE, nullptr, 0, "write failed");
    return ERROR_NONE;
}

int64_t frame_work_bytes(const AnimationFrame *frame)
{
    int64_t bytes = 8 * (int64_t)frame->height;
    for (int32_t y = 0; y < frame->height; y++) bytes += 4 * ((int64_t)frame->run_counts[y] + 1);
    return bytes;
}

ErrorKind write_frame(const AnimationFrame *frame, FILE *stream, Error *error)
{
    bool written = stream && write_int(frame->width, stream) && write_int(frame->height, stream) &&
                   write_int(frame->opaque_pixels, stream);
    for (int32_t y = 0; written && y < frame->height; y++) {
        int32_t k = frame->run_counts[y];
        written = write_int(k, stream);
        for (int32_t r = 0; written && r <= k; r++) written = write_int(frame->runs[y][r], stream);
    }
    if (!written) return set_error(error, ERROR_CANNOT_WRITE, nullptr, 0, "write failed");
    return ERROR_NONE;
}

static ErrorKind malformed(Error *error, const char *what)
{
    return set_error(error, ERROR_MALFORMED, nullptr, 0, "%s", what);
}

static const char *const FRAME_ENDS_EARLY = "the file ends inside the frame record";
static const char *const FRAME_TOO_BIG = "the frame's runs do not fit in the %d-byte working area";

// Every row's run count and run lengths, checked against the frame's width
// and the working area, which holds a count and a 4-byte row reference per
// row, then the runs.
static ErrorKind read_frame_rows(FILE *stream, int32_t width, int32_t height, std::vector<int32_t> *counts,
                                 std::vector<int32_t> *lengths, Error *error)
{
    int64_t work_bytes = 8 * (int64_t)height;
    if (work_bytes > FRAME_WORK_AREA_BYTES)
        return set_error(error, ERROR_TOO_LARGE, nullptr, 0, FRAME_TOO_BIG, (int)FRAME_WORK_AREA_BYTES);
    counts->assign((size_t)height, 0);
    for (int32_t y = 0; y < height; y++) {
        int32_t k = 0;
        if (!read_int(stream, &k)) return malformed(error, FRAME_ENDS_EARLY);
        // A row of width pixels has at most width + 1 runs (the first may be empty).
        if (k < 0 || k > width)
            return malformed(error, "a row's run count is negative or larger than the frame's width");
        work_bytes += 4 * ((int64_t)k + 1);
        if (work_bytes > FRAME_WORK_AREA_BYTES)
            return set_error(error, ERROR_TOO_LARGE, nullptr, 0, FRAME_TOO_BIG, (int)FRAME_WORK_AREA_BYTES);
        (*counts)[(size_t)y] = k;
        int64_t sum = 0;
        for (int32_t r = 0; r <= k; r++) {
            int32_t length = 0;
            if (!read_int(stream, &length)) return malformed(error, FRAME_ENDS_EARLY);
            if (length < 0 || length > width)
                return malformed(error, "a run length is negative or larger than the frame's width");
            sum += length;
            lengths->push_back(length);
        }
        if (sum != width) return malformed(error, "a row's run lengths do not add up to the frame's width");
    }
    return ERROR_NONE;
}

// The frame's rows in one block: the row references first (they need the
// strictest alignment), then counts, then runs. On failure the frame is left
// as it was.
static ErrorKind pack_frame_block(const std::vector<int32_t> &counts, const std::vector<int32_t> &lengths,
                                  AnimationFrame *frame, Error *error)
{
    int32_t height = (int32_t)counts.size();
    size_t references_size = sizeof(int32_t *) * (size_t)height;
    size_t counts_size = sizeof(int32_t) * (size_t)height;
    size_t lengths_size = sizeof(int32_t) * lengths.size();
    size_t block_size = references_size + counts_size + lengths_size;
    char *block = (char *)malloc(block_size);
    if (!block)
        return set_error(error, ERROR_OUT_OF_MEMORY, nullptr, 0, "out of memory for a frame of %d rows", height);
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
    frame->run_counts = block_counts;
    frame->runs = references;
    frame->block = block;
    frame->block_size = (int32_t)block_size;
    return ERROR_NONE;
}

ErrorKind read_frame(AnimationFrame *frame, FILE *stream, Error *error)
{
    if (!stream || !frame) return set_error(error, ERROR_CANNOT_OPEN, nullptr, 0, "nothing to read from");
    int32_t width = 0, height = 0, opaque_pixels = 0;
    if (!read_int(stream, &width) || !read_int(stream, &height) || !read_int(stream, &opaque_pixels))
        return malformed(error, FRAME_ENDS_EARLY);
    if (width < 1 || width > MAX_ANIMATION_SIDE || height < 1 || height > MAX_ANIMATION_SIDE)
        return malformed(error, "the frame's width or height is not between 1 and 65535");
    if (opaque_pixels < 0 || (int64_t)opaque_pixels > (int64_t)width * height)
        return malformed(error, "the opaque pixel count is negative or larger than the frame");

    std::vector<int32_t> counts, lengths;
    ErrorKind kind = read_frame_rows(stream, width, height, &counts, &lengths, error);
    if (kind != ERROR_NONE) return kind;
    kind = pack_frame_block(counts, lengths, frame, error);
    if (kind != ERROR_NONE) return kind;
    frame->width = width;
    frame->height = height;
    frame->opaque_pixels = opaque_pixels;
    return ERROR_NONE;
}

void free_frame_block(AnimationFrame frame) { free(frame.block); }

void destroy_animation(Animation *animation)
{
    if (animation->frames)
        for (int32_t i = 0; i < animation->frame_count; i++) free_frame_block(animation->frames[i]);
    free(animation->bitmaps);
    free(animation->frames);
    animation->bitmaps = nullptr;
    animation->frames = nullptr;
}

ErrorKind read_animation_frames(FILE *stream, const char *path, Animation *animation, Error *error)
{
    int32_t frame_count = 0;
    if (!stream || !read_int(stream, &frame_count))
        return set_error(error, ERROR_MALFORMED, path, 0, "the file ends before its frame count");
    if (frame_count < 0 || frame_count > MAX_ANIMATION_SIDE)
        return set_error(error, ERROR_MALFORMED, path, 0, "implausible frame count %d", frame_count);
    AnimationFrame *frames = (AnimationFrame *)calloc((size_t)frame_count + 1, sizeof(AnimationFrame));
    if (!frames) return set_error(error, ERROR_OUT_OF_MEMORY, path, 0, "out of memory for %d frames", frame_count);
    int64_t pixel_bytes = 0;
    for (int32_t i = 0; i < frame_count; i++) {
        Error frame_error;
        if (read_frame(&frames[i], stream, &frame_error) != ERROR_NONE) {
            for (int32_t j = 0; j < i; j++) free_frame_block(frames[j]);
            free(frames);
            return set_error(error, frame_error.kind, path, 0, "frame %d: %s", i, frame_error.message.c_str());
        }
        pixel_bytes += (int64_t)frames[i].width * frames[i].height * 4;
    }
    animation->frame_count = frame_count;
    animation->pixel_bytes = pixel_bytes > INT32_MAX ? INT32_MAX : (int32_t)pixel_bytes;
    animation->frames = frames;
    animation->textures = nullptr;
    animation->bitmaps = nullptr;
    return ERROR_NONE;
}

}  // namespace orj
