// Framing an imported model for the viewer: a size that sits well inside its
// fog, a place at the origin, the view an added camera takes, and the lamps
// that light a model which brings none.
#pragma once

#include <vector>

#include "importer/orj_import_convert.h"

namespace orj {

// The viewer's fog (exp2, density 0.025) keeps 92 % of a colour at 11 units
// and half of it at 33; its near plane stands 1 unit ahead. A model 10 units
// across is seen whole from about 11 units.
constexpr double FRAMED_SIZE = 10.0;

// The factor that makes a model of the given diagonal FRAMED_SIZE across
// (1 for a model without extent).
double framing_scale(double extent_size);

// Multiplies every vertex and location by factor and moves the roots so that
// centre (in the model's units, before scaling) lands on the origin; the
// stats' extent follows.
void scale_and_centre(ImportedScene *imported, double factor, Vector3 centre);

// Where the added camera stands: in front of the box's middle (+z), a little
// to the right (+x) and above (+y), far enough for the viewer's 53-degree view
// to hold a sphere of the given radius.
Vector3 front_eye(Vector3 centre, double radius);

// A view's axes in world units: right, up, and back (from what is looked at
// towards the eye); each of unit length.
struct ViewAxes {
    Vector3 right, up, back;
};

// The axes of the view front_eye stands for.
ViewAxes front_view_axes();

// The axes of a camera placed as the engine places it (location, rotation in
// degrees): it looks down its own -z with +y up.
ViewAxes camera_view_axes(Vector3 location, Vector3 rotation);

// The drawing dims a lamp's light by 1 + LAMP_LINEAR_ATTENUATION times the
// distance (gl/render/draw.cpp).
constexpr double LAMP_LINEAR_ATTENUATION = 0.1;

// Lamps for a model without lights, as still roots: a key lamp above and to
// the left of the view, and a weaker fill from its right and a little below,
// so that faces turned different ways differ in brightness (a lamp at the eye
// lights every face seen along a cube's diagonal alike). Both stand as far
// from the model's middle as front_eye does, bright enough to make up for the
// drawing's dimming over that distance whatever the model's units. Point
// lamps, whose colour is their rotation as the engine takes it.
std::vector<ImportObject> make_view_lamps(const ImportStats &stats, const ViewAxes &view, int frame_count);

}  // namespace orj
