// Number conversions of the scene file: the same results as sscanf's "%d" and
// "%f" (C locale) on the text, but on text that need not end in a NUL. The
// common forms are inline: the reader spends most of its time here.
#pragma once

#include <fast_float/fast_float.h>

#include <cfloat>
#include <cmath>
#include <cstdint>

static inline bool is_scan_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static inline bool is_scan_digit(char c)
{
    return (unsigned)(c - '0') < 10;
}

// Reads one integer like "%d" from [*cursor, end): white space, an optional
// sign, digits. On success stores it, moves *cursor past it and returns true;
// false when no integer starts there or it does not fit in 32 bits.
inline bool scan_scene_int(const char **cursor, const char *end, int32_t *value)
{
    const char *p = *cursor;
    while (p < end && is_scan_space(*p)) p++;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        p++;
    }
    if (p >= end || !is_scan_digit(*p)) return false;
    int64_t magnitude = 0;
    while (p < end && is_scan_digit(*p)) {
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

// The form scene writers use, "-12.345678": at most 9 digits making an
// integer up to 2^24 and at most 10 decimals. Both the integer and the power
// of ten are exact floats, so one division rounds correctly (Clinger's fast
// path, which fast_float takes for these too, without its general parse).
inline bool scan_short_decimal(const char *p, const char *end, float *value, const char **after)
{
    static const float exact_powers_of_ten[11] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    uint32_t mantissa = 0;
    int digits = 0, decimals = 0;
    while (p < end && is_scan_digit(*p) && digits < 9) {
        mantissa = mantissa * 10 + (uint32_t)(*p++ - '0');
        digits++;
    }
    if (p < end && *p == '.') {
        p++;
        while (p < end && is_scan_digit(*p) && digits < 9) {
            mantissa = mantissa * 10 + (uint32_t)(*p++ - '0');
            digits++;
            decimals++;
        }
    }
    if (p < end && (is_scan_digit(*p) || *p == 'e' || *p == 'E')) return false;
    if (digits == 0 || mantissa > (1u << 24) || decimals > 10) return false;
    *value = (float)mantissa / exact_powers_of_ten[decimals];
    *after = p;
    return true;
}

// sscanf itself, for the forms fast_float leaves alone: starts at *cursor.
bool scan_scene_float_slowly(const char **cursor, const char *end, float *value);

// Reads one real like "%f" from [*cursor, end), rounded to float as sscanf
// rounds it (decimal, hexadecimal, inf, infinity and nan forms), and moves
// *cursor past the characters sscanf would consume.
inline bool scan_scene_float(const char **cursor, const char *end, float *value)
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
    // sign, so the sign is put back after (rounding is symmetric). A leading
    // "0x" is hexadecimal, which it does not read.
    bool decimal = p < end && (is_scan_digit(*p) || (*p == '.' && p + 1 < end && is_scan_digit(p[1])));
    if (decimal && !(p + 1 < end && p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))) {
        float result;
        if (scan_short_decimal(p, end, &result, cursor)) {
            *value = negative ? -result : result;
            return true;
        }
        fast_float::from_chars_result parsed = fast_float::from_chars(p, end, result);
        bool dangling_exponent = parsed.ptr < end && (*parsed.ptr == 'e' || *parsed.ptr == 'E');
        // Overflow and subnormals are left to sscanf, so that the range's edges stay its own.
        float magnitude = std::fabs(result);
        bool normal = result == 0.0f || (magnitude >= FLT_MIN && magnitude <= FLT_MAX);
        if (parsed.ec == std::errc() && !dangling_exponent && normal) {
            *value = negative ? -result : result;
            *cursor = parsed.ptr;
            return true;
        }
    }
    *cursor = start;
    return scan_scene_float_slowly(cursor, end, value);
}
