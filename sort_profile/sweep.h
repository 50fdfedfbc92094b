/*
** sweep.h
** The sweep: the median CPU time of a sort for each K and X, and what
** they come to: one pair measurably faster than the rest, a few as fast
** as each other and measurably faster than the others, or no measurable
** difference at all; where a very slow or wrong pair cannot hold it up,
** and a pair is recommended only once it has passed the correctness
** phase.
*/
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sandbox/sandbox.h"
#include "sort_profile/profile_child.h"

struct Pair_Timing {
  double Median, Low, High;  // seconds: the middle sort, and the middle half of the sorts
  double Least;              // seconds: its fastest sort, which the machine's other work slowed least
  bool Slow;                 // a sort took longer than the budget (or never returned), and the pair was stopped
  bool Wrong;                // a sort left the list unsorted, or the child crashed
};

struct Sweep_Options {
  int64_t Items;
  std::vector<int32_t> K, X;  // every pair of one K and one X is timed
  int32_t Repeats;
  double Budget;
  Sandbox_Limits Limits;      // of the worker; its wall-time limit holds for each sort
  std::vector<int> Orders;    // of the correctness phase the recommended pair goes through
  int64_t Check_Items;        // its largest list
};

/* A pair is measurably slower than another when the middle halves of
** their sorts do not overlap and even its fastest sort is slower than
** the other's median by at least a tenth and by Noise_Multiple times the
** width of a pair's middle half (the median width over every pair that
** sorted). The machine's other work only ever adds time, so a pair's
** fastest sort is the one least touched by it: a pair that met a busy
** spell on three of its five sorts still has a fast one, where its
** median would have called it slow. With a few dozen pairs, the medians
** of a routine that ignores K and X spread about one and a half widths
** by chance alone; three keep that from being named. */
inline constexpr double Least_Measurable = 0.10;
inline constexpr double Noise_Multiple = 3;

enum Sweep_Outcome {
  Sweep_None_Sorted,    // no pair sorted the list within the budget
  Sweep_No_Difference,  // every pair that sorted is as fast as the fastest, and none was too slow
  Sweep_Best,           // one pair measurably faster than every other
  Sweep_Fastest_Few     // a few as fast as each other, measurably faster than the rest
};

struct Sweep_Finding {
  Sweep_Outcome Outcome;
  size_t Fastest;              // the cell of the least median, unless none sorted
  std::vector<size_t> As_Fast; // the cells not measurably slower than it, itself first
};

/* What the timings come to; a pure function of them, so that the same
** repeats always say the same. Wrong pairs take no part; slow ones are
** measurably slower than any that sorted in time. */
Sweep_Finding Decide_Sweep(const std::vector<Pair_Timing>& Cells);

/* The middle half and median of a pair's sorts. */
Pair_Timing Timing_Of(const std::vector<double>& Seconds);

struct Sweep_Result {
  std::vector<Pair_Timing> Cell;  // [k * X.size() + x]
  Sweep_Finding Found;
  bool Any;                       // a pair is recommended: it is measurably among the fastest and sorts right
  size_t Best;                    // its cell, when Any
};

/* Times every pair, a sort of each in turn for each repeat so that what
** else the machine does falls on every pair alike; prints the table and
** what it comes to, and runs the correctness phase on the pair it would
** recommend (on the next, if that one fails). */
Sweep_Result Run_Sweep(const Sweep_Options& O, std::FILE* Out);

/* The table as a heat map. */
void Draw_Sweep(std::FILE* Out, const std::string& Title, const Sweep_Options& O, const Sweep_Result& R);
