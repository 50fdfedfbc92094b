/*
** zor_sort_judge.cpp
** The judge of a user's sort routine: the kit's own program, which holds
** no code of the user's. A program linked with libsort_profile.a hands
** itself over to it (worker_entry.cpp), and zor_grade starts it by name;
** either way the judge runs the user's program only as its worker, in a
** box, and makes, checks and times every list itself. This file holds
** the options and the run's outline: first correctness (correctness.cpp),
** with the growth verdicts read once its small cases have passed, then
** the rest of the growth of the cost (growth_series.cpp,
** growth_verdict.cpp, growth_report.cpp, benchmark_table.cpp), or, with
** --sweep, the best K and X (sweep.cpp). Started with Worker_Argument, it is instead the
** worker of the kit's reference merge sort (sort_worker.h).
*/
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include <sstream>

#include <CLI/CLI.hpp>
#include <sys/stat.h>
#include <unistd.h>

#include "common/elapsed.h"
#include "common/refusal.h"
#include "common/staged_file.h"
#include "common/zor_kit_version.h"
#include "sandbox/sandbox.h"
#include "sort_bench/sl_list.h"
#include "sort_profile/benchmark_table.h"
#include "sort_profile/correctness.h"
#include "sort_profile/growth_report.h"
#include "sort_profile/growth_series.h"
#include "sort_profile/growth_verdict.h"
#include "sort_profile/judge_help.h"
#include "sort_profile/profile_child.h"
#include "sort_profile/profile_lists.h"
#include "sort_profile/profile_summary.h"
#include "sort_profile/reference_merge_sort.h"
#include "sort_profile/sort_worker.h"
#include "sort_profile/sweep.h"
#include "tool_options/sandbox_options.h"

