// The sample robot's texture: one 256x256 atlas painted procedurally.
#pragma once

#include <cstdint>
#include <vector>

#include "orj/core/image/image.h"
#include "samples/sample_geometry.h"

enum {
    ATLAS_SIZE = 256
};

// Where each kind of surface lies in the atlas (pixels, top row first).
extern const AtlasRect atlas_chest;        // the torso's front: screen, buttons, vents
extern const AtlasRect atlas_plate;        // orange panels with seams and rivets
extern const AtlasRect atlas_limb;         // ribbed grey metal with a hazard band
extern const AtlasRect atlas_joint;        // dark gunmetal for joints and the neck
extern const AtlasRect atlas_hand;         // blue-grey grip plates
extern const AtlasRect atlas_head;         // the head wrapped around: face at the middle
extern const AtlasRect atlas_floor_light;  // one light floor tile
extern const AtlasRect atlas_floor_dark;   // one dark floor tile
extern const AtlasRect atlas_sole;         // dark rubber with a yellow stripe
extern const AtlasRect atlas_bulb;         // the antenna's glowing red bulb
extern const AtlasRect atlas_back;         // the torso's back: a vented hatch

// ATLAS_SIZE x ATLAS_SIZE pixels without alpha (written as a 24-bit TGA).
orj::Image paint_robot_texture();
