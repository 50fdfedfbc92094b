/*
** study_report.cpp
** The tables and the CSV. Each text table ends its rows with the 10th,
** 50th and 90th percentile of the day means, so the spread shows without
** the chart; a service-level target adds the share of days meeting it and
** that share's lower bound, to the tables and at the end of the CSV rows.
*/
#include "study/study_report.h"

#include <cinttypes>
#include <cstdio>
#include <string>

#include "simulator/simulation.h"
#include "workload_maker/draw_day.h"

namespace {

const char CSV_Header[] = "station,servers,days,mean_wait,ci95_low,ci95_high,mean_max_wait,max_wait,utilisation";

std::string Percentiles_Text(const Station_Figures& F) {
  char Text[64];
  std::snprintf(Text, sizeof Text, "  %8.1f %8.1f %8.1f s", F.Percentile[0], F.Percentile[1], F.Percentile[2]);
  return Text;
}

std::string Share_Text(const Station_Figures& F) {
  char Text[64];
  std::snprintf(Text, sizeof Text, "  %9.1f %%  %9.1f %%", 100 * F.Share_Meeting, 100 * F.Share_Lower);
  return Text;
}

void Print_CSV_Row(const char* Station, const Station_Figures& F, bool On_Days) {
  std::printf("%s,%d,%" PRId64 ",%.3f,", Station, F.Servers, F.Days_Visited, F.Mean_Wait.Mean);
  if (F.Mean_Wait.Defined) std::printf("%.3f,%.3f,", F.Mean_Wait.Low, F.Mean_Wait.High);
  else std::printf(",,");
  std::printf("%.3f,%d,%.4f", F.Mean_Max_Wait, F.Max_Wait, F.Utilisation);
  if (On_Days) std::printf(",%.4f,%.4f", F.Share_Meeting, F.Share_Lower);
  std::printf("\n");
}

void Print_Load(const Study_Load& L) {
  std::printf("%d days of %d customers per slot (%d a day), seeds %d .. %d\n", L.Days, L.Per_Slot,
              Number_Of_Time_Slots * L.Per_Slot, L.First_Seed, L.First_Seed + L.Days - 1);
}

}  // namespace

void Print_Staffing(const Study_Load& L, const Staffing_Result& R, bool CSV) {
  Station_Figures F[Number_Of_Stations];
  for (int S = 0; S < Number_Of_Stations; S++) F[S] = Figures_Of(R.At[S]);
  if (CSV) {
    std::printf("%s\n", CSV_Header);
    for (int S = 0; S < Number_Of_Stations; S++) Print_CSV_Row(Station_Name[S], F[S], false);
    return;
  }
  Print_Load(L);
  std::printf("\nStation  Servers  Days    Mean wait  95%% interval of the mean   Mean max wait  Max wait  Utilisation"
              "  Day mean wait: 10%%, 50%%, 90%% of days\n");
  for (int S = 0; S < Number_Of_Stations; S++)
    std::printf("%-7s  %7d  %4" PRId64 "  %9.2f s  %-26s  %11.2f s  %6d s  %9.1f %%%s\n", Station_Name[S], F[S].Servers,
                F[S].Days_Visited, F[S].Mean_Wait.Mean, Interval_Text(F[S].Mean_Wait).c_str(), F[S].Mean_Max_Wait,
                F[S].Max_Wait, 100.0 * F[S].Utilisation, Percentiles_Text(F[S]).c_str());
  Interval In_ZOR = Interval_Of(R.Time_In_ZOR);
  std::printf("\nTime in ZOR: mean %.2f s, 95%% interval %s\n", In_ZOR.Mean, Interval_Text(In_ZOR).c_str());
}

void Print_Search(const Study_Load& L, const Search_Target& T, const Search_Result& R, bool CSV) {
  bool On_Days = T.On_Days >= 0;
  if (CSV) {
    std::printf("%s%s\n", CSV_Header, On_Days ? ",share_meeting_target,share_lower_bound" : "");
    for (int S = 0; S < Number_Of_Stations; S++)
      for (const Station_Figures& F : R.Tried[S]) Print_CSV_Row(Station_Name[S], F, On_Days);
    return;
  }
  if (On_Days)
    std::printf("Target: each station's mean wait at most %.2f s on at least %.1f%% of days (the lower 95%% bound of "
                "the share)\n",
                T.Target_Wait, 100 * T.On_Days);
  else
    std::printf("Target: the upper 95%% bound of each station's mean wait at most %.2f s\n", T.Target_Wait);
  Print_Load(L);
  for (int S = 0; S < Number_Of_Stations; S++) {
    std::printf("\n%s, with", Station_Name[S]);
    for (int Other = 0; Other < Number_Of_Stations; Other++)
      if (Other != S) {
        int32_t Count = Other < S && R.Chosen[Other] > 0 ? R.Chosen[Other] : Max_Servers;
        std::printf(" %s %d%s", Station_Name[Other], Count,
                    Other < S ? (R.Chosen[Other] > 0 ? " (chosen)" : " (not enough)") : "");
      }
    std::printf("\n  Servers  Days    Mean wait  95%% interval of the mean    Day mean wait: 10%%, 50%%, 90%% of days%s\n",
                On_Days ? "  Days meeting  Lower bound" : "");
    for (const Station_Figures& F : R.Tried[S])
      std::printf("  %7d  %4" PRId64 "  %9.2f s  %-26s%s%s%s\n", F.Servers, F.Days_Visited, F.Mean_Wait.Mean,
                  Interval_Text(F.Mean_Wait).c_str(), Percentiles_Text(F).c_str(), On_Days ? Share_Text(F).c_str() : "",
                  F.Servers == R.Chosen[S] ? "  <- chosen" : "");
    if (R.Chosen[S] == 0) {
      if (On_Days)
        std::printf("  %d servers are not enough: the lower bound of the share stays below %.1f%%\n", Max_Servers,
                    100 * T.On_Days);
      else
        std::printf("  %d servers are not enough: the upper bound stays above %.2f s\n", Max_Servers, T.Target_Wait);
    }
  }
  if (R.Chosen[0] > 0 && R.Chosen[1] > 0 && R.Chosen[2] > 0)
    std::printf("\nChosen staffing: LAB %d, X_RAY %d, EKG %d\n", R.Chosen[0], R.Chosen[1], R.Chosen[2]);
  else
    std::printf("\nNo staffing of at most %d servers per station meets the target.\n", Max_Servers);
}
