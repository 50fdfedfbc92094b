/*
** zor_study.cpp
** Many days of one load through the reference model: what each station's
** waits and utilisation are, with 95% confidence intervals, for a given
** staffing; or the smallest staffing whose mean waits meet a target.
**
** Day i is the day workload_maker writes for seed first + i - 1, drawn by
** the generator's own code into memory. The days are shared out between
** threads, each with its own random stream and buffers; every figure is
** then combined in day order, so the output is the same byte for byte
** for any number of threads.
*/
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>
#include <unistd.h>

#include "day_input.h"
#include "draw_day.h"
#include "simulation.h"
#include "study_statistics.h"
#include "svg_chart.h"

#include "zor_kit_version.h"

struct Load {
  int32_t Per_Slot, Days, First_Seed, Threads;
  std::vector<std::vector<Customer_Parameters>> Day;
};

struct Progress {
  bool Shown;  // standard error is a terminal
  std::chrono::steady_clock::time_point Started;
  bool Drawn;  // a progress line is on the screen
};

/* Runs Do_Day(i) for i in 0 .. Days - 1 on Threads threads; while that
** lasts more than a second, says how far it is on a terminal. */
template <typename Work>
static void For_Each_Day(int32_t Days, int32_t Threads, Progress& P, const char* What, Work Do_Day) {
  std::atomic<int32_t> Next{0}, Done{0};
  auto Worker = [&]() {
    for (int32_t I; (I = Next.fetch_add(1)) < Days; Done.fetch_add(1)) Do_Day(I);
  };
  std::vector<std::thread> Pool;
  for (int32_t T = 1; T < Threads; T++) Pool.emplace_back(Worker);
  if (!P.Shown) {
    Worker();
  } else {
    std::thread Last(Worker);
    while (Done.load() < Days) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      if (std::chrono::steady_clock::now() - P.Started < std::chrono::seconds(1)) continue;
      std::fprintf(stderr, "\r\033[Kzor_study: %s: %d of %d days", What, Done.load(), Days);
      P.Drawn = true;
    }
    Last.join();
  }
  for (std::thread& T : Pool) T.join();
}

static void Draw_Days(Load& L, Progress& P) {
  L.Day.assign(static_cast<size_t>(L.Days), {});
  For_Each_Day(L.Days, L.Threads, P, "drawing", [&L](int32_t I) {
    Random_Stream Stream{L.First_Seed + I, 0, 0};
    std::vector<Customer_Parameters>& D = L.Day[static_cast<size_t>(I)];
    D.resize(Max_Day_Customers);
    D.resize(static_cast<size_t>(Draw_Day(&Stream, L.Per_Slot, D.data())));
  });
}

static std::vector<Day_Figures> Simulate_Days(const Load& L, const int32_t Servers[Number_Of_Stations], Progress& P) {
  std::vector<Day_Figures> Figures(static_cast<size_t>(L.Days));
  char What[64];
  std::snprintf(What, sizeof What, "servers %d,%d,%d", Servers[0], Servers[1], Servers[2]);
  For_Each_Day(L.Days, L.Threads, P, What, [&](int32_t I) {
    const std::vector<Customer_Parameters>& D = L.Day[static_cast<size_t>(I)];
    Day_Summary Summary;
    Simulate_Day(D.data(), static_cast<int32_t>(D.size()), Servers, nullptr, &Summary);
    Figures[static_cast<size_t>(I)] = Figures_Of_Day(Summary, static_cast<int32_t>(D.size()));
  });
  return Figures;
}

static std::string Interval_Text(const Interval& I) {
  char Text[64];
  if (!I.Defined) return "n/a";
  std::snprintf(Text, sizeof Text, "[%.2f, %.2f] s", I.Low, I.High);
  return Text;
}

static void Print_CSV_Row(const char* Station, const Station_Figures& F) {
  std::printf("%s,%d,%" PRId64 ",%.3f,", Station, F.Servers, F.Days_Visited, F.Mean_Wait.Mean);
  if (F.Mean_Wait.Defined) std::printf("%.3f,%.3f,", F.Mean_Wait.Low, F.Mean_Wait.High);
  else std::printf(",,");
  std::printf("%.3f,%d,%.4f\n", F.Mean_Max_Wait, F.Max_Wait, F.Utilisation);
}

static void Print_Load(const Load& L) {
  std::printf("%d days of %d customers per slot (%d a day), seeds %d .. %d\n", L.Days, L.Per_Slot,
              Number_Of_Time_Slots * L.Per_Slot, L.First_Seed, L.First_Seed + L.Days - 1);
}

