/*
** failure_report.cpp
** The failing day, shown and kept.
*/
#include "simulator_checker/failure_report.h"

#include <cinttypes>
#include <vector>

#include "common/record_io.h"
#include "common/shown_text.h"
#include "common/staged_file.h"
#include "common/zor_stations.h"
#include "listers/record_listing.h"
#include "simulator/trace_lines.h"

namespace {

void Print_Day(std::FILE* Out, const std::vector<Customer_Parameters>& Day) {
  std::fprintf(Out, "  %8s %10s %12s %7s %7s %8s %7s %7s %7s %7s\n", "customer", "arrives", "interarrival", "to LAB",
               "LAB", "to X_RAY", "X_RAY", "to EKG", "EKG", "to exit");
  int64_t Arrives = 0;
  for (size_t C = 0; C < Day.size(); C++) {
    const Customer_Parameters& P = Day[C];
    Arrives += P.Interarrival_Time;
    std::fprintf(Out, "  %8zu %10" PRId64 " %12d %7d %7d %8d %7d %7d %7d %7d\n", C + 1, Arrives, P.Interarrival_Time,
                 P.Travel_Time_To_LAB, P.LAB_Service_Time, P.Travel_Time_To_X_RAY, P.X_RAY_Service_Time,
                 P.Travel_Time_To_EKG, P.EKG_Service_Time, P.Travel_Time_To_EXIT);
  }
}

std::string Servers_Text(const int32_t Servers[Number_Of_Stations]) {
  return "LAB " + std::to_string(Servers[LAB]) + ", X_RAY " + std::to_string(Servers[X_RAY]) + ", EKG " +
         std::to_string(Servers[EKG]);
}

/* A listing as the listers write it, from a file's bytes, written whole
** under its name as they write it. */
bool Write_Listing(const std::string& Path, std::string Bytes, bool Results) {
  std::FILE* In = fmemopen(Bytes.data(), Bytes.size(), "rb");
  Staged_File Text;
  if (In == nullptr || !Begin_Staged_File(&Text, Path.c_str())) {
    if (In != nullptr) std::fclose(In);
    return false;
  }
  bool Ok = true;
  if (!Bytes.empty()) {
    Listing L = Results ? List_Results(In, Text.Out) : List_Parameters(In, Text.Out);
    Ok = !L.Write_Failed && !L.Read_Failed;
  }
  std::fclose(In);
  if (!Ok) Abandon_Staged_File(&Text);
  return Ok && Finish_Staged_File(&Text, Path.c_str());
}

/* A kept file, whole under its name or not there: the folder is for
** rerunning by hand, and a cut file would show a different failure. */
bool Keep_File(const std::string& Path, const std::string& Bytes) {
  return Write_Staged_Bytes(Path.c_str(), Bytes.data(), Bytes.size());
}

}  // namespace

void Print_Failure(std::FILE* Out, const std::string& Program, const Trial_Day& Failing, int Trial, int Trials,
                   const Trial_Outcome& First, const Shrunk_Day& Shrunk, const Sandbox_Limits& Limits,
                   const Sandbox_Limits& Shrinking_Limits) {
  std::fprintf(Out, "%s does not follow the model.\n", Program.c_str());
  std::fprintf(Out, "On day %d of %d (%s; %zu customer%s; servers %s) it %s.\n", Trial, Trials,
               Failing.What.c_str(), Failing.Day.size(), Failing.Day.size() == 1 ? "" : "s",
               Servers_Text(Failing.Servers).c_str(), Failure_Summary(First, Limits).c_str());
  std::string Outside = Outside_The_Draws(Shrunk.Day);
  std::fprintf(Out, "\nThe smallest day that shows it (day %d shrunk in %d more run%s): %zu customer%s; servers %s%s\n",
               Trial, Shrunk.Trials, Shrunk.Trials == 1 ? "" : "s", Shrunk.Day.size(),
               Shrunk.Day.size() == 1 ? "" : "s", Servers_Text(Shrunk.Servers).c_str(),
               Outside.empty() ? "" : ("; " + Outside).c_str());
  Print_Day(Out, Shrunk.Day);
  const Trial_Outcome& O = Shrunk.Outcome;
  /* The limits the failure shown was met under. */
  std::fprintf(Out, "\nOn that day it %s.\n", Failure_Summary(O, Shrunk.Rerun ? Shrinking_Limits : Limits).c_str());
  if (O.Kind == Outcome_Broke_Rule) {
    std::fprintf(Out, "\n");
    Print_Verdict(Out, O.Judgement, Shrunk.Day.size());
  }
  /* The program's own words are shown as the characters they are: a
  ** terminal must not take them for commands (a cleared screen, a line
  ** overwritten with "followed the model"). */
  if (O.Kind == Outcome_Trace_Differs)
    std::fprintf(Out, "  line %zu of ZOR_Debug_Out\n  expected: %s\n  found:    %s\n", O.Trace.Line,
                 O.Trace.Expected.c_str(), Visible_Text(O.Trace.Found).c_str());
  if (!O.Their_Errors.empty() && O.Kind != Outcome_Broke_Rule && O.Kind != Outcome_Trace_Differs)
    std::fprintf(Out, "What it wrote on standard error, at the end:\n%s\n", Visible_Text(O.Their_Errors).c_str());
}

