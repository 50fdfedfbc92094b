/*
** growth_series.cpp
** The timing child and what it tells the parent.
**
** The routine and the reference sort the same list one right after the
** other, put back as laid out before each sort (outside the timed part),
** so that whatever slows the machine for a moment slows both alike. A
** size gets a share of CPU time, not a count of sorts: the small lists
** are sorted many times for a fraction of a second, the largest once or
** twice, which is where a fixed minimum time per size went before. The
** child sends a line before every sort of the routine, so a crash names
** the order and size it happened at, and one line per pair of sorts;
** the parent keeps the times and, between rounds, judges.
*/
#include "sort_profile/growth_series.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <sstream>

#include "common/progress_line.h"
#include "sort_profile/child_run.h"
#include "sort_profile/reference_merge_sort.h"

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

using Line_Sender = std::function<void(const std::string&)>;

double CPU_Seconds() {
  timespec Now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &Now);
  return double(Now.tv_sec) + double(Now.tv_nsec) * 1e-9;
}

/* One sort of the list as laid out: the routine's or the reference's. */
double Time_Sort(Laid_Out_List& L, bool Reference, int32_t K, int32_t X) {
  Reset_List(L);
  double Started = CPU_Seconds();
  if (Reference) Reference_Merge_Sort(&L.Head);
  else Sort_Singly_Linked_List(&L.Head, K, X);
  return CPU_Seconds() - Started;
}

/* What a round asks of one order: grow its sizes (round one), or time
** again the sizes it already has. */
struct Order_Plan {
  int Order;
  std::vector<int64_t> Sizes;  // empty: grow from the first size
};

/* Times pairs at one size until its share is spent; false when the
** routine's first sort there took longer than the budget. */
bool Time_Size(const Series_Options& O, int Order, int64_t N, const Line_Sender& Line) {
  Laid_Out_List L = Lay_Out_List(Items_In_Order(Order, N, 1));
  double Spent = 0, First = 0;
  char Text[120];
  for (int Pair = 0; Pair < Most_Pairs && (Pair == 0 || (Spent < Size_Share && First <= O.Budget)); Pair++) {
    std::snprintf(Text, sizeof Text, "sorting %d %lld", Order, static_cast<long long>(N));
    Line(Text);
    double Sort = Time_Sort(L, false, O.K, O.X);
    double Reference = Time_Sort(L, true, O.K, O.X);
    if (Pair == 0) First = Sort;
    Spent += Sort + Reference;
    std::snprintf(Text, sizeof Text, "pair %d %lld %.9g %.9g", Order, static_cast<long long>(N), Sort, Reference);
    Line(Text);
  }
  Free_List(L);
  return First <= O.Budget;
}

/* The same items in both layouts, four sorts a set, in alternation. */
void Time_Layouts(const Series_Options& O, int Order, int64_t N, const Line_Sender& Line) {
  std::vector<int32_t> Items = Items_In_Order(Order, N, 1);
  Laid_Out_List Lists[Number_Of_Layouts] = {Lay_Out_List(Items, Layout_Allocation),
                                            Lay_Out_List(Items, Layout_Scattered)};
  double Spent = 0;
  char Text[160];
  for (int Set = 0; Set < Most_Layout_Sets && (Set < Fewest_Layout_Sets || Spent < Layout_Share); Set++)
    for (int Layout = 0; Layout < Number_Of_Layouts; Layout++) {
      std::snprintf(Text, sizeof Text, "sorting %d %lld", Order, static_cast<long long>(N));
      Line(Text);
      double Sort = Time_Sort(Lists[Layout], false, O.K, O.X);
      double Reference = Time_Sort(Lists[Layout], true, O.K, O.X);
      Spent += Sort + Reference;
      std::snprintf(Text, sizeof Text, "layout %d %.9g %.9g", Layout, Sort, Reference);
      Line(Text);
    }
  for (Laid_Out_List& L : Lists) Free_List(L);
}

/* One round in the child: every planned order, then, when asked, the
** layouts at the largest size of the layout order. */
void Run_Round(const Series_Options& O, const std::vector<Order_Plan>& Plans, int Layout_Order,
               const Line_Sender& Line) {
  int64_t Layout_Size = 0;
  for (const Order_Plan& P : Plans) {
    std::vector<int64_t> Sizes = P.Sizes.empty() ? Series_Sizes(O.Max_Items) : P.Sizes;
    for (int64_t N : Sizes) {
      if (P.Order == Layout_Order) Layout_Size = N;
      if (!Time_Size(O, P.Order, N, Line) && P.Sizes.empty()) break;
    }
  }
  if (Layout_Size > 0) Time_Layouts(O, Layout_Order, Layout_Size, Line);
  Line("done");
}

