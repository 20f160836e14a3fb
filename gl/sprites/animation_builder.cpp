#include "gl/sprites/animation_builder.h"

#include <allegro.h>
#include <jpgalleg.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "gl/display/message.h"
#include "gl/sprites/animation_bitmap.h"
#include "core/sprites/animation_file.h"
#include "core/sprites/frame_name.h"
#include "core/sprites/frame_runs.h"

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

static std::string temporary_name(const char *path)
{
    return std::string(path) + ".part";
}

// Puts a finished file in place of the old one. The C library's rename does
// not replace an existing file on Windows; the standard library's does.
static bool replace_file(const std::string &from, const char *to)
{
    std::error_code error;
    std::filesystem::rename(from, to, error);
    return !error;
}

// Removes the temporary files of a build that did not finish.
static BuildResult fail_build(FILE *stream, const std::string &animation_temp, const std::string &strip_temp,
                              BITMAP *frame_bitmap, BITMAP *strip)
{
    if (stream) fclose(stream);
    if (frame_bitmap) destroy_bitmap(frame_bitmap);
    if (strip) destroy_bitmap(strip);
    remove(animation_temp.c_str());
    if (!strip_temp.empty()) remove(strip_temp.c_str());
    return BUILD_FAILED;
}

BuildResult build_animation_from_frames(const char *first_frame, const char *animation_path, const char *strip_path,
                                        std::string *error)
{
    if (!first_frame || strlen(first_frame) < 4) {
        *error = std::string("the first frame name \"") + (first_frame ? first_frame : "") +
                 "\" does not end in a four-digit frame number";
        return BUILD_FAILED;
    }
    if (!strip_path || !*strip_path) {
        *error = "no strip image path given";
        return BUILD_FAILED;
    }
    if (!animation_path || !*animation_path) {
        *error = "no animation file path given";
        return BUILD_CANNOT_WRITE_ANIMATION;
    }
    std::string animation_temp = temporary_name(animation_path);
    std::string strip_temp = temporary_name(strip_path);
    FILE *stream = fopen(animation_temp.c_str(), "wb");
    if (!stream) {
        *error = std::string(animation_path) + ": cannot be opened for writing";
        return BUILD_CANNOT_WRITE_ANIMATION;
    }

    int32_t frame_count = count_frame_files(first_frame);
    if (frame_count == 0) {
        *error = std::string(first_frame) + ": no frame file of that name";
        return fail_build(stream, animation_temp, "", nullptr, nullptr);
    }
    std::string frame_name = first_frame;
    BITMAP *frame_bitmap = load_tga(frame_name.c_str(), nullptr);
    if (!frame_bitmap) {
        *error = frame_name + ": cannot be read as a TGA image";
        return fail_build(stream, animation_temp, "", nullptr, nullptr);
    }
    int width = frame_bitmap->w;
    int height = frame_bitmap->h;
    // JPEG images hold at most 65535 rows and columns.
    if (width > MAX_ANIMATION_SIDE || (int64_t)height * frame_count > MAX_ANIMATION_SIDE) {
        *error = std::string(strip_path) + ": " + std::to_string(frame_count) + " frames of " + std::to_string(width) +
                 " x " + std::to_string(height) + " do not fit in a JPEG image (at most 65535 rows)";
        return fail_build(stream, animation_temp, "", frame_bitmap, nullptr);
    }
    BITMAP *strip = create_bitmap_ex(32, width, height * frame_count);
    if (!strip) {
        *error = std::string(strip_path) + ": no memory for a strip of " + std::to_string(width) + " x " +
                 std::to_string(height * frame_count);
        return fail_build(stream, animation_temp, "", frame_bitmap, nullptr);
    }

    if (!write_animation_count(frame_count, stream)) {
        *error = std::string(animation_path) + ": write failed";
        return fail_build(stream, animation_temp, "", frame_bitmap, strip);
    }
    for (int32_t i = 0; i < frame_count; i++) {
        if (frame_bitmap->w != width || frame_bitmap->h != height) {
            *error = frame_name + ": the frame is " + std::to_string(frame_bitmap->w) + " x " +
                     std::to_string(frame_bitmap->h) + ", the first frame " + std::to_string(width) + " x " +
                     std::to_string(height);
            return fail_build(stream, animation_temp, "", frame_bitmap, strip);
        }
        blit(frame_bitmap, strip, 0, 0, 0, height * i, width, height);
        AnimationFrame frame = build_frame(frame_bitmap);
        int written = write_frame(&frame, stream);
        free_frame_runs(frame);
        destroy_bitmap(frame_bitmap);
        frame_bitmap = nullptr;
        if (written != 1) {
            *error = std::string(animation_path) + ": write failed at frame " + std::to_string(i);
            return fail_build(stream, animation_temp, "", nullptr, strip);
        }
        if (i + 1 == frame_count) break;
        next_frame_name(&frame_name[0]);
        frame_bitmap = load_tga(frame_name.c_str(), nullptr);
        if (!frame_bitmap) {
            *error = frame_name + ": cannot be read as a TGA image";
            return fail_build(stream, animation_temp, "", nullptr, strip);
        }
    }
    bool closed = fclose(stream) == 0;
    stream = nullptr;
    if (!closed) {
        *error = std::string(animation_path) + ": write failed";
        return fail_build(nullptr, animation_temp, "", nullptr, strip);
    }

    if (save_jpg_ex(strip_temp.c_str(), strip, nullptr, 100, 0, nullptr) != 0) {
        *error = std::string(strip_path) + ": the JPEG image cannot be saved";
        return fail_build(nullptr, animation_temp, strip_temp, nullptr, strip);
    }
    destroy_bitmap(strip);
    if (!replace_file(strip_temp, strip_path)) {
        *error = std::string(strip_path) + ": cannot be replaced";
        return fail_build(nullptr, animation_temp, strip_temp, nullptr, nullptr);
    }
    if (!replace_file(animation_temp, animation_path)) {
        *error = std::string(animation_path) + ": cannot be replaced";
        return fail_build(nullptr, animation_temp, "", nullptr, nullptr);
    }
    return BUILD_OK;
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
        std::string error;
        BuildResult result = build_animation_from_frames(DEFAULT_FIRST_FRAME_NAME, path, strip_path, &error);
        if (result == BUILD_OK) return true;
        if (result == BUILD_FAILED) {
            show_message("%s", error.c_str());
            return false;
        }
        // Cancel stops the build: nothing has been written.
        if (!ask_animation_path(path, (int)sizeof path)) return false;
    }
}
