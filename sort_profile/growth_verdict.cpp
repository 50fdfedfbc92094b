/*
** growth_verdict.cpp
** The slope against the reference, and the bands that name a class.
*/
#include "sort_profile/growth_verdict.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/statistics.h"

const char* const Growth_Name[Growth_Classes] = {"N", "N log N", "N^2", "N^3"};

namespace {

/* The bands of the slope against an N log N reference. A class's own
** band is wide enough for the drift that caches and noise add; a slope
** between two bands is not called either. */
struct Band {
  double Low, High;  // the slope's range for the class
};
const Band Bands_Of[Growth_Readings][Growth_Classes] = {
    {{-1e9, -0.2}, {-0.1, 0.4}, {0.6, 1.45}, {1.65, 1e9}},
    /* Per item, in the caches, the lists sorted one after another with a
    ** fence between them (sort_worker.cpp), on a busy two-core machine:
    ** fourteen routines on every order, seven times each in one process
    ** (bench/growth_regimes, its bands mode) and three times each through
    ** the judge (bench/growth_verdicts.sh). Linear ones read -0.61 ..
    ** 0.079 (a fixed cost per call makes the time per item fall; 0.079 a
    ** median-of-three quicksort on equal items, linear by its three-way
    ** parting; a natural merge sort on sorted lists at most 0.057). N log
    ** N ones from 0.092 (a bottom-up merge sort, once; the kit's merge
    ** sort on few distinct items, whose comparisons the branch predictor
    ** learns, 0.097 .. 0.185) to 0.53 (a natural merge sort on runs of
    ** 16). N^2 ones from 0.70 (a bubble sort on random items) to 1.29; a
    ** first-node-pivot quicksort, N^2 only on its few distinct values,
    ** 0.48 .. 0.73 on sawtooth, extremes and few-distinct. An N log N
    ** routine whose linear part dwarfs its log n (std::sort between two
    ** walks, on sorted items; a shell sort on few distinct items) reads
    ** as flat as a linear one: at these sizes it is. */
    {{-1e9, 0.075}, {0.085, 0.55}, {0.6, 1.45}, {1.65, 1e9}},
};

/* Doublings that disagree wildly leave no slope to trust. Each size is
** set against the first size at least twice as large, so that sizes
** between the powers of two, nearer each other, do not magnify the noise
** of one measurement: the spread is that of the exponent per doubling. */
constexpr double Noisiest_Spread = 1.0;

double Doubling_Spread(const std::vector<double>& X, const std::vector<double>& Y) {
  std::vector<double> Exponents;
  for (size_t I = 0; I < X.size(); I++)
    for (size_t J = I + 1; J < X.size(); J++)
      if (X[J] - X[I] > 0.99) {
        Exponents.push_back((Y[J] - Y[I]) / (X[J] - X[I]));
        break;
      }
  if (Exponents.empty()) return 0;
  std::sort(Exponents.begin(), Exponents.end());
  return Exponents[Exponents.size() * 3 / 4] - Exponents[Exponents.size() / 4];
}

}  // namespace

std::vector<int64_t> Series_Sizes(int64_t Largest) {
  std::vector<int64_t> Sizes;
  for (int64_t N = First_Series_Size; N <= Largest; N *= 2) Sizes.push_back(N);
  return Sizes;
}

