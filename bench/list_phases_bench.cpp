/*
** list_phases_bench.cpp
** Measures, in one run on 1,000,000 random items, what the sort harness
** adds to every measurement and how the example routines compare:
**   - building the list from Raw, against a floor that does the same
**     steps with nothing extra (buffered block read, one allocation per
**     node, linked in file order);
**   - writing Sorted and releasing the list, against a floor (one walk of
**     a sorted, so scattered, list through a buffer, the close, one walk
**     freeing every node);
**   - each example routine against std::sort on a std::vector<int32_t>
**     and std::list<int32_t>::sort of the same items.
** Each measurement runs in a child process of its own, forked from a
** parent that never allocated a list, so it meets a fresh heap as the
** harness's own process does: the list's nodes lie in file order, and
** the write walks them in sorted, scattered order. Each figure is the
** median of several rounds, the candidates taking turns within a round;
** the ratios are what to read.
**
**   list_phases_bench [ROUNDS] [K] [X]     (defaults 7, 10, 32)
*/
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <list>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "common/elapsed.h"
#include "common/statistics.h"
#include "sort_bench/sl_list.h"

extern "C" void Bench_Merge_Sort(SL_Node** Head, int32_t K, int32_t X);
extern "C" void Bench_Radix_Sort(SL_Node** Head, int32_t K, int32_t X);

namespace {

constexpr int Items = 1000000;
constexpr size_t Block_Items = 16384;

template <typename Work>
double Time(Work&& W) {
  auto Start = std::chrono::steady_clock::now();
  W();
  return Seconds_Since(Start);
}

void Free_Bench_List(SL_Node* Node) {
  while (Node != nullptr) {
    SL_Node* Next = Node->Next;
    std::free(Node);
    Node = Next;
  }
}

SL_Node* Floor_Build(const char* Path) {
  std::FILE* In = std::fopen(Path, "rb");
  SL_Node* Head = nullptr;
  SL_Node** Link = &Head;
  int32_t Block[Block_Items];
  size_t Read;
  while ((Read = std::fread(Block, sizeof Block[0], Block_Items, In)) > 0)
    for (size_t I = 0; I < Read; I++) {
      auto* Node = static_cast<SL_Node*>(std::malloc(sizeof(SL_Node)));
      Node->Item = Block[I];
      *Link = Node;
      Link = &Node->Next;
    }
  *Link = nullptr;
  std::fclose(In);
  return Head;
}

void Floor_Write(const char* Path, SL_Node* Head) {
  std::FILE* Out = std::fopen(Path, "wb");
  int32_t Block[Block_Items];
  size_t Filled = 0;
  for (SL_Node* Node = Head; Node != nullptr; Node = Node->Next) {
    Block[Filled++] = Node->Item;
    if (Filled == Block_Items) std::fwrite(Block, sizeof Block[0], Filled, Out), Filled = 0;
  }
  std::fwrite(Block, sizeof Block[0], Filled, Out);
  std::fclose(Out);
  Free_Bench_List(Head);
}

/* A list built from Raw and then sorted, so its nodes are scattered in
** memory the way a sort leaves them. */
SL_Node* Sorted_List(int32_t* Count) {
  SL_Node* Head;
  Build_Singly_Linked_List("Raw", &Head, Count);
  Bench_Merge_Sort(&Head, 0, 0);
  return Head;
}

enum Candidate { Build, Build_Floor, Write, Write_Floor, Merge_Sort, Radix_Sort, Vector_Sort, List_Sort, Candidates };
const char* const Candidate_Name[Candidates] = {"build",      "build floor", "write",           "write floor",
                                                "merge sort", "radix sort",  "std::sort vector", "std::list::sort"};

double Measure(Candidate C, const std::vector<int32_t>& Values, int32_t K, int32_t X) {
  SL_Node* Head = nullptr;
  int32_t Count = 0;
  switch (C) {
    case Build: return Time([&] { Build_Singly_Linked_List("Raw", &Head, &Count); });
    case Build_Floor: return Time([&] { Head = Floor_Build("Raw"); });
    case Write: Head = Sorted_List(&Count); return Time([&] { Write_Sorted_File_From_SL_List("Sorted", &Head, Count); });
    case Write_Floor: Head = Sorted_List(&Count); return Time([&] { Floor_Write("Sorted", Head); });
    case Merge_Sort: Build_Singly_Linked_List("Raw", &Head, &Count); return Time([&] { Bench_Merge_Sort(&Head, K, X); });
    case Radix_Sort: Build_Singly_Linked_List("Raw", &Head, &Count); return Time([&] { Bench_Radix_Sort(&Head, K, X); });
    case Vector_Sort: {
      std::vector<int32_t> Vector = Values;
      return Time([&] { std::sort(Vector.begin(), Vector.end()); });
    }
    default: {
      std::list<int32_t> List(Values.begin(), Values.end());
      return Time([&] { List.sort(); });
    }
  }
}

/* Runs one measurement in a fresh child and returns its seconds. */
double Measure_In_Child(Candidate C, const std::vector<int32_t>& Values, int32_t K, int32_t X) {
  int Pipe[2];
  if (pipe(Pipe) != 0) std::exit(1);
  pid_t Child = fork();
  if (Child == 0) {
    double Seconds = Measure(C, Values, K, X);
    _exit(write(Pipe[1], &Seconds, sizeof Seconds) == sizeof Seconds ? 0 : 1);
  }
  double Seconds = -1;
  if (read(Pipe[0], &Seconds, sizeof Seconds) != sizeof Seconds) std::exit(1);
  waitpid(Child, nullptr, 0);
  close(Pipe[0]);
  close(Pipe[1]);
  return Seconds;
}


}  // namespace

