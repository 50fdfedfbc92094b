/*
** sort_grading.cpp
** A student's sort routine built into a program of its own with the
** kit's profiler library, then judged by the kit's judge
** (zor_sort_judge), which runs that program only as its worker, in a box,
** and makes, checks and times every list itself. The grade is taken from
** what the judge writes, into a folder of this program's that no
** student's code can reach; never from anything the student's program
** printed or left.
*/
#include "grade/sort_grading.h"

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/statistics.h"
#include "common/whole_file.h"
#include "grade/build_command.h"
#include "grade/grade_files.h"
#include "grade/submission_copy.h"
#include "sandbox/sandbox.h"
#include "sort_bench/sl_list.h"
#include "sort_profile/growth_verdict.h"

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

/* The folder of the judge's files for one student: in the private
** scratch folder, apart from the student's build. */
std::string Judge_Folder(const Sort_Settings& Settings, const std::string& Id) {
  std::string Folder = Settings.Scratch + "/judged/" + Id;
  std::error_code Error;
  fs::create_directories(Folder, Error);
  return Folder;
}

/* What a run of the judge came to: its status (-1 if it did not exit),
** whether it outlasted its time, and the ends of what it printed. */
struct Judge_Run {
  int Status = -1;
  bool Timed_Out = false;
  std::string Out, Err;
};

/* The last Most bytes of a file the judge wrote. */
std::string File_End(const std::string& Path, size_t Most) {
  std::string Bytes;
  if (!Read_Whole_File(Path, &Bytes)) return "";
  return Bytes.size() > Most ? Bytes.substr(Bytes.size() - Most) : Bytes;
}

/* The judges running now, for Stop_Judges. A judge leaves the set, under
** the lock, once it has ended and before it is reaped, so a stop never
** signals an id the system may since have given to another process. */
std::mutex Judges_Lock;
std::set<pid_t> Judges_Running;

/* Whether Judge has ended (it is left for waitpid to reap). */
bool Judge_Ended(pid_t Judge) {
  siginfo_t Info{};
  return waitid(P_PID, static_cast<id_t>(Judge), &Info, WEXITED | WNOHANG | WNOWAIT) == 0 && Info.si_pid != 0;
}

/* Runs the judge, a program of the kit's own, as a plain child: it boxes
** the student's program itself. Its output goes to files in Private;
** past Seconds it is told to stop, and then ended. */
Judge_Run Run_Judge(const std::vector<std::string>& Command, const std::string& Private, double Seconds) {
  Judge_Run J;
  std::string Out = Private + "/report", Err = Private + "/errors";
  std::vector<char*> Words;
  for (const std::string& Word : Command) Words.push_back(const_cast<char*>(Word.c_str()));
  Words.push_back(nullptr);
  pid_t Judge = fork();
  if (Judge == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    setpgid(0, 0);
    int In = open("/dev/null", O_RDONLY), To = open(Out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600),
        Errors = open(Err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (In < 0 || To < 0 || Errors < 0) _exit(127);
    dup2(In, 0), dup2(To, 1), dup2(Errors, 2);
    execv(Words[0], Words.data());
    _exit(127);
  }
  if (Judge < 0) return J.Err = std::string("cannot start a process: ") + std::strerror(errno), J;
  {
    std::lock_guard<std::mutex> Hold(Judges_Lock);
    Judges_Running.insert(Judge);
  }
  auto Began = std::chrono::steady_clock::now();
  for (int Told = 0; !Judge_Ended(Judge);) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    double Took = std::chrono::duration<double>(std::chrono::steady_clock::now() - Began).count();
    if (Took > Seconds && Told == 0) J.Timed_Out = true, Told = 1, kill(Judge, SIGTERM);
    if (Took > Seconds + 10) kill(Judge, SIGKILL);
  }
  {
    std::lock_guard<std::mutex> Hold(Judges_Lock);
    Judges_Running.erase(Judge);
  }
  int Status = 0;
  while (waitpid(Judge, &Status, 0) < 0 && errno == EINTR) {
  }
  J.Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
  J.Out = File_End(Out, 8000), J.Err += File_End(Err, 2000);
  return J;
}

