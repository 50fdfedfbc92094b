/*
** trial.cpp
** Running the user's program on one day, and judging what it left.
**
** What the program left is read as a contained program's files are: a
** ZOR_Binary_Out or ZOR_Debug_Out that is not a regular file (a link out
** of the folder, a FIFO) is named as such and never followed or opened.
*/
#include "simulator_checker/trial.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include <sys/stat.h>

#include "common/record_io.h"
#include "common/shown_text.h"
#include "common/whole_file.h"
#include "common/zor_stations.h"
#include "simulator/trace_lines.h"

namespace {

std::atomic<uint64_t> Trials_Begun{0};
std::atomic<uint64_t> Boxes_Kept{0};
/* For Stop_Trials: a trial counts itself in before it looks at Stopping,
** so once Stopping is set and In_Progress is 0, no trial can still make
** or fill a folder. */
std::atomic<int> In_Progress{0};
std::atomic<bool> Stopping{false};

/* What is read back of what the program wrote is bounded by the day, not
** by the program: ZOR_Binary_Out up to the day's records, whatever lies
** past them counted from its size alone; ZOR_Debug_Out up to the
** reference's trace and a line's worth more. A trace longer than that
** differs from the reference at the same line whether read whole or
** not, since even a single line of it is longer than the whole
** reference; so a grader holding many days holds the day's size each. */
constexpr size_t Trace_Margin = 4096;

size_t Day_Output_Size(const std::vector<Customer_Parameters>& Day) { return Day.size() * sizeof(Customer_Results); }

/* The reference's trace of the day, and the size of its text. */
size_t Reference_Trace(const std::vector<Customer_Parameters>& Day, const int32_t Servers[Number_Of_Stations],
                       std::vector<Trace_Event>* Trace) {
  std::vector<Customer_Results> Reference(Day.size());
  Day_Summary Summary;
  Simulate_Day(Day.data(), static_cast<int32_t>(Day.size()), Servers, Reference.data(), &Summary, Trace);
  size_t Size = Trace_Header().size();
  for (const Trace_Event& E : *Trace) Size += Trace_Line(E).size();
  return Size;
}

/* The last lines the program wrote on standard error, enough to see why
** it stopped. */
std::string Tail_Of(const std::string& Text) {
  const size_t Most = 400;
  std::string Tail = Text.size() > Most ? "..." + Text.substr(Text.size() - Most) : Text;
  while (!Tail.empty() && (Tail.back() == '\n' || Tail.back() == ' ')) Tail.pop_back();
  return Tail;
}

bool Output_Not_A_File(Trial_Outcome& O, Left_Kind Kind, const char* Name) {
  if (Kind == Left_File || Kind == Left_Nothing) return false;
  O.Kind = Outcome_Not_A_File;
  O.Problem = std::string(Name) + " as " + Left_Kind_Name(Kind);
  return true;
}

/* Both files are read first, so that --keep has them whatever the verdict. */
void Judge_Output(Trial_Outcome& O, const std::string& Folder, const std::vector<Customer_Parameters>& Day,
                  const int32_t Servers[Number_Of_Stations]) {
  std::vector<Trace_Event> Trace;
  size_t Trace_Size = Reference_Trace(Day, Servers, &Trace);
  Left_Kind Kind = Read_Left_File(Folder, "ZOR_Binary_Out", Day_Output_Size(Day), &O.Their_Output, &O.Output_Size);
  Left_Kind Trace_Kind = Read_Left_File(Folder, "ZOR_Debug_Out", Trace_Size + Trace_Margin, &O.Their_Trace);
  O.Wrote_Trace = Trace_Kind == Left_File;
  if (Output_Not_A_File(O, Kind, "ZOR_Binary_Out") || Output_Not_A_File(O, Trace_Kind, "ZOR_Debug_Out")) return;
  if (Kind == Left_Nothing) {
    O.Kind = Outcome_No_Output;
    return;
  }
  if (O.Output_Size % sizeof(Customer_Results) != 0) {
    O.Kind = Outcome_Cut_Short;
    return;
  }
  Results_File Results;
  std::FILE* In = fmemopen(O.Their_Output.data(), O.Their_Output.size(), "rb");
  bool Read = In != nullptr && Read_Results_File(In, Day.size(), &Results);
  if (In != nullptr) std::fclose(In);
  if (!Read && !O.Their_Output.empty()) {
    O.Kind = Outcome_Cut_Short;
    return;
  }
  Results.Extra += static_cast<int64_t>((O.Output_Size - O.Their_Output.size()) / sizeof(Customer_Results));
  O.Judgement = Judge_Results(Day, Results, Servers);
  if (!O.Judgement.Follows) {
    O.Kind = Outcome_Broke_Rule;
    return;
  }
  O.Kind = Outcome_Held;
  if (!O.Wrote_Trace) return;
  O.Trace = Compare_Trace(O.Their_Trace, Trace);
  if (O.Trace.Line != 0) O.Kind = Outcome_Trace_Differs;
}

/* What a run that ended otherwise left, read for --keep only: files that
** are not plain files are neither read nor named. */
void Read_What_It_Left(Trial_Outcome& O, const std::string& Folder, const std::vector<Customer_Parameters>& Day,
                       const int32_t Servers[Number_Of_Stations]) {
  std::vector<Trace_Event> Trace;
  size_t Trace_Size = Reference_Trace(Day, Servers, &Trace);
  if (Read_Left_File(Folder, "ZOR_Binary_Out", Day_Output_Size(Day), &O.Their_Output, &O.Output_Size) != Left_File)
    O.Their_Output.clear(), O.Output_Size = 0;
  O.Wrote_Trace = Read_Left_File(Folder, "ZOR_Debug_Out", Trace_Size + Trace_Margin, &O.Their_Trace) == Left_File;
  if (!O.Wrote_Trace) O.Their_Trace.clear();
}

/* What the run's ending says of the trial, before its files are looked at. */
void Take_Ending(Trial_Outcome& O, const Sandbox_Result& R, const Program_Under_Test& Program) {
  switch (R.Ending) {
    case Sandbox_Exited:
      O.Kind = R.Status == 0 ? Outcome_Held : Outcome_Exit_Status, O.Code = R.Status;
      return;
    case Sandbox_Killed: O.Kind = Outcome_Killed, O.Code = R.Signal; return;
    case Sandbox_Waiting_For_Input: O.Kind = Outcome_Asked_More; return;
    case Sandbox_Reached_Outside: O.Kind = Outcome_Reached_Outside, O.Problem = R.Detail; return;
    case Sandbox_Not_Started:
      O.Kind = Outcome_Not_Run;
      O.Problem = "cannot run " + Program.Path + ": " + Sandbox_Verdict(R, Program.Limits);
      return;
    default: O.Kind = Outcome_Limit, O.Ending = R.Ending, O.Problem = R.Detail; return;
  }
}

}  // namespace

