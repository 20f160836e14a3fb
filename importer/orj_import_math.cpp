#include "importer/orj_import_math.h"

#include <algorithm>
#include <cmath>

namespace orj {

// True degrees: the records hold them, and only the scene file's own radians
// use the format's constant (SCENE_DEGREES_PER_RADIAN, reader and writer).
static const double DEGREES_PER_RADIAN = 180.0 / M_PI;

struct Vec {
    double x, y, z;
};

static Vec vec_sub(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
static Vec vec_scale(Vec a, double k) { return {a.x * k, a.y * k, a.z * k}; }
static double vec_dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
static double vec_length(Vec a) { return std::sqrt(vec_dot(a, a)); }
static Vec vec_cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

// Any unit vector perpendicular to the unit vector a.
static Vec vec_perpendicular(Vec a)
{
    Vec axis = std::fabs(a.x) < 0.9 ? Vec{1, 0, 0} : Vec{0, 1, 0};
    Vec p = vec_cross(a, axis);
    return vec_scale(p, 1.0 / vec_length(p));
}

Matrix4 matrix_identity()
{
    Matrix4 r = {};
    for (int i = 0; i < 4; i++) r.m[i][i] = 1.0;
    return r;
}

Matrix4 matrix_multiply(const Matrix4 &a, const Matrix4 &b)
{
    Matrix4 r = {};
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) {
            double sum = 0.0;
            for (int k = 0; k < 4; k++) sum += a.m[i][k] * b.m[k][j];
            r.m[i][j] = sum;
        }
    return r;
}

bool matrix_invert_affine(const Matrix4 &a, Matrix4 *inverse)
{
    const double(*m)[4] = a.m;
    double cofactor[3][3];
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) {
            int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            cofactor[i][j] = m[i1][j1] * m[i2][j2] - m[i1][j2] * m[i2][j1];
        }
    double det = m[0][0] * cofactor[0][0] + m[0][1] * cofactor[0][1] + m[0][2] * cofactor[0][2];
    double size = 0.0;
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) size = std::max(size, std::fabs(m[i][j]));
    if (!std::isfinite(det) || std::fabs(det) <= 1e-12 * size * size * size || size == 0.0) return false;
    Matrix4 r = matrix_identity();
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) r.m[i][j] = cofactor[j][i] / det;
    for (int i = 0; i < 3; i++) r.m[i][3] = -(r.m[i][0] * m[0][3] + r.m[i][1] * m[1][3] + r.m[i][2] * m[2][3]);
    *inverse = r;
    return true;
}

static Matrix4 rotation_about(int axis, double degrees)
{
    Matrix4 r = matrix_identity();
    double c = std::cos(degrees / DEGREES_PER_RADIAN), s = std::sin(degrees / DEGREES_PER_RADIAN);
    int i = (axis + 1) % 3, j = (axis + 2) % 3;
    r.m[i][i] = c;
    r.m[i][j] = -s;
    r.m[j][i] = s;
    r.m[j][j] = c;
    return r;
}

static Matrix4 translation(double x, double y, double z)
{
    Matrix4 r = matrix_identity();
    r.m[0][3] = x;
    r.m[1][3] = y;
    r.m[2][3] = z;
    return r;
}

Matrix4 compose_transform(const ObjectTransform &t)
{
    Matrix4 r = translation(t.location.x, t.location.y, t.location.z);
    r = matrix_multiply(r, rotation_about(0, t.rotation.x));
    r = matrix_multiply(r, rotation_about(1, t.rotation.y));
    r = matrix_multiply(r, rotation_about(2, t.rotation.z));
    Matrix4 s = matrix_identity();
    s.m[0][0] = t.scale.x;
    s.m[1][1] = t.scale.y;
    s.m[2][2] = t.scale.z;
    return matrix_multiply(r, s);
}

// Angles (radians) with Rx(a) . Ry(b) . Rz(c) = r, for a rotation matrix r.
static void euler_xyz(const double r[3][3], double *a, double *b, double *c)
{
    double cb = std::hypot(r[0][0], r[0][1]);
    *b = std::atan2(r[0][2], cb);
    if (cb > 1e-9) {
        *a = std::atan2(-r[1][2], r[2][2]);
        *c = std::atan2(-r[0][1], r[0][0]);
    } else {
        // Gimbal lock: only a + c (or a - c) is determined; put it all in a.
        *c = 0.0;
        *a = std::atan2(r[2][1], r[1][1]);
    }
}

static double det3(const Vec col[3]) { return vec_dot(col[0], vec_cross(col[1], col[2])); }

// The rotation nearest to the matrix with columns col (polar decomposition
// by Newton's iteration); col must have a positive determinant.
static void nearest_rotation(Vec col[3])
{
    for (int iteration = 0; iteration < 30; iteration++) {
        // Inverse transpose: its columns are the cross products over the determinant.
        double det = det3(col);
        if (!(std::fabs(det) > 1e-300)) return;
        Vec inv[3] = {vec_scale(vec_cross(col[1], col[2]), 1.0 / det), vec_scale(vec_cross(col[2], col[0]), 1.0 / det),
                      vec_scale(vec_cross(col[0], col[1]), 1.0 / det)};
        double change = 0.0;
        for (int j = 0; j < 3; j++) {
            Vec next = vec_scale({col[j].x + inv[j].x, col[j].y + inv[j].y, col[j].z + inv[j].z}, 0.5);
            change = std::max(change, vec_length(vec_sub(next, col[j])));
            col[j] = next;
        }
        if (change < 1e-15) return;
    }
}

