#include "orj/gl/sprites/animation_loader.h"

#include <allegro.h>
#include <alleggl.h>

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

#include "orj/gl/display/message.h"
#include "orj/gl/render/image_bitmap.h"
#include "orj/gl/render/texture.h"
#include "orj/gl/sprites/animation_bitmap.h"
#include "orj/core/base/input_file.h"
#include "orj/core/sprites/animation_file.h"

namespace orj {

enum StripKind {
    STRIP_JPEG,  // colours only: the alpha channel is rebuilt from the frames' runs
    STRIP_TGA,   // colours and alpha as stored
};

// The message names the file; why it could not be read follows on a line of
// its own, unless the file is simply missing.
static ErrorKind open_failure(const char *path, const Error &reason, Error *error)
{
    std::string message = std::string("No se pudo abrir el archivo: ") + path;
    if (!(reason.kind == ERROR_CANNOT_OPEN && access(path, F_OK) != 0)) message += "\n" + reason.message;
    if (error) {
        error->kind = reason.kind;
        error->path = path;
        error->line = 0;
        error->message = message;
    }
    return reason.kind;
}

void delete_animation_textures(Animation *animation)
{
    if (animation->textures && animation->frame_count > 0)
        glDeleteTextures(animation->frame_count, animation->textures);
    free(animation->textures);
    animation->textures = nullptr;
}

// Frame i lies in the strip's rows i * height .. i * height + height - 1.
static ErrorKind check_frames_fit(const Animation &loaded, const BITMAP *strip, const char *animation_path,
                                  const char *strip_path, Error *error)
{
    for (int32_t i = 0; i < loaded.frame_count; i++) {
        const AnimationFrame &frame = loaded.frames[i];
        if (frame.width > strip->w || (int64_t)frame.height * (i + 1) > strip->h)
            return set_error(error, ERROR_MALFORMED, animation_path, 0,
                             "frame %d (%d x %d) does not fit the strip image %s (%d x %d)", (int)i, (int)frame.width,
                             (int)frame.height, strip_path, strip->w, strip->h);
    }
    return ERROR_NONE;
}

// A texture per frame, cut from the strip (a JPEG strip's transparency taken
// from the frame's runs). On failure the textures made are deleted.
static ErrorKind make_frame_textures(Animation *loaded, BITMAP *strip, StripKind kind, const char *animation_path,
                                     Error *error)
{
    loaded->textures = (uint32_t *)calloc((size_t)loaded->frame_count + 1, sizeof(uint32_t));
    loaded->bitmaps = (BITMAP **)calloc((size_t)loaded->frame_count + 1, sizeof(BITMAP *));
    if (!loaded->textures || !loaded->bitmaps) {
        free(loaded->textures);
        free(loaded->bitmaps);
        loaded->textures = nullptr;
        loaded->bitmaps = nullptr;
        return set_error(error, ERROR_OUT_OF_MEMORY, animation_path, 0, "out of memory for %d textures",
                         (int)loaded->frame_count);
    }
    for (int32_t i = 0; i < loaded->frame_count; i++) {
        const AnimationFrame &frame = loaded->frames[i];
        BITMAP *bitmap = create_bitmap_ex(32, frame.width, frame.height);
        if (!bitmap) {
            delete_animation_textures(loaded);
            return set_error(error, ERROR_OUT_OF_MEMORY, animation_path, 0, "out of memory for frame %d", (int)i);
        }
        loaded->bitmaps[i] = bitmap;
        blit(strip, bitmap, 0, frame.height * i, 0, 0, frame.width, frame.height);
        if (kind == STRIP_JPEG) apply_frame_mask(bitmap, frame);
        loaded->textures[i] = make_texture(bitmap);
        destroy_bitmap(bitmap);
        loaded->bitmaps[i] = nullptr;
    }
    return ERROR_NONE;
}

static ErrorKind load_strip_animation(const char *animation_path, const char *strip_path, StripKind kind,
                                      Animation *animation, Error *error)
{
    FILE *stream;
    Error open_error;
    if (open_input_stream(animation_path, ANIMATION_MAX_FILE_BYTES, &stream, &open_error) != ERROR_NONE)
        return open_failure(animation_path, open_error, error);
    Animation loaded = {};
    ErrorKind read = read_animation_frames(stream, animation_path, &loaded, error);
    fclose(stream);
    if (read != ERROR_NONE) return read;

    Error reason;
    BITMAP *strip = load_image_bitmap(strip_path, &reason, &ANIMATION_STRIP_LIMITS);
    if (!strip) {
        destroy_animation(&loaded);
        return open_failure(strip_path, reason, error);
    }
    if (kind == STRIP_TGA) fill_missing_alpha(strip);
    ErrorKind made = check_frames_fit(loaded, strip, animation_path, strip_path, error);
    if (made == ERROR_NONE) made = make_frame_textures(&loaded, strip, kind, animation_path, error);
    destroy_bitmap(strip);
    if (made != ERROR_NONE) {
        destroy_animation(&loaded);
        return made;
    }
    *animation = loaded;
    return ERROR_NONE;
}

ErrorKind load_animation(const char *animation_path, const char *strip_path, Animation *animation, Error *error)
{
    return load_strip_animation(animation_path, strip_path, STRIP_JPEG, animation, error);
}

ErrorKind load_animation_tga(const char *animation_path, const char *strip_path, Animation *animation, Error *error)
{
    return load_strip_animation(animation_path, strip_path, STRIP_TGA, animation, error);
}

}  // namespace orj
