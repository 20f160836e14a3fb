// Run-length frame records, the animation file and the frame names, without a window.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "orj/core/sprites/animation_file.h"
#include "orj/core/sprites/frame_name.h"
#include "orj/core/sprites/frame_runs.h"

using namespace orj;

namespace {

const uint32_t MASK = 0x00ff00ffu;
const uint32_t INK = 0x00123456u;

std::vector<int32_t> row_runs(const AnimationFrame &frame, int y)
{
    return std::vector<int32_t>(frame.runs[y], frame.runs[y] + frame.run_counts[y] + 1);
}

std::string le(std::vector<int32_t> values)
{
    std::string bytes;
    for (int32_t v : values)
        for (int b = 0; b < 4; b++) bytes.push_back((char)(((uint32_t)v >> (8 * b)) & 0xff));
    return bytes;
}

std::string stream_bytes(FILE *stream)
{
    std::string bytes;
    rewind(stream);
    int c;
    while ((c = fgetc(stream)) != EOF) bytes.push_back((char)c);
    return bytes;
}

FILE *stream_of(const std::string &bytes)
{
    FILE *stream = tmpfile();
    fwrite(bytes.data(), 1, bytes.size(), stream);
    rewind(stream);
    return stream;
}

// The 4 x 2 frame: top row transparent, opaque, opaque, transparent; bottom row opaque.
AnimationFrame worked_example()
{
    const uint32_t pixels[8] = {MASK, INK, INK, MASK, INK, INK, INK, INK};
    return build_frame_from_pixels(pixels, 4, 2, MASK);
}

}  // namespace

TEST(FrameRuns, WorkedExampleIsFortyBytes)
{
    AnimationFrame frame = worked_example();
    EXPECT_EQ(frame.opaque_pixels, 2);
    EXPECT_EQ(row_runs(frame, 0), (std::vector<int32_t>{1, 2, 1}));
    EXPECT_EQ(row_runs(frame, 1), (std::vector<int32_t>{0, 4}));

    FILE *stream = tmpfile();
    ASSERT_EQ(write_frame(&frame, stream, nullptr), ERROR_NONE);
    EXPECT_EQ(stream_bytes(stream), le({4, 2, 2, 2, 1, 2, 1, 1, 0, 4}));
    EXPECT_EQ(stream_bytes(stream).size(), 40u);
    fclose(stream);
    free_frame_runs(frame);
}

TEST(FrameRuns, TransparentOpaqueAndMixedRows)
{
    // Row 0 fully transparent, row 1 fully opaque, row 2 opaque then transparent,
    // row 3 alternating pixel by pixel.
    const uint32_t T = MASK, O = INK;
    const uint32_t pixels[] = {T, T, T, T, T, O, O, O, O, O, O, O, O, T, T, O, T, O, T, O};
    AnimationFrame frame = build_frame_from_pixels(pixels, 5, 4, MASK);
    EXPECT_EQ(row_runs(frame, 0), (std::vector<int32_t>{5}));
    EXPECT_EQ(row_runs(frame, 1), (std::vector<int32_t>{0, 5}));
    EXPECT_EQ(row_runs(frame, 2), (std::vector<int32_t>{0, 3, 2}));
    EXPECT_EQ(row_runs(frame, 3), (std::vector<int32_t>{0, 1, 1, 1, 1, 1}));
    // Counted: row 2's run of 3, row 3's first two opaque runs; not the runs reaching the edge.
    EXPECT_EQ(frame.opaque_pixels, 3 + 2);
    free_frame_runs(frame);
}

TEST(FrameRuns, RowsWiderThanTenThousandPixels)
{
    std::vector<uint32_t> pixels(12000, MASK);
    for (int x = 0; x < 12000; x += 2) pixels[x] = INK;
    AnimationFrame frame = build_frame_from_pixels(pixels.data(), 12000, 1, MASK);
    ASSERT_EQ(frame.run_counts[0], 12000);
    int64_t sum = 0;
    for (int32_t r = 0; r <= frame.run_counts[0]; r++) sum += frame.runs[0][r];
    EXPECT_EQ(sum, 12000);
    free_frame_runs(frame);
}

TEST(AnimationFile, RoundTripKeepsEveryValue)
{
    std::vector<uint32_t> pixels(7 * 6);
    for (size_t i = 0; i < pixels.size(); i++) pixels[i] = (i * 7919 % 5 < 2) ? MASK : INK + (uint32_t)i;
    AnimationFrame built[2] = {worked_example(), build_frame_from_pixels(pixels.data(), 7, 6, MASK)};

    FILE *stream = tmpfile();
    ASSERT_EQ(write_animation_count(2, stream, nullptr), ERROR_NONE);
    for (const AnimationFrame &frame : built) ASSERT_EQ(write_frame(&frame, stream, nullptr), ERROR_NONE);
    rewind(stream);

    Animation animation = {};
    Error error;
    ASSERT_EQ(read_animation_frames(stream, "round.anim", &animation, &error), ERROR_NONE) << error.message;
    fclose(stream);
    ASSERT_EQ(animation.frame_count, 2);
    EXPECT_EQ(animation.pixel_bytes, (4 * 2 + 7 * 6) * 4);
    for (int i = 0; i < 2; i++) {
        const AnimationFrame &read = animation.frames[i];
        EXPECT_EQ(read.width, built[i].width);
        EXPECT_EQ(read.height, built[i].height);
        EXPECT_EQ(read.opaque_pixels, built[i].opaque_pixels);
        EXPECT_NE(read.block, nullptr);
        EXPECT_GT(read.block_size, 0);
        for (int y = 0; y < read.height; y++) EXPECT_EQ(row_runs(read, y), row_runs(built[i], y)) << i << " " << y;
        free_frame_runs(built[i]);
    }
    destroy_animation(&animation);
    EXPECT_EQ(animation.frames, nullptr);
}

