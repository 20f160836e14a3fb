#include "orj/gl/sprites/animation_builder.h"

#include <allegro.h>
#include <jpgalleg.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "orj/core/image/image.h"
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

static bool pixel_transparent(const Image &image, size_t pixel, const BuildOptions *options)
{
    const uint8_t *p = &image.rgba[4 * pixel];
    if (image.has_alpha) return p[3] < options->alpha_threshold;
    return ((uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | p[2]) == options->mask_rgb;
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
    if (find_frame_files(options->first_frame, MAX_ANIMATION_SIDE, &source->sequence, &source->count, error) !=
        ERROR_NONE)
        return error->kind;
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
    FILE *stream = nullptr;
    BITMAP *strip_bitmap = nullptr;
};

static ErrorKind fail_build(BuildOutputs *outputs, ErrorKind kind)
{
    if (outputs->stream) fclose(outputs->stream);
    if (outputs->strip_bitmap) destroy_bitmap(outputs->strip_bitmap);
    output_file_discard(&outputs->animation);
    output_file_discard(&outputs->strip);
    output_file_discard(&outputs->strip_tga);
    return kind;
}

ErrorKind build_animation_with(const BuildOptions *options, const char *animation_path, const char *strip_path,
                               BuildSummary *summary, Error *error)
{
    Error scratch;
    if (!error) error = &scratch;
    if (!options->sheet_path && (!options->first_frame || !*options->first_frame))
        return set_error(error, ERROR_REFUSED, nullptr, 0, "no first frame given");
    if (!strip_path || !*strip_path) return set_error(error, ERROR_REFUSED, nullptr, 0, "no strip image path given");
    if (!animation_path || !*animation_path)
        return set_error(error, ERROR_CANNOT_WRITE, nullptr, 0, "no animation file path given");
    if (options->strip_quality < 1 || options->strip_quality > 100)
        return set_error(error, ERROR_REFUSED, strip_path, 0, "the JPEG quality %d is not between 1 and 100",
                         options->strip_quality);

    BuildOutputs outputs;
    // The animation file first: when it cannot be written nothing else is read.
    if (output_file_begin(animation_path, &outputs.animation, error) != ERROR_NONE) return error->kind;
    outputs.stream = fopen(outputs.animation.temp_path.c_str(), "wb");
    if (!outputs.stream) {
        set_error(error, ERROR_CANNOT_WRITE, animation_path, 0, "cannot be opened for writing");
        return fail_build(&outputs, ERROR_CANNOT_WRITE);
    }

    FrameSource source;
    if (open_frame_source(options, &source, error) != ERROR_NONE) return fail_build(&outputs, error->kind);
    std::vector<std::string> output_paths = {animation_path, strip_path};
    if (options->strip_tga_path) output_paths.push_back(options->strip_tga_path);
    if (check_output_paths(source.inputs, output_paths, error) != ERROR_NONE) return fail_build(&outputs, error->kind);
    if (output_file_begin(strip_path, &outputs.strip, error) != ERROR_NONE) return fail_build(&outputs, error->kind);
    if (options->strip_tga_path && output_file_begin(options->strip_tga_path, &outputs.strip_tga, error) != ERROR_NONE)
        return fail_build(&outputs, error->kind);

    int32_t frame_count = source.count;
    Image image;
    std::string frame_name;
    if (read_source_frame(options, &source, 0, &image, &frame_name, error) != ERROR_NONE)
        return fail_build(&outputs, error->kind);
    int width = image.width;
    int height = image.height;
    if (width < 1 || height < 1) {
        set_error(error, ERROR_MALFORMED, frame_name.c_str(), 0, "the frame is empty (%d x %d)", width, height);
        return fail_build(&outputs, ERROR_MALFORMED);
    }
    // JPEG images hold at most 65535 rows and columns.
    if (width > MAX_ANIMATION_SIDE || (int64_t)height * frame_count > MAX_ANIMATION_SIDE) {
        set_error(error, ERROR_TOO_LARGE, strip_path, 0,
                  "%d frames of %d x %d do not fit in a JPEG image (at most 65535 rows)", frame_count, width, height);
        return fail_build(&outputs, ERROR_TOO_LARGE);
    }
    outputs.strip_bitmap = create_bitmap_ex(32, width, height * frame_count);
    if (!outputs.strip_bitmap) {
        set_error(error, ERROR_OUT_OF_MEMORY, strip_path, 0, "no memory for a strip of %d x %d", width,
                  height * frame_count);
        return fail_build(&outputs, ERROR_OUT_OF_MEMORY);
    }

    Error write_error;
    if (write_animation_count(frame_count, outputs.stream, &write_error) != ERROR_NONE) {
        set_error(error, ERROR_CANNOT_WRITE, animation_path, 0, "write failed");
        return fail_build(&outputs, ERROR_CANNOT_WRITE);
    }
    std::vector<uint8_t> transparent;
    *summary = BuildSummary();
    for (int32_t i = 0; i < frame_count; i++) {
        if (i > 0 && read_source_frame(options, &source, i, &image, &frame_name, error) != ERROR_NONE)
            return fail_build(&outputs, error->kind);
        if (image.width != width || image.height != height) {
            set_error(error, ERROR_MALFORMED, frame_name.c_str(), 0, "the frame is %d x %d, the first frame %d x %d",
                      image.width, image.height, width, height);
            return fail_build(&outputs, ERROR_MALFORMED);
        }
        // Frame i fills the strip's rows i * height ..; the JPEG strip keeps the
        // colours as they are, transparency lives in the runs (and in the TGA strip's alpha).
        transparent.assign((size_t)width * height, 0);
        for (int y = 0; y < height; y++) {
            uint32_t *row = (uint32_t *)outputs.strip_bitmap->line[height * i + y];
            for (int x = 0; x < width; x++) {
                size_t pixel = (size_t)y * width + x;
                const uint8_t *p = &image.rgba[4 * pixel];
                transparent[pixel] = pixel_transparent(image, pixel, options);
                int alpha = transparent[pixel] ? 0 : image.has_alpha ? p[3] : 255;
                row[x] = (uint32_t)makeacol32(p[0], p[1], p[2], alpha);
                if (!transparent[pixel]) summary->opaque_count++;
            }
        }
        AnimationFrame frame = build_frame_from_transparency(transparent.data(), width, height);
        if (!frame_runs_built(&frame)) {
            set_error(error, ERROR_OUT_OF_MEMORY, frame_name.c_str(), 0, "out of memory for the frame's runs");
            return fail_build(&outputs, ERROR_OUT_OF_MEMORY);
        }
        int64_t work_bytes = frame_work_bytes(&frame);
        ErrorKind written =
            work_bytes > FRAME_WORK_AREA_BYTES ? ERROR_TOO_LARGE : write_frame(&frame, outputs.stream, &write_error);
        free_frame_runs(frame);
        if (written == ERROR_TOO_LARGE) {
            set_error(
                error, ERROR_TOO_LARGE, frame_name.c_str(), 0,
                "the frame's runs take %lld bytes, more than the %d-byte working area the loaders read a frame into "
                "(fewer changes between transparent and opaque pixels, or a smaller frame, fit)",
                (long long)work_bytes, (int)FRAME_WORK_AREA_BYTES);
            return fail_build(&outputs, ERROR_TOO_LARGE);
        }
        if (written != ERROR_NONE) {
            set_error(error, ERROR_CANNOT_WRITE, animation_path, 0, "write failed at frame %d", i);
            return fail_build(&outputs, ERROR_CANNOT_WRITE);
        }
    }
    bool closed = fclose(outputs.stream) == 0;
    outputs.stream = nullptr;
    if (!closed) {
        set_error(error, ERROR_CANNOT_WRITE, animation_path, 0, "write failed");
        return fail_build(&outputs, ERROR_CANNOT_WRITE);
    }

    if (save_jpg_ex(outputs.strip.temp_path.c_str(), outputs.strip_bitmap, nullptr, options->strip_quality, 0,
                    nullptr) != 0) {
        set_error(error, ERROR_CANNOT_WRITE, strip_path, 0, "the JPEG image cannot be saved");
        return fail_build(&outputs, ERROR_CANNOT_WRITE);
    }
    if (options->strip_tga_path && save_tga(outputs.strip_tga.temp_path.c_str(), outputs.strip_bitmap, nullptr) != 0) {
        set_error(error, ERROR_CANNOT_WRITE, options->strip_tga_path, 0, "the TGA image cannot be saved");
        return fail_build(&outputs, ERROR_CANNOT_WRITE);
    }
    destroy_bitmap(outputs.strip_bitmap);
    outputs.strip_bitmap = nullptr;
    if (output_file_commit(&outputs.strip, error) != ERROR_NONE) return fail_build(&outputs, error->kind);
    if (options->strip_tga_path && output_file_commit(&outputs.strip_tga, error) != ERROR_NONE)
        return fail_build(&outputs, error->kind);
    if (output_file_commit(&outputs.animation, error) != ERROR_NONE) return fail_build(&outputs, error->kind);
    summary->frame_count = frame_count;
    summary->width = width;
    summary->height = height;
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
