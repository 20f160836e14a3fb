// JPEG through libjpeg-turbo, to 8-bit RGB. The library's errors and its
// warnings about damaged or missing data end the decode: a JPEG that runs
// short is refused rather than shown with the rest filled in grey.
#include <csetjmp>
#include <cstdio>
#include <new>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "core/image/image_formats.h"

namespace orj {

// A progressive JPEG may hold very many small scans that each cost a pass
// over the whole image; real files have about ten.
static const int JPEG_MAX_SCANS = 256;

struct JpegFailure {
    jpeg_error_mgr manager;  // first: libjpeg hands back a pointer to it
    jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] static void jpeg_fail(j_common_ptr info)
{
    JpegFailure *failure = (JpegFailure *)info->err;
    info->err->format_message(info, failure->message);
    longjmp(failure->back, 1);
}

// Warnings (level -1) about the data itself are failures; a few about harmless
// oddities of writers are not.
static void jpeg_warn(j_common_ptr info, int level)
{
    if (level >= 0) return;
    int code = info->err->msg_code;
    if (code == JWRN_EXTRANEOUS_DATA || code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM) return;
    jpeg_fail(info);
}

static void jpeg_count_scans(j_common_ptr info)
{
    j_decompress_ptr decompress = (j_decompress_ptr)info;
    if (decompress->input_scan_number > JPEG_MAX_SCANS) {
        JpegFailure *failure = (JpegFailure *)info->err;
        snprintf(failure->message, sizeof failure->message, "more than %d scans", JPEG_MAX_SCANS);
        longjmp(failure->back, 1);
    }
}

// Every 8x8 block of every component takes at least one bit of Huffman-
// coded data (its DC value); arithmetic coding is allowed 1/64 of a bit. A
// file shorter than that cannot be whole, and refusing it before decoding
// saves allocating the image and, for progressive files, the coefficients.
static bool jpeg_long_enough(const jpeg_decompress_struct &info, size_t size)
{
    uint64_t blocks = 0;
    for (int c = 0; c < info.num_components; c++)
        blocks += (uint64_t)info.comp_info[c].width_in_blocks * info.comp_info[c].height_in_blocks;
    return (uint64_t)size * 8 * (info.arith_code ? 64 : 1) >= blocks;
}

static bool jpeg_reserve(std::vector<uint8_t> *rows, size_t bytes)
{
    try {
        rows->clear();
        rows->reserve(bytes);
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

// Rows are added as they are decoded, so a file that ends early never makes
// the whole image's memory be touched. rows has room for them all.
static void jpeg_read_rows(jpeg_decompress_struct *info, std::vector<uint8_t> *rows)
{
    size_t width = info->output_width;
    JSAMPARRAY scanline = (*info->mem->alloc_sarray)((j_common_ptr)info, JPOOL_IMAGE, (JDIMENSION)width * 3, 1);
    while (info->output_scanline < info->output_height) {
        jpeg_read_scanlines(info, scanline, 1);
        size_t at = rows->size();
        rows->resize(at + width * 4);  // within the reserved room: no copy, no throw
        uint8_t *out = rows->data() + at;
        for (size_t x = 0; x < width; x++) {
            out[4 * x] = scanline[0][3 * x];
            out[4 * x + 1] = scanline[0][3 * x + 1];
            out[4 * x + 2] = scanline[0][3 * x + 2];
            out[4 * x + 3] = 255;
        }
    }
}

ErrorKind decode_jpeg(const uint8_t *data, size_t size, const char *name, const ImageLimits *limits, Image *image,
                      Error *error)
{
    jpeg_decompress_struct info;
    JpegFailure failure;
    jpeg_progress_mgr progress;
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = jpeg_fail;
    failure.manager.emit_message = jpeg_warn;
    progress.progress_monitor = jpeg_count_scans;
    // Nothing with a destructor lives between here and a jump back: the rows
    // go straight into the caller's image, the scanline is libjpeg's own.
    std::vector<uint8_t> *rows = &image->rgba;
    volatile ErrorKind kind = ERROR_NONE;
    if (setjmp(failure.back)) {
        jpeg_destroy_decompress(&info);
        rows->clear();
        if (kind != ERROR_NONE) return kind;
        return set_error(error, ERROR_MALFORMED, name, 0, "cannot decode the JPEG: %s", failure.message);
    }
    jpeg_create_decompress(&info);
    info.progress = &progress;
    jpeg_mem_src(&info, data, (unsigned long)size);
    jpeg_read_header(&info, TRUE);
    kind = image_check_size(info.image_width, info.image_height, name, limits, error);
    if (kind == ERROR_NONE && !jpeg_long_enough(info, size)) kind = image_truncated(name, error);
    if (kind != ERROR_NONE) longjmp(failure.back, 1);
    info.out_color_space = JCS_RGB;
    // The fast integer transform: the pixels the engine's JPEG images are
    // held to come from it, within a step.
    info.dct_method = JDCT_IFAST;
    jpeg_start_decompress(&info);
    if (info.output_components != 3)
        kind = set_error(error, ERROR_UNSUPPORTED, name, 0, "JPEG of %d components", info.output_components);
    else if (!jpeg_reserve(rows, (size_t)info.output_width * info.output_height * 4))
        kind = set_error(error, ERROR_OUT_OF_MEMORY, name, 0, "no memory for the image");
    if (kind != ERROR_NONE) longjmp(failure.back, 1);
    jpeg_read_rows(&info, rows);
    jpeg_finish_decompress(&info);
    image->width = (int)info.output_width;
    image->height = (int)info.output_height;
    image->has_alpha = false;
    jpeg_destroy_decompress(&info);
    return ERROR_NONE;
}

}  // namespace orj