namespace {

Growth_Verdict Judge_Slope(Growth_Reading Reading, const std::vector<double>& X, const std::vector<double>& Y) {
  Growth_Verdict V{Reading, false, Growth_N_Log_N, Growth_N_Log_N, "", 0, 0, {}};
  const Band* Bands = Bands_Of[Reading];
  for (size_t I = 1; I < X.size(); I++) V.Step.push_back((Y[I] - Y[I - 1]) / (X[I] - X[I - 1]));
  double Doublings = X.size() < 2 ? 0 : X.back() - X.front();
  if (X.size() < Fewest_Sizes || Doublings < Fewest_Doublings - 0.01) {
    char Text[160];
    std::snprintf(Text, sizeof Text, "too few sizes to decide (%zu timed over %.1f doublings; %zu over %g needed)",
                  X.size(), Doublings, Fewest_Sizes, Fewest_Doublings);
    V.Why = Text;
    return V;
  }
  std::vector<double> Slopes;
  for (size_t I = 0; I < X.size(); I++)
    for (size_t J = I + 1; J < X.size(); J++) Slopes.push_back((Y[J] - Y[I]) / (X[J] - X[I]));
  V.Slope = Median_Of(Slopes);
  V.Spread = Doubling_Spread(X, Y);
  /* Time per item that falls hides no growth, however unevenly it falls
  ** (a large fixed cost per call, paid off over more items, makes it
  ** fall steeply at first, then level). */
  bool Falls = Reading == Reading_Per_Item && V.Slope < 0;
  if (V.Spread > Noisiest_Spread && !Falls) {
    V.Why = "too noisy to decide (the doublings' middle half spans " + std::to_string(V.Spread).substr(0, 4) + ")";
    return V;
  }
  for (int C = 0; C < Growth_Classes; C++)
    if (V.Slope >= Bands[C].Low && V.Slope <= Bands[C].High) {
      V.Decided = true;
      V.Class = V.Upper = Growth_Class(C);
      return V;
    }
  for (int C = 0; C + 1 < Growth_Classes; C++)
    if (V.Slope > Bands[C].High && V.Slope < Bands[C + 1].Low) {
      V.Class = Growth_Class(C), V.Upper = Growth_Class(C + 1);
      V.Why = std::string("between ") + Growth_Name[C] + " and " + Growth_Name[C + 1];
    }
  return V;
}

}  // namespace

Growth_Verdict Judge_Growth(const std::vector<Growth_Point>& Points) {
  std::vector<double> X, Y;
  for (const Growth_Point& P : Points)
    if (P.N > 0 && P.Sort_Seconds > 0 && P.Reference_Seconds > 0) {
      X.push_back(std::log2(double(P.N)));
      Y.push_back(std::log2(P.Sort_Seconds / P.Reference_Seconds));
    }
  return Judge_Slope(Reading_Against_Reference, X, Y);
}

Growth_Verdict Judge_Growth_Per_Item(const std::vector<Growth_Point>& Points) {
  std::vector<double> X, Y;
  for (const Growth_Point& P : Points)
    if (P.N > 0 && P.Sort_Seconds > 0) {
      X.push_back(std::log2(double(P.N)));
      Y.push_back(std::log2(P.Sort_Seconds));
    }
  return Judge_Slope(Reading_Per_Item, X, Y);
}

bool Settled_With_Margin(const Growth_Verdict& V, double Margin) {
  if (V.Why.rfind("too few sizes", 0) == 0) return true;  // more timing adds no size
  if (V.Spread + Margin > Noisiest_Spread) return false;
  const Band* Bands = Bands_Of[V.Reading];
  /* Where a slope falls: 2C inside band C, 2C + 1 between bands C and C + 1. */
  auto Place = [Bands](double Slope) {
    int At = 0;
    for (int C = 0; C < Growth_Classes; C++) {
      if (Slope >= Bands[C].Low) At = 2 * C;
      if (Slope > Bands[C].High) At = 2 * C + 1;
    }
    return At;
  };
  return Place(V.Slope - Margin) == Place(V.Slope + Margin);
}

std::string Verdict_Words(const Growth_Verdict& V) { return V.Decided ? Growth_Name[V.Class] : V.Why; }

std::string Growth_Bands_Text(Growth_Reading Reading) {
  const Band* Bands = Bands_Of[Reading];
  std::string Text;
  char Band_Text[64];
  for (int C = 0; C < Growth_Classes; C++) {
    if (C == 0) std::snprintf(Band_Text, sizeof Band_Text, "%s below %g", Growth_Name[C], Bands[C].High);
    else if (C + 1 == Growth_Classes) std::snprintf(Band_Text, sizeof Band_Text, "%s above %g", Growth_Name[C], Bands[C].Low);
    else std::snprintf(Band_Text, sizeof Band_Text, "%s %g .. %g", Growth_Name[C], Bands[C].Low, Bands[C].High);
    Text += (C == 0 ? "" : ", ") + std::string(Band_Text);
  }
  return Text;
}
