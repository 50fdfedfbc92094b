/*
** battery.h
** The days a simulator is tried on: a fixed, reproducible list. First the
** made-up days that the generator never draws but a correct simulator
** must handle (one customer, arrivals at one instant, zero travel and
** service times, departures meeting arrivals, saturated stations, times
** near the largest the kit accepts), smallest first; then generated days
** over every load, each with tight, generous, 1,1,1 and 20,20,20 servers.
*/
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/customer_parameters.h"
#include "simulator/simulation.h"

struct Trial_Day {
  std::vector<Customer_Parameters> Day;
  int32_t Servers[Number_Of_Stations];
  std::string What;  // how the day was made, for the report
};

/* How many of the first days are made up. */
int Made_Up_Days();

/* Day Index (from 0) of the battery drawn with Seed. */
Trial_Day Battery_Day(int Index, uint32_t Seed);
