#include "orj/core/viewer/orbit.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace orj {

namespace {

const double DEGREES = 3.14159265358979323846 / 180.0;
const float START_YAW = 25.0f, START_PITCH = 18.0f;

// Row-major 4x4 affine transform.
struct Affine {
    double m[3][4];
};

Affine identity() { return {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}}}; }

Affine multiply(const Affine &a, const Affine &b)
{
    Affine r;
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 4; j++) r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
        r.m[i][3] += a.m[i][3];
    }
    return r;
}

Affine rotation(int axis, double degrees)
{
    Affine r = identity();
    double c = std::cos(degrees * DEGREES), s = std::sin(degrees * DEGREES);
    int a = (axis + 1) % 3, b = (axis + 2) % 3;
    r.m[a][a] = c;
    r.m[a][b] = -s;
    r.m[b][a] = s;
    r.m[b][b] = c;
    return r;
}

// An object's frame transform as drawing applies it: translate, rotate about
// x, y, z, scale.
Affine object_transform(const SceneObject &object, int frame)
{
    const Vector3 &l = object.locations[frame], &r = object.rotations[frame], &s = object.scales[frame];
    Affine t = identity();
    t.m[0][3] = l.x;
    t.m[1][3] = l.y;
    t.m[2][3] = l.z;
    t = multiply(multiply(multiply(t, rotation(0, r.x)), rotation(1, r.y)), rotation(2, r.z));
    Affine scale = identity();
    scale.m[0][0] = s.x;
    scale.m[1][1] = s.y;
    scale.m[2][2] = s.z;
    return multiply(t, scale);
}

struct Bounds {
    double low[3], high[3];
};

void grow_bounds(const Scene *scene, int frame, int index, const Affine &parent, Bounds *bounds, int depth)
{
    const SceneObject &object = scene->objects[index];
    const Vector3 &s = object.scales[frame];
    // Drawing hides a zero-scaled object and what lies under it.
    if (s.x == 0.0f || s.y == 0.0f || s.z == 0.0f || depth > scene->object_count) return;
    Affine world = multiply(parent, object_transform(object, frame));
    if (object.kind == Mesh)
        for (int v = 0; v < object.vertex_count; v++) {
            const Vector3 &p = object.vertices[v];
            const double local[3] = {p.x, p.y, p.z};
            for (int i = 0; i < 3; i++) {
                double w =
                    world.m[i][0] * local[0] + world.m[i][1] * local[1] + world.m[i][2] * local[2] + world.m[i][3];
                if (!std::isfinite(w)) continue;
                bounds->low[i] = std::min(bounds->low[i], w);
                bounds->high[i] = std::max(bounds->high[i], w);
            }
        }
    for (int c = 0; c < object.child_count; c++)
        grow_bounds(scene, frame, object.children[c], world, bounds, depth + 1);
}

}  // namespace

OrbitCamera orbit_frame_scene(const Scene *scene)
{
    Bounds bounds = {{INFINITY, INFINITY, INFINITY}, {-INFINITY, -INFINITY, -INFINITY}};
    int frames = scene->frame_count, samples = std::min<int>(frames, ORBIT_BOUND_FRAMES);
    for (int sample = 0; sample < samples; sample++) {
        int frame = samples > 1 ? (int)((int64_t)sample * (frames - 1) / (samples - 1)) : 0;
        for (int i = 0; i < scene->object_count; i++)
            if (scene->objects[i].is_root) grow_bounds(scene, frame, i, identity(), &bounds, 0);
    }
    OrbitCamera camera = {{0, 0, 0}, 1.0f, START_YAW, START_PITCH, 0.0f};
    if (bounds.low[0] <= bounds.high[0] && bounds.low[1] <= bounds.high[1] && bounds.low[2] <= bounds.high[2]) {
        camera.centre = {(float)((bounds.low[0] + bounds.high[0]) / 2), (float)((bounds.low[1] + bounds.high[1]) / 2),
                         (float)((bounds.low[2] + bounds.high[2]) / 2)};
        double d[3] = {bounds.high[0] - bounds.low[0], bounds.high[1] - bounds.low[1], bounds.high[2] - bounds.low[2]};
        double radius = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]) / 2;
        if (std::isfinite(radius) && radius > 1e-6) camera.radius = (float)radius;
    }
    camera.distance = std::max(camera.radius * ORBIT_FIT_DISTANCE, camera.radius + 1.0f);
    return camera;
}

void orbit_turn(OrbitCamera *camera, float yaw_degrees, float pitch_degrees)
{
    camera->yaw = std::fmod(camera->yaw + yaw_degrees, 360.0f);
    camera->pitch = std::min(ORBIT_MAX_PITCH, std::max(-ORBIT_MAX_PITCH, camera->pitch + pitch_degrees));
}

void orbit_zoom(OrbitCamera *camera, float factor)
{
    float nearest = camera->radius + 1.0f, furthest = 50.0f * camera->radius * ORBIT_FIT_DISTANCE;
    camera->distance = std::min(furthest, std::max(nearest, camera->distance * factor));
}

Vector3 orbit_eye(const OrbitCamera *camera)
{
    double yaw = camera->yaw * DEGREES, pitch = camera->pitch * DEGREES;
    return {(float)(camera->centre.x + camera->distance * std::cos(pitch) * std::sin(yaw)),
            (float)(camera->centre.y + camera->distance * std::sin(pitch)),
            (float)(camera->centre.z + camera->distance * std::cos(pitch) * std::cos(yaw))};
}

void orbit_view_matrix(const OrbitCamera *camera, float matrix[16])
{
    Vector3 eye = orbit_eye(camera);
    double yaw = camera->yaw * DEGREES, pitch = camera->pitch * DEGREES;
    // The camera's axes: back (from the centre to the eye), right and up.
    double back[3] = {std::cos(pitch) * std::sin(yaw), std::sin(pitch), std::cos(pitch) * std::cos(yaw)};
    double right[3] = {std::cos(yaw), 0.0, -std::sin(yaw)};
    double up[3] = {back[1] * right[2] - back[2] * right[1], back[2] * right[0] - back[0] * right[2],
                    back[0] * right[1] - back[1] * right[0]};
    const double *rows[3] = {right, up, back};
    const double e[3] = {eye.x, eye.y, eye.z};
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) matrix[j * 4 + i] = (float)rows[i][j];
        matrix[12 + i] = (float)-(rows[i][0] * e[0] + rows[i][1] * e[1] + rows[i][2] * e[2]);
        matrix[i * 4 + 3] = 0.0f;
    }
    matrix[15] = 1.0f;
}

}  // namespace orj
