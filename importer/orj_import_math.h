// The arithmetic of model import: node matrices to the engine's
// translate, rotate x, y, z, scale chain, camera views, frame sampling.
#pragma once

#include "orj/core/scene/scene.h"
#include "orj/import/orj_import.h"  // MAX_IMPORT_FRAMES

namespace orj {

// A 4x4 matrix acting on column vectors, m[row][column]; the translation
// sits in the last column.
struct Matrix4 {
    double m[4][4];
};

// One object's placement in the engine's terms: rotations in degrees.
struct ObjectTransform {
    Vector3 location;
    Vector3 rotation;
    Vector3 scale;
};

Matrix4 matrix_identity();
Matrix4 matrix_multiply(const Matrix4 &a, const Matrix4 &b);

// The inverse of an affine matrix (last row 0 0 0 1); false when its 3x3
// part is singular.
bool matrix_invert_affine(const Matrix4 &a, Matrix4 *inverse);

// T(location) . Rx(rotation.x) . Ry(rotation.y) . Rz(rotation.z) . S(scale).
Matrix4 compose_transform(const ObjectTransform &transform);

// The closest transform of that form to matrix (its last row is taken as
// 0 0 0 1). Shear and non-uniform scale under rotation cannot be expressed:
// *fit_error gets the largest difference between the 3x3 parts of matrix and
// of the result, relative to the largest column length of matrix.
ObjectTransform decompose_transform(const Matrix4 &matrix, double *fit_error);

// Rx(-rotation.x) . Ry(-rotation.y) . Rz(-rotation.z) . T(-location): the
// view that the viewer loads for a camera.
Matrix4 camera_view_matrix(const Vector3 &location, const Vector3 &rotation);

// The camera location and rotation (degrees) whose view puts eye at the
// origin looking down -z with up along +y. forward and up need not be unit
// length; an up parallel to forward is replaced by a perpendicular one.
void solve_camera(const Vector3 &eye, const Vector3 &forward, const Vector3 &up, Vector3 *location, Vector3 *rotation);

// angle, moved by whole turns to lie within 180 degrees of previous.
float unwrap_degrees(float previous, float angle);

// Number of frames to write: requested when above 0; otherwise one frame
// without animation, else duration_seconds * fps + 1 (rounded down; a
// sliver of a frame below a whole count is taken as the whole), at most
// MAX_IMPORT_FRAMES.
int import_frame_count(int requested, bool animated, double duration_seconds, double fps);

// Animation time, in ticks, of frame: frame / fps seconds, held at the
// clip's end past it.
double frame_time_ticks(int frame, double fps, double ticks_per_second, double duration_ticks);

}  // namespace orj
