/*
** study_statistics.h
** What many simulated days say about one staffing: each day's figures,
** and the mean over days with its 95% Student-t confidence interval.
*/
#pragma once

#include <cstdint>
#include <vector>

#include "simulation.h"

/* One simulated day, as zor_simulator reports it: per station the visits,
** the mean and max wait, and the utilisation (busy server time over
** servers x the time the last service ends); and the mean time a
** customer spends in ZOR. */
struct Day_Figures {
  int32_t Visits[Number_Of_Stations];
  double Mean_Wait[Number_Of_Stations];  // 0 on a day with no visit
  int32_t Max_Wait[Number_Of_Stations];
  double Utilisation[Number_Of_Stations];
  double Mean_Time_In_ZOR;
};

Day_Figures Figures_Of_Day(const Day_Summary& Summary, int32_t Count);

/* The mean of N values and its 95% Student-t interval, mean -/+
** t(0.975, N - 1) s / sqrt(N). Defined only for N >= 2. */
struct Interval {
  double Mean, Low, High;
  int64_t N;
  bool Defined;
};

Interval Student_T_Interval(const std::vector<double>& Values);

/* What the days say about one station at one staffing. */
struct Station_Figures {
  int32_t Servers;
  int64_t Days_Visited;    // days with at least one visit
  Interval Mean_Wait;      // over the days visited, of the day's mean wait
  double Mean_Max_Wait;    // over the days visited
  int32_t Max_Wait;        // the worst wait of all days
  double Utilisation;      // mean over all days
  std::vector<double> Day_Means;
};

Station_Figures Station_Figures_Of(const std::vector<Day_Figures>& Days, int32_t Station, int32_t Servers);

/* The mean time in ZOR over the days, with its interval. */
Interval Time_In_ZOR_Of(const std::vector<Day_Figures>& Days);
