/*
** main_error.cpp
** The error block that ends a simulation program.
*/
#include "common/main_error.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "common/unfinished_file.h"

int Main_Error_Status = 1;

void Main_Error(int Exit_Point, const char* Details, ...) {
  std::va_list Arguments;
  va_start(Arguments, Details);
  std::fputs("ERROR in main\n", stderr);
  std::vfprintf(stderr, Details, Arguments);
  std::fprintf(stderr, "  At exit point %d\n", Exit_Point);
  std::fflush(stderr);
  va_end(Arguments);
  Remove_Unfinished_Files();
  std::exit(Main_Error_Status);
}