static void Print_Staffing(const Load& L, const Station_Figures F[Number_Of_Stations], const Interval& In_ZOR) {
  Print_Load(L);
  std::printf("\nStation  Servers  Days    Mean wait  95%% interval of the mean   Mean max wait  Max wait  Utilisation\n");
  for (int32_t S = 0; S < Number_Of_Stations; S++)
    std::printf("%-7s  %7d  %4" PRId64 "  %9.2f s  %-26s  %11.2f s  %6d s  %9.1f %%\n", Station_Name[S],
                F[S].Servers, F[S].Days_Visited, F[S].Mean_Wait.Mean, Interval_Text(F[S].Mean_Wait).c_str(),
                F[S].Mean_Max_Wait, F[S].Max_Wait, 100.0 * F[S].Utilisation);
  std::printf("\nTime in ZOR: mean %.2f s, 95%% interval %s\n", In_ZOR.Mean, Interval_Text(In_ZOR).c_str());
}

/* The chart of a staffing: for each station, how the days' mean waits
** spread, with the mean and its interval in the title. */
static void Draw_Staffing(std::FILE* Out, const Load& L, const Station_Figures F[Number_Of_Stations]) {
  Svg_Begin(Out, 1200, 470);
  char Text[200];
  std::snprintf(Text, sizeof Text, "zor_study: mean wait per day over %d days of %d customers per slot", L.Days,
                L.Per_Slot);
  Svg_Text(Out, 30, 34, 20, "start", true, Text);
  for (int32_t S = 0; S < Number_Of_Stations; S++) {
    const std::vector<double>& Means = F[S].Day_Means;
    double Low = 0, High = 1;
    for (double M : Means) High = std::max(High, M);
    double Width = Nice_Step(High - Low, 15);
    size_t Bins = static_cast<size_t>((High - Low) / Width) + 1;
    std::vector<double> From(Bins), To(Bins), Count(Bins, 0);
    for (size_t B = 0; B < Bins; B++) From[B] = Low + Width * double(B), To[B] = From[B] + Width;
    for (double M : Means) Count[std::min(Bins - 1, static_cast<size_t>((M - Low) / Width))] += 1;
    double Most = std::max(1.0, *std::max_element(Count.begin(), Count.end()));
    Chart_Panel P{80.0 + 390 * S, 110, 300, 280, Chart_Axis{From[0], To[Bins - 1], Labels_Number, "mean wait of a day (s)"},
                  Chart_Axis{0, Most * 1.1, Labels_Count, "days"}};
    std::snprintf(Text, sizeof Text, "%s, %d servers", Station_Name[S], F[S].Servers);
    Draw_Panel(Out, P, Text);
    Draw_Bars(Out, P, From.data(), To.data(), Count.data(), Bins, "#7a5195");
    std::snprintf(Text, sizeof Text, "mean %.1f s, 95%% interval %s", F[S].Mean_Wait.Mean,
                  Interval_Text(F[S].Mean_Wait).c_str());
    Svg_Text(Out, P.Left, P.Top - 26, 12, "start", false, Text);
  }
  Svg_End(Out);
}

/* The search's evidence: for each station, the mean wait and its
** interval at each count tried, the target as a line, the choice ringed. */
static void Draw_Search(std::FILE* Out, const Load& L, double Target,
                        const std::vector<Station_Figures> Tried[Number_Of_Stations], const int32_t Chosen[]) {
  Svg_Begin(Out, 1200, 470);
  char Text[200];
  std::snprintf(Text, sizeof Text, "zor_study: smallest staffing whose mean wait is at most %.0f s (upper 95%% bound)",
                Target);
  Svg_Text(Out, 30, 34, 20, "start", true, Text);
  std::snprintf(Text, sizeof Text, "%d days of %d customers per slot; dots are means, whiskers 95%% intervals; a dot on a panel's top edge lies above it", L.Days,
                L.Per_Slot);
  Svg_Text(Out, 30, 58, 13, "start", false, Text);
  for (int32_t S = 0; S < Number_Of_Stations; S++) {
    /* Waits at too few servers dwarf the rest: the axis stops at a few
    ** times the target, and what lies above is drawn at its top edge. */
    double Top = std::max(Target * 4, 1.0);
    Chart_Panel P{80.0 + 390 * S, 110, 300, 280,
                  Chart_Axis{0.5, double(Tried[S].empty() ? 1 : Tried[S].back().Servers) + 0.5, Labels_Count, "servers"},
                  Chart_Axis{0, Top, Labels_Number, "mean wait (s)"}};
    if (Chosen[S] > 0) std::snprintf(Text, sizeof Text, "%s: %d servers", Station_Name[S], Chosen[S]);
    else std::snprintf(Text, sizeof Text, "%s: 20 servers are not enough", Station_Name[S]);
    Draw_Panel(Out, P, Text);
    Draw_Level(Out, P, Target, "#d7301f", "target");
    for (const Station_Figures& F : Tried[S])
      Draw_Interval(Out, P, F.Servers, F.Mean_Wait.Defined ? F.Mean_Wait.Low : F.Mean_Wait.Mean, F.Mean_Wait.Mean,
                    F.Mean_Wait.Defined ? F.Mean_Wait.High : F.Mean_Wait.Mean, "#2b7bba");
    for (const Station_Figures& F : Tried[S])
      if (F.Servers == Chosen[S]) Draw_Mark(Out, P, F.Servers, F.Mean_Wait.Mean, "#1a9850");
  }
  Svg_End(Out);
}

