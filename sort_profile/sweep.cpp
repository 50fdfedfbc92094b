/*
** sweep.cpp
** Each K and X sorted by the routine's worker: the same list for every
** pair, each sort judged and timed by the judge; a pair stops after a
** sort past the budget, and a sort that never returns is ended by that
** budget as its CPU time limit (the worker is started again for the next
** pair). A pair is named best only when the repeats show it faster than
** the rest beyond their noise: a routine that ignores K and X gets "no
** measurable difference", not a pair that won by chance.
*/
#include "sort_profile/sweep.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <unistd.h>

#include "chart/svg_chart.h"
#include "common/progress_line.h"
#include "common/statistics.h"
#include "sort_profile/correctness.h"
#include "sort_profile/profile_child.h"
#include "sort_profile/profile_lists.h"

namespace {

std::string Cell_Text(const Pair_Timing& T, double Budget) {
  char Text[32];
  if (T.Wrong) return "wrong";
  if (T.Slow) std::snprintf(Text, sizeof Text, ">%gs", Budget);
  else std::snprintf(Text, sizeof Text, "%.1f", T.Median * 1000);
  return Text;
}

/* Measurably slower: past the budget, or clear of the other's noise
** (the middle halves apart, and its fastest sort past the other's
** median) by a margin that chance does not give among a few dozen pairs:
** a tenth, and Noise_Multiple times the width of a pair's middle half
** (Noise, the median width of them all). */
bool Measurably_Slower(const Pair_Timing& A, const Pair_Timing& Than, double Noise) {
  double Margin = std::max(Least_Measurable * Than.Median, Noise_Multiple * Noise);
  return A.Slow || (A.Low > Than.High && A.Least - Than.Median >= Margin);
}

/* One pair's sorts while it is timed. */
struct Pair_Run {
  std::vector<double> Seconds;
  bool Slow = false, Wrong = false;
};

/* One sort of a pair in the worker, started, with the list laid out in
** it, if need be: a worker a pair ended (stopped by then) gives its
** place to a new one, since a worker's record holds how its run ended. Past
** the budget is slow, whatever else it did; any other end, or a list
** left wrong, is wrong. */
void Time_Once(std::unique_ptr<Sort_Worker>& W, Laid_Out_List* L, const Sweep_Options& O, int32_t K, int32_t X,
               Pair_Run* P) {
  std::string Fault;
  if (W->Link < 0) {
    W = std::make_unique<Sort_Worker>();
    if (!Start_Worker(W.get(), false, size_t(O.Items), O.Limits, &Fault)) return void(P->Wrong = true);
    *L = Lay_Out_List_In(W->Block, Items_In_Order(Order_Random, O.Items, 1));
  }
  Sandbox_Limits Each = O.Limits;
  Each.Cpu_Seconds = O.Budget;
  Judged_Sort J = Judge_Sort(W.get(), *L, K, X, Each);
  if (!J.Returned) {
    P->Slow = J.Kind == Fault_Time_Limit;
    P->Wrong = !P->Slow;
    return;
  }
  if (!J.Fault.empty()) return void(P->Wrong = true);
  P->Seconds.push_back(J.Seconds);
  P->Slow = J.Seconds > O.Budget;
}

/* Every pair's sorts, a round at a time: one sort of each pair still
** going in each round, so that a spell of other work on the machine
** falls on many pairs, not on all the sorts of one. */
std::vector<Pair_Timing> Time_Pairs(const Sweep_Options& O) {
  size_t Columns = O.X.size();
  std::vector<Pair_Run> Runs(O.K.size() * Columns);
  auto W = std::make_unique<Sort_Worker>();
  Laid_Out_List L{};
  Progress_Line P = Start_Progress_Line();
  for (int32_t Round = 0; Round < O.Repeats; Round++)
    for (size_t C = 0; C < Runs.size(); C++) {
      if (Runs[C].Slow || Runs[C].Wrong) continue;
      int32_t K = O.K[C / Columns], X = O.X[C % Columns];
      Show_Progress_Line(&P, "sweeping: round %d of %d, K %d, X %d", Round + 1, O.Repeats, K, X);
      Time_Once(W, &L, O, K, X, &Runs[C]);
    }
  Clear_Progress_Line(&P);
  Stop_Worker(W.get());
  std::vector<Pair_Timing> Cells;
  for (const Pair_Run& R : Runs) {
    Pair_Timing T = Timing_Of(R.Seconds);
    T.Slow = R.Slow, T.Wrong = R.Wrong;
    Cells.push_back(T);
  }
  return Cells;
}

void Print_Table(const Sweep_Options& O, const std::vector<Pair_Timing>& Cells, std::FILE* Out) {
  std::fprintf(Out, "Median CPU time (ms) of %d sort%s of %lld random items; rows K, columns X\n", O.Repeats,
               O.Repeats == 1 ? "" : "s", static_cast<long long>(O.Items));
  std::fprintf(Out, "   K");
  for (int32_t X : O.X) std::fprintf(Out, " %8d", X);
  std::fprintf(Out, "\n");
  for (size_t Row = 0; Row < O.K.size(); Row++) {
    std::fprintf(Out, "%4d", O.K[Row]);
    for (size_t Column = 0; Column < O.X.size(); Column++)
      std::fprintf(Out, " %8s", Cell_Text(Cells[Row * O.X.size() + Column], O.Budget).c_str());
    std::fprintf(Out, "\n");
  }
}

/* "K 3, X 16 (12.5 ms; the middle half of its sorts 12.1 .. 12.9 ms)" */
std::string Pair_Text(const Sweep_Options& O, const std::vector<Pair_Timing>& Cells, size_t C, bool Spread) {
  char Text[160];
  const Pair_Timing& T = Cells[C];
  int Length = std::snprintf(Text, sizeof Text, "K %d, X %d (%.1f ms", O.K[C / O.X.size()], O.X[C % O.X.size()],
                             T.Median * 1000);
  if (Spread) std::snprintf(Text + Length, sizeof Text - size_t(Length), "; the middle half of its sorts %.1f .. %.1f ms",
                            T.Low * 1000, T.High * 1000);
  return std::string(Text) + ")";
}

/* The pair to recommend, through the correctness phase first: the
** fastest, or, if it fails there, the fastest of what is left; a few
** tries at most, since each is a whole phase. */
void Check_Recommended(const Sweep_Options& O, Sweep_Result* R, std::FILE* Out) {
  constexpr int Most_Checked = 3;
  for (int Tries = 0; Tries < Most_Checked; Tries++) {
    R->Found = Decide_Sweep(R->Cell);
    if (R->Found.Outcome == Sweep_None_Sorted || R->Found.Outcome == Sweep_No_Difference) return;
    size_t C = R->Found.Fastest;
    int32_t K = O.K[C / O.X.size()], X = O.X[C % O.X.size()];
    std::fprintf(Out, "The fastest pair, K %d, X %d, through the correctness phase:\n", K, X);
    Correctness_Options Check{K, X, O.Check_Items, O.Limits, O.Orders, ""};
    if (Check_Correctness(Check, Out)) {
      R->Any = true, R->Best = C;
      return;
    }
    R->Cell[C].Wrong = true;
  }
  R->Found = Decide_Sweep(R->Cell);
}

void Print_Finding(const Sweep_Options& O, const Sweep_Result& R, std::FILE* Out) {
  const Sweep_Finding& F = R.Found;
  if (F.Outcome == Sweep_None_Sorted) return void(std::fprintf(Out, "No K and X sorted the list within the budget.\n"));
  if (F.Outcome == Sweep_No_Difference) {
    std::fprintf(Out, "K and X make no measurable difference: every pair that sorted is within the noise of the "
                      "fastest, %s, or less than a tenth slower.\n", Pair_Text(O, R.Cell, F.Fastest, true).c_str());
    return;
  }
  if (!R.Any) {
    std::fprintf(Out, "No pair is recommended: the fastest failed the correctness phase.\n");
    return;
  }
  if (F.Outcome == Sweep_Best) {
    std::fprintf(Out, "Best: %s, measurably faster than every other pair (the middle halves of their sorts apart, and "
                      "a tenth or more); it passed the correctness phase.\n", Pair_Text(O, R.Cell, R.Best, true).c_str());
    return;
  }
  std::string Few;
  for (size_t C : F.As_Fast) Few += (Few.empty() ? "" : "; ") + Pair_Text(O, R.Cell, C, false);
  std::fprintf(Out, "No one pair is measurably the fastest. These %zu are as fast as each other, within the noise, and "
                    "measurably faster than the rest: %s.\nRecommended: %s, the least median of them; it passed the "
                    "correctness phase.\n", F.As_Fast.size(), Few.c_str(), Pair_Text(O, R.Cell, R.Best, true).c_str());
}

}  // namespace

