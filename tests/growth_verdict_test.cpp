// The growth verdict on made-up series, so that the rule is tested apart
// from any clock: what each class gives against a reference of N log N
// with cache cliffs, what noise and a cliff of the routine's own (at a
// power of two or between two) do not change, when the series cannot
// decide, and when more timing could not change the verdict.
#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sort_profile/growth_verdict.h"

namespace {

// The reference: N log N, three times dearer per item past 16 Ki items
// and eight times past 256 Ki, as a list outgrowing the caches is.
double Reference(double N) { return N * std::log2(N) * (N < 16384 ? 1 : N < 262144 ? 3 : 8); }

std::vector<Growth_Point> Series(int64_t Largest, double (*Routine)(double), double Noise = 0, unsigned Seed = 1) {
  std::mt19937 Pick(Seed);
  std::uniform_real_distribution<double> Jitter(1 - Noise, 1 + Noise);
  std::vector<Growth_Point> Points;
  for (int64_t N : Series_Sizes(Largest))
    Points.push_back({N, Routine(double(N)) * Jitter(Pick), Reference(double(N)) * Jitter(Pick)});
  return Points;
}

TEST(Growth_Verdict, SizesDoubleWithOneBetweenEachPowerOfTwo) {
  EXPECT_EQ(Series_Sizes(8192), (std::vector<int64_t>{1024, 1536, 2048, 3072, 4096, 6144, 8192}));
  EXPECT_EQ(Series_Sizes(12287).back(), 8192);
  EXPECT_EQ(Series_Sizes(12288).back(), 12288);
  EXPECT_TRUE(Series_Sizes(1023).empty());
}

TEST(Growth_Verdict, NamesTheClassOrSaysWhyItCannot) {
  struct Case {
    const char* What;
    std::vector<Growth_Point> Points;
    std::string Words;
    bool Settled;  // with a margin of 0.05: more timing could not change the verdict
  };
  const Case Cases[] = {
      {"N log N, with the reference's cliffs", Series(1 << 20, [](double N) { return 1.7 * Reference(N); }),
       "N log N", true},
      {"N log N with cliffs of its own, elsewhere",
       Series(1 << 20, [](double N) { return N * std::log2(N) * (N < 65536 ? 2 : 9); }), "N log N", true},
      {"N log N with a cliff between powers of two (past 96 Ki)",
       Series(1 << 20, [](double N) { return Reference(N) * (N <= 98304 ? 1 : 2.5); }), "N log N", true},
      {"N^2 with a cliff between powers of two (past 12 Ki)",
       Series(1 << 15, [](double N) { return N * N * (N <= 12288 ? 1 : 3); }), "N^2", true},
      {"N log N, 15% noise", Series(1 << 20, [](double N) { return Reference(N); }, 0.15), "N log N", true},
      {"N log N, 15% noise, another draw", Series(1 << 20, [](double N) { return Reference(N); }, 0.15, 7),
       "N log N", true},
      {"N, keeping to the caches", Series(1 << 20, [](double N) { return 40 * N; }), "N", true},
      {"N^2, 20% noise", Series(1 << 15, [](double N) { return N * N * (N < 16384 ? 1 : 3); }, 0.2), "N^2", true},
      {"N^2 over three doublings only", Series(8192, [](double N) { return N * N; }), "N^2", true},
      {"N^3", Series(1 << 13, [](double N) { return N * N * N; }), "N^3", true},
      {"N^1.6, with the reference's cliffs",
       Series(1 << 18, [](double N) { return std::pow(N, 1.6) * Reference(N) / (N * std::log2(N)); }),
       "between N log N and N^2", true},
      {"N log N times n^0.38: inside its band, but near the edge",
       Series(1 << 18, [](double N) { return std::pow(N, 0.38) * Reference(N); }), "N log N", false},
      {"five sizes over two doublings", Series(4096, [](double N) { return N * N; }),
       "too few sizes to decide (5 timed over 2.0 doublings; 4 over 3 needed)", true},
      {"steps all over the place",
       Series(1 << 16, [](double N) { return Reference(N) * (int(std::log2(N)) % 2 ? 8 : 0.125); }),
       "too noisy to decide", false},
  };
  for (const Case& C : Cases) {
    Growth_Verdict V = Judge_Growth(C.Points);
    EXPECT_EQ(Verdict_Words(V).substr(0, C.Words.size()), C.Words) << C.What << ": slope " << V.Slope;
    EXPECT_EQ(V.Step.size(), C.Points.size() - 1) << C.What;
    EXPECT_EQ(Settled_With_Margin(V, 0.05), C.Settled) << C.What << ": slope " << V.Slope << ", spread "
                                                            << V.Spread;
  }
}

// The steps are the evidence a reader looks at for a cliff: the one
// between the two sizes that straddle it stands out, wherever it is.
TEST(Growth_Verdict, TheStepsShowWhereACliffIs) {
  struct Case {
    int64_t Cliff;  // the routine costs three times as much per item above this size
    int64_t Above;  // the size just above it in the series
  };
  for (Case C : {Case{65536, 98304}, Case{98304, 131072}, Case{6144, 8192}}) {
    std::vector<Growth_Point> Points;
    for (int64_t N : Series_Sizes(1 << 20))
      Points.push_back({N, Reference(double(N)) * (N > C.Cliff ? 3 : 1), Reference(double(N))});
    Growth_Verdict V = Judge_Growth(Points);
    size_t Largest = size_t(std::max_element(V.Step.begin(), V.Step.end()) - V.Step.begin());
    EXPECT_EQ(Points[Largest + 1].N, C.Above) << "cliff past " << C.Cliff;
    EXPECT_EQ(Verdict_Words(V), "N log N") << "cliff past " << C.Cliff << ": slope " << V.Slope;
  }
}

}  // namespace
