/*
** day_input.cpp
** The server entries and the day's records, with their refusals.
*/
#include "simulator/day_input.h"

#include "common/main_error.h"
#include "common/read_int32.h"
#include "common/record_io.h"
#include "common/zor_files.h"
#include "common/zor_stations.h"

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
  Day_Reading R{{}, Day_Fits, 0, 0, 0};
  Customer_Parameters P;
  while (Read_Int32_Record(In, &P, sizeof P)) {
    int32_t Times[8];
    Times_Of(P, Times);
    for (int32_t T : Times)
      if (T < 0) {
        R.Problem = Day_Negative_Time, R.Record = R.Day.size() + 1, R.Negative = T;
        return R;
      }
    if (R.Day.size() == Max_Simulated_Customers) {
      R.Problem = Day_Too_Many_Customers;
      return R;
    }
    R.Day.push_back(P);
  }
  if (std::ferror(In)) R.Problem = Day_Unreadable;
  else if (std::fseek(In, 0, SEEK_END) == 0 && std::ftell(In) > 0)
    R.Trailing = static_cast<size_t>(std::ftell(In)) % sizeof(Customer_Parameters);
  return R;
}

std::vector<Customer_Parameters> Read_Day(std::FILE* In) {
  Day_Reading R = Read_Day_From(In);
  switch (R.Problem) {
    case Day_Fits: break;
    case Day_Unreadable: Main_Error(1, "  File: %s can not be opened for reading\n", ZOR_Binary_In);
    case Day_Negative_Time:
      Main_Error(4, "  File: %s record %zu holds a negative time: %d\n", ZOR_Binary_In, R.Record, R.Negative);
    case Day_Too_Many_Customers:
      Main_Error(5, "  File: %s holds more than %d customers\n", ZOR_Binary_In, Max_Simulated_Customers);
  }
  if (R.Trailing > 0)
    std::fprintf(stderr, "Note: %s ends in %zu bytes of a record cut short; the day is its %zu whole record%s\n",
                 ZOR_Binary_In, R.Trailing, R.Day.size(), R.Day.size() == 1 ? "" : "s");
  std::fclose(In);
  return R.Day;
}

void Refuse_Past_The_Clock(const Clock_Overrun& Overrun) {
  if (Overrun.Customer == 0) return;
  const char* const Event[] = {"arrive at", "start at", "leave", "leave"};
  const char* Place = Overrun.Place == Trace_ZOR ? "ZOR" : Station_Name[Overrun.Place];
  Main_Error(5,
             "  File: %s holds a day past the clock: customer %d would %s %s at %lld s,\n"
             "  later than %d s (2^31 - 1), the last instant ZOR_Binary_Out can hold\n",
             ZOR_Binary_In, Overrun.Customer, Event[Overrun.Kind], Place, static_cast<long long>(Overrun.Instant),
             INT32_MAX);
}

void Refuse_Day_Past_The_Clock(const std::vector<Customer_Parameters>& Day,
                               const int32_t Servers[Number_Of_Stations]) {
  Day_Summary Summary;
  Refuse_Past_The_Clock(Simulate_Day(Day.data(), static_cast<int32_t>(Day.size()), Servers, nullptr, &Summary));
}
