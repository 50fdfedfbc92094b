/*
** customer_results.h
** One customer's record in ZOR_Binary_Out, written by the simulator and
** listed by results_lister: what happened to the customer at each
** station, then a copy of its parameter record. Times are in seconds; a
** skipped station has 0 in all four of its fields.
*/
#ifndef CUSTOMER_RESULTS_H
#define CUSTOMER_RESULTS_H

/* Plain C11 as well as C++, so that a simulator written in C includes
** this header rather than copying the layout. */
#include <stddef.h>
#include <stdint.h>

#ifndef ZOR_LAYOUT_CHECK
#ifdef __cplusplus
#define ZOR_LAYOUT_CHECK(Holds, Why) static_assert(Holds, Why)
#else
#define ZOR_LAYOUT_CHECK(Holds, Why) _Static_assert(Holds, Why)
#endif
#endif

typedef struct Customer_Results {
  int32_t Customer_Number;
  int32_t Time_Arrived_ZOR;
  int32_t Time_Arrived_LAB;
  int32_t LAB_Queue_Length;
  int32_t LAB_Server;
  int32_t Time_Departed_LAB;
  int32_t Time_Arrived_X_RAY;
  int32_t X_RAY_Queue_Length;
  int32_t X_RAY_Server;
  int32_t Time_Departed_X_RAY;
  int32_t Time_Arrived_EKG;
  int32_t EKG_Queue_Length;
  int32_t EKG_Server;
  int32_t Time_Departed_EKG;
  int32_t Time_Departed_ZOR;
  int32_t Interarrival_Time;
  int32_t Travel_Time_To_LAB;
  int32_t LAB_Service_Time;
  int32_t Travel_Time_To_X_RAY;
  int32_t X_RAY_Service_Time;
  int32_t Travel_Time_To_EKG;
  int32_t EKG_Service_Time;
  int32_t Travel_Time_To_EXIT;
} Customer_Results;

ZOR_LAYOUT_CHECK(sizeof(Customer_Results) == 92, "a results record is 92 bytes");
ZOR_LAYOUT_CHECK(offsetof(Customer_Results, Travel_Time_To_EXIT) == 88, "no gaps between fields");

#endif
