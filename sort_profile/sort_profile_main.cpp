/*
** sort_profile_main.cpp
** main of libsort_profile.a: linked with the module that defines
** Sort_Singly_Linked_List (the same one linked with libsort_bench.a), it
** makes a profiler of that routine.
**
** First, correctness: the routine sorts lists of many sizes in many
** orders, each in a child process, and the first list it leaves wrong
** ends the run with what is wrong and where. Then, the timing: Google
** Benchmark times it on lists that double in size, one series per order,
** and fits how the cost grows. Or, with --sweep, the best K and X.
*/
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include "correctness.h"
#include "sweep.h"
#include "profile_lists.h"
#include "svg_chart.h"

#include "zor_kit_version.h"

struct Profile_Options {
  int32_t K = 0, X = 0;
  int64_t Max_Items = 1000000;
  double Budget = 1, Time_Limit = 300;
  std::vector<std::string> Orders;
  bool Check_Only = false, Sweep = false;
  std::vector<int32_t> Sweep_K = {0, 20};
  std::vector<int32_t> Sweep_X = {0, 1, 2, 4, 8, 16, 32, 64, 128, 256, 500};
  int32_t Sweep_Repeats = 5;
  std::string SVG;
  std::string Program;
};

static const int64_t Case_Sizes[] = {0, 1, 2, 3, 4, 5, 7, 8, 15, 16, 17, 100, 1000, 10000, 100000};
static const uint32_t Random_Seeds[] = {1, 2, 3};

static std::vector<int> Chosen_Orders(const Profile_Options& O) {
  std::vector<int> Orders;
  for (int Order = 0; Order < Number_Of_Orders; Order++)
    if (O.Orders.empty() || std::find(O.Orders.begin(), O.Orders.end(), Order_Name[Order]) != O.Orders.end())
      Orders.push_back(Order);
  return Orders;
}

/* Smallest lists first, every order at each size, so the first failure
** reported is the simplest list that shows it. */
static bool Check_Correctness(const Profile_Options& O, std::FILE* Out) {
  std::vector<int> Orders = Chosen_Orders(O);
  int Cases = 0, Total = 0;
  for (int64_t Size : Case_Sizes)
    if (Size <= O.Max_Items)
      for (int Order : Orders) Total += Order == Order_Random ? 3 : 1;
  bool Terminal = isatty(STDERR_FILENO) == 1;
  for (int64_t Size : Case_Sizes) {
    if (Size > O.Max_Items) break;
    for (int Order : Orders)
      for (uint32_t Seed : Random_Seeds) {
        if (Order != Order_Random && Seed != Random_Seeds[0]) continue;
        if (Terminal) std::fprintf(stderr, "\r\033[Kchecking %d of %d: %s, %lld items", Cases + 1, Total, Order_Name[Order], (long long)Size);
        Case_Result R = Run_Case(Order, Size, Seed, O.K, O.X, O.Time_Limit);
        if (Terminal) std::fputs("\r\033[K", stderr);
        if (!R.Passed) {
          std::fprintf(Out, "FAIL: order %s", Order_Name[Order]);
          if (Order == Order_Random) std::fprintf(Out, " (seed %u)", Seed);
          std::fprintf(Out, ", size %lld, K %d, X %d\n  %s\n", (long long)Size, O.K, O.X, R.Fault.c_str());
          return false;
        }
        Cases++;
      }
  }
  std::fprintf(Out, "PASS: %d cases (orders:", Cases);
  for (int Order : Orders) std::fprintf(Out, " %s", Order_Name[Order]);
  std::fprintf(Out, "; random from %zu seeds; sizes 0 .. %lld; K %d, X %d)\n", std::size(Random_Seeds),
               (long long)std::min<int64_t>(O.Max_Items, 100000), O.K, O.X);
  std::fflush(Out);
  return true;
}

