// The benchmark's arithmetic without a window: the ramp against model
// machines, the figures from pass records, the trace and the JSON report.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "orj/core/viewer/benchmark.h"
#include "orj/core/viewer/options.h"
#include "orj/core/viewer/playback.h"
#include "orj/core/viewer/report_json.h"
#include "tests/support/test_support.h"

using namespace orj;

// A machine on which a pass fits its slot exactly when it draws at most
// capacity copies, and takes a share of the slot in proportion to its copies
// (timed) or does not say (untimed). Runs the ramp until it settles, then
// checks that it stays within one copy of the capacity; returns the passes it
// took to settle, or -1.
static int32_t next_on(Ramp *ramp, int32_t copies, int32_t capacity, bool timed)
{
    return ramp_next(ramp, copies, copies <= capacity, timed ? (copies + 0.5) / (capacity + 1.0) : 0.0);
}

static int settle(Ramp *ramp, int32_t *copies, int32_t capacity, int max_passes, bool timed = false)
{
    int passes = 0;
    while (!ramp_settled(ramp)) {
        if (passes++ >= max_passes) return -1;
        *copies = next_on(ramp, *copies, capacity, timed);
        EXPECT_GE(*copies, 1);
    }
    for (int i = 0; i < 300; i++) {
        *copies = next_on(ramp, *copies, capacity, timed);
        EXPECT_TRUE(*copies >= capacity && *copies <= capacity + 1) << capacity << ": " << *copies;
        EXPECT_TRUE(ramp_settled(ramp));
    }
    return passes;
}

TEST(Ramp, SettlesWithinLog2OfTheCapacityPlusTenOverSixDecades)
{
    for (bool timed : {false, true})
        for (int32_t capacity : {1, 2, 3, 10, 99, 1000, 4097, 65535, 100000, 524289, 999999, 1000000}) {
            Ramp ramp = ramp_create(RAMP_GEOMETRIC);
            int32_t copies = 1, largest = 1;
            // +11: the first search takes its miss only when it comes twice.
            int bound = (int)std::ceil(std::log2((double)capacity)) + 11;
            int passes = 0;
            while (!ramp_settled(&ramp) && passes++ < 1000) {
                copies = next_on(&ramp, copies, capacity, timed);
                largest = std::max(largest, copies);
            }
            EXPECT_LE(passes, bound) << capacity << (timed ? " timed" : "");
            EXPECT_GE(settle(&ramp, &copies, capacity, 0, timed), 0);
            // Timed, no pass overshoots its slot more than twice over.
            if (timed) {
                EXPECT_LE(largest, 2 * capacity + 2) << capacity;
            }
        }
}

TEST(Ramp, FindsTheMachineAgainWhenItsLoadChanges)
{
    Ramp ramp = ramp_create(RAMP_GEOMETRIC);
    int32_t copies = 1;
    ASSERT_GE(settle(&ramp, &copies, 1000, 100), 0);
    // Four times faster, then a tenth: each found again in about twice log2 of the change.
    for (int32_t capacity : {4000, 400}) {
        int passes = 0;
        while (copies > capacity + 1 || copies < capacity) {
            ASSERT_LT(passes++, 60) << capacity;
            copies = next_on(&ramp, copies, capacity, false);
        }
        EXPECT_GE(settle(&ramp, &copies, capacity, 60), 0);
    }
    // A machine that fits nothing stays at one copy: copy 0 is always drawn.
    Ramp slow = ramp_create(RAMP_GEOMETRIC);
    copies = 1;
    for (int i = 0; i < 20; i++) copies = ramp_next(&slow, copies, false, 3.0);
    EXPECT_EQ(copies, 1);
    EXPECT_TRUE(ramp_settled(&slow));
}

