/*
** study_days.h
** Many days, drawn and simulated in blocks on every thread, their figures
** folded on the calling thread in day order. Each thread keeps a block of
** per-day records and its own buffers, so memory does not grow with the
** number of days, and the fold's order, hence every figure, is the same
** for any number of threads.
*/
#pragma once

#include <cstdint>
#include <functional>

#include "common/progress_line.h"

/* Calls Work(Thread, Day, Record) for every Day in 0 .. Days - 1, on
** Threads threads (Thread from 0, for the caller's per-thread buffers),
** each filling the Record_Size bytes at Record; then Fold(Day, Record) on
** this thread, in day order. From the first second on, a terminal
** shows "What: D of N days" on P. */
void For_Each_Day_In_Order(int32_t Days, int32_t Threads, size_t Record_Size, Progress_Line& P, const char* What,
                           const std::function<void(int32_t Thread, int32_t Day, void* Record)>& Work,
                           const std::function<void(int32_t Day, const void* Record)>& Fold);
