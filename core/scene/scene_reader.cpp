#include "orj/core/scene/scene_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "orj/core/base/input_file.h"
#include "core/base/open_flags.h"
#include "orj/core/scene/scene_hierarchy.h"
#include "core/scene/scene_numbers.h"

namespace orj {

// A line holds at most 999 characters with its newline.
static const size_t MAX_LINE_LENGTH = 998;
static const size_t MAX_NAME_LENGTH = 98;
static const size_t MAX_TYPE_LENGTH = 18;

// A file is read through a window of this size, refilled whenever less than
// REFILL_MARGIN bytes (more than the longest line) are left in it, so memory
// stays the records plus the window whatever the file's size.
static const size_t WINDOW_SIZE = 1 << 20;
static const size_t REFILL_MARGIN = 4096;
static_assert(REFILL_MARGIN > MAX_LINE_LENGTH + 2, "a whole line must fit in the margin");

struct Line {
    const char *start = nullptr;
    size_t length = 0;  // without the newline and a carriage return before it
};

// A promise made by counts at the top of the file or a mesh: at least `needed`
// more lines after line `line`. Checked only when reading fails, since a file
// that reads to its end kept them all; the broken promise is then the message.
struct LineCheck {
    int32_t line;   // the line of the first count; 0 when no promise is pending
    int32_t after;  // the line of the last count: the lines are promised after it
    int64_t needed;
    int64_t counts[2];  // objects and frames, or vertices and faces
};

struct SceneText {
    const char *text;  // [text, text + size) holds the bytes at file_offset onwards
    size_t size;
    size_t position;
    int32_t line_number;  // of the last line read
    const char *path;
    Error *error;
    // Reading a file: the window, and where it stands in the file.
    int fd;  // -1 when the whole text is in memory
    char *window;
    bool at_end;  // nothing is left to read beyond the window
    int64_t file_offset;
    int64_t file_size;  // from fstat: the most bytes that can follow
    bool inside_line;   // reading stopped at the start of a line already counted
    LineCheck scene_check, mesh_check;
};

static bool fail_with(SceneText *in, ErrorKind kind, int32_t line, const char *format, va_list args)
{
    char what[512];
    vsnprintf(what, sizeof what, format, args);
    set_error(in->error, kind, in->path, line, "%s", what);
    return false;
}

// Records "PATH:LINE: what" as the reader's error and returns false.
static bool fail_as(SceneText *in, ErrorKind kind, int32_t line, const char *format, ...)
    __attribute__((format(printf, 4, 5)));
static bool fail_as(SceneText *in, ErrorKind kind, int32_t line, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    fail_with(in, kind, line, format, args);
    va_end(args);
    return false;
}

// A malformed file.
static bool fail(SceneText *in, int32_t line, const char *format, ...) __attribute__((format(printf, 3, 4)));
static bool fail(SceneText *in, int32_t line, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    fail_with(in, ERROR_MALFORMED, line, format, args);
    va_end(args);
    return false;
}

// Moves what is left of the window to its front and reads more of the file.
static bool refill(SceneText *in)
{
    size_t rest = in->size - in->position;
    memmove(in->window, in->text + in->position, rest);
    in->file_offset += (int64_t)in->position;
    in->position = 0;
    in->size = rest;
    while (in->size < WINDOW_SIZE) {
        ssize_t got = read(in->fd, in->window + in->size, WINDOW_SIZE - in->size);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            set_error(in->error, ERROR_CANNOT_OPEN, in->path, 0, "cannot read: %s", strerror(errno));
            return false;
        }
        if (got == 0) {
            in->at_end = true;
            break;
        }
        in->size += (size_t)got;
        if (in->file_offset + (int64_t)in->size > SCENE_MAX_FILE_SIZE) {
            set_error(in->error, ERROR_TOO_LARGE, in->path, 0, "larger than %lld bytes",
                      (long long)SCENE_MAX_FILE_SIZE);
            return false;
        }
    }
    return true;
}

