/*
** draw_day.cpp
** One day of ZOR customers from a random stream: the arrival instants,
** sorted, then every customer's travel and service times.
**
** Every program that needs a day draws it here, so a day drawn in memory
** is the day workload_maker writes for the same seed, byte for byte.
*/
#include "workload_maker/draw_day.h"

#include <algorithm>

#include "workload_maker/fast_draws.h"
#include "workload_maker/quick_sort.h"

namespace {

/* Every draw goes through these two, taking the source as a pointer, so
** the same order of draws serves the exact source (a Random_Stream) and
** the fast one (a State_Batch). */
template <typename Source>
using Uniform_Draw = double (*)(Source*);
template <typename Source>
using Expo_Draw = int32_t (*)(Source*, int Which);

enum Mean { Mean_75, Mean_100, Mean_150, Mean_200, Mean_240, Mean_300, Mean_360 };

int32_t Expo_Exact(Random_Stream* S, int Which) { return Expo(S, Expo_Mean[Which]); }

/* Customer i of slot s gets a base instant spread uniformly over the 12
** minutes centred on the slot's start, moved earlier or later by an
** exponential amount, and never before the day opens. */
template <typename Source, Uniform_Draw<Source> Uniform, Expo_Draw<Source> Expo>
void Generate_Arrival_Times(Source* Stream, int32_t N, int32_t Arrival_Time[]) {
  for (int32_t I = 1; I <= Number_Of_Time_Slots * N; I++) {
    int32_t Slot = (I - 1) / N;
    double U = Uniform(Stream);
    int32_t Base = static_cast<int32_t>(U * 720.0 + (Time_Slot_Seconds * Slot - 360));
    double W = Uniform(Stream);
    int32_t D = Expo(Stream, Mean_360);
    int32_t T = W < 0.5 ? Base - D : Base + D;
    Arrival_Time[I] = T < 0 ? 0 : T;
  }
}

/* Draws one customer's travel and service times. The order of the draws
** fixes the file for a given seed and must never change. */
template <typename Source, Uniform_Draw<Source> Uniform, Expo_Draw<Source> Expo>
Customer_Parameters Draw_Customer(Source* Stream, int32_t Interarrival_Time) {
  Customer_Parameters R{};
  R.Interarrival_Time = Interarrival_Time;
  R.Travel_Time_To_LAB = Expo(Stream, Mean_100) + 25;
  double U = Uniform(Stream);
  int32_t E = Expo(Stream, Mean_240);
  R.LAB_Service_Time = static_cast<int32_t>(U * 720.0 + 270.0 + E);
  if (Uniform(Stream) < 0.55) {
    R.Travel_Time_To_X_RAY = Expo(Stream, Mean_200) + 50;
    U = Uniform(Stream);
    E = Expo(Stream, Mean_300);
    R.X_RAY_Service_Time = static_cast<int32_t>(600.0 * U + 720.0 + E);
  }
  if (Uniform(Stream) < 0.3) {
    R.Travel_Time_To_EKG = R.X_RAY_Service_Time > 0 ? Expo(Stream, Mean_75) + 45 : Expo(Stream, Mean_300) + 80;
    U = Uniform(Stream);
    E = Expo(Stream, Mean_200);
    R.EKG_Service_Time = static_cast<int32_t>(800.0 * U + 300.0 + E);
  }
  if (R.X_RAY_Service_Time == 0 && R.EKG_Service_Time == 0)
    R.Travel_Time_To_EXIT = Expo(Stream, Mean_75) + 40;
  else if (R.EKG_Service_Time == 0)
    R.Travel_Time_To_EXIT = Expo(Stream, Mean_150) + 50;
  else
    R.Travel_Time_To_EXIT = Expo(Stream, Mean_200) + 80;
  return R;
}

void Library_Sort(int32_t Values[], int32_t Left, int32_t Right) {
  if (Left >= 1 && Left < Right) std::sort(Values + Left, Values + Right + 1);
}

/* Any correct ascending sort of the instants gives the same day. */
template <typename Source, Uniform_Draw<Source> Uniform, Expo_Draw<Source> Expo,
          void Sort(int32_t[], int32_t, int32_t)>
int32_t Draw_Day_With(Source* Stream, int32_t N, Customer_Parameters Day[]) {
  int32_t Total = Number_Of_Time_Slots * N;
  int32_t Arrival_Time[Max_Day_Customers + 1] = {};
  Generate_Arrival_Times<Source, Uniform, Expo>(Stream, N, Arrival_Time);
  Sort(Arrival_Time, 1, Total);
  Arrival_Time[0] = 0;
  for (int32_t K = 0; K < Total; K++)
    Day[K] = Draw_Customer<Source, Uniform, Expo>(Stream,
                                                  K == 0 ? Arrival_Time[0] : Arrival_Time[K] - Arrival_Time[K - 1]);
  return Total;
}

}  // namespace

int32_t Draw_Day(Random_Stream* Stream, int32_t N, Customer_Parameters Day[]) {
  return Draw_Day_With<Random_Stream, Uniform, Expo_Exact, Quick_Sort>(Stream, N, Day);
}

int32_t Draw_Day_Fast(Random_Stream* Stream, int32_t N, Customer_Parameters Day[]) {
  Build_Expo_Tables();
  State_Batch Batch = Start_Batch(Stream);
  return Draw_Day_With<State_Batch, Uniform_Fast, Expo_Fast, Library_Sort>(&Batch, N, Day);
}