TEST(Ramp, LinearIsOneUpOrDownAfterEveryPass)
{
    // Pseudo-random slots and a camera pass now and then, which counts as a
    // pass of no copies: one copy up after a pass that fitted, one down
    // after one that did not, with no lower bound.
    CopyCount count = copy_count_create(RAMP_LINEAR, 0, PACE_SLOT);
    int32_t expected = 1, last_tick = 0;
    uint32_t seed = 12345;
    for (int pass = 0; pass < 500; pass++) {
        seed = seed * 1103515245u + 12345u;
        int32_t now = last_tick + 2 + (int32_t)((seed >> 16) % 5);
        bool camera = (seed >> 8) % 23 == 0;
        bool fitted = copy_count_judge(&count, camera, now, last_tick, 20.0f);
        ASSERT_EQ(fitted, now - last_tick <= SLOT_TICKS) << pass;
        expected = (camera ? 0 : expected) + (fitted ? 1 : -1);
        ASSERT_EQ(count.count, expected) << pass;
        last_tick = now;
    }
    // 100 passes on a fast machine after a slow load: 1, 0, 1, ... 99 copies.
    Ramp ramp = ramp_create(RAMP_LINEAR);
    int32_t copies = 1;
    copies = ramp_next(&ramp, copies, false, 0.0);
    EXPECT_FALSE(ramp_settled(&ramp));  // the first slot began before the run
    for (int pass = 1; pass < 100; pass++) copies = ramp_next(&ramp, copies, true, 0.0);
    EXPECT_EQ(copies, 99);
    EXPECT_FALSE(ramp_settled(&ramp));
    ramp_next(&ramp, copies, false, 0.0);
    EXPECT_TRUE(ramp_settled(&ramp));
}

TEST(CopyCount, CameraPassesLeaveTheGeometricCountAndAFixedCountNeverMoves)
{
    CopyCount count = copy_count_create(RAMP_GEOMETRIC, 0, PACE_SLOT);
    copy_count_judge(&count, false, 50, 0, 500.0f);  // the first pass carries the load
    copy_count_judge(&count, false, 54, 50, 1.0f);
    int32_t grown = count.count;
    EXPECT_GT(grown, 1);
    for (int32_t tick = 54; tick < 100; tick += 9) copy_count_judge(&count, true, tick + 9, tick, 90.0f);
    EXPECT_EQ(count.count, grown);
    EXPECT_EQ(copy_count_reported(&count, 10, true), 1);
    EXPECT_EQ(copy_count_reported(&count, 10, false), grown);
    EXPECT_EQ(copy_count_reported(&count, 0, false), 0);

    // A fixed count is measured from the second pass on, late or not.
    CopyCount fixed = copy_count_create(RAMP_GEOMETRIC, 250, PACE_SLOT);
    EXPECT_FALSE(copy_count_judge(&fixed, false, 50, 0, 500.0f));
    EXPECT_FALSE(copy_count_settled(&fixed));
    EXPECT_TRUE(copy_count_judge(&fixed, false, 54, 50, 10.0f));
    EXPECT_TRUE(copy_count_settled(&fixed));
    copy_count_judge(&fixed, false, 70, 54, 160.0f);
    EXPECT_EQ(fixed.count, 250);

    // Unpaced, a pass fits by its own time, whatever the ticks say.
    CopyCount unpaced = copy_count_create(RAMP_GEOMETRIC, 0, PACE_NONE);
    EXPECT_TRUE(copy_count_judge(&unpaced, false, 90, 0, 40.0f));
    EXPECT_FALSE(copy_count_judge(&unpaced, false, 91, 90, 40.5f));
    EXPECT_TRUE(copy_count_judge(&unpaced, false, 200, 91, 3.0f));
}

// count passes, one every period seconds, the first ending at first_end;
// copies and copies + 1 by turns.
static void add_passes(std::vector<PassRecord> *records, double first_end, double period, int count, int32_t copies,
                       bool settled)
{
    for (int i = 0; i < count; i++) {
        double end = first_end + period * i;
        records->push_back({end, 20.0f, (int32_t)std::lround(100 * end), copies + i % 2, true, settled});
    }
}

