/*
** benchmark_table.cpp
** The timing phase's sorts turned into Google Benchmark's run records.
** The profiler reads the clock itself, around each sort, because the
** routine and the reference must take turns on one list and timing must
** stop once the verdicts are settled, which Google Benchmark's run loop
** (each benchmark alone, for a minimum time) cannot do; its reporters
** still write the table and the JSON that users of it know.
*/
#include "sort_profile/benchmark_table.h"

#include <algorithm>
#include <sstream>

#include <benchmark/benchmark.h>

namespace {

using Run = benchmark::BenchmarkReporter::Run;

Run Row(const std::string& Name, int64_t N, const std::vector<double>& Seconds, size_t Family, size_t Instance) {
  Run R;
  R.run_name.function_name = Name;
  R.run_name.args = std::to_string(N);
  R.family_index = static_cast<int64_t>(Family);
  R.per_family_instance_index = static_cast<int64_t>(Instance);
  R.repetition_index = 0, R.repetitions = 1, R.threads = 1;
  R.iterations = static_cast<benchmark::IterationCount>(Seconds.size());
  /* The time shown is the median, as the verdicts use it, not the mean. */
  double Median = Median_Seconds(Seconds);
  R.real_accumulated_time = R.cpu_accumulated_time = Median * double(Seconds.size());
  R.time_unit = benchmark::kMillisecond;
  R.complexity_n = N;
  R.statistics = nullptr;
  R.counters["per_item_ns"] = benchmark::Counter(Median * 1e9 / double(N));
  return R;
}

/* The rows of one order: the series, and its layouts if timed there. */
std::vector<Run> Order_Rows(const Series_Result& R, int Order, size_t& Family) {
  std::vector<Run> Rows;
  const std::vector<Size_Timing>& Sizes = R.Timings[Order];
  for (bool Reference : {false, true}) {
    std::string Name = std::string(Reference ? "reference/" : "sort/") + Order_Name[Order];
    for (size_t I = 0; I < Sizes.size(); I++)
      Rows.push_back(Row(Name, Sizes[I].N, Reference ? Sizes[I].Reference : Sizes[I].Sort, Family, I));
    Family++;
  }
  if (R.Layout.N == 0 || R.Layout.Order != Order) return Rows;
  for (bool Reference : {false, true})
    for (int Layout = 0; Layout < Number_Of_Layouts; Layout++) {
      std::string Name = std::string(Reference ? "reference/" : "sort/") + Order_Name[Order] +
                         (Layout == Layout_Scattered ? "/scattered" : "/allocation-order");
      Rows.push_back(Row(Name, R.Layout.N, Reference ? R.Layout.Reference[Layout] : R.Layout.Sort[Layout], Family++, 0));
    }
  return Rows;
}

}  // namespace

void Write_Benchmark_Table(std::ostream& Out, const std::string& Format, const Series_Result& R,
                           const std::vector<int>& Orders) {
  benchmark::ConsoleReporter Console(benchmark::ConsoleReporter::OO_Tabular);
  benchmark::JSONReporter JSON;
  benchmark::BenchmarkReporter& Reporter =
      Format == "json" ? static_cast<benchmark::BenchmarkReporter&>(JSON) : Console;
  std::ostringstream Context_Text;
  Reporter.SetOutputStream(&Out);
  Reporter.SetErrorStream(&Context_Text);
  std::vector<std::vector<Run>> Families;
  size_t Family = 0, Widest = 10;
  for (int Order : Orders) {
    Families.push_back(Order_Rows(R, Order, Family));
    for (const Run& Row : Families.back()) Widest = std::max(Widest, Row.benchmark_name().size());
  }
  benchmark::BenchmarkReporter::Context Context;
  Context.name_field_width = Widest;
  Reporter.ReportContext(Context);
  /* The console reporter writes the machine's description where errors
  ** go; it is kept, less the library's own build warning. */
  std::istringstream Lines(Context_Text.str());
  for (std::string Line; std::getline(Lines, Line);)
    Out << (Line.find("Library was built as DEBUG") != std::string::npos
                ? "(Google Benchmark's library was built as DEBUG by the distribution: that slows only its own "
                  "bookkeeping, never the sorts, which the profiler times itself.)"
                : Line)
        << "\n";
  for (const std::vector<Run>& Rows : Families) Reporter.ReportRuns(Rows);
  Reporter.Finalize();
}
