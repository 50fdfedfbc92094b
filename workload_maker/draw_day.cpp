/*
** draw_day.cpp
** One day of ZOR customers from a random stream: the arrival instants,
** sorted, then every customer's travel and service times.
**
** Every program that needs a day draws it here, so a day drawn in memory
** is the day workload_maker writes for the same seed, byte for byte.
*/
#include "draw_day.h"

#include "quick_sort.h"

/* Customer i of slot s gets a base instant spread uniformly over the 12
** minutes centred on the slot's start, moved earlier or later by an
** exponential amount, and never before the day opens. */
static void Generate_Arrival_Times(Random_Stream* Stream, int32_t N, int32_t Arrival_Time[]) {
  for (int32_t I = 1; I <= Number_Of_Time_Slots * N; I++) {
    int32_t Slot = (I - 1) / N;
    double U = Uniform(Stream);
    int32_t Base = static_cast<int32_t>(U * 720.0 + (Time_Slot_Seconds * Slot - 360));
    double W = Uniform(Stream);
    int32_t D = Expo(Stream, 360);
    int32_t T = W < 0.5 ? Base - D : Base + D;
    Arrival_Time[I] = T < 0 ? 0 : T;
  }
}

/* Draws one customer's travel and service times. The order of the draws
** fixes the file for a given seed and must never change. */
static Customer_Parameters Draw_Customer(Random_Stream* Stream, int32_t Interarrival_Time) {
  Customer_Parameters R{};
  R.Interarrival_Time = Interarrival_Time;
  R.Travel_Time_To_LAB = Expo(Stream, 100) + 25;
  double U = Uniform(Stream);
  int32_t E = Expo(Stream, 240);
  R.LAB_Service_Time = static_cast<int32_t>(U * 720.0 + 270.0 + E);
  if (Uniform(Stream) < 0.55) {
    R.Travel_Time_To_X_RAY = Expo(Stream, 200) + 50;
    U = Uniform(Stream);
    E = Expo(Stream, 300);
    R.X_RAY_Service_Time = static_cast<int32_t>(600.0 * U + 720.0 + E);
  }
  if (Uniform(Stream) < 0.3) {
    R.Travel_Time_To_EKG = R.X_RAY_Service_Time > 0 ? Expo(Stream, 75) + 45 : Expo(Stream, 300) + 80;
    U = Uniform(Stream);
    E = Expo(Stream, 200);
    R.EKG_Service_Time = static_cast<int32_t>(800.0 * U + 300.0 + E);
  }
  if (R.X_RAY_Service_Time == 0 && R.EKG_Service_Time == 0)
    R.Travel_Time_To_EXIT = Expo(Stream, 75) + 40;
  else if (R.EKG_Service_Time == 0)
    R.Travel_Time_To_EXIT = Expo(Stream, 150) + 50;
  else
    R.Travel_Time_To_EXIT = Expo(Stream, 200) + 80;
  return R;
}

int32_t Draw_Day(Random_Stream* Stream, int32_t N, Customer_Parameters Day[]) {
  int32_t Total = Number_Of_Time_Slots * N;
  int32_t Arrival_Time[Max_Day_Customers + 1] = {};
  Generate_Arrival_Times(Stream, N, Arrival_Time);
  Quick_Sort(Arrival_Time, 1, Total);
  Arrival_Time[0] = 0;
  for (int32_t K = 0; K < Total; K++)
    Day[K] = Draw_Customer(Stream, K == 0 ? Arrival_Time[0] : Arrival_Time[K] - Arrival_Time[K - 1]);
  return Total;
}
