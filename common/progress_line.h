/*
** progress_line.h
** The line a long run shows while it works: drawn on standard error over
** itself, and only when standard error is a terminal, so that nothing of
** it reaches a file, a pipe or a test. Cleared before the run prints
** anything else.
*/
#pragma once

#include <chrono>

struct Progress_Line {
  bool Shown;  // standard error is a terminal
  bool Drawn;  // a line is on the screen now
  std::chrono::steady_clock::time_point Started;
};

Progress_Line Start_Progress_Line();

/* Seconds since the line was started. */
double Progress_Seconds(const Progress_Line& P);

/* Draws the line, formatted like printf, over the one before. */
void Show_Progress_Line(Progress_Line* P, const char* Format, ...) __attribute__((format(printf, 2, 3)));

/* Takes the line off the screen, if one is drawn. */
void Clear_Progress_Line(Progress_Line* P);
