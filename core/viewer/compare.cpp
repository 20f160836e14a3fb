#include "orj/core/viewer/compare.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace orj {

// How many of the statistic's lowest values an interval at this confidence
// leaves out at each end: the largest k whose tail P(T <= k - 1) is at most
// half the rest, given the counts of T = 0, 1, ... and their total. *tail
// gets that tail's chance.
static int64_t critical_count(const std::vector<double> &counts, double total, double confidence, double *tail)
{
    double allowed = (1.0 - confidence) / 2.0 * total * (1.0 + 1e-12);
    double below = 0.0;
    int64_t k = 0;
    while (k < (int64_t)counts.size() && below + counts[(size_t)k] <= allowed) below += counts[(size_t)k++];
    *tail = below / total;
    return k;
}

// Counts of the signed-rank statistic for n pairs under no difference: each
// rank's sign is a coin toss.
static std::vector<double> signed_rank_counts(int32_t n)
{
    size_t most = (size_t)n * (size_t)(n + 1) / 2;
    std::vector<double> counts(most + 1, 0.0);
    counts[0] = 1.0;
    for (int32_t rank = 1; rank <= n; rank++)
        for (size_t t = most; t >= (size_t)rank; t--) counts[t] += counts[t - (size_t)rank];
    return counts;
}

// Counts of the Mann-Whitney statistic for sets of m and n, from 0 up to
// half its range: the coefficients of the Gaussian binomial [m + n, m],
// built as the product over i of (1 - q^(n + i)) / (1 - q^i). A coefficient
// depends only on lower ones, so the lower half comes out exact.
static std::vector<double> rank_sum_counts(int32_t m, int32_t n)
{
    size_t half = (size_t)m * (size_t)n / 2;
    std::vector<double> counts(half + 1, 0.0);
    counts[0] = 1.0;
    for (int32_t i = 1; i <= m; i++) {
        size_t shift = (size_t)n + (size_t)i;
        for (size_t k = half; k >= shift && k > 0; k--) counts[k] -= counts[k - shift];
        for (size_t k = (size_t)i; k <= half; k++) counts[k] += counts[k - (size_t)i];
    }
    return counts;
}

static double median_of_sorted(const std::vector<double> &values)
{
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

static bool all_positive(const double *values, int32_t count)
{
    for (int32_t i = 0; i < count; i++)
        if (!(values[i] > 0.0) || !std::isfinite(values[i])) return false;
    return true;
}

// The interval from the sorted estimates of the shift (Walsh averages or
// differences), k of them left out at each end.
static RatioInterval interval_from(const std::vector<double> &sorted, int64_t k, double tail)
{
    RatioInterval interval = {false, std::exp(median_of_sorted(sorted)), 0.0, INFINITY, 1.0};
    if (k < 1) return interval;
    interval.found = true;
    interval.low = std::exp(sorted[(size_t)(k - 1)]);
    interval.high = std::exp(sorted[sorted.size() - (size_t)k]);
    interval.confidence = 1.0 - 2.0 * tail;
    return interval;
}

RatioInterval paired_ratio_interval(const double *a, const double *b, int32_t n, double confidence)
{
    RatioInterval none = {false, 1.0, 0.0, INFINITY, 1.0};
    if (n < 1 || n > COMPARE_MAX_RUNS || !all_positive(a, n) || !all_positive(b, n)) return none;
    std::vector<double> logs((size_t)n);
    for (int32_t i = 0; i < n; i++) logs[(size_t)i] = std::log(b[i]) - std::log(a[i]);
    std::vector<double> walsh;
    walsh.reserve((size_t)n * (size_t)(n + 1) / 2);
    for (size_t i = 0; i < logs.size(); i++)
        for (size_t j = i; j < logs.size(); j++) walsh.push_back((logs[i] + logs[j]) / 2.0);
    std::sort(walsh.begin(), walsh.end());
    double tail = 0.0;
    int64_t k = critical_count(signed_rank_counts(n), std::ldexp(1.0, n), confidence, &tail);
    return interval_from(walsh, k, tail);
}

RatioInterval unpaired_ratio_interval(const double *a, int32_t m, const double *b, int32_t n, double confidence)
{
    RatioInterval none = {false, 1.0, 0.0, INFINITY, 1.0};
    if (m < 1 || n < 1 || m > COMPARE_MAX_RUNS || n > COMPARE_MAX_RUNS || !all_positive(a, m) || !all_positive(b, n))
        return none;
    std::vector<double> differences;
    differences.reserve((size_t)m * (size_t)n);
    for (int32_t i = 0; i < m; i++)
        for (int32_t j = 0; j < n; j++) differences.push_back(std::log(b[j]) - std::log(a[i]));
    std::sort(differences.begin(), differences.end());
    double total = 1.0;  // C(m + n, m)
    for (int32_t i = 1; i <= m; i++) total = total * (double)(n + i) / (double)i;
    double tail = 0.0;
    int64_t k = critical_count(rank_sum_counts(m, n), total, confidence, &tail);
    return interval_from(differences, k, tail);
}

CompareVerdict compare_verdict(const RatioInterval *interval)
{
    if (!interval->found) return VERDICT_NO_DIFFERENCE;
    if (interval->low > 1.0) return VERDICT_FASTER;
    if (interval->high < 1.0) return VERDICT_SLOWER;
    return VERDICT_NO_DIFFERENCE;
}

const char *verdict_name(CompareVerdict verdict)
{
    switch (verdict) {
    case VERDICT_FASTER:
        return "faster";
    case VERDICT_SLOWER:
        return "slower";
    case VERDICT_NO_DIFFERENCE:
        break;
    }
    return "no difference";
}

int compare_setup_of_run(int32_t run)
{
    int32_t pair = run / 2;
    int second = run % 2;
    return pair % 2 == 0 ? second : 1 - second;
}

}  // namespace orj
