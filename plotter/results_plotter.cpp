/*
** results_plotter.cpp
** Draws the day in ZOR_Binary_Out, from any simulator, as ZOR_Plot.svg.
*/
#include <cstdio>
#include <vector>

#include "common/customer_results.h"
#include "common/main_error.h"
#include "common/program_arguments.h"
#include "common/record_io.h"
#include "common/staged_file.h"
#include "common/zor_files.h"
#include "plotter/day_picture.h"

namespace {

const char Help[] =
    "Usage: results_plotter\n"
    "Reads ZOR_Binary_Out in the current folder, as any simulator wrote it, and\n"
    "writes ZOR_Plot.svg, a picture of the day that any browser opens: for LAB,\n"
    "X_RAY and EKG, the customers waiting and the servers busy over the day\n"
    "(hours and minutes from opening), and a histogram of the waits; at the top\n"
    "the customers, the mean and max wait and the busiest moment. It asks\n"
    "nothing and prints one line naming the picture.\n"
    "Exit status: 0 on success; 1 on failure, after an \"ERROR in main\" block:\n"
    "exit point 1, ZOR_Binary_Out missing or unreadable; 2, ZOR_Plot.svg cannot\n"
    "be created; 3, it cannot be written. The picture takes its name only when\n"
    "whole: a failed or interrupted run leaves no partial one.\n"
    "Example: results_plotter && chromium ZOR_Plot.svg\n";

const char ZOR_Plot[] = "ZOR_Plot.svg";

}  // namespace

int main(int Argc, char** Argv) {
  Take_No_Arguments(Argc, Argv, "results_plotter", Help);
  std::FILE* In = Open_Binary_Input(ZOR_Binary_Out);
  if (In == nullptr) Main_Error(1, "  File: %s can not be opened for reading\n", ZOR_Binary_Out);
  std::vector<Customer_Results> Day;
  if (!Read_All_Records(In, &Day)) Main_Error(1, "  File: %s can not be opened for reading\n", ZOR_Binary_Out);
  std::fclose(In);

  /* Drawn under a temporary name and named when whole. */
  Staged_File Out;
  if (!Begin_Staged_File(&Out, ZOR_Plot)) Main_Error(2, "  File: %s can not be opened for writing\n", ZOR_Plot);
  Draw_Day_Picture(Out.Out, Day);
  if (!Finish_Staged_File(&Out, ZOR_Plot)) Main_Error(3, "  fprintf failed to file: %s\n", ZOR_Plot);
  std::printf("The picture %s has been written (customers: %zu)\n", ZOR_Plot, Day.size());
  return 0;
}
