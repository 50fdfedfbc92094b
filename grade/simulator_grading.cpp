/*
** simulator_grading.cpp
** The battery, day by day, for one student, and what they are told.
*/
#include "grade/simulator_grading.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/zor_assert.h"
#include "grade/battery_notes.h"
#include "grade/build_command.h"
#include "grade/submission_copy.h"
#include "plotter/day_picture.h"
#include "simulator_checker/battery.h"
#include "simulator_checker/failure_report.h"
#include "simulator_checker/shrink.h"
#include "sandbox/sandbox.h"
#include "simulator_checker/trial.h"
#include "simulator_checker/trial_workers.h"

namespace {

namespace fs = std::filesystem;

/* How a day ended: a verdict word, and the count it adds to (-1: a rule's,
** or none). A limit is told apart by which limit ended the run. */
struct Kind_Of_Day {
  Outcome_Kind Kind;
  Sandbox_Ending Ending;  // with Outcome_Limit
  const char* Word;
  int Count;
};

const Kind_Of_Day Kinds[] = {
    {Outcome_Held, Sandbox_Exited, "followed", -1},
    {Outcome_Broke_Rule, Sandbox_Exited, "broke-rule", -1},
    {Outcome_Trace_Differs, Sandbox_Exited, "trace-differs", Count_Trace_Differs},
    {Outcome_Killed, Sandbox_Exited, "crashed", Count_Crashed},
    {Outcome_Limit, Sandbox_Cpu_Limit, "time-limit", Count_Time_Limit},
    {Outcome_Limit, Sandbox_Wall_Limit, "time-limit", Count_Time_Limit},
    {Outcome_Limit, Sandbox_Memory_Limit, "memory-limit", Count_Memory_Limit},
    {Outcome_Limit, Sandbox_Output_Limit, "output-limit", Count_Output_Limit},
    {Outcome_Limit, Sandbox_File_Limit, "output-limit", Count_Output_Limit},
    {Outcome_Limit, Sandbox_Folder_Limit, "output-limit", Count_Output_Limit},
    {Outcome_Limit, Sandbox_Process_Limit, "process-limit", Count_Process_Limit},
    {Outcome_Asked_More, Sandbox_Exited, "asked-for-input", Count_Asked_For_Input},
    {Outcome_Reached_Outside, Sandbox_Exited, "reached-outside", Count_Reached_Outside},
    {Outcome_Exit_Status, Sandbox_Exited, "bad-exit", Count_Bad_Exit},
    {Outcome_No_Output, Sandbox_Exited, "no-output", Count_No_Output},
    {Outcome_Not_A_File, Sandbox_Exited, "bad-output", Count_Bad_Output},
    {Outcome_Cut_Short, Sandbox_Exited, "bad-output", Count_Bad_Output},
    {Outcome_Not_Run, Sandbox_Exited, "not-run", Count_Not_Run},
};

const Kind_Of_Day& Kind_Of(const Trial_Outcome& O) {
  for (const Kind_Of_Day& D : Kinds)
    if (D.Kind == O.Kind && (O.Kind != Outcome_Limit || D.Ending == O.Ending)) return D;
  return Kinds[std::size(Kinds) - 1];
}

bool Of_Time(const Trial_Outcome& O) {
  return O.Kind == Outcome_Limit && (O.Ending == Sandbox_Cpu_Limit || O.Ending == Sandbox_Wall_Limit);
}

bool Executable(const std::string& Path) {
  struct stat Status;
  return stat(Path.c_str(), &Status) == 0 && S_ISREG(Status.st_mode) && (Status.st_mode & 0100) != 0;
}

Student_Grade Not_Graded(const Student& S, const char* Verdict, const std::string& Reason, const std::string& More) {
  return Ungraded("ZOR simulator", S.Id, Verdict, Reason, More);
}

/* Whether Word, where it names an entry of the student's folder, may be
** used: a folder, a link that stays inside, or a regular file of bounded
** size that opens beneath the folder without a link out of it (then
** *Is_File). A word that names nothing there is the program's to read. */
bool Entry_May_Be_Used(const std::string& Folder, const std::string& Word, bool* Is_File, std::string* Problem) {
  *Is_File = false;
  int Within = open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (Within < 0) return *Problem = "the folder " + Folder + " cannot be opened", false;
  struct stat Status;
  bool Named = fstatat(Within, Word.c_str(), &Status, AT_SYMLINK_NOFOLLOW) == 0;
  bool Fine = true;
  if (Named && S_ISDIR(Status.st_mode)) {
    Fine = Stays_Beneath(Within, Word, Problem);
  } else if (Named) {
    int In = Open_Beneath(Within, Word, Most_Copied_File_Bytes, Problem);
    Fine = In >= 0, *Is_File = Fine;
    if (In >= 0) close(In);
  }
  close(Within);
  return Fine;
}

/* The program a manifest's command names. The run's folder starts with a
** copy of the student's folder, and that folder is shown read-only at its
** own path, so that the command's words work there as they do in the
** student's folder (java -cp . Sim, python3 sim.py, a data file); only
** the program, when it is one of the student's files, is named by its
** path, since a program is started by path or found on PATH. Every word
** that names an entry of the folder is checked first: no link out of it,
** no FIFO or device, no file past the cap; false with Problem. A word
** with a leading slash is the teacher's. */
bool Program_Of_Command(const std::string& Command, const std::string& Folder, Program_Under_Test* P,
                        std::string* Problem) {
  std::istringstream In(Command);
  std::vector<std::string> Words;
  for (std::string Word; In >> Word;) Words.push_back(Word);
  if (Words.empty()) Words.push_back("");  // not run, and said so
  for (size_t I = 0; I < Words.size(); I++) {
    bool Is_File = false;
    if (Words[I].empty() || Words[I][0] == '/') continue;
    if (!Entry_May_Be_Used(Folder, Words[I], &Is_File, Problem)) return false;
    if (I == 0 && Is_File) Words[0] = (fs::path(Folder) / Words[0]).lexically_normal().string();
  }
  *P = Program_Under_Test{Words[0], {Words.begin() + 1, Words.end()}, {}, {}, "", ""};
  return true;
}

/* Builds in a copy of the student's folder; false with the grade of a
** folder that cannot be copied or does not build. */
bool Build_Copy(const Student& S, const Simulator_Settings& Settings, const std::string& Folder, Student_Grade* G) {
  std::string Problem;
  if (!Copy_Submission(S.Folder, Folder, &Problem))
    return *G = Not_Graded(S, "refused", "the folder cannot be copied to build it: " + Problem, ""), false;
  Build_Outcome B = Run_Build_Command(Settings.Build, Folder, Settings.Build_Run_Limits);
  if (!B.Built)
    return *G = Not_Graded(S, "does-not-build", "the build command " + B.Why,
                           "What the build (" + Settings.Build + ") printed, at the end:\n" + B.Output),
           false;
  return true;
}

/* Finds (building if asked) the program to run, and takes it and the
** files its command names into the grader's private copies; false with
** the grade of a submission that is missing, refused or does not build. */
bool Prepare_Program(const Student& S, const Simulator_Settings& Settings, Program_Under_Test* Program,
                     Student_Grade* G) {
  bool Missing = false;
  std::string Problem = Submission_Folder_Problem(S.Folder, &Missing);
  if (!Problem.empty()) return *G = Not_Graded(S, Missing ? "missing" : "refused", Problem, ""), false;
  std::error_code Error;
  if (fs::is_empty(S.Folder, Error)) return *G = Not_Graded(S, "missing", "the folder is empty", ""), false;
  std::string Folder = S.Folder;
  if (!Settings.Build.empty()) {
    Folder = Student_Build_Folder(Settings.Scratch, S.Id);
    if (!Build_Copy(S, Settings, Folder, G)) return false;
  }
  const char* After = Settings.Build.empty() ? "" : "after the build, ";
  bool Is_File = false;
  if (!S.Command.empty()) {
    if (!Program_Of_Command(S.Command, Folder, Program, &Problem))
      return *G = Not_Graded(S, "refused", After + Problem, ""), false;
  } else if (!Entry_May_Be_Used(Folder, "simulator", &Is_File, &Problem)) {
    return *G = Not_Graded(S, "refused", After + Problem, ""), false;
  } else if (Is_File && Executable(Folder + "/simulator")) {
    *Program = Program_Under_Test{Folder + "/simulator", {}, {}, {}, "", ""};
  } else {
    const char* Verdict = Settings.Build.empty() ? "missing" : "does-not-build";
    return *G = Not_Graded(S, Verdict, Settings.Build.empty() ? "no executable file named simulator in the folder"
                                                              : "the build made no executable file named simulator",
                           ""),
           false;
  }
  /* The program's own files first, so that a file past its cap is named
  ** as such; then the folder, which each day's folder starts with a copy of. */
  std::string Why;
  if (!Fits_A_Run_Folder(Folder, &Why)) return *G = Not_Graded(S, "not-run", Why, ""), false;
  Program->Limits = Settings.Limits;
  Program->Scratch = Settings.Scratch;
  Program->Folder = Folder;
  Program->Readable.push_back(Folder);
  return true;
}

/* A run past a limit of time costs the whole limit, so once a day has
** met one the later days get that limit nearer what finished runs took:
** ten times the slowest CPU time, and never below half a second, so a
** program that loops on many days of a class's battery costs seconds,
** not minutes. Only the limit met is shortened: a clock limit of a few
** seconds would fail a correct day on a busy machine, so the clock is
** shortened only for a program that slept past it, and to 10 s at least. */
Sandbox_Limits Shorter_Limits(Sandbox_Limits Limits, double Slowest_Held, bool Cpu_Met, bool Wall_Met) {
  double Nearer = std::max(0.5, 10 * Slowest_Held);
  if (Cpu_Met) Limits.Cpu_Seconds = std::min(Limits.Cpu_Seconds, Nearer);
  if (Wall_Met) Limits.Wall_Seconds = std::min(Limits.Wall_Seconds, std::max(10.0, 3 * Nearer));
  return Limits;
}

/* The room a day's files took, given back: clear() would keep it. */
void Forget_Bytes(Trial_Outcome* O) {
  std::string().swap(O->Their_Output);
  std::string().swap(O->Their_Trace);
  std::string().swap(O->Trace.Expected);
  std::string().swap(O->Trace.Found);
}

}  // namespace

