#include "core/scene/scene_reader.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/scene/scene_hierarchy.h"
#include "core/scene/scene_numbers.h"

// Radians to degrees as the scene format defines it (180 / 3.1415).
static const double DEGREES_PER_RADIAN = 57.29746936176985;

// A line holds at most 999 characters with its newline.
static const size_t MAX_LINE_LENGTH = 998;
static const size_t MAX_NAME_LENGTH = 98;
static const size_t MAX_TYPE_LENGTH = 18;

struct Line {
    const char *start;
    size_t length;  // without the newline and a carriage return before it
};

struct SceneText {
    const char *text;
    size_t size;
    size_t position;
    int32_t line_number;  // of the last line read
    int64_t line_total;
    const char *path;
    Error *error;
};

// A face between its corner line and its texture line.
struct PendingFace {
    int32_t corners[4];
    bool is_quad;
};

// Records "PATH:LINE: what" as the reader's error and returns false.
static bool fail_with(SceneText *in, ErrorKind kind, int32_t line, const char *format, va_list args)
{
    char what[512];
    vsnprintf(what, sizeof what, format, args);
    set_error(in->error, kind, in->path, line, "%s", what);
    return false;
}

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

static int64_t lines_left(const SceneText *in)
{
    return in->line_total - in->line_number;
}

static bool next_line(SceneText *in, Line *line, const char *what)
{
    if (in->position >= in->size) return fail(in, in->line_number + 1, "the file ends where %s was expected", what);
    const char *start = in->text + in->position;
    size_t rest = in->size - in->position;
    const char *newline = (const char *)memchr(start, '\n', rest);
    size_t length = newline ? (size_t)(newline - start) : rest;
    in->position += newline ? length + 1 : length;
    if (newline && length > 0 && start[length - 1] == '\r') length--;
    in->line_number++;
    if (length > MAX_LINE_LENGTH) return fail_as(in, ERROR_TOO_LARGE, in->line_number, "line longer than %zu characters", MAX_LINE_LENGTH);
    line->start = start;
    line->length = length;
    return true;
}

// The value part of a line: what follows its skipped leading characters.
static const char *value_start(const Line *line, size_t skipped)
{
    return line->start + (line->length < skipped ? line->length : skipped);
}

static const char *line_end(const Line *line)
{
    return line->start + line->length;
}

static bool read_count(SceneText *in, const char *what, int32_t *count)
{
    Line line;
    if (!next_line(in, &line, what)) return false;
    const char *cursor = value_start(&line, 1);
    if (!scan_scene_int(&cursor, line_end(&line), count)) return fail(in, in->line_number, "%s is not an integer", what);
    if (*count < 0) return fail(in, in->line_number, "%s is negative (%d)", what, (int)*count);
    return true;
}

// Reads count reals from one line after its two skipped characters.
static bool read_reals(SceneText *in, const char *what, int count, float *values)
{
    Line line;
    if (!next_line(in, &line, what)) return false;
    const char *cursor = value_start(&line, 2);
    const char *end = line_end(&line);
    for (int i = 0; i < count; i++)
        if (!scan_scene_float(&cursor, end, &values[i]))
            return fail(in, in->line_number, "%s needs %d numbers, number %d does not parse", what, count, i + 1);
    return true;
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
    if (length > max_length) return fail_as(in, ERROR_TOO_LARGE, in->line_number, "%s longer than %zu characters", what, max_length);
    memcpy(word, line.start + 1, length);
    word[length] = '\0';
    return true;
}

template <typename T>
static bool allocate(SceneText *in, T **array, int64_t count)
{
    *array = nullptr;
    if (count <= 0) return true;
    if ((uint64_t)count > SIZE_MAX / sizeof(T)) return fail_as(in, ERROR_OUT_OF_MEMORY, in->line_number, "out of memory");
    *array = (T *)malloc((size_t)count * sizeof(T));
    if (!*array) return fail_as(in, ERROR_OUT_OF_MEMORY, in->line_number, "out of memory");
    return true;
}

