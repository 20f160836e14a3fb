// Number conversions of the scene file: the same results as sscanf's "%d" and
// "%f" (C locale) on the text, but on text that need not end in a NUL.
#pragma once

#include <cstdint>

// Radians in the file to degrees in the records: the format defines it with
// pi taken as 3.1415, not as M_PI; it is part of what every file means.
static const double SCENE_DEGREES_PER_RADIAN = 180.0 / 3.1415;

// Reads one integer like "%d" from [*cursor, end): white space, an optional
// sign, digits. On success stores it, moves *cursor past it and returns true;
// false when no integer starts there or it does not fit in 32 bits.
bool scan_scene_int(const char **cursor, const char *end, int32_t *value);

// Reads one real like "%f" from [*cursor, end), rounded to float as sscanf
// rounds it (decimal, hexadecimal, inf, infinity and nan forms), and moves
// *cursor past the characters sscanf would consume.
bool scan_scene_float(const char **cursor, const char *end, float *value);
