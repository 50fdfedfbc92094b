/*
** study_days.h
** Many days, drawn and simulated in blocks on every thread, their figures
** folded on the calling thread in day order. Each thread keeps a block of
** per-day records and its own buffers, so memory does not grow with the
** number of days, and the fold's order, hence every figure, is the same
** for any number of threads.
*/
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

/* Progress on a terminal: a line on standard error, from the first second on. */
struct Progress {
  bool Shown;  // standard error is a terminal
  std::chrono::steady_clock::time_point Started;
  bool Drawn;  // a progress line is on the screen
};

Progress Start_Progress();
void Show_Progress(Progress& P, const char* What, int64_t Done, int64_t Of);
void Clear_Progress(Progress& P);

/* Calls Work(Thread, Day, Record) for every Day in 0 .. Days - 1, on
** Threads threads (Thread from 0, for the caller's per-thread buffers),
** each filling the Record_Size bytes at Record; then Fold(Day, Record) on
** this thread, in day order. */
void For_Each_Day_In_Order(int32_t Days, int32_t Threads, size_t Record_Size, Progress& P, const char* What,
                           const std::function<void(int32_t Thread, int32_t Day, void* Record)>& Work,
                           const std::function<void(int32_t Day, const void* Record)>& Fold);
