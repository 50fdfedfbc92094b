/*
** simulation.h
** The reference simulator's model of a ZOR day: three stations (LAB,
** X_RAY, EKG), each with one FIFO queue and its numbered servers, run as
** a discrete-event simulation in simulated seconds.
*/
#pragma once

#include <cstdint>
#include <vector>

#include "common/customer_parameters.h"
#include "common/customer_results.h"
#include "common/zor_stations.h"

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
  int64_t Time_In_ZOR;     // summed over the customers
};

/* One line of the event trace: what happened to a customer at a place.
** Place is a Station or Trace_ZOR; Server is 0 where there is none;
** Waiting is the state after the event: the customers waiting at the
** station, or at ZOR the customers inside the facility. */
enum Trace_Kind { Trace_Arrive, Trace_Start, Trace_Depart, Trace_Leave };
inline constexpr int32_t Trace_ZOR = Number_Of_Stations;

struct Trace_Event {
  int32_t Time, Customer, Place, Kind, Server, Waiting;
};

/* The first instant of a day, in the order the simulation meets them,
** that the 32-bit fields of ZOR_Binary_Out cannot hold: the day cannot
** be simulated with these servers. Customer is 0 when every instant fits. */
struct Clock_Overrun {
  int32_t Customer;  // from 1
  int32_t Place;     // a Station or Trace_ZOR
  int32_t Kind;      // Trace_Arrive, Trace_Depart or Trace_Leave
  int64_t Instant;
};

/* Simulates Count customers and fills Results[0 .. Count-1] in customer
** order (customer k is Day[k-1]); with no Results, only the Summary.
** Servers[s] is 1 .. Max_Servers, and every time in Day is non-negative.
** A day with an instant past 2^31 - 1 stops there: the overrun is
** returned and Results are left as they were. With a Trace, every event
** is appended to it in the order the simulation handles it. */
Clock_Overrun Simulate_Day(const Customer_Parameters Day[], int32_t Count, const int32_t Servers[Number_Of_Stations],
                  Customer_Results Results[], Day_Summary* Summary, std::vector<Trace_Event>* Trace = nullptr);
