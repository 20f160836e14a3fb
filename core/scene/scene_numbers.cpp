#include "core/scene/scene_numbers.h"

#include <charconv>
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
// forms the fast path leaves alone (inf, nan, hexadecimal, out of range,
// a dangling exponent, which sscanf swallows).
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

// Plain decimals without exponent ("-12.345678"), the form scene files hold:
// up to 19 significant digits and 22 decimals make an exact integer over an
// exact power of ten, one correctly rounded double division. Rounding that
// double to float gives the float nearest the decimal unless the double sits
// exactly halfway between two floats; those, and every other form, return false.
static bool scan_plain_decimal(const char *p, const char *end, bool negative, float *value, const char **after)
{
    static const double powers[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                      1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    uint64_t mantissa = 0;
    int significant = 0, decimals = 0;
    bool any_digit = false;
    while (p < end && is_digit(*p)) {
        if (mantissa != 0 || *p != '0') significant++;
        mantissa = mantissa * 10 + (uint64_t)(*p - '0');
        any_digit = true;
        p++;
        if (significant > 19) return false;
    }
    if (p < end && *p == '.') {
        p++;
        while (p < end && is_digit(*p)) {
            if (mantissa != 0 || *p != '0') significant++;
            mantissa = mantissa * 10 + (uint64_t)(*p - '0');
            any_digit = true;
            decimals++;
            p++;
            if (significant > 19 || decimals > 22) return false;
        }
    }
    if (!any_digit || (p < end && (*p == 'e' || *p == 'E'))) return false;
    if (mantissa > (1ULL << 53)) return false;
    double quotient = (double)mantissa / powers[decimals];
    uint64_t bits;
    memcpy(&bits, &quotient, sizeof bits);
    if ((bits & 0x1fffffffULL) == 0x10000000ULL) return false;
    float result = (float)quotient;
    *value = negative ? -result : result;
    *after = p;
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
    bool plain_decimal = p < end && (is_digit(*p) || (*p == '.' && p + 1 < end && is_digit(p[1])));
    bool hexadecimal = p + 1 < end && p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
    if (plain_decimal && !hexadecimal) {
        if (scan_plain_decimal(p, end, negative, value, cursor)) return true;
        float result;
        std::from_chars_result parsed = std::from_chars(p, end, result, std::chars_format::general);
        bool dangling_exponent = parsed.ptr < end && (*parsed.ptr == 'e' || *parsed.ptr == 'E');
        if (parsed.ec == std::errc() && !dangling_exponent) {
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
