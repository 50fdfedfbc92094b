// The growth verdict on made-up series, so that the rule is tested apart
// from any clock: what each class gives against a reference of N log N
// with a cache cliff, what noise and a cliff of the routine's own do not
// change, and when the series cannot decide.
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
  for (int64_t N = 1024; N <= Largest; N *= 2)
    Points.push_back({N, Routine(double(N)) * Jitter(Pick), Reference(double(N)) * Jitter(Pick)});
  return Points;
}

TEST(Growth_Verdict, NamesTheClassOrSaysWhyItCannot) {
  struct Case {
    const char* What;
    std::vector<Growth_Point> Points;
    std::string Words;
  };
  const Case Cases[] = {
      {"N log N, with the reference's cliffs", Series(1 << 20, [](double N) { return 1.7 * Reference(N); }),
       "N log N"},
      {"N log N with cliffs of its own, elsewhere",
       Series(1 << 20, [](double N) { return N * std::log2(N) * (N < 65536 ? 2 : 9); }), "N log N"},
      {"N log N, 15% noise", Series(1 << 20, [](double N) { return Reference(N); }, 0.15), "N log N"},
      {"N, keeping to the caches", Series(1 << 20, [](double N) { return 40 * N; }), "N"},
      {"N^2, 20% noise", Series(1 << 15, [](double N) { return N * N * (N < 16384 ? 1 : 3); }, 0.2), "N^2"},
      {"N^3", Series(1 << 13, [](double N) { return N * N * N; }), "N^3"},
      {"N^1.6, with the reference's cliffs",
       Series(1 << 18, [](double N) { return std::pow(N, 1.6) * Reference(N) / (N * std::log2(N)); }),
       "between N log N and N^2"},
      {"three sizes", Series(4096, [](double N) { return N * N; }), "too few sizes to decide (3 timed, 4 needed)"},
      {"steps all over the place",
       Series(1 << 16, [](double N) { return Reference(N) * (int(std::log2(N)) % 2 ? 8 : 0.125); }),
       "too noisy to decide"},
  };
  for (const Case& C : Cases) {
    Growth_Verdict V = Judge_Growth(C.Points);
    EXPECT_EQ(Verdict_Words(V).substr(0, C.Words.size()), C.Words) << C.What << ": slope " << V.Slope;
    EXPECT_EQ(V.Step.size(), C.Points.size() - 1) << C.What;
  }
}

}  // namespace
