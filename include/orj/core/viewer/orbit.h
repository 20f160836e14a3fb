// The viewer's orbit camera: it frames the whole scene (its bounds over the
// animation) and turns around the scene's middle, coming closer or going
// further, always looking at the middle.
#pragma once

#include "orj/core/scene/scene.h"

namespace orj {

enum {
    ORBIT_CAMERA_KEY = 6,     // the digit key, and the --camera number, that selects it
    ORBIT_BOUND_FRAMES = 16,  // frames sampled for the scene's bounds
};

struct OrbitCamera {
    Vector3 centre;  // the middle of the scene's bounds, in world units
    float radius;    // of the sphere around the bounds
    float yaw;       // degrees about +y, 0 looking from +z towards -z
    float pitch;     // degrees above the horizon, within +-ORBIT_MAX_PITCH
    float distance;  // from the eye to the centre
};

constexpr float ORBIT_MAX_PITCH = 89.0f;
// The viewer's frustum takes atan(0.5) each side of the middle; a sphere of
// the bounds fits it from radius / sin(atan(0.5)), some 2.24 radii.
constexpr float ORBIT_FIT_DISTANCE = 2.2360680f;

// The bounds of every mesh vertex, placed as drawing places it, over up to
// ORBIT_BOUND_FRAMES frames spread over the animation; a scene without
// vertices gives a unit sphere at the origin. The camera starts in front
// (+z), a little above and to the right, with the whole sphere in view.
OrbitCamera orbit_frame_scene(const Scene *scene);

// Turns by the given degrees (pitch held short of straight up or down).
void orbit_turn(OrbitCamera *camera, float yaw_degrees, float pitch_degrees);
// Multiplies the distance by factor, kept between the sphere's surface plus
// one unit (the near plane) and fifty fitting distances.
void orbit_zoom(OrbitCamera *camera, float factor);

// Where the eye stands.
Vector3 orbit_eye(const OrbitCamera *camera);
// The view matrix (column-major, as OpenGL loads it): eye at orbit_eye,
// looking at the centre, +y up.
void orbit_view_matrix(const OrbitCamera *camera, float matrix[16]);

}  // namespace orj
