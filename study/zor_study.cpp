/*
** zor_study.cpp
** Many days of one load through the reference model: what each station's
** waits and utilisation are, with 95% confidence intervals, for a given
** staffing; or the smallest staffing that meets a target wait, on average
** or on a share of days. This file holds the options and the run's
** outline; study_runs.cpp the computation, study_report.cpp the tables
** and study_charts.cpp the pictures.
*/
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>

#include "common/refusal.h"
#include "common/staged_file.h"
#include "common/zor_kit_version.h"
#include "simulator/simulation.h"
#include "study/study_charts.h"
#include "study/study_report.h"
#include "study/study_runs.h"
#include "workload_maker/draw_day.h"

namespace {

struct Study_Options {
  Study_Load Load{0, 100, 1, static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()))};
  std::vector<int32_t> Servers;
  double Target = -1, On_Days = -1;
  bool CSV = false;
  std::string SVG;
};

[[noreturn]] void Refuse(const std::string& Message) { Refuse_And_Exit("zor_study", (Message + " (see --help)").c_str()); }

/* The chart is made beside its final name before the long work, so a
** folder that cannot take it is said at once, and renamed only when
** whole; a run that fails leaves neither it nor an older chart. */
bool Finish_Study_Chart(Staged_File& Chart, const std::string& SVG) {
  if (Finish_Staged_File(&Chart, SVG.c_str())) return true;
  std::remove(SVG.c_str());
  std::fprintf(stderr, "zor_study: --svg: cannot write %s\n", SVG.c_str());
  return false;
}

/* Every option, with its range and its help. */
void Describe_Study_Options(CLI::App& App, Study_Options& O) {
  Study_Load& L = O.Load;
  App.add_option("--per-slot", L.Per_Slot,
                 "customers per 15-minute slot, 1 .. " + std::to_string(Max_Customers_Per_Slot) + " (" +
                     std::to_string(Number_Of_Time_Slots) + " slots a day)")
      ->required()
      ->check(CLI::Range(1, Max_Customers_Per_Slot));
  App.add_option("--days", L.Days, "days to simulate, 2 .. 1000000; day i is workload_maker's day for seed S + i - 1")
      ->capture_default_str()
      ->check(CLI::Range(2, 1000000));
  App.add_option("--first-seed", L.First_Seed, "seed S of the first day, 1 or more")
      ->capture_default_str()
      ->check(CLI::Range(1, INT32_MAX));
  std::string Counts = "1 .. " + std::to_string(Max_Servers);
  CLI::Option* Staffing =
      App.add_option("--servers", O.Servers, "servers at LAB,X_RAY,EKG, each " + Counts + ", e.g. 5,4,2")
          ->delimiter(',')
          ->expected(3)
          ->check(CLI::Range(1, Max_Servers));
  CLI::Option* Goal = App.add_option("--target-wait", O.Target,
                                     "find, station by station in route order, the smallest count in " + Counts +
                                         " whose\nupper 95% bound of the mean wait is at most this many seconds")
                          ->check(CLI::Range(0.0, 1e9));
  CLI::Option* Share = App.add_option("--on-days", O.On_Days,
                                      "with --target-wait T: instead, the smallest count for which at least this\n"
                                      "share of days (0 < P < 1) have the station's mean wait at most T, judged by\n"
                                      "the one-sided 95% lower Clopper-Pearson bound of that share")
                           ->check(CLI::Range(0.0, 1.0));
  Staffing->excludes(Goal);
  Share->needs(Goal);
  App.add_flag("--csv", O.CSV,
               "print CSV instead of tables: station,servers,days,mean_wait,ci95_low,ci95_high,\n"
               "mean_max_wait,max_wait,utilisation (seconds; utilisation as a fraction); with --on-days\n"
               "also share_meeting_target,share_lower_bound");
  App.add_option("--svg", O.SVG, "also draw the figures as an SVG chart in this file");
  App.add_option("--threads", L.Threads, "threads to simulate on, 1 .. 256 (default: every core)")
      ->check(CLI::Range(1, 256));
  App.set_version_flag("--version", "zor_study (ZOR kit) " ZOR_KIT_VERSION);
  App.footer(
      "Examples:\n"
      "  zor_study --per-slot 8 --days 1000 --servers 5,4,2\n"
      "  zor_study --per-slot 8 --days 1000 --target-wait 300 --svg staffing.svg\n"
      "  zor_study --per-slot 8 --days 1000 --target-wait 300 --on-days 0.9\n"
      "  zor_study --per-slot 4 --servers 3,3,2 --csv > figures.csv\n"
      "Each station's mean wait is the mean over the days it was visited of that day's mean\n"
      "wait; its 95% interval is a Student-t interval over those day means. The tables also\n"
      "give the 10th, 50th and 90th percentile of the day means (to 0.1%). Exit status: 0\n"
      "done; 1 no staffing meets the target, or the chart cannot be written; 2 bad options.");
}

