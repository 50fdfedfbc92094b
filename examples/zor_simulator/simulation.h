/*
** simulation.h
** The reference simulator's model of a ZOR day: three stations (LAB,
** X_RAY, EKG), each with one FIFO queue and its numbered servers, run as
** a discrete-event simulation in simulated seconds.
*/
#pragma once

#include <cstdint>

#include "customer_parameters.h"
#include "customer_results.h"

enum Station { LAB = 0, X_RAY = 1, EKG = 2, Number_Of_Stations = 3 };

inline constexpr int32_t Max_Servers = 20;

struct Station_Summary {
  int32_t Servers;
  int32_t Visits;
  int64_t Total_Wait;
  int32_t Max_Wait;
  int64_t Busy_Time;  // server-seconds spent serving
};

struct Day_Summary {
  Station_Summary At[Number_Of_Stations];
  int32_t Last_Departure;  // the instant the last service ends
};

/* Simulates Count customers and fills Results[0 .. Count-1] in customer
** order (customer k is Day[k-1]). Servers[s] is 1 .. Max_Servers. Every
** time in Day must be non-negative and their sum must fit 32 bits, so
** that no instant of the day can overflow. */
void Simulate_Day(const Customer_Parameters Day[], int32_t Count, const int32_t Servers[Number_Of_Stations],
                  Customer_Results Results[], Day_Summary* Summary);
