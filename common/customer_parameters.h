/*
** customer_parameters.h
** One customer's record in ZOR_Binary_In: the gap since the previous
** arrival and every travel and service time the customer will need, all
** in whole seconds. The file is these records back to back, in order of
** arrival, with nothing before or after them.
**
** The route is LAB, then X_RAY if its service time is non-zero, then EKG
** if its service time is non-zero, then the exit; LAB is never skipped,
** even for a service time of 0. The generator also writes 0 for the
** travel time to a skipped station, but a day made by other means may
** not, and the model never uses that travel time (see zor_model(7)).
*/
#ifndef CUSTOMER_PARAMETERS_H
#define CUSTOMER_PARAMETERS_H

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

typedef struct Customer_Parameters {
  int32_t Interarrival_Time;
  int32_t Travel_Time_To_LAB;
  int32_t LAB_Service_Time;
  int32_t Travel_Time_To_X_RAY;
  int32_t X_RAY_Service_Time;
  int32_t Travel_Time_To_EKG;
  int32_t EKG_Service_Time;
  int32_t Travel_Time_To_EXIT;
} Customer_Parameters;

ZOR_LAYOUT_CHECK(sizeof(Customer_Parameters) == 32, "a parameter record is 32 bytes");
ZOR_LAYOUT_CHECK(offsetof(Customer_Parameters, Travel_Time_To_EXIT) == 28, "no gaps between fields");

#endif
