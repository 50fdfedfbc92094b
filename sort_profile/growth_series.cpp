/*
** growth_series.cpp
** The timing child, a round at a time, and what it tells the parent.
**
** The routine and the reference sort the same list one right after the
** other, put back as laid out before each sort (outside the timed part),
** so that whatever slows the machine for a moment slows both alike. A
** size gets a share of CPU time, not a count of sorts: the small lists
** are sorted many times for a fraction of a second, the largest once or
** twice, which is where a fixed minimum time per size went before. The
** child sends a line before every sort of the routine, so a crash names
** the order and size it happened at, and one line per pair of sorts;
** the parent keeps the times and, between rounds, judges. The child
** limits each sort's CPU time itself: the sandbox's limit would count the
** whole round.
*/
#include "sort_profile/growth_series.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>

#include "common/progress_line.h"
#include "sort_profile/profile_child.h"
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

/* One sort of the list as laid out, the routine's or the reference's,
** under the time limit of one sort. */
double Time_Sort(Laid_Out_List& L, bool Reference, const Series_Options& O) {
  Reset_List(L);
  Limit_Sort_Cpu(O.Limits.Cpu_Seconds);
  double Started = Process_Cpu_Seconds();
  if (Reference) Reference_Merge_Sort(&L.Head);
  else Sort_Singly_Linked_List(&L.Head, O.K, O.X);
  double Took = Process_Cpu_Seconds() - Started;
  Limit_Sort_Cpu(0);
  return Took;
}

/* What a round asks of one order: grow its sizes (round one), or time
** again the sizes it already has. */
struct Order_Plan {
  int Order;
  std::vector<int64_t> Sizes;  // empty: grow from the first size
};

/* Times pairs at one size until its share is spent; false when the
** routine's first sort there took longer than the budget. */
bool Time_Size(const Series_Options& O, int Order, int64_t N) {
  Laid_Out_List L = Lay_Out_List(Items_In_Order(Order, N, 1));
  double Spent = 0, First = 0;
  char Text[120];
  for (int Pair = 0; Pair < Most_Pairs && (Pair == 0 || (Spent < Size_Share && First <= O.Budget)); Pair++) {
    std::snprintf(Text, sizeof Text, "sorting %d %lld", Order, static_cast<long long>(N));
    Child_Line(Text);
    double Sort = Time_Sort(L, false, O);
    double Reference = Time_Sort(L, true, O);
    if (Pair == 0) First = Sort;
    Spent += Sort + Reference;
    std::snprintf(Text, sizeof Text, "pair %d %lld %.9g %.9g", Order, static_cast<long long>(N), Sort, Reference);
    Child_Line(Text);
  }
  Free_List(L);
  return First <= O.Budget;
}

/* The same items in both layouts, four sorts a set, in alternation. */
void Time_Layouts(const Series_Options& O, int Order, int64_t N) {
  std::vector<int32_t> Items = Items_In_Order(Order, N, 1);
  Laid_Out_List Lists[Number_Of_Layouts] = {Lay_Out_List(Items, Layout_Allocation),
                                            Lay_Out_List(Items, Layout_Scattered)};
  double Spent = 0;
  char Text[160];
  for (int Set = 0; Set < Most_Layout_Sets && (Set < Fewest_Layout_Sets || Spent < Layout_Share); Set++)
    for (int Layout = 0; Layout < Number_Of_Layouts; Layout++) {
      std::snprintf(Text, sizeof Text, "sorting %d %lld", Order, static_cast<long long>(N));
      Child_Line(Text);
      double Sort = Time_Sort(Lists[Layout], false, O);
      double Reference = Time_Sort(Lists[Layout], true, O);
      Spent += Sort + Reference;
      std::snprintf(Text, sizeof Text, "layout %d %.9g %.9g", Layout, Sort, Reference);
      Child_Line(Text);
    }
  for (Laid_Out_List& L : Lists) Free_List(L);
}