/* What the parent keeps of a line from the child. */
void Hear(const std::string& Text, Series_Result& R, bool& Done) {
  std::istringstream In(Text);
  std::string Kind;
  In >> Kind;
  if (Kind == "done") Done = true;
  if (Kind == "sorting") In >> R.Fault_Order >> R.Fault_Size;
  if (Kind == "layout") {
    int Layout = 0;
    double Sort = 0, Reference = 0;
    In >> Layout >> Sort >> Reference;
    R.Layout.Order = R.Fault_Order, R.Layout.N = R.Fault_Size;
    R.Layout.Sort[Layout].push_back(Sort), R.Layout.Reference[Layout].push_back(Reference);
  }
  if (Kind != "pair") return;
  int Order = 0;
  long long N = 0;
  double Sort = 0, Reference = 0;
  In >> Order >> N >> Sort >> Reference;
  if (Order < 0 || Order >= Number_Of_Orders) return;
  std::vector<Size_Timing>& Sizes = R.Timings[Order];
  auto At = std::find_if(Sizes.begin(), Sizes.end(), [N](const Size_Timing& S) { return S.N == N; });
  if (At == Sizes.end()) At = Sizes.insert(Sizes.end(), Size_Timing{N, {}, {}});
  At->Sort.push_back(Sort), At->Reference.push_back(Reference);
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
** timing could still change. */
std::vector<Order_Plan> Still_Open(const Series_Result& R, const std::vector<int>& Orders) {
  std::vector<Order_Plan> Plans;
  for (int Order : Orders) {
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

Growth_Summary Summarise_Growth(const Series_Result& R) {
  Growth_Summary S{};
  for (int Order = 0; Order < Number_Of_Orders; Order++) {
    S.Verdict[Order] = Judge_Growth(R.Points[Order]);
    if (R.Points[Order].empty()) continue;
    const Growth_Point& Top = R.Points[Order].back();
    S.Largest[Order] = Top.N;
    S.Time_Ratio[Order] = Top.Reference_Seconds > 0 ? Top.Sort_Seconds / Top.Reference_Seconds : 0;
  }
  S.Routine_Layout_Ratio = Layout_Ratio(R.Layout.Sort);
  S.Reference_Layout_Ratio = Layout_Ratio(R.Layout.Reference);
  return S;
}

Series_Result Time_Series(const Series_Options& O) {
  Series_Result R{false, "", -1, 0, {}, {}, Layout_Timing{-1, 0, {}, {}}, 0};
  std::vector<Order_Plan> Plans;
  for (int Order : O.Orders) Plans.push_back(Order_Plan{Order, {}});
  /* Scattered nodes matter most on random items, whose sort relinks
  ** every node; with random not asked for, the first order asked. */
  int Layout_Order = std::find(O.Orders.begin(), O.Orders.end(), Order_Random) != O.Orders.end() ? Order_Random
                                                                                                 : O.Orders.front();
  Progress_Line P = Start_Progress_Line();
  while (!Plans.empty() && R.Rounds < Most_Rounds) {
    R.Rounds++;
    bool Done = false;
    int Round = R.Rounds;
    /* Lines come before each sort; the reference's sort follows the
    ** routine's and never takes long, hence the few seconds more. */
    Child_Outcome C = Run_In_Child(
        [&](const Line_Sender& Line) { Run_Round(O, Plans, Round == 1 ? Layout_Order : -1, Line); },
        O.Time_Limit + 5, [&](const std::string& Line) {
          Hear(Line, R, Done);
          if (R.Fault_Order >= 0)
            Show_Progress_Line(&P, "timing, round %d: %s, %lld items", Round, Order_Name[R.Fault_Order],
                               static_cast<long long>(R.Fault_Size));
        });
    Clear_Progress_Line(&P);
    if (!Done || !C.Exited || C.Status != 0) {
      R.Fault = Child_Fault(C, O.Time_Limit);
      return R;
    }
    Take_Medians(R);
    Plans = Still_Open(R, O.Orders);
  }
  R.Finished = true;
  R.Fault_Order = -1;
  return R;
}
