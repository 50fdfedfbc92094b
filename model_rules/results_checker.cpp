/*
** results_checker.cpp
** Says whether a simulator's ZOR_Binary_Out follows the model for the day
** in ZOR_Binary_In, and if not, the first wrong decision in simulated time
** and why. The rules beside it (model_rules.h) are shared with
** simulator_checker.
*/
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "common/main_error.h"
#include "common/program_arguments.h"
#include "common/record_io.h"
#include "common/zor_files.h"
#include "simulator/simulation.h"
#include "model_rules/model_rules.h"
#include "simulator/day_input.h"

namespace {

/* The help, with the most servers a station may have written by its name. */
const char Help_Format[] =
    "Usage: results_checker\n"
    "Checks, in the current folder, whether ZOR_Binary_Out follows the model for\n"
    "the day in ZOR_Binary_In. It asks for the servers at LAB, X_RAY and EKG\n"
    "exactly as zor_simulator does (standard error, each 1 .. %d), then checks\n"
    "the records rule by rule: one record per customer, the arrival at ZOR, the\n"
    "route, the service times, the servers, first come first served, no idle\n"
    "server while someone waits, the queue lengths, and equality with the\n"
    "reference simulator. It prints one line when the file follows the model;\n"
    "otherwise the first wrong decision in simulated time (rule, customer,\n"
    "station, time, field, expected and found, why) and the customers counted by\n"
    "the first rule each breaks. See results_checker(1) and zor_model(7).\n"
    "Exit status: 0 the file follows the model; 1 it does not; 2 trouble (a\n"
    "file missing or unreadable, a bad entry, a day the model refuses), after\n"
    "an \"ERROR in main\" block.\n"
    "Example: printf '5\\n4\\n2\\n' | results_checker\n";

std::string Checker_Help_Text() {
  char Text[2048];
  std::snprintf(Text, sizeof Text, Help_Format, static_cast<int>(Max_Servers));
  return Text;
}

/* Opened only once the day is known to be one the model takes, so that
** a day the simulator would refuse is said as that, not as a missing file. */
std::FILE* Open_Results() {
  std::FILE* Out = Open_Binary_Input(ZOR_Binary_Out);
  if (Out == nullptr && errno == ENOENT)
    Main_Error(6,
               "  File: %s can not be opened for reading\n"
               "  It does not exist: a simulator writes it, run in this folder on this ZOR_Binary_In.\n",
               ZOR_Binary_Out);
  if (Out == nullptr) Main_Error(6, "  File: %s can not be opened for reading\n", ZOR_Binary_Out);
  return Out;
}

}  // namespace

int main(int Argc, char** Argv) {
  Take_No_Arguments(Argc, Argv, "results_checker", Checker_Help_Text().c_str());
  Main_Error_Status = 2;
  std::FILE* In = Open_Binary_Input(ZOR_Binary_In);
  if (In == nullptr) Main_Error(1, "  File: %s can not be opened for reading\n", ZOR_Binary_In);
  int32_t Servers[Number_Of_Stations];
  Ask_Servers(Servers);
  std::vector<Customer_Parameters> Day = Read_Day(In);
  Refuse_Day_Past_The_Clock(Day, Servers);
  std::FILE* Out = Open_Results();
  Results_File Results;
  if (!Read_Results_File(Out, Day.size(), &Results))
    Main_Error(6, "  File: %s can not be opened for reading\n", ZOR_Binary_Out);
  std::fclose(Out);

  Verdict V = Judge_Results(Day, Results, Servers);
  Print_Verdict(stdout, V, Day.size());
  return V.Follows ? 0 : 1;
}
