// Number conversions of the scene file: the same results as sscanf's "%d" and
// "%f" (C locale) on the text, but on text that need not end in a NUL. The
// common forms are inline: the reader spends most of its time here.
#pragma once

#include <fast_float/fast_float.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace orj {

static inline bool is_scan_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static inline bool is_scan_digit(char c) { return (unsigned)(c - '0') < 10; }

// Radians in the file to degrees in the records: the format defines it with
// pi taken as 3.1415, not as M_PI; it is part of what every file means.
static const double SCENE_DEGREES_PER_RADIAN = 180.0 / 3.1415;

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

// How many of the 8 characters in word (first character in the low byte) are
// digits before the first that is not. Bytes after that one may be anything.
inline int leading_digit_count(uint64_t word)
{
    // A byte's top bit ends up set when it is below '0' or above '9'; carries
    // and borrows only reach the bytes after the first such byte.
    uint64_t flags = ((word + 0x4646464646464646ULL) | (word - 0x3030303030303030ULL)) & 0x8080808080808080ULL;
    return flags ? __builtin_ctzll(flags) / 8 : 8;
}

// The value of the first count (1 to 8) digits of word.
inline uint32_t leading_digits_value(uint64_t word, int count)
{
    uint64_t v = (word - 0x3030303030303030ULL) << (8 * (8 - count));
    v = v * 10 + (v >> 8);
    v = (((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
         (((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
        32;
    return (uint32_t)v;
}

// mantissa / 10^decimals rounded to float, for mantissa up to 2^24 and
// decimals up to 7: both are exact floats, so one division rounds correctly
// (Clinger's fast path, which fast_float takes for these too).
inline float short_decimal_value(uint32_t mantissa, int decimals)
{
    static const float exact_powers_of_ten[8] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f};
    return (float)mantissa / exact_powers_of_ten[decimals];
}

// The commonest form, at most 8 digits with the point among them
// ("0.030000"), read from the 16 readable bytes at p with one pass over the
// digits: the point is taken out of the word that holds them. Gives where the
// digits end; the caller sees to what may follow them (an exponent, an "x"
// after a "0", the end of its text). False for anything else, which
// scan_short_decimal then reads.
inline bool scan_compact_digits(const char *p, float *value, const char **after)
{
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the digits are read as little-endian words");
    uint64_t word, next;
    memcpy(&word, p, 8);
    memcpy(&next, p + 1, 8);
    int whole_digits = leading_digit_count(word);
    if (whole_digits == 8) return false;
    int shift = 8 * whole_digits;
    const char *q = p + whole_digits;
    int decimals = 0;
    uint64_t digits = word;
    if (((word >> shift) & 0xff) == '.') {
        // The characters after the point, in the bytes after the whole
        // digits; the bytes shifted in are zeros, which end the count.
        decimals = leading_digit_count(next >> shift);
        if (decimals == 8 || (whole_digits + decimals == 8 && is_scan_digit(p[9]))) return false;
        uint64_t low = (1ULL << shift) - 1;
        digits = (word & low) | (next & ~low);
        q += 1 + decimals;
    }
    int count = whole_digits + decimals;
    if (count == 0) return false;
    uint32_t mantissa = leading_digits_value(digits, count);
    if (mantissa > (1u << 24)) return false;
    *value = short_decimal_value(mantissa, decimals);
    *after = q;
    return true;
}

// A compact number with its sign, on a line whose numbers stand one space
// apart: p is where it starts and 17 bytes from there are readable. True only
// when a space, a newline or a carriage return follows it, where *after then
// points; every such number reads here as scan_scene_float reads it.
inline bool scan_compact_real(const char *p, float *value, const char **after)
{
    bool negative = *p == '-';
    float magnitude;
    const char *q;
    if (!scan_compact_digits(p + negative, &magnitude, &q) || !(*q == ' ' || *q == '\n' || *q == '\r')) return false;
    *value = negative ? -magnitude : magnitude;
    *after = q;
    return true;
}

// A vertex number as writers put it, from the 8 readable bytes at p: 1 to 7
// digits without a sign. Gives where the digits end.
inline bool scan_compact_index(const char *p, int32_t *value, const char **after)
{
    uint64_t word;
    memcpy(&word, p, 8);
    int digits = leading_digit_count(word);
    if (digits == 0 || digits == 8) return false;
    *value = (int32_t)leading_digits_value(word, digits);
    *after = p + digits;
    return true;
}

// The form scene writers use, "-12.345678", when the digits make an integer up
// to 2^24 with at most 7 decimals (short_decimal_value), here without
// fast_float's general parse; longer than scan_compact_digits takes. The
// digits are read 8 at a time from memory readable up to readable_end; the
// number must end by end. False for anything else, which the general path reads.
inline bool scan_short_decimal(const char *p, const char *end, const char *readable_end, float *value,
                               const char **after)
{
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the digits are read as little-endian words");
    static const uint32_t powers_of_ten[8] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
    if (readable_end - p < 16) return false;
    uint64_t word;
    memcpy(&word, p, 8);
    int whole_digits = leading_digit_count(word);
    if (whole_digits == 8) return false;
    uint64_t mantissa = whole_digits ? leading_digits_value(word, whole_digits) : 0;
    const char *q = p + whole_digits;
    int decimals = 0;
    if (*q == '.') {
        memcpy(&word, ++q, 8);
        decimals = leading_digit_count(word);
        if (decimals == 8) return false;
        if (decimals) mantissa = mantissa * powers_of_ten[decimals] + leading_digits_value(word, decimals);
        q += decimals;
    }
    if (whole_digits + decimals == 0 || q > end || (q < end && (*q == 'e' || *q == 'E')) || mantissa > (1u << 24))
        return false;
    *value = short_decimal_value((uint32_t)mantissa, decimals);
    *after = q;
    return true;
}

// sscanf itself, for the forms fast_float leaves alone: starts at *cursor.
bool scan_scene_float_slowly(const char **cursor, const char *end, float *value);

// The decimal forms of a real that starts right at p (an optional sign, then
// digits or a point and a digit; no white space): like scan_scene_float, but
// false, with nothing stored, for every form it would leave to sscanf. None of
// these forms holds white space, so a number read with end past the line it
// stands in is the same as one read with end at the line's end.
inline bool scan_scene_decimal(const char *p, const char *end, const char *readable_end, float *value,
                               const char **after)
{
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        p++;
    }
    // A leading "0x" is hexadecimal, which neither path below reads.
    bool decimal = p < end && (is_scan_digit(*p) || (*p == '.' && p + 1 < end && is_scan_digit(p[1])));
    if (!decimal || (p + 1 < end && p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))) return false;
    float result;
    const char *q;
    bool compact = readable_end - p >= 16 && scan_compact_digits(p, &result, &q) && q <= end &&
                   !(q < end && (*q == 'e' || *q == 'E'));
    if (compact) *after = q;
    if (compact || scan_short_decimal(p, end, readable_end, &result, after)) {
        *value = negative ? -result : result;
        return true;
    }
    // fast_float, correctly rounded like sscanf; it takes no sign, so the sign
    // is put back after (rounding is symmetric).
    fast_float::from_chars_result parsed = fast_float::from_chars(p, end, result);
    bool dangling_exponent = parsed.ptr < end && (*parsed.ptr == 'e' || *parsed.ptr == 'E');
    // Overflow and subnormals are left to sscanf, so that the range's edges stay its own.
    float magnitude = std::fabs(result);
    bool normal = result == 0.0f || (magnitude >= FLT_MIN && magnitude <= FLT_MAX);
    if (parsed.ec != std::errc() || dangling_exponent || !normal) return false;
    *value = negative ? -result : result;
    *after = parsed.ptr;
    return true;
}

// Reads one real like "%f" from [*cursor, end), rounded to float as sscanf
// rounds it (decimal, hexadecimal, inf, infinity and nan forms), and moves
// *cursor past the characters sscanf would consume. Memory up to readable_end
// (end or more) may be read, though nothing from end on is taken.
inline bool scan_scene_float(const char **cursor, const char *end, float *value, const char *readable_end = nullptr)
{
    const char *p = *cursor;
    while (p < end && is_scan_space(*p)) p++;
    if (scan_scene_decimal(p, end, readable_end ? readable_end : end, value, cursor)) return true;
    *cursor = p;
    return scan_scene_float_slowly(cursor, end, value);
}

}  // namespace orj