static bool read_mesh(SceneText *in, SceneObject *object, int32_t frame_count, std::vector<PendingFace> *faces,
                      int64_t *polygon_total)
{
    if (!read_count(in, "the vertex count", &object->vertex_count)) return false;
    int32_t vertex_line = in->line_number;
    if (!read_count(in, "the face count", &object->face_count)) return false;
    int64_t vertex_count = object->vertex_count;
    int64_t face_count = object->face_count;
    int64_t needed = 2 * vertex_count + 3 * face_count + frame_count + 1;
    if (needed > lines_left(in))
        return fail(in, vertex_line, "%lld vertices and %lld faces need %lld more lines, the file has %lld",
                    (long long)vertex_count, (long long)face_count, (long long)needed, (long long)lines_left(in));

    if (!allocate(in, &object->vertices, vertex_count) || !allocate(in, &object->normals, vertex_count)) return false;
    for (int64_t v = 0; v < vertex_count; v++) {
        if (!read_reals(in, "a vertex position", 3, &object->vertices[v].x)) return false;
        if (!read_reals(in, "a vertex normal", 3, &object->normals[v].x)) return false;
    }

    faces->resize((size_t)face_count);
    int32_t quad_count = 0;
    for (int64_t k = 0; k < face_count; k++) {
        Line line;
        if (!next_line(in, &line, "a face's corner count")) return false;
        const char *cursor = line.start;
        int32_t corner_count;
        if (!scan_scene_int(&cursor, line_end(&line), &corner_count))
            return fail(in, in->line_number, "the face's corner count is not an integer");
        PendingFace *face = &(*faces)[(size_t)k];
        face->is_quad = corner_count == 4;
        int corners = face->is_quad ? 4 : 3;
        if (!next_line(in, &line, "a face's corner line")) return false;
        cursor = value_start(&line, 2);
        for (int c = 0; c < corners; c++) {
            int32_t number;
            if (!scan_scene_int(&cursor, line_end(&line), &number))
                return fail(in, in->line_number, "the face needs %d vertex numbers, number %d does not parse", corners, c + 1);
            if (number < 1 || number > object->vertex_count)
                return fail(in, in->line_number, "vertex number %d outside 1..%d", (int)number, (int)object->vertex_count);
            face->corners[c] = number - 1;
        }
        if (face->is_quad) quad_count++;
    }
    object->quad_count = quad_count;
    object->triangle_count = object->face_count - quad_count;
    if (!allocate(in, &object->quads, object->quad_count) || !allocate(in, &object->triangles, object->triangle_count))
        return false;
    *polygon_total += object->triangle_count + 2 * (int64_t)object->quad_count;

    Quad *quad = object->quads;
    Triangle *triangle = object->triangles;
    for (int64_t k = 0; k < face_count; k++) {
        const PendingFace *face = &(*faces)[(size_t)k];
        int corners = face->is_quad ? 4 : 3;
        TexCoord *tex_coords = face->is_quad ? quad->tex_coords : triangle->tex_coords;
        if (!read_reals(in, "a face's texture coordinates", corners * 2, &tex_coords[0].s)) return false;
        for (int c = 0; c < corners; c++) tex_coords[c].t = 1.0f - tex_coords[c].t;
        int32_t *target = face->is_quad ? quad->corners : triangle->corners;
        memcpy(target, face->corners, (size_t)corners * sizeof(int32_t));
        if (face->is_quad) quad++;
        else triangle++;
    }
    return true;
}

