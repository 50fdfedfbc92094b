/*
** results_lister.cpp
** Lists the simulator's ZOR_Binary_Out as the text table ZOR_Text_Out,
** one customer per line, and prints a legend of its 23 columns.
*/
#include <cstdint>
#include <cstdio>

#include "common/program_arguments.h"
#include "common/zor_files.h"
#include "common/zor_stations.h"
#include "listers/record_listing.h"

namespace {

const char Help[] =
    "Usage: results_lister\n"
    "Lists ZOR_Binary_Out in the current folder as the text table ZOR_Text_Out, one\n"
    "customer per line (23 columns), and prints the count and a legend of the\n"
    "columns on standard output. It asks nothing.\n"
    "Exit status: 0 on success; 1 on failure, after an \"ERROR in main\" block:\n"
    "exit point 1, ZOR_Binary_Out missing or unreadable; 2, ZOR_Text_Out cannot be\n"
    "created; 3, a line cannot be written. The table takes its name only when\n"
    "whole: a failed or interrupted run leaves no partial one.\n"
    "Example: results_lister && less ZOR_Text_Out\n";

void Print_Results_Summary(int32_t Count) {
  std::printf("Number of customers: %d\n", Count);
  std::printf("The text file %s has been written\n", ZOR_Text_Out);
  std::fputs("  with one customer simulation results on a line\n"
             "  each line has the following fields\n",
             stdout);
  for (int Column = 1; Column <= Results_Fields; Column++)
    std::printf("%5d -- %s\n", Column, Customer_Results_Field_Name[Column - 1]);
}

}  // namespace

int main(int Argc, char** Argv) {
  Take_No_Arguments(Argc, Argv, "results_lister", Help);
  Print_Results_Summary(List_File_Or_Exit(ZOR_Binary_Out, ZOR_Text_Out, List_Results));
  return 0;
}
