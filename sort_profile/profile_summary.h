/*
** profile_summary.h
** --summary FILE: what a profile came to, in lines a program reads, for a
** tool that grades many routines (zor_grade) and must not parse the
** report written for people. Written whole or not at all.
**
**   sort_profile summary 1
**   correctness passed|failed
**   cases N                      the cases run, a failing one included
**   fault TEXT                   the first failure's verdict (its first line), in correctness or timing
**   fault_kind crashed|time-limit|memory-limit|output-limit|process-limit|reached-outside|wrong-list
**   timing done|failed|not-run
**   growth ORDER WORDS           per order timed: "N log N", "between N log N and N^2", ...
**   time_ratio ORDER RATIO       the routine's time over the merge sort's at the largest size
**   speed ORDER MEDIAN LOW HIGH  that ratio at every size timed: its median, and its middle half's ends
**   layout ROUTINE REFERENCE     the two layout ratios
*/
#pragma once

#include <string>
#include <vector>

#include "sort_profile/correctness.h"
#include "sort_profile/growth_series.h"

/* Timing is null when the timing phase did not run. False if the file
** cannot be written. */
bool Write_Profile_Summary(const std::string& Path, const Correctness_Result& C, const Series_Result* Timing);

