/// @file
/// Comparing two benchmark set-ups from repeated runs: the ratio of their
/// figures with a confidence interval from ranks, the verdict, and the order
/// in which the runs are taken.
///
/// Runs on a shared machine are noisy, drift with its load, and now and then
/// one is disturbed outright. The intervals here assume only that the noise is
/// symmetric about its centre on a log scale (paired runs) or that the two
/// sets differ by a shift on that scale (unpaired ones): no normal
/// distribution, and one disturbed run moves them by one rank, not by its size.
/// Their confidence is exact at every size, where a bootstrap's falls short at
/// a handful of runs.
#pragma once

#include <cstdint>

namespace orj {

/// Limits on the number of runs.
enum {
    /// Pairs needed for a 95 % interval: with five, the most extreme signed
    /// ranks already have a chance of 2/32 = 6.25 %.
    COMPARE_MIN_PAIRS = 6,
    /// Largest sets whose exact rank distribution is computed (counts up to
    /// 2^n and C(m + n, n) stay within a double's range).
    COMPARE_MAX_RUNS = 500,
};

/// The ratio B / A of two set-ups' figures and its confidence interval.
struct RatioInterval {
    bool found;         ///< the runs were enough for an interval at the confidence asked
    double ratio;       ///< the estimate of B / A: the Hodges-Lehmann estimate on the logs (1 for unusable runs)
    double low;         ///< the interval's lower end, as a ratio (0 when not found)
    double high;        ///< the interval's upper end, as a ratio (infinity when not found)
    double confidence;  ///< the interval's exact confidence, at least the one asked
};

/// B / A from n pairs of runs (a[i] and b[i] taken together, all positive):
/// the Wilcoxon signed-rank interval of the log-ratios' centre, from their
/// Walsh averages. confidence is asked for as a share (0.95). Not found when n
/// is below 1 or above COMPARE_MAX_RUNS or a figure is not a positive finite
/// number, nor when n pairs cannot reach the confidence (fewer than
/// COMPARE_MIN_PAIRS at 0.95).
RatioInterval paired_ratio_interval(const double *a, const double *b, int32_t n, double confidence);

/// B / A from m runs of A and n of B taken at other times (all positive): the
/// Mann-Whitney interval of the shift between their logs. Not found, as for
/// paired_ratio_interval, for sets that are empty, too large or hold a figure
/// that is not a positive finite number, or too small for the confidence.
RatioInterval unpaired_ratio_interval(const double *a, int32_t m, const double *b, int32_t n, double confidence);

/// What a comparison concludes about B against A.
enum CompareVerdict {
    VERDICT_NO_DIFFERENCE,  ///< the interval holds 1 (or there is none)
    VERDICT_FASTER,         ///< B is faster: the whole interval lies above 1
    VERDICT_SLOWER,         ///< B is slower: the whole interval lies below 1
};

/// The verdict an interval gives; VERDICT_NO_DIFFERENCE when none was found.
CompareVerdict compare_verdict(const RatioInterval *interval);
/// "no difference", "faster", "slower": static text.
const char *verdict_name(CompareVerdict verdict);

/// Which set-up the run-th run of a comparison (from 0) uses: 0 for A, 1 for
/// B. Runs go in pairs whose order alternates, A B, B A, A B, ..., so that a
/// machine that drifts over the series weighs on both set-ups alike.
int compare_setup_of_run(int32_t run);

}  // namespace orj
