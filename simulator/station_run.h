/*
** station_run.h
** The model's day run one station at a time, for programs that only need
** figures and must run many days or many staffings (zor_study).
**
** A customer's time at a station depends only on the stations before it
** on its route, so the day can be run LAB first, then X_RAY, then EKG,
** each station being a first-come-first-served queue: customers arrive in
** the model's order (by time, then customer number), each starts at once
** on the lowest-numbered free server (servers freed at its arrival's
** instant count as free, since the model handles departures first) or
** else, when the earliest server frees, on the lowest-numbered of those
** freeing then. This gives every customer the times, server and queue
** length that Simulate_Day gives; a test proves it over many days.
*/
#pragma once

#include <cstdint>
#include <vector>

#include "simulator/simulation.h"

/* What one station did on one day. */
struct Station_Work {
  int32_t Visits;
  int32_t Max_Wait;
  int32_t Last_Departure;  // 0 with no visit
  int64_t Total_Wait;
  int64_t Busy_Time;
};

/* Reused buffers of one thread, so that a day costs no allocation. */
struct Station_Scratch {
  std::vector<uint64_t> Order;    // (arrival << 32) | customer, in the model's order
  std::vector<int32_t> Starts;    // per arrival, in that order
  std::vector<int32_t> Left;      // per customer: when it left the last place so far
  std::vector<int32_t> Left_LAB;  // per customer: when it left LAB
};

/* The per-customer detail a full run records at station S. */
struct Station_Detail {
  Customer_Results* Results;  // the day's records, filled at station S
};

/* Puts the customers who visit S in the model's order of arrival there:
** they reach it Travel_Time_To(S) after Left[c]. */
void Order_Arrivals(const Customer_Parameters Day[], int32_t Count, int S, const int32_t Left[],
                    std::vector<uint64_t>* Order);

/* Serves the ordered arrivals at S with Servers servers (1 .. Max_Servers);
** Left[c] becomes each customer's departure. With Detail, every visit's
** four fields are written into Detail->Results. */
Station_Work Serve_Station(const Customer_Parameters Day[], int S, int32_t Servers, const std::vector<uint64_t>& Order,
                           int32_t Left[], Station_Scratch* Scratch, Station_Detail* Detail = nullptr);

/* A day's visits to the stations after S, each as offsets from when its
** customer leaves S: made once, then used for each count tried at S. */
struct Visits_After {
  std::vector<int32_t> Customer, Arrives, Leaves;  // per visit
  std::vector<int32_t> Station;                    // per visit: 0 for the first station after S, 1 for the next
  int32_t Latest_Leave;                            // the largest of Leaves
  std::vector<int32_t> Bins;                       // scratch
};

void Plan_Visits_After(const Customer_Parameters Day[], int32_t Count, int S, Visits_After* Plan);

/* When the last service after S ends, customers leaving S (or the place
** before it) at Left[c], none later than Left_Bound, and Servers servers
** at each station after S; 0 when nobody goes on. It is found without
** queueing anyone when it can be shown that nobody waits there; otherwise
** the result is -1 and those stations must be served. */
int32_t Last_Departure_If_Nobody_Waits(Visits_After* Plan, int32_t Servers, const int32_t Left[], int32_t Left_Bound);

/* The whole day, station by station: the same results and summary as
** Simulate_Day (without a trace). Results may be null. */
void Simulate_Day_By_Station(const Customer_Parameters Day[], int32_t Count, const int32_t Servers[Number_Of_Stations],
                             Customer_Results Results[], Day_Summary* Summary, Station_Scratch* Scratch);