namespace {

struct Profile_Options {
  int32_t K = 0, X = 0;
  int64_t Max_Items = 1000000;
  int64_t Check_Items = 0;  // the correctness phase's largest list: Max_Items, or less with --quick
  double Budget = 0.1;
  std::string Sandbox = "auto";
  Sandbox_Limits Limits = Default_Sandbox_Limits();  // of each child; CPU and wall time as --time-limit says
  std::vector<std::string> Orders;
  bool Check_Only = false, Timing_Only = false, Sweep = false, Table = false, Budget_Given = false, Quick = false;
  std::vector<int32_t> Sweep_K = {0, Max_K};
  std::vector<int32_t> Sweep_X = {0, 1, 2, 4, 8, 16, 32, 64, 128, 256, Max_X};
  int32_t Sweep_Repeats = 5;
  std::string SVG, Keep_Failing, Summary, Program, Routine;
  std::string Benchmark_Format = "console", Benchmark_Out, Benchmark_Out_Format = "json";
  std::chrono::steady_clock::time_point Started = std::chrono::steady_clock::now();
};

/* The CPU time one sort may take, by default: an N^2 routine's 100,000
** items take a few minutes. */
constexpr double Default_Time_Limit = 300;

/* A sweep sorts the largest list for every pair, so its budget is larger. */
constexpr double Sweep_Budget = 1;

/* --quick: lists small enough for a verdict in seconds, in the orders
** that tell a routine's worst growth most often (a first-node pivot's
** N^2 shows on sorted lists either way). */
constexpr int64_t Quick_Check_Items = 1000, Quick_Max_Items = 16384;
const char* const Quick_Orders[] = {"random", "ascending", "descending"};

/* The growth series needs three doublings from 1,024 items. */
constexpr int64_t Smallest_Series_Top = First_Series_Size << static_cast<int>(Fewest_Doublings);

[[noreturn]] void Refuse(const Profile_Options& O, const std::string& Message) {
  Refuse_And_Exit(O.Program.c_str(), (Message + " (see --help)").c_str());
}

std::vector<int> Chosen_Orders(const Profile_Options& O) {
  std::vector<int> Orders;
  for (int Order = 0; Order < Number_Of_Orders; Order++)
    if (O.Orders.empty() || std::find(O.Orders.begin(), O.Orders.end(), Order_Name[Order]) != O.Orders.end())
      Orders.push_back(Order);
  return Orders;
}

/* Google Benchmark's options that still mean something here: where its
** table of the measurements goes, and in which form. */
void Take_Benchmark_Option(Profile_Options& O, const std::string& Option) {
  size_t Equals = Option.find('=');
  std::string Name = Option.substr(0, Equals), Value = Equals == std::string::npos ? "" : Option.substr(Equals + 1);
  bool Form = Value == "console" || Value == "json";
  if (Name == "--benchmark_format" && Form) O.Benchmark_Format = Value;
  else if (Name == "--benchmark_out_format" && Form) O.Benchmark_Out_Format = Value;
  else if (Name == "--benchmark_out" && !Value.empty()) O.Benchmark_Out = Value;
  else if (Name == "--benchmark_format" || Name == "--benchmark_out_format" || Name == "--benchmark_out")
    throw CLI::ValidationError(Option, "give console or json (--benchmark_out: a file name)");
  else
    throw CLI::ValidationError(Option, "the profiler times each size for a share of time itself; of Google "
                                       "Benchmark's options it takes --benchmark_format, --benchmark_out and "
                                       "--benchmark_out_format");
}

/* The table of every measurement, in a file and on standard output as
** asked; false when the file could not be written. */
bool Write_Tables(const Profile_Options& O, const Series_Result& R, const std::vector<int>& Orders) {
  bool JSON = O.Benchmark_Format == "json";
  if (JSON || O.Table) {
    std::ostringstream Text;
    Write_Benchmark_Table(Text, O.Benchmark_Format, R, Orders);
    if (!JSON) std::fprintf(stdout, "\nEvery measurement, as Google Benchmark's table:\n");
    std::fputs(Text.str().c_str(), stdout);
  }
  if (O.Benchmark_Out.empty()) return true;
  Sandbox_Wait_If_Stopped();
  std::ostringstream Text;
  Write_Benchmark_Table(Text, O.Benchmark_Out_Format, R, Orders);
  Staged_File Out;
  if (Begin_Staged_File(&Out, O.Benchmark_Out.c_str())) {
    std::fputs(Text.str().c_str(), Out.Out);
    if (Finish_Staged_File(&Out, O.Benchmark_Out.c_str())) return true;
  }
  std::fprintf(stderr, "%s: --benchmark_out: cannot write %s\n", O.Program.c_str(), O.Benchmark_Out.c_str());
  return false;
}

/* A chart that cannot be finished is said, and no older one stands. */
bool Finish_Chart(const Profile_Options& O, Staged_File& Chart) {
  Sandbox_Wait_If_Stopped();
  if (Finish_Staged_File(&Chart, O.SVG.c_str())) return true;
  std::remove(O.SVG.c_str());
  std::fprintf(stderr, "%s: --svg: cannot write %s\n", O.Program.c_str(), O.SVG.c_str());
  return false;
}

void Drop_Chart(const Profile_Options& O, Staged_File& Chart) {
  if (Chart.Out == nullptr) return;
  Abandon_Staged_File(&Chart);
  std::remove(O.SVG.c_str());
}

/* The summary, if asked for; false (and said) when it cannot be written.
** Stopped meanwhile, none: the stop made what the workers said. */
bool Write_Summary(const Profile_Options& O, const Correctness_Result& Checked, const Series_Result* Timing) {
  Sandbox_Wait_If_Stopped();
  if (O.Summary.empty() || Write_Profile_Summary(O.Summary, Checked, Timing)) return true;
  std::fprintf(stderr, "%s: --summary: cannot write %s\n", O.Program.c_str(), O.Summary.c_str());
  return false;
}

/* What the timing phases take from the options. */
Series_Options Timing_Options(const Profile_Options& O) {
  return Series_Options{O.K, O.X, O.Max_Items, O.Budget, O.Limits, Chosen_Orders(O)};
}

/* The verdicts, each shown as soon as it is read, a second or so into
** the run: after the correctness cases of up to 10,000 items and before
** the larger ones, which take an N^2 routine a minute, and before the
** series. The heading comes with the first. */
Series_Result Read_Growth_Verdicts(const Profile_Options& O, std::FILE* Said) {
  Series_Options S = Timing_Options(O);
  bool Headed = false;
  S.Verdict_Read = [&](const Series_Result& Read, int Order) {
    if (!Headed) Print_Growth_Heading(Said), Headed = true;
    Print_Verdict_Line(Said, Read, Order);
  };
  Series_Result R = Read_Verdicts(S);
  /* The correctness phase's line follows them. */
  if (Headed && !O.Timing_Only) std::fputc('\n', Said);
  return R;
}

/* The verdicts, timed (Took seconds) where the correctness phase asks for
** them, or at once with --timing-only. */
void Read_Verdicts_When_Due(const Profile_Options& O, std::FILE* Said, Correctness_Options& C, Series_Result& Verdicts,
                            double& Took) {
  auto Read = [&O, Said, &Verdicts, &Took]() {
    double From = Seconds_Since(O.Started);
    Verdicts = Read_Growth_Verdicts(O, Said);
    Took = Seconds_Since(O.Started) - From;
  };
  if (O.Timing_Only) Read();
  else C.Before_Largest = Read;
}

/* The timing phase, after the verdicts and the correctness phase (which
** took Checking seconds): the series, the speed figure, the layout, the
** chart. A fault met while the verdicts were read ends it here. */
int Time_Growth(const Profile_Options& O, Staged_File& Chart, const Correctness_Result& Checked,
                const Series_Result& Verdicts, double Checking) {
  bool JSON = O.Benchmark_Format == "json";
  std::vector<int> Orders = Chosen_Orders(O);
  std::FILE* Said = JSON ? stderr : stdout;
  Series_Result R = Verdicts.Finished ? Time_Series(Timing_Options(O), Verdicts) : Verdicts;
  bool Summarised = Write_Summary(O, Checked, &R);
  if (!R.Finished) {
    std::fprintf(Said, "FAIL while timing");
    if (R.Fault_Order >= 0)
      std::fprintf(Said, ": order %s, size %lld", Order_Name[R.Fault_Order], static_cast<long long>(R.Fault_Size));
    std::fprintf(Said, ", K %d, X %d\n  %s\n", O.K, O.X, R.Fault.c_str());
    Drop_Chart(O, Chart);
    return 1;
  }
  Print_Speed(Said, R, Orders);
  Print_Layout(Said, R);
  double Seconds = Seconds_Since(O.Started);
  std::fprintf(Said, "\nThe run took %.1f s: correctness %.1f s, timing %.1f s in %d round%s.\n", Seconds,
               Checking, Seconds - Checking, R.Rounds, R.Rounds == 1 ? "" : "s");
  std::fflush(Said);
  bool Written = Write_Tables(O, R, Orders);
  Written = Written && Summarised;
  if (Chart.Out == nullptr) return Written ? 0 : 1;
  char Title[200];
  std::snprintf(Title, sizeof Title, "%s: CPU time per item against list size (K %d, X %d)", O.Program.c_str(), O.K,
                O.X);
  Draw_Growth(Chart.Out, Title, R, Orders);
  return Finish_Chart(O, Chart) && Written ? 0 : 1;
}

int Sweep(const Profile_Options& O, Staged_File& Chart) {
  Sweep_Options S{O.Max_Items, {}, O.Sweep_X, O.Sweep_Repeats, O.Budget_Given ? O.Budget : Sweep_Budget, O.Limits,
                  Chosen_Orders(O), O.Check_Items};
  for (int32_t K = O.Sweep_K[0]; K <= O.Sweep_K[1]; K++) S.K.push_back(K);
  Sweep_Result R = Run_Sweep(S, stdout);
  if (Chart.Out != nullptr) {
    Draw_Sweep(Chart.Out, O.Program + ": the sort's time for each K and X", S, R);
    if (!Finish_Chart(O, Chart)) return 1;
  }
  return R.Any || R.Found.Outcome == Sweep_No_Difference ? 0 : 1;
}

/* Every option, with its range and its help. */
void Describe_Options(CLI::App& App, Profile_Options& O) {
  App.allow_extras();
  App.add_option("--program", O.Routine,
                 "the program linked with the routine and libsort_profile.a, which the judge runs as its\n"
                 "worker (a program so linked gives its own path here when started by hand)")
      ->required();
  App.add_option("--program-name", O.Program, "the name the report and its refusals go by (default: the program's)");
  App.add_option("--k", O.K, "K passed to the routine, 0 .. " + std::to_string(Max_K))
      ->capture_default_str()
      ->check(CLI::Range(0, Max_K));
  App.add_option("--x", O.X, "X passed to the routine, 0 .. " + std::to_string(Max_X))
      ->capture_default_str()
      ->check(CLI::Range(0, Max_X));
  App.add_option("--max-items", O.Max_Items,
                 "the largest list, 1 .. 100000000 (timing needs at least 8192: its series grows from 1024\n"
                 "and takes three doublings to judge)")
      ->capture_default_str()
      ->check(CLI::Range(int64_t{1}, int64_t{100000000}));
  App.add_option("--budget", O.Budget,
                 "seconds: a series stops growing before a size where one sort of the routine would take\n"
                 "longer (twice the last size's, at least); in a sweep, a pair whose sort takes longer is\n"
                 "stopped (default 1 there)")
      ->capture_default_str()
      ->check(CLI::Range(0.001, 86400.0));
  App.add_option("--orders", O.Orders, "only these orders, e.g. random,descending")
      ->delimiter(',')
      ->check(CLI::IsMember(std::vector<std::string>(std::begin(Order_Name), std::end(Order_Name))));
  App.add_flag("--quick", O.Quick,
               "a quick run for the edit-compile-run loop: lists up to " + std::to_string(Quick_Check_Items) +
                   " items checked and up to " + std::to_string(Quick_Max_Items) + "\ntimed, orders " +
                   Quick_Orders[0] + ", " + Quick_Orders[1] + " and " + Quick_Orders[2] +
                   " unless --max-items or --orders say otherwise");
  App.add_flag("--check-only", O.Check_Only, "stop after the correctness phase");
  App.add_flag("--timing-only", O.Timing_Only,
               "skip the correctness phase, for a routine a run with --check-only has passed (a tool that\n"
               "checks many routines at once and times them one at a time)");
  App.add_option("--keep-failing", O.Keep_Failing,
                 "write the first list the routine gets wrong to this file as a Raw file, to run it in the\n"
                 "timing program (an older one is removed when the run starts)");
  App.add_flag("--sweep", O.Sweep, "instead of the series: the median time for each K and X, and the best pairs");
  App.add_option("--sweep-k", O.Sweep_K, "the range of K to sweep, LOW,HIGH")
      ->delimiter(',')
      ->expected(2)
      ->check(CLI::Range(0, Max_K));
  App.add_option("--sweep-x", O.Sweep_X, "the values of X to sweep, e.g. 0,16,32,64")
      ->delimiter(',')
      ->check(CLI::Range(0, Max_X));
  App.add_option("--sweep-repeats", O.Sweep_Repeats, "sorts timed per pair; the median is shown")
      ->capture_default_str()
      ->check(CLI::Range(1, 1000));
  App.add_option("--summary", O.Summary,
                 "also write what the profile came to in lines a program reads (correctness, the cases, the\n"
                 "first failure and its kind, each order's verdict and time over the merge sort's, the layout\n"
                 "ratios) to this file, for a tool that grades many routines; see sort_profile(3)");
  App.add_option("--svg", O.SVG, "also draw the growth (or, with --sweep, the K x X table) in this SVG file");
  App.add_flag("--table", O.Table, "after the report, every measurement as Google Benchmark's table");
  App.set_version_flag("--version", O.Program + " (ZOR kit) " ZOR_KIT_VERSION);
  App.footer(Judge_Help_Footer(O.Program));
}

/* The sandbox's options: its mode and the limits of each child. */
void Describe_Sandbox_Options(CLI::App& App, Profile_Options& O, Given_Sandbox_Limits* Given) {
  const char* Group = "Sandbox: the routine's worker contained (man sort_profile, SANDBOX)";
  Add_Sandbox_Mode_Option(&App,
                          "auto: contain the routine's worker as far as this machine allows, and say what is missing;\n"
                          "required: refuse to run (exit 2) unless it is boxed; off: a plain child process",
                          Group, &O.Sandbox);
  Sandbox_Option_Words Words;
  Words.Whose = "the routine's worker", Words.Group = Group;
  Words.Time_Help = "seconds of CPU time one sort may take (a correctness case, or one sort while timing)\n"
                    "before it counts as an endless loop (the time limit)";
  Words.Most_Time = 86400;
  Words.Wall_Help = "seconds of wall-clock time a correctness case may last, or one sort while timing or\n"
                    "sweeping, asleep or blocked (default: 3 x --time-limit)";
  Words.Most_Wall = 259200;
  Words.Process_Note = "(threads are timed, other processes are not)";
  Given->Limits = O.Limits;
  Add_Sandbox_Limit_Options(&App, Words, Given);
}

/* What --quick changes, where the options do not say otherwise. */
void Take_Quick(const CLI::App& App, Profile_Options& O) {
  bool Max_Given = App.count("--max-items") > 0;
  if (O.Quick && !Max_Given) O.Max_Items = Quick_Max_Items;
  if (O.Quick && O.Orders.empty()) O.Orders.assign(std::begin(Quick_Orders), std::end(Quick_Orders));
  O.Check_Items = O.Quick && !Max_Given ? Quick_Check_Items : O.Max_Items;
}

/* The options, checked together; a bad one ends the run with exit
** status 2, --help and --version with 0. */
Profile_Options Take_Judge_Options(int Argc, char** Argv) {
  Profile_Options O;
  const char* Slash = Argc > 0 ? std::strrchr(Argv[0], '/') : nullptr;
  O.Program = Argc > 0 ? (Slash != nullptr ? Slash + 1 : Argv[0]) : "zor_sort_judge";
  /* Named before the options are parsed, for --version and --help. */
  for (int I = 1; I + 1 < Argc; I++) {
    std::string Word = Argv[I], Next = Argv[I + 1];
    if (Word == "--program-name") O.Program = Next;
    if (Word == "--program" && O.Program == "zor_sort_judge") O.Program = Next.substr(Next.rfind('/') + 1);
  }
  CLI::App App{Judge_Description(), O.Program};
  Describe_Options(App, O);
  O.Limits.Cpu_Seconds = Default_Time_Limit;
  /* The worker's time is its one process's CPU clock: work done in
  ** another process would go untimed, so by default there is none. */
  O.Limits.Processes = 1;
  Given_Sandbox_Limits Given;
  Describe_Sandbox_Options(App, O, &Given);
  try {
    App.parse(Argc, Argv);
    if (App.count("--program-name") == 0) O.Program = O.Routine.substr(O.Routine.rfind('/') + 1);
    for (const std::string& Extra : App.remaining()) {
      if (Extra.rfind("--benchmark_", 0) != 0) throw CLI::ExtrasError({Extra});
      Take_Benchmark_Option(O, Extra);
    }
    O.Budget_Given = App.count("--budget") > 0;
    Take_Quick(App, O);
    if (O.Sweep_K.size() != 2 || O.Sweep_K[0] > O.Sweep_K[1])
      throw CLI::ValidationError("--sweep-k", "give LOW,HIGH with LOW <= HIGH");
    if (O.Sweep_X.empty()) throw CLI::ValidationError("--sweep-x", "give at least one value");
    if (!O.Check_Only && !O.Sweep && O.Max_Items < Smallest_Series_Top)
      throw CLI::ValidationError("--max-items", "the timing series grows from 1024 items and needs three doublings: "
                                                "give at least 8192, or --check-only");
    if (O.Check_Only && !O.SVG.empty()) throw CLI::ValidationError("--svg", "--check-only draws nothing");
    if (O.Sweep && !O.Summary.empty()) throw CLI::ValidationError("--summary", "a sweep has no summary");
    if (O.Timing_Only && (O.Check_Only || O.Sweep))
      throw CLI::ValidationError("--timing-only", "give it without --check-only and --sweep");
  } catch (const CLI::Success& Done) {
    std::exit(App.exit(Done));
  } catch (const CLI::ParseError& Error) {
    Refuse(O, Error.what());
  }
  O.Limits = Sandbox_Limits_Of(Given);
  return O;
}

/* Files first: nothing long runs before they are known to be writable,
** and no older file stands for this run. The failing list is written
** only if there is one, so its folder is only tried here. */
void Open_Outputs(const Profile_Options& O, Staged_File* Chart) {
  if (!O.SVG.empty() && !Begin_Staged_File(Chart, O.SVG.c_str()))
    Refuse(O, "--svg: cannot write " + O.SVG + ": " + std::strerror(errno));
  if (!O.Benchmark_Out.empty()) {
    Staged_File Probe;
    if (!Begin_Staged_File(&Probe, O.Benchmark_Out.c_str()))
      Refuse(O, "--benchmark_out: cannot write " + O.Benchmark_Out + ": " + std::strerror(errno));
    Abandon_Staged_File(&Probe);
  }
  if (!O.Summary.empty()) {
    Staged_File Probe;
    if (!Begin_Staged_File(&Probe, O.Summary.c_str()))
      Refuse(O, "--summary: cannot write " + O.Summary + ": " + std::strerror(errno));
    Abandon_Staged_File(&Probe);
  }
  if (O.Keep_Failing.empty()) return;
  struct stat Status;
  if (stat(O.Keep_Failing.c_str(), &Status) == 0 && S_ISREG(Status.st_mode)) std::remove(O.Keep_Failing.c_str());
  Staged_File Probe;
  if (!Begin_Staged_File(&Probe, O.Keep_Failing.c_str()))
    Refuse(O, "--keep-failing: cannot write " + O.Keep_Failing + ": " + std::strerror(errno));
  Abandon_Staged_File(&Probe);
}

/* A quick run says so first, and what it leaves out. */
void Say_Quick(const Profile_Options& O, std::FILE* Out) {
  std::string Orders;
  for (int Order : Chosen_Orders(O)) Orders += (Orders.empty() ? "" : ", ") + std::string(Order_Name[Order]);
  std::fprintf(Out, "A quick run (--quick): lists up to %lld items checked and up to %lld timed, orders %s; a run "
               "without --quick checks and times more.\n", static_cast<long long>(O.Check_Items),
               static_cast<long long>(O.Max_Items), Orders.c_str());
}

/* The profile itself: correctness, then the timing or the sweep; the
** verdicts are read within the correctness phase. */
int Judge_Routine(const Profile_Options& O, Staged_File& Chart) {
  /* With JSON on standard output, the verdicts go beside it. */
  std::FILE* Said = O.Benchmark_Format == "json" ? stderr : stdout;
  Correctness_Options C{O.K, O.X, O.Check_Items, O.Limits, Chosen_Orders(O), O.Keep_Failing};
  Correctness_Result Checked{true, 0, ""};
  if (O.Quick) Say_Quick(O, Said);
  Series_Result Verdicts{};
  double Reading = 0, Checking = 0;
  if (!O.Check_Only && !O.Sweep) Read_Verdicts_When_Due(O, Said, C, Verdicts, Reading);
  if (!O.Timing_Only) {
    double Checked_From = Seconds_Since(O.Started);
    if (!Check_Correctness(C, Said, &Checked)) {
      Drop_Chart(O, Chart);
      Write_Summary(O, Checked, nullptr);
      return 1;
    }
    Checking = Seconds_Since(O.Started) - Checked_From - Reading;
  }
  if (O.Check_Only) return Write_Summary(O, Checked, nullptr) ? 0 : 1;
  if (O.Sweep) return Sweep(O, Chart);
  return Time_Growth(O, Chart, Checked, Verdicts, Checking);
}

/* The reference's worker sorts with the kit's merge sort, which takes no
** K and X. */
void Reference_Sort(SL_Node** Head, int32_t, int32_t) { Reference_Merge_Sort(Head); }

}  // namespace

int main(int Argc, char** Argv) {
  if (Argc > 2 && std::strcmp(Argv[1], Worker_Argument) == 0) Serve_Sorts(Argv[2], Reference_Sort);
  Profile_Options O = Take_Judge_Options(Argc, Argv);
  Staged_File Chart{nullptr, ""};
  Open_Outputs(O, &Chart);
  std::string Said, Refusal;
  if (!Start_Children(O.Program, O.Routine, Sandbox_Mode_Named(O.Sandbox), &Said, &Refusal)) {
    Drop_Chart(O, Chart);
    Refuse_And_Exit(O.Program.c_str(), Refusal.c_str());
  }
  std::fprintf(stderr, "%s: %s\n", O.Program.c_str(), Said.c_str());
  int Status = Judge_Routine(O, Chart);
  Finish_Children();
  return Status;
}