/* One round in the child: every planned order, then, when asked, the
** layouts at the largest size of the layout order. */
void Run_Round(const Series_Options& O, const std::vector<Order_Plan>& Plans, int Layout_Order) {
  int64_t Layout_Size = 0;
  for (const Order_Plan& P : Plans) {
    std::vector<int64_t> Sizes = P.Sizes.empty() ? Series_Sizes(O.Max_Items) : P.Sizes;
    for (int64_t N : Sizes) {
      if (P.Order == Layout_Order) Layout_Size = N;
      if (!Time_Size(O, P.Order, N) && P.Sizes.empty()) break;
    }
  }
  if (Layout_Size > 0) Time_Layouts(O, Layout_Order, Layout_Size);
  Child_Line("done");
}

/* A round as a child's words: "round", K, X, the largest size, the
** budget, the time limit of a sort and the layout order (-1 for none),
** then a word per order: "ORDER" to grow its series, "ORDER:N,N,..." to
** time those sizes again. */
std::vector<std::string> Round_Words(const Series_Options& O, const std::vector<Order_Plan>& Plans, int Layout_Order) {
  std::vector<std::string> Words = {Round_Phase};
  for (double Number : {double(O.K), double(O.X), double(O.Max_Items), O.Budget, O.Limits.Cpu_Seconds,
                        double(Layout_Order)})
    Words.push_back(Child_Word(Number));
  for (const Order_Plan& P : Plans) {
    std::string Word = std::to_string(P.Order);
    for (size_t I = 0; I < P.Sizes.size(); I++) {
      /* Appended piece by piece: GCC 12's Release build misreads
      ** "," + std::to_string(...) as an overlapping copy (-Wrestrict). */
      Word += I == 0 ? ':' : ',';
      Word += std::to_string(P.Sizes[I]);
    }
    Words.push_back(Word);
  }
  return Words;
}

/* One word of a round's plan, as Round_Words writes it. */
bool Read_Plan(const std::string& Word, Order_Plan* P) {
  std::istringstream In(Word);
  char Separator = ':';
  if (!(In >> P->Order) || P->Order < 0 || P->Order >= Number_Of_Orders) return false;
  for (long long N; In >> Separator;) {
    if (Separator != (P->Sizes.empty() ? ':' : ',') || !(In >> N) || N < 1) return false;
    P->Sizes.push_back(N);
  }
  return In.eof();
}

/* What the parent keeps of a line from the child. */
void Hear(const std::string& Text, Series_Result& R, bool& Done, bool& Over_Time) {
  if (Text == Over_Time_Line) Over_Time = true;
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
    bool Done = false, Over_Time = false;
    int Round = R.Rounds;
    Sandbox_Result C = Run_Child(Round_Words(O, Plans, Round == 1 ? Layout_Order : -1), Limits_Per_Sort(O.Limits),
                                 [&](const std::string& Line) {
                                   Hear(Line, R, Done, Over_Time);
                                   if (R.Fault_Order >= 0)
                                     Show_Progress_Line(&P, "timing, round %d: %s, %lld items", Round,
                                                        Order_Name[R.Fault_Order], static_cast<long long>(R.Fault_Size));
                                 });
    Clear_Progress_Line(&P);
    if (!Done || C.Ending != Sandbox_Exited || C.Status != 0) {
      R.Fault = Child_Fault(C, Limits_Per_Sort(O.Limits), Over_Time ? O.Limits.Cpu_Seconds : 0);
      return R;
    }
    Take_Medians(R);
    Plans = Still_Open(R, O.Orders);
  }
  R.Finished = true;
  R.Fault_Order = -1;
  return R;
}

bool Round_Child(const std::vector<std::string>& Words) {
  double Number[6];
  if (!Child_Numbers(Words, 1, 6, Number) || Number[2] < 1) return false;
  Series_Options O{static_cast<int32_t>(Number[0]), static_cast<int32_t>(Number[1]), static_cast<int64_t>(Number[2]),
                   Number[3], Sandbox_Limits{}, {}};
  O.Limits.Cpu_Seconds = Number[4];
  std::vector<Order_Plan> Plans;
  for (size_t I = 7; I < Words.size(); I++) {
    Plans.push_back(Order_Plan{0, {}});
    if (!Read_Plan(Words[I], &Plans.back())) return false;
  }
  Run_Round(O, Plans, static_cast<int>(Number[5]));
  return true;
}