static bool read_object(SceneText *in, SceneObject *object, int32_t frame_count, std::vector<PendingFace> *faces,
                        int64_t *polygon_total, int32_t *parent_line)
{
    if (!read_word(in, "the object name", MAX_NAME_LENGTH, object->name)) return false;
    if (!read_word(in, "the type word", MAX_TYPE_LENGTH, object->type_name)) return false;
    if (strcmp(object->type_name, "Camera") == 0) object->kind = Camera;
    else if (strcmp(object->type_name, "Lamp") == 0) object->kind = Lamp;
    else if (strcmp(object->type_name, "Mesh") == 0) object->kind = Mesh;
    else object->kind = NoKind;

    if (object->kind == Mesh && !read_mesh(in, object, frame_count, faces, polygon_total)) return false;

    if (!allocate(in, &object->locations, frame_count) || !allocate(in, &object->rotations, frame_count) ||
        !allocate(in, &object->scales, frame_count))
        return false;
    for (int32_t f = 0; f < frame_count; f++) {
        float values[9];
        if (!read_reals(in, "a frame line", 9, values)) return false;
        object->locations[f] = {values[0], values[1], values[2]};
        object->rotations[f] = {(float)(values[3] * DEGREES_PER_RADIAN), (float)(values[4] * DEGREES_PER_RADIAN),
                                (float)(values[5] * DEGREES_PER_RADIAN)};
        object->scales[f] = {values[6], values[7], values[8]};
    }

    Line line;
    if (!next_line(in, &line, "the parent line")) return false;
    *parent_line = in->line_number;
    if (memchr(line.start, '\0', line.length)) return fail(in, in->line_number, "line holds a NUL byte");
    if (line.length == 5 && memcmp(line.start, " None", 5) == 0) {
        strcpy(object->parent_name, "none");
        object->is_root = 1;
        return true;
    }
    if (line.length < 12) return fail(in, in->line_number, "parent line shorter than 13 characters");
    size_t length = line.length - 12;
    if (length > MAX_NAME_LENGTH) return fail_as(in, ERROR_TOO_LARGE, in->line_number, "parent name longer than %zu characters", MAX_NAME_LENGTH);
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
    if (check.problem == HIERARCHY_OK) check = check_scene_walk(scene->objects, scene->object_count, &links);
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
            return fail_as(in, ERROR_TOO_LARGE, parent_line, "object \"%s\" lies deeper than %d levels in the hierarchy", name,
                        SCENE_MAX_DEPTH);
        case HIERARCHY_WALK_TOO_LONG:
            return fail_as(in, ERROR_TOO_LARGE, parent_line, "namesakes make the hierarchy too large to walk (at object \"%s\")", name);
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
    if (needed > lines_left(in))
        return fail(in, count_line, "%d objects of %d frames need at least %lld more lines, the file has %lld",
                    (int)scene->object_count, (int)scene->frame_count, (long long)needed, (long long)lines_left(in));

    int32_t object_count = scene->object_count;
    // Until every object is read, only the ones begun are released on failure.
    scene->object_count = 0;
    if (object_count > 0) {
        scene->objects = (SceneObject *)calloc((size_t)object_count, sizeof(SceneObject));
        if (!scene->objects) return fail_as(in, ERROR_OUT_OF_MEMORY, count_line, "out of memory");
    }

    std::vector<PendingFace> faces;
    std::vector<int32_t> name_lines((size_t)object_count), parent_lines((size_t)object_count);
    int64_t polygon_total = 0;
    for (int32_t i = 0; i < object_count; i++) {
        scene->object_count = i + 1;
        name_lines[(size_t)i] = in->line_number + 1;
        if (!read_object(in, &scene->objects[i], scene->frame_count, &faces, &polygon_total, &parent_lines[(size_t)i]))
            return false;
        if (polygon_total > INT32_MAX) return fail_as(in, ERROR_TOO_LARGE, in->line_number, "more than %d polygons", (int)INT32_MAX);
    }
    scene->polygon_count = (int32_t)polygon_total;

    if (!link_hierarchy(in, scene, name_lines, parent_lines)) return false;
    for (int32_t i = 0; i < scene->object_count; i++)
        if (scene->objects[i].is_root) make_relative(scene, i);
    return true;
}

ErrorKind read_scene_text(Scene *scene, const char *text, size_t size, const char *path, Error *error)
{
    memset(scene, 0, sizeof *scene);
    if (error) *error = Error();

    SceneText in = {text, size, 0, 0, 0, path, error};
    for (const char *p = text, *end = text + size; p < end; p++) {
        p = (const char *)memchr(p, '\n', (size_t)(end - p));
        if (!p) break;
        in.line_total++;
    }
    if (size > 0 && text[size - 1] != '\n') in.line_total++;

    if (read_scene(&in, scene)) return ERROR_NONE;
    free_scene_records(scene);
    return error ? error->kind : ERROR_MALFORMED;
}

ErrorKind read_scene_file(Scene *scene, const char *path, Error *error)
{
    memset(scene, 0, sizeof *scene);
    if (error) *error = Error();
    FILE *file = fopen(path, "rb");
    if (!file) return set_error(error, ERROR_CANNOT_OPEN, path, 0, "cannot open: %s", strerror(errno));

    // One buffer of the file's size when it can be told, growing otherwise.
    size_t capacity = 1 << 16;
    if (fseek(file, 0, SEEK_END) == 0) {
        long size = ftell(file);
        if (size >= 0) capacity = (size_t)size + 1;
        rewind(file);
    }
    char *text = (char *)malloc(capacity);
    size_t size = 0;
    bool read_failed = false;
    while (text) {
        size += fread(text + size, 1, capacity - size, file);
        if (size < capacity) {
            read_failed = ferror(file) != 0;
            break;
        }
        char *larger = (char *)realloc(text, capacity * 2);
        if (!larger) {
            free(text);
            text = nullptr;
            break;
        }
        text = larger;
        capacity *= 2;
    }
    int read_errno = errno;
    fclose(file);
    if (!text) return set_error(error, ERROR_OUT_OF_MEMORY, path, 0, "cannot read: out of memory");
    if (read_failed) {
        free(text);
        return set_error(error, ERROR_CANNOT_OPEN, path, 0, "cannot read: %s", strerror(read_errno));
    }
    ErrorKind read = read_scene_text(scene, text, size, path, error);
    free(text);
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
