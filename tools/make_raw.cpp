/*
** make_raw.cpp
** Writes an item file Raw for the sort harness, in the current folder.
**
**   make_raw COUNT ORDER [SEED]
**
** ORDER is one of: random (uniform over all 32-bit values, from SEED),
** ascending, descending, equal (every item 7), few (random among ten
** values, from SEED). SEED defaults to 1; the same seed gives the same
** file everywhere.
*/
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/item_file.h"
#include "common/program_arguments.h"
#include "common/refusal.h"
#include "sort_bench/sl_list.h"

namespace {

const char Help[] =
    "Usage: make_raw COUNT ORDER [SEED]\n"
    "Writes Raw in the current folder for the sort harness: COUNT 32-bit\n"
    "little-endian items (0 .. 100000000; the harness takes at most 1000000) in\n"
    "ORDER: random (uniform over all 32-bit values), ascending, descending, equal\n"
    "(every item 7) or few (ten distinct values). SEED (default 1) fixes random\n"
    "and few; the same seed gives the same file everywhere. Prints one line.\n"
    "Exit status: 0 on success; 2 on a bad argument or when Raw cannot be\n"
    "written, after one line on standard error saying which. Raw is written\n"
    "under a temporary name and renamed when whole, so a failed or interrupted\n"
    "run never leaves a partial Raw.\n"
    "Example: make_raw 1000000 random 17\n";

const long long Max_Raw_Items = 100000000;
const char* const Orders[] = {"random", "ascending", "descending", "equal", "few"};
const int Number_Of_Orders = sizeof Orders / sizeof Orders[0];

[[noreturn]] void Refuse(const std::string& Why) {
  Refuse_And_Exit("make_raw", (Why + " (usage: make_raw COUNT ORDER [SEED]; see --help)").c_str());
}

bool Parse_Whole(const char* Text, long long Max, long long* Value) {
  char* End = nullptr;
  errno = 0;
  long long V = std::strtoll(Text, &End, 10);
  if (errno != 0 || End == Text || *End != '\0' || V < 0 || V > Max) return false;
  *Value = V;
  return true;
}

}  // namespace

int main(int Argc, char** Argv) {
  Answer_Help_Or_Version(Argc, Argv, "make_raw", Help);
  long long Count = 0, Seed = 1;
  if (Argc < 3 || Argc > 4) Refuse(Argc < 3 ? "COUNT and ORDER are needed" : "at most three arguments");
  if (!Parse_Whole(Argv[1], Max_Raw_Items, &Count))
    Refuse("COUNT must be a whole number 0 .. " + std::to_string(Max_Raw_Items) + ", not '" + Argv[1] + "'");
  if (Argc == 4 && !Parse_Whole(Argv[3], UINT32_MAX, &Seed))
    Refuse("SEED must be a whole number 0 .. " + std::to_string(UINT32_MAX) + ", not '" + Argv[3] + "'");
  const char* Order = Argv[2];
  int Kind = -1;
  for (int I = 0; I < Number_Of_Orders; I++)
    if (std::strcmp(Order, Orders[I]) == 0) Kind = I;
  if (Kind < 0)
    Refuse("ORDER must be random, ascending, descending, equal or few, not '" + std::string(Order) + "'");

  std::mt19937 Pick(static_cast<uint32_t>(Seed));
  std::vector<int32_t> Items(static_cast<size_t>(Count));
  for (long long I = 0; I < Count; I++) {
    int64_t Spread = Count > 1 ? I * int64_t{UINT32_MAX} / (Count - 1) : 0;  // evenly over the 32-bit range
    int32_t Ascending = static_cast<int32_t>(INT32_MIN + Spread);
    switch (Kind) {
      case 0: Items[size_t(I)] = static_cast<int32_t>(Pick()); break;
      case 1: Items[size_t(I)] = Ascending; break;
      case 2: Items[size_t(I)] = static_cast<int32_t>(INT32_MAX - Spread); break;
      case 3: Items[size_t(I)] = 7; break;
      default: Items[size_t(I)] = static_cast<int32_t>(Pick() % 10) * 1000 - 4000; break;
    }
  }
  /* The whole file first, under a temporary name; then its name. */
  if (!Write_Item_File("Raw", Items.data(), Items.size())) Refuse_And_Exit("make_raw", "cannot write Raw");
  std::printf("Raw: %lld items, %s\n", Count, Order);
  /* The harness refuses such a Raw only after both entries are typed. */
  if (Count > Max_List_Items)
    std::fprintf(stderr, "make_raw: note: %lld items is more than the sort harness accepts (%lld)\n", Count,
                 static_cast<long long>(Max_List_Items));
  return 0;
}
