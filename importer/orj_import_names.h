// Object names of imported scenes: what a name line can hold, and unique.
#pragma once

#include <string>
#include <vector>

namespace orj {

enum {
    MAX_OBJECT_NAME = 98,  // bytes of a name line between its first character and the newline
    CAMERA_SLOT_COUNT = 6,
};

// raw made fit for a name line: line breaks become '_', cut to at most
// MAX_OBJECT_NAME bytes without splitting a UTF-8 character; fallback when
// nothing is left.
std::string clean_object_name(const char *raw, const char *fallback);

// The name the viewer's camera keys look for, in the order cameras take
// them: "camara4" (the viewer's first camera), then keys 0, 1, 2, 3, 5.
// Returns null from CAMERA_SLOT_COUNT on.
const char *camera_slot_name(int camera_index);

// The viewer's digit key that chooses a camera of that name, -1 for none.
int camera_key_of(const char *name);

// One unique name per entry of wanted (cleaned names), given out in order of
// rank (lowest first; index order within a rank): a name taken already, or
// "none", gets the first free suffix ".2", ".3"... (the name shortened to
// keep within MAX_OBJECT_NAME).
std::vector<std::string> make_unique_names(const std::vector<std::string> &wanted, const std::vector<int> &rank);

}  // namespace orj
