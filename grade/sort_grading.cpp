/*
** sort_grading.cpp
** A student's sort routine built into a profiler, checked, and timed.
*/
#include "grade/sort_grading.h"

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include <sys/stat.h>

#include "grade/build_command.h"
#include "grade/submission_copy.h"
#include "sandbox/sandbox.h"
#include "sort_bench/sl_list.h"

namespace {

namespace fs = std::filesystem;

constexpr char Parameters_File[] = "sort_parameters";

bool Is_Source(const fs::path& Path) {
  const std::string Extension = Path.extension().string();
  return Extension == ".c" || Extension == ".cc" || Extension == ".cpp" || Extension == ".cxx";
}

std::string Quoted(const std::string& Text) {
  std::string Out = "'";
  for (char C : Text) Out += C == '\'' ? std::string("'\\''") : std::string(1, C);
  return Out + "'";
}

/* Each C file as C11, each C++ file as C++20, then the profiler linked
** from them, the kit's library and Google Benchmark. The profiler is
** named by the student, so that its report and chart name them. */
std::string Build_Script(const Sort_Settings& Settings, const std::string& Profiler) {
  std::string Include = "-I" + Quoted(Settings.Include);
  return "for f in *.c; do if [ -f \"$f\" ]; then cc -std=c11 -O2 " + Include + " -c \"$f\" -o \"$f.o\" || exit 1; fi; "
         "done; for f in *.cc *.cpp *.cxx; do if [ -f \"$f\" ]; then c++ -std=c++20 -O2 " + Include +
         " -c \"$f\" -o \"$f.o\" || exit 1; fi; done; c++ -o " + Quoted(Profiler) + " *.o " + Quoted(Settings.Library) +
         " -lbenchmark -lpthread " + Settings.Link_Flags;
}

/* Far above "K X" with any spacing; a file larger is no file of two numbers. */
constexpr int64_t Most_Parameters_Bytes = 64;

/* K and X from the student's sort_parameters ("K X"), else the teacher's;
** false, with Problem, for a file that does not hold two within the
** harness's limits. Read beneath the folder as a small regular file
** only: a link to /dev/zero or a FIFO there is the student's mistake. */
bool Take_Parameters(const std::string& Folder, const Sort_Settings& Settings, Student_Grade* G, std::string* Problem) {
  G->K = Settings.K, G->X = Settings.X;
  std::string Text, Rest;
  struct stat Status;
  if (lstat((Folder + "/" + Parameters_File).c_str(), &Status) != 0) return true;
  if (!Read_Beneath(Folder, Parameters_File, Most_Parameters_Bytes, &Text, Problem)) return false;
  std::istringstream In(Text);
  if (!(In >> G->K >> G->X) || (In >> Rest))
    return *Problem = "the file " + std::string(Parameters_File) + " does not hold two whole numbers K X", false;
  if (G->K < 0 || G->K > Max_K || G->X < 0 || G->X > Max_X)
    return *Problem = "the file " + std::string(Parameters_File) + " holds K " + std::to_string(G->K) + ", X " +
                      std::to_string(G->X) + ": K must be 0 to " + std::to_string(Max_K) + " and X 0 to " +
                      std::to_string(Max_X) + " (sort_bench(3))",
           false;
  return true;
}

Student_Grade Not_Checked(const Student& S, const char* Verdict, const std::string& Reason, const std::string& More) {
  return Ungraded("ZOR sort", S.Id, Verdict, Reason, More);
}

/* The limits of a profiler's run: its own limit on each sort catches a
** loop; these bound the whole run, Seconds by the clock, and give room
** for its lists (a million nodes and their copies) and its children.
** No limit of CPU time: under one (ulimit -t) the profiler's timing
** phase times no size at all. */
Sandbox_Limits Profile_Limits(double Seconds) {
  Sandbox_Limits L = Default_Sandbox_Limits();
  L.Cpu_Seconds = 0, L.Wall_Seconds = Seconds;
  L.Memory_Bytes = int64_t(2) << 30;
  return L;
}

/* A file the run left in its folder, read only if it is a plain file: a
** student's code could leave a link to a file of the teacher's there. */
std::string Left_Plain_File(const std::string& Folder, const char* Name) {
  std::string Bytes;
  if (Read_Left_File(Folder, Name, size_t(8) << 20, &Bytes) != Left_File) Bytes.clear();
  return Bytes;
}

/* The profiler's error output without the line that names its sandbox:
** it says "off", which is true of its children and misleads a reader,
** since the profiler itself runs boxed. */
std::string Without_Sandbox_Line(const std::string& Err, const std::string& Program_Name) {
  std::string Said = Program_Name + ": sandbox";
  std::string Kept;
  std::istringstream Lines(Err);
  for (std::string Line; std::getline(Lines, Line);)
    if (Line.rfind(Said, 0) != 0) Kept += Line + "\n";
  return Kept;
}

/* The grader's own copy of the profiler the build made, taken from the
** build's folder, where the build could have left a link in its place. */
std::string Profiler_Copy(const Sort_Settings& Settings, const std::string& Id) {
  return Student_Program_Folder(Settings.Scratch, Id) + "/" + Id;
}

/* Runs the built profiler contained in its folder with Arguments and
** reads the summary it leaves; false with the grade's verdict and reason
** set when it left none. */
bool Run_Profiler(const Sort_Settings& Settings, const std::string& Folder, const std::vector<std::string>& Arguments,
                  double Seconds, Profile_Summary* S, Student_Grade* G) {
  std::remove((Folder + "/summary").c_str());
  Sandbox_Request Request;
  /* The whole profiler runs in this box, the student's static
  ** constructors with it, so its children need no box of their own. */
  Request.Command = {Profiler_Copy(Settings, G->Id), "--sandbox", "off", "--summary", "summary", "--k", std::to_string(G->K),
                     "--x", std::to_string(G->X), "--time-limit", std::to_string(Settings.Time_Limit)};
  Request.Command.insert(Request.Command.end(), Arguments.begin(), Arguments.end());
  Request.Folder = Folder;
  Request.Kept_Out = 8000, Request.Kept_Err = 2000;
  Request.Limits = Profile_Limits(Seconds);
  Sandbox_Result R = Run_Contained(Request);
  G->Profiler_Output = R.Out + Without_Sandbox_Line(R.Err, G->Id);
  std::string Problem;
  if (Read_Profile_Summary(Left_Plain_File(Folder, "summary"), S, &Problem)) return true;
  bool Refused = R.Ending == Sandbox_Exited && R.Status == 2 &&
                 (R.Err.find("--k") != std::string::npos || R.Err.find("--x") != std::string::npos);
  G->Verdict = Refused ? "bad-parameters" : R.Ending == Sandbox_Reached_Outside ? "reached-outside" : "not-run";
  G->Reason = R.Ending == Sandbox_Reached_Outside ? "tried to reach outside its folder: " + R.Detail
                                                  : "the profiler " + Sandbox_Verdict(R, Request.Limits);
  return false;
}

}  // namespace