/* The sizes of an order's series: doubling from 1,024 up to the largest,
** and no further once one sort has taken longer than the budget. */
static std::vector<int64_t> Series_Sizes(const Profile_Options& O, int Order) {
  std::vector<int64_t> Sizes;
  for (int64_t N = 1024; N <= O.Max_Items; N *= 2) {
    Sizes.push_back(N);
    Laid_Out_List L = Lay_Out_List(Items_In_Order(Order, N, 1));
    double Took = Time_One_Sort(L, O.K, O.X);
    Free_List(L);
    if (Took > O.Budget) break;
  }
  return Sizes;
}

/* Records what Google Benchmark reports, for the growth summary and the
** chart, and passes every report on to the reporter the user asked for. */
class Recording_Reporter : public benchmark::BenchmarkReporter {
 public:
  explicit Recording_Reporter(benchmark::BenchmarkReporter* Shown) : Shown_(Shown) {}
  bool ReportContext(const Context& C) override {
    Shown_->SetOutputStream(&GetOutputStream());
    Shown_->SetErrorStream(&GetErrorStream());
    return Shown_->ReportContext(C);
  }
  void ReportRuns(const std::vector<Run>& Runs) override {
    Recorded.insert(Recorded.end(), Runs.begin(), Runs.end());
    Shown_->ReportRuns(Runs);
  }
  void Finalize() override { Shown_->Finalize(); }
  std::vector<Run> Recorded;

 private:
  benchmark::BenchmarkReporter* Shown_;
};

static const char* Growth_Name(benchmark::BigO Fit) {
  switch (Fit) {
    case benchmark::o1: return "1 (constant)";
    case benchmark::oN: return "N";
    case benchmark::oNSquared: return "N^2";
    case benchmark::oNCubed: return "N^3";
    case benchmark::oLogN: return "log N";
    case benchmark::oNLogN: return "N log N";
    default: return "?";
  }
}

/* Series name "sort/<order>/<n>" back to its order. */
static int Order_Of(const std::string& Name) {
  for (int Order = 0; Order < Number_Of_Orders; Order++)
    if (Name.rfind(std::string("sort/") + Order_Name[Order] + "/", 0) == 0 ||
        Name == std::string("sort/") + Order_Name[Order] + "_BigO" || Name == std::string("sort/") + Order_Name[Order] + "_RMS")
      return Order;
  return -1;
}

static bool Draw_Growth(const Profile_Options& O, const std::vector<benchmark::BenchmarkReporter::Run>& Runs) {
  static const char* const Colours[] = {"#d7301f", "#2b7bba", "#1a9850", "#7a5195", "#ef8a62", "#444444", "#e7298a", "#66a61e"};
  std::vector<double> X[Number_Of_Orders], Y[Number_Of_Orders];
  double Most = 0, Widest = 1024;
  for (const auto& R : Runs) {
    int Order = Order_Of(R.benchmark_name());
    if (Order < 0 || R.run_type != benchmark::BenchmarkReporter::Run::RT_Iteration || R.complexity_n <= 0) continue;
    double Per_Item = R.GetAdjustedCPUTime() * 1e6 / double(R.complexity_n);  // in ns; times are in ms
    X[Order].push_back(double(R.complexity_n));
    Y[Order].push_back(Per_Item);
    Most = std::max(Most, Per_Item), Widest = std::max(Widest, double(R.complexity_n));
  }
  std::FILE* Out = std::fopen(O.SVG.c_str(), "w");
  if (Out == nullptr) return false;
  Svg_Begin(Out, 1000, 620);
  std::string Title = O.Program + ": CPU time per item against list size";
  Svg_Text(Out, 30, 34, 20, "start", true, Title.c_str());
  char Line[160];
  std::snprintf(Line, sizeof Line, "K %d, X %d; each point is one series size of Google Benchmark", O.K, O.X);
  Svg_Text(Out, 30, 58, 13, "start", false, Line);
  Chart_Panel P{90, 100, 700, 440, Chart_Axis{1000, Widest * 1.2, Labels_Log, "items in the list (log scale)"},
                Chart_Axis{0, Most > 0 ? Most * 1.1 : 1, Labels_Number, "CPU time per item (ns)"}};
  Draw_Panel(Out, P, "");
  const char* Names[Number_Of_Orders];
  const char* Used_Colours[Number_Of_Orders];
  size_t Shown = 0;
  for (int Order = 0; Order < Number_Of_Orders; Order++) {
    if (X[Order].empty()) continue;
    Draw_Line(Out, P, X[Order].data(), Y[Order].data(), X[Order].size(), Colours[Order], true);
    Names[Shown] = Order_Name[Order], Used_Colours[Shown++] = Colours[Order];
  }
  Draw_Legend(Out, 820, 120, Names, Used_Colours, Shown);
  Svg_End(Out);
  bool Ok = !std::ferror(Out);
  if (std::fclose(Out) != 0 || !Ok) {
    std::remove(O.SVG.c_str());
    return false;
  }
  return true;
}