TEST(AnimationFile, EmptyAnimationIsItsHeaderOnly)
{
    FILE *stream = tmpfile();
    ASSERT_EQ(write_animation_count(0, stream, nullptr), ERROR_NONE);
    EXPECT_EQ(stream_bytes(stream), le({0}));
    rewind(stream);
    Animation animation = {};
    Error error;
    ASSERT_EQ(read_animation_frames(stream, "empty.anim", &animation, &error), ERROR_NONE) << error.message;
    EXPECT_EQ(animation.frame_count, 0);
    EXPECT_EQ(animation.pixel_bytes, 0);
    destroy_animation(&animation);
    fclose(stream);
}

TEST(AnimationFile, NoStreamReadsAndWritesNothing)
{
    AnimationFrame frame = worked_example();
    EXPECT_EQ(write_frame(&frame, nullptr, nullptr), ERROR_CANNOT_WRITE);
    EXPECT_EQ(read_frame(&frame, nullptr, nullptr), ERROR_CANNOT_OPEN);
    FILE *stream = stream_of(le({4, 2, 2, 2, 1, 2, 1, 1, 0, 4}));
    EXPECT_EQ(read_frame(nullptr, stream, nullptr), ERROR_CANNOT_OPEN);
    fclose(stream);
    free_frame_runs(frame);
}

struct BrokenFile {
    const char *what;
    std::vector<int32_t> values;
    int frame;   // the frame the message names, -1 for the header
    size_t cut;  // bytes cut off the end
};

TEST(AnimationFile, BrokenFilesAreRejectedNamingFileAndFrame)
{
    const std::vector<int32_t> good = {4, 2, 2, 2, 1, 2, 1, 1, 0, 4};
    auto two = [&](std::vector<int32_t> second) {
        std::vector<int32_t> values = {2};
        values.insert(values.end(), good.begin(), good.end());
        values.insert(values.end(), second.begin(), second.end());
        return values;
    };
    const BrokenFile cases[] = {
        {"empty file", {}, -1, 0},
        {"negative frame count", {-1}, -1, 0},
        {"implausible frame count", {1000000}, -1, 0},
        {"fewer records than the count", two({}), 1, 0},
        {"ends inside a row", two(good), 1, 2},
        {"negative width", two({-4, 2, 2, 2, 1, 2, 1, 1, 0, 4}), 1, 0},
        {"zero height", two({4, 0, 0}), 1, 0},
        {"huge height", two({4, 70000, 0}), 1, 0},
        {"negative run count", two({4, 2, 2, -1, 4, 1, 0, 4}), 1, 0},
        {"run count beyond the width", two({4, 2, 2, 9, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 1, 0, 4}), 1, 0},
        {"negative run", two({4, 2, 2, 2, 1, 4, -1, 1, 0, 4}), 1, 0},
        {"runs short of the width", two({4, 2, 2, 2, 1, 2, 0, 1, 0, 4}), 1, 0},
        {"runs beyond the width", two({4, 2, 2, 2, 1, 2, 1, 1, 0, 5}), 1, 0},
        {"opaque count beyond the frame", two({4, 2, 9, 2, 1, 2, 1, 1, 0, 4}), 1, 0},
    };
    for (const BrokenFile &broken : cases) {
        std::string bytes = le(broken.values);
        bytes.resize(bytes.size() - broken.cut);
        FILE *stream = stream_of(bytes);
        Animation animation = {};
        Error error;
        EXPECT_NE(read_animation_frames(stream, "broken.anim", &animation, &error), ERROR_NONE) << broken.what;
        fclose(stream);
        EXPECT_EQ(animation.frames, nullptr) << broken.what;
        EXPECT_EQ(error.message.rfind("broken.anim: ", 0), 0u) << broken.what << ": " << error.message;
        if (broken.frame >= 0) {
            EXPECT_NE(error.message.find("frame " + std::to_string(broken.frame)), std::string::npos)
                << broken.what << ": " << error.message;
        }
    }
}