/* The judge's error output without the line that names its sandbox. */
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

/* Runs the judge on the built program with Arguments and reads the
** summary it writes; false with the grade's verdict and reason set when
** it wrote none. */
bool Run_Profiler(const Sort_Settings& Settings, const std::vector<std::string>& Arguments,
                  double Seconds, Profile_Summary* S, Student_Grade* G) {
  std::string Private = Judge_Folder(Settings, G->Id);
  std::remove((Private + "/summary").c_str());
  std::vector<std::string> Command = {Settings.Judge, "--program", Profiler_Copy(Settings, G->Id), "--program-name", G->Id,
                                      "--sandbox", Settings.Sandbox, "--summary", Private + "/summary", "--k",
                                      std::to_string(G->K), "--x", std::to_string(G->X), "--time-limit",
                                      std::to_string(Settings.Time_Limit), "--wall-time-limit",
                                      std::to_string(std::max(3 * Settings.Time_Limit, Least_Wall_Seconds))};
  Command.insert(Command.end(), Arguments.begin(), Arguments.end());
  Judge_Run R = Run_Judge(Command, Private, Seconds);
  G->Profiler_Output = R.Out + Without_Sandbox_Line(R.Err, G->Id);
  std::string Text, Problem;
  if (Read_Whole_File(Private + "/summary", &Text) && Read_Profile_Summary(Text, S, &Problem)) return true;
  G->Verdict = R.Status == 2 ? "bad-parameters" : "not-run";
  char Reason[160];
  if (R.Timed_Out) std::snprintf(Reason, sizeof Reason, "the judge was still running after %g s", Seconds);
  else std::snprintf(Reason, sizeof Reason, "the judge ended with status %d and wrote no summary", R.Status);
  G->Reason = Reason;
  return false;
}

/* Whether Words are growth words the judge writes. */
bool Known_Growth_Words(const std::string& Words) {
  for (const char* Name : Growth_Name)
    if (Words == Name) return true;
  for (int C = 0; C + 1 < Growth_Classes; C++)
    if (Words == std::string("between ") + Growth_Name[C] + " and " + Growth_Name[C + 1]) return true;
  return Words.rfind("too few sizes", 0) == 0 || Words.rfind("too noisy to decide", 0) == 0;
}

/* Whether Kind is a fault kind the judge writes. */
bool Known_Fault_Kind(const std::string& Kind) {
  for (const char* Known : {"crashed", "time-limit", "memory-limit", "output-limit", "process-limit",
                            "reached-outside", "wrong-list"})
    if (Kind == Known) return true;
  return false;
}

/* A ratio as the summary writes it: a finite number, not below 0. */
bool Read_Ratio(const std::string& Text, double* Ratio) {
  char* End = nullptr;
  *Ratio = std::strtod(Text.c_str(), &End);
  return End != Text.c_str() && *End == '\0' && std::isfinite(*Ratio) && *Ratio >= 0;
}

/* "MEDIAN LOW HIGH", three ratios in that order of size. */
bool Read_Speed(const std::string& Text, Middle_Half* Speed) {
  std::istringstream In(Text);
  std::string Median, Low, High, Rest;
  if (!(In >> Median >> Low >> High) || (In >> Rest)) return false;
  Middle_Half S{};
  if (!Read_Ratio(Median, &S.Median) || !Read_Ratio(Low, &S.Low) || !Read_Ratio(High, &S.High)) return false;
  if (S.Low > S.Median || S.Median > S.High) return false;
  return *Speed = S, true;
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
    else if (Key == "fault_kind" && Known_Fault_Kind(Value)) S->Fault_Kind = Value;
    else if (Key == "growth" && O < Number_Of_Orders && Known_Growth_Words(After)) S->Growth[O] = After;
    else if (Key == "time_ratio" && O < Number_Of_Orders && Read_Ratio(After, &S->Time_Ratio[O])) continue;
    else if (Key == "speed" && O < Number_Of_Orders && Read_Speed(After, &S->Speed[O])) continue;
    else if (Key == "layout" && Read_Ratio(Order, &S->Routine_Layout) && Read_Ratio(After, &S->Reference_Layout)) continue;
    else return *Problem = "an unknown line: " + Line, false;
  }
  if (!Judged) return *Problem = "no correctness line", false;
  /* A judge older than the speed lines gave one size's ratio alone. */
  for (int O = 0; O < Number_Of_Orders; O++)
    if (S->Speed[O].Median == 0) S->Speed[O] = Middle_Half{S->Time_Ratio[O], S->Time_Ratio[O], S->Time_Ratio[O]};
  return true;
}

