/*
** check_sorted.cpp
** Says whether Sorted is an ascending permutation of Raw, both in the
** current folder, and where it first goes wrong. Exit status 0 when it
** is, 1 when it is not, 2 when a file cannot be read, as every checker
** of the kit (and cmp) answers.
*/
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <vector>

#include "common/item_file.h"
#include "common/program_arguments.h"

namespace {

const char Help[] =
    "Usage: check_sorted\n"
    "Says whether Sorted is an ascending permutation of Raw, both in the current\n"
    "folder, and if not, where Sorted first goes wrong: the first descent, or the\n"
    "first item that differs from Raw sorted. It prints one line (two for a\n"
    "difference) on standard output.\n"
    "Exit status: 0 Sorted is an ascending permutation of Raw; 1 it is not; 2 a\n"
    "file cannot be read (a message on standard error).\n"
    "Example: make_raw 1000 random && printf '0\\n0\\n' | ./my_sort_bench && check_sorted\n";

}  // namespace

int main(int Argc, char** Argv) {
  Take_No_Arguments(Argc, Argv, "check_sorted", Help);
  std::vector<int32_t> Raw, Sorted;
  for (auto [Name, Items] : {std::pair{"Raw", &Raw}, std::pair{"Sorted", &Sorted}})
    if (!Read_Item_File(Name, Items)) {
      std::fprintf(stderr, "check_sorted: cannot read %s: %s\n", Name,
                   errno != 0 ? std::strerror(errno) : "not a readable file");
      return 2;
    }
  auto Descent = std::is_sorted_until(Sorted.begin(), Sorted.end());
  if (Descent != Sorted.end()) {
    /* Items are counted from 1, as people count and as the profiler does. */
    long long At = Descent - Sorted.begin() + 1;
    std::printf("Sorted is not ascending: item %lld (%d) is less than item %lld (%d)\n", At, *Descent, At - 1,
                *(Descent - 1));
    return 1;
  }
  std::sort(Raw.begin(), Raw.end());
  auto [In_Sorted, In_Raw] = std::mismatch(Sorted.begin(), Sorted.end(), Raw.begin(), Raw.end());
  if (In_Sorted != Sorted.end() || In_Raw != Raw.end()) {
    long long At = In_Sorted - Sorted.begin() + 1;
    std::printf("Sorted is ascending but not a permutation of Raw (%zu items in Raw, %zu in Sorted):\n", Raw.size(),
                Sorted.size());
    if (In_Sorted == Sorted.end())
      std::printf("  Sorted ends after item %lld; Raw, sorted, has %d as item %lld\n", At - 1, *In_Raw, At);
    else if (In_Raw == Raw.end())
      std::printf("  Sorted has %d as item %lld, past the end of Raw\n", *In_Sorted, At);
    else
      std::printf("  item %lld is %d; Raw, sorted, has %d there\n", At, *In_Sorted, *In_Raw);
    return 1;
  }
  std::printf("Sorted is an ascending permutation of Raw (%zu items)\n", Sorted.size());
  return 0;
}