bool Read_Profile_Summary(const std::string& Text, Profile_Summary* S, std::string* Problem) {
  std::istringstream In(Text);
  std::string Line;
  if (!std::getline(In, Line) || Line != "sort_profile summary 1") return *Problem = "not a summary", false;
  *S = Profile_Summary{};
  bool Judged = false;
  while (std::getline(In, Line)) {
    size_t Space = Line.find(' ');
    std::string Key = Line.substr(0, Space), Value = Space == std::string::npos ? "" : Line.substr(Space + 1);
    std::string Order = Value.substr(0, Value.find(' ')), After = Value.substr(std::min(Value.size(), Order.size() + 1));
    int O = static_cast<int>(std::find(std::begin(Order_Name), std::end(Order_Name), Order) - std::begin(Order_Name));
    if (Key == "correctness") S->Correct = Value == "passed", Judged = true;
    else if (Key == "cases") S->Cases = std::atoi(Value.c_str());
    else if (Key == "timing") S->Timed = Value == "done";
    else if (Key == "fault") S->Fault = Value;
    else if (Key == "fault_kind") S->Fault_Kind = Value;
    else if (Key == "growth" && O < Number_Of_Orders) S->Growth[O] = After;
    else if (Key == "time_ratio" && O < Number_Of_Orders) S->Time_Ratio[O] = std::strtod(After.c_str(), nullptr);
    else if (Key == "layout") std::sscanf(Value.c_str(), "%lf %lf", &S->Routine_Layout, &S->Reference_Layout);
    else return *Problem = "an unknown line: " + Line, false;
  }
  if (!Judged) return *Problem = "no correctness line", false;
  return true;
}

