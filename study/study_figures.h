/*
** study_figures.h
** What many simulated days say about one station at one staffing, folded
** one day at a time in day order, so that memory does not grow with the
** number of days and the figures do not depend on how the days were
** shared out between threads.
**
** The mean over days is the plain sum in day order divided by the count,
** as it always was; its 95% Student-t interval takes the spread from sums
** kept in twice double precision, which give the two-pass variance's
** value without keeping the days. Percentiles of the day means come from
** a histogram whose bins are 0.01 s wide below 10 s and 0.1% wide above,
** so a percentile is exact to that resolution.
*/
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/* One day at one station: what the figures are made of. */
struct Station_Day {
  int32_t Visits;
  int32_t Max_Wait;
  double Mean_Wait;    // over the day's visits; 0 on a day with none
  double Utilisation;  // busy server time over servers x the time the last service of the day ends
};

/* A sum in twice double precision (a double and its rounding error). */
struct Exact_Sum {
  double High = 0, Low = 0;
};

/* The mean of values folded in order, and its 95% Student-t interval,
** mean -/+ t(0.975, N - 1) s / sqrt(N); defined for N >= 2. */
struct Mean_Tally {
  int64_t N = 0;
  double Sum = 0;  // in the order folded
  Exact_Sum Exact, Squares;
};

struct Interval {
  double Mean, Low, High;
  int64_t N;
  bool Defined;
};

void Fold_Value(Mean_Tally& T, double Value);
Interval Interval_Of(const Mean_Tally& T);

/* "[low, high] s", or "n/a" for an interval not defined. */
std::string Interval_Text(const Interval& I);

/* Counts of day means in bins, for percentiles. */
struct Day_Mean_Histogram {
  std::vector<uint32_t> Count;
  int64_t Total = 0;
};

/* The smallest bin value with at least a share P (0 < P <= 1) of the
** values at or below it (the nearest-rank percentile), as the bin's middle. */
double Percentile_Of(const Day_Mean_Histogram& H, double P);

/* Everything about one station at one staffing over the days. */
struct Station_Tally {
  int32_t Servers = 0;
  double Target = -1;  // with a service-level target: the wait a day's mean may reach
  int64_t Days = 0, Days_Visited = 0, Days_Meeting_Target = 0;
  Mean_Tally Mean_Wait;
  double Sum_Of_Max_Waits = 0, Sum_Of_Utilisation = 0;
  int32_t Max_Wait = 0;
  Day_Mean_Histogram Day_Means;
};

void Fold_Day(Station_Tally& T, const Station_Day& D);

struct Station_Figures {
  int32_t Servers;
  int64_t Days_Visited;   // days with at least one visit
  Interval Mean_Wait;     // over the days visited, of the day's mean wait
  double Mean_Max_Wait;   // over the days visited
  int32_t Max_Wait;       // the worst wait of all days
  double Utilisation;     // mean over all days
  double Percentile[3];   // the 10th, 50th and 90th percentile of the day means
  double Share_Meeting;   // of the days visited, those whose mean wait is at most the target
  double Share_Lower;     // its one-sided 95% lower Clopper-Pearson bound
};

inline constexpr double Percentile_Share[3] = {0.10, 0.50, 0.90};

Station_Figures Figures_Of(const Station_Tally& T);

/* The one-sided 95% lower Clopper-Pearson bound of a share of K in N. */
double Clopper_Pearson_Lower(int64_t K, int64_t N);
