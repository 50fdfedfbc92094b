/*
** progress_line.cpp
** One line of progress on a terminal.
*/
#include "common/progress_line.h"

#include <cstdarg>
#include <cstdio>

#include <unistd.h>

Progress_Line Start_Progress_Line() {
  return Progress_Line{isatty(STDERR_FILENO) == 1, false, std::chrono::steady_clock::now()};
}

double Progress_Seconds(const Progress_Line& P) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - P.Started).count();
}

void Show_Progress_Line(Progress_Line* P, const char* Format, ...) {
  if (!P->Shown) return;
  std::va_list Arguments;
  va_start(Arguments, Format);
  std::fputs("\r\033[K", stderr);
  std::vfprintf(stderr, Format, Arguments);
  va_end(Arguments);
  std::fflush(stderr);
  P->Drawn = true;
}

void Clear_Progress_Line(Progress_Line* P) {
  if (P->Drawn) std::fputs("\r\033[K", stderr);
  P->Drawn = false;
}
