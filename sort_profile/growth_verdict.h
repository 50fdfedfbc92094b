/*
** growth_verdict.h
** How a sort routine's cost grows with n, decided from its times and
** those of a reference sort of known growth, measured on the same lists
** in the same run.
**
** The reference is the kit's top-down merge sort, N log N on every
** order. A list in random memory order outgrows each cache in turn, and
** both sorts chase the same pointers through it, so dividing one time by
** the other cancels what the memory hierarchy adds and leaves what the
** algorithm does. The rule: the slope of log2(time / reference time)
** against log2(n), taken robustly as the median of the slopes between
** every pair of sizes (Theil-Sen), names the class. N log N gives 0, N
** about -0.1 a doubling plus the reference's extra cache misses, N^2
** about +0.9, N^3 about +1.9; between the bands the verdict says it cannot
** decide, and between what.
*/
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Growth_Point {
  int64_t N;
  double Sort_Seconds;       // one sort of the routine under test
  double Reference_Seconds;  // one sort of the reference, same list
};

enum Growth_Class { Growth_N, Growth_N_Log_N, Growth_N2, Growth_N3, Growth_Classes };

/* What a slope was read from: time over the reference's at growing
** sizes, or time per item on lists that stay in the first caches. */
enum Growth_Reading { Reading_Against_Reference, Reading_Per_Item, Growth_Readings };

extern const char* const Growth_Name[Growth_Classes];

struct Growth_Verdict {
  Growth_Reading Reading;
  bool Decided;
  Growth_Class Class;       // when decided; else the lower of the two it lies between
  Growth_Class Upper;       // when undecided between two classes
  std::string Why;          // when undecided: too few sizes, too noisy, or between which
  double Slope;             // the robust slope against the reference
  double Spread;            // how far the exponents per doubling disagree (the middle half's span)
  std::vector<double> Step; // the exponent between each size and the next, the evidence shown
};

/* A verdict needs at least this many sizes, spanning at least this many
** doublings (the largest eight times the smallest). */
inline constexpr size_t Fewest_Sizes = 4;
inline constexpr double Fewest_Doublings = 3;

/* The sizes of a series up to Largest: 1,024 doubling. The verdict is
** read in the caches (Judge_Growth_Per_Item), so the series gives the
** speed figure and the chart; sizes between the powers of two would
** add half again to its time and nothing to either. */
inline constexpr int64_t First_Series_Size = 1024;
std::vector<int64_t> Series_Sizes(int64_t Largest);

Growth_Verdict Judge_Growth(const std::vector<Growth_Point>& Points);

/* The same rule read per item: Points hold the routine's seconds per
** item (Sort_Seconds) on lists small enough for the first caches, where
** a step costs about the same at every size, so the slope of log2(time
** per item) against log2(n) is the algorithm's own: N about 0, N log N
** 1 / (ln 2 log2 n), about 0.2 at these sizes, N^2 about 1, N^3 about 2.
** Across sizes that outgrow the caches the memory adds more than log n
** does, differently for each routine (bench/growth_regimes shows it),
** which is why the verdict is read here. */
Growth_Verdict Judge_Growth_Per_Item(const std::vector<Growth_Point>& Points);

/* Whether more timing could not change the verdict: the slope, moved
** Margin either way, stays in the same band (or between the same two),
** and the doublings' spread is Margin short of too noisy. A series with
** too few sizes is settled too, since timing again adds no size. */
bool Settled_With_Margin(const Growth_Verdict& V, double Margin);

/* The verdict as a few words: "N log N", "between N log N and N^2",
** "too few sizes to decide". */
std::string Verdict_Words(const Growth_Verdict& V);

/* The bands of the slope, for the help: "N below -0.2, N log N -0.1 .. 0.4, ...". */
std::string Growth_Bands_Text(Growth_Reading Reading = Reading_Against_Reference);
