/*
** correctness.cpp
** The correctness phase: each case laid out by the judge in the routine's
** worker's memory, sorted there and judged here; a routine that crashes
** or never returns cannot take the profiler down. Smallest lists first,
** so the first failure reported is the simplest list that shows it.
*/
#include "sort_profile/correctness.h"

#include <algorithm>
#include <memory>

#include "common/item_file.h"
#include "common/progress_line.h"
#include "sort_profile/profile_child.h"
#include "sort_profile/profile_lists.h"

namespace {

const int64_t Case_Sizes[] = {0, 1, 2, 3, 4, 5, 7, 8, 15, 16, 17, 100, 1000, 10000, 100000};
const uint32_t Random_Seeds[] = {1, 2, 3};

/* Past this size a list finds only what a size finds, not what an order
** does (a recursion that runs out of stack, a buffer that overflows), and
** an N^2 routine takes minutes a list there: one random list, and the
** sorted and reversed lists that drive a naive recursion deepest. */
constexpr int64_t Every_Order_Up_To = 10000;

/* Whether the case of Order and Seed is tried at Size, of the orders
** asked for (the first of them when none of those three was asked). */
bool Tried(const std::vector<int>& Orders, int Order, uint32_t Seed, int64_t Size) {
  if (Order != Order_Random && Seed != Random_Seeds[0]) return false;
  if (Size <= Every_Order_Up_To) return true;
  auto Large = [](int O) { return O == Order_Random || O == Order_Ascending || O == Order_Descending; };
  bool Any_Large = std::any_of(Orders.begin(), Orders.end(), Large);
  return Seed == Random_Seeds[0] && (Any_Large ? Large(Order) : Order == Orders.front());
}

}  // namespace

Case_Result Run_Case(Sort_Worker* W, int Order, int64_t Size, uint32_t Seed, int32_t K, int32_t X,
                     const Sandbox_Limits& Limits, const std::function<void(double Seconds)>& Waiting) {
  bool Scattered = Order == Order_Random && Seed == Scattered_Seed;
  Laid_Out_List L = Lay_Out_List_In(W->Block, Items_In_Order(Order, Size, Seed),
                                    Scattered ? Layout_Scattered : Layout_Allocation, Seed);
  Judged_Sort J = Judge_Sort(W, L, K, X, Limits, Waiting);
  return Case_Result{J.Returned && J.Fault.empty(), J.Fault, J.Kind};
}

namespace {

/* The worker the cases run in; false, with the FAIL said, when it did not
** come up. */
bool Start_Case_Worker(const Correctness_Options& O, Sort_Worker* W, std::FILE* Out, int Cases,
                       Correctness_Result* Result) {
  std::string Fault;
  Fault_Kind Kind = Fault_Crashed;
  if (Start_Worker(W, false, size_t(std::min<int64_t>(O.Max_Items, Case_Sizes[std::size(Case_Sizes) - 1])), O.Limits,
                   &Fault, &Kind))
    return true;
  *Result = Correctness_Result{false, Cases, Fault, Kind};
  std::fprintf(Out, "FAIL: before the %s list, K %d, X %d\n  %s\n", Cases == 0 ? "first" : "next", O.K, O.X,
               Fault.c_str());
  return false;
}

/* What O.Before_Largest does runs a worker of its own, and a box holds
** one routine's worker at a time: the cases' worker waits ended. */
bool Tell_Before_Largest(const Correctness_Options& O, std::unique_ptr<Sort_Worker>& W, std::FILE* Out, int Cases,
                         Correctness_Result* Result) {
  Stop_Worker(W.get());
  O.Before_Largest();
  W = std::make_unique<Sort_Worker>();
  return Start_Case_Worker(O, W.get(), Out, Cases, Result);
}

}  // namespace

bool Check_Correctness(const Correctness_Options& O, std::FILE* Out, Correctness_Result* Result) {
  Correctness_Result Ignored;
  if (Result == nullptr) Result = &Ignored;
  int Cases = 0, Total = 0;
  for (int64_t Size : Case_Sizes)
    if (Size <= O.Max_Items)
      for (int Order : O.Orders)
        for (uint32_t Seed : Random_Seeds) Total += Tried(O.Orders, Order, Seed, Size);
  auto W = std::make_unique<Sort_Worker>();
  if (!Start_Case_Worker(O, W.get(), Out, 0, Result)) return false;
  Progress_Line P = Start_Progress_Line();
  bool Told = !O.Before_Largest;
  for (int64_t Size : Case_Sizes) {
    if (Size > O.Max_Items) break;
    if (Size > Every_Order_Up_To && !Told && !(Told = Tell_Before_Largest(O, W, Out, Cases, Result))) return false;
    for (int Order : O.Orders)
      for (uint32_t Seed : Random_Seeds) {
        if (!Tried(O.Orders, Order, Seed, Size)) continue;
        auto Show = [&](double Seconds) {
          char Took[32] = "";
          if (Seconds >= 1) std::snprintf(Took, sizeof Took, " (%.0f s)", Seconds);
          Show_Progress_Line(&P, "checking %d of %d: %s, %lld items%s", Cases + 1, Total, Order_Name[Order],
                             static_cast<long long>(Size), Took);
        };
        Show(0);
        Case_Result R = Run_Case(W.get(), Order, Size, Seed, O.K, O.X, O.Limits, Show);
        Clear_Progress_Line(&P);
        if (!R.Passed) {
          Stop_Worker(W.get());
          *Result = Correctness_Result{false, Cases + 1, R.Fault, R.Kind};
          std::fprintf(Out, "FAIL: order %s", Order_Name[Order]);
          if (Order == Order_Random)
            std::fprintf(Out, " (seed %u%s)", Seed, Seed == Scattered_Seed ? ", scattered nodes" : "");
          std::fprintf(Out, ", size %lld, K %d, X %d\n  %s\n", static_cast<long long>(Size), O.K, O.X, R.Fault.c_str());
          if (O.Keep_Failing.empty()) return false;
          std::vector<int32_t> Failing = Items_In_Order(Order, Size, Seed);
          if (!Write_Item_File(O.Keep_Failing.c_str(), Failing.data(), Failing.size())) {
            std::fprintf(stderr, "--keep-failing: cannot write %s\n", O.Keep_Failing.c_str());
            return false;
          }
          std::fprintf(Out, "  The list is kept in %s as a Raw file: copy it to Raw and run the timing program with "
                            "K %d and X %d.\n", O.Keep_Failing.c_str(), O.K, O.X);
          return false;
        }
        Cases++;
      }
  }
  Stop_Worker(W.get());
  if (!Told) O.Before_Largest();
  *Result = Correctness_Result{true, Cases, ""};
  std::fprintf(Out, "PASS: %d cases (orders:", Cases);
  for (int Order : O.Orders) std::fprintf(Out, " %s", Order_Name[Order]);
  std::fprintf(Out, "; random from %zu seeds, the last on scattered nodes; sizes 0 .. %lld", std::size(Random_Seeds),
               static_cast<long long>(std::min<int64_t>(O.Max_Items, Every_Order_Up_To)));
  if (O.Max_Items > Every_Order_Up_To)
    std::fprintf(Out, ", and %lld for fewer orders", static_cast<long long>(std::min<int64_t>(O.Max_Items, 100000)));
  std::fprintf(Out, "; K %d, X %d)\n", O.K, O.X);
  std::fflush(Out);
  return true;
}