void Keep_Day_Outcome(std::vector<Trial_Outcome>* Outcomes, size_t Day, Trial_Outcome O, size_t* Kept) {
  ZOR_ASSERT(Day < Outcomes->size());
  bool First_Failing = O.Kind != Outcome_Held && (*Kept >= Outcomes->size() || Day < *Kept);
  if (First_Failing) {
    if (*Kept < Outcomes->size()) Forget_Bytes(&(*Outcomes)[*Kept]);
    *Kept = Day;
  } else {
    Forget_Bytes(&O);
  }
  (*Outcomes)[Day] = std::move(O);
}

namespace {

std::vector<Trial_Outcome> Run_Whole_Battery(const Program_Under_Test& Program, const Simulator_Settings& Settings,
                                             const Day_Progress& Show, double* Slowest_Held) {
  std::vector<Trial_Outcome> Outcomes(static_cast<size_t>(Settings.Days));
  std::atomic<bool> Cpu_Met{false}, Wall_Met{false};
  std::atomic<double> Slowest{0};
  std::mutex Keeping;
  size_t Kept = Outcomes.size();
  auto Each = [&](int I, const Trial_Box& Box) {
    Trial_Day T = Battery_Day(I, Settings.Battery);
    Program_Under_Test P = Program;
    if (Cpu_Met.load() || Wall_Met.load())
      P.Limits = Shorter_Limits(P.Limits, Slowest.load(), Cpu_Met.load(), Wall_Met.load());
    Trial_Outcome O = Run_Trial(P, T.Day, T.Servers, &Box);
    if (Of_Time(O)) (O.Ending == Sandbox_Cpu_Limit ? Cpu_Met : Wall_Met).store(true);
    /* By its CPU time where measured: a box takes a while to set up,
    ** which is no part of what the program needs. */
    double Took = O.Cpu_Seconds >= 0 ? O.Cpu_Seconds : O.Seconds;
    if (O.Kind == Outcome_Held)
      for (double S = Slowest.load(); Took > S && !Slowest.compare_exchange_weak(S, Took);) {
      }
    std::lock_guard<std::mutex> Hold(Keeping);
    Keep_Day_Outcome(&Outcomes, static_cast<size_t>(I), std::move(O), &Kept);
  };
  Run_On_Workers(Program, Settings.Days, Settings.Jobs, Each, [&](int Done) { Show(Done, Settings.Days); });
  *Slowest_Held = Slowest.load();
  return Outcomes;
}

void Count_Days(const std::vector<Trial_Outcome>& Outcomes, Student_Grade* G) {
  int Made_Up = Made_Up_Days();
  for (size_t I = 0; I < Outcomes.size(); I++) {
    const Trial_Outcome& O = Outcomes[I];
    bool Held = O.Kind == Outcome_Held, Is_Made_Up = static_cast<int>(I) < Made_Up;
    G->Run++, G->Passed += Held;
    G->Day_Marks += Held ? '+' : '-';
    G->Made_Up_Run += Is_Made_Up, G->Made_Up_Passed += Held && Is_Made_Up;
    if (Kind_Of(O).Count >= 0) G->Failure_Days[Kind_Of(O).Count]++;
    if (O.Kind != Outcome_Broke_Rule) continue;
    /* Every day that breaks a rule also differs from the reference; that
    ** counts as the reference's rule only where no other rule explains it. */
    bool Explained = false;
    for (int R = 0; R < Rule_Reference; R++) Explained = Explained || O.Judgement.Customers[R] > 0;
    for (int R = 0; R < Number_Of_Rules; R++)
      G->Rule_Days[R] += O.Judgement.Customers[R] > 0 && (R != Rule_Reference || !Explained);
    if (G->First_Rule.empty()) G->First_Rule = Rule_Key[O.Judgement.First.Broken];
  }
}

/* The lines of the feedback that count days. */
std::string Counts_Text(const Student_Grade& G, double Points) {
  char Line[300];
  std::string Text;
  std::snprintf(Line, sizeof Line,
                "Verdict: %s. Score: %.1f of %g.\nYour simulator followed the model on %d of %d days (%d of the %d "
                "made-up days, %d of the %d generated ones).\n",
                G.Verdict.c_str(), G.Score, Points, G.Passed, G.Run, G.Made_Up_Passed, G.Made_Up_Run,
                G.Passed - G.Made_Up_Passed, G.Run - G.Made_Up_Run);
  Text += Line;
  for (int R = 0; R < Number_Of_Rules; R++)
    if (G.Rule_Days[R] > 0)
      Text += "  days breaking the rule \"" + std::string(Rule_Name[R]) + "\": " + std::to_string(G.Rule_Days[R]) +
              "\n";
  for (int C = 0; C < Number_Of_Failure_Counts; C++)
    if (G.Failure_Days[C] > 0)
      Text += std::string("  days ending as ") + Failure_Count_Key[C] + ": " + std::to_string(G.Failure_Days[C]) + "\n";
  return Text;
}

/* The shrunk day as the program left it, or, where its output cannot be
** read as the day's records, as the reference simulates it. */
std::string Day_Picture(const Shrunk_Day& Shrunk, bool* Theirs) {
  const std::string& Bytes = Shrunk.Outcome.Their_Output;
  std::vector<Customer_Results> Day(Shrunk.Day.size());
  size_t Written = Shrunk.Outcome.Output_Size;
  *Theirs = Written == Day.size() * sizeof(Customer_Results) && Bytes.size() == Written && !Day.empty();
  if (*Theirs) {
    std::memcpy(Day.data(), Bytes.data(), Bytes.size());  // the records are little-endian, as is this machine
  } else {
    Day_Summary Summary;
    Simulate_Day(Shrunk.Day.data(), static_cast<int32_t>(Day.size()), Shrunk.Servers, Day.data(), &Summary);
  }
  char* Text = nullptr;
  size_t Size = 0;
  std::FILE* Out = open_memstream(&Text, &Size);
  Draw_Day_Picture(Out, Day);
  std::fclose(Out);
  std::string Svg(Text, Size);
  std::free(Text);
  if (Svg.rfind("<?xml", 0) == 0) Svg.erase(0, Svg.find('\n') + 1);  // it goes inside a page
  return Svg;
}

/* The kept day for the student, made whole beside and then given its name. */
void Keep_Day_For_Student(const Simulator_Settings& Settings, const std::string& Id, const Shrunk_Day& Shrunk,
                          const std::string& Verdict_Text) {
  if (Settings.Feedback_Folder.empty()) return;
  std::error_code Error;
  std::string Final = Settings.Feedback_Folder + "/" + Id + ".day", Temp = Final + ".partial";
  fs::remove_all(Temp, Error);
  fs::create_directories(Temp, Error);
  if (Keep_Day(Temp, Shrunk, Verdict_Text)) {
    fs::remove_all(Final, Error);
    fs::rename(Temp, Final, Error);
  }
  fs::remove_all(Temp, Error);
}

/* The command that ran the student's program, as they would type it in
** their folder: the manifest's, or the simulator a build leaves. */
std::string Command_For_Student(const std::string& Command) {
  if (Command.empty()) return "./simulator";
  std::istringstream In(Command);
  std::string Line;
  for (std::string Word; In >> Word;) Line += (Line.empty() ? "" : " ") + Shell_Word(Word);
  return Line;
}

/* Sets the verdict, reason, shrunk size and picture from the first
** failing day, and returns what the student is told of it. */
std::string Explain_First_Failure(const Program_Under_Test& Program, const Simulator_Settings& Settings,
                                  const std::vector<Trial_Outcome>& Outcomes, double Slowest_Held,
                                  const std::string& Id, const std::string& Command, Student_Grade* G) {
  int First = 0;
  while (Outcomes[static_cast<size_t>(First)].Kind == Outcome_Held) First++;
  const Trial_Outcome& Failure = Outcomes[static_cast<size_t>(First)];
  G->Verdict = Kind_Of(Failure).Word;
  G->Reason = "day " + std::to_string(First + 1) + ": " + Failure_Summary(Failure, Settings.Limits);
  Trial_Day Day = Battery_Day(First, Settings.Battery);
  Day.What = Label_Without_Seed(Day.What);
  Program_Under_Test Shrinking = Program;
  if (Of_Time(Failure))
    Shrinking.Limits = Shorter_Limits(Settings.Limits, Slowest_Held, Failure.Ending == Sandbox_Cpu_Limit,
                                      Failure.Ending == Sandbox_Wall_Limit);
  Shrunk_Day Shrunk = Shrink_Day(Shrinking, Day.Day, Day.Servers, Failure);
  G->Shrunk_Size = static_cast<int>(Shrunk.Day.size());
  char* Text = nullptr;
  size_t Size = 0;
  std::FILE* Out = open_memstream(&Text, &Size);
  Print_Failure(Out, "Your simulator", Day, First + 1, Settings.Days, Failure, Shrunk, Settings.Limits,
                Shrinking.Limits);
  std::fclose(Out);
  std::string Explained(Text, Size);
  std::free(Text);
  bool Theirs = false;
  G->Picture = Day_Picture(Shrunk, &Theirs);
  Keep_Day_For_Student(Settings, Id, Shrunk, Explained);
  /* On Gradescope neither the day's folder nor the report exists. */
  if (Settings.Feedback_Folder.empty()) return Explained;
  return Explained + "\nThe picture of this day in the report shows " +
         std::string(Theirs ? "your simulator's results" : "the reference's results (yours could not be read)") +
         ".\nThe folder " + Id +
         ".day beside this file holds ZOR_Binary_In, entries (the three lines to type),\nyour ZOR_Binary_Out, the "
         "reference's Reference_Binary_Out, their listings and Verdict.\n" +
         Rerun_Advice(Id + ".day", Command_For_Student(Command), "/path/to/your/submission", "results_checker", Failure,
                      Settings.Limits) +
         "A program run by hand runs with your rights, outside any sandbox and its limits: run only code you trust.\n" +
         "Then results_plotter, in that folder, draws your day as ZOR_Plot.svg.\n";
}

}  // namespace


