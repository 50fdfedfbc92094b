/*
** growth_series.cpp
** The child that runs Google Benchmark, and what it tells the parent.
**
** The child sends a line before every sort it starts (probe or timed),
** so a crash names the order and size it happened at, and one line per
** measurement Google Benchmark reports. The parent keeps the median of a
** size's repetitions, for the routine and for the reference.
*/
#include "sort_profile/growth_series.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <sstream>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "sort_profile/child_run.h"
#include "sort_profile/profile_lists.h"
#include "sort_profile/reference_merge_sort.h"

namespace {

double CPU_Seconds() {
  timespec Now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &Now);
  return double(Now.tv_sec) + double(Now.tv_nsec) * 1e-9;
}

using Line_Sender = std::function<void(const std::string&)>;

/* Google Benchmark's reports, passed on to the reporter the user asked
** for and sent to the parent. (The library's API takes a subclass.) */
class Sending_Reporter : public benchmark::BenchmarkReporter {
 public:
  Sending_Reporter(benchmark::BenchmarkReporter* Shown, const Line_Sender& Line) : Shown_(Shown), Line_(Line) {}
  bool ReportContext(const Context& C) override {
    Shown_->SetOutputStream(&GetOutputStream());
    Shown_->SetErrorStream(&GetErrorStream());
    return Shown_->ReportContext(C);
  }
  void ReportRuns(const std::vector<Run>& Runs) override {
    for (const Run& R : Runs)
      if (R.run_type == Run::RT_Iteration && !R.error_occurred && R.iterations > 0) {
        char Text[200];
        std::snprintf(Text, sizeof Text, "time %s %lld %.9g", R.run_name.function_name.c_str(),
                      static_cast<long long>(R.complexity_n), R.GetAdjustedCPUTime() / 1e3);  // ms to s
        Line_(Text);
      }
    Shown_->ReportRuns(Runs);
  }
  void Finalize() override { Shown_->Finalize(); }

 private:
  benchmark::BenchmarkReporter* Shown_;
  Line_Sender Line_;
};

/* The sizes of an order's series: doubling from 1,024 up to the largest,
** and no further once one sort has taken longer than the budget. */
std::vector<int64_t> Series_Sizes(const Series_Options& O, int Order, const Line_Sender& Line) {
  std::vector<int64_t> Sizes;
  for (int64_t N = First_Series_Size; N <= O.Max_Items; N *= 2) {
    Line("sorting " + std::to_string(Order) + " " + std::to_string(N));
    Sizes.push_back(N);
    Laid_Out_List L = Lay_Out_List(Items_In_Order(Order, N, 1));
    double Started = CPU_Seconds();
    Sort_Singly_Linked_List(&L.Head, O.K, O.X);
    double Took = CPU_Seconds() - Started;
    Free_List(L);
    if (Took > O.Budget) break;
  }
  return Sizes;
}

/* What the child does: the sizes, then Google Benchmark's run. */
void Run_Benchmarks(const Series_Options& O, const Line_Sender& Line) {
  std::vector<std::string> Words = {"sort_profile"};
  Words.insert(Words.end(), O.Benchmark_Arguments.begin(), O.Benchmark_Arguments.end());
  std::vector<char*> Argv;
  for (std::string& W : Words) Argv.push_back(W.data());
  int Argc = static_cast<int>(Argv.size());
  benchmark::Initialize(&Argc, Argv.data());
  for (int Order : O.Orders) {
    std::vector<int64_t> Sizes = Series_Sizes(O, Order, Line);
    for (bool Reference : {false, true}) {
      std::string Name = std::string(Reference ? "reference/" : "sort/") + Order_Name[Order];
      auto* Series = benchmark::RegisterBenchmark(Name.c_str(), [Order, Reference, &O, &Line](benchmark::State& State) {
        int64_t N = State.range(0);
        Line("sorting " + std::to_string(Order) + " " + std::to_string(N));
        Laid_Out_List L = Lay_Out_List(Items_In_Order(Order, N, 1));
        for (auto _ : State) {
          State.PauseTiming();
          Reset_List(L);
          State.ResumeTiming();
          if (Reference) Reference_Merge_Sort(&L.Head);
          else Sort_Singly_Linked_List(&L.Head, O.K, O.X);
        }
        State.SetComplexityN(N);
        State.counters["per_item"] =
            benchmark::Counter(double(N), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
        Free_List(L);
      });
      for (int64_t N : Sizes) Series->Arg(N);
      Series->Unit(benchmark::kMillisecond);
      if (!Reference) Series->Complexity(benchmark::oAuto);
    }
  }
  benchmark::ConsoleReporter Console(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults
                                                            : benchmark::ConsoleReporter::OO_Tabular);
  benchmark::JSONReporter JSON;
  Sending_Reporter Sender(O.JSON ? static_cast<benchmark::BenchmarkReporter*>(&JSON) : &Console, Line);
  benchmark::RunSpecifiedBenchmarks(&Sender);
  benchmark::Shutdown();
  std::fflush(stdout);
  Line("done");
}

double Median(std::vector<double> Values) {
  std::sort(Values.begin(), Values.end());
  size_t Middle = Values.size() / 2;
  return Values.size() % 2 ? Values[Middle] : (Values[Middle - 1] + Values[Middle]) / 2;
}

}  // namespace

Series_Result Time_Series(const Series_Options& O) {
  Series_Result R{false, "", -1, 0, {}};
  std::map<std::pair<int, int64_t>, std::vector<double>> Times[2];  // [reference][(order, n)]
  bool Done = false;
  /* One sort may take the time limit; Google Benchmark runs a size for at
  ** least its minimum time, so the child is given a few times that more. */
  double Min_Time = 0.5;
  for (const std::string& A : O.Benchmark_Arguments)
    if (A.rfind("--benchmark_min_time=", 0) == 0) Min_Time = std::atof(A.c_str() + 21);
  const double Patience = O.Time_Limit + 4 * Min_Time + 1;
  Child_Outcome C = Run_In_Child(
      [&O](const Line_Sender& Line) { Run_Benchmarks(O, Line); }, Patience,
      [&](const std::string& Line) {
        std::istringstream In(Line);
        std::string Kind, Name;
        In >> Kind;
        if (Kind == "done") Done = true;
        if (Kind == "sorting") In >> R.Fault_Order >> R.Fault_Size;
        if (Kind != "time") return;
        long long N = 0;
        double Seconds = 0;
        In >> Name >> N >> Seconds;
        bool Reference = Name.rfind("reference/", 0) == 0;
        for (int Order = 0; Order < Number_Of_Orders; Order++)
          if (Name.substr(Name.find('/') + 1) == Order_Name[Order]) Times[Reference][{Order, N}].push_back(Seconds);
      });
  if (!Done || !C.Exited || C.Status != 0) {
    R.Fault = Child_Fault(C, O.Time_Limit);
    return R;
  }
  R.Finished = true;
  R.Fault_Order = -1;
  for (const auto& [Key, Sorts] : Times[0]) {
    auto Reference = Times[1].find(Key);
    if (Reference == Times[1].end()) continue;
    R.Points[Key.first].push_back(Growth_Point{Key.second, Median(Sorts), Median(Reference->second)});
  }
  return R;
}
