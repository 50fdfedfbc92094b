/*
** shrink.cpp
** Delta debugging over the customers and the server counts.
**
** A failure that only needs a few customers shows on a day of a few
** customers: halves of the day are dropped while the failure stays, then
** quarters, and so on down to single customers; between rounds each
** server count is lowered as far as the failure allows. A program that
** is ended by a limit is tried on far fewer candidates, since
** each such try costs a whole limit.
*/
#include "simulator_checker/shrink.h"

#include <algorithm>

namespace {

/* The day without customers [From, To): the next customer keeps its
** arrival instant by taking over the dropped gaps. */
std::vector<Customer_Parameters> Without(const std::vector<Customer_Parameters>& Day, size_t From, size_t To) {
  std::vector<Customer_Parameters> Kept(Day.begin(), Day.begin() + static_cast<long>(From));
  int64_t Gap = 0;
  for (size_t C = From; C < To; C++) Gap += Day[C].Interarrival_Time;
  for (size_t C = To; C < Day.size(); C++) {
    Customer_Parameters P = Day[C];
    if (C == To) P.Interarrival_Time = static_cast<int32_t>(P.Interarrival_Time + Gap);
    Kept.push_back(P);
  }
  return Kept;
}

struct Search {
  const Program_Under_Test& Program;
  const Trial_Outcome& Failure;
  Shrunk_Day Best;
  int Budget;
  const Trial_Box* Box;

  /* Fewer servers mean longer waits: a day near the clock may then run
  ** past it, and the kit would refuse it, so it is no candidate. */
  bool Still_Fails(const std::vector<Customer_Parameters>& Day, const int32_t Servers[Number_Of_Stations]) {
    Day_Summary Summary;
    if (Budget <= 0 || Simulate_Day(Day.data(), static_cast<int32_t>(Day.size()), Servers, nullptr, &Summary).Customer)
      return false;
    Budget--, Best.Trials++;
    Trial_Outcome O = Run_Trial(Program, Day, Servers, Box);
    if (!Same_Failure(O, Failure)) return false;
    Best.Day = Day;
    std::copy(Servers, Servers + Number_Of_Stations, Best.Servers);
    Best.Outcome = std::move(O);
    Best.Rerun = true;
    return true;
  }

  bool Lower_Servers() {
    bool Lowered = false;
    for (int S = 0; S < Number_Of_Stations; S++)
      while (Best.Servers[S] > 1) {
        int32_t Fewer[Number_Of_Stations];
        std::copy(Best.Servers, Best.Servers + Number_Of_Stations, Fewer);
        Fewer[S]--;
        if (!Still_Fails(Best.Day, Fewer)) break;
        Lowered = true;
      }
    return Lowered;
  }

  bool Drop_Customers() {
    bool Dropped = false;
    for (size_t Chunk = std::max<size_t>(Best.Day.size() / 2, 1); Chunk >= 1; Chunk /= 2) {
      for (size_t From = 0; From < Best.Day.size() && Best.Day.size() > 1;) {
        size_t To = std::min(From + Chunk, Best.Day.size());
        if (To - From < Best.Day.size() && Still_Fails(Without(Best.Day, From, To), Best.Servers)) Dropped = true;
        else From = To;
      }
      if (Chunk == 1) break;
    }
    return Dropped;
  }
};

}  // namespace

Shrunk_Day Shrink_Day(const Program_Under_Test& Program, const std::vector<Customer_Parameters>& Day,
                      const int32_t Servers[Number_Of_Stations], const Trial_Outcome& Failure) {
  /* Shrinking runs trials one after another: one box kept for them all. */
  Trial_Box Box = Keep_Trial_Box(Program);
  Search S{Program, Failure, Shrunk_Day{Day, {}, Failure, 0, false}, Failure.Kind == Outcome_Limit ? 24 : 5000, &Box};
  std::copy(Servers, Servers + Number_Of_Stations, S.Best.Servers);
  bool Progress = true;
  while (Progress && S.Budget > 0) {
    Progress = S.Lower_Servers();
    Progress |= S.Drop_Customers();
  }
  Drop_Trial_Box(&Box);
  return S.Best;
}
