/*
** study_charts.cpp
** The staffing chart and the search chart.
*/
#include "study/study_charts.h"

#include <algorithm>
#include <string>

#include "chart/svg_chart.h"
#include "simulator/simulation.h"

namespace {

/* A row of three panels, one per station, as both charts lay them out. */
Chart_Panel Station_Panel(int S, double Top, Chart_Axis X, Chart_Axis Y) {
  return Chart_Panel{80.0 + 390 * S, Top, 300, 280, X, Y};
}

}  // namespace

double Staffing_Bin_Width(double Highest_Day_Mean, size_t* Bins) {
  double High = std::max(1.0, Highest_Day_Mean);
  double Width = Nice_Step(High, 15);
  *Bins = static_cast<size_t>(High / Width) + 1;
  return Width;
}

void Draw_Staffing(std::FILE* Out, const Study_Load& L, const Staffing_Result& R,
                   const double Width[Number_Of_Stations], const std::vector<double> Count[Number_Of_Stations]) {
  Svg_Begin(Out, 1200, 470);
  char Text[200];
  std::snprintf(Text, sizeof Text, "zor_study: mean wait per day over %d days of %d customers per slot", L.Days,
                L.Per_Slot);
  Svg_Text(Out, 30, 34, 20, "start", true, Text);
  for (int S = 0; S < Number_Of_Stations; S++) {
    size_t Bins = Count[S].size();
    std::vector<double> From(Bins), To(Bins);
    for (size_t B = 0; B < Bins; B++) From[B] = Width[S] * double(B), To[B] = From[B] + Width[S];
    double Most = std::max(1.0, *std::max_element(Count[S].begin(), Count[S].end()));
    Chart_Panel P = Station_Panel(S, 110, Chart_Axis{From[0], To[Bins - 1], Labels_Number, "mean wait of a day (s)"},
                                  Chart_Axis{0, Most * 1.1, Labels_Count, "days"});
    Station_Figures F = Figures_Of(R.At[S]);
    std::snprintf(Text, sizeof Text, "%s, %d servers", Station_Name[S], F.Servers);
    Draw_Panel(Out, P, Text);
    Draw_Bars(Out, P, From.data(), To.data(), Count[S].data(), Bins, "#7a5195");
    std::snprintf(Text, sizeof Text, "mean %.1f s, 95%% interval %s", F.Mean_Wait.Mean, Interval_Text(F.Mean_Wait).c_str());
    Svg_Text(Out, P.Left, P.Top - 26, 12, "start", false, Text);
  }
  Svg_End(Out);
}

void Draw_Search(std::FILE* Out, const Study_Load& L, const Search_Target& T, const Search_Result& R) {
  bool On_Days = T.On_Days >= 0;
  Svg_Begin(Out, 1200, On_Days ? 800 : 470);
  char Text[200];
  if (On_Days)
    std::snprintf(Text, sizeof Text, "zor_study: smallest staffing whose mean wait is at most %.0f s on %.0f%% of days",
                  T.Target_Wait, 100 * T.On_Days);
  else
    std::snprintf(Text, sizeof Text, "zor_study: smallest staffing whose mean wait is at most %.0f s (upper 95%% bound)",
                  T.Target_Wait);
  Svg_Text(Out, 30, 34, 20, "start", true, Text);
  std::snprintf(Text, sizeof Text, "%d days of %d customers per slot; dots are means, whiskers 95%% intervals; a dot on a panel's top edge lies above it", L.Days,
                L.Per_Slot);
  Svg_Text(Out, 30, 58, 13, "start", false, Text);
  for (int S = 0; S < Number_Of_Stations; S++) {
    const std::vector<Station_Figures>& Tried = R.Tried[S];
    Chart_Axis Servers{0.5, double(Tried.empty() ? 1 : Tried.back().Servers) + 0.5, Labels_Count, "servers"};
    /* Waits at too few servers dwarf the rest: the axis stops at a few
    ** times the target, and what lies above is drawn at its top edge. */
    double Top = std::max(T.Target_Wait * 4, 1.0);
    Chart_Panel P = Station_Panel(S, 110, Servers, Chart_Axis{0, Top, Labels_Number, "mean wait (s)"});
    if (R.Chosen[S] > 0) std::snprintf(Text, sizeof Text, "%s: %d servers", Station_Name[S], R.Chosen[S]);
    else std::snprintf(Text, sizeof Text, "%s: %d servers are not enough", Station_Name[S], Max_Servers);
    Draw_Panel(Out, P, Text);
    Draw_Level(Out, P, T.Target_Wait, "#d7301f", "target");
    for (const Station_Figures& F : Tried)
      Draw_Interval(Out, P, F.Servers, F.Mean_Wait.Defined ? F.Mean_Wait.Low : F.Mean_Wait.Mean, F.Mean_Wait.Mean,
                    F.Mean_Wait.Defined ? F.Mean_Wait.High : F.Mean_Wait.Mean, "#2b7bba");
    for (const Station_Figures& F : Tried)
      if (F.Servers == R.Chosen[S] && !On_Days) Draw_Mark(Out, P, F.Servers, F.Mean_Wait.Mean, "#1a9850");
    if (!On_Days) continue;
    /* The share of days meeting the target: the dot is the share seen,
    ** the whisker reaches down to its lower 95% bound, which decides. */
    Chart_Panel Share = Station_Panel(S, 470, Servers, Chart_Axis{0, 100, Labels_Number, "days meeting the target (%)"});
    std::snprintf(Text, sizeof Text, "%s: days meeting it", Station_Name[S]);
    Draw_Panel(Out, Share, Text);
    Draw_Level(Out, Share, 100 * T.On_Days, "#d7301f", "share asked for");
    for (const Station_Figures& F : Tried)
      Draw_Interval(Out, Share, F.Servers, 100 * F.Share_Lower, 100 * F.Share_Meeting, 100 * F.Share_Meeting,
                    "#2b7bba");
    for (const Station_Figures& F : Tried)
      if (F.Servers == R.Chosen[S]) Draw_Mark(Out, Share, F.Servers, 100 * F.Share_Meeting, "#1a9850");
  }
  Svg_End(Out);
}
