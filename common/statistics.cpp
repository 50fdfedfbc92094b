/*
** statistics.cpp
** The median (statistics.h).
*/
#include "common/statistics.h"

#include <algorithm>

double Median_Of(std::vector<double> Values) {
  if (Values.empty()) return 0;
  std::sort(Values.begin(), Values.end());
  size_t Middle = Values.size() / 2;
  return Values.size() % 2 ? Values[Middle] : (Values[Middle - 1] + Values[Middle]) / 2;
}
