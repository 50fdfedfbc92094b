/*
** growth_series.h
** The timing phase: the routine and the reference merge sort timed in
** alternation on the same lists, sizes growing from 1,024 until one sort
** takes longer than the budget, one series per order; then, on one order,
** the same lists with their nodes scattered in memory. Each sort runs in
** a worker (profile_child.h): the routine's contained, the reference's of
** the kit's own; each is timed by the worker's CPU clock read from the
** judge, and each list is judged, so that a routine that crashes, loops
** or sorts wrong at any size is reported rather than timed.
**
** Each size gets a share of time rather than a count of sorts; a round
** times every series once, and further rounds add sorts only to the
** series whose verdict more timing could still change.
*/
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sandbox/sandbox.h"
#include "sort_profile/growth_verdict.h"
#include "sort_profile/profile_child.h"
#include "sort_profile/profile_lists.h"

struct Series_Options {
  int32_t K, X;
  int64_t Max_Items;
  double Budget;          // a series stops growing once one sort of the routine takes longer
  Sandbox_Limits Limits;  // its CPU and wall-time limits hold for each sort
  std::vector<int> Orders;
};

/* The CPU seconds of every sort at one size: the routine's and the
** reference's, in the order they were timed, one after the other on the
** same list. */
struct Size_Timing {
  int64_t N;
  std::vector<double> Sort, Reference;
};

/* The routine and the reference on one list of N items of Order, its
** nodes in allocation order and scattered ([Node_Layout]). */
struct Layout_Timing {
  int Order;
  int64_t N;
  std::vector<double> Sort[Number_Of_Layouts], Reference[Number_Of_Layouts];
};

struct Series_Result {
  bool Finished;
  std::string Fault;  // when not finished: what happened
  int Fault_Order;    // and in which series (-1 when not in one)
  int64_t Fault_Size;
  std::vector<Size_Timing> Timings[Number_Of_Orders];  // per order, in size order
  std::vector<Growth_Point> Points[Number_Of_Orders];  // the medians of each size's sorts
  Layout_Timing Layout;  // Layout.N is 0 when it was not timed
  int Rounds;            // rounds of timing the series took
};

Series_Result Time_Series(const Series_Options& O);

/* One judged sort of the routine (Reference false) or of the reference,
** on the list of N items of Order (seed 1) laid out in Layout. */
using Series_Sorter = std::function<Judged_Sort(bool Reference, int Order, int64_t N, Node_Layout Layout)>;

/* The rounds of timing and their verdicts, whatever does the sorts:
** Time_Series with its workers, or a test with times it knows. A sort of
** the routine that fails ends the series with its fault. */
Series_Result Run_Series(const Series_Options& O, const Series_Sorter& Sort);

/* What a phase comes to, for the report and for a program that grades
** many routines: per order, the verdict and the routine's time over the
** merge sort's at the largest size timed (0 for an order not timed); and
** the two layout ratios (0 when the layouts were not timed). */
struct Growth_Summary {
  Growth_Verdict Verdict[Number_Of_Orders];
  int64_t Largest[Number_Of_Orders];
  double Time_Ratio[Number_Of_Orders];
  double Routine_Layout_Ratio, Reference_Layout_Ratio;
};

Growth_Summary Summarise_Growth(const Series_Result& R);

/* The median of the times, 0 for none. */
double Median_Seconds(std::vector<double> Seconds);

/* A layout ratio: the median time on scattered nodes over that on nodes
** in allocation order; 0 when either is missing. */
double Layout_Ratio(const std::vector<double> (&Seconds)[Number_Of_Layouts]);