/* The output format the user asked Google Benchmark for. */
static std::string Benchmark_Format(const std::vector<char*>& Benchmark_Arguments) {
  std::string Format = "console";
  for (const char* Argument : Benchmark_Arguments)
    if (std::strncmp(Argument, "--benchmark_format=", 19) == 0) Format = Argument + 19;
  return Format;
}

static int Time_Series(const Profile_Options& O, std::vector<char*>& Benchmark_Arguments) {
  std::string Format = Benchmark_Format(Benchmark_Arguments);
  int Count = static_cast<int>(Benchmark_Arguments.size());
  benchmark::Initialize(&Count, Benchmark_Arguments.data());
  for (int Order : Chosen_Orders(O)) {
    std::string Name = std::string("sort/") + Order_Name[Order];
    auto* Series = benchmark::RegisterBenchmark(Name.c_str(), [Order, &O](benchmark::State& State) {
      int64_t N = State.range(0);
      Laid_Out_List L = Lay_Out_List(Items_In_Order(Order, N, 1));
      for (auto _ : State) {
        State.PauseTiming();
        Reset_List(L);
        State.ResumeTiming();
        Sort_Singly_Linked_List(&L.Head, O.K, O.X);
      }
      State.SetComplexityN(N);
      State.counters["per_item"] = benchmark::Counter(double(N), benchmark::Counter::kIsIterationInvariantRate |
                                                                     benchmark::Counter::kInvert);
      Free_List(L);
    });
    for (int64_t N : Series_Sizes(O, Order)) Series->Arg(N);
    Series->Unit(benchmark::kMillisecond)->Complexity(benchmark::oAuto);
  }

  benchmark::ConsoleReporter Console(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults
                                                            : benchmark::ConsoleReporter::OO_Tabular);
  benchmark::JSONReporter JSON;
  benchmark::BenchmarkReporter* Shown = Format == "json" ? static_cast<benchmark::BenchmarkReporter*>(&JSON) : &Console;
  Recording_Reporter Recorder(Shown);
  benchmark::RunSpecifiedBenchmarks(&Recorder);
  benchmark::Shutdown();

  if (Format != "json") {
    std::printf("\nGrowth of the CPU time per sort (Google Benchmark's fit):\n");
    for (const auto& R : Recorder.Recorded)
      if (R.aggregate_name == "BigO")
        for (const auto& Rms : Recorder.Recorded)
          if (Rms.aggregate_name == "RMS" && Order_Of(Rms.benchmark_name()) == Order_Of(R.benchmark_name()))
            std::printf("  %-13s %-12s (RMS %.0f %%)\n", Order_Name[Order_Of(R.benchmark_name())],
                        Growth_Name(R.complexity), Rms.GetAdjustedCPUTime() * 100);
  }
  if (!O.SVG.empty() && !Draw_Growth(O, Recorder.Recorded)) {
    std::fprintf(stderr, "%s: --svg: cannot write %s\n", O.Program.c_str(), O.SVG.c_str());
    return 1;
  }
  return 0;
}