static bool next_line(SceneText *in, Line *line, const char *what)
{
    if (in->size - in->position < REFILL_MARGIN && !in->at_end && !refill(in)) return false;
    if (in->position >= in->size) return fail(in, in->line_number + 1, "the file ends where %s was expected", what);
    const char *start = in->text + in->position;
    size_t rest = in->size - in->position;
    // Past the margin a newline would only end a line that is too long anyway.
    size_t searched = in->at_end ? rest : REFILL_MARGIN;
    const char *newline = (const char *)memchr(start, '\n', searched);
    size_t length = newline ? (size_t)(newline - start) : searched;
    in->line_number++;
    if (!newline && !in->at_end) {
        in->inside_line = true;
        return fail_as(in, ERROR_TOO_LARGE, in->line_number, "line longer than %zu characters", MAX_LINE_LENGTH);
    }
    in->position += newline ? length + 1 : length;
    if (newline && length > 0 && start[length - 1] == '\r') length--;
    if (length > MAX_LINE_LENGTH)
        return fail_as(in, ERROR_TOO_LARGE, in->line_number, "line longer than %zu characters", MAX_LINE_LENGTH);
    line->start = start;
    line->length = length;
    return true;
}

// Lines from the reading position to the end of the text or file: every
// newline, and a last line without one.
static bool count_lines_left(SceneText *in, int64_t *count)
{
    *count = 0;
    char last = '\n';
    for (;;) {
        const char *p = in->text + in->position, *end = in->text + in->size;
        if (p < end) last = end[-1];
        while ((p = (const char *)memchr(p, '\n', (size_t)(end - p)))) {
            (*count)++;
            p++;
        }
        in->position = in->size;
        if (in->at_end) break;
        if (!refill(in)) return false;
    }
    if (last != '\n') (*count)++;
    return true;
}

// When reading stopped, a count that promised more lines than the file holds
// is what was wrong; the earliest such promise replaces the error.
static void report_broken_promise(SceneText *in)
{
    if (in->scene_check.line == 0 && in->mesh_check.line == 0) return;
    Error kept = in->error ? *in->error : Error();
    int32_t line_number = in->line_number;
    int64_t left;
    if (!count_lines_left(in, &left)) {
        if (in->error) *in->error = kept;
        return;
    }
    int64_t total = line_number + left - (in->inside_line ? 1 : 0);
    if (in->error) *in->error = kept;
    const LineCheck &scene = in->scene_check, &mesh = in->mesh_check;
    if (scene.line != 0 && scene.needed > total - scene.after)
        fail(in, scene.line, "%d objects of %d frames need at least %lld more lines, the file has %lld",
             (int)scene.counts[0], (int)scene.counts[1], (long long)scene.needed, (long long)(total - scene.after));
    else if (mesh.line != 0 && mesh.needed > total - mesh.after)
        fail(in, mesh.line, "%lld vertices and %lld faces need %lld more lines, the file has %lld",
             (long long)mesh.counts[0], (long long)mesh.counts[1], (long long)mesh.needed,
             (long long)(total - mesh.after));
}

// Bytes that can still follow the reading position; lines need one each.
static int64_t bytes_left(const SceneText *in)
{
    if (in->fd < 0) return (int64_t)(in->size - in->position);
    int64_t known = in->file_size - (in->file_offset + (int64_t)in->position);
    int64_t in_window = (int64_t)(in->size - in->position);
    return known > in_window ? known : in_window;
}

// Makes a promise of needed more lines after the current one. Fails at once
// when the bytes left cannot hold them, before anything is allocated for them.
static bool promise_lines(SceneText *in, LineCheck *check, int32_t line, int64_t needed, int64_t first, int64_t second)
{
    *check = {line, in->line_number, needed, {first, second}};
    // The broken promise then becomes the message, in read_scene_from.
    return needed <= bytes_left(in) + 1 || fail(in, line, "the file ends early");
}

// The value part of a line: what follows its skipped leading characters.
static const char *value_start(const Line *line, size_t skipped)
{
    return line->start + (line->length < skipped ? line->length : skipped);
}

