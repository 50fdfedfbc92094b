/*
** sort_bench_main.cpp
** The timing harness's main and its clock.
**
** main asks for K and X, builds the list from Raw, times the user's
** Sort_Singly_Linked_List, writes Sorted, and reports the CPU time of
** each phase and of the whole run in milliseconds.
**
** clock is defined here, beside main, so that linking main brings it in
** and it takes the place of the C library's clock for the whole program,
** the user's module included: whoever calls clock, through <time.h> or
** not, sees the harness's microseconds.
*/
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/times.h>
#include <unistd.h>

#include "common/program_arguments.h"
#include "common/read_int32.h"
#include "sort_bench/sl_list.h"

namespace {

const char Help[] =
    "Usage: PROGRAM   (a sort timing program: libsort_bench.a linked with a\n"
    "                  module that defines Sort_Singly_Linked_List)\n"
    "Asks on standard output for K (0 .. 20) and X (0 .. 500), each a number\n"
    "followed by the return key, typed on standard input; reads Raw in the\n"
    "current folder (32-bit little-endian items, at most 1000000) into a linked\n"
    "list; empties Sorted; times the sort with K and X; writes the list to\n"
    "Sorted and prints the CPU time of building, sorting, writing and the whole\n"
    "run in milliseconds.\n"
    "Exit status: 0 on success; 1 on a rejected entry (one line on standard\n"
    "output) or a failure of Raw or Sorted (a message on standard error).\n"
    "Example: printf '10\\n32\\n' | ./my_sort_bench\n";

}  // namespace

/* CPU time of this process (user plus system, not its children) in
** microseconds, from the kernel's tick counts at their real rate. The
** value wraps modulo 2^32 and is returned as a 32-bit signed value
** (sign-extended to clock_t), so differences of two readings are right
** for any phase shorter than 2^31 microseconds. */
extern "C" clock_t clock(void) noexcept {
  tms Now;
  times(&Now);
  uint64_t Ticks = static_cast<uint64_t>(Now.tms_utime) + static_cast<uint64_t>(Now.tms_stime);
  uint64_t Ticks_Per_Second = static_cast<uint64_t>(sysconf(_SC_CLK_TCK));
  uint32_t Microseconds = static_cast<uint32_t>(Ticks * 1000000u / Ticks_Per_Second);
  return static_cast<int32_t>(Microseconds);
}

namespace {

int32_t Now() { return static_cast<int32_t>(clock()); }

/* Whole milliseconds between two readings, wrap-safe. */
int32_t Milliseconds(int32_t From, int32_t To) {
  int32_t Elapsed = static_cast<int32_t>(static_cast<uint32_t>(To) - static_cast<uint32_t>(From));
  return Elapsed / 1000;
}

/* One entry: a number followed directly by the return key. The number is
** echoed before it is judged, so the user sees what was read (0 when no
** number could be read). */
int32_t Ask(const char* Name, int32_t Max, int* Terminator) {
  std::printf("Enter %s with %d <= %s <= %d and a return\n%s: ", Name, 0, Name, Max, Name);
  std::fflush(stdout);
  int32_t Value = 0;
  bool Accepted = Read_Harness_Entry(stdin, Max, &Value, Terminator);
  std::printf("\n%s: %d\n", Name, Value);
  if (!Accepted) {
    std::printf("Invalid %s entered\n", Name);
    std::exit(1);
  }
  return Value;
}

/* The program is named by whoever links it; answer with the name it was run by. */
const char* Program_Name(const char* Path) {
  const char* Slash = std::strrchr(Path, '/');
  return Slash != nullptr ? Slash + 1 : Path;
}

}  // namespace

int main(int Argc, char** Argv) {
  Take_No_Arguments(Argc, Argv, Argc > 0 ? Program_Name(Argv[0]) : "sort_bench", Help);
  int Terminator = 0;
  int32_t K = Ask("K", Max_K, &Terminator);
  int32_t X = Ask("X", Max_X, &Terminator);
  /* A routine that crashes or is killed must not leave the Sorted of an
  ** earlier run, which a check would take for this run's result. The
  ** file is emptied, not removed, so a link named Sorted stays a link; one
  ** that cannot be emptied (or does not exist) is left for the write. */
  if (truncate("Sorted", 0) != 0) {
  }

  SL_Node* Head = nullptr;
  int32_t Count = 0;
  int32_t T0 = Now();
  int32_t T1 = Now();
  Build_Singly_Linked_List("Raw", &Head, &Count);
  int32_t T2 = Now();
  std::printf("Build Raw Data: %11d ms.\n", Milliseconds(T1, T2));
  std::fflush(stdout);

  int32_t T3 = Now();
  Sort_Singly_Linked_List(&Head, K, X);
  int32_t T4 = Now();
  std::printf("Sort SL List: %13d ms.", Milliseconds(T3, T4));
  std::printf(" for %8d Items\n", Count);

  int32_t T5 = Now();
  Write_Sorted_File_From_SL_List("Sorted", &Head, Count);
  int32_t T6 = Now();
  std::printf("Write Sorted: %13d ms.\n", Milliseconds(T5, T6));
  std::fflush(stdout);

  int32_t T7 = Now();
  std::printf("Total Time: %15d ms.\n", Milliseconds(T0, T7));
  std::fflush(stdout);
  return 0;
}