Pair_Timing Timing_Of(const std::vector<double>& Seconds) {
  Middle_Half M = Middle_Half_Of(Seconds);
  double Least = Seconds.empty() ? 0 : *std::min_element(Seconds.begin(), Seconds.end());
  return Pair_Timing{M.Median, M.Low, M.High, Least, false, false};
}

Sweep_Finding Decide_Sweep(const std::vector<Pair_Timing>& Cells) {
  Sweep_Finding F{Sweep_None_Sorted, 0, {}};
  bool Found = false, Any_Slow = false;
  size_t Sorted = 0;
  for (size_t C = 0; C < Cells.size(); C++) {
    if (Cells[C].Wrong) continue;
    if (Cells[C].Slow) {
      Any_Slow = true;
      continue;
    }
    Sorted++;
    if (!Found || Cells[C].Median < Cells[F.Fastest].Median) F.Fastest = C, Found = true;
  }
  if (!Found) return F;
  std::vector<double> Widths;
  for (const Pair_Timing& T : Cells)
    if (!T.Wrong && !T.Slow) Widths.push_back(T.High - T.Low);
  double Noise = Median_Of(Widths);
  F.As_Fast.push_back(F.Fastest);
  for (size_t C = 0; C < Cells.size(); C++)
    if (C != F.Fastest && !Cells[C].Wrong && !Measurably_Slower(Cells[C], Cells[F.Fastest], Noise))
      F.As_Fast.push_back(C);
  F.Outcome = F.As_Fast.size() == Sorted && !Any_Slow ? Sweep_No_Difference
              : F.As_Fast.size() == 1                 ? Sweep_Best
                                                      : Sweep_Fastest_Few;
  return F;
}