static const char *line_end(const Line *line) { return line->start + line->length; }

static bool read_count(SceneText *in, const char *what, int32_t *count)
{
    Line line;
    if (!next_line(in, &line, what)) return false;
    const char *cursor = value_start(&line, 1);
    if (!scan_scene_int(&cursor, line_end(&line), count))
        return fail(in, in->line_number, "%s is not an integer", what);
    if (*count < 0) return fail(in, in->line_number, "%s is negative (%d)", what, (int)*count);
    return true;
}

// Lines as writers make them are read in one go, without first finding
// their end: the skipped characters, numbers one space apart, a newline.
// Anything else and the line is read again from its start through next_line,
// which also words the messages. Nothing is taken from the text until the
// whole line has matched.

// The bytes that must be readable from a line's start for it to be read in
// one go: 9 compact numbers (10 characters each) and their spaces after the
// skipped characters, and 17 more that reading the last one may touch.
static const ptrdiff_t QUICK_LINE_BYTES = 160;

// The window holds more than the longest line unless the file ends in it.
static inline bool make_line_readable(SceneText *in)
{
    return in->size - in->position >= REFILL_MARGIN || in->at_end || refill(in);
}

// Where the values of a line start after its two skipped characters, or null
// when the line is shorter than that or too near the end of the text.
static inline const char *quick_values_start(const char *start, const char *end)
{
    if (end - start < QUICK_LINE_BYTES || start[0] == '\n' || start[1] == '\n' || start[1] == '\r') return nullptr;
    return start + 2;
}

// The line ends at p (newline or CR LF): takes it from the text.
static inline bool quick_line_end(SceneText *in, const char *start, const char *p, const char *end)
{
    if ((size_t)(p - start) > MAX_LINE_LENGTH) return false;
    if (p < end && *p == '\n') p++;
    else if (end - p >= 2 && p[0] == '\r' && p[1] == '\n') p += 2;
    else return false;
    in->position = (size_t)(p - in->text);
    in->line_number++;
    return true;
}

static inline bool read_reals_quickly(SceneText *in, int count, float *values)
{
    const char *start = in->text + in->position, *end = in->text + in->size;
    const char *p = quick_values_start(start, end);
    if (!p) return false;
    for (int i = 0; i < count; i++) {
        if (i > 0 && *p++ != ' ') return false;
        // Other forms, one at a time; then enough must be readable again.
        if (!scan_compact_real(p, &values[i], &p) &&
            (!scan_scene_decimal(p, end, end, &values[i], &p) || end - p < QUICK_LINE_BYTES))
            return false;
    }
    return quick_line_end(in, start, p, end);
}

static bool read_reals_slowly(SceneText *in, const char *what, int count, float *values)
{
    Line line;
    if (!next_line(in, &line, what)) return false;
    const char *cursor = value_start(&line, 2);
    const char *end = line_end(&line), *readable_end = in->text + in->size;
    for (int i = 0; i < count; i++)
        if (!scan_scene_float(&cursor, end, &values[i], readable_end))
            return fail(in, in->line_number, "%s needs %d numbers, number %d does not parse", what, count, i + 1);
    return true;
}

// Reads count reals from one line after its two skipped characters.
static inline bool read_reals(SceneText *in, const char *what, int count, float *values)
{
    if (!make_line_readable(in)) return false;
    return read_reals_quickly(in, count, values) || read_reals_slowly(in, what, count, values);
}

// Copies the rest of a name or type line, after its one skipped character.
static bool read_word(SceneText *in, const char *what, size_t max_length, char *word)
{
    Line line;
    if (!next_line(in, &line, what)) return false;
    // Numbers end at a NUL as anywhere else; a name or word cannot hold one.
    if (memchr(line.start, '\0', line.length)) return fail(in, in->line_number, "line holds a NUL byte");
    if (line.length < 1) return fail(in, in->line_number, "%s line is empty", what);
    size_t length = line.length - 1;
    if (length > max_length)
        return fail_as(in, ERROR_TOO_LARGE, in->line_number, "%s longer than %zu characters", what, max_length);
    memcpy(word, line.start + 1, length);
    word[length] = '\0';
    return true;
}