static bool Write_Chart_File(const std::string& Path, bool Ok) {
  if (!Ok) {
    std::remove(Path.c_str());
    std::fprintf(stderr, "zor_study: --svg: cannot write %s\n", Path.c_str());
  }
  return Ok;
}

/* The smallest count meeting the target at each station in route order;
** 0 where 20 servers are not enough. Stations not yet chosen are given
** every server, so they cannot slow the stations before them. */
static bool Search(const Load& L, double Target, bool CSV, const std::string& SVG, Progress& P) {
  int32_t Servers[Number_Of_Stations] = {Max_Servers, Max_Servers, Max_Servers};
  int32_t Chosen[Number_Of_Stations] = {};
  std::vector<Station_Figures> Tried[Number_Of_Stations];
  for (int32_t S = 0; S < Number_Of_Stations; S++) {
    for (Servers[S] = 1; Servers[S] <= Max_Servers; Servers[S]++) {
      Station_Figures F = Station_Figures_Of(Simulate_Days(L, Servers, P), S, Servers[S]);
      Tried[S].push_back(F);
      bool Meets = F.Days_Visited == 0 || (F.Mean_Wait.Defined && F.Mean_Wait.High <= Target);
      if (Meets) {
        Chosen[S] = Servers[S];
        break;
      }
    }
    if (Chosen[S] == 0) Servers[S] = Max_Servers;
  }
  if (P.Drawn) std::fputs("\r\033[K", stderr);
  if (CSV) {
    std::printf("station,servers,days,mean_wait,ci95_low,ci95_high,mean_max_wait,max_wait,utilisation\n");
    for (int32_t S = 0; S < Number_Of_Stations; S++)
      for (const Station_Figures& F : Tried[S]) Print_CSV_Row(Station_Name[S], F);
  } else {
    std::printf("Target: the upper 95%% bound of each station's mean wait at most %.2f s\n", Target);
    Print_Load(L);
    for (int32_t S = 0; S < Number_Of_Stations; S++) {
      std::printf("\n%s, with", Station_Name[S]);
      for (int32_t Other = 0; Other < Number_Of_Stations; Other++)
        if (Other != S)
          std::printf(" %s %d%s", Station_Name[Other], Other < S ? Servers[Other] : Max_Servers,
                      Other < S ? (Chosen[Other] > 0 ? " (chosen)" : " (not enough)") : "");
      std::printf("\n  Servers  Days    Mean wait  95%% interval of the mean\n");
      for (const Station_Figures& F : Tried[S])
        std::printf("  %7d  %4" PRId64 "  %9.2f s  %s%s\n", F.Servers, F.Days_Visited, F.Mean_Wait.Mean,
                    Interval_Text(F.Mean_Wait).c_str(), F.Servers == Chosen[S] ? "  <- chosen" : "");
      if (Chosen[S] == 0)
        std::printf("  20 servers are not enough: the upper bound stays above %.2f s\n", Target);
    }
    if (Chosen[0] > 0 && Chosen[1] > 0 && Chosen[2] > 0)
      std::printf("\nChosen staffing: LAB %d, X_RAY %d, EKG %d\n", Chosen[0], Chosen[1], Chosen[2]);
    else
      std::printf("\nNo staffing of at most 20 servers per station meets the target.\n");
  }
  if (!SVG.empty()) {
    std::FILE* Out = std::fopen(SVG.c_str(), "w");
    bool Ok = Out != nullptr;
    if (Ok) {
      Draw_Search(Out, L, Target, Tried, Chosen);
      Ok = !std::ferror(Out);
      Ok = std::fclose(Out) == 0 && Ok;
    }
    if (!Write_Chart_File(SVG, Ok)) return false;
  }
  return Chosen[0] > 0 && Chosen[1] > 0 && Chosen[2] > 0;
}