Student_Grade Grade_Simulator(const Student& S, const Simulator_Settings& Settings, const Day_Progress& Show) {
  auto Started = std::chrono::steady_clock::now();
  Program_Under_Test Program;
  Student_Grade G;
  if (Prepare_Program(S, Settings, &Program, &G)) {
    G.Id = S.Id;
    double Slowest_Held = 0;
    std::vector<Trial_Outcome> Outcomes = Run_Whole_Battery(Program, Settings, Show, &Slowest_Held);
    Count_Days(Outcomes, &G);
    G.Score = Settings.Points * G.Passed / std::max(1, G.Run);
    if (G.Failure_Days[Count_Not_Run] == G.Run) {
      G = Not_Graded(S, "not-run", Outcomes[0].Problem, "");
    } else if (G.Passed == G.Run) {
      G.Verdict = "followed";
      G.Feedback = "ZOR simulator: " + S.Id + "\n" + Counts_Text(G, Settings.Points);
    } else {
      std::string Explained = Explain_First_Failure(Program, Settings, Outcomes, Slowest_Held, S.Id, S.Command, &G);
      G.Feedback = "ZOR simulator: " + S.Id + "\n" + Counts_Text(G, Settings.Points) + "\n" + Explained;
    }
  }
  Drop_Student_Copies(Settings.Scratch, S.Id);
  G.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Started).count();
  return G;
}
