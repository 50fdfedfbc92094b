/*
** day_input.cpp
** The server entries and the day's records, with their refusals.
*/
#include "simulator/day_input.h"

#include "common/main_error.h"
#include "common/read_int32.h"
#include "common/record_io.h"
#include "common/zor_files.h"

void Ask_Servers(int32_t Servers[Number_Of_Stations]) {
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

Day_Reading Read_Day_From(std::FILE* In) {
  Day_Reading R{{}, Day_Fits, 0, 0};
  int64_t All_Times = 0;
  Customer_Parameters P;
  while (Read_Int32_Record(In, &P, sizeof P)) {
    const int32_t Times[] = {P.Interarrival_Time,    P.Travel_Time_To_LAB, P.LAB_Service_Time,
                             P.Travel_Time_To_X_RAY, P.X_RAY_Service_Time, P.Travel_Time_To_EKG,
                             P.EKG_Service_Time,     P.Travel_Time_To_EXIT};
    for (int32_t T : Times) {
      if (T < 0) {
        R.Problem = Day_Negative_Time, R.Record = R.Day.size() + 1, R.Negative = T;
        return R;
      }
      All_Times += T;
    }
    if (All_Times > INT32_MAX || R.Day.size() == Max_Simulated_Customers) {
      R.Problem = Day_Too_Large;
      return R;
    }
    R.Day.push_back(P);
  }
  if (std::ferror(In)) R.Problem = Day_Unreadable;
  return R;
}

std::vector<Customer_Parameters> Read_Day(std::FILE* In) {
  Day_Reading R = Read_Day_From(In);
  switch (R.Problem) {
    case Day_Fits: break;
    case Day_Unreadable: Main_Error(1, "  File: %s can not be opened for reading\n", ZOR_Binary_In);
    case Day_Negative_Time:
      Main_Error(4, "  File: %s record %zu holds a negative time: %d\n", ZOR_Binary_In, R.Record, R.Negative);
    case Day_Too_Large:
      Main_Error(5, "  File: %s holds more than %d customers or %d seconds\n", ZOR_Binary_In, Max_Simulated_Customers,
                 INT32_MAX);
  }
  std::fclose(In);
  return R.Day;
}