template <typename T>
static bool allocate(SceneText *in, T **array, int64_t count)
{
    *array = nullptr;
    if (count <= 0) return true;
    if ((uint64_t)count > SIZE_MAX / sizeof(T))
        return fail_as(in, ERROR_OUT_OF_MEMORY, in->line_number, "out of memory");
    *array = (T *)malloc((size_t)count * sizeof(T));
    if (!*array) return fail_as(in, ERROR_OUT_OF_MEMORY, in->line_number, "out of memory");
    return true;
}

// Room for one more element at *count, doubling the array when it is full.
template <typename T>
static bool grow(SceneText *in, T **array, int32_t count, int32_t *capacity)
{
    if (count < *capacity) return true;
    int32_t larger = *capacity < 64 ? 64 : (*capacity > INT32_MAX / 2 ? INT32_MAX : *capacity * 2);
    T *moved = (T *)realloc(*array, (size_t)larger * sizeof(T));
    if (!moved) return fail_as(in, ERROR_OUT_OF_MEMORY, in->line_number, "out of memory");
    *array = moved;
    *capacity = larger;
    return true;
}

template <typename T>
static void shrink(T **array, int32_t count)
{
    if (count == 0) {
        free(*array);
        *array = nullptr;
        return;
    }
    T *smaller = (T *)realloc(*array, (size_t)count * sizeof(T));
    if (smaller) *array = smaller;
}

// A corner count line that is one digit.
static inline bool read_corner_count_quickly(SceneText *in, int32_t *corner_count)
{
    const char *start = in->text + in->position, *end = in->text + in->size;
    if (start >= end || !is_scan_digit(*start)) return false;
    *corner_count = *start - '0';
    return quick_line_end(in, start, start + 1, end);
}

// Vertex numbers in 1..vertex_count, without signs, one space apart.
static inline bool read_corners_quickly(SceneText *in, int corners, int32_t vertex_count, int32_t *target)
{
    const char *start = in->text + in->position, *end = in->text + in->size;
    const char *p = quick_values_start(start, end);
    if (!p) return false;
    for (int c = 0; c < corners; c++) {
        if (c > 0 && *p++ != ' ') return false;
        int32_t number;
        if (!scan_compact_index(p, &number, &p) || number < 1 || number > vertex_count) return false;
        target[c] = number - 1;
    }
    return quick_line_end(in, start, p, end);
}

// Fewer bytes than a face's three lines take: the shortest, "3", "  1 1 1"
// and "  0 0 0 0 0 0" with their newlines, make 24.
static const int64_t MIN_FACE_BYTES = 16;

