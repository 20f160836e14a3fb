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

// Lamps for a model without lights: a key lamp of full white at the added
// camera's place (under camera, -1 when none) and a weaker fill from the
// other side, low and behind the model's middle. Point lamps, whose colour is
// their rotation as the engine takes it.
std::vector<ImportObject> make_view_lamps(const ImportStats &stats, int camera, int frame_count);

}  // namespace orj
