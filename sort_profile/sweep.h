/*
** sweep.h
** The sweep: the median CPU time of a sort for each K and X, and which
** pairs are best, where a very slow or wrong pair cannot hold it up.
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
  bool Slow;                 // a sort took longer than the budget (or never returned), and the pair was stopped
  bool Wrong;                // a sort left the list unsorted, or the child crashed
};

struct Sweep_Options {
  int64_t Items;
  std::vector<int32_t> K, X;  // every pair of one K and one X is timed
  int32_t Repeats;
  double Budget;
  Sandbox_Limits Limits;  // of the worker; its wall-time limit holds for each sort
};

/* In the worker, lays out a list of O.Items random items and sorts it
** O.Repeats times with K and X, resetting it before each sort and
** judging it after each; stops once a sort has taken more than the
** budget of CPU time (a sort that does not return within it is ended,
** and with it the worker). */
Pair_Timing Time_Pair(Sort_Worker* W, const Sweep_Options& O, int32_t K, int32_t X);

struct Sweep_Result {
  std::vector<Pair_Timing> Cell;  // [k * X.size() + x]
  bool Any;                       // some pair sorted the list within the budget
  size_t Best;                    // its cell, when Any
};

/* Times every pair and prints the table, the best pair, the pairs within
** the noise of it, and how far repeats spread. */
Sweep_Result Run_Sweep(const Sweep_Options& O, std::FILE* Out);

/* The table as a heat map. */
void Draw_Sweep(std::FILE* Out, const std::string& Title, const Sweep_Options& O, const Sweep_Result& R);
