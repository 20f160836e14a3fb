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

// The camera's axes at a yaw and pitch: right, up, and back (from the
// middle towards the eye).
void view_axes(float yaw_degrees, float pitch_degrees, double right[3], double up[3], double back[3])
{
    double yaw = yaw_degrees * DEGREES, pitch = pitch_degrees * DEGREES;
    back[0] = std::cos(pitch) * std::sin(yaw);
    back[1] = std::sin(pitch);
    back[2] = std::cos(pitch) * std::cos(yaw);
    right[0] = std::cos(yaw);
    right[1] = 0.0;
    right[2] = -std::sin(yaw);
    up[0] = back[1] * right[2] - back[2] * right[1];
    up[1] = back[2] * right[0] - back[0] * right[2];
    up[2] = back[0] * right[1] - back[1] * right[0];
}

// What the drawn vertices span: their box, and along the start view's axes
// (u right, v up, w back) the extremes that fitting them in the view needs:
// max and min of u + k w, u - k w, v + k w, v - k w, and of w.
struct Extent {
    double low[3], high[3];
    double axes[3][3];  // right, up, back
    double u_high, u_low, v_high, v_low, w_high, w_low;
};

const double FIT = 0.5 * ORBIT_FILL;  // the view's half width at unit depth, less the margin

void grow_extent(Extent *e, const double w[3])
{
    for (int i = 0; i < 3; i++) {
        e->low[i] = std::min(e->low[i], w[i]);
        e->high[i] = std::max(e->high[i], w[i]);
    }
    double a[3];
    for (int k = 0; k < 3; k++) a[k] = e->axes[k][0] * w[0] + e->axes[k][1] * w[1] + e->axes[k][2] * w[2];
    e->u_high = std::max(e->u_high, a[0] + FIT * a[2]);
    e->u_low = std::min(e->u_low, a[0] - FIT * a[2]);
    e->v_high = std::max(e->v_high, a[1] + FIT * a[2]);
    e->v_low = std::min(e->v_low, a[1] - FIT * a[2]);
    e->w_high = std::max(e->w_high, a[2]);
    e->w_low = std::min(e->w_low, a[2]);
}

void grow_bounds(const Scene *scene, int frame, int index, const Affine &parent, Extent *extent, int depth)
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
            double w[3];
            for (int i = 0; i < 3; i++)
                w[i] = world.m[i][0] * local[0] + world.m[i][1] * local[1] + world.m[i][2] * local[2] + world.m[i][3];
            if (std::isfinite(w[0]) && std::isfinite(w[1]) && std::isfinite(w[2])) grow_extent(extent, w);
        }
    for (int c = 0; c < object.child_count; c++)
        grow_bounds(scene, frame, object.children[c], world, extent, depth + 1);
}

}  // namespace

OrbitCamera orbit_frame_scene(const Scene *scene)
{
    Extent e;
    for (int i = 0; i < 3; i++) e.low[i] = INFINITY, e.high[i] = -INFINITY;
    e.u_high = e.v_high = e.w_high = -INFINITY;
    e.u_low = e.v_low = e.w_low = INFINITY;
    view_axes(START_YAW, START_PITCH, e.axes[0], e.axes[1], e.axes[2]);
    int frames = scene->frame_count, samples = std::min<int>(frames, ORBIT_BOUND_FRAMES);
    for (int sample = 0; sample < samples; sample++) {
        int frame = samples > 1 ? (int)((int64_t)sample * (frames - 1) / (samples - 1)) : 0;
        for (int i = 0; i < scene->object_count; i++)
            if (scene->objects[i].is_root) grow_bounds(scene, frame, i, identity(), &e, 0);
    }
    OrbitCamera camera = {{0, 0, 0}, 1.0f, START_YAW, START_PITCH, 0.0f};
    if (!(e.low[0] <= e.high[0] && e.low[1] <= e.high[1] && e.low[2] <= e.high[2])) {
        camera.distance = std::max(camera.radius * ORBIT_FIT_DISTANCE, camera.radius + 1.0f);
        return camera;
    }
    double d[3] = {e.high[0] - e.low[0], e.high[1] - e.low[1], e.high[2] - e.low[2]};
    double radius = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]) / 2;
    if (std::isfinite(radius) && radius > 1e-6) camera.radius = (float)radius;
    // The eye, in the view's axes, that puts the outermost points on the
    // view's edges less the margin, left and right alike, or top and bottom
    // alike, whichever needs it further back; never so close that a point
    // comes within the near plane. The camera turns round the point straight
    // ahead of it at the depth of the points' middle.
    double eye_u = (e.u_high + e.u_low) / 2, eye_v = (e.v_high + e.v_low) / 2;
    double eye_w = std::max({(e.u_high - e.u_low) / (2 * FIT), (e.v_high - e.v_low) / (2 * FIT), e.w_high + 1.0});
    double middle_w = (e.w_high + e.w_low) / 2;
    double centre[3];
    for (int i = 0; i < 3; i++) centre[i] = eye_u * e.axes[0][i] + eye_v * e.axes[1][i] + middle_w * e.axes[2][i];
    camera.centre = {(float)centre[0], (float)centre[1], (float)centre[2]};
    camera.distance = (float)(eye_w - middle_w);
    if (!std::isfinite(camera.distance) || !(camera.distance > 0.0f) || !std::isfinite(eye_u + eye_v)) {
        camera.centre = {(float)((e.low[0] + e.high[0]) / 2), (float)((e.low[1] + e.high[1]) / 2),
                         (float)((e.low[2] + e.high[2]) / 2)};
        camera.distance = std::max(camera.radius * ORBIT_FIT_DISTANCE, camera.radius + 1.0f);
    }
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
    double right[3], up[3], back[3];
    view_axes(camera->yaw, camera->pitch, right, up, back);
    return {(float)(camera->centre.x + camera->distance * back[0]),
            (float)(camera->centre.y + camera->distance * back[1]),
            (float)(camera->centre.z + camera->distance * back[2])};
}

void orbit_view_matrix(const OrbitCamera *camera, float matrix[16])
{
    Vector3 eye = orbit_eye(camera);
    double right[3], up[3], back[3];
    view_axes(camera->yaw, camera->pitch, right, up, back);
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