bool Keep_Day(const std::string& Folder, const Shrunk_Day& Shrunk, const std::string& Verdict_Text) {
  const std::vector<Customer_Parameters>& Day = Shrunk.Day;
  std::string Day_Bytes = Records_Image(Day);
  std::vector<Customer_Results> Reference(Day.size());
  std::vector<Trace_Event> Trace;
  Day_Summary Summary;
  Simulate_Day(Day.data(), static_cast<int32_t>(Day.size()), Shrunk.Servers, Reference.data(), &Summary, &Trace);
  std::string Reference_Bytes = Records_Image(Reference), Reference_Trace = Trace_Header();
  for (const Trace_Event& E : Trace) Reference_Trace += Trace_Line(E);
  bool Ok = Keep_File(Folder + "/ZOR_Binary_In", Day_Bytes) && Keep_File(Folder + "/entries", Entries_Of(Shrunk.Servers)) &&
            Write_Listing(Folder + "/ZOR_Text_In", Day_Bytes, false) &&
            Keep_File(Folder + "/Reference_Binary_Out", Reference_Bytes) &&
            Write_Listing(Folder + "/Reference_Text_Out", Reference_Bytes, true) &&
            Keep_File(Folder + "/Reference_Debug_Out", Reference_Trace) && Keep_File(Folder + "/Verdict", Verdict_Text);
  /* What the program wrote, and nothing left from an earlier kept day. */
  const Trial_Outcome& O = Shrunk.Outcome;
  for (const char* Stale : {"/ZOR_Binary_Out", "/ZOR_Text_Out", "/ZOR_Debug_Out"}) std::remove((Folder + Stale).c_str());
  if (Ok && !O.Their_Output.empty()) {
    Ok = Keep_File(Folder + "/ZOR_Binary_Out", O.Their_Output);
    if (Ok && O.Output_Size % sizeof(Customer_Results) == 0)
      Ok = Write_Listing(Folder + "/ZOR_Text_Out", O.Their_Output, true);
  }
  if (Ok && O.Wrote_Trace) Ok = Keep_File(Folder + "/ZOR_Debug_Out", O.Their_Trace);
  return Ok;
}

std::string Shell_Word(const std::string& Word) {
  const char* Plain = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_/.,:+=@%-";
  if (!Word.empty() && Word.find_first_not_of(Plain) == std::string::npos) return Word;
  std::string Quoted = "'";
  for (char C : Word) Quoted += C == '\'' ? std::string("'\\''") : std::string(1, C);
  return Quoted + "'";
}

/* Each failure is shown again by its own means: the verdict of
** results_checker, the traces side by side, the program's own status, or
** the wait for an entry, which needs standard input left open as a
** person typing leaves it (with < entries it would meet the end). By
** hand the program runs outside the sandbox, under none of its limits. */
std::string Rerun_Advice(const std::string& Folder, const std::string& Program, const std::string& Beside,
                         const std::string& Checker, const Trial_Outcome& Failure, const Sandbox_Limits& Limits) {
  /* The run's folder held the program's files too; -n keeps the day's
  ** ZOR_Binary_In and what the program wrote. */
  std::string Go = "cd " + Shell_Word(Folder) + " && " + (Beside.empty() ? "" : "cp -Rn " + Shell_Word(Beside + "/.") + " . && ");
  std::string Run = Program + " < entries";
  std::string Check = " && " + Shell_Word(Checker) + " < entries";
  std::string Line, Shows;
  bool Of_Time = Failure.Kind == Outcome_Limit &&
                 (Failure.Ending == Sandbox_Cpu_Limit || Failure.Ending == Sandbox_Wall_Limit);
  switch (Failure.Kind) {
    case Outcome_Broke_Rule:
    case Outcome_No_Output:
    case Outcome_Cut_Short: Line = Go + Run + Check, Shows = "results_checker gives the verdict above"; break;
    case Outcome_Trace_Differs:
      Line = Go + Run + Check + " && diff Reference_Debug_Out ZOR_Debug_Out";
      Shows = "ZOR_Binary_Out follows the model; diff shows where ZOR_Debug_Out first differs from the reference's";
      break;
    case Outcome_Asked_More:
      Line = Go + "cat entries - | " + Program;
      Shows = "the entries typed and standard input left open: it waits for another entry (Ctrl-D ends the input)";
      break;
    default:
      Line = Of_Time ? Go + Run : Go + Run + "; echo \"exit status $?\"";
      if (!Of_Time)
        Shows = "it " + Failure_Summary(Failure, Limits) + "; by hand, outside the sandbox and its limits";
      else if (Failure.Ending == Sandbox_Wall_Limit)
        Shows = "it sleeps or blocks on past the wall-time limit (Ctrl-C stops it)";
      else
        Shows = "it runs on past the time limit (Ctrl-C stops it)";
      break;
  }
  return "\nThe day is kept in " + Folder + ". To rerun it by hand (" + Shows + "):\n  " + Line + "\n";
}
