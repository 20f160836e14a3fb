// Object names of imported scenes: what a name line can hold, and unique.
#pragma once

#include <string>
#include <vector>

#include "orj/core/viewer/playback.h"
#include "orj/import/orj_import.h"

namespace orj {

enum {
    MAX_OBJECT_NAME = 98,  // bytes of a name line between its first character and the newline
};

// raw made fit for a name line: line breaks become '_', cut to at most
// MAX_OBJECT_NAME bytes without splitting a UTF-8 character; fallback when
// nothing is left.
std::string clean_object_name(const char *raw, const char *fallback);

// The name import_camera_key's key looks for (core/viewer/playback.h's
// camera_names); null from CAMERA_SLOTS on.
const char *camera_slot_name(int camera_index);

// One unique name per entry of wanted (cleaned names), given out in order of
// rank (lowest first; index order within a rank): a name taken already, or
// "none", gets the first free suffix ".2", ".3"... (the name shortened to
// keep within MAX_OBJECT_NAME).
std::vector<std::string> make_unique_names(const std::vector<std::string> &wanted, const std::vector<int> &rank);

}  // namespace orj