/* The median CPU time of a sort of the largest random list for each K
** and X in the ranges, and the best pair. Some pairs make a routine very
** slow (the radix example with 16-bit digits and no cut-off takes
** seconds), so each pair runs in a child that is stopped once one sort
** takes longer than the budget; a pair that leaves the list unsorted is
** marked, and neither is ever chosen. */
static int Sweep(const Profile_Options& O) {
  Laid_Out_List L = Lay_Out_List(Items_In_Order(Order_Random, O.Max_Items, 1));
  bool Terminal = isatty(STDERR_FILENO) == 1;
  std::printf("Median CPU time (ms) of %d sorts of %lld random items; rows K, columns X\n", O.Sweep_Repeats,
              (long long)O.Max_Items);
  std::printf("   K");
  for (int32_t X : O.Sweep_X) std::printf(" %8d", X);
  std::printf("\n");
  double Best = -1;
  int32_t Best_K = 0, Best_X = 0;
  for (int32_t K = O.Sweep_K[0]; K <= O.Sweep_K[1]; K++) {
    std::printf("%4d", K);
    for (int32_t X : O.Sweep_X) {
      if (Terminal) std::fprintf(stderr, "\r\033[Ksweeping K %d, X %d", K, X);
      Pair_Timing T = Time_Pair(L, K, X, O.Sweep_Repeats, O.Budget);
      if (Terminal) std::fputs("\r\033[K", stderr);
      char Cell[16];
      if (T.Wrong) std::snprintf(Cell, sizeof Cell, "wrong");
      else if (T.Slow) std::snprintf(Cell, sizeof Cell, ">%gs", O.Budget);
      else std::snprintf(Cell, sizeof Cell, "%.1f", T.Median * 1000);
      std::printf(" %8s", Cell);
      std::fflush(stdout);
      if (!T.Wrong && !T.Slow && (Best < 0 || T.Median * 1000 < Best)) Best = T.Median * 1000, Best_K = K, Best_X = X;
    }
    std::printf("\n");
  }
  Free_List(L);
  if (Best < 0) {
    std::printf("No K and X sorted the list within the budget.\n");
    return 1;
  }
  std::printf("Best: K %d, X %d (%.1f ms)\n", Best_K, Best_X, Best);
  return 0;
}

