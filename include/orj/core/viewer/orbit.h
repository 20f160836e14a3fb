/// @file
/// The viewer's orbit camera: it frames what the scene draws over the
/// animation and turns round the middle of the picture, coming closer or
/// going further, always looking at that middle.
#pragma once

#include "orj/core/scene/scene.h"

namespace orj {

/// The orbit camera's numbers.
enum {
    ORBIT_CAMERA_KEY = 6,     ///< the digit key, and the `--camera` number, that selects it
    ORBIT_BOUND_FRAMES = 16,  ///< frames sampled for the scene's bounds
};

/// Where the orbit camera stands; a plain value (orbit_frame_scene makes one).
struct OrbitCamera {
    Vector3 centre;  ///< what it looks at and turns round, in world units
    float radius;    ///< of the sphere around the drawn vertices' box, in world units
    float yaw;       ///< degrees about +y, 0 looking from +z towards -z
    float pitch;     ///< degrees above the horizon, within +-ORBIT_MAX_PITCH
    float distance;  ///< from the eye to the centre, in world units
};

/// The steepest pitch, up or down, in degrees.
constexpr float ORBIT_MAX_PITCH = 89.0f;
/// The distance, in radii, from which the bounds' sphere just fits the view:
/// the viewer's frustum takes atan(0.5) each side of the middle, so the sphere
/// fits it from radius / sin(atan(0.5)), some 2.24 radii.
constexpr float ORBIT_FIT_DISTANCE = 2.2360680f;

/// Share of the view's half width, or half height, that the outermost drawn
/// vertex reaches in the first picture.
constexpr float ORBIT_FILL = 0.8f;

/// The orbit camera that frames scene. It starts in front (+z), a little
/// above and to the right, with
/// every mesh vertex that drawing shows (placed as it places them; lamps,
/// cameras and objects of scale 0 are no part of the picture) over up to
/// ORBIT_BOUND_FRAMES frames spread over the animation in view: the
/// outermost reach ORBIT_FILL of the way to the view's edges on both sides
/// (left and right, or top and bottom, whichever are further apart), so that
/// the picture is centred. It looks at, and turns round, the point straight
/// ahead at the depth of the vertices' middle. A scene without vertices gives
/// a unit sphere at the origin. The scene stays the caller's.
OrbitCamera orbit_frame_scene(const Scene *scene);

/// Turns by the given degrees (pitch held within +-ORBIT_MAX_PITCH).
void orbit_turn(OrbitCamera *camera, float yaw_degrees, float pitch_degrees);
/// Multiplies the distance by factor, kept between the sphere's surface plus
/// one unit (the near plane) and fifty fitting distances.
void orbit_zoom(OrbitCamera *camera, float factor);

/// Where the eye stands, in world units.
Vector3 orbit_eye(const OrbitCamera *camera);
/// The view matrix (column-major, as OpenGL loads it): eye at orbit_eye,
/// looking at the centre, +y up.
void orbit_view_matrix(const OrbitCamera *camera, float matrix[16]);

}  // namespace orj
