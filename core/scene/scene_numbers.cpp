#include "core/scene/scene_numbers.h"

#include <cstdio>
#include <cctype>
#include <cstring>
#include <limits>

namespace orj {

// Infinities and NaN spelt without a payload ("inf", "-Infinity", "nan"), read
// as the C library on the development platform reads them: other C libraries'
// scanf reads them differently or not at all. Payloads ("nan(...)") are left
// to the C library.
static bool scan_scene_float_special(const char **cursor, const char *end, float *value)
{
    const char *p = *cursor;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    auto starts_with = [&](const char *word) {
        size_t length = strlen(word);
        if ((size_t)(end - p) < length) return false;
        for (size_t i = 0; i < length; i++)
            if (tolower((unsigned char)p[i]) != word[i]) return false;
        return true;
    };
    float magnitude;
    if (starts_with("infinity")) {
        p += 8;
        magnitude = std::numeric_limits<float>::infinity();
    } else if (starts_with("inf")) {
        p += 3;
        magnitude = std::numeric_limits<float>::infinity();
    } else if (starts_with("nan") && !(end - p > 3 && p[3] == '(')) {
        p += 3;
        magnitude = std::numeric_limits<float>::quiet_NaN();
    } else {
        return false;
    }
    *value = negative ? -magnitude : magnitude;
    *cursor = p;
    return true;
}

// On a NUL-terminated copy of the rest of the line: inf, nan, hexadecimal,
// out of range, and a dangling exponent, which sscanf swallows.
bool scan_scene_float_slowly(const char **cursor, const char *end, float *value)
{
    if (scan_scene_float_special(cursor, end, value)) return true;
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

}  // namespace orj