// The corner lines go straight into the quad and triangle arrays; which of
// the two each face went to is kept as one bit, for its texture line.
static bool read_faces(SceneText *in, SceneObject *object, std::vector<uint64_t> *is_quad)
{
    int32_t face_count = object->face_count;
    is_quad->assign(((size_t)face_count + 63) / 64, 0);
    int32_t quad_capacity = 0, triangle_capacity = 0;
    // Room for every face as a triangle, the commonest kind, saves growing
    // the array (and copying it, once the allocator keeps such sizes on its
    // heap); only when the bytes left can hold that many faces, so that a
    // count that lies cannot reserve much more than the file's size. Pages
    // never written are never taken, and the array shrinks to fit at the
    // end. Without the room, the array grows as it fills.
    if (face_count > 0 && face_count <= bytes_left(in) / MIN_FACE_BYTES) {
        object->triangles = (Triangle *)malloc((size_t)face_count * sizeof(Triangle));
        if (object->triangles) triangle_capacity = face_count;
    }
    for (int32_t k = 0; k < face_count; k++) {
        if (!make_line_readable(in)) return false;
        int32_t corner_count;
        if (!read_corner_count_quickly(in, &corner_count)) {
            Line line;
            if (!next_line(in, &line, "a face's corner count")) return false;
            const char *cursor = line.start;
            if (!scan_scene_int(&cursor, line_end(&line), &corner_count))
                return fail(in, in->line_number, "the face's corner count is not an integer");
        }
        bool quad = corner_count == 4;
        int corners = quad ? 4 : 3;
        int32_t *target;
        if (quad) {
            if (!grow(in, &object->quads, object->quad_count, &quad_capacity)) return false;
            target = object->quads[object->quad_count++].corners;
            (*is_quad)[(size_t)k / 64] |= 1ULL << (k % 64);
        } else {
            if (!grow(in, &object->triangles, object->triangle_count, &triangle_capacity)) return false;
            target = object->triangles[object->triangle_count++].corners;
        }
        if (!make_line_readable(in)) return false;
        if (read_corners_quickly(in, corners, object->vertex_count, target)) continue;
        Line line;
        if (!next_line(in, &line, "a face's corner line")) return false;
        const char *cursor = value_start(&line, 2);
        for (int c = 0; c < corners; c++) {
            int32_t number;
            if (!scan_scene_int(&cursor, line_end(&line), &number))
                return fail(in, in->line_number, "the face needs %d vertex numbers, number %d does not parse", corners,
                            c + 1);
            if (number < 1 || number > object->vertex_count)
                return fail(in, in->line_number, "vertex number %d outside 1..%d", (int)number,
                            (int)object->vertex_count);
            target[c] = number - 1;
        }
    }
    shrink(&object->quads, object->quad_count);
    shrink(&object->triangles, object->triangle_count);
    return true;
}

static bool read_mesh(SceneText *in, SceneObject *object, int32_t frame_count, std::vector<uint64_t> *is_quad,
                      int64_t *polygon_total)
{
    if (!read_count(in, "the vertex count", &object->vertex_count)) return false;
    int32_t vertex_line = in->line_number;
    if (!read_count(in, "the face count", &object->face_count)) return false;
    int64_t vertex_count = object->vertex_count;
    int64_t face_count = object->face_count;
    int64_t needed = 2 * vertex_count + 3 * face_count + frame_count + 1;
    if (!promise_lines(in, &in->mesh_check, vertex_line, needed, vertex_count, face_count)) return false;

    if (!allocate(in, &object->vertices, vertex_count) || !allocate(in, &object->normals, vertex_count)) return false;
    for (int64_t v = 0; v < vertex_count; v++) {
        if (!read_reals(in, "a vertex position", 3, &object->vertices[v].x)) return false;
        if (!read_reals(in, "a vertex normal", 3, &object->normals[v].x)) return false;
    }

    if (!read_faces(in, object, is_quad)) return false;
    *polygon_total += object->triangle_count + 2 * (int64_t)object->quad_count;

    Quad *quad = object->quads;
    Triangle *triangle = object->triangles;
    const char *what = "a face's texture coordinates";
    for (int64_t k = 0; k < face_count; k++) {
        // Each kind with its own count, so that each line's loop is unrolled.
        if (((*is_quad)[(size_t)k / 64] >> (k % 64)) & 1) {
            if (!read_reals(in, what, 8, &quad->tex_coords[0].s)) return false;
            for (TexCoord &tex_coord : quad++->tex_coords) tex_coord.t = 1.0f - tex_coord.t;
        } else {
            if (!read_reals(in, what, 6, &triangle->tex_coords[0].s)) return false;
            for (TexCoord &tex_coord : triangle++->tex_coords) tex_coord.t = 1.0f - tex_coord.t;
        }
    }
    return true;
}