namespace {

/* The verdict from a failure the summary names. */
void Take_Fault(const Profile_Summary& S, const char* While, Student_Grade* G) {
  G->Verdict = S.Fault_Kind.empty() ? "wrong-list" : S.Fault_Kind;
  G->Reason = While + S.Fault;
}

double Median(std::vector<double> Values) {
  if (Values.empty()) return 0;
  std::sort(Values.begin(), Values.end());
  size_t Mid = Values.size() / 2;
  return Values.size() % 2 == 1 ? Values[Mid] : (Values[Mid - 1] + Values[Mid]) / 2;
}

/* Six tenths of the points for a correct routine, four tenths shared by
** the orders on which its cost grows as N log N or better. */
double Sort_Score(const Student_Grade& G, double Points) {
  if (G.Passed < G.Run || G.Run == 0) return 0;
  int Timed = 0, Fast = 0;
  for (const std::string& Words : G.Growth)
    if (!Words.empty()) Timed++, Fast += Words == "N" || Words == "N log N";
  return Points * (0.6 + (Timed > 0 ? 0.4 * Fast / Timed : 0));
}

}  // namespace

namespace {

/* Copies the folder, builds the profiler in the copy and takes it out;
** false with the grade of a routine that is refused or does not build. */
bool Build_Profiler(const Student& S, const Sort_Settings& Settings, Student_Grade* G) {
  std::string Problem;
  bool Missing = false;
  bool Copied = Copy_Submission(S.Folder, G->Work, &Problem);
  if (!Copied || !Make_Private_Folder(Student_Program_Folder(Settings.Scratch, S.Id)))
    return *G = Not_Checked(S, "refused", "the folder cannot be copied to build it: " + Problem, ""), false;
  Build_Outcome B = Run_Build_Command(Build_Script(Settings, S.Id), G->Work, Build_Limits(Settings.Build_Time_Limit),
                                      {Settings.Library, Settings.Include + "/sort_bench.h"});
  if (!B.Built)
    return *G = Not_Checked(S, "does-not-build", "compiling and linking with libsort_profile.a " + B.Why,
                            "What the compiler printed, at the end:\n" + B.Output),
           false;
  if (!Take_File(G->Work, S.Id, Profiler_Copy(Settings, S.Id), &Missing, &Problem))
    return *G = Not_Checked(S, "refused", "after the build, " + Problem, ""), false;
  return true;
}

}  // namespace

Student_Grade Check_Sort_Routine(const Student& S, const Sort_Settings& Settings) {
  std::error_code Error;
  bool Missing = false;
  std::string Problem = Submission_Folder_Problem(S.Folder, &Missing);
  if (!Problem.empty()) return Not_Checked(S, Missing ? "missing" : "refused", Problem, "");
  bool Any_Source = false;
  for (fs::directory_iterator It(S.Folder, Error), End; !Error && It != End; It.increment(Error))
    Any_Source = Any_Source || (It->is_regular_file(Error) && Is_Source(It->path()));
  if (!Any_Source) return Not_Checked(S, "missing", "no C or C++ source (.c, .cc, .cpp, .cxx) in the folder", "");
  Student_Grade G;
  G.Id = S.Id;
  if (!Take_Parameters(S.Folder, Settings, &G, &Problem)) return Not_Checked(S, "bad-parameters", Problem, "");
  G.Work = Student_Build_Folder(Settings.Scratch, S.Id);
  if (!Build_Profiler(S, Settings, &G)) return G;
  Profile_Summary Summary;
  /* The profiler's own limit is per sort; the whole phase gets room for
  ** every case's limit to be met once or twice. */
  if (!Run_Profiler(Settings, G.Work, {"--check-only", "--max-items", std::to_string(Settings.Check_Items)},
                    20 * Settings.Time_Limit, &Summary, &G))
    return G;
  G.Run = Summary.Cases, G.Passed = Summary.Correct ? Summary.Cases : Summary.Cases - 1;
  if (Summary.Correct) G.Verdict = "correct";
  else Take_Fault(Summary, "", &G);
  return G;
}

