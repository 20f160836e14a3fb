// Comparing set-ups: the rank intervals' exact levels and their coverage on
// known distributions, and the comparison's order of runs on a model machine
// that drifts and is now and then disturbed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "orj/core/viewer/compare.h"

using namespace orj;

// Draws from fixed seeds with the generator's raw output only, so that every
// standard library gives the same numbers.
struct Noise {
    std::mt19937 generator;
    double uniform() { return ((double)generator() + 0.5) / 4294967296.0; }
    // Laplace (double exponential) of scale s: heavier tails than a normal.
    double laplace(double s)
    {
        double u = uniform() - 0.5;
        return -s * (u < 0 ? -1.0 : 1.0) * std::log(1.0 - 2.0 * std::fabs(u));
    }
};

TEST(CompareInterval, ExactLevelsOfTheRankIntervals)
{
    std::vector<double> a = {100, 100, 100, 100, 100, 100, 100, 100, 100, 100};
    std::vector<double> b = {101, 102, 103, 104, 105, 106, 107, 108, 109, 110};
    // Five pairs cannot reach 95 %: their most extreme outcome has 2/32.
    RatioInterval r = paired_ratio_interval(a.data(), b.data(), 5, 0.95);
    EXPECT_FALSE(r.found);
    EXPECT_EQ(compare_verdict(&r), VERDICT_NO_DIFFERENCE);
    // Six: the smallest and largest log-ratio, at 1 - 2/64.
    r = paired_ratio_interval(a.data(), b.data(), COMPARE_MIN_PAIRS, 0.95);
    ASSERT_TRUE(r.found);
    EXPECT_DOUBLE_EQ(r.confidence, 1.0 - 2.0 / 64.0);
    EXPECT_NEAR(r.low, 1.01, 1e-12);
    EXPECT_NEAR(r.high, 1.06, 1e-12);
    // Ten: P(T <= 8) = 25/1024, so the 9th to the 47th of 55 Walsh averages.
    r = paired_ratio_interval(a.data(), b.data(), 10, 0.95);
    ASSERT_TRUE(r.found);
    EXPECT_DOUBLE_EQ(r.confidence, 1.0 - 50.0 / 1024.0);
    EXPECT_GT(r.ratio, 1.05);
    EXPECT_LT(r.ratio, 1.06);
    EXPECT_EQ(compare_verdict(&r), VERDICT_FASTER);
    // Five against five, unpaired: P(U <= 2) = 4/252; the 3rd to the 23rd of
    // the differences (here 1.01 to 1.05, five of each).
    r = unpaired_ratio_interval(a.data(), 5, b.data(), 5, 0.95);
    ASSERT_TRUE(r.found);
    EXPECT_DOUBLE_EQ(r.confidence, 1.0 - 8.0 / 252.0);
    EXPECT_NEAR(r.low, 1.01, 1e-12);
    EXPECT_NEAR(r.high, 1.05, 1e-12);
    EXPECT_NEAR(r.ratio, 1.03, 1e-12);
    // Figures that are no speed at all give no interval.
    b[2] = 0.0;
    EXPECT_FALSE(paired_ratio_interval(a.data(), b.data(), 10, 0.95).found);
    b[2] = NAN;
    EXPECT_FALSE(unpaired_ratio_interval(a.data(), 10, b.data(), 10, 0.95).found);
    EXPECT_FALSE(paired_ratio_interval(a.data(), b.data(), COMPARE_MAX_RUNS + 1, 0.95).found);
}

