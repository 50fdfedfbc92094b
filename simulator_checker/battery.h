/*
** battery.h
** The days a simulator is tried on: a fixed, reproducible list. First the
** made-up days that the generator never draws but a correct simulator
** must handle (one customer, arrivals at one instant, zero travel and
** service times, departures meeting arrivals, saturated stations, a day
** ending at the last instant the clock holds), smallest first, each label
** saying what in it workload_maker never draws; then generated days
** over every load, each with tight, generous, 1,1,1 and 20,20,20 servers.
**
** A battery is drawn either from a public seed (the battery students
** test with) or from the key of a teacher's secret phrase. Each secret
** day is drawn from a keyed hash of its index alone, so the days a
** student is shown say nothing of the others, nor of the phrase.
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

/* What draws a battery. A plain record, so that it crosses from the tool
** that read the phrase to the graders whole, never cut to a number. */
struct Battery_Key {
  uint32_t Public_Seed;  // the seed students know; 0 where Secret holds a phrase's key
  uint8_t Secret[32];    // the phrase's key, never shown or written anywhere
};
static_assert(sizeof(Battery_Key) == 36);

/* The public battery of Seed (1 or more): the days simulator_checker
** --seed draws. */
Battery_Key Public_Battery(uint32_t Seed);

/* The key of a secret phrase (not empty), stretched so that guessing
** phrases costs a good part of a second each. False where libsodium
** cannot start or the memory the stretching needs cannot be had. */
bool Battery_Key_Of_Phrase(const std::string& Phrase, Battery_Key* Key);

/* A short name of the battery for the settings a rerun compares: "seed N",
** or for a phrase's key a fingerprint that reveals nothing of the key. */
std::string Battery_Name(const Battery_Key& Key);

/* Day Index (from 0) of the battery Key draws. */
Trial_Day Battery_Day(int Index, const Battery_Key& Key);
