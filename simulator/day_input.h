/*
** day_input.h
** What every program that runs the model asks and reads before it can
** simulate: the server counts typed by the user, and the day in
** ZOR_Binary_In. The reference simulator and the results checker share
** them, so the checker asks and refuses exactly as the simulator does.
*/
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "customer_parameters.h"
#include "simulation.h"

inline constexpr int32_t Max_Simulated_Customers = 1000000;
extern const char* const Station_Name[Number_Of_Stations];

/* Asks for the servers at LAB, X_RAY and EKG on standard error, each a
** "%d" entry in 1 .. Max_Servers; ends at exit point 2 (not a number)
** or 3 (out of range). */
void Ask_Servers(int32_t Servers[Number_Of_Stations]);

/* Reads every whole record of ZOR_Binary_In from In and closes it. A
** negative time ends at exit point 4; a day whose instants could pass
** 2^31 - 1 seconds, or of more than Max_Simulated_Customers, at exit point 5; a
** read error at exit point 1. */
std::vector<Customer_Parameters> Read_Day(std::FILE* In);
