#include "orj/core/scene/scene_writer.h"

#include "orj/core/base/output_file.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "orj/core/scene/scene_hierarchy.h"
#include "core/scene/scene_numbers.h"

namespace orj {

static uint32_t bits_of(float value)
{
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The file value x whose reading(x) is target, looked for at the plain
// inverse guess and a few floats either side of it (reading is monotonic and
// at most a few of its steps off there); the guess when none gives target.
template <typename Reading>
static float file_value_for(float target, float guess, Reading reading)
{
    if (bits_of(reading(guess)) == bits_of(target) || !std::isfinite(guess)) return guess;
    float below = guess, above = guess;
    for (int step = 0; step < 4; step++) {
        below = nextafterf(below, -INFINITY);
        above = nextafterf(above, INFINITY);
        if (bits_of(reading(below)) == bits_of(target)) return below;
        if (bits_of(reading(above)) == bits_of(target)) return above;
    }
    return guess;
}

// The file's t for a stored (upturned) t.
static float file_tex_t(float stored)
{
    return file_value_for(stored, 1.0f - stored, [](float t) { return 1.0f - t; });
}

// The file's radians for stored degrees.
static float file_radians(float degrees)
{
    return file_value_for(degrees, (float)(degrees / SCENE_DEGREES_PER_RADIAN),
                          [](float radians) { return (float)(radians * SCENE_DEGREES_PER_RADIAN); });
}

static void put_float(std::string *out, float value)
{
    char buffer[32];
    std::to_chars_result written = std::to_chars(buffer, buffer + sizeof buffer, value);
    out->append(buffer, written.ptr);
}

static void put_int(std::string *out, long long value)
{
    char buffer[24];
    std::to_chars_result written = std::to_chars(buffer, buffer + sizeof buffer, value);
    out->append(buffer, written.ptr);
}

static void put_count_line(std::string *out, long long value)
{
    out->push_back(' ');
    put_int(out, value);
    out->push_back('\n');
}

// Ends a line; a line whose text ends in a carriage return keeps it by
// ending in CR LF, since the reader drops only one.
static void end_line(std::string *out)
{
    if (!out->empty() && out->back() == '\r') out->push_back('\r');
    out->push_back('\n');
}

// A name or word as it goes in a line: a newline cannot stand in one.
static void put_word(std::string *out, const char *word, size_t capacity)
{
    size_t length = strnlen(word, capacity - 1);
    for (size_t i = 0; i < length; i++) out->push_back(word[i] == '\n' ? ' ' : word[i]);
}

static void put_floats_line(std::string *out, const float *values, int count)
{
    out->append("  ");
    for (int i = 0; i < count; i++) {
        if (i > 0) out->push_back(' ');
        put_float(out, values[i]);
    }
    out->push_back('\n');
}

static const char *kind_word(ObjectKind kind)
{
    switch (kind) {
    case Mesh:
        return "Mesh";
    case Camera:
        return "Camera";
    case Lamp:
        return "Lamp";
    default:
        return "Empty";
    }
}

static void put_mesh(std::string *out, const SceneObject *object)
{
    int32_t quad_count = object->quads ? object->quad_count : 0;
    int32_t triangle_count = object->triangles ? object->triangle_count : 0;
    int32_t vertex_count = object->vertices && object->normals ? object->vertex_count : 0;
    put_count_line(out, vertex_count);
    put_count_line(out, (long long)quad_count + triangle_count);
    for (int32_t v = 0; v < vertex_count; v++) {
        put_floats_line(out, &object->vertices[v].x, 3);
        put_floats_line(out, &object->normals[v].x, 3);
    }
    // Quads first, then triangles: each array keeps its order when read back.
    for (int32_t q = 0; q < quad_count; q++) {
        const int32_t *c = object->quads[q].corners;
        out->append("4\n  ");
        for (int i = 0; i < 4; i++) {
            if (i > 0) out->push_back(' ');
            put_int(out, (long long)c[i] + 1);
        }
        out->push_back('\n');
    }
    for (int32_t t = 0; t < triangle_count; t++) {
        const int32_t *c = object->triangles[t].corners;
        out->append("3\n  ");
        for (int i = 0; i < 3; i++) {
            if (i > 0) out->push_back(' ');
            put_int(out, (long long)c[i] + 1);
        }
        out->push_back('\n');
    }
    float values[8];
    for (int32_t q = 0; q < quad_count; q++) {
        for (size_t c = 0; c < 4; c++) {
            values[2 * c] = object->quads[q].tex_coords[c].s;
            values[2 * c + 1] = file_tex_t(object->quads[q].tex_coords[c].t);
        }
        put_floats_line(out, values, 8);
    }
    for (int32_t t = 0; t < triangle_count; t++) {
        for (size_t c = 0; c < 3; c++) {
            values[2 * c] = object->triangles[t].tex_coords[c].s;
            values[2 * c + 1] = file_tex_t(object->triangles[t].tex_coords[c].t);
        }
        put_floats_line(out, values, 6);
    }
}

// The locations as the file holds them: the scene's own, or theirs with
// the fix-up's steps undone in reverse order (each step's origin is then the
// parent's frame-0 location as it stood when the reader subtracted it).
static void file_locations(const Scene *scene, LocationSpace space, const std::vector<FixUpStep> &steps,
                           std::vector<std::vector<Vector3>> *locations)
{
    size_t frame_count = scene->frame_count > 0 ? (size_t)scene->frame_count : 0;
    locations->resize((size_t)scene->object_count);
    for (int32_t i = 0; i < scene->object_count; i++) {
        const Vector3 *stored = scene->objects[i].locations;
        (*locations)[(size_t)i].assign(stored, stored ? stored + frame_count : stored);
        (*locations)[(size_t)i].resize(frame_count, Vector3{0, 0, 0});
    }
    if (space == LOCATIONS_AS_IN_FILE || frame_count == 0) return;
    for (size_t k = steps.size(); k-- > 0;) {
        Vector3 origin = (*locations)[(size_t)steps[k].parent][0];
        for (Vector3 &location : (*locations)[(size_t)steps[k].object]) {
            location.x += origin.x;
            location.y += origin.y;
            location.z += origin.z;
        }
    }
}

static const char *problem_text(HierarchyProblem problem)
{
    switch (problem) {
    case HIERARCHY_NAMED_NONE:
        return "is named \"none\"";
    case HIERARCHY_TOO_MANY_LINKS:
        return "has namesakes that make too many parent links";
    case HIERARCHY_CYCLE:
        return "is its own ancestor";
    case HIERARCHY_TOO_DEEP:
        return "lies too deep in the hierarchy";
    case HIERARCHY_WALK_TOO_LONG:
        return "has namesakes that make the hierarchy too large to walk";
    case HIERARCHY_OK:
        break;
    }
    return "is fine";
}

// The fix-up's steps, or ERROR_MALFORMED for a hierarchy the reader rejects.
static ErrorKind check_hierarchy(const Scene *scene, const char *path, std::vector<FixUpStep> *steps, Error *error)
{
    SceneLinks links;
    HierarchyCheck check = link_scene_objects(scene->objects, scene->object_count, &links);
    if (check.problem == HIERARCHY_OK) check = check_scene_walk(scene->objects, scene->object_count, &links, steps);
    if (check.problem == HIERARCHY_OK) return ERROR_NONE;
    char name[sizeof scene->objects[0].name + 1] = {};
    memcpy(name, scene->objects[check.object].name, sizeof name - 1);
    return set_error(error, ERROR_MALFORMED, path, 0, "the scene cannot be read back: object \"%s\" %s", name,
                     problem_text(check.problem));
}

static void write_text(const Scene *scene, const std::vector<std::vector<Vector3>> &locations, std::string *out)
{
    put_count_line(out, scene->object_count);
    put_count_line(out, scene->frame_count);
    for (int32_t i = 0; i < scene->object_count; i++) {
        const SceneObject *object = &scene->objects[i];
        out->push_back(' ');
        put_word(out, object->name, sizeof object->name);
        end_line(out);
        const char *type = object->type_name[0] ? object->type_name : kind_word(object->kind);
        out->push_back(' ');
        put_word(out, type, sizeof object->type_name);
        end_line(out);
        if (strcmp(type, "Mesh") == 0) put_mesh(out, object);
        for (int32_t f = 0; f < scene->frame_count; f++) {
            const Vector3 &rotation = object->rotations ? object->rotations[f] : Vector3{0, 0, 0};
            const Vector3 &scale = object->scales ? object->scales[f] : Vector3{1, 1, 1};
            const Vector3 &location = locations[(size_t)i][(size_t)f];
            float values[9] = {location.x,
                               location.y,
                               location.z,
                               file_radians(rotation.x),
                               file_radians(rotation.y),
                               file_radians(rotation.z),
                               scale.x,
                               scale.y,
                               scale.z};
            put_floats_line(out, values, 9);
        }
        if (object->is_root) {
            out->append(" None\n");
        } else {
            out->append(" parent: '");
            put_word(out, object->parent_name, sizeof object->parent_name);
            out->append("'.\n");
        }
    }
}

static ErrorKind write_scene(const Scene *scene, LocationSpace space, const char *path, std::string *text, Error *error)
{
    std::vector<FixUpStep> steps;
    ErrorKind checked = check_hierarchy(scene, path, &steps, error);
    if (checked != ERROR_NONE) steps.clear();
    std::vector<std::vector<Vector3>> locations;
    file_locations(scene, space, steps, &locations);
    write_text(scene, locations, text);
    return checked;
}

ErrorKind write_scene_text(const Scene *scene, LocationSpace space, std::string *text, Error *error)
{
    text->clear();
    return write_scene(scene, space, nullptr, text, error);
}

ErrorKind save_scene(const Scene *scene, LocationSpace space, const char *path, Error *error)
{
    std::string text;
    ErrorKind refused = write_scene(scene, space, path, &text, error);
    if (refused != ERROR_NONE) return refused;
    return write_output_file(path, text.data(), text.size(), error);
}

}  // namespace orj
