/*
** growth_series.cpp
** The timing phase, as the judge runs it: rounds of sizes, each size a
** share of CPU time, and between rounds the verdicts.
**
** The routine and the reference merge sort sort the same list one right
** after the other, each in its worker and its own copy of the list's
** memory, put back as laid out before each sort, so that whatever slows
** the machine for a moment slows both alike. A size gets a share of CPU
** time, not a count of sorts: the small lists are sorted many times for a
** fraction of a second, the largest once or twice. Every sort is judged
** as the correctness phase judges one, so a routine that sorts right only
** when it is not timed fails here, with the list it got wrong.
*/
#include "sort_profile/growth_series.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/progress_line.h"
#include "common/refusal.h"
#include "sort_profile/profile_child.h"

namespace {

/* CPU seconds a size gets in one round, for the routine and the
** reference together, and the most pairs of sorts a round gives it: the
** median of a few pairs is as good as that of many once the pairs agree. */
constexpr double Size_Share = 0.02;
constexpr int Most_Pairs = 15;
/* Rounds stop once no verdict could move with this margin, or after the
** last round: a series still near a band's edge is reported as it is. */
constexpr double Verdict_Margin = 0.05;
constexpr int Most_Rounds = 4;
/* The layout's share: sets of four sorts (routine and reference, each
** layout), at least two of them. */
constexpr double Layout_Share = 0.3;
constexpr int Fewest_Layout_Sets = 2, Most_Layout_Sets = 9;
/* The layouts are timed at the series' largest size up to this: 8 MiB of
** nodes, past the second cache of the machines the kit runs on, where
** scattered nodes already cost what they cost; the larger sizes would
** make this the slowest part of the run (a scattered sort is about three
** times slower) and change little. */
constexpr int64_t Largest_Layout_Size = int64_t(1) << 18;

/* What a round asks of one order: grow its sizes (round one), or time
** again the sizes it already has. */
struct Order_Plan {
  int Order;
  std::vector<int64_t> Sizes;  // empty: grow from the first size
};

/* Times pairs at one size until its share is spent; false when the
** next size should not be timed: its sort, at least twice as long as
** this one's first, would take longer than the budget; or a sort failed
** (R.Fault says how). */
bool Time_Size(const Series_Options& O, const Series_Sorter& Sort, int Order, int64_t N, Series_Result& R) {
  double Spent = 0, First = 0;
  R.Fault_Order = Order, R.Fault_Size = N;
  std::vector<Size_Timing>& Sizes = R.Timings[Order];
  auto At = std::find_if(Sizes.begin(), Sizes.end(), [N](const Size_Timing& S) { return S.N == N; });
  if (At == Sizes.end()) At = Sizes.insert(Sizes.end(), Size_Timing{N, {}, {}});
  for (int Pair = 0; Pair < Most_Pairs && (Pair == 0 || (Spent < Size_Share && First <= O.Budget)); Pair++) {
    Judged_Sort Routine = Sort(false, Order, N, Layout_Allocation);
    if (!Routine.Returned || !Routine.Fault.empty()) return R.Fault = Routine.Fault, R.Kind = Routine.Kind, false;
    Judged_Sort Reference = Sort(true, Order, N, Layout_Allocation);
    if (Pair == 0) First = Routine.Seconds;
    Spent += Routine.Seconds + Reference.Seconds;
    At->Sort.push_back(Routine.Seconds), At->Reference.push_back(Reference.Seconds);
  }
  return 2 * First <= O.Budget;
}

/* The same items in both layouts, four sorts a set, in alternation;
** false when a sort failed. */
bool Time_Layouts(const Series_Sorter& Sort, int Order, int64_t N, Series_Result& R) {
  R.Layout.Order = Order, R.Layout.N = N;
  R.Fault_Order = Order, R.Fault_Size = N;
  double Spent = 0;
  for (int Set = 0; Set < Most_Layout_Sets && (Set < Fewest_Layout_Sets || Spent < Layout_Share); Set++)
    for (int Layout = 0; Layout < Number_Of_Layouts; Layout++) {
      Judged_Sort Routine = Sort(false, Order, N, Node_Layout(Layout));
      if (!Routine.Returned || !Routine.Fault.empty()) return R.Fault = Routine.Fault, R.Kind = Routine.Kind, false;
      Judged_Sort Reference = Sort(true, Order, N, Node_Layout(Layout));
      Spent += Routine.Seconds + Reference.Seconds;
      R.Layout.Sort[Layout].push_back(Routine.Seconds), R.Layout.Reference[Layout].push_back(Reference.Seconds);
    }
  return true;
}

/* One round: every planned order, then, when asked, the layouts at the
** largest size of the layout order; false when a sort failed. */
bool Run_Round(const Series_Options& O, const Series_Sorter& Sort, const std::vector<Order_Plan>& Plans,
               int Layout_Order, Series_Result& R, const std::function<void(int, int64_t)>& Showing) {
  int64_t Layout_Size = 0;
  for (const Order_Plan& P : Plans) {
    std::vector<int64_t> Sizes = P.Sizes.empty() ? Series_Sizes(O.Max_Items) : P.Sizes;
    for (int64_t N : Sizes) {
      if (P.Order == Layout_Order && N <= Largest_Layout_Size) Layout_Size = N;
      Showing(P.Order, N);
      bool Within = Time_Size(O, Sort, P.Order, N, R);
      if (!R.Fault.empty()) return false;
      if (!Within && P.Sizes.empty()) break;
    }
  }
  if (Layout_Size > 0) {
    Showing(Layout_Order, Layout_Size);
    return Time_Layouts(Sort, Layout_Order, Layout_Size, R);
  }
  return true;
}

void Take_Medians(Series_Result& R) {
  for (int Order = 0; Order < Number_Of_Orders; Order++) {
    R.Points[Order].clear();
    std::sort(R.Timings[Order].begin(), R.Timings[Order].end(),
              [](const Size_Timing& A, const Size_Timing& B) { return A.N < B.N; });
    for (const Size_Timing& S : R.Timings[Order])
      R.Points[Order].push_back(Growth_Point{S.N, Median_Seconds(S.Sort), Median_Seconds(S.Reference)});
  }
}

/* The orders the next round times again: those whose verdict more
** timing could still change. An order whose verdict was read in the
** caches has it already; its series is timed once. */
std::vector<Order_Plan> Still_Open(const Series_Result& R, const std::vector<int>& Orders, const Series_Result* Verdicts) {
  std::vector<Order_Plan> Plans;
  for (int Order : Orders) {
    if (Verdicts != nullptr && !Verdicts->In_Cache[Order].empty()) continue;
    if (Settled_With_Margin(Judge_Growth(R.Points[Order]), Verdict_Margin)) continue;
    Order_Plan P{Order, {}};
    for (const Size_Timing& S : R.Timings[Order]) P.Sizes.push_back(S.N);
    if (!P.Sizes.empty()) Plans.push_back(P);
  }
  return Plans;
}

}  // namespace

