#include "orj/gl/sprites/animation_preview.h"

#include <gif_lib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "orj/core/image/image.h"
#include "orj/core/base/input_file.h"
#include "orj/core/sprites/animation_file.h"
#include "orj/core/sprites/frame_runs.h"
#include "orj/core/base/output_file.h"
#include "orj/core/image/image_write.h"

namespace orj {

enum {
    GIF_FRAME_CENTISECONDS = 4,  // the engine's 40 ms pass
    GIF_TRANSPARENT_INDEX = 255,
    SHEET_GAP = 2,  // pixels between the contact sheet's cells
    CHECKER_SIDE = 8,
};

static bool ends_with(const std::string &text, const char *end)
{
    size_t length = strlen(end);
    if (text.size() < length) return false;
    return strcasecmp(text.c_str() + text.size() - length, end) == 0;
}

// The frames as RGBA images with the transparency the loaders give them.
static ErrorKind load_frames(const char *animation_path, const char *strip_path, std::vector<Image> *frames,
                             Error *error)
{
    FILE *stream;
    ErrorKind opened = open_input_stream(animation_path, ANIMATION_MAX_FILE_BYTES, &stream, error);
    if (opened != ERROR_NONE) return opened;
    Animation animation = {};
    ErrorKind read = read_animation_frames(stream, animation_path, &animation, error);
    fclose(stream);
    if (read != ERROR_NONE) return read;
    Image strip;
    if (load_image_file(strip_path, &strip, error, &ANIMATION_STRIP_LIMITS) != ERROR_NONE) {
        destroy_animation(&animation);
        return error->kind;
    }
    for (int32_t i = 0; i < animation.frame_count; i++) {
        const AnimationFrame &frame = animation.frames[i];
        if (i > 0 && (frame.width != animation.frames[0].width || frame.height != animation.frames[0].height)) {
            set_error(error, ERROR_MALFORMED, animation_path, 0, "frame %d is %d x %d, frame 0 %d x %d", i, frame.width,
                      frame.height, animation.frames[0].width, animation.frames[0].height);
            destroy_animation(&animation);
            return ERROR_MALFORMED;
        }
        if (frame.width > strip.width || (int64_t)frame.height * (i + 1) > strip.height) {
            set_error(error, ERROR_MALFORMED, animation_path, 0,
                      "frame %d (%d x %d) does not fit the strip image %s (%d x %d)", i, frame.width, frame.height,
                      strip_path, strip.width, strip.height);
            destroy_animation(&animation);
            return ERROR_MALFORMED;
        }
        Image image;
        image.width = frame.width;
        image.height = frame.height;
        image.has_alpha = true;
        image.rgba.resize((size_t)frame.width * frame.height * 4);
        std::vector<uint32_t *> rows((size_t)frame.height);
        for (int y = 0; y < frame.height; y++) {
            uint8_t *row = &image.rgba[(size_t)y * frame.width * 4];
            memcpy(row, &strip.rgba[((size_t)frame.height * i + y) * strip.width * 4], (size_t)frame.width * 4);
            if (!strip.has_alpha)
                for (int x = 0; x < frame.width; x++) row[4 * x + 3] = 255;
            rows[(size_t)y] = (uint32_t *)row;
        }
        // A strip without alpha of its own (JPEG, whatever its name) takes it
        // from the runs. On a little-endian machine the top byte of each value
        // is alpha, as the mask expects.
        if (!strip.has_alpha) apply_frame_mask_rows(rows.data(), frame.width, frame.height, &frame);
        frames->push_back(std::move(image));
    }
    destroy_animation(&animation);
    if (frames->empty()) return set_error(error, ERROR_MALFORMED, animation_path, 0, "the animation has no frames");
    return ERROR_NONE;
}

static ErrorKind encode_contact_sheet(const std::vector<Image> &frames, const char *path, std::vector<uint8_t> *bytes,
                                      Error *error)
{
    int count = (int)frames.size();
    int columns = 1;
    while (columns * columns < count) columns++;
    int rows = (count + columns - 1) / columns;
    int cell_width = frames[0].width + SHEET_GAP, cell_height = frames[0].height + SHEET_GAP;
    int width = columns * cell_width + SHEET_GAP, height = rows * cell_height + SHEET_GAP;
    if ((int64_t)width * height > IMAGE_MAX_PIXELS || width > IMAGE_MAX_SIDE || height > IMAGE_MAX_SIDE)
        return set_error(error, ERROR_TOO_LARGE, path, 0, "a contact sheet of %dx%d is over the image limit", width,
                         height);
    Image sheet;
    sheet.width = width;
    sheet.height = height;
    sheet.rgba.assign((size_t)width * height * 4, 255);
    for (int n = 0; n < count; n++) {
        const Image &frame = frames[(size_t)n];
        int left = SHEET_GAP + (n % columns) * cell_width, top = SHEET_GAP + (n / columns) * cell_height;
        for (int y = 0; y < frame.height; y++)
            for (int x = 0; x < frame.width; x++) {
                const uint8_t *p = &frame.rgba[((size_t)y * frame.width + x) * 4];
                // A checkerboard shows through where the frame is transparent.
                int checker = ((x / CHECKER_SIDE + y / CHECKER_SIDE) % 2) ? 153 : 204;
                uint8_t *out = &sheet.rgba[((size_t)(top + y) * width + left + x) * 4];
                for (int c = 0; c < 3; c++) out[c] = (uint8_t)((p[c] * p[3] + checker * (255 - p[3]) + 127) / 255);
            }
    }
    return encode_png(sheet, path, bytes, error);
}

static ErrorKind gif_failure(GifFileType *gif, int code, const char *path, Error *error)
{
    int ignored = 0;
    if (gif) {
        if (code == 0) code = gif->Error;
        EGifCloseFile(gif, &ignored);
    }
    return set_error(error, ERROR_CANNOT_WRITE, path, 0, "the GIF image cannot be written: %s", GifErrorString(code));
}

static int gif_to_memory(GifFileType *gif, const GifByteType *data, int length)
{
    std::vector<uint8_t> *bytes = (std::vector<uint8_t> *)gif->UserData;
    try {
        bytes->insert(bytes->end(), data, data + length);
    } catch (const std::bad_alloc &) {
        return 0;
    }
    return length;
}

// The colour of the first opaque pixel of any frame (black when none is):
// transparent pixels take it, so that they add no colour to the palette.
static void first_opaque_colour(const std::vector<Image> &frames, uint8_t fill[3])
{
    fill[0] = fill[1] = fill[2] = 0;
    for (const Image &frame : frames)
        for (size_t i = 0; i < (size_t)frame.width * frame.height; i++)
            if (frame.rgba[4 * i + 3] >= 128) {
                memcpy(fill, &frame.rgba[4 * i], 3);
                return;
            }
}

// One palette for all frames from their opaque pixels; the last entry is
// transparent. indices gets every frame's pixels, one frame after another.
static ErrorKind quantize_frames(const std::vector<Image> &frames, std::vector<GifByteType> *indices,
                                 GifColorType colours[256], const char *path, Error *error)
{
    int width = frames[0].width, height = frames[0].height;
    size_t frame_pixels = (size_t)width * height;
    size_t pixels = frame_pixels * frames.size();
    std::vector<GifByteType> red(pixels), green(pixels), blue(pixels);
    indices->assign(pixels, 0);
    uint8_t fill[3];
    first_opaque_colour(frames, fill);
    for (size_t n = 0; n < frames.size(); n++)
        for (size_t i = 0; i < frame_pixels; i++) {
            const uint8_t *p = &frames[n].rgba[4 * i];
            const uint8_t *colour = p[3] >= 128 ? p : fill;
            red[n * frame_pixels + i] = colour[0];
            green[n * frame_pixels + i] = colour[1];
            blue[n * frame_pixels + i] = colour[2];
        }
    int colour_count = GIF_TRANSPARENT_INDEX;
    if (GifQuantizeBuffer((unsigned)width, (unsigned)(height * frames.size()), &colour_count, red.data(), green.data(),
                          blue.data(), indices->data(), colours) != GIF_OK)
        return set_error(error, ERROR_CANNOT_WRITE, path, 0, "the frames' colours cannot be reduced to a GIF palette");
    return ERROR_NONE;
}

// The screen, its palette and the extension that loops the animation for ever.
static bool put_gif_screen(GifFileType *gif, int width, int height, ColorMapObject *map)
{
    static const char loop_name[] = "NETSCAPE2.0";
    static const unsigned char loop_forever[3] = {1, 0, 0};
    return EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK &&
           EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
           EGifPutExtensionBlock(gif, 11, loop_name) == GIF_OK &&
           EGifPutExtensionBlock(gif, 3, loop_forever) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;
}

// One frame shown for a pass, its transparent pixels the palette's last entry.
static bool put_gif_frame(GifFileType *gif, const Image &frame, const GifByteType *indices)
{
    int width = frame.width, height = frame.height;
    GraphicsControlBlock control = {};
    control.DisposalMode = DISPOSE_BACKGROUND;
    control.DelayTime = GIF_FRAME_CENTISECONDS;
    control.TransparentColor = GIF_TRANSPARENT_INDEX;
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    bool written = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK &&
                   EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    std::vector<GifPixelType> row((size_t)width);
    for (int y = 0; written && y < height; y++) {
        for (int x = 0; x < width; x++) {
            size_t i = (size_t)y * width + x;
            row[(size_t)x] = frame.rgba[4 * i + 3] >= 128 ? indices[i] : (GifPixelType)GIF_TRANSPARENT_INDEX;
        }
        written = EGifPutLine(gif, row.data(), width) == GIF_OK;
    }
    return written;
}

static ErrorKind encode_gif(const std::vector<Image> &frames, const char *path, std::vector<uint8_t> *bytes,
                            Error *error)
{
    int width = frames[0].width, height = frames[0].height;
    size_t frame_pixels = (size_t)width * height;
    std::vector<GifByteType> indices;
    GifColorType colours[256] = {};
    if (quantize_frames(frames, &indices, colours, path, error) != ERROR_NONE) return error->kind;

    int code = 0;
    bytes->clear();
    GifFileType *gif = EGifOpen(bytes, gif_to_memory, &code);
    if (!gif) return gif_failure(nullptr, code, path, error);
    EGifSetGifVersion(gif, true);
    ColorMapObject *map = GifMakeMapObject(256, colours);
    if (!map) return gif_failure(gif, E_GIF_ERR_NOT_ENOUGH_MEM, path, error);
    bool written = put_gif_screen(gif, width, height, map);
    GifFreeMapObject(map);
    for (size_t n = 0; written && n < frames.size(); n++)
        written = put_gif_frame(gif, frames[n], &indices[n * frame_pixels]);
    if (!written) return gif_failure(gif, 0, path, error);
    if (EGifCloseFile(gif, &code) != GIF_OK) return gif_failure(nullptr, code, path, error);
    return ERROR_NONE;
}

ErrorKind write_animation_preview(const char *animation_path, const char *strip_path, const char *output_path,
                                  int *frame_count, Error *error)
{
    // A null error still needs a place for the message.
    Error scratch;
    if (!error) error = &scratch;
    bool gif = ends_with(output_path, ".gif");
    if (!gif && !ends_with(output_path, ".png"))
        return set_error(error, ERROR_REFUSED, output_path, 0,
                         "a preview is a .gif (animated) or a .png (contact sheet)");
    if (check_output_paths({animation_path, strip_path}, {output_path}, error) != ERROR_NONE ||
        check_output_path(output_path, error) != ERROR_NONE)
        return error->kind;
    std::vector<Image> frames;
    if (load_frames(animation_path, strip_path, &frames, error) != ERROR_NONE) return error->kind;
    std::vector<uint8_t> bytes;
    if ((gif ? encode_gif(frames, output_path, &bytes, error)
             : encode_contact_sheet(frames, output_path, &bytes, error)) != ERROR_NONE)
        return error->kind;
    *frame_count = (int)frames.size();
    return write_output_file(output_path, bytes.data(), bytes.size(), error);
}

}  // namespace orj
