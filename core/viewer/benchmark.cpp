#include "orj/core/viewer/benchmark.h"

#include <algorithm>
#include <cmath>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "orj/core/base/output_file.h"
#include "orj/core/viewer/playback.h"

namespace orj {

Ramp ramp_create(RampKind kind)
{
    Ramp ramp;
    ramp.kind = kind;
    ramp.phase = RAMP_GROWING;
    ramp.passes = 0;
    ramp.low = 0;
    ramp.high = 0;
    ramp.step = 2;
    ramp.first_search = true;
    ramp.run = 0;
    ramp.run_fitted = false;
    return ramp;
}

static int32_t clamp_count(int64_t count)
{
    return (int32_t)std::min<int64_t>(std::max<int64_t>(count, 1), RAMP_MAX_COPIES);
}

static int32_t grow(Ramp *ramp, int32_t copy_count, double slot_used)
{
    if (ramp->first_search) {
        double growth = RAMP_FIRST_GROWTH;
        if (slot_used > 0.0 && 1.0 / slot_used < growth) growth = std::max(2.0, std::floor(1.0 / slot_used));
        return clamp_count((int64_t)copy_count * (int64_t)growth);
    }
    int32_t next = clamp_count((int64_t)copy_count + ramp->step);
    ramp->step = clamp_count((int64_t)ramp->step * 2);
    return next;
}

static int32_t follow(Ramp *ramp, int32_t copy_count, bool fitted)
{
    ramp->phase = RAMP_FOLLOWING;
    return clamp_count((int64_t)copy_count + (fitted ? 1 : -1));
}

// Bisects between the largest count that fitted and the smallest that missed;
// once they are neighbours the count has settled.
static int32_t narrow(Ramp *ramp, int32_t copy_count, bool fitted)
{
    ramp->phase = RAMP_NARROWING;
    if (fitted) ramp->low = copy_count;
    else ramp->high = copy_count;
    if (ramp->high - ramp->low <= 1) {
        ramp->run = 0;
        return follow(ramp, copy_count, fitted);
    }
    return ramp->low + (ramp->high - ramp->low) / 2;
}

static int32_t ramp_next_linear(Ramp *ramp, int32_t copy_count, bool fitted)
{
    // The first pass's slot began at tick 0, before loading: its miss is not the machine's.
    if (!fitted && ramp->passes > 1) ramp->phase = RAMP_FOLLOWING;
    return (int32_t)((uint32_t)copy_count + (fitted ? 1u : (uint32_t)-1));
}

// One step down, the next one twice as long.
static int32_t shrink(Ramp *ramp, int32_t copy_count)
{
    int32_t next = clamp_count((int64_t)copy_count - ramp->step);
    ramp->step = clamp_count((int64_t)ramp->step * 2);
    return next;
}

static int32_t ramp_growing(Ramp *ramp, int32_t copy_count, bool fitted, double slot_used)
{
    // The first pass at a new largest count pays the renderer's warming up
    // (its first frames compile their state, its larger bins take fresh
    // memory) and may take several times its later time. So the first
    // search's miss must come twice before it bisects.
    if (!fitted && ramp->first_search && ramp->run++ == 0) return copy_count;
    if (!fitted) return narrow(ramp, copy_count, fitted);
    ramp->run = 0;
    ramp->low = copy_count;
    if (copy_count >= RAMP_MAX_COPIES) return follow(ramp, copy_count, fitted);
    return grow(ramp, copy_count, slot_used);
}

static int32_t ramp_shrinking(Ramp *ramp, int32_t copy_count, bool fitted)
{
    if (fitted) return narrow(ramp, copy_count, fitted);
    ramp->high = copy_count;
    if (copy_count <= 1) return follow(ramp, copy_count, fitted);
    return shrink(ramp, copy_count);
}

// One up after a pass that fitted, one down after one that missed; a long
// enough run of either means the capacity has moved, and the search starts
// again from here by doubling steps.
static int32_t ramp_following(Ramp *ramp, int32_t copy_count, bool fitted, double slot_used)
{
    if (ramp->run > 0 && fitted == ramp->run_fitted) {
        ramp->run++;
    } else {
        ramp->run = 1;
        ramp->run_fitted = fitted;
    }
    if (ramp->run < (fitted ? RAMP_SEARCH_UP_RUN : RAMP_SEARCH_DOWN_RUN)) return follow(ramp, copy_count, fitted);

    ramp->run = 0;
    ramp->step = 2;
    ramp->first_search = false;
    if (fitted) {
        if (copy_count >= RAMP_MAX_COPIES) return copy_count;
        ramp->phase = RAMP_GROWING;
        ramp->low = copy_count;
        ramp->high = 0;
        return grow(ramp, copy_count, slot_used);
    }
    if (copy_count <= 1) return 1;
    ramp->phase = RAMP_SHRINKING;
    ramp->low = 0;
    ramp->high = copy_count;
    return shrink(ramp, copy_count);
}

int32_t ramp_next(Ramp *ramp, int32_t copy_count, bool fitted, double slot_used)
{
    ramp->passes++;
    if (ramp->kind == RAMP_LINEAR) return ramp_next_linear(ramp, copy_count, fitted);
    if (ramp->passes == 1) return clamp_count(copy_count);
    switch (ramp->phase) {
    case RAMP_GROWING:
        return ramp_growing(ramp, copy_count, fitted, slot_used);
    case RAMP_SHRINKING:
        return ramp_shrinking(ramp, copy_count, fitted);
    case RAMP_NARROWING:
        return narrow(ramp, copy_count, fitted);
    case RAMP_FOLLOWING:
        break;
    }
    return ramp_following(ramp, copy_count, fitted, slot_used);
}

bool ramp_settled(const Ramp *ramp) { return ramp->phase == RAMP_FOLLOWING; }

CopyCount copy_count_create(RampKind kind, int32_t fixed_copies, PaceKind pace)
{
    CopyCount count;
    count.ramp = ramp_create(kind);
    count.fixed = fixed_copies > 0 ? fixed_copies : 0;
    count.count = fixed_copies > 0 ? fixed_copies : 1;
    count.judged = 0;
    count.pace = pace;
    return count;
}

bool copy_count_judge(CopyCount *count, bool through_camera, int32_t now, int32_t last_tick, float pass_ms)
{
    // Unpaced, no pass waits for a slot: one fits when it takes a slot's time at most.
    bool fitted = count->pace == PACE_NONE ? pass_ms <= 10.0f * SLOT_TICKS : pass_fitted(now, last_tick);
    double slot_used = pass_ms / (10.0 * SLOT_TICKS);
    count->judged++;
    if (count->fixed > 0) return fitted;
    if (count->ramp.kind == RAMP_LINEAR) {
        if (through_camera) count->count = 0;
        count->count = ramp_next(&count->ramp, count->count, fitted, slot_used);
    } else if (!through_camera) {
        count->count = ramp_next(&count->ramp, count->count, fitted, slot_used);
    }
    return fitted;
}

bool copy_count_settled(const CopyCount *count)
{
    return count->fixed > 0 ? count->judged > 1 : ramp_settled(&count->ramp);
}

int32_t copy_count_reported(const CopyCount *count, int32_t passes_shown, bool last_through_camera)
{
    if (passes_shown == 0) return 0;
    if (last_through_camera) return 1;
    return count->count < 1 ? 1 : count->count;
}

double percentile_sorted(const std::vector<double> &sorted, double p)
{
    if (sorted.empty()) return 0.0;
    double rank = std::ceil(p / 100.0 * (double)sorted.size());
    size_t index = rank < 1.0 ? 0 : std::min(sorted.size(), (size_t)rank) - 1;
    return sorted[index];
}

static double median_sorted(const std::vector<double> &sorted)
{
    size_t n = sorted.size();
    if (n == 0) return 0.0;
    return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2.0;
}

// Polygons per second in consecutive one-second windows from start, or the
// part as one window when it is shorter than a second.
static std::vector<double> window_rates(const PassRecord *records, int32_t first, int32_t count, int32_t polygon_count,
                                        double start, double end)
{
    std::vector<double> rates;
    int32_t whole = (int32_t)(end - start);
    if (whole >= 1) {
        int32_t i = first;
        for (int32_t w = 0; w < whole; w++) {
            double window_end = start + w + 1;
            double polygons = 0.0;
            for (; i < count && records[i].end_seconds < window_end; i++)
                polygons += (double)polygon_count * records[i].copies;
            rates.push_back(polygons);
        }
    } else if (end > start) {
        double polygons = 0.0;
        for (int32_t i = first; i < count; i++) polygons += (double)polygon_count * records[i].copies;
        rates.push_back(polygons / (end - start));
    }
    return rates;
}

static void summarize_frames(BenchmarkSummary *summary, const PassRecord *records, int32_t first, int32_t count,
                             double seconds)
{
    std::vector<double> times;
    for (int32_t i = first; i < count; i++) times.push_back(records[i].pass_ms);
    std::sort(times.begin(), times.end());
    if (seconds > 0.0) summary->frames_per_second = (double)times.size() / seconds;
    summary->frame_ms_median = median_sorted(times);
    summary->frame_ms_p95 = percentile_sorted(times, 95.0);
    summary->frame_ms_p99 = percentile_sorted(times, 99.0);
    summary->frame_ms_max = times.empty() ? 0.0 : times.back();
}

BenchmarkSummary summarize_passes(const PassRecord *records, int32_t count, int32_t polygon_count, double run_seconds)
{
    BenchmarkSummary summary = {false, -1.0, 0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, {}};
    double all_polygons = 0.0;
    for (int32_t i = 0; i < count; i++) all_polygons += (double)polygon_count * records[i].copies;
    if (run_seconds > 0.0) summary.measured_polygons_per_second = all_polygons / run_seconds;
    if (count == 0) return summary;

    // The measured part: from the first settled pass on (searches again
    // after a change of load still follow the machine), or all but the first
    // pass (which carries the start-up) when the run never settled.
    int32_t first = 0;
    while (first < count && !records[first].settled) first++;
    summary.settled = first < count;
    if (!summary.settled) first = count > 1 ? 1 : 0;
    double start = first > 0 ? records[first - 1].end_seconds : 0.0;
    double end = records[count - 1].end_seconds;
    if (summary.settled) summary.settled_at_seconds = start;

    summarize_frames(&summary, records, first, count, end - start);
    summary.window_samples = window_rates(records, first, count, polygon_count, start, end);
    if (summary.window_samples.empty()) return summary;

    std::vector<double> rates = summary.window_samples;
    std::sort(rates.begin(), rates.end());
    summary.windows = (int32_t)rates.size();
    summary.polygons_per_second_min = rates.front();
    summary.polygons_per_second_max = rates.back();
    summary.polygons_per_second_median = median_sorted(rates);
    return summary;
}

void format_summary(char *buffer, size_t size, const BenchmarkSummary *summary)
{
    char settled[64];
    if (summary->settled) snprintf(settled, sizeof settled, "settled at %.2f s", summary->settled_at_seconds);
    else snprintf(settled, sizeof settled, "not settled");
    snprintf(buffer, size,
             "%s; polygons/s over %" PRId32
             " one-second windows: median %.0f, min %.0f, max %.0f; %.1f frames/s, frame time median %.2f ms, p95 "
             "%.2f ms",
             settled, summary->windows, summary->polygons_per_second_median, summary->polygons_per_second_min,
             summary->polygons_per_second_max, summary->frames_per_second, summary->frame_ms_median,
             summary->frame_ms_p95);
}

void format_progress(char *buffer, size_t size, double seconds, int32_t copies, double polygons_per_second,
                     bool settled)
{
    snprintf(buffer, size, "viewer: %.0f s, copies %" PRId32 ", %.0f polygons/s, %s", seconds, copies,
             polygons_per_second, settled ? "settled" : "settling");
}

ErrorKind write_trace_csv(const char *path, const PassRecord *records, int32_t count, int32_t polygon_count,
                          Error *error)
{
    std::string text = "pass,seconds,tick,copies,polygons,pass_ms,fitted,settled,polygons_per_second\n";
    // The trailing second [end - 1, end): passes from `oldest` on, their polygons in `window`.
    int32_t oldest = 0;
    double window = 0.0;
    for (int32_t i = 0; i < count; i++) {
        const PassRecord &r = records[i];
        double polygons = (double)polygon_count * r.copies;
        window += polygons;
        while (oldest < i && records[oldest].end_seconds <= r.end_seconds - 1.0)
            window -= (double)polygon_count * records[oldest++].copies;
        // Within the first second: the rate since the start.
        double rate = r.end_seconds >= 1.0 ? window : (r.end_seconds > 0.0 ? window / r.end_seconds : 0.0);
        char row[200];
        snprintf(row, sizeof row, "%" PRId32 ",%.4f,%" PRId32 ",%" PRId32 ",%.0f,%.2f,%d,%d,%.0f\n", i, r.end_seconds,
                 r.tick, r.copies, polygons, (double)r.pass_ms, r.fitted ? 1 : 0, r.settled ? 1 : 0, rate);
        text += row;
    }
    return write_output_file(path, text.data(), text.size(), error);
}

void format_utc_timestamp(char *buffer, size_t size, int64_t epoch_seconds)
{
    time_t when = (time_t)epoch_seconds;
    struct tm utc;
    if (!gmtime_r(&when, &utc) || strftime(buffer, size, "%Y-%m-%dT%H:%M:%SZ", &utc) == 0) {
        if (size) buffer[0] = '\0';
    }
}

}  // namespace orj