double Median_Seconds(std::vector<double> Seconds) {
  if (Seconds.empty()) return 0;
  std::sort(Seconds.begin(), Seconds.end());
  size_t Middle = Seconds.size() / 2;
  return Seconds.size() % 2 ? Seconds[Middle] : (Seconds[Middle - 1] + Seconds[Middle]) / 2;
}

double Layout_Ratio(const std::vector<double> (&Seconds)[Number_Of_Layouts]) {
  double Ordered = Median_Seconds(Seconds[Layout_Allocation]), Scattered = Median_Seconds(Seconds[Layout_Scattered]);
  return Ordered > 0 && Scattered > 0 ? Scattered / Ordered : 0;
}

std::vector<int64_t> In_Cache_Sizes() {
  std::vector<int64_t> Sizes;
  for (int64_t N = 64; N <= 1024; N *= 2) {
    Sizes.push_back(N);
    if (N < 1024) Sizes.push_back(N / 2 * 3);
  }
  return Sizes;
}

bool Time_In_Cache(const Series_Options& O, const Batch_Sorter& Sort, Series_Result& R) {
  std::vector<int64_t> Sizes = In_Cache_Sizes();
  Progress_Line P = Start_Progress_Line();
  for (int Order : O.Orders) {
    std::vector<std::vector<double>> Per_Item(Sizes.size());
    size_t Timed = Sizes.size();
    for (int Round = 0; Round < In_Cache_Rounds; Round++)
      for (size_t I = 0; I < Timed; I++) {
        Show_Progress_Line(&P, "timing in the caches: %s, %lld items", Order_Name[Order],
                           static_cast<long long>(Sizes[I]));
        int64_t Lists = std::max<int64_t>(1, In_Cache_Items / Sizes[I]);
        Judged_Sort J = Sort(Order, Sizes[I], Lists, Round);
        if (!J.Returned || !J.Fault.empty()) {
          Clear_Progress_Line(&P);
          R.Fault = J.Fault, R.Kind = J.Kind, R.Fault_Order = Order, R.Fault_Size = Sizes[I];
          return false;
        }
        Per_Item[I].push_back(J.Seconds / double(Lists * Sizes[I]));
        if (J.Seconds > O.Budget) Timed = I + 1;  // the larger sizes would take longer still
      }
    R.In_Cache[Order].clear();
    for (size_t I = 0; I < Timed; I++)
      R.In_Cache[Order].push_back(Growth_Point{Sizes[I], Median_Seconds(Per_Item[I]), 0});
    if (O.Verdict_Read) {
      Clear_Progress_Line(&P);
      O.Verdict_Read(R, Order);
    }
  }
  Clear_Progress_Line(&P);
  return true;
}