TEST(AnimationFile, FrameBeyondTheWorkingAreaIsRejected)
{
    // Rows of one run take 12 bytes each: a 4-byte count, a 4-byte reference, one run.
    std::vector<int32_t> fits = {1, 1, 33333, 0};
    for (int y = 0; y < 33333; y++) fits.insert(fits.end(), {0, 1});
    std::vector<int32_t> too_big = {1, 1, 33334, 0};
    for (int y = 0; y < 33334; y++) too_big.insert(too_big.end(), {0, 1});

    Animation animation = {};
    Error error;
    FILE *stream = stream_of(le(fits));
    EXPECT_EQ(read_animation_frames(stream, "fits.anim", &animation, &error), ERROR_NONE) << error.message;
    fclose(stream);
    destroy_animation(&animation);

    stream = stream_of(le(too_big));
    EXPECT_NE(read_animation_frames(stream, "big.anim", &animation, &error), ERROR_NONE);
    fclose(stream);
    EXPECT_NE(error.message.find("frame 0: the frame's runs do not fit in the 400000-byte working area"),
              std::string::npos)
        << error.message;
}

TEST(FrameMask, RunsBecomeGreyTransparentPixels)
{
    // Row 0 runs 3, 2, 1; row 1 starts opaque (a run of 0) and ends transparent.
    const uint32_t pixels[12] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xaa, 0xbb, 0xcc};
    std::vector<uint32_t> image(pixels, pixels + 12);
    uint32_t *rows[2] = {image.data(), image.data() + 6};
    int32_t row0[] = {3, 2, 1}, row1[] = {0, 4, 2};
    int32_t counts[] = {2, 2};
    int32_t *runs[] = {row0, row1};
    AnimationFrame frame = {};
    frame.width = 6;
    frame.height = 2;
    frame.run_counts = counts;
    frame.runs = runs;
    apply_frame_mask_rows(rows, 6, 2, &frame);
    const uint32_t G = 0x00808080u;
    const std::vector<uint32_t> expected = {G,           G,           G,           0xff000044u, 0xff000055u, G,
                                            0xff000077u, 0xff000088u, 0xff000099u, 0xff0000aau, G,           G};
    EXPECT_EQ(image, expected);
}

TEST(FrameMask, RunsBeyondTheImageAreIgnored)
{
    std::vector<uint32_t> image(2, 0x01020304u);
    uint32_t *rows[1] = {image.data()};
    int32_t row0[] = {1, 0, 5}, row1[] = {9};
    int32_t counts[] = {2, 0};
    int32_t *runs[] = {row0, row1};
    AnimationFrame frame = {};
    frame.width = 6;
    frame.height = 2;
    frame.run_counts = counts;
    frame.runs = runs;
    apply_frame_mask_rows(rows, 2, 1, &frame);
    EXPECT_EQ(image, (std::vector<uint32_t>{0x00808080u, 0x00808080u}));
}

TEST(FrameName, CountsInTheLastFourCharacters)
{
    const char *cases[][2] = {
        {"frames/0001", "frames/0002"},
        {"frames/0009", "frames/0010"},
        {"frames/0099", "frames/0100"},
        {"frames/0999", "frames/1000"},
        {"frames/9999", "frames/:000"},
        {"shot000a", "shot000b"},
        {"1239", "1240"},
    };
    for (auto &c : cases) {
        char name[32];
        snprintf(name, sizeof name, "%s", c[0]);
        EXPECT_TRUE(next_frame_name(name));
        EXPECT_STREQ(name, c[1]);
    }
    char short_name[] = "009";
    EXPECT_FALSE(next_frame_name(short_name));
    EXPECT_STREQ(short_name, "009");
}

TEST(FrameName, FirstFrameArgumentsSplitIntoASequence)
{
    struct Case {
        const char *name, *second;  // the name given, and the frame after the first ("" when refused)
        bool pattern;
    };
    const Case cases[] = {
        {"frames/ball0000", "frames/ball0001", false},
        {"frames/ball0001.tga", "frames/ball0002.tga", false},
        {"run.2/ball_0009.png", "run.2/ball_0010.png", false},
        {"ball7.png", "ball8.png", false},
        {"ball%04d.png", "ball0001.png", true},
        {"ball%d.png", "ball1.png", true},
        // No sequence: no number at the name's end, a number only in a folder, a broken pattern.
        {"frames/ball.png", "", false},
        {"frames2/ball", "", false},
        {"ball%04x.png", "", false},
        {"ball%d%d.png", "", false},
    };
    for (const Case &c : cases) {
        FrameSequence sequence;
        bool pattern = false;
        Error error;
        ErrorKind kind = parse_frame_sequence(c.name, &sequence, &pattern, &error);
        if (!*c.second) {
            EXPECT_EQ(kind, ERROR_REFUSED) << c.name;
            EXPECT_EQ(error.message.rfind(std::string(c.name) + ": ", 0), 0u) << error.message;
            continue;
        }
        ASSERT_EQ(kind, ERROR_NONE) << c.name << ": " << error.message;
        EXPECT_EQ(pattern, c.pattern) << c.name;
        EXPECT_EQ(frame_sequence_name(&sequence, sequence.first + 1), c.second) << c.name;
    }
}
