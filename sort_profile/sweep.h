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

#include "sort_profile/profile_lists.h"

struct Pair_Timing {
  double Median, Low, High;  // seconds: the middle sort, and the middle half of the sorts
  bool Slow;                 // a sort took longer than the budget (or never returned), and the pair was stopped
  bool Wrong;                // a sort left the list unsorted, or the child crashed
};

/* Sorts the list Repeats times with K and X in a child process, resetting
** it before each sort and checking it after the first, and stops once a
** sort has run past Budget seconds. */
Pair_Timing Time_Pair(Laid_Out_List& L, int32_t K, int32_t X, int32_t Repeats, double Budget);

struct Sweep_Options {
  int64_t Items;
  std::vector<int32_t> K, X;  // every pair of one K and one X is timed
  int32_t Repeats;
  double Budget;
};

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
