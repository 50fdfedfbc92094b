/*
** elapsed.h
** Wall seconds since a moment, on the clock that never goes back: what
** progress lines, limits of silence and the grader's timings all read.
*/
#pragma once

#include <chrono>

inline double Seconds_Since(std::chrono::steady_clock::time_point Then) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - Then).count();
}
