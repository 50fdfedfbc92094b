/*
** growth_series.h
** The timing phase: Google Benchmark times the routine, and the
** reference merge sort, on lists that double in size, one series per
** order, in a child process, so that a routine that crashes or loops at
** any size is reported rather than taking the profiler down.
*/
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sort_profile/growth_verdict.h"
#include "sort_profile/profile_lists.h"

struct Series_Options {
  int32_t K, X;
  int64_t Max_Items;
  double Budget;      // a series stops growing once one sort takes longer
  double Time_Limit;  // one sort may take this long before it counts as a loop
  std::vector<int> Orders;
  std::vector<std::string> Benchmark_Arguments;  // Google Benchmark's own options, passed on
  bool JSON;          // Google Benchmark writes JSON on standard output
};

inline constexpr int64_t First_Series_Size = 1024;

struct Series_Result {
  bool Finished;
  std::string Fault;          // when not finished: what happened
  int Fault_Order;            // and in which series (-1 when not in one)
  int64_t Fault_Size;
  std::vector<Growth_Point> Points[Number_Of_Orders];  // per order, in size order
};

Series_Result Time_Series(const Series_Options& O);
