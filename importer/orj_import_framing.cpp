#include "importer/orj_import_framing.h"

#include <cmath>

namespace orj {

// Direction from the model's middle to the added camera: front, right, above.
static const double FRONT[3] = {0.5, 0.35, 1.0};
// Direction to the fill lamp: left, low and behind, so that the faces the
// key lamp leaves dark still differ from one another.
static const double FILL[3] = {-1.0, -0.4, -0.6};
static const float KEY_BRIGHTNESS = 1.0f;
static const float FILL_BRIGHTNESS = 0.45f;

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

Vector3 front_eye(Vector3 centre, double radius)
{
    // Half the view's angle is atan(0.5); the near plane stands 1 unit ahead.
    double distance = std::fmax(radius / std::sin(std::atan(0.5)), radius + 1.0);
    return along(centre, FRONT, distance);
}

static ImportObject still_lamp(const char *name, int parent, Vector3 location, float brightness, int frame_count)
{
    ImportObject lamp = {};
    lamp.kind = Lamp;
    lamp.name = lamp.source_name = name;
    lamp.parent = parent;
    lamp.material = -1;
    lamp.locations.assign(frame_count, location);
    lamp.rotations.assign(frame_count, Vector3{brightness, brightness, brightness});
    lamp.scales.assign(frame_count, Vector3{1, 1, 1});
    return lamp;
}

std::vector<ImportObject> make_view_lamps(const ImportStats &stats, int camera, int frame_count)
{
    Vector3 centre = stats.has_extent ? stats.extent_centre : Vector3{0, 0, 0};
    double radius = stats.has_extent && stats.extent_size > 0.0 ? stats.extent_size / 2 : 1.0;
    std::vector<ImportObject> lamps;
    Vector3 key = camera >= 0 ? Vector3{0, 0, 0} : front_eye(centre, radius);
    lamps.push_back(still_lamp("key_lamp", camera, key, KEY_BRIGHTNESS, frame_count));
    lamps.push_back(still_lamp("fill_lamp", -1, along(centre, FILL, 2.0 * radius + 2.0), FILL_BRIGHTNESS, frame_count));
    return lamps;
}

}  // namespace orj
