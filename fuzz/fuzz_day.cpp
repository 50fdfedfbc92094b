/*
** fuzz_day.cpp
** ZOR_Binary_In as the simulator and the checker read it, and the model on
** every day it takes: the reader keeps only whole records; a day whose
** times sum to at most 2^31 - 1 always fits the clock, and a refused day
** names an instant past it; on a day that fits, the event model and the
** station-by-station run agree on every customer, and the checker finds
** the reference's own output follows the model. The input's first 12
** bytes choose the servers.
*/
#include <vector>

#include "fuzz/fuzz_check.h"
#include "model_rules/model_rules.h"
#include "simulator/day_input.h"
#include "simulator/station_run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  Fuzz_Input In{Data, Size};
  int32_t Servers[Number_Of_Stations];
  for (int S = 0; S < Number_Of_Stations; S++) Servers[S] = 1 + static_cast<int32_t>(Take_Number(In, 0) % Max_Servers);
  std::string Keep;
  std::FILE* File = Stream_Of(In.Data, In.Size, Keep);
  Day_Reading R = Read_Day_From(File);
  std::fclose(File);
  FUZZ_HOLDS(R.Day.size() <= In.Size / sizeof(Customer_Parameters));
  if (R.Problem == Day_Fits) FUZZ_HOLDS(R.Day.size() == In.Size / sizeof(Customer_Parameters));
  if (R.Problem != Day_Fits || R.Day.size() > 4000) return 0;
  int64_t All_Times = 0;
  for (const Customer_Parameters& P : R.Day) {
    int32_t Times[8];
    Times_Of(P, Times);
    for (int32_t T : Times) {
      FUZZ_HOLDS(T >= 0);
      All_Times += T;
    }
  }

  /* Every instant is bounded by the sum of all times, so a day within it
  ** always fits the clock; one past it may or may not. */
  int32_t Count = static_cast<int32_t>(R.Day.size());
  std::vector<Customer_Results> Events(R.Day.size()), Stations(R.Day.size());
  Day_Summary Event_Summary, Station_Summary_;
  Station_Scratch Scratch;
  Clock_Overrun Overrun = Simulate_Day(R.Day.data(), Count, Servers, Events.data(), &Event_Summary);
  if (All_Times <= INT32_MAX) FUZZ_HOLDS(Overrun.Customer == 0);
  if (Overrun.Customer != 0) {
    FUZZ_HOLDS(Overrun.Instant > INT32_MAX && Overrun.Customer <= Count);
    return 0;
  }
  Simulate_Day_By_Station(R.Day.data(), Count, Servers, Stations.data(), &Station_Summary_, &Scratch);
  FUZZ_HOLDS(Events.empty() ||
             std::memcmp(Events.data(), Stations.data(), Events.size() * sizeof(Customer_Results)) == 0);
  FUZZ_HOLDS(Event_Summary.Last_Departure == Station_Summary_.Last_Departure);

  Results_File Reference{Events, 0, 0};
  FUZZ_HOLDS(Judge_Results(R.Day, Reference, Servers).Follows);
  return 0;
}
