/*
** shrink.h
** The smallest day on which a simulator still fails the same way.
*/
#pragma once

#include <vector>

#include "simulator_checker/trial.h"

struct Shrunk_Day {
  std::vector<Customer_Parameters> Day;
  int32_t Servers[Number_Of_Stations];
  Trial_Outcome Outcome;  // the failure on the shrunk day
  int Trials;             // runs it took
  bool Rerun = false;     // Outcome is a shrinking run's (under its limits), not the first failure
};

/* Drops customers (each remaining customer keeps its arrival instant) and
** lowers server counts for as long as the program fails the same way as
** Failure: the same kind of failure, and for a rule, the same rule. */
Shrunk_Day Shrink_Day(const Program_Under_Test& Program, const std::vector<Customer_Parameters>& Day,
                      const int32_t Servers[Number_Of_Stations], const Trial_Outcome& Failure);
