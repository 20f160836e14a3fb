#include "orj/gl/sprites/animation_builder.h"

#include <allegro.h>
#include <jpgalleg.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "orj/core/image/image.h"
#include "orj/core/image/image_write.h"
#include "orj/core/sprites/animation_file.h"
#include "orj/core/sprites/frame_name.h"
#include "orj/core/sprites/frame_runs.h"
#include "orj/core/base/output_file.h"
#include "orj/gl/display/message.h"

namespace orj {

int32_t count_frame_files(const char *name)
{
    if (!name || strlen(name) < 4) return 0;
    std::string current = name;
    int32_t count = 0;
    // A frame file that is read-only still counts; directories do not.
    while (count < MAX_ANIMATION_SIDE && file_exists(current.c_str(), FA_ARCH | FA_RDONLY, nullptr)) {
        next_frame_name(&current[0]);
        count++;
    }
    return count;
}

// Where the frames come from: numbered files, or the cells of one sheet image.
struct FrameSource {
    FrameSequence sequence;
    Image sheet;
    int columns = 0;
    int32_t count = 0;
    std::vector<std::string> inputs;  // the files read, for the output checks
};

static int mask_distance_squared(const uint8_t *p, uint32_t mask_rgb)
{
    int r = p[0] - (int)(mask_rgb >> 16 & 0xFF), g = p[1] - (int)(mask_rgb >> 8 & 0xFF),
        b = p[2] - (int)(mask_rgb & 0xFF);
    return r * r + g * g + b * b;
}

static double mask_fuzz_squared(const BuildOptions *options)
{
    double fuzz = options->mask_fuzz / 100.0 * 255.0;
    return fuzz * fuzz;
}

// Frames with alpha: below the threshold. Frames without: the mask colour,
// or a colour within the fuzz of it (a Euclidean RGB distance, in hundredths
// of the full channel range, as image tools measure it).
static bool pixel_transparent(const Image &image, size_t pixel, const BuildOptions *options)
{
    const uint8_t *p = &image.rgba[4 * pixel];
    if (image.has_alpha) return p[3] < options->alpha_threshold;
    return mask_distance_squared(p, options->mask_rgb) <= mask_fuzz_squared(options);
}

static bool is_png_file(const char *path)
{
    unsigned char signature[8] = {};
    FILE *file = fopen(path, "rb");
    if (!file) return false;
    size_t read = fread(signature, 1, sizeof signature, file);
    fclose(file);
    return read == sizeof signature && memcmp(signature, "\x89PNG\r\n\x1a\n", 8) == 0;
}

// Some TGA writers store 32-bit pixels with an alpha of 0 throughout (the
// channel unused): such a frame is taken by its mask colour, not as wholly
// invisible. A PNG's alpha is always meant.
static void ignore_unused_alpha(const char *path, Image *image)
{
    if (!image->has_alpha || is_png_file(path)) return;
    for (size_t i = 3; i < image->rgba.size(); i += 4)
        if (image->rgba[i] != 0) return;
    image->has_alpha = false;
}

static void copy_cell(const Image &sheet, int column, int row, int width, int height, Image *cell)
{
    cell->width = width;
    cell->height = height;
    cell->has_alpha = sheet.has_alpha;
    cell->rgba.resize((size_t)width * height * 4);
    for (int y = 0; y < height; y++) {
        const uint8_t *from = &sheet.rgba[(((size_t)row * height + y) * sheet.width + (size_t)column * width) * 4];
        memcpy(&cell->rgba[(size_t)y * width * 4], from, (size_t)width * 4);
    }
}

static ErrorKind open_sheet(const BuildOptions *options, FrameSource *source, Error *error)
{
    const char *path = options->sheet_path;
    int width = options->cell_width, height = options->cell_height;
    if (width < 1 || height < 1)
        return set_error(error, ERROR_REFUSED, path, 0, "the frame size must be at least 1x1 (--frame-size WxH)");
    if (load_image_file(path, &source->sheet, error) != ERROR_NONE) return error->kind;
    ignore_unused_alpha(path, &source->sheet);
    const Image &sheet = source->sheet;
    if (sheet.width % width != 0 || sheet.height % height != 0)
        return set_error(error, ERROR_MALFORMED, path, 0, "the sheet is %dx%d, not a whole number of %dx%d cells",
                         sheet.width, sheet.height, width, height);
    source->columns = sheet.width / width;
    int32_t cells = source->columns * (sheet.height / height);
    source->inputs.push_back(path);
    if (options->sheet_frames > 0) {
        if (options->sheet_frames > cells)
            return set_error(error, ERROR_REFUSED, path, 0, "%d frames asked for, the sheet holds %d cells of %dx%d",
                             options->sheet_frames, cells, width, height);
        source->count = options->sheet_frames;
        return ERROR_NONE;
    }
    // Cells left empty at the end of the sheet are no frames.
    Image cell;
    for (source->count = cells; source->count > 0; source->count--) {
        int32_t last = source->count - 1;
        copy_cell(sheet, last % source->columns, last / source->columns, width, height, &cell);
        bool empty = true;
        for (size_t i = 0; empty && i < (size_t)width * height; i++) empty = pixel_transparent(cell, i, options);
        if (!empty) break;
    }
    if (source->count == 0) return set_error(error, ERROR_MALFORMED, path, 0, "every cell of the sheet is empty");
    return ERROR_NONE;
}

static ErrorKind open_frame_source(const BuildOptions *options, FrameSource *source, Error *error)
{
    if (options->sheet_path) return open_sheet(options, source, error);
    // One frame more than a strip can hold is enough to refuse them all.
    if (find_frame_files(options->first_frame, ANIMATION_STRIP_MAX_ROWS + 1, &source->sequence, &source->count,
                         error) != ERROR_NONE)
        return error->kind;
    if (source->count > ANIMATION_STRIP_MAX_ROWS)
        return set_error(error, ERROR_TOO_LARGE, options->first_frame, 0,
                         "more than %d frames: a strip holds at most %d rows (the JPEG format's limit), one frame "
                         "at least one row",
                         ANIMATION_STRIP_MAX_ROWS, ANIMATION_STRIP_MAX_ROWS);
    for (int32_t i = 0; i < source->count; i++)
        source->inputs.push_back(frame_sequence_name(&source->sequence, source->sequence.first + i));
    return ERROR_NONE;
}

// Frame index of the source into image; name is what messages call it.
static ErrorKind read_source_frame(const BuildOptions *options, FrameSource *source, int32_t index, Image *image,
                                   std::string *name, Error *error)
{
    if (options->sheet_path) {
        *name = std::string(options->sheet_path) + ": cell " + std::to_string(index);
        copy_cell(source->sheet, index % source->columns, index / source->columns, options->cell_width,
                  options->cell_height, image);
        return ERROR_NONE;
    }
    *name = source->inputs[(size_t)index];
    if (load_image_file(name->c_str(), image, error) != ERROR_NONE) return error->kind;
    ignore_unused_alpha(name->c_str(), image);
    return ERROR_NONE;
}

// The outputs of one build, their temporary files removed on any failure.
struct BuildOutputs {
    OutputFile animation, strip, strip_tga;
    BITMAP *strip_bitmap = nullptr;
};

static ErrorKind fail_build(BuildOutputs *outputs, ErrorKind kind)
{
    if (outputs->strip_bitmap) destroy_bitmap(outputs->strip_bitmap);
    outputs->strip_bitmap = nullptr;
    output_file_discard(&outputs->animation);
    output_file_discard(&outputs->strip);
    output_file_discard(&outputs->strip_tga);
    return kind;
}

// The strip must be one that every loader takes: refused before anything is
// written when its rows or pixels are over the strip's limits.
static ErrorKind check_strip_size(int width, int height, int32_t frame_count, const char *strip_path, Error *error)
{
    int64_t rows = (int64_t)height * frame_count;
    const ImageLimits &limits = ANIMATION_STRIP_LIMITS;
    if (rows > limits.max_height)
        return set_error(error, ERROR_TOO_LARGE, strip_path, 0,
                         "%d frames of %d x %d make a strip of %lld rows, over the %d a strip holds (the JPEG "
                         "format's limit): at most %d frames of this height",
                         (int)frame_count, width, height, (long long)rows, limits.max_height,
                         limits.max_height / height);
    if (width > limits.max_width || width * rows > limits.max_pixels)
        return set_error(error, ERROR_TOO_LARGE, strip_path, 0,
                         "%d frames of %d x %d make a strip of %d x %lld, over the %lld pixels the loaders take",
                         (int)frame_count, width, height, width, (long long)rows, (long long)limits.max_pixels);
    return ERROR_NONE;
}

// Copies frame index into the strip's rows and writes its runs to the
// animation file; counts its opaque and half-transparent pixels.
static ErrorKind pack_frame(const BuildOptions *options, const Image &image, int32_t index, const std::string &name,
                            BuildOutputs *outputs, BuildSummary *summary, Error *error)
{
    int width = image.width, height = image.height;
    std::vector<uint8_t> transparent((size_t)width * height, 0);
    // The JPEG strip keeps the colours as they are: transparency lives in the
    // runs (and in the TGA strip's alpha).
    for (int y = 0; y < height; y++) {
        uint32_t *row = (uint32_t *)outputs->strip_bitmap->line[height * index + y];
        for (int x = 0; x < width; x++) {
            size_t pixel = (size_t)y * width + x;
            const uint8_t *p = &image.rgba[4 * pixel];
            transparent[pixel] = pixel_transparent(image, pixel, options);
            int alpha = transparent[pixel] ? 0 : image.has_alpha ? p[3] : 255;
            row[x] = (uint32_t)makeacol32(p[0], p[1], p[2], alpha);
            if (!transparent[pixel]) summary->opaque_count++;
            if (image.has_alpha && p[3] > 0 && p[3] < 255) {
                if (transparent[pixel]) summary->half_made_transparent++;
                else summary->half_made_opaque++;
            }
            if (!image.has_alpha && !transparent[pixel]) {
                int distance = mask_distance_squared(p, options->mask_rgb);
                if (summary->nearest_mask_distance < 0 || distance < summary->nearest_mask_distance) {
                    summary->nearest_mask_distance = distance;
                    summary->nearest_mask_rgb = (uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | p[2];
                }
            }
        }
    }
    AnimationFrame frame = build_frame_from_transparency(transparent.data(), width, height);
    if (!frame_runs_built(&frame))
        return set_error(error, ERROR_OUT_OF_MEMORY, name.c_str(), 0, "out of memory for the frame's runs");
    int64_t work_bytes = frame_work_bytes(&frame);
    ErrorKind written =
        work_bytes > FRAME_WORK_AREA_BYTES ? ERROR_TOO_LARGE : write_frame(&frame, outputs->animation.stream, nullptr);
    free_frame_runs(frame);
    if (written == ERROR_TOO_LARGE)
        return set_error(
            error, ERROR_TOO_LARGE, name.c_str(), 0,
            "the frame's runs take %lld bytes, more than the %d-byte working area the loaders read a frame into "
            "(fewer changes between transparent and opaque pixels, or a smaller frame, fit)",
            (long long)work_bytes, (int)FRAME_WORK_AREA_BYTES);
    if (written != ERROR_NONE)
        return set_error(error, ERROR_CANNOT_WRITE, outputs->animation.path.c_str(), 0,
                         "cannot be written: %s (at frame %d)", strerror(errno), (int)index);
    return ERROR_NONE;
}

// The JPEG strip, encoded by JPGalleg into memory. Its writer does not check
// the last bytes it puts (the end marker), so an image that filled the whole
// buffer may be cut short: the buffer grows until the image ends inside it.
// The bytes are then read back, so that no strip a decoder refuses is written.
static ErrorKind encode_strip_jpeg(BITMAP *strip, int quality, const char *path, std::vector<uint8_t> *bytes,
                                   Error *error)
{
    // JPGalleg's own estimate for its file writer, then twice as much each time.
    int64_t capacity = (int64_t)strip->w * strip->h * 3 + 1000;
    for (;; capacity *= 2) {
        if (capacity > INT32_MAX)
            return set_error(error, ERROR_TOO_LARGE, path, 0, "the JPEG strip does not fit in memory");
        try {
            bytes->resize((size_t)capacity);
        } catch (const std::bad_alloc &) {
            return set_error(error, ERROR_OUT_OF_MEMORY, path, 0, "no memory to encode the JPEG strip");
        }
        int size = (int)capacity;
        int result = save_memory_jpg_ex(bytes->data(), &size, strip, nullptr, quality, 0, nullptr);
        if (result == 0 && size < capacity) {
            bytes->resize((size_t)size);
            break;
        }
        if (result != 0 && jpgalleg_error != JPG_ERROR_OUTPUT_BUFFER_TOO_SMALL)
            return set_error(error, ERROR_CANNOT_WRITE, path, 0, "the JPEG image cannot be encoded: %s",
                             jpgalleg_error_string());
    }
    Image check;
    Error reason;
    if (decode_image(bytes->data(), bytes->size(), path, &check, &reason, &ANIMATION_STRIP_LIMITS) != ERROR_NONE ||
        check.width != strip->w || check.height != strip->h)
        return set_error(error, ERROR_CANNOT_WRITE, path, 0, "the JPEG encoder made an image that cannot be read: %s",
                         reason.message.c_str());
    return ERROR_NONE;
}

// The strip bitmap's pixels, alpha included, as a TGA.
static ErrorKind encode_strip_tga(BITMAP *strip, const char *path, std::vector<uint8_t> *bytes, Error *error)
{
    Image image;
    image.width = strip->w;
    image.height = strip->h;
    image.has_alpha = true;
    image.rgba.resize((size_t)strip->w * strip->h * 4);
    for (int y = 0; y < strip->h; y++) {
        const uint32_t *row = (const uint32_t *)strip->line[y];
        uint8_t *to = &image.rgba[(size_t)y * strip->w * 4];
        for (int x = 0; x < strip->w; x++, to += 4) {
            int c = (int)row[x];
            to[0] = (uint8_t)getr32(c);
            to[1] = (uint8_t)getg32(c);
            to[2] = (uint8_t)getb32(c);
            to[3] = (uint8_t)geta32(c);
        }
    }
    return encode_tga(image, path, bytes, error);
}

// Encodes the strips, writes them beside the animation file and puts all of
// them in place as one set: the strips first, the animation file last.
static ErrorKind finish_outputs(const BuildOptions *options, BuildOutputs *outputs, Error *error)
{
    std::vector<uint8_t> bytes;
    if (encode_strip_jpeg(outputs->strip_bitmap, options->strip_quality, outputs->strip.path.c_str(), &bytes, error) !=
            ERROR_NONE ||
        output_file_write(&outputs->strip, bytes.data(), bytes.size(), error) != ERROR_NONE)
        return error->kind;
    if (options->strip_tga_path &&
        (encode_strip_tga(outputs->strip_bitmap, options->strip_tga_path, &bytes, error) != ERROR_NONE ||
         output_file_write(&outputs->strip_tga, bytes.data(), bytes.size(), error) != ERROR_NONE))
        return error->kind;
    destroy_bitmap(outputs->strip_bitmap);
    outputs->strip_bitmap = nullptr;
    OutputFile *set[3] = {&outputs->strip, &outputs->strip_tga, &outputs->animation};
    if (!options->strip_tga_path) set[1] = set[2];
    return output_files_commit(set, options->strip_tga_path ? 3 : 2, error);
}

// The frames' sizes and outputs, then every frame packed.
static ErrorKind pack_frames(const BuildOptions *options, FrameSource *source, BuildOutputs *outputs,
                             BuildSummary *summary, Error *error)
{
    int32_t frame_count = source->count;
    Image image;
    std::string frame_name;
    if (read_source_frame(options, source, 0, &image, &frame_name, error) != ERROR_NONE) return error->kind;
    int width = image.width, height = image.height;
    if (width < 1 || height < 1)
        return set_error(error, ERROR_MALFORMED, frame_name.c_str(), 0, "the frame is empty (%d x %d)", width, height);
    const char *strip_path = outputs->strip.path.c_str();
    if (check_strip_size(width, height, frame_count, strip_path, error) != ERROR_NONE) return error->kind;
    outputs->strip_bitmap = create_bitmap_ex(32, width, height * frame_count);
    if (!outputs->strip_bitmap)
        return set_error(error, ERROR_OUT_OF_MEMORY, strip_path, 0, "no memory for a strip of %d x %d", width,
                         height * frame_count);
    if (write_animation_count(frame_count, outputs->animation.stream, nullptr) != ERROR_NONE)
        return set_error(error, ERROR_CANNOT_WRITE, outputs->animation.path.c_str(), 0, "cannot be written: %s",
                         strerror(errno));
    for (int32_t i = 0; i < frame_count; i++) {
        if (i > 0 && read_source_frame(options, source, i, &image, &frame_name, error) != ERROR_NONE)
            return error->kind;
        if (image.width != width || image.height != height)
            return set_error(error, ERROR_MALFORMED, frame_name.c_str(), 0,
                             "the frame is %d x %d, the first frame %d x %d", image.width, image.height, width, height);
        if (pack_frame(options, image, i, frame_name, outputs, summary, error) != ERROR_NONE) return error->kind;
    }
    summary->frame_count = frame_count;
    summary->width = width;
    summary->height = height;
    return ERROR_NONE;
}

static ErrorKind check_build_request(const BuildOptions *options, const char *animation_path, const char *strip_path,
                                     Error *error)
{
    if (!options->sheet_path && (!options->first_frame || !*options->first_frame))
        return set_error(error, ERROR_REFUSED, nullptr, 0, "no first frame given");
    if (!strip_path || !*strip_path) return set_error(error, ERROR_REFUSED, nullptr, 0, "no strip image path given");
    if (!animation_path || !*animation_path)
        return set_error(error, ERROR_CANNOT_WRITE, nullptr, 0, "no animation file path given");
    if (options->strip_quality < 1 || options->strip_quality > 100)
        return set_error(error, ERROR_REFUSED, strip_path, 0, "the JPEG quality %d is not between 1 and 100",
                         options->strip_quality);
    if (!(options->mask_fuzz >= 0.0 && options->mask_fuzz <= 100.0))
        return set_error(error, ERROR_REFUSED, nullptr, 0, "the mask fuzz %g is not between 0 and 100 per cent",
                         options->mask_fuzz);
    return ERROR_NONE;
}

// A gap in the numbering, or a next frame whose extension differs in case: the frames after it are not built.
static void note_frame_gap(const FrameSource *source, BuildSummary *summary)
{
    FrameGap gap;
    find_frame_gap(&source->sequence, source->count, &gap);
    if (gap.missing.empty()) return;
    summary->gap_missing = gap.missing;
    summary->gap_found = gap.found;
}

ErrorKind build_animation_with(const BuildOptions *options, const char *animation_path, const char *strip_path,
                               BuildSummary *summary, Error *error)
{
    Error scratch;
    if (!error) error = &scratch;
    if (check_build_request(options, animation_path, strip_path, error) != ERROR_NONE) return error->kind;
    *summary = BuildSummary();
    BuildOutputs outputs;
    // The animation file first: when it cannot be written nothing else is read.
    if (output_file_begin(animation_path, &outputs.animation, error) != ERROR_NONE) return error->kind;
    FrameSource source;
    if (open_frame_source(options, &source, error) != ERROR_NONE) return fail_build(&outputs, error->kind);
    std::vector<std::string> output_paths = {animation_path, strip_path};
    if (options->strip_tga_path) output_paths.push_back(options->strip_tga_path);
    if (check_output_paths(source.inputs, output_paths, error) != ERROR_NONE ||
        output_file_begin(strip_path, &outputs.strip, error) != ERROR_NONE ||
        (options->strip_tga_path &&
         output_file_begin(options->strip_tga_path, &outputs.strip_tga, error) != ERROR_NONE))
        return fail_build(&outputs, error->kind);
    if (pack_frames(options, &source, &outputs, summary, error) != ERROR_NONE ||
        finish_outputs(options, &outputs, error) != ERROR_NONE)
        return fail_build(&outputs, error->kind);
    if (!options->sheet_path) note_frame_gap(&source, summary);
    return ERROR_NONE;
}

ErrorKind build_animation_from_frames(const char *first_frame, const char *animation_path, const char *strip_path,
                                      Error *error)
{
    BuildOptions options;
    options.first_frame = first_frame;
    BuildSummary summary;
    return build_animation_with(&options, animation_path, strip_path, &summary, error);
}

bool ask_animation_path(char *path, int size)
{
    return file_select_ex("Escoje un archivo para guardar la animazao", path, nullptr, size, 0, 0) != 0;
}

bool build_animation(const char *animation_path, const char *strip_path)
{
    char path[1024] = "";
    if (animation_path) snprintf(path, sizeof path, "%s", animation_path);
    for (;;) {
        Error error;
        if (build_animation_from_frames(DEFAULT_FIRST_FRAME_NAME, path, strip_path, &error) == ERROR_NONE) return true;
        bool animation_unwritable = error.kind == ERROR_CANNOT_WRITE && (error.path.empty() || error.path == path);
        if (!animation_unwritable) {
            show_message("%s", error.message.c_str());
            return false;
        }
        // Cancel stops the build: nothing has been written.
        if (!ask_animation_path(path, (int)sizeof path)) return false;
    }
}

}  // namespace orj