static bool Study_Staffing(const Load& L, const int32_t Servers[Number_Of_Stations], bool CSV, const std::string& SVG,
                           Progress& P) {
  std::vector<Day_Figures> Days = Simulate_Days(L, Servers, P);
  if (P.Drawn) std::fputs("\r\033[K", stderr);
  Station_Figures F[Number_Of_Stations];
  for (int32_t S = 0; S < Number_Of_Stations; S++) F[S] = Station_Figures_Of(Days, S, Servers[S]);
  if (CSV) {
    std::printf("station,servers,days,mean_wait,ci95_low,ci95_high,mean_max_wait,max_wait,utilisation\n");
    for (int32_t S = 0; S < Number_Of_Stations; S++) Print_CSV_Row(Station_Name[S], F[S]);
  } else {
    Print_Staffing(L, F, Time_In_ZOR_Of(Days));
  }
  if (SVG.empty()) return true;
  std::FILE* Out = std::fopen(SVG.c_str(), "w");
  bool Ok = Out != nullptr;
  if (Ok) {
    Draw_Staffing(Out, L, F);
    Ok = !std::ferror(Out);
    Ok = std::fclose(Out) == 0 && Ok;
  }
  return Write_Chart_File(SVG, Ok);
}

int main(int Argc, char** Argv) {
  CLI::App App{"Simulates many days of one load with the reference model of the ZOR day, in memory and\n"
               "on every core, and reports each station's waits and utilisation with 95% confidence\n"
               "intervals; or finds the smallest staffing whose mean waits meet a target.",
               "zor_study"};
  Load L{0, 100, 1, static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency())), {}};
  std::vector<int32_t> Servers;
  double Target = -1;
  bool CSV = false;
  std::string SVG;
  App.add_option("--per-slot", L.Per_Slot, "customers per 15-minute slot, 1 .. 12 (28 slots a day)")
      ->required()
      ->check(CLI::Range(1, 12));
  App.add_option("--days", L.Days, "days to simulate, 2 .. 1000000; day i is workload_maker's day for seed S + i - 1")
      ->capture_default_str()
      ->check(CLI::Range(2, 1000000));
  App.add_option("--first-seed", L.First_Seed, "seed S of the first day, 1 or more")
      ->capture_default_str()
      ->check(CLI::Range(1, INT32_MAX));
  CLI::Option* Staffing = App.add_option("--servers", Servers, "servers at LAB,X_RAY,EKG, each 1 .. 20, e.g. 5,4,2")
                              ->delimiter(',')
                              ->expected(3)
                              ->check(CLI::Range(1, 20));
  CLI::Option* Goal = App.add_option("--target-wait", Target,
                                     "find, station by station in route order, the smallest count in 1 .. 20 whose\n"
                                     "upper 95% bound of the mean wait is at most this many seconds")
                          ->check(CLI::Range(0.0, 1e9));
  Staffing->excludes(Goal);
  App.add_flag("--csv", CSV,
               "print CSV instead of tables: station,servers,days,mean_wait,ci95_low,ci95_high,\n"
               "mean_max_wait,max_wait,utilisation (seconds; utilisation as a fraction)");
  App.add_option("--svg", SVG, "also draw the figures as an SVG chart in this file");
  App.add_option("--threads", L.Threads, "threads to simulate on, 1 .. 256 (default: every core)")
      ->check(CLI::Range(1, 256));
  App.set_version_flag("--version", "zor_study (ZOR kit) " ZOR_KIT_VERSION);
  App.footer(
      "Examples:\n"
      "  zor_study --per-slot 8 --days 1000 --servers 5,4,2\n"
      "  zor_study --per-slot 8 --days 1000 --target-wait 300 --svg staffing.svg\n"
      "  zor_study --per-slot 4 --servers 3,3,2 --csv > figures.csv\n"
      "Each station's mean wait is the mean over the days it was visited of that day's mean\n"
      "wait; its 95% interval is a Student-t interval over those day means. Exit status: 0\n"
      "done; 1 no staffing meets the target, or the chart cannot be written; 2 bad options.");
  try {
    App.parse(Argc, Argv);
    if (Servers.empty() && Target < 0) throw CLI::RequiredError("--servers or --target-wait");
    if (int64_t{L.First_Seed} + L.Days - 1 > INT32_MAX)
      throw CLI::ValidationError("--first-seed", "the last day's seed must not pass 2147483647");
  } catch (const CLI::Success& Done) {
    return App.exit(Done);
  } catch (const CLI::ParseError& Error) {
    std::string Message = Error.what();
    std::replace(Message.begin(), Message.end(), '\n', ' ');
    std::fprintf(stderr, "zor_study: %s (see --help)\n", Message.c_str());
    return 2;
  }

  Progress P{isatty(STDERR_FILENO) == 1, std::chrono::steady_clock::now(), false};
  Draw_Days(L, P);
  if (!Servers.empty()) return Study_Staffing(L, Servers.data(), CSV, SVG, P) ? 0 : 1;
  return Search(L, Target, CSV, SVG, P) ? 0 : 1;
}
