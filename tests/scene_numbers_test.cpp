// The scene file's number conversions against sscanf itself: same value to
// the bit and same characters consumed, on the forms files hold and on odd ones.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "core/scene/scene_numbers.h"

using namespace orj;

namespace {

// What sscanf makes of text with "%f%n": false when it converts nothing.
bool scanf_float(const std::string &text, float *value, int *used)
{
    return sscanf(text.c_str(), "%f%n", value, used) == 1;
}

void expect_float_like_scanf(const std::string &text)
{
    float expected = 0, got = 0;
    int expected_used = 0;
    bool expected_ok = scanf_float(text, &expected, &expected_used);
    const char *cursor = text.data();
    bool ok = scan_scene_float(&cursor, text.data() + text.size(), &got);
    ASSERT_EQ(ok, expected_ok) << "\"" << text << "\"";
    if (!ok) return;
    uint32_t expected_bits, got_bits;
    memcpy(&expected_bits, &expected, 4);
    memcpy(&got_bits, &got, 4);
    EXPECT_EQ(got_bits, expected_bits) << "\"" << text << "\"";
    EXPECT_EQ(cursor - text.data(), expected_used) << "\"" << text << "\"";

    // With readable memory after the text, the digits are read eight at a
    // time; nothing after the text's end is taken, digits included.
    for (const char *after : {"\n  1.5 2.5 3.5 4.5", "12345678.25e1 9"}) {
        std::string padded = text + after;
        cursor = padded.data();
        ASSERT_TRUE(scan_scene_float(&cursor, padded.data() + text.size(), &got, padded.data() + padded.size()));
        memcpy(&got_bits, &got, 4);
        EXPECT_EQ(got_bits, expected_bits) << "\"" << text << "\" then \"" << after << "\"";
        EXPECT_EQ(cursor - padded.data(), expected_used) << "\"" << text << "\" then \"" << after << "\"";
    }
}

TEST(SceneNumbers, OddFormsReadAsScanfReadsThem)
{
    const char *forms[] = {"1",
                           "-1",
                           "+1.5",
                           "-.5",
                           ".5",
                           ".",
                           "1.",
                           "1.e2",
                           "1e",
                           "1e+",
                           "1e-",
                           "1e5x",
                           "1ee2",
                           "1e 2",
                           "0x",
                           "0x1p3",
                           "0X1.8",
                           "0x1p",
                           "-0x10",
                           "nan",
                           "-nan",
                           "NaN",
                           "nan(12)",
                           "inf",
                           "-INF",
                           "infinity",
                           "infx",
                           "in",
                           "na",
                           "-",
                           "+-1",
                           "  \t7",
                           "\v\f8",
                           "\r9",
                           "00012",
                           "1e-50",
                           "1e50",
                           "1e400",
                           "3.4028236e38",
                           "1.4e-46",
                           "7e-46",
                           "-0",
                           "-0.0e5",
                           "5.",
                           "1,5",
                           "1.5.5",
                           "",
                           "   ",
                           "x",
                           "1.17549435e-38",
                           "2.5e-45",
                           "16777217",
                           "0.1000000000000000055511151231257827"};
    for (const char *form : forms) expect_float_like_scanf(form);
}

TEST(SceneNumbers, RandomDecimalsReadAsScanfReadsThem)
{
    std::mt19937 random(99);
    for (int n = 0; n < 200000; n++) {
        std::string text;
        if (random() % 4 == 0) text += random() % 2 ? "-" : "+";
        int integer_digits = (int)(random() % 12);
        for (int d = 0; d < integer_digits; d++) text += (char)('0' + random() % 10);
        if (random() % 3) {
            text += '.';
            int fraction_digits = (int)(random() % 30);
            for (int d = 0; d < fraction_digits; d++) text += (char)('0' + random() % 10);
        }
        if (random() % 3 == 0) {
            text += random() % 2 ? 'e' : 'E';
            if (random() % 2) text += random() % 2 ? '-' : '+';
            int exponent_digits = (int)(random() % 3);
            for (int d = 0; d < exponent_digits; d++) text += (char)('0' + random() % 10);
        }
        if (random() % 4 == 0) text += " 1";
        expect_float_like_scanf(text);
        if (testing::Test::HasFailure()) break;
    }
}

TEST(SceneNumbers, ExporterStyleDecimalsReadAsScanfReadsThem)
{
    // The fixed-point forms writers produce, and integers around float midpoints.
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int n = 0; n < 300000; n++) {
        char text[64];
        double magnitude = std::ldexp(unit(random), (int)(random() % 80) - 30);
        if (n % 3 == 0) snprintf(text, sizeof text, "%.*f", (int)(random() % 10), magnitude);
        else if (n % 3 == 1) snprintf(text, sizeof text, "%.*g", 1 + (int)(random() % 19), magnitude);
        else snprintf(text, sizeof text, "%llu", (unsigned long long)((1ULL << (24 + random() % 30)) + random() % 64));
        expect_float_like_scanf(text);
        if (testing::Test::HasFailure()) break;
    }
}

TEST(SceneNumbers, HalfwayCasesRoundLikeScanf)
{
    // Decimals exactly between two floats, and one digit either side of them.
    std::mt19937 random(5);
    for (int n = 0; n < 20000; n++) {
        uint32_t bits = (uint32_t)random() & 0x7f7fffffu;
        float low;
        memcpy(&low, &bits, 4);
        float high = nextafterf(low, INFINITY);
        char text[64];
        snprintf(text, sizeof text, "%.40g", ((double)low + (double)high) / 2);
        expect_float_like_scanf(text);
        if (testing::Test::HasFailure()) break;
    }
}

TEST(SceneNumbers, IntegersReadAsScanfReadsThemAndRefuseOverflow)
{
    const char *forms[] = {"0", "12", "-7", "+7",         "  42 rest",   "0x10",
                           "-", "x",  "",   "2147483647", "-2147483648", "007"};
    for (const char *form : forms) {
        int expected = 0, used = 0;
        bool expected_ok = sscanf(form, "%d%n", &expected, &used) == 1;
        const char *cursor = form;
        int32_t got;
        bool ok = scan_scene_int(&cursor, form + strlen(form), &got);
        ASSERT_EQ(ok, expected_ok) << form;
        if (!ok) continue;
        EXPECT_EQ(got, expected) << form;
        EXPECT_EQ(cursor - form, used) << form;
    }
    for (const char *overflow : {"2147483648", "-2147483649", "99999999999999999999"}) {
        const char *cursor = overflow;
        int32_t got;
        EXPECT_FALSE(scan_scene_int(&cursor, overflow + strlen(overflow), &got)) << overflow;
    }
}

TEST(SceneNumbers, NumbersStopAtTheEndOfTheLineNotAtANul)
{
    // The text is not NUL-terminated: "12" followed by digits outside the range.
    const char text[] = "1234";
    const char *cursor = text;
    float value;
    ASSERT_TRUE(scan_scene_float(&cursor, text + 2, &value));
    EXPECT_EQ(value, 12.0f);
    cursor = text;
    int32_t integer;
    ASSERT_TRUE(scan_scene_int(&cursor, text + 3, &integer));
    EXPECT_EQ(integer, 123);
    // A dangling exponent at the very end of the range, taken by the slow path.
    const char exponent[] = "5e7";
    cursor = exponent;
    ASSERT_TRUE(scan_scene_float(&cursor, exponent + 2, &value));
    EXPECT_EQ(value, 5.0f);
    EXPECT_EQ(cursor, exponent + 2);
}

}  // namespace