Middle_Half Speed_Figure(const std::vector<Growth_Point>& Points) {
  std::vector<double> Ratios;
  for (const Growth_Point& P : Points)
    if (P.Reference_Seconds > 0) Ratios.push_back(P.Sort_Seconds / P.Reference_Seconds);
  return Middle_Half_Of(Ratios);
}

Growth_Summary Summarise_Growth(const Series_Result& R) {
  Growth_Summary S{};
  for (int Order = 0; Order < Number_Of_Orders; Order++) {
    S.Verdict[Order] = R.In_Cache[Order].empty() ? Judge_Growth(R.Points[Order])
                                                 : Judge_Growth_Per_Item(R.In_Cache[Order]);
    if (R.Points[Order].empty()) continue;
    const Growth_Point& Top = R.Points[Order].back();
    S.Smallest[Order] = R.Points[Order].front().N, S.Largest[Order] = Top.N;
    S.Speed[Order] = Speed_Figure(R.Points[Order]);
    double Ratio = Top.Reference_Seconds > 0 ? Top.Sort_Seconds / Top.Reference_Seconds : 0;
    S.Time_Ratio[Order] = std::isfinite(Ratio) && Ratio > 0 ? Ratio : 0;
  }
  S.Routine_Layout_Ratio = Layout_Ratio(R.Layout.Sort);
  S.Reference_Layout_Ratio = Layout_Ratio(R.Layout.Reference);
  return S;
}

Series_Result Run_Series(const Series_Options& O, const Series_Sorter& Sort, const Series_Result* Verdicts) {
  Series_Result R{false, "", -1, 0, {}, {}, Layout_Timing{-1, 0, {}, {}}, 0, {}};
  std::vector<Order_Plan> Plans;
  for (int Order : O.Orders) Plans.push_back(Order_Plan{Order, {}});
  /* Scattered nodes matter most on random items, whose sort relinks
  ** every node; with random not asked for, the first order asked. */
  int Layout_Order = std::find(O.Orders.begin(), O.Orders.end(), Order_Random) != O.Orders.end() ? Order_Random
                                                                                                 : O.Orders.front();
  Progress_Line P = Start_Progress_Line();
  while (!Plans.empty() && R.Rounds < Most_Rounds) {
    R.Rounds++;
    int Round = R.Rounds;
    bool Done = Run_Round(O, Sort, Plans, Round == 1 ? Layout_Order : -1, R, [&](int Order, int64_t N) {
      Show_Progress_Line(&P, "timing, round %d: %s, %lld items", Round, Order_Name[Order], static_cast<long long>(N));
    });
    Clear_Progress_Line(&P);
    if (!Done) return R;
    Take_Medians(R);
    Plans = Still_Open(R, O.Orders, Verdicts);
  }
  R.Finished = true;
  R.Fault_Order = -1;
  return R;
}