int main(int Argc, char** Argv) {
  int Rounds = Argc > 1 ? std::atoi(Argv[1]) : 7;
  int32_t K = Argc > 2 ? std::atoi(Argv[2]) : 10;
  int32_t X = Argc > 3 ? std::atoi(Argv[3]) : 32;

  auto Folder = std::filesystem::temp_directory_path() / ("list_phases_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(Folder);
  std::filesystem::current_path(Folder);
  std::mt19937 Pick(1);
  std::vector<int32_t> Values(Items);
  for (auto& V : Values) V = static_cast<int32_t>(Pick());
  std::FILE* Raw = std::fopen("Raw", "wb");
  std::fwrite(Values.data(), sizeof(int32_t), Values.size(), Raw);
  std::fclose(Raw);

  std::map<std::string, std::vector<double>> T;
  for (int Round = 0; Round < Rounds; Round++)
    for (int C = 0; C < Candidates; C++) {
      /* Alternate the order of each round, so no candidate always
      ** follows the same one. */
      int Turn = Round % 2 == 0 ? C : Candidates - 1 - C;
      T[Candidate_Name[Turn]].push_back(Measure_In_Child(Candidate(Turn), Values, K, X));
    }
  std::filesystem::current_path("/");
  std::filesystem::remove_all(Folder);

  auto M = [&](const char* Name) { return Median_Of(T[Name]); };
  std::printf("1,000,000 random items, median of %d rounds (radix sort K=%d X=%d)\n\n", Rounds, K, X);
  for (auto& [Name, Times] : T) std::printf("  %-18s %8.1f ms\n", Name.c_str(), Median_Of(Times) * 1000);
  std::printf("\nratio                               measured  goal\n");
  std::printf("  build / build floor               %6.2f   <= 1.10\n", M("build") / M("build floor"));
  std::printf("  write / write floor               %6.2f   <= 1.10\n", M("write") / M("write floor"));
  std::printf("  radix sort / std::sort vector     %6.2f   <= 1.00\n", M("radix sort") / M("std::sort vector"));
  std::printf("  radix sort / std::list::sort      %6.2f   <= 0.33\n", M("radix sort") / M("std::list::sort"));
  std::printf("  merge sort / std::sort vector     %6.2f\n", M("merge sort") / M("std::sort vector"));
  std::printf("  merge sort / std::list::sort      %6.2f\n", M("merge sort") / M("std::list::sort"));
  return 0;
}
