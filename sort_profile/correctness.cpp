/*
** correctness.cpp
** Each case of the correctness phase in a child of its own: the child
** lays out the list, calls the routine, judges the list and sends the
** verdict; a routine that crashes or never returns cannot take the
** profiler down. Smallest lists first, so the first failure reported is
** the simplest list that shows it.
*/
#include "sort_profile/correctness.h"

#include <algorithm>
#include <unistd.h>

#include "common/record_io.h"
#include "common/staged_file.h"
#include "sort_profile/child_run.h"
#include "sort_profile/profile_lists.h"

namespace {

const int64_t Case_Sizes[] = {0, 1, 2, 3, 4, 5, 7, 8, 15, 16, 17, 100, 1000, 10000, 100000};
const uint32_t Random_Seeds[] = {1, 2, 3};

/* The failing list as the harness reads it, so it can be run there:
** written whole under a temporary name, then named. */
bool Keep_As_Raw(const std::string& Path, std::vector<int32_t> Items) {
  char Temp[4096];
  std::FILE* Out = Create_Staged_File(Path.c_str(), Temp, sizeof Temp);
  if (Out == nullptr) return false;
  Host_To_File_Order(Items.data(), Items.size() * sizeof(int32_t));
  bool Ok = std::fwrite(Items.data(), sizeof(int32_t), Items.size(), Out) == Items.size();
  Ok = std::fclose(Out) == 0 && Ok;
  if (!Ok) std::remove(Temp);
  return Ok && Publish_Staged_File(Temp, Path.c_str());
}

}  // namespace

Case_Result Run_Case(int Order, int64_t Size, uint32_t Seed, int32_t K, int32_t X, double Time_Limit,
                     const std::function<void(double Seconds)>& Waiting) {
  std::string Verdict;
  Child_Outcome O = Run_In_Child(
      [&](const std::function<void(const std::string&)>& Line) {
        Laid_Out_List L = Lay_Out_List(Items_In_Order(Order, Size, Seed));
        Sort_Singly_Linked_List(&L.Head, K, X);
        std::string Fault = Check_List(L).Fault;
        Line(Fault.empty() ? "ok" : Fault);
      },
      Time_Limit, [&Verdict](const std::string& Line) { Verdict = Line; }, Waiting);
  if (Verdict == "ok" && O.Exited) return Case_Result{true, ""};
  if (!Verdict.empty() && Verdict != "ok") return Case_Result{false, Verdict};
  return Case_Result{false, Child_Fault(O, Time_Limit)};
}

bool Check_Correctness(const Correctness_Options& O, std::FILE* Out) {
  int Cases = 0, Total = 0;
  for (int64_t Size : Case_Sizes)
    if (Size <= O.Max_Items)
      for (int Order : O.Orders) Total += Order == Order_Random ? 3 : 1;
  bool Terminal = isatty(STDERR_FILENO) == 1;
  for (int64_t Size : Case_Sizes) {
    if (Size > O.Max_Items) break;
    for (int Order : O.Orders)
      for (uint32_t Seed : Random_Seeds) {
        if (Order != Order_Random && Seed != Random_Seeds[0]) continue;
        auto Show = [&](double Seconds) {
          if (!Terminal) return;
          std::fprintf(stderr, "\r\033[Kchecking %d of %d: %s, %lld items", Cases + 1, Total, Order_Name[Order],
                       static_cast<long long>(Size));
          if (Seconds >= 1) std::fprintf(stderr, " (%.0f s)", Seconds);
        };
        Show(0);
        Case_Result R = Run_Case(Order, Size, Seed, O.K, O.X, O.Time_Limit, Show);
        if (Terminal) std::fputs("\r\033[K", stderr);
        if (!R.Passed) {
          std::fprintf(Out, "FAIL: order %s", Order_Name[Order]);
          if (Order == Order_Random) std::fprintf(Out, " (seed %u)", Seed);
          std::fprintf(Out, ", size %lld, K %d, X %d\n  %s\n", static_cast<long long>(Size), O.K, O.X, R.Fault.c_str());
          if (O.Keep_Failing.empty()) return false;
          if (!Keep_As_Raw(O.Keep_Failing, Items_In_Order(Order, Size, Seed))) {
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
  std::fprintf(Out, "PASS: %d cases (orders:", Cases);
  for (int Order : O.Orders) std::fprintf(Out, " %s", Order_Name[Order]);
  std::fprintf(Out, "; random from %zu seeds; sizes 0 .. %lld; K %d, X %d)\n", std::size(Random_Seeds),
               static_cast<long long>(std::min<int64_t>(O.Max_Items, 100000)), O.K, O.X);
  std::fflush(Out);
  return true;
}