TEST(Summary, MedianMinAndMaxOfOneSecondWindowsOverTheSettledPart)
{
    std::vector<PassRecord> records;
    add_passes(&records, 0.03, 0.04, 10, 1, false);    // settling, up to 0.39 s
    add_passes(&records, 0.41, 0.04, 101, 100, true);  // settled, 25 passes a second
    records[60].copies = 1100;                         // 1000 more copies in the third second
    records[20].settled = false;                       // a search again does not end the settled part
    for (int i = 10; i < 111; i++) records[i].pass_ms = (float)(110 - i);  // 100 ms down to 0
    BenchmarkSummary s = summarize_passes(records.data(), (int32_t)records.size(), 2, 4.5);
    EXPECT_TRUE(s.settled);
    EXPECT_NEAR(s.settled_at_seconds, 0.39, 1e-9);
    // 25 passes a window, 2512 or 2513 copies of 2 polygons.
    EXPECT_EQ(s.windows, 4);
    EXPECT_DOUBLE_EQ(s.polygons_per_second_min, 5024);
    EXPECT_DOUBLE_EQ(s.polygons_per_second_median, 5026);
    EXPECT_DOUBLE_EQ(s.polygons_per_second_max, 7024);
    ASSERT_EQ(s.window_samples.size(), 4u);  // in order: the third second drew more
    EXPECT_DOUBLE_EQ(s.window_samples[2], 7024);
    // 101 measured passes from 0.39 s to 4.41 s; their times by nearest rank.
    EXPECT_NEAR(s.frames_per_second, 101 / 4.02, 1e-9);
    EXPECT_EQ(s.frame_ms_median, 50.0);
    EXPECT_EQ(s.frame_ms_p95, 95.0);
    EXPECT_EQ(s.frame_ms_p99, 99.0);
    EXPECT_EQ(s.frame_ms_max, 100.0);
    EXPECT_NEAR(s.measured_polygons_per_second, 2.0 * (15 + 10150 + 1000) / 4.5, 1e-6);

    // Never settled: all but the first pass; shorter than a second: one window.
    records.assign(1, PassRecord{0.5, 500.0f, 50, 1, false, false});
    add_passes(&records, 0.52, 0.04, 10, 10, false);
    s = summarize_passes(records.data(), (int32_t)records.size(), 2, 0.9);
    EXPECT_FALSE(s.settled);
    EXPECT_LT(s.settled_at_seconds, 0.0);
    EXPECT_EQ(s.windows, 1);
    EXPECT_NEAR(s.polygons_per_second_median, 210 / 0.38, 1e-6);

    s = summarize_passes(nullptr, 0, 2, 0.0);
    EXPECT_EQ(s.windows, 0);
    EXPECT_EQ(s.measured_polygons_per_second, 0.0);
}

TEST(Trace, OneRowPerPassWithTheLastSecondsPolygons)
{
    std::vector<PassRecord> records;
    add_passes(&records, 0.01, 0.03, 60, 10, false);
    records[59].settled = true;
    std::string dir = make_temp_dir("trace");
    std::string path = dir + "/trace.csv";
    ASSERT_EQ(write_trace_csv(path.c_str(), records.data(), 60, 3, nullptr), ERROR_NONE);
    std::istringstream text(read_file(path));
    std::string line;
    std::getline(text, line);
    EXPECT_EQ(line, "pass,seconds,tick,copies,polygons,pass_ms,fitted,settled,polygons_per_second");
    std::vector<std::string> rows;
    while (std::getline(text, line)) rows.push_back(line);
    ASSERT_EQ(rows.size(), 60u);
    EXPECT_EQ(rows[0], "0,0.0100,1,10,30,20.00,1,0,3000");  // 30 polygons in the first 0.01 s
    // The second up to 1.78 s: passes 26 to 59, 17 of 10 copies and 17 of 11, 3 polygons each.
    EXPECT_EQ(rows[59], "59,1.7800,178,11,33,20.00,1,1,1071");
    Error error;
    EXPECT_EQ(write_trace_csv((dir + "/no/such/dir.csv").c_str(), records.data(), 60, 3, &error), ERROR_CANNOT_WRITE);
    EXPECT_EQ(error.message, dir + "/no/such/dir.csv: cannot be written: No such file or directory");
}

