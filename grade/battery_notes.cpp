/*
** battery_notes.cpp
** The bounds of workload_maker's draws, as a drawn day keeps them: the
** first customer arrives at the opening, each travel and service time
** has a least value (its uniform or fixed part; the exponential part
** only adds), and a skipped station has no travel time either.
*/
#include "grade/battery_notes.h"

#include <cstdio>

#include "workload_maker/draw_day.h"

namespace {

struct Least {
  int32_t Travel_To_LAB = 25, LAB = 270, Travel_To_X_RAY = 50, X_RAY = 720;
  int32_t Travel_To_EKG_After_X_RAY = 45, Travel_To_EKG_After_LAB = 80, EKG = 300;
  int32_t Exit_After_LAB = 40, Exit_After_X_RAY = 50, Exit_After_EKG = 80;
};

std::string Customer_Outside(const Customer_Parameters& P, size_t Number) {
  const Least L;
  char Text[200];
  auto Say = [&](const char* Field, int32_t Value, int32_t Least_Value) {
    std::snprintf(Text, sizeof Text, "customer %zu's %s is %d s; drawn ones are at least %d s", Number, Field, Value,
                  Least_Value);
    return std::string(Text);
  };
  if (P.Travel_Time_To_LAB < L.Travel_To_LAB) return Say("travel time to LAB", P.Travel_Time_To_LAB, L.Travel_To_LAB);
  if (P.LAB_Service_Time < L.LAB) return Say("LAB service time", P.LAB_Service_Time, L.LAB);
  bool X_Ray = P.X_RAY_Service_Time != 0, Ekg = P.EKG_Service_Time != 0;
  auto Skipped = [&](const char* Station, int32_t Travel) {
    std::snprintf(Text, sizeof Text, "customer %zu skips %s but travels %d s to it; drawn ones travel 0 s to a "
                  "station they skip", Number, Station, Travel);
    return std::string(Text);
  };
  if (!X_Ray && P.Travel_Time_To_X_RAY != 0) return Skipped("X_RAY", P.Travel_Time_To_X_RAY);
  if (X_Ray && P.Travel_Time_To_X_RAY < L.Travel_To_X_RAY)
    return Say("travel time to X_RAY", P.Travel_Time_To_X_RAY, L.Travel_To_X_RAY);
  if (X_Ray && P.X_RAY_Service_Time < L.X_RAY) return Say("X_RAY service time", P.X_RAY_Service_Time, L.X_RAY);
  int32_t To_Ekg = X_Ray ? L.Travel_To_EKG_After_X_RAY : L.Travel_To_EKG_After_LAB;
  if (!Ekg && P.Travel_Time_To_EKG != 0) return Skipped("EKG", P.Travel_Time_To_EKG);
  if (Ekg && P.Travel_Time_To_EKG < To_Ekg) return Say("travel time to EKG", P.Travel_Time_To_EKG, To_Ekg);
  if (Ekg && P.EKG_Service_Time < L.EKG) return Say("EKG service time", P.EKG_Service_Time, L.EKG);
  int32_t Exit = Ekg ? L.Exit_After_EKG : X_Ray ? L.Exit_After_X_RAY : L.Exit_After_LAB;
  if (P.Travel_Time_To_EXIT < Exit) return Say("travel time to the exit", P.Travel_Time_To_EXIT, Exit);
  return "";
}

}  // namespace

std::string Why_Not_Drawn(const std::vector<Customer_Parameters>& Day) {
  size_t N = Day.size();
  if (N == 0 || N % Number_Of_Time_Slots != 0 || N > size_t{Max_Day_Customers})
    return std::to_string(N) + " customer" + (N == 1 ? "" : "s") + ": a drawn day has a multiple of " +
           std::to_string(Number_Of_Time_Slots) + ", " + std::to_string(Number_Of_Time_Slots) + " to " +
           std::to_string(Max_Day_Customers);
  if (Day[0].Interarrival_Time != 0)
    return "the first customer arrives " + std::to_string(Day[0].Interarrival_Time) +
           " s after the opening; on a drawn day, at the opening";
  for (size_t C = 0; C < N; C++) {
    std::string Why = Customer_Outside(Day[C], C + 1);
    if (!Why.empty()) return Why;
  }
  return "";
}

std::string Label_Without_Seed(const std::string& What) {
  size_t At = What.find(", seed ");
  if (At == std::string::npos) return What;
  size_t End = What.find(',', At + 1);
  return What.substr(0, At) + (End == std::string::npos ? "" : What.substr(End));
}