static bool read_object(SceneText *in, SceneObject *object, int32_t frame_count, std::vector<uint64_t> *is_quad,
                        int64_t *polygon_total, int32_t *parent_line)
{
    if (!read_word(in, "the object name", MAX_NAME_LENGTH, object->name)) return false;
    if (!read_word(in, "the type word", MAX_TYPE_LENGTH, object->type_name)) return false;
    if (strcmp(object->type_name, "Camera") == 0) object->kind = Camera;
    else if (strcmp(object->type_name, "Lamp") == 0) object->kind = Lamp;
    else if (strcmp(object->type_name, "Mesh") == 0) object->kind = Mesh;
    else object->kind = NoKind;

    if (object->kind == Mesh && !read_mesh(in, object, frame_count, is_quad, polygon_total)) return false;

    if (!allocate(in, &object->locations, frame_count) || !allocate(in, &object->rotations, frame_count) ||
        !allocate(in, &object->scales, frame_count))
        return false;
    for (int32_t f = 0; f < frame_count; f++) {
        float values[9];
        if (!read_reals(in, "a frame line", 9, values)) return false;
        object->locations[f] = {values[0], values[1], values[2]};
        object->rotations[f] = {(float)(values[3] * SCENE_DEGREES_PER_RADIAN),
                                (float)(values[4] * SCENE_DEGREES_PER_RADIAN),
                                (float)(values[5] * SCENE_DEGREES_PER_RADIAN)};
        object->scales[f] = {values[6], values[7], values[8]};
    }

    Line line;
    if (!next_line(in, &line, "the parent line")) return false;
    // The object is whole: its mesh's promise is kept.
    in->mesh_check.line = 0;
    *parent_line = in->line_number;
    if (memchr(line.start, '\0', line.length)) return fail(in, in->line_number, "line holds a NUL byte");
    if (line.length == 5 && memcmp(line.start, " None", 5) == 0) {
        strcpy(object->parent_name, "none");
        object->is_root = 1;
        return true;
    }
    if (line.length < 12) return fail(in, in->line_number, "parent line shorter than 13 characters");
    size_t length = line.length - 12;
    if (length > MAX_NAME_LENGTH)
        return fail_as(in, ERROR_TOO_LARGE, in->line_number, "parent name longer than %zu characters", MAX_NAME_LENGTH);
    memcpy(object->parent_name, line.start + 10, length);
    object->parent_name[length] = '\0';
    object->is_root = 0;
    return true;
}

static bool link_hierarchy(SceneText *in, Scene *scene, const std::vector<int32_t> &name_lines,
                           const std::vector<int32_t> &parent_lines)
{
    SceneLinks links;
    HierarchyCheck check = link_scene_objects(scene->objects, scene->object_count, &links);
    if (check.problem == HIERARCHY_OK) check = check_scene_walk(scene->objects, scene->object_count, &links, nullptr);
    if (check.problem != HIERARCHY_OK) {
        const char *name = scene->objects[check.object].name;
        int32_t name_line = name_lines[(size_t)check.object];
        int32_t parent_line = parent_lines[(size_t)check.object];
        switch (check.problem) {
        case HIERARCHY_NAMED_NONE:
            return fail(in, name_line, "an object may not be named \"none\"");
        case HIERARCHY_TOO_MANY_LINKS:
            return fail_as(in, ERROR_TOO_LARGE, parent_line, "parent \"%s\" of object \"%s\" has too many namesakes",
                           scene->objects[check.object].parent_name, name);
        case HIERARCHY_CYCLE:
            return fail(in, parent_line, "object \"%s\" is its own ancestor", name);
        case HIERARCHY_TOO_DEEP:
            return fail_as(in, ERROR_TOO_LARGE, parent_line,
                           "object \"%s\" lies deeper than %d levels in the hierarchy", name, SCENE_MAX_DEPTH);
        case HIERARCHY_WALK_TOO_LONG:
            return fail_as(in, ERROR_TOO_LARGE, parent_line,
                           "namesakes make the hierarchy too large to walk (at object \"%s\")", name);
        case HIERARCHY_OK:
            break;
        }
    }
    for (int32_t i = 0; i < scene->object_count; i++) {
        SceneObject *object = &scene->objects[i];
        int32_t first = links.first[(size_t)i];
        object->child_count = links.first[(size_t)i + 1] - first;
        if (!allocate(in, &object->children, object->child_count)) return false;
        if (object->child_count > 0)
            memcpy(object->children, &links.links[(size_t)first], (size_t)object->child_count * sizeof(int32_t));
        object->parent = links.parent[(size_t)i];
    }
    return true;
}