double Growth_Value(const std::string& Words) {
  auto Value_Of = [](const std::string& Name) {
    for (int C = 0; C < Growth_Classes; C++)
      if (Name == Growth_Name[C]) return static_cast<double>(C + 1);
    return static_cast<double>(NAN);
  };
  if (Words.rfind("between ", 0) != 0) return Value_Of(Words);
  size_t And = Words.find(" and ");
  if (And == std::string::npos) return static_cast<double>(NAN);
  return (Value_Of(Words.substr(8, And - 8)) + Value_Of(Words.substr(And + 5))) / 2;
}

int Worst_Growth_Order(const std::vector<std::string>& Growth, const std::vector<double>& Order_Ratio) {
  int Worst = -1;
  double Worst_Value = 0, Worst_Ratio = 0;
  for (size_t O = 0; O < Growth.size(); O++) {
    if (Growth[O].empty()) continue;
    double Value = Growth_Value(Growth[O]), Ratio = O < Order_Ratio.size() ? Order_Ratio[O] : 0;
    /* Undecided below every class, so that it is the worst only alone. */
    if (std::isnan(Value)) Value = 0;
    if (Worst < 0 || Value > Worst_Value || (Value == Worst_Value && Ratio > Worst_Ratio))
      Worst = static_cast<int>(O), Worst_Value = Value, Worst_Ratio = Ratio;
  }
  return Worst;
}

