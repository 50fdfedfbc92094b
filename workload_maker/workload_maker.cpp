/*
** workload_maker.cpp
** Synthesises one day of ZOR customers and writes ZOR_Binary_In.
**
** The day is 28 slots of 15 minutes. The user enters the customers per
** slot and a seed; every random quantity then comes from one stream in
** a fixed order of draws, so the same positive seed gives the same file
** byte for byte. Prompts and errors go to standard error, so standard
** output holds only the closing summary.
*/
#include <cstdint>
#include <cstdio>

#include <sys/stat.h>

#include "common/customer_parameters.h"
#include "common/main_error.h"
#include "common/program_arguments.h"
#include "common/read_int32.h"
#include "common/record_io.h"
#include "common/staged_file.h"
#include "common/zor_files.h"
#include "workload_maker/draw_day.h"
#include "workload_maker/uniform.h"

namespace {

const char Help[] =
    "Usage: workload_maker\n"
    "Draws one day of ZOR customers and writes ZOR_Binary_In in the current\n"
    "folder. It first removes the files of the previous run (ZOR_Binary_In,\n"
    "ZOR_Binary_Out, ZOR_Text_In, ZOR_Text_Out, ZOR_Debug_Out), then asks on\n"
    "standard error for the customers per 15-minute slot (0 .. 12) and a seed\n"
    "(0 takes the clock; the same positive seed gives the same file), typed on\n"
    "standard input. It writes 28 x N records of 32 bytes and prints the count,\n"
    "the customers per slot and the seed on standard output.\n"
    "Exit status: 0 on success; 1 on any failure, after an \"ERROR in main\"\n"
    "block on standard error that names the exit point. The day is written under\n"
    "a temporary name and renamed when whole, so a failed or interrupted run\n"
    "leaves no ZOR_Binary_In.\n"
    "Example: printf '4\\n17\\n' | workload_maker\n";


/* A fresh run must never be mistaken for the output of an older one. */
void Clear_Old_Files() {
  for (const char* Name : {ZOR_Binary_In, ZOR_Binary_Out, ZOR_Text_In, ZOR_Text_Out, ZOR_Debug_Out})
    std::remove(Name);
}

int32_t Ask_Customers_Per_Slot() {
  std::fprintf(stderr, "Enter Number of Customers per %d minute time slot\n", Time_Slot_Minutes);
  std::fprintf(stderr, "   %d <= N <= %d\n", 0, Max_Customers_Per_Slot);
  std::fprintf(stderr, "Number of Customers per %d minute time slot: ", Time_Slot_Minutes);
  int32_t N = 0;
  if (!Read_Int32(stdin, &N)) Main_Error(2, "  Number_Of_Customers_Per_Slot -- INVALID\n");
  if (N < 0 || N > Max_Customers_Per_Slot)
    Main_Error(3,
               "  Number of customers per time slot must be\n"
               "     %d <= N <= %d\n"
               "  Number of customers per time slot: %d\n",
               0, Max_Customers_Per_Slot, N);
  return N;
}

void Ask_Initial_Seed() {
  std::fputs("\n\nEnter initial seed for random number generator\n"
             "    0  -- random not repeatable\n"
             "  > 0  -- random but repeatable\n"
             "Initial seed: ",
             stderr);
  if (!Read_Int32(stdin, &Initial_Seed)) Main_Error(12, "  Initial seed -- INVALID\n");
  if (Initial_Seed < 0)
    Main_Error(13, "  Initial seed must be >= 0\n  Initial seed: %d\n", Initial_Seed);
  std::fputs("\n", stderr);
}

/* The day is written under a temporary name beside ZOR_Binary_In and
** renamed once whole, so that no run, however it ends (a failure, Ctrl-C,
** SIGKILL, a power cut), leaves a partial day under the name a later
** program reads. The old files are gone by now, so the name must be free:
** what still stands there (a folder that holds files) could not be
** replaced, and is refused at exit point 1 before any question is asked. */
void Create_Day_File(Staged_File* Day_File) {
  struct stat Status;
  if (lstat(ZOR_Binary_In, &Status) == 0 || !Begin_Staged_File(Day_File, ZOR_Binary_In))
    Main_Error(1, "  File: %s can not be opened for writing\n", ZOR_Binary_In);
}

/* Records go through a buffered stream, so a full disk may show only at
** the close: that is checked as strictly as each write. */
void Write_Day(Staged_File* Day_File, int32_t Total, const Customer_Parameters Day[]) {
  for (int32_t K = 0; K < Total; K++) {
    if (!Write_Int32_Record(Day_File->Out, &Day[K], sizeof Day[K]))
      Main_Error(10, "  fwrite failed to file: %s\n", ZOR_Binary_In);
  }
  if (!Finish_Staged_File(Day_File, ZOR_Binary_In)) Main_Error(10, "  fwrite failed to file: %s\n", ZOR_Binary_In);
}

}  // namespace

int main(int Argc, char** Argv) {
  Take_No_Arguments(Argc, Argv, "workload_maker", Help);
  Clear_Old_Files();
  Staged_File Day_File;
  Create_Day_File(&Day_File);

  int32_t N = Ask_Customers_Per_Slot();
  Ask_Initial_Seed();

  Random_Stream Stream{Initial_Seed, 0, 0};
  Customer_Parameters Day[Max_Day_Customers];
  int32_t Total = Draw_Day(&Stream, N, Day);
  Write_Day(&Day_File, Total, Day);

  std::printf("Number of customers: %d\n", Total);
  std::printf("Number of Customers per %d minute time slot %3d\n", Time_Slot_Minutes, N);
  std::printf("Initial random number seed: %d\n", Initial_Seed);
  return 0;
}