namespace {

/* The judge's own trouble, not the routine's: said, and the run ends
** with status 2 once the workers' folder is gone. */
[[noreturn]] void Kit_Trouble(const std::string& Why) {
  Finish_Children();
  Refuse_And_Exit("zor_sort_judge", Why.c_str());
}

/* What the workers sort: a list per worker, laid out again only when the
** order, size or layout asked for changes. */
struct Series_Lists {
  Sort_Worker* Workers[2];
  Laid_Out_List Lists[2];
  int Order[2];
  int64_t N[2];
  int Layout[2];
};

Judged_Sort Sort_In_Worker(Series_Lists& S, const Series_Options& O, bool Reference, int Order, int64_t N,
                           Node_Layout Layout) {
  int Which = Reference ? 1 : 0;
  if (S.Order[Which] != Order || S.N[Which] != N || S.Layout[Which] != Layout) {
    S.Lists[Which] = Lay_Out_List_In(S.Workers[Which]->Block, Items_In_Order(Order, N, 1), Layout, 1);
    S.Order[Which] = Order, S.N[Which] = N, S.Layout[Which] = Layout;
  }
  Judged_Sort J = Judge_Sort(S.Workers[Which], S.Lists[Which], O.K, O.X, O.Limits);
  /* The reference is the kit's own: a fault of its is the kit's trouble. */
  if (Reference && (!J.Returned || !J.Fault.empty())) Kit_Trouble("the reference merge sort's worker " + J.Fault);
  return J;
}

/* Lists of N items of Order laid out in a row at the start of the
** routine's worker's memory, seeds drawn from Round, sorted in one call. */
Judged_Sort Sort_Batch_In_Worker(Sort_Worker& W, const Series_Options& O, int Order, int64_t N, int64_t Lists,
                                 int Round) {
  std::vector<Laid_Out_List> Laid;
  for (int64_t L = 0; L < Lists; L++)
    Laid.push_back(Lay_Out_List_In(W.Block + L * N * int64_t(Node_Slot_Bytes),
                                   Items_In_Order(Order, N, uint32_t(Round * Lists + L + 1))));
  return Judge_Sorts(&W, Laid, O.K, O.X, O.Limits);
}

}  // namespace

Series_Result Read_Verdicts(const Series_Options& O) {
  Series_Result R{false, "", -1, 0, {}, {}, Layout_Timing{-1, 0, {}, {}}, 0, {}};
  Sort_Worker Routine;
  Fault_Kind Kind = Fault_Crashed;
  /* Room for the verdict's lists below the table of their heads. */
  if (!Start_Worker(&Routine, false, size_t(In_Cache_Items) + Batch_Table_Slots, O.Limits, &R.Fault, &Kind)) {
    R.Kind = Kind;
    return R;
  }
  R.Finished = Time_In_Cache(O, [&](int Order, int64_t N, int64_t Lists, int Round) {
    return Sort_Batch_In_Worker(Routine, O, Order, N, Lists, Round);
  }, R);
  Stop_Worker(&Routine);
  return R;
}

Series_Result Time_Series(const Series_Options& O, const Series_Result& Verdicts) {
  std::vector<int64_t> Sizes = Series_Sizes(O.Max_Items);
  size_t Slots = size_t(Sizes.empty() ? O.Max_Items : Sizes.back());
  Sort_Worker Routine, Reference;
  std::string Fault;
  if (!Start_Worker(&Reference, true, Slots, O.Limits, &Fault))
    Kit_Trouble("cannot start the reference merge sort's worker: " + Fault);
  Fault_Kind Kind = Fault_Crashed;
  if (!Start_Worker(&Routine, false, Slots, O.Limits, &Fault, &Kind)) {
    Stop_Worker(&Reference);
    return Series_Result{false, Fault, -1, 0, {}, {}, Layout_Timing{-1, 0, {}, {}}, 0, {}, Kind};
  }
  Series_Lists S{{&Routine, &Reference}, {}, {-1, -1}, {0, 0}, {-1, -1}};
  Series_Result R = Run_Series(O, [&](bool Is_Reference, int Order, int64_t N, Node_Layout Layout) {
    return Sort_In_Worker(S, O, Is_Reference, Order, N, Layout);
  }, &Verdicts);
  for (int Order = 0; Order < Number_Of_Orders; Order++) R.In_Cache[Order] = Verdicts.In_Cache[Order];
  Stop_Worker(&Routine);
  Stop_Worker(&Reference);
  return R;
}