/* The options, checked together; a bad one ends the run with exit
** status 2, --help and --version with 0. */
Study_Options Take_Study_Options(int Argc, char** Argv) {
  CLI::App App{"Simulates many days of one load with the reference model of the ZOR day, in memory and\n"
               "on every core, and reports each station's waits and utilisation with 95% confidence\n"
               "intervals; or finds the smallest staffing whose waits meet a target, on average or on\n"
               "a share of days.",
               "zor_study"};
  Study_Options O;
  Describe_Study_Options(App, O);
  try {
    App.parse(Argc, Argv);
    if (O.Servers.empty() && O.Target < 0) throw CLI::RequiredError("--servers or --target-wait");
    if (int64_t{O.Load.First_Seed} + O.Load.Days - 1 > INT32_MAX)
      throw CLI::ValidationError("--first-seed", "the last day's seed must not pass 2147483647");
    if (App.get_option("--on-days")->count() > 0 && !(O.On_Days > 0 && O.On_Days < 1))
      throw CLI::ValidationError("--on-days", "give a share between 0 and 1, such as 0.9");
  } catch (const CLI::Success& Done) {
    std::exit(App.exit(Done));
  } catch (const CLI::ParseError& Error) {
    Refuse(Error.what());
  }
  return O;
}

/* The figures of one staffing, and with --svg the histogram of its day
** means, which needs a second pass over the days. */
int Study_Staffing(const Study_Options& O, Staged_File& Chart, Progress_Line& P) {
  const Study_Load& L = O.Load;
  Staffing_Result R = Run_Staffing(L, O.Servers.data(), P);
  Clear_Progress_Line(&P);
  Print_Staffing(L, R, O.CSV);
  if (O.SVG.empty()) return 0;
  double Width[Number_Of_Stations];
  std::vector<double> Count[Number_Of_Stations];
  for (int S = 0; S < Number_Of_Stations; S++) {
    size_t Bins = 0;
    Width[S] = Staffing_Bin_Width(R.Highest_Day_Mean[S], &Bins);
    Count[S].assign(Bins, 0);
  }
  std::fflush(stdout);
  Count_Day_Means(L, O.Servers.data(), Width, Count, P);
  Clear_Progress_Line(&P);
  Draw_Staffing(Chart.Out, L, R, Width, Count);
  return Finish_Study_Chart(Chart, O.SVG) ? 0 : 1;
}

/* The smallest staffing that meets the target; exit status 1 when none does. */
int Search_Staffing(const Study_Options& O, Staged_File& Chart, Progress_Line& P) {
  const Study_Load& L = O.Load;
  Search_Target T{O.Target, O.On_Days > 0 ? O.On_Days : -1};
  Search_Result R = Run_Search(L, T, P);
  Clear_Progress_Line(&P);
  Print_Search(L, T, R, O.CSV);
  bool Met = R.Chosen[0] > 0 && R.Chosen[1] > 0 && R.Chosen[2] > 0;
  if (O.SVG.empty()) return Met ? 0 : 1;
  Draw_Search(Chart.Out, L, T, R);
  return Finish_Study_Chart(Chart, O.SVG) && Met ? 0 : 1;
}

}  // namespace

int main(int Argc, char** Argv) {
  Study_Options O = Take_Study_Options(Argc, Argv);
  Staged_File Chart{nullptr, ""};
  if (!O.SVG.empty() && !Begin_Staged_File(&Chart, O.SVG.c_str()))
    Refuse("--svg: cannot write " + O.SVG + ": " + std::strerror(errno));
  Progress_Line P = Start_Progress_Line();
  return O.Servers.empty() ? Search_Staffing(O, Chart, P) : Study_Staffing(O, Chart, P);
}
