/*
** day_input.h
** What every program that runs the model asks and reads before it can
** simulate: the server counts typed by the user, and the day in
** ZOR_Binary_In. The reference simulator and the results checker share
** them, so the checker asks and refuses exactly as the simulator does.
*/
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "common/customer_parameters.h"
#include "simulator/simulation.h"

inline constexpr int32_t Max_Simulated_Customers = 1000000;

/* Asks for the servers at LAB, X_RAY and EKG on standard error, each a
** "%d" entry in 1 .. Max_Servers; ends at exit point 2 (not a number)
** or 3 (out of range). */
void Ask_Servers(int32_t Servers[Number_Of_Stations]);

/* Whether the model can take a day, and if not, the first reason. */
enum Day_Problem { Day_Fits, Day_Unreadable, Day_Negative_Time, Day_Too_Many_Customers };

struct Day_Reading {
  std::vector<Customer_Parameters> Day;  // the whole records read before any problem
  Day_Problem Problem;
  size_t Record;     // with Day_Negative_Time, the record (from 1) holding it
  int32_t Negative;  // and the time
  size_t Trailing;   // bytes of a record cut short at the end, which are not part of the day
};

/* Reads every whole record of In, up to the first that makes the day one
** the model refuses whatever the servers: a negative time, or more than
** Max_Simulated_Customers. Whether every instant of the day fits the
** clock depends on the servers too: Simulate_Day tells. */
Day_Reading Read_Day_From(std::FILE* In);

/* Read_Day_From for a program: a problem ends the run at its exit point
** (1 unreadable, 4 a negative time, 5 too many customers); a record cut
** short at the end is said on standard error and left out. In is closed. */
std::vector<Customer_Parameters> Read_Day(std::FILE* In);

/* Simulate_Day's overrun for a program: ends the run at exit point 5,
** saying which instant would pass 2^31 - 1; returns if there is none. */
void Refuse_Past_The_Clock(const Clock_Overrun& Overrun);

/* For a program that judges rather than simulates: the day with these
** servers, simulated for the clock alone, refused as above. */
void Refuse_Day_Past_The_Clock(const std::vector<Customer_Parameters>& Day,
                               const int32_t Servers[Number_Of_Stations]);