namespace {

/* The verdict from a failure the summary names. */
void Take_Fault(const Profile_Summary& S, const char* While, Student_Grade* G) {
  G->Verdict = S.Fault_Kind.empty() ? "wrong-list" : S.Fault_Kind;
  G->Reason = While + S.Fault;
}

/* Six tenths of the points for a correct routine, four tenths shared by
** the orders on which its cost grows as N log N or better; none for one
** that left a list wrong while timed. */
double Sort_Score(const Student_Grade& G, double Points) {
  if (G.Passed < G.Run || G.Run == 0) return 0;
  /* A list left wrong while timed is as wrong as one in the correctness
  ** phase: the routine sorts only when it can tell it is checked. */
  if (G.Verdict == "wrong-list") return 0;
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
  Build_Outcome B = Run_Build_Command(Build_Script(Settings, S.Id), G->Work, Settings.Build_Run_Limits,
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

void Stop_Judges() {
  for (int Round = 0; Round < 1000; Round++) {
    {
      std::lock_guard<std::mutex> Hold(Judges_Lock);
      if (Judges_Running.empty()) return;
      /* Told once, each judge ends its workers and removes its folders;
      ** one that has not done so in five seconds is ended. */
      if (Round == 0 || Round == 500)
        for (pid_t Judge : Judges_Running) kill(Judge, Round == 0 ? SIGTERM : SIGKILL);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

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
  if (!Run_Profiler(Settings, {"--check-only", "--max-items", std::to_string(Settings.Check_Items)},
                    20 * Settings.Time_Limit, &Summary, &G))
    return G;
  G.Run = Summary.Cases, G.Passed = Summary.Correct ? Summary.Cases : std::max(0, Summary.Cases - 1);
  if (Summary.Correct) G.Verdict = "correct";
  else Take_Fault(Summary, "", &G);
  return G;
}

void Time_Sort_Routine(const Sort_Settings& Settings, Student_Grade* G) {
  Profile_Summary S;
  if (Run_Profiler(Settings, {"--timing-only", "--max-items", std::to_string(Settings.Max_Items)},
                   60 * Settings.Time_Limit, &S, G))
    Take_Timing(S, G);
  G->Score = Sort_Score(*G, Settings.Points);
}

void Take_Timing(const Profile_Summary& S, Student_Grade* G) {
  G->Growth.assign(std::begin(S.Growth), std::end(S.Growth));
  G->Order_Ratio.clear();
  for (const Middle_Half& Speed : S.Speed) G->Order_Ratio.push_back(Speed.Median);
  G->Worst_Order = Worst_Growth_Order(G->Growth, G->Order_Ratio);
  if (G->Worst_Order >= 0) {
    const Middle_Half& Worst = S.Speed[G->Worst_Order];
    G->Time_Ratio = Worst.Median, G->Ratio_Low = Worst.Low, G->Ratio_High = Worst.High;
  }
  G->Layout_Ratio = S.Reference_Layout > 0 ? S.Routine_Layout / S.Reference_Layout : 0;
  if (S.Timed) G->Verdict = "sorted";
  else Take_Fault(S, "while timed: ", G);
}

namespace {

/* The class of a routine's worst growth, for ranking: one that could not
** be decided ranks after every decided one. */
double Worst_Class(const Student_Grade& G) {
  bool Known = G.Worst_Order >= 0 && size_t(G.Worst_Order) < G.Growth.size();
  double Value = Known ? Growth_Value(G.Growth[size_t(G.Worst_Order)]) : static_cast<double>(NAN);
  return std::isnan(Value) ? Growth_Classes + 1 : Value;
}

}  // namespace

void Rank_By_Time(std::vector<Student_Grade>* Grades) {
  std::vector<Student_Grade*> Ranked;
  for (Student_Grade& G : *Grades) {
    G.Rank = 0, G.Tied_Above = false;
    if (G.Verdict == "sorted" && G.Time_Ratio > 0) Ranked.push_back(&G);
  }
  std::stable_sort(Ranked.begin(), Ranked.end(), [](const Student_Grade* A, const Student_Grade* B) {
    double Class_A = Worst_Class(*A), Class_B = Worst_Class(*B);
    return Class_A != Class_B ? Class_A < Class_B : A->Time_Ratio < B->Time_Ratio;
  });
  for (size_t I = 0; I < Ranked.size(); I++) {
    Student_Grade& G = *Ranked[I];
    G.Rank = static_cast<int>(I + 1);
    if (I == 0) continue;
    const Student_Grade& Above = *Ranked[I - 1];
    bool Overlap = G.Ratio_Low <= Above.Ratio_High && Above.Ratio_Low <= G.Ratio_High;
    G.Tied_Above = Worst_Class(Above) == Worst_Class(G) && Overlap;
  }
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
  if (G->Rank > 0) {
    Text += "\nRank among the " + std::to_string(Ranked) + " correct routines: " + std::to_string(G->Rank) +
            " (1 is the fastest; by the growth on the order of list where it grows worst, then by its time\n"
            "there over the merge sort's, the median over every size timed).\n";
    if (G->Worst_Order >= 0 && size_t(G->Worst_Order) < G->Growth.size())
      Text += std::string("Its worst order: ") + Order_Name[G->Worst_Order] + ", " + G->Growth[size_t(G->Worst_Order)] +
              ", " + Fixed(G->Time_Ratio, 2) + " times the merge sort's time (the middle half of the sizes " +
              Fixed(G->Ratio_Low, 2) + " .. " + Fixed(G->Ratio_High, 2) + ").\n";
    if (G->Tied_Above)
      Text += "That is within the noise of the routine ranked " + std::to_string(G->Rank - 1) +
              ": another run may swap the two.\n";
  }
  Text += "\nTo rerun it by hand, build your routine into the kit's profiler (sort_profile(3)), in the folder of\n"
          "your sources (g++ for C++ sources), and run the correctness phase and the timing as they were graded:\n"
          "  gcc *.c $(pkg-config --cflags --libs sort_profile) -o my_sort_profile\n"
          "  ./my_sort_profile --k " + std::to_string(G->K) + " --x " + std::to_string(G->X) + " --check-only --max-items " +
          std::to_string(Settings.Check_Items) + "\n  ./my_sort_profile --k " + std::to_string(G->K) + " --x " +
          std::to_string(G->X) + " --timing-only --max-items " + std::to_string(Settings.Max_Items) + "\n";
  G->Feedback = Text;
}
