#include "core/scene/scene_writer.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/scene/scene_hierarchy.h"

static const double DEGREES_PER_RADIAN = 57.29746936176985;

static uint32_t bits_of(float value)
{
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

static float float_of(uint32_t bits)
{
    float value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

// Floats in increasing order as increasing unsigned keys.
static uint32_t order_key(float value)
{
    uint32_t bits = bits_of(value);
    return (bits & 0x80000000u) ? ~bits : bits | 0x80000000u;
}

static float from_order_key(uint32_t key)
{
    return float_of((key & 0x80000000u) ? key & 0x7fffffffu : ~key);
}

// A float x with reading(x) bit-identical to target, where reading is
// monotonic (rising or falling); the guess, its neighbours and the special
// values are tried first, then a binary search. Without one, the guess.
template <typename Reading>
static float solve_reading(float target, float guess, bool rising, Reading reading)
{
    uint32_t wanted = bits_of(target);
    float candidates[] = {guess, target, 0.0f, -0.0f, INFINITY, -INFINITY, NAN, -NAN};
    for (float candidate : candidates)
        if (bits_of(reading(candidate)) == wanted) return candidate;
    if (std::isfinite(guess)) {
        float below = guess, above = guess;
        for (int step = 0; step < 4; step++) {
            below = nextafterf(below, -INFINITY);
            above = nextafterf(above, INFINITY);
            if (bits_of(reading(below)) == wanted) return below;
            if (bits_of(reading(above)) == wanted) return above;
        }
    }
    if (!std::isfinite(target)) return guess;
    // The lowest key whose reading is not below the target (rising), or not above it (falling).
    uint32_t low = order_key(-INFINITY), high = order_key(INFINITY);
    while (low < high) {
        uint32_t middle = low + (high - low) / 2;
        float value = reading(from_order_key(middle));
        bool before = std::isnan(value) ? false : rising ? value < target : value > target;
        if (before) low = middle + 1;
        else high = middle;
    }
    for (uint32_t key = low; key <= low + 2 && key <= order_key(INFINITY); key++)
        if (bits_of(reading(from_order_key(key))) == wanted) return from_order_key(key);
    return guess;
}

// The file location whose fix-up by origin gives location.
static float file_location(float location, float origin)
{
    return solve_reading(location, location + origin, true, [origin](float a) { return a - origin; });
}

// The file's t for a stored (flipped) t.
static float file_tex_t(float stored)
{
    return solve_reading(stored, 1.0f - stored, false, [](float t) { return 1.0f - t; });
}

// The file's radians for stored degrees.
static float file_radians(float degrees)
{
    return solve_reading(degrees, (float)(degrees / DEGREES_PER_RADIAN), true,
                         [](float radians) { return (float)(radians * DEGREES_PER_RADIAN); });
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
    case Mesh: return "Mesh";
    case Camera: return "Camera";
    case Lamp: return "Lamp";
    default: return "Empty";
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
        for (int c = 0; c < 4; c++) {
            values[2 * c] = object->quads[q].tex_coords[c].s;
            values[2 * c + 1] = file_tex_t(object->quads[q].tex_coords[c].t);
        }
        put_floats_line(out, values, 8);
    }
    for (int32_t t = 0; t < triangle_count; t++) {
        for (int c = 0; c < 3; c++) {
            values[2 * c] = object->triangles[t].tex_coords[c].s;
            values[2 * c + 1] = file_tex_t(object->triangles[t].tex_coords[c].t);
        }
        put_floats_line(out, values, 6);
    }
}

// The floats x with x - origin equal to location, as a range of order keys;
// false when none (or location is not finite).
static bool location_range(float location, float origin, uint32_t *first, uint32_t *last)
{
    if (!std::isfinite(location) || !std::isfinite(origin)) return false;
    uint32_t low = order_key(-INFINITY), high = order_key(INFINITY);
    while (low < high) {
        uint32_t middle = low + (high - low) / 2;
        if (from_order_key(middle) - origin < location) low = middle + 1;
        else high = middle;
    }
    if (from_order_key(low) - origin != location) return false;
    *first = low;
    high = order_key(INFINITY);
    while (low < high) {
        uint32_t middle = low + (high - low + 1) / 2;
        if (from_order_key(middle) - origin > location) high = middle - 1;
        else low = middle;
    }
    *last = low;
    return true;
}

// Choosing an object's frame-0 file location, which is also the origin of
// its children: when its own fix-up lost some of it (a parent far off or not
// finite), only some of the values that give the same record let the
// children's records, and theirs in turn, be undone.
struct OriginSearch {
    const std::vector<std::vector<Vector3>> *locations;
    const std::vector<FixUpStep> *steps;
    const std::vector<std::vector<size_t>> *dependents;
    float Vector3::*component;
    int64_t budget;  // candidate tries left before settling for the nearest value
    size_t top_step;
    bool has_previous;       // top_step's object was offset before, by previous_origin
    float previous_origin;
};

// True when an earlier offset by origin can have produced value.
static bool undoable(float value, float origin)
{
    return bits_of(file_location(value, origin) - origin) == bits_of(value);
}

static bool choose_origin(OriginSearch *search, float location, float origin, size_t step, float *chosen);

// True when the steps that took step's object as origin can all be undone
// with origin as that object's frame-0 file location.
static bool origin_fits(OriginSearch *search, float origin, size_t step)
{
    for (size_t j : (*search->dependents)[step]) {
        const std::vector<Vector3> &values = (*search->locations)[(size_t)(*search->steps)[j].object];
        for (size_t f = 0; f < values.size(); f++) {
            float value = values[f].*search->component;
            if (f == 0 && !(*search->dependents)[j].empty()) {
                float chosen;
                if (!choose_origin(search, value, origin, j, &chosen)) return false;
            } else if (bits_of(file_location(value, origin) - origin) != bits_of(value)) {
                return false;
            }
        }
    }
    return true;
}

static bool try_origin(OriginSearch *search, float candidate, float location, float origin, size_t step, float *chosen)
{
    if (bits_of(candidate - origin) != bits_of(location)) return false;
    if (search->budget-- <= 0) return false;
    if (step == search->top_step && search->has_previous && !undoable(candidate, search->previous_origin)) return false;
    if (!origin_fits(search, candidate, step)) return false;
    *chosen = candidate;
    return true;
}

// The sums of frame-0 records down the dependents of step, to a given depth.
static void collect_path_sums(const OriginSearch *search, size_t step, double above, int depth,
                              std::vector<double> *sums)
{
    if (depth == 0) return;
    for (size_t j : (*search->dependents)[step]) {
        const std::vector<Vector3> &values = (*search->locations)[(size_t)(*search->steps)[j].object];
        if (values.empty() || sums->size() >= 16) continue;
        double sum = above + (double)(values[0].*search->component);
        if (!std::isfinite(sum)) continue;
        sums->push_back(sum);
        collect_path_sums(search, j, sum, depth - 1, sums);
    }
}

static bool choose_origin(OriginSearch *search, float location, float origin, size_t step, float *chosen)
{
    float nearest = file_location(location, origin);
    float candidates[] = {0.0f, -0.0f, nearest};
    for (float candidate : candidates)
        if (try_origin(search, candidate, location, origin, step, chosen)) return true;
    // Values that put a child's or a deeper descendant's frame 0 at zero, the
    // origin any record can be undone from.
    std::vector<double> sums;
    collect_path_sums(search, step, 0.0, 3, &sums);
    for (double sum : sums) {
        float candidate = (float)-sum;
        if (try_origin(search, candidate, location, origin, step, chosen)) return true;
        float below = nextafterf(candidate, -INFINITY), above = nextafterf(candidate, INFINITY);
        if (try_origin(search, below, location, origin, step, chosen)) return true;
        if (try_origin(search, above, location, origin, step, chosen)) return true;
    }
    uint32_t first, last;
    if (!location_range(location, origin, &first, &last)) return false;
    // The roundest values of the range: few significant bits keep the children's sums exact.
    for (int dropped = 23; dropped > 0; dropped--) {
        uint32_t mask = (1u << dropped) - 1;
        uint32_t bits = bits_of(nearest) & ~mask;
        for (uint32_t rounded : {bits, bits + mask + 1}) {
            uint32_t key = order_key(float_of(rounded));
            if (key >= first && key <= last && try_origin(search, float_of(rounded), location, origin, step, chosen))
                return true;
        }
    }
    uint32_t centre = order_key(nearest);
    if (centre < first || centre > last) centre = first + (last - first) / 2;
    for (uint32_t distance = 1; distance <= 64; distance++) {
        if (centre >= first + distance &&
            try_origin(search, from_order_key(centre - distance), location, origin, step, chosen))
            return true;
        if (last - centre >= distance &&
            try_origin(search, from_order_key(centre + distance), location, origin, step, chosen))
            return true;
        if (search->budget <= 0) return false;
    }
    // Samples across a wide range: each step of the children's grid is met by some of them.
    uint64_t span = (uint64_t)last - first;
    if (span > 128)
        for (uint64_t sample = 0; sample <= 256 && search->budget > 0; sample++) {
            uint32_t key = first + (uint32_t)(span * sample / 256);
            if (try_origin(search, from_order_key(key), location, origin, step, chosen)) return true;
        }
    return false;
}

// A value whose offset by origin gives location and that an earlier offset
// of the same object (namesakes offset an object more than once) can give.
static float file_value(float location, float origin, bool has_previous, float previous_origin)
{
    float nearest = file_location(location, origin);
    if (!has_previous || undoable(nearest, previous_origin)) return nearest;
    float candidates[] = {0.0f, -0.0f, INFINITY, -INFINITY, NAN, -NAN};
    for (float candidate : candidates)
        if (bits_of(candidate - origin) == bits_of(location) && undoable(candidate, previous_origin)) return candidate;
    uint32_t first, last;
    if (location_range(location, origin, &first, &last)) {
        uint64_t span = (uint64_t)last - first;
        uint64_t samples = span < 256 ? span : 256;
        for (uint64_t sample = 0; sample <= samples; sample++) {
            float candidate = from_order_key(first + (uint32_t)(samples ? span * sample / samples : 0));
            if (undoable(candidate, previous_origin)) return candidate;
        }
    }
    return nearest;
}

// The locations as they stand in the file, by undoing the fix-up steps in
// reverse order; false when the hierarchy is one the reader rejects.
static bool file_locations(const Scene *scene, std::vector<std::vector<Vector3>> *locations)
{
    size_t frame_count = scene->frame_count > 0 ? (size_t)scene->frame_count : 0;
    locations->resize((size_t)scene->object_count);
    for (int32_t i = 0; i < scene->object_count; i++) {
        const Vector3 *stored = scene->objects[i].locations;
        (*locations)[(size_t)i].assign(stored, stored ? stored + frame_count : stored);
        (*locations)[(size_t)i].resize(frame_count, Vector3{0, 0, 0});
    }
    SceneLinks links;
    HierarchyCheck check = link_scene_objects(scene->objects, scene->object_count, &links);
    if (check.problem == HIERARCHY_OK) check = check_scene_walk(scene->objects, scene->object_count, &links);
    if (check.problem != HIERARCHY_OK) return false;
    if (frame_count == 0) return true;
    std::vector<FixUpStep> steps = list_fix_up_steps(scene->objects, scene->object_count, &links);

    // The steps that took each step's object as origin since its previous step.
    std::vector<std::vector<size_t>> dependents(steps.size());
    std::vector<std::vector<size_t>> pending((size_t)scene->object_count);
    // The same object's step before each step, or SIZE_MAX.
    std::vector<size_t> previous(steps.size(), SIZE_MAX), last_step((size_t)scene->object_count, SIZE_MAX);
    for (size_t k = 0; k < steps.size(); k++) {
        dependents[k].swap(pending[(size_t)steps[k].object]);
        pending[(size_t)steps[k].parent].push_back(k);
        previous[k] = last_step[(size_t)steps[k].object];
        last_step[(size_t)steps[k].object] = k;
    }

    for (size_t k = steps.size(); k-- > 0;) {
        std::vector<Vector3> &object = (*locations)[(size_t)steps[k].object];
        Vector3 origin = (*locations)[(size_t)steps[k].parent][0];
        for (int axis = 0; axis < 3; axis++) {
            float Vector3::*component = axis == 0 ? &Vector3::x : axis == 1 ? &Vector3::y : &Vector3::z;
            bool has_previous = previous[k] != SIZE_MAX;
            float previous_origin =
                has_previous ? (*locations)[(size_t)steps[previous[k]].parent][0].*component : 0.0f;
            for (size_t f = 0; f < frame_count; f++) {
                float &value = object[f].*component;
                float chosen;
                OriginSearch search = {locations, &steps, &dependents, component, 4096, k, has_previous, previous_origin};
                if (f == 0 && !dependents[k].empty() && choose_origin(&search, value, origin.*component, k, &chosen))
                    value = chosen;
                else
                    value = file_value(value, origin.*component, has_previous, previous_origin);
            }
        }
    }
    return true;
}

static bool write_text(const Scene *scene, std::string *out)
{
    std::vector<std::vector<Vector3>> locations;
    bool hierarchy_ok = file_locations(scene, &locations);

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
    return hierarchy_ok;
}

std::string write_scene_text(const Scene *scene)
{
    std::string text;
    write_text(scene, &text);
    return text;
}

ErrorKind save_scene(const Scene *scene, const char *path, Error *error)
{
    if (error) *error = Error();
    std::string text;
    if (!write_text(scene, &text))
        return set_error(error, ERROR_MALFORMED, path, 0,
                         "the scene's hierarchy cannot be read back (an object named \"none\", a cycle, "
                         "namesakes or more than %d levels)", SCENE_MAX_DEPTH);
    FILE *file = fopen(path, "wb");
    if (!file) return set_error(error, ERROR_CANNOT_WRITE, path, 0, "cannot open: %s", strerror(errno));
    size_t written = fwrite(text.data(), 1, text.size(), file);
    int write_errno = errno;
    bool closed = fclose(file) == 0;
    if (written != text.size() || !closed)
        return set_error(error, ERROR_CANNOT_WRITE, path, 0, "cannot write: %s",
                         strerror(written != text.size() ? write_errno : errno));
    return ERROR_NONE;
}