TEST(ReportJson, EveryFieldWithItsUnitAndTheRunsOptions)
{
    ViewerOptions options;
    std::string error;
    char arg0[] = "viewer", arg1[] = "--seconds=10", arg2[] = "--ramp=linear";
    char *argv[] = {arg0, arg1, arg2};
    ASSERT_EQ(parse_viewer_options(3, argv, &options, &error), OPTIONS_RUN);
    Report report = make_report(2, 1500, 240, 0, 1003);
    BenchmarkSummary summary = {true, 1.25, 8, 3.0e6, 2.5e6, 3.5e6, 2.9e6, 24.5, 2.5, 3.5, 4.5, 9.0, {3.1e6, 2.5e6}};
    ReportRun run = {1500, 2, summary, &options, "llvmpipe", "4.5", "Mesa", "0.1.0", "2026-12-07T12:00:00Z"};
    std::string dir = make_temp_dir("report");
    std::string path = dir + "/report.json";
    ASSERT_EQ(write_report_json(path.c_str(), &report, &run, nullptr), ERROR_NONE);
    nlohmann::json j = nlohmann::json::parse(read_file(path));
    EXPECT_EQ(j["polygons"].get<long long>(), j["copies"].get<long long>() * j["polygon_count"].get<long long>());
    EXPECT_EQ(j["frames"], 240);
    EXPECT_EQ(j["settled"], true);
    EXPECT_EQ(j["settled_at_seconds"], 1.25);
    EXPECT_EQ(j["windows"], 8);
    EXPECT_EQ(j["polygons_per_second_median"], 3.0e6);
    EXPECT_EQ(j["polygons_per_second_min"], 2.5e6);
    EXPECT_EQ(j["polygons_per_second_max"], 3.5e6);
    EXPECT_EQ(j["measured_polygons_per_second"], 2.9e6);
    EXPECT_EQ(j["frames_per_second"], 24.5);
    EXPECT_EQ(j["frame_ms_median"], 2.5);
    EXPECT_EQ(j["frame_ms_p95"], 3.5);
    EXPECT_EQ(j["frame_ms_p99"], 4.5);
    EXPECT_EQ(j["frame_ms_max"], 9.0);
    EXPECT_EQ(j["window_samples"], nlohmann::json::array({3.1e6, 2.5e6}));
    EXPECT_EQ(j["renderer"], "llvmpipe");
    EXPECT_EQ(j["gl_version"], "4.5");
    EXPECT_EQ(j["gl_vendor"], "Mesa");
    EXPECT_EQ(j["engine_version"], "0.1.0");
    EXPECT_EQ(j["timestamp_utc"], "2026-12-07T12:00:00Z");
    EXPECT_EQ(j["options"]["ramp"], "linear");
    EXPECT_EQ(j["options"]["seconds"], 10.0);
    EXPECT_TRUE(j["options"]["passes"].is_null());
    EXPECT_TRUE(j["options"]["copies"].is_null());
    EXPECT_EQ(j["options"]["camera"], 4);

    run.summary.settled = false;
    ASSERT_EQ(write_report_json(path.c_str(), &report, &run, nullptr), ERROR_NONE);
    EXPECT_TRUE(nlohmann::json::parse(read_file(path))["settled_at_seconds"].is_null());
    EXPECT_EQ(write_report_json((dir + "/no/such/dir.json").c_str(), &report, &run, nullptr), ERROR_CANNOT_WRITE);
}

TEST(Benchmark, LinesAndTimestamp)
{
    char text[300];
    format_progress(text, sizeof text, 12.4, 1523, 3046000.4, true);
    EXPECT_STREQ(text, "viewer: 12 s, copies 1523, 3046000 polygons/s, settled");
    BenchmarkSummary summary = {false, -1.0, 3, 10.0, 9.0, 11.0, 10.0, 412.345, 2.371, 2.906, 3.5, 4.0, {}};
    format_summary(text, sizeof text, &summary);
    EXPECT_STREQ(text, "not settled; polygons/s over 3 one-second windows: median 10, min 9, max 11; 412.3 frames/s, "
                       "frame time median 2.37 ms, p95 2.91 ms");
    format_utc_timestamp(text, sizeof text, 1796644847);
    EXPECT_STREQ(text, "2026-12-07T12:00:47Z");
}
