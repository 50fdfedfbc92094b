/*
** day_picture.cpp
** The picture of one day's results: for each station, the customers
** waiting and the servers busy over the day as step lines, and a
** histogram of the waits; the day's figures as text at the top.
**
** Only the results records are read, so the picture shows what the
** simulator wrote, right or wrong: each service starts at its departure
** less the service time in the record, and a wait is that start less the
** arrival. Any values give a picture: times are taken as they are, in 64
** bits, and the chart module keeps every mark inside its panel.
*/
#include "plotter/day_picture.h"

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <utility>
#include <vector>

#include "chart/svg_chart.h"
#include "common/zor_stations.h"

namespace {

struct Plot_Station {
  std::vector<std::pair<int64_t, int>> Waiting, Busy;  // (instant, +1 or -1)
  std::vector<int64_t> Waits;
  int64_t Servers_Seen = 0;  // the highest server number in range 1 .. 99 that the file names
};

/* A station's visit, if the record's own service time says there is one. */
void Add_Visit(Plot_Station& D, int S, const Customer_Results& R) {
  Customer_Parameters P = Parameters_Of(R);
  if (!Visits_Station(P, S)) return;
  int64_t Arrived = Visit_Value(R, S, Arrived_Field), Server = Visit_Value(R, S, Server_Field),
          Departed = Visit_Value(R, S, Departed_Field), Service = Service_Time(P, S);
  int64_t Start = Departed - Service;
  if (Start > Arrived) {
    D.Waiting.push_back({Arrived, +1});
    D.Waiting.push_back({Start, -1});
  }
  if (Departed > Start) {
    D.Busy.push_back({Start, +1});
    D.Busy.push_back({Departed, -1});
  }
  D.Waits.push_back(Start - Arrived);
  if (Server >= 1 && Server <= 99) D.Servers_Seen = std::max(D.Servers_Seen, Server);
}

/* A step function from +1/-1 changes: at one instant the ends come
** before the starts, so a server handed on at once never shows idle. */
int64_t Steps_Of(std::vector<std::pair<int64_t, int>>& Changes, std::vector<double>& X, std::vector<double>& Y) {
  std::sort(Changes.begin(), Changes.end());
  int64_t Level = 0, Highest = 0;
  /* Nobody is counted from the opening, or from the first change if a
  ** simulator wrote times before the opening, so the steps ascend. */
  X.push_back(Changes.empty() ? 0.0 : std::min(0.0, static_cast<double>(Changes.front().first)));
  Y.push_back(0);
  for (size_t I = 0; I < Changes.size(); I++) {
    Level += Changes[I].second;
    if (I + 1 < Changes.size() && Changes[I + 1].first == Changes[I].first) continue;
    X.push_back(static_cast<double>(Changes[I].first));
    Y.push_back(static_cast<double>(Level));
    Highest = std::max(Highest, Level);
  }
  return Highest;
}

struct Day_Figures {
  int64_t Customers, Visits, Max_Wait, Busiest_Count, Busiest_At, First, Last;
  double Mean_Wait;
};

Day_Figures Plot_Figures_Of(const std::vector<Customer_Results>& Day, const Plot_Station At[Number_Of_Stations]) {
  Day_Figures F{};
  F.Customers = static_cast<int64_t>(Day.size());
  double Total_Wait = 0;
  for (int S = 0; S < Number_Of_Stations; S++)
    for (int64_t W : At[S].Waits) {
      F.Visits++;
      Total_Wait += static_cast<double>(W);
      F.Max_Wait = F.Visits == 1 ? W : std::max(F.Max_Wait, W);
    }
  F.Mean_Wait = F.Visits > 0 ? Total_Wait / static_cast<double>(F.Visits) : 0;
  /* The busiest moment: the most customers inside ZOR at once. */
  std::vector<std::pair<int64_t, int>> In_ZOR;
  for (const Customer_Results& R : Day)
    if (R.Time_Departed_ZOR > R.Time_Arrived_ZOR) {
      In_ZOR.push_back({R.Time_Arrived_ZOR, +1});
      In_ZOR.push_back({R.Time_Departed_ZOR, -1});
    }
  std::sort(In_ZOR.begin(), In_ZOR.end());
  int64_t Level = 0;
  for (const auto& [At_Time, Change] : In_ZOR) {
    Level += Change;
    if (Level > F.Busiest_Count) F.Busiest_Count = Level, F.Busiest_At = At_Time;
  }
  F.First = 0;
  F.Last = 0;
  for (const Customer_Results& R : Day) {
    const int32_t Times[] = {R.Time_Arrived_ZOR, R.Time_Departed_ZOR, R.Time_Departed_LAB, R.Time_Departed_X_RAY,
                             R.Time_Departed_EKG};
    for (int32_t T : Times) F.First = std::min<int64_t>(F.First, T), F.Last = std::max<int64_t>(F.Last, T);
  }
  if (F.Last <= F.First) F.Last = F.First + 3600;
  return F;
}

void Clock_Text(char* Text, size_t Size, int64_t Seconds) {
  int64_t Minutes = Seconds / 60;
  std::snprintf(Text, Size, "%s%" PRId64 ":%02" PRId64, Seconds < 0 ? "-" : "", (Minutes < 0 ? -Minutes : Minutes) / 60,
                (Minutes < 0 ? -Minutes : Minutes) % 60);
}

void Draw_Header(std::FILE* Out, const Day_Figures& F) {
  char Line[256], Busiest[32];
  Clock_Text(Busiest, sizeof Busiest, F.Busiest_At);
  Svg_Text(Out, 30, 34, 20, "start", true, "The ZOR day in ZOR_Binary_Out");
  std::snprintf(Line, sizeof Line,
                "Customers: %" PRId64 "  \xC2\xB7  station visits: %" PRId64 "  \xC2\xB7  mean wait %.1f s  \xC2\xB7  max wait %" PRId64
                " s  \xC2\xB7  busiest moment %s (%" PRId64 " inside ZOR)",
                F.Customers, F.Visits, F.Mean_Wait, F.Max_Wait, Busiest, F.Busiest_Count);
  Svg_Text(Out, 30, 60, 14, "start", false, Line);
}

void Draw_Station(std::FILE* Out, int S, Plot_Station& D, const Day_Figures& F, double Top) {
  std::vector<double> Wait_X, Wait_Y, Busy_X, Busy_Y;
  int64_t Most_Waiting = Steps_Of(D.Waiting, Wait_X, Wait_Y);
  int64_t Most_Busy = Steps_Of(D.Busy, Busy_X, Busy_Y);
  double Ceiling = static_cast<double>(std::max<int64_t>({Most_Waiting, Most_Busy, D.Servers_Seen, 1}));
  Chart_Panel Day{70, Top, 740, 190,
                  Chart_Axis{static_cast<double>(F.First), static_cast<double>(F.Last), Labels_Clock,
                             "time from opening (h:mm)"},
                  Chart_Axis{0, Ceiling + 1, Labels_Count, "customers"}};
  double Total = 0, Longest = 0;
  for (int64_t W : D.Waits) Total += static_cast<double>(W), Longest = std::max(Longest, static_cast<double>(W));
  char Title[160];
  std::snprintf(Title, sizeof Title, "%s: visits %zu, mean wait %.1f s, max wait %.0f s", Station_Name[S],
                D.Waits.size(), D.Waits.empty() ? 0.0 : Total / static_cast<double>(D.Waits.size()), Longest);
  Draw_Panel(Out, Day, Title);
  Draw_Steps(Out, Day, Busy_X.data(), Busy_Y.data(), Busy_X.size(), "#2b7bba");
  Draw_Steps(Out, Day, Wait_X.data(), Wait_Y.data(), Wait_X.size(), "#d7301f");
  if (D.Servers_Seen > 0) {
    std::snprintf(Title, sizeof Title, "highest server number: %" PRId64, D.Servers_Seen);
    Draw_Level(Out, Day, static_cast<double>(D.Servers_Seen), "#2b7bba", Title);
  }
  const char* const Names[] = {"servers busy", "customers waiting"};
  const char* const Colours[] = {"#2b7bba", "#d7301f"};
  Draw_Legend(Out, 560, Top - 10, Names, Colours, 1);
  Draw_Legend(Out, 680, Top - 10, Names + 1, Colours + 1, 1);

  /* The histogram of waits, in about twenty bins from 0 (or the least
  ** wait, if the file holds negative ones) to the longest. */
  int64_t Least = 0;
  for (int64_t W : D.Waits) Least = std::min(Least, W);
  double Span = std::max(Longest - static_cast<double>(Least), 1.0);
  double Width = std::max(Nice_Step(Span, 20), 1.0);  // waits are whole seconds
  size_t Bins = static_cast<size_t>(Span / Width) + 1;
  std::vector<double> From(Bins), To(Bins), Count(Bins, 0);
  for (size_t B = 0; B < Bins; B++) From[B] = static_cast<double>(Least) + Width * B, To[B] = From[B] + Width;
  for (int64_t W : D.Waits)
    Count[std::min(Bins - 1, static_cast<size_t>((static_cast<double>(W - Least)) / Width))] += 1;
  double Highest = std::max(1.0, *std::max_element(Count.begin(), Count.end()));
  Chart_Panel Histogram{900, Top, 270, 190, Chart_Axis{From[0], To[Bins - 1], Labels_Count, "wait (s)"},
                        Chart_Axis{0, Highest * 1.1, Labels_Count, "visits"}};
  std::snprintf(Title, sizeof Title, "%s waits", Station_Name[S]);
  Draw_Panel(Out, Histogram, Title);
  Draw_Bars(Out, Histogram, From.data(), To.data(), Count.data(), Bins, "#7a5195");
}

}  // namespace

void Draw_Day_Picture(std::FILE* Out, const std::vector<Customer_Results>& Day) {
  Plot_Station At[Number_Of_Stations];
  for (const Customer_Results& R : Day)
    for (int S = 0; S < Number_Of_Stations; S++) Add_Visit(At[S], S, R);
  Day_Figures Figures = Plot_Figures_Of(Day, At);
  Svg_Begin(Out, 1200, 880);
  Draw_Header(Out, Figures);
  for (int S = 0; S < Number_Of_Stations; S++) Draw_Station(Out, S, At[S], Figures, 110 + 262.0 * S);
  Svg_End(Out);
}
