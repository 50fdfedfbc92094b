/*
** study_statistics.cpp
** Day figures and their intervals. Every sum runs over the days in day
** order, so the figures do not depend on how the days were shared out
** between threads.
*/
#include "study_statistics.h"

#include <algorithm>
#include <cmath>

#include <boost/math/distributions/students_t.hpp>

Day_Figures Figures_Of_Day(const Day_Summary& Summary, int32_t Count) {
  Day_Figures F{};
  for (int32_t S = 0; S < Number_Of_Stations; S++) {
    const Station_Summary& At = Summary.At[S];
    F.Visits[S] = At.Visits;
    F.Mean_Wait[S] = At.Visits > 0 ? double(At.Total_Wait) / At.Visits : 0.0;
    F.Max_Wait[S] = At.Max_Wait;
    double Capacity = double(At.Servers) * Summary.Last_Departure;
    F.Utilisation[S] = Capacity > 0 ? double(At.Busy_Time) / Capacity : 0.0;
  }
  F.Mean_Time_In_ZOR = Count > 0 ? double(Summary.Time_In_ZOR) / Count : 0.0;
  return F;
}

Interval Student_T_Interval(const std::vector<double>& Values) {
  Interval I{0, 0, 0, static_cast<int64_t>(Values.size()), false};
  if (Values.empty()) return I;
  double Sum = 0;
  for (double V : Values) Sum += V;
  I.Mean = I.Low = I.High = Sum / double(I.N);
  if (I.N < 2) return I;
  double Squares = 0;
  for (double V : Values) Squares += (V - I.Mean) * (V - I.Mean);
  double Standard_Error = std::sqrt(Squares / double(I.N - 1) / double(I.N));
  boost::math::students_t Distribution(double(I.N - 1));
  double T = boost::math::quantile(Distribution, 0.975);
  I.Low = I.Mean - T * Standard_Error;
  I.High = I.Mean + T * Standard_Error;
  I.Defined = true;
  return I;
}

Station_Figures Station_Figures_Of(const std::vector<Day_Figures>& Days, int32_t Station, int32_t Servers) {
  Station_Figures F{};
  F.Servers = Servers;
  double Max_Waits = 0, Utilisation = 0;
  for (const Day_Figures& D : Days) {
    Utilisation += D.Utilisation[Station];
    F.Max_Wait = std::max(F.Max_Wait, D.Max_Wait[Station]);
    if (D.Visits[Station] == 0) continue;
    F.Days_Visited++;
    F.Day_Means.push_back(D.Mean_Wait[Station]);
    Max_Waits += D.Max_Wait[Station];
  }
  F.Mean_Wait = Student_T_Interval(F.Day_Means);
  F.Mean_Max_Wait = F.Days_Visited > 0 ? Max_Waits / double(F.Days_Visited) : 0.0;
  F.Utilisation = Days.empty() ? 0.0 : Utilisation / double(Days.size());
  return F;
}

Interval Time_In_ZOR_Of(const std::vector<Day_Figures>& Days) {
  std::vector<double> Means;
  for (const Day_Figures& D : Days) Means.push_back(D.Mean_Time_In_ZOR);
  return Student_T_Interval(Means);
}
