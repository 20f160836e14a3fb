#include "importer/orj_import_framing.h"

#include <cmath>

#include "importer/orj_import_math.h"

namespace orj {

// Direction from the model's middle to the added camera: front, right, above.
static const double FRONT[3] = {0.5, 0.35, 1.0};
// The lamps' directions from the model's middle in the view's axes (right,
// up, back), and their brightness where they meet the model.
static const double KEY[3] = {-0.6, 1.0, 0.8};
static const double FILL[3] = {1.0, -0.2, 1.0};
static const double KEY_BRIGHTNESS = 0.6;
static const double FILL_BRIGHTNESS = 0.25;

double framing_scale(double extent_size)
{
    if (!(extent_size > 0.0) || !std::isfinite(extent_size)) return 1.0;
    double factor = FRAMED_SIZE / extent_size;
    return std::isfinite(factor) && factor > 0.0 ? factor : 1.0;
}

void scale_and_centre(ImportedScene *imported, double factor, Vector3 centre)
{
    Vector3 shift = {(float)(-centre.x * factor), (float)(-centre.y * factor), (float)(-centre.z * factor)};
    for (ImportObject &object : imported->objects) {
        for (Vector3 &v : object.vertices) v = {(float)(v.x * factor), (float)(v.y * factor), (float)(v.z * factor)};
        for (Vector3 &l : object.locations) {
            l = {(float)(l.x * factor), (float)(l.y * factor), (float)(l.z * factor)};
            if (object.parent < 0) l = {l.x + shift.x, l.y + shift.y, l.z + shift.z};
        }
    }
    ImportStats *stats = &imported->stats;
    if (stats->has_extent) {
        const Vector3 &c = stats->extent_centre;
        stats->extent_centre = {(float)((c.x - centre.x) * factor), (float)((c.y - centre.y) * factor),
                                (float)((c.z - centre.z) * factor)};
        stats->extent_size *= factor;
    }
}

static Vector3 along(Vector3 from, const double direction[3], double distance)
{
    double length = std::sqrt(direction[0] * direction[0] + direction[1] * direction[1] + direction[2] * direction[2]);
    return {(float)(from.x + distance * direction[0] / length), (float)(from.y + distance * direction[1] / length),
            (float)(from.z + distance * direction[2] / length)};
}

// How far from its middle a sphere of radius fits the view: half the view's
// angle is atan(0.5); the near plane stands 1 unit ahead.
static double view_distance(double radius) { return std::fmax(radius / std::sin(std::atan(0.5)), radius + 1.0); }

Vector3 front_eye(Vector3 centre, double radius) { return along(centre, FRONT, view_distance(radius)); }

static Vector3 unit(double x, double y, double z)
{
    double length = std::sqrt(x * x + y * y + z * z);
    return {(float)(x / length), (float)(y / length), (float)(z / length)};
}

static Vector3 cross(Vector3 a, Vector3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

ViewAxes front_view_axes()
{
    ViewAxes view;
    view.back = unit(FRONT[0], FRONT[1], FRONT[2]);
    view.right = unit(view.back.z, 0.0, -view.back.x);  // +y across back
    view.up = cross(view.back, view.right);
    return view;
}

ViewAxes camera_view_axes(Vector3 location, Vector3 rotation)
{
    // The camera's own axes are the columns of the inverse of its view: the
    // rows of the view's rotation part.
    Matrix4 view = camera_view_matrix(location, rotation);
    const double(*m)[4] = view.m;
    return {unit(m[0][0], m[0][1], m[0][2]), unit(m[1][0], m[1][1], m[1][2]), unit(m[2][0], m[2][1], m[2][2])};
}

static ImportObject still_lamp(const char *name, Vector3 location, double brightness, int frame_count)
{
    ImportObject lamp = {};
    lamp.kind = Lamp;
    lamp.name = lamp.source_name = name;
    lamp.parent = -1;
    lamp.material = -1;
    float level = (float)brightness;
    lamp.locations.assign(frame_count, location);
    lamp.rotations.assign(frame_count, Vector3{level, level, level});
    lamp.scales.assign(frame_count, Vector3{1, 1, 1});
    return lamp;
}

// The lamp at distance from centre along direction (in view's axes).
static ImportObject view_lamp(const char *name, const ViewAxes &view, const double direction[3], Vector3 centre,
                              double distance, double brightness, int frame_count)
{
    const Vector3 *axes[3] = {&view.right, &view.up, &view.back};
    double world[3] = {0, 0, 0};
    for (int a = 0; a < 3; a++) {
        world[0] += direction[a] * axes[a]->x;
        world[1] += direction[a] * axes[a]->y;
        world[2] += direction[a] * axes[a]->z;
    }
    Vector3 place = along(centre, world, distance);
    return still_lamp(name, place, brightness * (1.0 + LAMP_LINEAR_ATTENUATION * distance), frame_count);
}

std::vector<ImportObject> make_view_lamps(const ImportStats &stats, const ViewAxes &view, int frame_count)
{
    Vector3 centre = stats.has_extent ? stats.extent_centre : Vector3{0, 0, 0};
    double radius = stats.has_extent && stats.extent_size > 0.0 ? stats.extent_size / 2 : 1.0;
    double distance = view_distance(radius);
    return {view_lamp("key_lamp", view, KEY, centre, distance, KEY_BRIGHTNESS, frame_count),
            view_lamp("fill_lamp", view, FILL, centre, distance, FILL_BRIGHTNESS, frame_count)};
}

}  // namespace orj