void Time_Sort_Routine(const Sort_Settings& Settings, Student_Grade* G) {
  Profile_Summary S;
  if (Run_Profiler(Settings, G->Work, {"--timing-only", "--max-items", std::to_string(Settings.Max_Items), "--svg",
                                       "growth.svg"},
                   60 * Settings.Time_Limit, &S, G)) {
    std::vector<double> Ratios;
    G->Growth.assign(std::begin(S.Growth), std::end(S.Growth));
    for (double R : S.Time_Ratio)
      if (R > 0) Ratios.push_back(R);
    G->Time_Ratio = Median(Ratios);
    G->Layout_Ratio = S.Reference_Layout > 0 ? S.Routine_Layout / S.Reference_Layout : 0;
    if (S.Timed) G->Verdict = "sorted";
    else Take_Fault(S, "while timed: ", G);
    G->Picture = Left_Plain_File(G->Work, "growth.svg");
    if (G->Picture.rfind("<?xml", 0) == 0) G->Picture.erase(0, G->Picture.find('\n') + 1);
  }
  G->Score = Sort_Score(*G, Settings.Points);
}

void Rank_By_Time(std::vector<Student_Grade>* Grades) {
  std::vector<Student_Grade*> Ranked;
  for (Student_Grade& G : *Grades) {
    G.Rank = 0;
    if (G.Verdict == "sorted" && G.Time_Ratio > 0) Ranked.push_back(&G);
  }
  std::stable_sort(Ranked.begin(), Ranked.end(),
                   [](const Student_Grade* A, const Student_Grade* B) { return A->Time_Ratio < B->Time_Ratio; });
  for (size_t I = 0; I < Ranked.size(); I++) Ranked[I]->Rank = static_cast<int>(I + 1);
}

void Compose_Sort_Feedback(Student_Grade* G, const Sort_Settings& Settings, int Ranked) {
  /* Those never profiled have their feedback already; the others' is
  ** made again, since a rerun ranks again. */
  bool Never_Profiled = G->Verdict == "missing" || G->Verdict == "does-not-build" || G->Verdict == "bad-parameters" ||
                         G->Verdict == "refused";
  if (Never_Profiled && G->Profiler_Output.empty()) return;
  char Line[300];
  std::snprintf(Line, sizeof Line, "ZOR sort: %s\nVerdict: %s. Score: %.1f of %g.\nK %d, X %d.\n", G->Id.c_str(),
                G->Verdict.c_str(), G->Score, Settings.Points, G->K, G->X);
  std::string Text = Line;
  if (G->Run > 0 && G->Passed == G->Run)
    Text += "Correctness: every one of the " + std::to_string(G->Run) + " lists sorted right.\n";
  /* A profiler that left no summary: its reason is said nowhere else. */
  if (G->Run == 0 && !G->Reason.empty()) Text += "\nThe routine could not be profiled: " + G->Reason + ".\n";
  if (!G->Profiler_Output.empty()) Text += "\nWhat the profiler said:\n" + G->Profiler_Output + "\n";
  if (G->Rank > 0)
    Text += "\nRank by time among the " + std::to_string(Ranked) + " correct routines: " + std::to_string(G->Rank) +
            " (1 is the fastest).\n";
  Text += "\nTo rerun it by hand, build your routine into the kit's profiler (sort_profile(3)), in the folder of\n"
          "your sources (g++ for C++ sources), and run the correctness phase and the timing as they were graded:\n"
          "  gcc *.c $(pkg-config --cflags --libs sort_profile) -o my_sort_profile\n"
          "  ./my_sort_profile --k " + std::to_string(G->K) + " --x " + std::to_string(G->X) + " --check-only --max-items " +
          std::to_string(Settings.Check_Items) + "\n  ./my_sort_profile --k " + std::to_string(G->K) + " --x " +
          std::to_string(G->X) + " --timing-only --max-items " + std::to_string(Settings.Max_Items) + "\n";
  G->Feedback = Text;
}