int main(int Argc, char** Argv) {
  Profile_Options O;
  const char* Slash = Argc > 0 ? std::strrchr(Argv[0], '/') : nullptr;
  O.Program = Argc > 0 ? (Slash != nullptr ? Slash + 1 : Argv[0]) : "sort_profile";
  CLI::App App{"Profiles the Sort_Singly_Linked_List linked into this program. First it sorts lists of\n"
               "sizes 0 .. 100,000 in every order (random from 3 seeds, ascending, descending, equal,\n"
               "few-distinct, organ-pipe, sawtooth, extremes), each in a child process under a time\n"
               "limit, and stops at the first list left wrong: crashed, looping, a node lost, added or\n"
               "repeated, a cycle, out of order, not a permutation. Then Google Benchmark times it on\n"
               "lists of 1,024 items doubling up to --max-items, one series per order, and fits the\n"
               "growth of the CPU time per sort (N, N log N, N^2, ...).",
               O.Program};
  App.allow_extras();
  App.add_option("--k", O.K, "K passed to the routine, 0 .. 20")->capture_default_str()->check(CLI::Range(0, 20));
  App.add_option("--x", O.X, "X passed to the routine, 0 .. 500")->capture_default_str()->check(CLI::Range(0, 500));
  App.add_option("--max-items", O.Max_Items, "the largest list, 1 .. 100000000")
      ->capture_default_str()
      ->check(CLI::Range(int64_t{1}, int64_t{100000000}));
  App.add_option("--budget", O.Budget, "seconds: a series stops growing once one sort takes longer")
      ->capture_default_str()
      ->check(CLI::Range(0.001, 86400.0));
  App.add_option("--time-limit", O.Time_Limit, "seconds a correctness case may take before it counts as looping")
      ->capture_default_str()
      ->check(CLI::Range(0.1, 86400.0));
  App.add_option("--orders", O.Orders, "only these orders, e.g. random,descending")
      ->delimiter(',')
      ->check(CLI::IsMember({"random", "ascending", "descending", "equal", "few-distinct", "organ-pipe", "sawtooth",
                             "extremes"}));
  App.add_flag("--check-only", O.Check_Only, "stop after the correctness phase");
  App.add_flag("--sweep", O.Sweep, "instead of the series: the median time for each K and X, and the best pair");
  App.add_option("--sweep-k", O.Sweep_K, "the range of K to sweep, LOW,HIGH")
      ->delimiter(',')
      ->expected(2)
      ->check(CLI::Range(0, 20));
  App.add_option("--sweep-x", O.Sweep_X, "the values of X to sweep, e.g. 0,16,32,64")
      ->delimiter(',')
      ->check(CLI::Range(0, 500));
  App.add_option("--sweep-repeats", O.Sweep_Repeats, "sorts timed per pair; the median is shown")
      ->capture_default_str()
      ->check(CLI::Range(1, 1000));
  App.add_option("--svg", O.SVG, "also draw the CPU time per item against list size in this SVG file");
  App.set_version_flag("--version", O.Program + " (ZOR kit) " ZOR_KIT_VERSION);
  App.footer("Google Benchmark's own options (--benchmark_repetitions=N, --benchmark_min_time=S,\n"
             "--benchmark_format=json, --benchmark_out=FILE, --benchmark_filter=REGEX, ...) are passed to it.\n"
             "Examples:\n"
             "  " + O.Program + " --k 10 --x 32\n"
             "  " + O.Program + " --max-items 100000 --orders random,descending --svg growth.svg\n"
             "  " + O.Program + " --sweep --sweep-k 6,12 --sweep-x 0,16,32,64,128\n"
             "Exit status: 0 the routine passed (and was timed); 1 a case failed, or a file could\n"
             "not be written; 2 bad options.");
  std::vector<char*> Benchmark_Arguments = {Argv[0]};
  try {
    App.parse(Argc, Argv);
    for (const std::string& Extra : App.remaining())
      if (Extra.rfind("--benchmark_", 0) != 0) throw CLI::ExtrasError({Extra});
    if (O.Sweep_K.size() != 2 || O.Sweep_K[0] > O.Sweep_K[1])
      throw CLI::ValidationError("--sweep-k", "give LOW,HIGH with LOW <= HIGH");
    if (O.Sweep_X.empty()) throw CLI::ValidationError("--sweep-x", "give at least one value");
  } catch (const CLI::Success& Done) {
    return App.exit(Done);
  } catch (const CLI::ParseError& Error) {
    std::string Message = Error.what();
    std::replace(Message.begin(), Message.end(), '\n', ' ');
    std::fprintf(stderr, "%s: %s (see --help)\n", O.Program.c_str(), Message.c_str());
    return 2;
  }
  /* Google Benchmark keeps pointers into argv; the strings live in App. */
  std::vector<std::string> Extras = App.remaining();
  for (std::string& Extra : Extras) Benchmark_Arguments.push_back(Extra.data());

  /* With JSON on standard output, the verdict goes beside it. */
  if (!Check_Correctness(O, Benchmark_Format(Benchmark_Arguments) == "json" ? stderr : stdout)) return 1;
  if (O.Check_Only) return 0;
  if (O.Sweep) return Sweep(O);
  return Time_Series(O, Benchmark_Arguments);
}
