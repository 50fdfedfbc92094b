/*
** growth_verdict.cpp
** The slope against the reference, and the bands that name a class.
*/
#include "sort_profile/growth_verdict.h"

#include <algorithm>
#include <cmath>

const char* const Growth_Name[Growth_Classes] = {"N", "N log N", "N^2", "N^3"};

namespace {

/* The bands of the slope against an N log N reference. A class's own
** band is wide enough for the drift that caches and noise add; a slope
** between two bands is not called either. */
struct Band {
  double Low, High;  // the slope's range for the class
};
const Band Bands[Growth_Classes] = {{-1e9, -0.2}, {-0.1, 0.4}, {0.6, 1.45}, {1.65, 1e9}};

double Median(std::vector<double> Values) {
  std::sort(Values.begin(), Values.end());
  size_t Middle = Values.size() / 2;
  return Values.size() % 2 ? Values[Middle] : (Values[Middle - 1] + Values[Middle]) / 2;
}

}  // namespace

Growth_Verdict Judge_Growth(const std::vector<Growth_Point>& Points) {
  Growth_Verdict V{false, Growth_N_Log_N, Growth_N_Log_N, "", 0, {}};
  std::vector<double> X, Y;
  for (const Growth_Point& P : Points)
    if (P.N > 0 && P.Sort_Seconds > 0 && P.Reference_Seconds > 0) {
      X.push_back(std::log2(double(P.N)));
      Y.push_back(std::log2(P.Sort_Seconds / P.Reference_Seconds));
    }
  for (size_t I = 1; I < X.size(); I++) V.Step.push_back((Y[I] - Y[I - 1]) / (X[I] - X[I - 1]));
  if (X.size() < Fewest_Sizes) {
    V.Why = "too few sizes to decide (" + std::to_string(X.size()) + " timed, " + std::to_string(Fewest_Sizes) +
            " needed)";
    return V;
  }
  std::vector<double> Slopes;
  for (size_t I = 0; I < X.size(); I++)
    for (size_t J = I + 1; J < X.size(); J++) Slopes.push_back((Y[J] - Y[I]) / (X[J] - X[I]));
  V.Slope = Median(Slopes);
  /* Steps that disagree wildly leave no slope to trust. */
  std::vector<double> Sorted_Steps(V.Step);
  std::sort(Sorted_Steps.begin(), Sorted_Steps.end());
  double Spread = Sorted_Steps[Sorted_Steps.size() * 3 / 4] - Sorted_Steps[Sorted_Steps.size() / 4];
  if (Spread > 1.0) {
    V.Why = "too noisy to decide (the steps' middle half spans " + std::to_string(Spread).substr(0, 4) + ")";
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

std::string Verdict_Words(const Growth_Verdict& V) { return V.Decided ? Growth_Name[V.Class] : V.Why; }
