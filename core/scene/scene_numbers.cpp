#include "core/scene/scene_numbers.h"

#include <cstdio>
#include <cstring>

// On a NUL-terminated copy of the rest of the line: inf, nan, hexadecimal,
// out of range, and a dangling exponent, which sscanf swallows.
bool scan_scene_float_slowly(const char **cursor, const char *end, float *value)
{
    char buffer[1024];
    size_t length = (size_t)(end - *cursor);
    if (length >= sizeof buffer) length = sizeof buffer - 1;
    memcpy(buffer, *cursor, length);
    buffer[length] = '\0';
    int used = 0;
    float result;
    if (sscanf(buffer, "%f%n", &result, &used) != 1) return false;
    *value = result;
    *cursor += used;
    return true;
}
