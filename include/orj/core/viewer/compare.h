// Comparing two benchmark set-ups from repeated runs: the ratio of their
// figures with a confidence interval from ranks, the verdict, and the order
// in which the runs are taken.
//
// Runs on a shared machine are noisy, drift with its load, and now and then
// one is disturbed outright. The intervals here assume only that the noise is
// symmetric about its centre on a log scale (paired runs) or that the two
// sets differ by a shift on that scale (unpaired ones): no normal
// distribution, and one disturbed run moves them by one rank, not by its size.
// Their confidence is exact at every size, where a bootstrap's falls short at
// a handful of runs.
#pragma once

#include <cstdint>

namespace orj {

enum {
    // Pairs needed for a 95 % interval: with five, the most extreme signed
    // ranks already have a chance of 2/32 = 6.25 %.
    COMPARE_MIN_PAIRS = 6,
    // Largest sets whose exact rank distribution is computed (counts up to
    // 2^n and C(m + n, n) stay within a double's range).
    COMPARE_MAX_RUNS = 500,
};

struct RatioInterval {
    bool found;         // the runs were enough for an interval at the confidence asked
    double ratio;       // the estimate of B / A: the Hodges-Lehmann estimate on the logs
    double low, high;   // the interval's ends, as ratios
    double confidence;  // the interval's exact confidence, at least the one asked
};

// B / A from n pairs of runs (a[i] and b[i] taken together, all positive):
// the Wilcoxon signed-rank interval of the log-ratios' centre, from their
// Walsh averages.
RatioInterval paired_ratio_interval(const double *a, const double *b, int32_t n, double confidence);

// B / A from m runs of A and n of B taken at other times (all positive): the
// Mann-Whitney interval of the shift between their logs.
RatioInterval unpaired_ratio_interval(const double *a, int32_t m, const double *b, int32_t n, double confidence);

enum CompareVerdict {
    VERDICT_NO_DIFFERENCE,  // the interval holds 1 (or there is none)
    VERDICT_FASTER,         // B is faster: the whole interval lies above 1
    VERDICT_SLOWER,         // B is slower: the whole interval lies below 1
};

CompareVerdict compare_verdict(const RatioInterval *interval);
// "no difference", "faster", "slower".
const char *verdict_name(CompareVerdict verdict);

// Which set-up the run-th run of a comparison (from 0) uses: 0 for A, 1 for
// B. Runs go in pairs whose order alternates, A B, B A, A B, ..., so that a
// machine that drifts over the series weighs on both set-ups alike.
int compare_setup_of_run(int32_t run);

}  // namespace orj
