/*
** study_figures.cpp
** Folding days into figures: sums, intervals, percentiles, shares.
*/
#include "study/study_figures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <boost/math/distributions/beta.hpp>
#include <boost/math/distributions/students_t.hpp>

namespace {

/* Knuth's TwoSum: the rounding error of A + B, exactly. */
void Add(Exact_Sum& S, double Value) {
  double Sum = S.High + Value;
  double Bit = Sum - S.High;
  double Error = (S.High - (Sum - Bit)) + (Value - Bit);
  S.High = Sum;
  S.Low += Error;
}

/* A value and its square, exactly: the square's rounding error by FMA. */
void Add_Square(Exact_Sum& S, double Value) {
  double Square = Value * Value;
  Add(S, Square);
  S.Low += std::fma(Value, Value, -Square);
}

constexpr double Fine_Below = 10.0;        // seconds: bins of 0.01 s up to here
constexpr double Fine_Width = 0.01;
constexpr double Coarse_Ratio = 1.001;     // above: each bin 0.1% wider than the last
constexpr size_t Fine_Bins = 1000;
constexpr size_t Coarse_Bins = 20000;      // up to 10 s x 1.001^20000, about 4.8e9 s

size_t Bin_Of(double Value) {
  if (!(Value > 0)) return 0;
  if (Value < Fine_Below) return std::min(Fine_Bins - 1, static_cast<size_t>(Value / Fine_Width));
  double Steps = std::log(Value / Fine_Below) / std::log(Coarse_Ratio);
  return Fine_Bins + std::min(Coarse_Bins - 1, static_cast<size_t>(Steps));
}

double Middle_Of(size_t Bin) {
  if (Bin < Fine_Bins) return (static_cast<double>(Bin) + 0.5) * Fine_Width;
  double Step = static_cast<double>(Bin - Fine_Bins);
  return Fine_Below * std::pow(Coarse_Ratio, Step + 0.5);
}

}  // namespace

void Fold_Value(Mean_Tally& T, double Value) {
  T.N++;
  T.Sum += Value;
  Add(T.Exact, Value);
  Add_Square(T.Squares, Value);
}

std::string Interval_Text(const Interval& I) {
  char Text[64];
  if (!I.Defined) return "n/a";
  std::snprintf(Text, sizeof Text, "[%.2f, %.2f] s", I.Low, I.High);
  return Text;
}

Interval Interval_Of(const Mean_Tally& T) {
  Interval I{0, 0, 0, T.N, false};
  if (T.N == 0) return I;
  I.Mean = I.Low = I.High = T.Sum / double(T.N);
  if (T.N < 2) return I;
  /* sum of (x - mean)^2 = sum x^2 - (sum x)^2 / N, in twice double
  ** precision: long double carries the pairs without losing their ends. */
  long double Sum = static_cast<long double>(T.Exact.High) + T.Exact.Low;
  long double Squares = static_cast<long double>(T.Squares.High) + T.Squares.Low;
  double Spread = static_cast<double>(std::max<long double>(0, Squares - Sum * Sum / T.N));
  double Standard_Error = std::sqrt(Spread / double(T.N - 1) / double(T.N));
  boost::math::students_t Distribution(double(T.N - 1));
  double Quantile = boost::math::quantile(Distribution, 0.975);
  I.Low = I.Mean - Quantile * Standard_Error;
  I.High = I.Mean + Quantile * Standard_Error;
  I.Defined = true;
  return I;
}

double Percentile_Of(const Day_Mean_Histogram& H, double P) {
  if (H.Total == 0) return 0;
  int64_t Rank = std::max<int64_t>(1, static_cast<int64_t>(std::ceil(P * static_cast<double>(H.Total) - 1e-9)));
  int64_t Seen = 0;
  for (size_t Bin = 0; Bin < H.Count.size(); Bin++)
    if ((Seen += H.Count[Bin]) >= Rank) return Bin == 0 && H.Count[0] > 0 ? 0.0 : Middle_Of(Bin);
  return Middle_Of(H.Count.size() - 1);
}

void Fold_Day(Station_Tally& T, const Station_Day& D) {
  T.Days++;
  T.Sum_Of_Utilisation += D.Utilisation;
  T.Max_Wait = std::max(T.Max_Wait, D.Max_Wait);
  if (D.Visits == 0) return;
  T.Days_Visited++;
  Fold_Value(T.Mean_Wait, D.Mean_Wait);
  T.Sum_Of_Max_Waits += D.Max_Wait;
  if (T.Target >= 0 && D.Mean_Wait <= T.Target) T.Days_Meeting_Target++;
  if (T.Day_Means.Count.empty()) T.Day_Means.Count.assign(Fine_Bins + Coarse_Bins, 0);
  T.Day_Means.Count[Bin_Of(D.Mean_Wait)]++;
  T.Day_Means.Total++;
}

Station_Figures Figures_Of(const Station_Tally& T) {
  Station_Figures F{};
  F.Servers = T.Servers;
  F.Days_Visited = T.Days_Visited;
  F.Mean_Wait = Interval_Of(T.Mean_Wait);
  F.Mean_Max_Wait = T.Days_Visited > 0 ? T.Sum_Of_Max_Waits / double(T.Days_Visited) : 0.0;
  F.Max_Wait = T.Max_Wait;
  F.Utilisation = T.Days > 0 ? T.Sum_Of_Utilisation / double(T.Days) : 0.0;
  for (int P = 0; P < 3; P++) F.Percentile[P] = Percentile_Of(T.Day_Means, Percentile_Share[P]);
  F.Share_Meeting = T.Days_Visited > 0 ? double(T.Days_Meeting_Target) / double(T.Days_Visited) : 1.0;
  F.Share_Lower = Clopper_Pearson_Lower(T.Days_Meeting_Target, T.Days_Visited);
  return F;
}

double Clopper_Pearson_Lower(int64_t K, int64_t N) {
  if (K <= 0 || N <= 0) return 0;
  return boost::math::ibeta_inv(double(K), double(N - K + 1), 0.05);
}
