// The profiler's speed figures, apart from any clock: the ratio to the
// merge sort over every size timed, and what the K and X sweep decides
// from its repeats. The sweep's decision is a pure function of the
// timings, so the same repeats always say the same, and a routine that
// ignores K and X must be told so on any noise a machine gives.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sort_profile/profile_summary.h"
#include "sort_profile/sweep.h"

namespace {

TEST(Speed_Figure, IsTheMedianAndMiddleHalfOfTheRatiosOverEverySize) {
  struct Case {
    const char* Name;
    std::vector<double> Ratios;  // one size's routine time over the reference's, smallest size first
    double Median, Low, High;
  } Cases[] = {
      {"the same at every size", {2, 2, 2, 2, 2}, 2, 2, 2},
      {"growing", {1, 2, 3, 4, 5}, 3, 2, 4},
      // One size the machine was busy for moves the median not at all,
      // where the largest size alone would have given 9.
      {"one wild size, the largest", {1.0, 1.1, 0.9, 1.0, 9.0}, 1.0, 1.0, 1.1},
      {"an even count", {1, 2, 3, 4}, 2.5, 1, 4},
      {"none timed", {}, 0, 0, 0},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    std::vector<Growth_Point> Points;
    int64_t N = 1024;
    for (double R : C.Ratios) Points.push_back({N, R * 0.001 * double(N), 0.001 * double(N)}), N *= 2;
    Middle_Half S = Speed_Figure(Points);
    EXPECT_DOUBLE_EQ(S.Median, C.Median);
    EXPECT_DOUBLE_EQ(S.Low, C.Low);
    EXPECT_DOUBLE_EQ(S.High, C.High);
  }
}

// A pair from its sorts' seconds, or one stopped as slow or wrong.
Pair_Timing Pair(std::vector<double> Seconds) { return Timing_Of(Seconds); }
const Pair_Timing Slow{0, 0, 0, 0, true, false};
const Pair_Timing Wrong{0, 0, 0, 0, false, true};

TEST(Sweep_Decision, NamesABestPairOnlyWhenItIsMeasurablyFaster) {
  const std::vector<double> Ten = {10.0, 10.2, 9.9, 10.1, 10.0}, Also_Ten = {10.1, 9.8, 9.9, 10.3, 9.9},
                            Twenty = {20, 20.5, 19.8, 20.1, 20.2}, Ten_And_A_Half = {10.5, 10.6, 10.4, 10.5, 10.7};
  struct Case {
    const char* Name;
    std::vector<Pair_Timing> Cells;
    Sweep_Outcome Outcome;
    size_t Fastest;
    std::vector<size_t> As_Fast;
  } Cases[] = {
      {"every pair the same", {Pair(Ten), Pair(Also_Ten), Pair(Ten)}, Sweep_No_Difference, 1, {1, 0, 2}},
      {"one pair alone", {Pair(Ten)}, Sweep_No_Difference, 0, {0}},
      {"one twice as fast", {Pair(Twenty), Pair(Ten), Pair(Twenty)}, Sweep_Best, 1, {1}},
      {"two as fast as each other", {Pair(Twenty), Pair(Ten), Pair(Also_Ten)}, Sweep_Fastest_Few, 2, {2, 1}},
      // Apart by their middle halves, but by less than a tenth: no
      // recommendation is worth that.
      {"apart, but by a twentieth", {Pair(Ten_And_A_Half), Pair(Ten)}, Sweep_No_Difference, 1, {1, 0}},
      // Apart by a third, but each pair's sorts spread over a fifth: the
      // noise of the machine, not of K and X.
      {"apart, but within the noise", {Pair({10, 8, 12, 9, 11}), Pair({12.5, 12.2, 14, 15, 13.5})},
       Sweep_No_Difference, 0, {0, 1}},
      {"a pair past the budget is measurably slower", {Pair(Ten), Slow, Pair(Also_Ten)}, Sweep_Fastest_Few, 2, {2, 0}},
      {"one pair sorts, the other is too slow", {Slow, Pair(Ten)}, Sweep_Best, 1, {1}},
      {"wrong pairs take no part", {Wrong, Pair(Ten), Wrong, Pair(Also_Ten)}, Sweep_No_Difference, 3, {3, 1}},
      {"a wrong pair is never the fastest", {Pair(Twenty), Wrong}, Sweep_No_Difference, 0, {0}},
      {"none sorted", {Wrong, Slow}, Sweep_None_Sorted, 0, {}},
      // One sort of the fastest pair caught a busy machine: its middle
      // half, not its range, is what the others are held against.
      {"one wild sort of the best", {Pair({10, 10.1, 9.9, 10, 90}), Pair(Twenty)}, Sweep_Best, 0, {0}},
      // Three of a pair's five sorts met a busy machine: its median says
      // slow, its fastest sort says it is as fast as the rest.
      {"a busy spell on three sorts", {Pair(Ten), Pair({10.1, 15, 16, 10.2, 17}), Pair(Also_Ten)}, Sweep_No_Difference,
       2, {2, 0, 1}},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    Sweep_Finding F = Decide_Sweep(C.Cells);
    EXPECT_EQ(F.Outcome, C.Outcome);
    if (C.Outcome != Sweep_None_Sorted) {
      EXPECT_EQ(F.Fastest, C.Fastest);
    }
    EXPECT_EQ(F.As_Fast, C.As_Fast);
  }
}

// A routine that ignores K and X, on a busy machine: every sort a few
// hundredths either way, and now and then one slowed by a half or more.
// The decision must be "no measurable difference" for every one of many
// sweeps of the default table's size, not for most.
TEST(Sweep_Decision, ARoutineThatIgnoresKAndXMakesNoMeasurableDifferenceEveryTime) {
  std::mt19937 Pick(20261210);
  std::uniform_real_distribution<double> Jitter(0.95, 1.05), Burst(1.3, 2.0), Chance(0, 1);
  constexpr int Sweeps = 300, Pairs = 2 * 11, Repeats = 5;
  int Told = 0;
  for (int Sweep = 0; Sweep < Sweeps; Sweep++) {
    std::vector<Pair_Timing> Cells;
    for (int P = 0; P < Pairs; P++) {
      std::vector<double> Seconds;
      for (int R = 0; R < Repeats; R++) Seconds.push_back(0.05 * Jitter(Pick) * (Chance(Pick) < 0.05 ? Burst(Pick) : 1));
      Cells.push_back(Timing_Of(Seconds));
    }
    Told += Decide_Sweep(Cells).Outcome == Sweep_No_Difference;
  }
  EXPECT_EQ(Told, Sweeps);
}

// And one that does depend on them finds its best pair through the same
// noise: half the time at one X.
TEST(Sweep_Decision, ARoutineThatDependsOnXIsFoundThroughTheNoise) {
  std::mt19937 Pick(7);
  std::uniform_real_distribution<double> Jitter(0.95, 1.05);
  for (int Sweep = 0; Sweep < 50; Sweep++) {
    std::vector<Pair_Timing> Cells;
    for (int P = 0; P < 22; P++) {
      std::vector<double> Seconds;
      for (int R = 0; R < 5; R++) Seconds.push_back((P == 13 ? 0.025 : 0.05) * Jitter(Pick));
      Cells.push_back(Timing_Of(Seconds));
    }
    Sweep_Finding F = Decide_Sweep(Cells);
    EXPECT_EQ(F.Outcome, Sweep_Best);
    EXPECT_EQ(F.Fastest, 13u);
  }
}

}  // namespace