void Stop_Trials() {
  Stopping.store(true);
  Sandbox_Stop_All();
  for (int Round = 0; Round < 1000 && In_Progress.load() > 0; Round++)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

std::string Entries_Of(const int32_t Servers[Number_Of_Stations]) {
  return std::to_string(Servers[LAB]) + "\n" + std::to_string(Servers[X_RAY]) + "\n" + std::to_string(Servers[EKG]) +
         "\n";
}

Trial_Box Keep_Trial_Box(const Program_Under_Test& Program) {
  Trial_Box B;
  B.Folder = Program.Scratch + "/worker_" + std::to_string(Boxes_Kept.fetch_add(1));
  if (mkdir(B.Folder.c_str(), 0711) != 0) {
    B.Folder.clear();
    return B;
  }
  Sandbox_Request Like;
  Like.Command = {Program.Path};
  Like.Command.insert(Like.Command.end(), Program.Arguments.begin(), Program.Arguments.end());
  Like.Folder = B.Folder;
  Like.Readable = Program.Readable;
  std::string Why_Not;
  B.Box = Sandbox_Keep_Box(Like, &Why_Not);
  return B;
}

void Drop_Trial_Box(Trial_Box* B) {
  if (B->Box >= 0) Sandbox_Drop_Box(B->Box);
  if (!B->Folder.empty()) Remove_Tree(B->Folder);
  *B = Trial_Box{};
}

Trial_Outcome Run_Trial(const Program_Under_Test& Program, const std::vector<Customer_Parameters>& Day,
                        const int32_t Servers[Number_Of_Stations], const Trial_Box* Box) {
  Trial_Outcome O;
  In_Progress.fetch_add(1);
  if (Stopping.load()) {
    In_Progress.fetch_sub(1);
    O.Problem = "stopped";
    return O;
  }
  bool Kept = Box != nullptr && Box->Box >= 0;
  std::string Folder = (Kept ? Box->Folder : Program.Scratch) + "/trial_" + std::to_string(Trials_Begun.fetch_add(1));
  if (mkdir(Folder.c_str(), 0700) != 0 || !Write_Whole_File(Folder + "/ZOR_Binary_In", Records_Image(Day))) {
    O.Problem = "cannot make a trial folder in " + Program.Scratch;
    Remove_Tree(Folder);
    In_Progress.fetch_sub(1);
    return O;
  }
  Sandbox_Request Request;
  Request.Command = {Program.Path};
  Request.Command.insert(Request.Command.end(), Program.Arguments.begin(), Program.Arguments.end());
  Request.Folder = Folder;
  Request.Input = Entries_Of(Servers);
  Request.Input_Stays_Open = true;  // a program that asks for more waits, and is seen waiting
  Request.Readable = Program.Readable;
  Request.Start_With = Program.Folder;
  /* Output left from a run by hand must not pass for this run's. */
  Request.Start_Without = {"ZOR_Binary_Out", "ZOR_Debug_Out"};
  Request.Kept_Out = 0;
  Request.Kept_Err = 4096;
  Request.Limits = Program.Limits;
  Request.Kept_Box = Kept ? Box->Box : -1;
  Sandbox_Result R = Run_Contained(Request);
  /* bubblewrap failing to make the box (its own one line, before the
  ** program ran) is the machine's trouble, not the program's: once more. */
  if (R.Ending == Sandbox_Not_Started && R.Detail.rfind("bwrap: ", 0) == 0 && !Stopping.load())
    R = Run_Contained(Request);
  if (Stopping.load()) {
    /* Ended by the stop, not by anything it did. */
    Remove_Tree(Folder);
    In_Progress.fetch_sub(1);
    O.Problem = "stopped";
    return O;
  }
  O.Seconds = R.Wall_Seconds;
  O.Cpu_Seconds = R.Cpu_Seconds;
  O.Their_Errors = Tail_Of(R.Err);
  Take_Ending(O, R, Program);
  if (O.Kind == Outcome_Held) Judge_Output(O, Folder, Day, Servers);
  else if (O.Kind != Outcome_Not_Run) Read_What_It_Left(O, Folder, Day, Servers);
  /* A program that coped with a refused fork by giving up names the cause
  ** less well than the limit it met. */
  if (R.Processes_Refused && (O.Kind == Outcome_No_Output || O.Kind == Outcome_Cut_Short))
    O.Kind = Outcome_Limit, O.Ending = Sandbox_Process_Limit;
  Remove_Tree(Folder);
  In_Progress.fetch_sub(1);
  return O;
}

bool Same_Failure(const Trial_Outcome& A, const Trial_Outcome& B) {
  if (A.Kind != B.Kind) return false;
  if (A.Kind == Outcome_Broke_Rule) return A.Judgement.First.Broken == B.Judgement.First.Broken;
  if (A.Kind == Outcome_Killed) return A.Code == B.Code;
  auto Of_Time = [](Sandbox_Ending E) { return E == Sandbox_Cpu_Limit || E == Sandbox_Wall_Limit; };
  if (A.Kind == Outcome_Limit) return A.Ending == B.Ending || (Of_Time(A.Ending) && Of_Time(B.Ending));
  return true;
}

std::string Failure_Summary(const Trial_Outcome& O, const Sandbox_Limits& Limits) {
  char Text[200];
  Sandbox_Result Ended;
  switch (O.Kind) {
    case Outcome_Held: return "followed the model";
    case Outcome_Broke_Rule: return std::string("broke the rule \"") + Rule_Name[O.Judgement.First.Broken] + "\"";
    case Outcome_Trace_Differs:
      std::snprintf(Text, sizeof Text, "wrote a ZOR_Binary_Out that follows the model, but a ZOR_Debug_Out that "
                    "differs from the reference's trace at line %zu", O.Trace.Line);
      return Text;
    case Outcome_Killed:
      std::snprintf(Text, sizeof Text, "crashed: killed by signal %d (%s)", O.Code, strsignal(O.Code));
      return Text;
    case Outcome_Limit:
      Ended.Ending = O.Ending, Ended.Detail = O.Problem;
      return Sandbox_Verdict(Ended, Limits);
    case Outcome_Asked_More: return "asked for more than the three entries (the server counts) and waited for another";
    case Outcome_Reached_Outside: return "tried to reach outside its folder: " + Visible_Text(O.Problem);
    case Outcome_Exit_Status:
      std::snprintf(Text, sizeof Text, "exited with status %d, not 0", O.Code);
      return Text;
    case Outcome_No_Output: return "exited with status 0 but wrote no ZOR_Binary_Out";
    case Outcome_Not_A_File:
      return "left " + Visible_Text(O.Problem) + ", not a regular file; the checker neither follows nor opens it";
    case Outcome_Cut_Short:
      std::snprintf(Text, sizeof Text, "wrote a ZOR_Binary_Out cut short: %zu bytes, not a whole number of 92-byte "
                    "records", O.Output_Size);
      return Text;
    case Outcome_Not_Run: return O.Problem;
  }
  return "";
}