static bool read_scene(SceneText *in, Scene *scene)
{
    if (!read_count(in, "the object count", &scene->object_count)) return false;
    int32_t count_line = in->line_number;
    if (!read_count(in, "the frame count", &scene->frame_count)) return false;
    int64_t needed = (int64_t)scene->object_count * (3 + (int64_t)scene->frame_count);
    if (!promise_lines(in, &in->scene_check, count_line, needed, scene->object_count, scene->frame_count)) return false;

    int32_t object_count = scene->object_count;
    // Until every object is read, only the ones begun are released on failure.
    scene->object_count = 0;
    if (object_count > 0) {
        scene->objects = (SceneObject *)calloc((size_t)object_count, sizeof(SceneObject));
        if (!scene->objects) return fail_as(in, ERROR_OUT_OF_MEMORY, count_line, "out of memory");
    }

    std::vector<uint64_t> is_quad;
    std::vector<int32_t> name_lines((size_t)object_count), parent_lines((size_t)object_count);
    int64_t polygon_total = 0;
    for (int32_t i = 0; i < object_count; i++) {
        scene->object_count = i + 1;
        name_lines[(size_t)i] = in->line_number + 1;
        if (!read_object(in, &scene->objects[i], scene->frame_count, &is_quad, &polygon_total,
                         &parent_lines[(size_t)i]))
            return false;
        if (polygon_total > INT32_MAX)
            return fail_as(in, ERROR_TOO_LARGE, in->line_number, "more than %d polygons", (int)INT32_MAX);
    }
    scene->polygon_count = (int32_t)polygon_total;
    in->scene_check.line = 0;

    if (!link_hierarchy(in, scene, name_lines, parent_lines)) return false;
    for (int32_t i = 0; i < scene->object_count; i++)
        if (scene->objects[i].is_root) make_relative(scene, i);
    return true;
}

static ErrorKind read_scene_from(SceneText *in, Scene *scene)
{
    if (read_scene(in, scene)) return ERROR_NONE;
    report_broken_promise(in);
    free_scene_records(scene);
    return in->error ? in->error->kind : ERROR_MALFORMED;
}

ErrorKind read_scene_text(Scene *scene, const char *text, size_t size, const char *path, Error *error)
{
    memset(scene, 0, sizeof *scene);
    if (error) *error = Error();
    SceneText in = {};
    in.text = text;
    in.size = size;
    in.path = path;
    in.error = error;
    in.fd = -1;
    in.at_end = true;
    return read_scene_from(&in, scene);
}

ErrorKind read_scene_file(Scene *scene, const char *path, Error *error)
{
    memset(scene, 0, sizeof *scene);
    if (error) *error = Error();
    int fd;
    int64_t file_size;
    ErrorKind opened = open_input_file(path, SCENE_MAX_FILE_SIZE, &fd, &file_size, error);
    if (opened != ERROR_NONE) return opened;
    advise_sequential_read(fd);

    SceneText in = {};
    in.window = (char *)malloc(WINDOW_SIZE);
    if (!in.window) {
        close(fd);
        return set_error(error, ERROR_OUT_OF_MEMORY, path, 0, "cannot read: out of memory");
    }
    in.text = in.window;
    in.path = path;
    in.error = error;
    in.fd = fd;
    in.file_size = file_size;
    ErrorKind read = refill(&in) ? read_scene_from(&in, scene) : error ? error->kind : ERROR_CANNOT_OPEN;
    free(in.window);
    close(fd);
    return read;
}

void free_scene_records(Scene *scene)
{
    for (int32_t i = 0; i < scene->object_count && scene->objects; i++) {
        SceneObject *object = &scene->objects[i];
        free(object->vertices);
        free(object->normals);
        free(object->quads);
        free(object->triangles);
        free(object->locations);
        free(object->rotations);
        free(object->scales);
        free(object->children);
    }
    free(scene->objects);
    memset(scene, 0, sizeof *scene);
}

}  // namespace orj
