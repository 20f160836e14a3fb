#include "core/scene/scene_numbers.h"

#include <fast_float/fast_float.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>

static bool is_scan_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

bool scan_scene_int(const char **cursor, const char *end, int32_t *value)
{
    const char *p = *cursor;
    while (p < end && is_scan_space(*p)) p++;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        p++;
    }
    if (p >= end || !is_digit(*p)) return false;
    int64_t magnitude = 0;
    while (p < end && is_digit(*p)) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > 2147483648LL) return false;
        p++;
    }
    int64_t signed_value = negative ? -magnitude : magnitude;
    if (signed_value > 2147483647LL) return false;
    *value = (int32_t)signed_value;
    *cursor = p;
    return true;
}

// sscanf itself, on a NUL-terminated copy of the rest of the line, for the
// forms fast_float leaves alone (inf, nan, hexadecimal, out of range, a
// dangling exponent, which sscanf swallows).
static bool scan_float_slowly(const char **cursor, const char *end, float *value)
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

bool scan_scene_float(const char **cursor, const char *end, float *value)
{
    const char *p = *cursor;
    while (p < end && is_scan_space(*p)) p++;
    const char *start = p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        p++;
    }
    // Decimal forms go to fast_float, correctly rounded like sscanf; it takes no
    // sign, so the sign is put back after (rounding is symmetric).
    bool decimal = p < end && (is_digit(*p) || (*p == '.' && p + 1 < end && is_digit(p[1])));
    bool hexadecimal = p + 1 < end && p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
    if (decimal && !hexadecimal) {
        float result;
        fast_float::from_chars_result parsed = fast_float::from_chars(p, end, result);
        bool dangling_exponent = parsed.ptr < end && (*parsed.ptr == 'e' || *parsed.ptr == 'E');
        // Overflow and subnormals are left to sscanf, so that the range's edges stay its own.
        bool normal = result == 0.0f || (std::fabs(result) >= FLT_MIN && std::fabs(result) <= FLT_MAX);
        if (parsed.ec == std::errc() && !dangling_exponent && normal) {
            *value = negative ? -result : result;
            *cursor = parsed.ptr;
            return true;
        }
    }
    const char *slow = start;
    if (!scan_float_slowly(&slow, end, value)) return false;
    *cursor = slow;
    return true;
}
