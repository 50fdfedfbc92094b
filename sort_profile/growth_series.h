/*
** growth_series.h
** The timing phase: the routine and the reference merge sort timed in
** alternation on the same lists, sizes doubling from 1,024 until the next
** sort would take longer than the budget, one series per order; then, on one order,
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

#include "common/statistics.h"
#include "sandbox/sandbox.h"
#include "sort_profile/growth_verdict.h"
#include "sort_profile/profile_child.h"
#include "sort_profile/profile_lists.h"

struct Series_Result;

struct Series_Options {
  int32_t K, X;
  int64_t Max_Items;
  double Budget;          // a series stops growing before a size whose sort of the routine would take
                          // longer: twice the last one's, at least
  Sandbox_Limits Limits;  // its CPU and wall-time limits hold for each sort
  std::vector<int> Orders;
  /* Called as soon as an order's verdict has been read in the caches, so
  ** that it can be shown before the slower series. */
  std::function<void(const Series_Result& R, int Order)> Verdict_Read = nullptr;
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
  /* Per order, the verdict's own evidence (Judge_Growth_Per_Item): the
  ** median seconds per item at each size of In_Cache_Sizes, Sort_Seconds
  ** only; empty when it was not timed. */
  std::vector<Growth_Point> In_Cache[Number_Of_Orders];
  Fault_Kind Kind = Fault_Wrong_List;  // of the fault, when not finished
};

/* The verdict's timing alone (Time_In_Cache), in a routine's worker of
** its own, so that a run can show it before the slower phases: Finished,
** with R.In_Cache for every order asked, or R's fault. */
Series_Result Read_Verdicts(const Series_Options& O);

/* The series, with the verdicts' timing carried over from Read_Verdicts. */
Series_Result Time_Series(const Series_Options& O, const Series_Result& Verdicts);

/* One judged sort of the routine (Reference false) or of the reference,
** on the list of N items of Order (seed 1) laid out in Layout. */
using Series_Sorter = std::function<Judged_Sort(bool Reference, int Order, int64_t N, Node_Layout Layout)>;

/* The rounds of timing and their verdicts, whatever does the sorts:
** Time_Series with its workers, or a test with times it knows. A sort of
** the routine that fails ends the series with its fault. Orders whose
** verdict Verdicts read in the caches are timed in one round. */
Series_Result Run_Series(const Series_Options& O, const Series_Sorter& Sort, const Series_Result* Verdicts = nullptr);

/* The verdict's timing: at each size of In_Cache_Sizes, lists enough for
** about In_Cache_Items items in all, sorted in one call of the worker
** (Judge_Sorts) so that each list stays in the first caches and the call
** is long beside the clock's grain; In_Cache_Rounds such calls a size, a
** round visiting every size before the next so that a slow moment of the
** machine spoils one timing of a size, not all. An order stops growing
** once one call takes longer than the budget. */
inline constexpr int64_t In_Cache_Items = 16384;
inline constexpr int In_Cache_Rounds = 5;
std::vector<int64_t> In_Cache_Sizes();

/* One judged call that sorts Lists lists of N items of Order (the
** random ones drawn from seeds of Round) with the routine. */
using Batch_Sorter = std::function<Judged_Sort(int Order, int64_t N, int64_t Lists, int Round)>;

/* Fills R.In_Cache for every order asked, telling O.Verdict_Read of each
** as it is done; false, with R's fault, when a sort failed. */
bool Time_In_Cache(const Series_Options& O, const Batch_Sorter& Sort, Series_Result& R);

/* The speed figure of one order: the routine's time over the merge
** sort's at each size timed, as its median and middle half. One size is
** one draw of the machine's noise; every size together is a figure two
** routines can be ranked by, and its spread says when they cannot. */
Middle_Half Speed_Figure(const std::vector<Growth_Point>& Points);

/* What a phase comes to, for the report and for a program that grades
** many routines: per order, the verdict (read per item in the caches
** where that was timed, else against the reference), the routine's time over the
** merge sort's at the largest size timed (0 for an order not timed) and
** at every size (Speed); and the two layout ratios (0 when the layouts
** were not timed). */
struct Growth_Summary {
  Growth_Verdict Verdict[Number_Of_Orders];
  int64_t Smallest[Number_Of_Orders], Largest[Number_Of_Orders];
  double Time_Ratio[Number_Of_Orders];
  Middle_Half Speed[Number_Of_Orders];
  double Routine_Layout_Ratio, Reference_Layout_Ratio;
};

Growth_Summary Summarise_Growth(const Series_Result& R);

/* The median of the times, 0 for none. */
double Median_Seconds(std::vector<double> Seconds);

/* A layout ratio: the median time on scattered nodes over that on nodes
** in allocation order; 0 when either is missing. */
double Layout_Ratio(const std::vector<double> (&Seconds)[Number_Of_Layouts]);
