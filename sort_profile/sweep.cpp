/*
** sweep.cpp
** Each K and X sorted by the routine's worker: the same list for every
** pair, each sort judged and timed by the judge; a pair stops after a
** sort past the budget, and a sort that never returns is ended by that
** budget as its CPU time limit (the worker is started again for the next
** pair).
*/
#include "sort_profile/sweep.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unistd.h>

#include "chart/svg_chart.h"
#include "common/progress_line.h"
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

/* Two pairs tie when the middle halves of their sorts overlap: the
** table's noise cannot order them. */
bool Ties(const Pair_Timing& A, const Pair_Timing& B) { return A.Low <= B.High && B.Low <= A.High; }

}  // namespace

Pair_Timing Time_Pair(Sort_Worker* W, const Sweep_Options& O, int32_t K, int32_t X) {
  std::vector<double> Times;
  Sandbox_Limits Each = O.Limits;
  Each.Cpu_Seconds = O.Budget;
  Laid_Out_List L = Lay_Out_List_In(W->Block, Items_In_Order(Order_Random, O.Items, 1));
  Pair_Timing T{0, 0, 0, false, false};
  for (int32_t Sort = 0; Sort < O.Repeats; Sort++) {
    Judged_Sort J = Judge_Sort(W, L, K, X, Each);
    /* Past the budget is slow, whatever else it did; any other end, or
    ** a list left wrong, is wrong. */
    if (!J.Returned) {
      T.Slow = J.Fault.rfind("hit the time limit", 0) == 0 || J.Fault.rfind("did not return", 0) == 0;
      T.Wrong = !T.Slow;
      return T;
    }
    if (!J.Fault.empty()) return T.Wrong = true, T;
    Times.push_back(J.Seconds);
    if (J.Seconds > O.Budget) return T.Slow = true, T;
  }
  std::sort(Times.begin(), Times.end());
  T.Median = Times[Times.size() / 2];
  T.Low = Times[(Times.size() - 1) / 4];
  T.High = Times[Times.size() - 1 - (Times.size() - 1) / 4];
  return T;
}

Sweep_Result Run_Sweep(const Sweep_Options& O, std::FILE* Out) {
  Progress_Line P = Start_Progress_Line();
  Sweep_Result R{{}, false, 0};
  Sort_Worker W;
  std::string Fault;
  std::fprintf(Out, "Median CPU time (ms) of %d sort%s of %lld random items; rows K, columns X\n", O.Repeats,
               O.Repeats == 1 ? "" : "s", static_cast<long long>(O.Items));
  std::fprintf(Out, "   K");
  for (int32_t X : O.X) std::fprintf(Out, " %8d", X);
  std::fprintf(Out, "\n");
  for (int32_t K : O.K) {
    std::fprintf(Out, "%4d", K);
    for (int32_t X : O.X) {
      Show_Progress_Line(&P, "sweeping K %d, X %d", K, X);
      Pair_Timing T{0, 0, 0, false, true};
      if (W.Link >= 0 || Start_Worker(&W, false, size_t(O.Items), O.Limits, &Fault)) T = Time_Pair(&W, O, K, X);
      Clear_Progress_Line(&P);
      std::fprintf(Out, " %8s", Cell_Text(T, O.Budget).c_str());
      std::fflush(Out);
      if (!T.Wrong && !T.Slow && (!R.Any || T.Median < R.Cell[R.Best].Median)) R.Any = true, R.Best = R.Cell.size();
      R.Cell.push_back(T);
    }
    std::fprintf(Out, "\n");
  }
  Stop_Worker(&W);
  if (!R.Any) {
    std::fprintf(Out, "No K and X sorted the list within the budget.\n");
    return R;
  }
  const Pair_Timing& Best = R.Cell[R.Best];
  size_t Columns = O.X.size();
  std::fprintf(Out, "Best: K %d, X %d (%.1f ms; the middle half of its sorts %.1f .. %.1f ms)\n", O.K[R.Best / Columns],
               O.X[R.Best % Columns], Best.Median * 1000, Best.Low * 1000, Best.High * 1000);
  std::string Tied;
  double Widest = 0, Spread_Sum = 0;
  int Timed = 0;
  for (size_t I = 0; I < R.Cell.size(); I++) {
    const Pair_Timing& T = R.Cell[I];
    if (T.Wrong || T.Slow) continue;
    double Spread = T.Median > 0 ? (T.High - T.Low) / T.Median : 0;
    Widest = std::max(Widest, Spread), Spread_Sum += Spread, Timed++;
    if (I == R.Best || !Ties(T, Best)) continue;
    char Pair[80];
    std::snprintf(Pair, sizeof Pair, "%sK %d, X %d (%.1f ms)", Tied.empty() ? "" : "; ", O.K[I / Columns],
                  O.X[I % Columns], T.Median * 1000);
    Tied += Pair;
  }
  if (!Tied.empty()) std::fprintf(Out, "Tied with it, within the noise (the middle halves of their sorts overlap): %s\n", Tied.c_str());
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
