/*
** zor_simulator.cpp
** A reference simulator for the ZOR day: reads ZOR_Binary_In, asks for
** the number of servers at each station, simulates the day and writes
** one results record per customer to ZOR_Binary_Out, the file that
** results_lister lists. It stands outside the kit, in place of the
** simulator a user writes; only the two file layouts bind it.
**
** Every check on the entries and the input comes before ZOR_Binary_Out
** is created, so a failed run never leaves a results file that looks
** like the answer for this day.
*/
#include <cstdint>
#include <cstdio>
#include <vector>

#include "customer_parameters.h"
#include "customer_results.h"
#include "record_io.h"
#include "main_error.h"
#include "read_int32.h"
#include "simulation.h"
#include "zor_files.h"

static constexpr int32_t Max_Customers = 1000000;
static const char* const Station_Name[Number_Of_Stations] = {"LAB", "X_RAY", "EKG"};

static void Ask_Servers(int32_t Servers[Number_Of_Stations]) {
  std::fprintf(stderr, "Enter Number of Servers at each station\n   %d <= S <= %d\n", 1, Max_Servers);
  for (int32_t S = 0; S < Number_Of_Stations; S++) {
    std::fprintf(stderr, "Number of Servers at %s: ", Station_Name[S]);
    if (!Read_Int32(stdin, &Servers[S])) Main_Error(2, "  Number of Servers at %s -- INVALID\n", Station_Name[S]);
    if (Servers[S] < 1 || Servers[S] > Max_Servers)
      Main_Error(3, "  Number of Servers at %s must be\n     %d <= S <= %d\n  Number of Servers at %s: %d\n",
                 Station_Name[S], 1, Max_Servers, Station_Name[S], Servers[S]);
  }
  std::fputs("\n", stderr);
}

/* Reads the whole day, refusing what would make the simulated clock
** meaningless: a negative time, or a day whose instants could pass the
** largest 32-bit value (every instant is bounded by the sum of all the
** file's times). */
static std::vector<Customer_Parameters> Read_Day(std::FILE* In) {
  std::vector<Customer_Parameters> Day;
  int64_t All_Times = 0;
  Customer_Parameters P;
  while (Read_Int32_Record(In, &P, sizeof P)) {
    const int32_t Times[] = {P.Interarrival_Time,    P.Travel_Time_To_LAB, P.LAB_Service_Time,
                             P.Travel_Time_To_X_RAY, P.X_RAY_Service_Time, P.Travel_Time_To_EKG,
                             P.EKG_Service_Time,     P.Travel_Time_To_EXIT};
    for (int32_t T : Times) {
      if (T < 0) Main_Error(4, "  File: %s record %zu holds a negative time: %d\n", ZOR_Binary_In, Day.size() + 1, T);
      All_Times += T;
    }
    if (All_Times > INT32_MAX || Day.size() == Max_Customers)
      Main_Error(5, "  File: %s holds more than %d customers or %d seconds\n", ZOR_Binary_In, Max_Customers,
                 INT32_MAX);
    Day.push_back(P);
  }
  if (std::ferror(In)) Main_Error(1, "  File: %s can not be opened for reading\n", ZOR_Binary_In);
  std::fclose(In);
  return Day;
}

static void Write_Results(const std::vector<Customer_Results>& Results) {
  std::FILE* Out = std::fopen(ZOR_Binary_Out, "wb");
  if (Out == nullptr) Main_Error(6, "  File: %s can not be opened for writing\n", ZOR_Binary_Out);
  for (const Customer_Results& R : Results)
    if (!Write_Int32_Record(Out, &R, sizeof R)) Main_Error(7, "  fwrite failed to file: %s\n", ZOR_Binary_Out);
  if (std::fclose(Out) != 0) Main_Error(7, "  fwrite failed to file: %s\n", ZOR_Binary_Out);
}

static void Print_Summary(int32_t Count, const Day_Summary& Summary) {
  std::printf("Customers simulated: %d\n", Count);
  std::printf("Last service ends at: %d s\n", Summary.Last_Departure);
  std::printf("Station  Servers  Visits  Mean wait  Max wait  Utilisation\n");
  for (int32_t S = 0; S < Number_Of_Stations; S++) {
    const Station_Summary& At = Summary.At[S];
    double Mean_Wait = At.Visits > 0 ? double(At.Total_Wait) / At.Visits : 0.0;
    double Capacity = double(At.Servers) * Summary.Last_Departure;
    double Utilisation = Capacity > 0 ? 100.0 * double(At.Busy_Time) / Capacity : 0.0;
    std::printf("%-7s %8d %7d %8.1f s %7d s %10.1f %%\n", Station_Name[S], At.Servers, At.Visits, Mean_Wait,
                At.Max_Wait, Utilisation);
  }
}

int main() {
  std::FILE* In = Open_Binary_Input(ZOR_Binary_In);
  if (In == nullptr) Main_Error(1, "  File: %s can not be opened for reading\n", ZOR_Binary_In);
  int32_t Servers[Number_Of_Stations];
  Ask_Servers(Servers);
  std::vector<Customer_Parameters> Day = Read_Day(In);

  int32_t Count = static_cast<int32_t>(Day.size());
  std::vector<Customer_Results> Results(Day.size());
  Day_Summary Summary;
  Simulate_Day(Day.data(), Count, Servers, Results.data(), &Summary);
  Write_Results(Results);
  Print_Summary(Count, Summary);
  return 0;
}
