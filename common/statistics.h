/*
** statistics.h
** The middle of a sample, in one place: the profiler, the grader and the
** benchmarks all stand a noisy series of times for its median, and an
** empty series must give a number, not a read before the first element.
*/
#pragma once

#include <vector>

/* The median of Values: the mean of the middle two for an even count,
** 0 for none. */
double Median_Of(std::vector<double> Values);