// Over many trials of noise about a known ratio, the share of intervals that
// hold it matches their stated confidence: normal noise and heavy-tailed noise alike.
TEST(CompareInterval, CoverageOnKnownDistributions)
{
    const double truth = 1.1;
    const int trials = 2000;
    for (int heavy = 0; heavy < 2; heavy++)
        for (int32_t n : {6, 9, 20}) {
            Noise noise{std::mt19937(1000u + (uint32_t)n + 100u * (uint32_t)heavy)};
            int paired_held = 0, unpaired_held = 0;
            double paired_level = 0.0, unpaired_level = 0.0;
            for (int t = 0; t < trials; t++) {
                std::vector<double> a, b;
                for (int32_t i = 0; i < n; i++) {
                    // Box-Muller for the normal case.
                    double z =
                        std::sqrt(-2.0 * std::log(noise.uniform())) * std::cos(6.283185307179586 * noise.uniform());
                    double e1 = heavy ? noise.laplace(0.1) : 0.1 * z;
                    double e2 = heavy ? noise.laplace(0.1)
                                      : 0.1 * std::sqrt(-2.0 * std::log(noise.uniform())) *
                                            std::cos(6.283185307179586 * noise.uniform());
                    a.push_back(1e6 * std::exp(e1));
                    b.push_back(1e6 * truth * std::exp(e2));
                }
                RatioInterval p = paired_ratio_interval(a.data(), b.data(), n, 0.95);
                RatioInterval u = unpaired_ratio_interval(a.data(), n, b.data(), n, 0.95);
                ASSERT_TRUE(p.found && u.found);
                paired_held += p.low <= truth && truth <= p.high;
                unpaired_held += u.low <= truth && truth <= u.high;
                paired_level = p.confidence;
                unpaired_level = u.confidence;
            }
            EXPECT_GE(paired_level, 0.95);
            EXPECT_NEAR((double)paired_held / trials, paired_level, 0.02) << n << (heavy ? " heavy" : " normal");
            EXPECT_NEAR((double)unpaired_held / trials, unpaired_level, 0.02) << n << (heavy ? " heavy" : " normal");
        }
}

// A model machine: its speed drifts down by 2 % a run over the series (a
// build starting beside it), every run has 8 % noise, and one run in ten is
// disturbed to three quarters of its speed. B draws `gain` times as fast as A.
static CompareVerdict compare_on_model(Noise *noise, double gain, int32_t pairs)
{
    std::vector<double> a((size_t)pairs), b((size_t)pairs);
    for (int32_t run = 0; run < 2 * pairs; run++) {
        int setup = compare_setup_of_run(run);
        double speed = 1e6 * (1.0 - 0.02 * run) * std::exp(noise->laplace(0.08 / std::sqrt(2.0)));
        if (noise->uniform() < 0.1) speed *= 0.75;
        if (setup == 1) speed *= gain;
        (setup == 0 ? a : b)[(size_t)(run / 2)] = speed;
    }
    RatioInterval interval = paired_ratio_interval(a.data(), b.data(), pairs, 0.95);
    return compare_verdict(&interval);
}

TEST(CompareOnModelMachine, AlternatingPairsCancelTheDriftAndFindARealDifference)
{
    // A B, B A, A B, ...: each set-up goes first in every other pair.
    const int expected[] = {0, 1, 1, 0, 0, 1, 1, 0};
    for (int run = 0; run < 8; run++) EXPECT_EQ(compare_setup_of_run(run), expected[run]) << run;

    Noise noise{std::mt19937(20u)};
    int wrong = 0, found = 0, slower = 0;
    const int trials = 400;
    for (int t = 0; t < trials; t++) {
        wrong += compare_on_model(&noise, 1.0, 6) != VERDICT_NO_DIFFERENCE;
        found += compare_on_model(&noise, 1.3, 6) == VERDICT_FASTER;
        slower += compare_on_model(&noise, 1.0 / 1.3, 10) == VERDICT_SLOWER;
    }
    // A against itself: no difference at about the stated rate despite the drift.
    EXPECT_LE(wrong, trials * 6 / 100);
    // 30 % apart is found in most comparisons of six pairs (all six must
    // agree) and nearly all of ten.
    EXPECT_GE(found, trials * 60 / 100);
    EXPECT_GE(slower, trials * 90 / 100);
}
