/*
** benchmark_table.h
** Every measurement of the timing phase as Google Benchmark's table (or
** its JSON), written by its own reporters, for whoever wants the detail
** behind the verdicts: the report itself never needs it.
*/
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "sort_profile/growth_series.h"

/* Writes one row per order, size and sort ("sort/random/1024",
** "reference/random/1024"; then the layouts, "sort/random/scattered/N"),
** each with the median of its sorts, their count and the time per item,
** in Format "console" or "json". Google Benchmark's note that its library
** was built as DEBUG concerns that build alone, not the times, and is
** said so in one line. */
void Write_Benchmark_Table(std::ostream& Out, const std::string& Format, const Series_Result& R,
                           const std::vector<int>& Orders);
