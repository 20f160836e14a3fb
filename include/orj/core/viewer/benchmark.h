/// @file
/// The benchmark's arithmetic: how the grid's copy count settles on what the
/// machine draws in a slot, the record of every pass, the figures drawn from
/// those records, and the lines that show them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "orj/core/base/error.h"

namespace orj {

/// How the grid's copy count moves towards what the machine draws in a slot.
enum RampKind {
    RAMP_GEOMETRIC,  ///< grow fast, bisect, then one up or one down (the default)
    RAMP_LINEAR,     ///< one up or one down after every pass from the start
};

/// How passes are timed.
enum PaceKind {
    PACE_SLOT,  ///< every pass waits for its 40 ms slot (the default)
    PACE_NONE,  ///< passes run back to back; a pass fits when it takes at most a slot's time
};

/// Where a ramp stands in its search (the linear one only grows or follows).
enum RampPhase {
    RAMP_GROWING,    ///< every pass has fitted: the count grows by steps that grow
    RAMP_SHRINKING,  ///< passes keep missing their slot: the count falls by steps that grow
    RAMP_NARROWING,  ///< bisecting between a count that fitted and one that missed
    RAMP_FOLLOWING,  ///< settled: one copy more after a pass that fitted, one less otherwise
};

/// The ramp's constants.
enum {
    /// The first search multiplies the count by 16 while passes fit: 16 rather
    /// than 2 so that growing and bisecting together take about log2(C) + 6
    /// passes instead of 2 log2(C) for a machine that settles at C copies.
    RAMP_FIRST_GROWTH = 16,
    /// Passes in a row with one outcome, while following, after which the
    /// machine's capacity has moved: search again from there, by doubling
    /// steps. Near its capacity a pass fits or not about as a coin falls, so
    /// such runs also come by chance, and the two ways do not cost alike: a
    /// count above the capacity still keeps the machine drawing all the time,
    /// while one below it waits out every slot. Four fits in a row search
    /// upwards at once; a search downwards waits for eight misses (by chance
    /// about once in 250 passes), since chance runs of four would dip the
    /// count well below the capacity now and then (the README has figures).
    RAMP_SEARCH_UP_RUN = 4,
    RAMP_SEARCH_DOWN_RUN = 8,   ///< misses in a row that start a search downwards (see RAMP_SEARCH_UP_RUN)
    RAMP_MAX_COPIES = 1 << 24,  ///< the most copies a count reaches (and the most `--copies` takes)
};

/// The state of the search for the copy count; a plain value, made by
/// ramp_create and moved on by ramp_next.
struct Ramp {
    RampKind kind;      ///< geometric or linear
    RampPhase phase;    ///< where the search stands (the linear ramp: RAMP_FOLLOWING once a pass missed)
    int32_t passes;     ///< passes seen
    int32_t low;        ///< largest count that fitted in this search (0: none)
    int32_t high;       ///< smallest count that missed in this search (0: none)
    int32_t step;       ///< the next step while searching again
    bool first_search;  ///< growing by a factor, not yet by steps
    int32_t run;        ///< passes in a row with the outcome run_fitted, while following
    bool run_fitted;    ///< whether the passes of run fitted
};

/// A ramp that has seen no pass, growing.
Ramp ramp_create(RampKind kind);

/// The count for the next pass, after a pass that drew copy_count copies and
/// did (fitted) or did not fit its slot. slot_used is the share of the slot
/// the pass took (0 when not known): the first search grows by less than 16
/// when a pass already took more than a sixteenth, so that the pass that
/// overshoots stays short (a long pass would miss a key held meanwhile). The
/// linear ramp is one copy up after a pass that fitted and one down after one
/// that did not, with no lower bound; the geometric one ignores the first pass
/// (its slot began before the run, with loading), takes a count to miss in its
/// first search only when it misses twice in a row, and never goes below one
/// copy.
int32_t ramp_next(Ramp *ramp, int32_t copy_count, bool fitted, double slot_used);

/// The count has found the machine's capacity and is following it.
bool ramp_settled(const Ramp *ramp);

/// The grid's copy count through a run, as the viewer drives it: the ramp, or
/// the fixed count of `--copies`.
struct CopyCount {
    Ramp ramp;       ///< the search, unused with a fixed count
    int32_t fixed;   ///< 0: the ramp sets the count; else this many copies every pass
    int32_t count;   ///< copies the grid draws in the next pass (the linear ramp's may fall below 1)
    int32_t judged;  ///< passes judged so far
    PaceKind pace;   ///< how a pass is judged: against its slot, or against a slot's time
};

/// Starts at one copy, or at fixed_copies when that is above 0.
CopyCount copy_count_create(RampKind kind, int32_t fixed_copies, PaceKind pace);

/// Judges the pass that was judged at tick now, whose slot began at last_tick
/// and whose drawing took pass_ms from the slot's start, and sets the next
/// pass's count; returns whether it fitted its slot (unpaced: whether pass_ms
/// was a slot's time, 40 ms, at most). A pass through a camera
/// (through_camera) draws no grid: the geometric ramp leaves the count alone,
/// the linear one counts it as a pass of no copies. A fixed count never changes.
bool copy_count_judge(CopyCount *count, bool through_camera, int32_t now, int32_t last_tick, float pass_ms);

/// Whether the count follows the machine, so that the pass just judged is
/// measured: a fixed count from the second pass on (the first carries the
/// start-up), else while the ramp follows rather than searches.
bool copy_count_settled(const CopyCount *count);

/// The copies the report stands for: none when no pass was shown, one when the
/// last pass went through a camera, else the count as the last pass left it
/// (at least one: copy 0 is always drawn).
int32_t copy_count_reported(const CopyCount *count, int32_t passes_shown, bool last_through_camera);

/// What one pass of a run did, for the summary and the trace.
struct PassRecord {
    double end_seconds;  ///< when the pass's frame had been shown, from the run's start
    float pass_ms;       ///< from the start of the pass's slot to the end of its drawing
    int32_t tick;        ///< ticks from the run's start when the pass was judged
    int32_t copies;      ///< copies drawn
    bool fitted;         ///< the drawing ended within the pass's slot
    bool settled;        ///< the count was following the machine's capacity
};

/// The figures of a run (summarize_passes).
struct BenchmarkSummary {
    bool settled;                         ///< the count settled during the run
    double settled_at_seconds;            ///< start of the settled part; negative when never settled
    int32_t windows;                      ///< one-second windows the figures come from
    double polygons_per_second_median;    ///< polygons drawn per second: the median over those windows
    double polygons_per_second_min;       ///< the slowest window's
    double polygons_per_second_max;       ///< the fastest window's
    double measured_polygons_per_second;  ///< polygons drawn over the whole run / its seconds
    double frames_per_second;             ///< passes of the measured part / its seconds
    double frame_ms_median;               ///< pass_ms of the measured passes: the median
    double frame_ms_p95;                  ///< their 95th percentile (nearest rank)
    double frame_ms_p99;                  ///< their 99th percentile (nearest rank)
    double frame_ms_max;                  ///< the largest
    std::vector<double> window_samples;   ///< polygons per second of each window, in order
};

/// The figures of a run from its count passes, each copy drawing
/// polygon_count polygons, over run_seconds of wall time: over the settled part (from the
/// first settled pass on) or, when the run never settled, over all passes but
/// the first, the polygons drawn per second of wall time in consecutive
/// one-second windows (the part as one window when it is shorter), the passes
/// a second and the passes' times.
BenchmarkSummary summarize_passes(const PassRecord *records, int32_t count, int32_t polygon_count, double run_seconds);

/// "settled at 2.31 s; polygons/s over 8 one-second windows: median M, min A,
/// max B; 24.9 frames/s, frame time median 2.37 ms, p95 2.90 ms" ("not
/// settled; ..." when it did not), cut to fit size bytes.
void format_summary(char *buffer, size_t size, const BenchmarkSummary *summary);

/// The p-th percentile (0 < p <= 100) by nearest rank of values sorted in
/// ascending order: the smallest value at least p % of them do not exceed; 0
/// for none.
double percentile_sorted(const std::vector<double> &sorted, double p);

/// "viewer: 12 s, copies 1523, 3046000 polygons/s, settled" (or "settling"),
/// cut to fit size bytes.
void format_progress(char *buffer, size_t size, double seconds, int32_t copies, double polygons_per_second,
                     bool settled);

/// One CSV row per pass under a header: the pass, its time, copies, polygons,
/// the pass's time in its slot, fitted and settled, and the polygons drawn in
/// the one second of wall time up to the pass's end (from the first full
/// second on). Written through the safe output writer; the error names the
/// file and the system's reason.
ErrorKind write_trace_csv(const char *path, const PassRecord *records, int32_t count, int32_t polygon_count,
                          Error *error);

/// "2026-12-07T12:00:47Z" for a time in seconds since the epoch; "" when it
/// does not fit in size bytes (21 bytes hold it) or the time cannot be shown.
void format_utc_timestamp(char *buffer, size_t size, int64_t epoch_seconds);

}  // namespace orj