Sweep_Result Run_Sweep(const Sweep_Options& O, std::FILE* Out) {
  Sweep_Result R{Time_Pairs(O), {Sweep_None_Sorted, 0, {}}, false, 0};
  Print_Table(O, R.Cell, Out);
  std::fflush(Out);
  Check_Recommended(O, &R, Out);
  Print_Finding(O, R, Out);
  double Widest = 0, Spread_Sum = 0;
  int Timed = 0;
  for (const Pair_Timing& T : R.Cell) {
    if (T.Wrong || T.Slow) continue;
    double Spread = T.Median > 0 ? (T.High - T.Low) / T.Median : 0;
    Widest = std::max(Widest, Spread), Spread_Sum += Spread, Timed++;
  }
  if (Timed > 0)
    std::fprintf(Out, "Noise: the middle half of a pair's sorts spans %.0f%% of its median on average, %.0f%% at most.\n",
                 100 * Spread_Sum / Timed, 100 * Widest);
  return R;
}

void Draw_Sweep(std::FILE* Out, const std::string& Title, const Sweep_Options& O, const Sweep_Result& R) {
  size_t Rows = O.K.size(), Columns = O.X.size();
  double Cell_Width = std::min(90.0, 900.0 / double(Columns)), Cell_Height = std::min(34.0, 560.0 / double(Rows));
  std::vector<double> Value;
  std::vector<std::string> Text;
  double Least = -1, Most = 0;
  for (const Pair_Timing& T : R.Cell) {
    bool Timed = !T.Wrong && !T.Slow;
    Value.push_back(Timed ? T.Median * 1000 : -1);
    Text.push_back(Cell_Text(T, O.Budget));
    if (Timed) Least = Least < 0 ? T.Median * 1000 : std::min(Least, T.Median * 1000), Most = std::max(Most, T.Median * 1000);
  }
  /* The shade follows the logarithm of the time, so that the few very slow
  ** pairs do not wash out the differences among the fast ones. */
  std::vector<double> Shade(Value.size());
  for (size_t I = 0; I < Value.size(); I++) Shade[I] = Value[I] > 0 ? std::log(Value[I]) : std::nan("");
  std::vector<std::string> Labels;
  for (int32_t K : O.K) Labels.push_back("K " + std::to_string(K));
  for (int32_t X : O.X) Labels.push_back("X " + std::to_string(X));
  /* The pointers are taken once every string is in place. */
  std::vector<const char*> Texts, Row_Labels, Column_Labels;
  for (const std::string& T : Text) Texts.push_back(T.c_str());
  for (size_t L = 0; L < Labels.size(); L++) (L < Rows ? Row_Labels : Column_Labels).push_back(Labels[L].c_str());
  double Height = 150 + Cell_Height * double(Rows);
  Svg_Begin(Out, std::max(1000, static_cast<int>(120 + Cell_Width * double(Columns) + 40)), static_cast<int>(Height));
  Svg_Text(Out, 30, 34, 20, "start", true, Title.c_str());
  char Line[200];
  std::snprintf(Line, sizeof Line, "median CPU time (ms) of %d sort%s of %lld random items; darker is slower (a log "
                "scale); grey did not sort in time, or sorted wrong", O.Repeats, O.Repeats == 1 ? "" : "s",
                static_cast<long long>(O.Items));
  Svg_Text(Out, 30, 58, 13, "start", false, Line);
  if (R.Any) {
    size_t Columns_ = O.X.size();
    std::snprintf(Line, sizeof Line, "best (outlined): K %d, X %d (%.1f ms)", O.K[R.Best / Columns_], O.X[R.Best % Columns_],
                  R.Cell[R.Best].Median * 1000);
    Svg_Text(Out, 30, 78, 13, "start", true, Line);
  }
  Draw_Heat_Map(Out, 100, 110, Cell_Width, Cell_Height, Rows, Columns, Shade.data(), Least > 0 ? std::log(Least) : 0,
                Most > 0 ? std::log(Most) : 1, Texts.data(), Row_Labels.data(), Column_Labels.data(),
                R.Any ? R.Best : SIZE_MAX);
  Svg_End(Out);
}
