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

/* A sample's median and the ends of its middle half (the values a
** quarter of the way in from either end; for five, the second and the
** fourth): how far a figure may be trusted, read without letting one
** wild value widen it. All 0 for none. */
struct Middle_Half {
  double Median, Low, High;
};
Middle_Half Middle_Half_Of(std::vector<double> Values);
