/*
** statistics.cpp
** The median and the middle half (statistics.h).
*/
#include "common/statistics.h"

#include <algorithm>

double Median_Of(std::vector<double> Values) {
  if (Values.empty()) return 0;
  std::sort(Values.begin(), Values.end());
  size_t Middle = Values.size() / 2;
  return Values.size() % 2 ? Values[Middle] : (Values[Middle - 1] + Values[Middle]) / 2;
}

Middle_Half Middle_Half_Of(std::vector<double> Values) {
  if (Values.empty()) return Middle_Half{0, 0, 0};
  std::sort(Values.begin(), Values.end());
  size_t Quarter = (Values.size() - 1) / 4;
  return Middle_Half{Median_Of(Values), Values[Quarter], Values[Values.size() - 1 - Quarter]};
}
