/*
** draw_day.h
** Drawing one day of customers, as workload_maker writes it.
*/
#pragma once

#include <cstdint>

#include "common/customer_parameters.h"
#include "workload_maker/uniform.h"

inline constexpr int32_t Time_Slot_Minutes = 15;
inline constexpr int32_t Time_Slot_Seconds = Time_Slot_Minutes * 60;
inline constexpr int32_t Number_Of_Time_Slots = 28;
inline constexpr int32_t Max_Customers_Per_Slot = 12;
inline constexpr int32_t Max_Day_Customers = Number_Of_Time_Slots * Max_Customers_Per_Slot;

/* Draws the day of N customers per slot (0 .. Max_Customers_Per_Slot)
** from Stream into Day[0 .. 28 N - 1], in the fixed order of draws that
** makes a seed's day the same everywhere, and returns 28 N. */
int32_t Draw_Day(Random_Stream* Stream, int32_t N, Customer_Parameters Day[]);

/* The same day, byte for byte, drawn with the fast draws of fast_draws.h
** (a 64-bit step, the exponential by table look-up): for programs that
** draw days by the thousand. */
int32_t Draw_Day_Fast(Random_Stream* Stream, int32_t N, Customer_Parameters Day[]);
