/*
** workload_lister.cpp
** Lists ZOR_Binary_In as the text table ZOR_Text_In, one customer per
** line, and prints a legend of its columns.
*/
#include <cstdint>
#include <cstdio>

#include "common/program_arguments.h"
#include "common/zor_files.h"
#include "listers/record_listing.h"

namespace {

const char Help[] =
    "Usage: workload_lister\n"
    "Lists ZOR_Binary_In in the current folder as the text table ZOR_Text_In, one\n"
    "customer per line (eight columns), and prints the count and a legend of the\n"
    "columns on standard output. It asks nothing.\n"
    "Exit status: 0 on success; 1 on failure, after an \"ERROR in main\" block:\n"
    "exit point 1, ZOR_Binary_In missing or unreadable; 2, ZOR_Text_In cannot be\n"
    "created; 3, a line cannot be written. The table takes its name only when\n"
    "whole: a failed or interrupted run leaves no partial one.\n"
    "Example: workload_lister && less ZOR_Text_In\n";

void Print_Workload_Summary(int32_t Count) {
  std::printf("Number of customers: %d\n", Count);
  std::printf("\nThe text file %s has been written\n", ZOR_Text_In);
  std::fputs("  with one customer simulation parameters on a line\n"
             "  each line has the following fields\n",
             stdout);
  /* The labels are the table's own and differ in case from the record's
  ** field names in three places. */
  const char* const Legend[] = {"Interarrival_Time",    "Travel_Time_To_Lab", "LAB_Service_Time",
                                "Travel_Time_To_X_RAY", "X_RAY_SERVICE_TIME", "Travel_Time_To_EKG",
                                "EKG_Service_Time",     "Travel_Time_To_Exit"};
  for (int Column = 1; Column <= 8; Column++) std::printf("%5d -- %s\n", Column, Legend[Column - 1]);
  std::fputs("\n", stdout);
}

}  // namespace

int main(int Argc, char** Argv) {
  Take_No_Arguments(Argc, Argv, "workload_lister", Help);
  Print_Workload_Summary(List_File_Or_Exit(ZOR_Binary_In, ZOR_Text_In, List_Parameters));
  return 0;
}
