/*
** model_rules.h
** The rules a simulator's ZOR_Binary_Out must keep for the day in
** ZOR_Binary_In, and the verdict they give. results_checker judges the
** one day in its folder with them; simulator_checker judges every day of
** its battery with the same code.
**
** Each rule is checked on its own, against the file's own times, so a
** simulator that made one wrong decision and then carried on consistently
** breaks a rule only where it went wrong. Every violation is placed in
** simulated time (the instant the wrong decision shows, and at that
** instant where the model's order of events puts it), and the verdict
** names the earliest: the root cause, never a consequence of it. Only a
** file that breaks no rule and still differs from the reference
** simulator shows "a gap in the checker's rules".
**
** Any values are taken: time arithmetic is 64-bit, server numbers are
** range-checked before they index anything, and each rule is O(n log n).
*/
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/customer_parameters.h"
#include "common/customer_results.h"
#include "simulator/simulation.h"

enum Rule {
  Rule_Records, Rule_Arrival, Rule_Route, Rule_Service, Rule_Servers,
  Rule_First_Come, Rule_No_Idle, Rule_Queue, Rule_Reference, Number_Of_Rules
};

extern const char* const Rule_Name[Number_Of_Rules];

/* Where a violation stands among the model's events at one instant:
** departures from stations (a waiting customer seated on the server just
** freed), departures from ZOR, arrivals at ZOR, arrivals at stations. A
** record's layout comes before any instant. */
enum Event_Phase { Phase_Departure = 0, Phase_Leave_ZOR = 1, Phase_Arrive_ZOR = 2, Phase_Arrival = 3 };
inline constexpr int64_t Before_Any_Instant = INT64_MIN;

struct Violation {
  Rule Broken;
  int64_t Customer;  // from 1
  int32_t Station;   // a Station, or -1 for ZOR as a whole
  const char* Field;
  int64_t Instant;   // when the wrong decision shows, or Before_Any_Instant
  int Phase;         // an Event_Phase
  int64_t Tie;       // the model's order within the phase: station and server, or customer
  std::string Expected, Found, Why;
  std::string Hint;  // where the cause may lie outside the simulator; may be empty
};

inline constexpr size_t Customers_Listed = 5;

struct Verdict {
  bool Follows;                                    // no rule broken, equal to the reference
  Violation First;                                 // the earliest violation, when it does not follow
  int64_t Customers[Number_Of_Rules];              // customers whose first broken rule this is
  std::vector<int64_t> Listed[Number_Of_Rules];    // the lowest-numbered of them, at most Customers_Listed
};

/* What was read of ZOR_Binary_Out: the records of the day's customers,
** and what lay beyond them. */
struct Results_File {
  std::vector<Customer_Results> Records;  // at most one per customer of the day
  int64_t Extra;                          // whole records past the last customer
  size_t Trailing;                        // bytes of a record cut short at the end
};

/* Reads ZOR_Binary_Out from In for a day of Customers customers; false on
** a read error. */
bool Read_Results_File(std::FILE* In, size_t Customers, Results_File* Out);

/* Judges the results for Day with the given server counts (each 1 ..
** Max_Servers); the day must be one the model takes (see Read_Day_From),
** every instant within the clock (Simulate_Day returns no overrun). */
Verdict Judge_Results(const std::vector<Customer_Parameters>& Day, const Results_File& Results,
                      const int32_t Servers[Number_Of_Stations]);

/* The verdict as results_checker prints it: one line when the file
** follows the model; else the first violation, with its instant, values,
** why and any hint, then the customers counted by the first rule each
** breaks. */
void Print_Verdict(std::FILE* Out, const Verdict& V, size_t Customers);

/* The first line where a user's trace differs from the reference's, the
** header line counted as line 1; 0 when they agree. */
struct Trace_Difference {
  size_t Line;
  std::string Expected, Found;  // the lines, without their newline; "(end of file)" past the end
};

Trace_Difference Compare_Trace(const std::string& Trace, const std::vector<Trace_Event>& Reference);
