/*
** zor_simulator.cpp
** The reference simulator for the ZOR day: reads ZOR_Binary_In, asks for
** the number of servers at each station, simulates the day and writes
** one results record per customer to ZOR_Binary_Out, the file that
** results_lister lists, and its event trace to ZOR_Debug_Out. It stands
** in for the simulator a user writes; only the two binary layouts bind
** that one, and the trace is there to compare with, line by line.
**
** Every check on the entries and the input comes before any output is
** created, and each output is written under a temporary name and named
** only when whole, so a failed or interrupted run never leaves a file
** that looks like the answer for this day.
*/
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/customer_parameters.h"
#include "common/customer_results.h"
#include "common/main_error.h"
#include "common/program_arguments.h"
#include "common/record_io.h"
#include "common/staged_file.h"
#include "common/zor_files.h"
#include "simulator/day_input.h"
#include "simulator/simulation.h"
#include "simulator/trace_lines.h"

namespace {

/* The help, with the most servers a station may have written by its name. */
const char Help_Format[] =
    "Usage: zor_simulator\n"
    "The reference simulator of the ZOR day. In the current folder it reads\n"
    "ZOR_Binary_In, asks on standard error for the servers at LAB, X_RAY and EKG\n"
    "(each 1 .. %d, typed on standard input), simulates the day and writes\n"
    "ZOR_Binary_Out (one 92-byte record per customer) and ZOR_Debug_Out (the\n"
    "event trace, one line per event). It prints a summary of the day: the\n"
    "customers, when the last service ends, and per station the servers,\n"
    "visits, mean and max wait and utilisation.\n"
    "Exit status: 0 on success; 1 on any failure, after an \"ERROR in main\"\n"
    "block on standard error that names the exit point. Both files are written\n"
    "under temporary names and take their names together when whole, so a\n"
    "failed or interrupted run leaves no partial file.\n"
    "Example: printf '5\\n4\\n2\\n' | zor_simulator\n";

std::string Simulator_Help_Text() {
  char Text[2048];
  std::snprintf(Text, sizeof Text, Help_Format, static_cast<int>(Max_Servers));
  return Text;
}

/* The results and the trace are both written whole under temporary
** names and take their names together at the end, so the two always
** come from one run. */
void Begin_Output(Staged_File* F, const char* Name, int Exit_Point) {
  if (!Begin_Staged_File(F, Name)) Main_Error(Exit_Point, "  File: %s can not be opened for writing\n", Name);
}

void Write_Results(Staged_File* F, const std::vector<Customer_Results>& Results) {
  for (const Customer_Results& R : Results)
    if (!Write_Int32_Record(F->Out, &R, sizeof R)) Main_Error(7, "  fwrite failed to file: %s\n", ZOR_Binary_Out);
}

/* The trace, in the format the README documents for a user's own. */
void Write_Trace(Staged_File* F, const std::vector<Trace_Event>& Trace) {
  bool Failed = std::fputs(Trace_Header().c_str(), F->Out) == EOF;
  for (const Trace_Event& E : Trace) Failed |= std::fputs(Trace_Line(E).c_str(), F->Out) == EOF;
  if (Failed) Main_Error(9, "  fprintf failed to file: %s\n", ZOR_Debug_Out);
}

void Write_Day_Outputs(const std::vector<Customer_Results>& Results, const std::vector<Trace_Event>& Trace) {
  Staged_File Binary, Debug;
  Begin_Output(&Binary, ZOR_Binary_Out, 6);
  Begin_Output(&Debug, ZOR_Debug_Out, 8);
  Write_Results(&Binary, Results);
  Write_Trace(&Debug, Trace);
  /* A full disk shows at the latest when the buffers are flushed: both
  ** are, before either file takes its name. */
  if (std::fflush(Binary.Out) != 0) Main_Error(7, "  fwrite failed to file: %s\n", ZOR_Binary_Out);
  if (std::fflush(Debug.Out) != 0) Main_Error(9, "  fprintf failed to file: %s\n", ZOR_Debug_Out);
  if (!Finish_Staged_File(&Binary, ZOR_Binary_Out)) Main_Error(7, "  fwrite failed to file: %s\n", ZOR_Binary_Out);
  if (!Finish_Staged_File(&Debug, ZOR_Debug_Out)) Main_Error(9, "  fprintf failed to file: %s\n", ZOR_Debug_Out);
}

void Print_Day_Summary(int32_t Count, const Day_Summary& Summary) {
  std::printf("Customers simulated: %d\n", Count);
  std::printf("Last service ends at: %d s\n", Summary.Last_Departure);
  std::printf("Station  Servers  Visits  Mean wait  Max wait  Utilisation\n");
  for (int32_t S = 0; S < Number_Of_Stations; S++) {
    const Station_Summary& At = Summary.At[S];
    double Mean_Wait = At.Visits > 0 ? double(At.Total_Wait) / At.Visits : 0.0;
    double Capacity = double(At.Servers) * Summary.Last_Departure;
    double Utilisation = Capacity > 0 ? 100.0 * double(At.Busy_Time) / Capacity : 0.0;
    std::printf("%-7s %8d %7d %8.1f s %7d s %10.1f %%\n", Station_Name[S], At.Servers, At.Visits, Mean_Wait,
                At.Max_Wait, Utilisation);
  }
}

}  // namespace

int main(int Argc, char** Argv) {
  Take_No_Arguments(Argc, Argv, "zor_simulator", Simulator_Help_Text().c_str());
  std::FILE* In = Open_Binary_Input(ZOR_Binary_In);
  if (In == nullptr) Main_Error(1, "  File: %s can not be opened for reading\n", ZOR_Binary_In);
  int32_t Servers[Number_Of_Stations];
  Ask_Servers(Servers);
  std::vector<Customer_Parameters> Day = Read_Day(In);

  int32_t Count = static_cast<int32_t>(Day.size());
  std::vector<Customer_Results> Results(Day.size());
  std::vector<Trace_Event> Trace;
  Day_Summary Summary;
  Refuse_Past_The_Clock(Simulate_Day(Day.data(), Count, Servers, Results.data(), &Summary, &Trace));
  Write_Day_Outputs(Results, Trace);
  Print_Day_Summary(Count, Summary);
  return 0;
}
