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
enum Day_Problem { Day_Fits, Day_Unreadable, Day_Negative_Time, Day_Too_Large };

struct Day_Reading {
  std::vector<Customer_Parameters> Day;  // the whole records read before any problem
  Day_Problem Problem;
  size_t Record;     // with Day_Negative_Time, the record (from 1) holding it
  int32_t Negative;  // and the time
};

/* Reads every whole record of In, up to the first that makes the day one
** the model refuses: a negative time, more than Max_Simulated_Customers,
** or times that sum past 2^31 - 1 (every instant of the day is bounded by
** that sum, so a day within it cannot overflow the simulated clock). */
Day_Reading Read_Day_From(std::FILE* In);

/* Read_Day_From for a program: a problem ends the run at its exit point
** (1 unreadable, 4 a negative time, 5 too large); In is closed. */
std::vector<Customer_Parameters> Read_Day(std::FILE* In);
