/*
** study_runs.h
** The two questions zor_study answers, over the days of one load: the
** figures of one staffing, and the smallest staffing that meets a target.
*/
#pragma once

#include <cstdint>
#include <vector>

#include "simulator/simulation.h"
#include "study/study_days.h"
#include "study/study_figures.h"

/* Day i of a load is the day workload_maker writes for seed First_Seed + i. */
struct Study_Load {
  int32_t Per_Slot, Days, First_Seed, Threads;
};

struct Staffing_Result {
  Station_Tally At[Number_Of_Stations];
  Mean_Tally Time_In_ZOR;      // of each day's mean time in ZOR, over all days
  double Highest_Day_Mean[Number_Of_Stations];
};

/* Every day at one staffing, each station's waits and utilisation. */
Staffing_Result Run_Staffing(const Study_Load& L, const int32_t Servers[Number_Of_Stations], Progress_Line& P);

/* The days again, counting each station's day means in bins of Width[S]
** from 0 (a last bin takes the rest): for the staffing chart, whose bins
** are known only once the highest day mean is. */
void Count_Day_Means(const Study_Load& L, const int32_t Servers[Number_Of_Stations],
                     const double Width[Number_Of_Stations], std::vector<double> Count[Number_Of_Stations], Progress_Line& P);

/* What a station must reach: a mean wait whose upper 95% bound is at most
** Target_Wait; or, with On_Days (0 < On_Days < 1), a share of days with
** mean wait at most Target_Wait whose lower 95% bound is at least On_Days. */
struct Search_Target {
  double Target_Wait;
  double On_Days;  // negative when not asked for
};

bool Meets(const Station_Figures& F, const Search_Target& T);

struct Search_Result {
  std::vector<Station_Figures> Tried[Number_Of_Stations];  // counts 1, 2, ... up to the chosen
  int32_t Chosen[Number_Of_Stations];                      // 0 where 20 servers are not enough
};

/* Station by station in route order, the smallest count in 1 .. Max_Servers
** that meets the target, with the stations before at their chosen counts
** and those after at Max_Servers, so they cannot slow the station judged. */
Search_Result Run_Search(const Study_Load& L, const Search_Target& T, Progress_Line& P);