// Rebuilds the axes that are not present perpendicular to the others (all of
// them the unit axes when none is).
static void complete_axes(Vec axis[3], bool present[3], int present_count)
{
    if (present_count == 0) {
        axis[0] = {1, 0, 0};
        axis[1] = {0, 1, 0};
        axis[2] = {0, 0, 1};
        return;
    }
    for (int j = 0; j < 3; j++) {
        if (present[j]) continue;
        int k = (j + 1) % 3, l = (j + 2) % 3;
        if (present[k] && present[l] && vec_length(vec_cross(axis[k], axis[l])) > 1e-9) {
            Vec p = vec_cross(axis[k], axis[l]);
            axis[j] = vec_scale(p, 1.0 / vec_length(p));
        } else {
            Vec known = present[k] ? axis[k] : axis[l];
            axis[j] = vec_perpendicular(known);
            if (!present[k] && !present[l]) {
                // Only one axis known: complete a right-handed frame around it.
                axis[l == j ? k : l] = vec_cross(known, axis[j]);
            }
        }
        present[j] = true;
    }
}

ObjectTransform decompose_transform(const Matrix4 &matrix, double *fit_error)
{
    Vec col[3];
    double length[3];
    for (int j = 0; j < 3; j++) {
        col[j] = {matrix.m[0][j], matrix.m[1][j], matrix.m[2][j]};
        length[j] = vec_length(col[j]);
    }
    double largest = std::max(length[0], std::max(length[1], length[2]));

    // Unit axes; collapsed axes are rebuilt perpendicular to the others.
    const double tiny = 1e-12 * std::max(largest, 1e-300);
    Vec axis[3];
    bool present[3];
    int present_count = 0;
    for (int j = 0; j < 3; j++) {
        present[j] = length[j] > tiny && std::isfinite(length[j]);
        if (present[j]) {
            axis[j] = vec_scale(col[j], 1.0 / length[j]);
            present_count++;
        } else {
            length[j] = 0.0;
        }
    }
    complete_axes(axis, present, present_count);
    double scale[3] = {length[0], length[1], length[2]};
    if (det3(axis) < 0.0) {
        axis[0] = vec_scale(axis[0], -1.0);
        scale[0] = -scale[0];
    }
    nearest_rotation(axis);

    double r[3][3];
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) {
            const Vec &c = axis[j];
            r[i][j] = i == 0 ? c.x : i == 1 ? c.y : c.z;
        }
    double a, b, c;
    euler_xyz(r, &a, &b, &c);

    ObjectTransform t;
    t.location = {(float)matrix.m[0][3], (float)matrix.m[1][3], (float)matrix.m[2][3]};
    t.rotation = {(float)(a * DEGREES_PER_RADIAN), (float)(b * DEGREES_PER_RADIAN), (float)(c * DEGREES_PER_RADIAN)};
    t.scale = {(float)scale[0], (float)scale[1], (float)scale[2]};

    if (fit_error) {
        double worst = 0.0;
        for (int i = 0; i < 3; i++)
            for (int j = 0; j < 3; j++) worst = std::max(worst, std::fabs(r[i][j] * scale[j] - matrix.m[i][j]));
        *fit_error = largest > 0.0 ? worst / largest : 0.0;
    }
    return t;
}

Matrix4 camera_view_matrix(const Vector3 &location, const Vector3 &rotation)
{
    Matrix4 r = rotation_about(0, -rotation.x);
    r = matrix_multiply(r, rotation_about(1, -rotation.y));
    r = matrix_multiply(r, rotation_about(2, -rotation.z));
    return matrix_multiply(r, translation(-location.x, -location.y, -location.z));
}

void solve_camera(const Vector3 &eye, const Vector3 &forward, const Vector3 &up, Vector3 *location, Vector3 *rotation)
{
    Vec f = {forward.x, forward.y, forward.z};
    double f_length = vec_length(f);
    f = f_length > 0.0 && std::isfinite(f_length) ? vec_scale(f, 1.0 / f_length) : Vec{0, 0, -1};
    Vec u = {up.x, up.y, up.z};
    u = vec_sub(u, vec_scale(f, vec_dot(u, f)));
    double u_length = vec_length(u);
    u = u_length > 1e-9 && std::isfinite(u_length) ? vec_scale(u, 1.0 / u_length) : vec_perpendicular(f);
    Vec side = vec_cross(f, u);

    // The view's rotation has the rows side, up and -forward.
    double view[3][3] = {{side.x, side.y, side.z}, {u.x, u.y, u.z}, {-f.x, -f.y, -f.z}};
    double a, b, c;
    euler_xyz(view, &a, &b, &c);
    *location = eye;
    *rotation = {(float)(-a * DEGREES_PER_RADIAN), (float)(-b * DEGREES_PER_RADIAN), (float)(-c * DEGREES_PER_RADIAN)};
}

float unwrap_degrees(float previous, float angle)
{
    if (!std::isfinite(previous) || !std::isfinite(angle)) return angle;
    double turns = std::round(((double)previous - angle) / 360.0);
    return (float)(angle + turns * 360.0);
}

int import_frame_count(int requested, bool animated, double duration_seconds, double fps)
{
    if (requested > 0) return requested;
    if (!animated || !(duration_seconds > 0.0) || !(fps > 0.0)) return 1;
    double steps = std::floor(duration_seconds * fps + 1e-6);
    if (steps > MAX_IMPORT_FRAMES - 1) steps = MAX_IMPORT_FRAMES - 1;
    return (int)steps + 1;
}

double frame_time_ticks(int frame, double fps, double ticks_per_second, double duration_ticks)
{
    double ticks = frame / fps * ticks_per_second;
    return std::min(ticks, std::max(duration_ticks, 0.0));
}

}  // namespace orj
