/*
** battery.h
** The days a simulator is tried on: a fixed, reproducible list. First the
** made-up days that the generator never draws but a correct simulator
** must handle (one customer, arrivals at one instant, zero travel and
** service times, departures meeting arrivals, saturated stations, a day
** ending at the last instant the clock holds), smallest first, each label
** saying what in it workload_maker never draws; then generated days
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

/* workload_maker draws travel times of at least 25 s to every place
** visited, 0 to a station skipped, LAB service times of at least 270 s,
** and days that end within hours; an instant from here on is "near the
** clock" for the labels below. */
inline constexpr int64_t Near_The_Clock_From = int64_t{1} << 30;

/* What in Day workload_maker never draws, for a label a teacher can
** weigh: "outside what workload_maker draws: LAB service time 0, travel
** time 0"; empty for a day it could have drawn in these respects. */
std::string Outside_The_Draws(const std::vector<Customer_Parameters>& Day);

/* Day Index (from 0) of the battery drawn with Seed. */
Trial_Day Battery_Day(int Index, uint32_t Seed);
