/*
** profile_lists.cpp
** Orders, lay-out, reset and the judgement of a sorted list.
*/
#include "sort_profile/profile_lists.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>

#include "common/zor_assert.h"

const char* const Order_Name[Number_Of_Orders] = {"random",     "ascending", "descending", "equal",
                                                  "few-distinct", "organ-pipe", "sawtooth",  "extremes"};

std::vector<int32_t> Items_In_Order(int Order, int64_t Count, uint32_t Seed) {
  std::vector<int32_t> Items(static_cast<size_t>(Count));
  std::mt19937 Pick(Seed);
  const int32_t Extremes[] = {INT32_MIN, INT32_MIN + 1, -1, 0, 1, INT32_MAX - 1, INT32_MAX};
  for (int64_t I = 0; I < Count; I++) {
    int32_t V = 0;
    switch (Order) {
      case Order_Random: V = static_cast<int32_t>(Pick()); break;
      case Order_Ascending: V = static_cast<int32_t>(I - Count / 2); break;
      case Order_Descending: V = static_cast<int32_t>(Count / 2 - I); break;
      case Order_Equal: V = 7; break;
      case Order_Few_Distinct: V = static_cast<int32_t>(Pick() % 5) * 1000; break;
      case Order_Organ_Pipe: V = static_cast<int32_t>(I < (Count + 1) / 2 ? I : Count - 1 - I); break;
      case Order_Sawtooth: V = static_cast<int32_t>(I % 16); break;
      default: V = Extremes[Pick() % 7]; break;
    }
    Items[static_cast<size_t>(I)] = V;
  }
  /* Every extremes list holds both ends of the range, whatever the draw. */
  if (Order == Order_Extremes && Count >= 2) Items[0] = INT32_MAX, Items[static_cast<size_t>(Count) - 1] = INT32_MIN;
  return Items;
}

const char* const Layout_Name[Number_Of_Layouts] = {"in allocation order", "scattered"};

Laid_Out_List Lay_Out_List_In(char* Block, const std::vector<int32_t>& Items, Node_Layout Layout, uint32_t Seed) {
  Laid_Out_List L{nullptr, std::vector<SL_Node*>(Items.size()), Items, Block, false};
  for (size_t I = 0; I < Items.size(); I++) L.Nodes[I] = reinterpret_cast<SL_Node*>(Block + I * Node_Slot_Bytes);
  if (Layout == Layout_Scattered) std::shuffle(L.Nodes.begin(), L.Nodes.end(), std::mt19937(Seed));
  Reset_List(L);
  return L;
}

Laid_Out_List Lay_Out_List(const std::vector<int32_t>& Items, Node_Layout Layout, uint32_t Seed) {
  void* Block = std::aligned_alloc(Node_Slot_Bytes, std::max<size_t>(1, Items.size()) * Node_Slot_Bytes);
  if (Block == nullptr) {
    std::fputs("sort_profile: out of memory laying out a list\n", stderr);
    std::exit(2);
  }
  Laid_Out_List L = Lay_Out_List_In(static_cast<char*>(Block), Items, Layout, Seed);
  L.Own_Block = true;
  return L;
}

void Reset_List(Laid_Out_List& L) {
  size_t N = L.Nodes.size();
  ZOR_ASSERT(L.Items.size() == N);
  for (size_t I = 0; I < N; I++) {
    L.Nodes[I]->Item = L.Items[I];
    L.Nodes[I]->Next = I + 1 < N ? L.Nodes[I + 1] : nullptr;
  }
  L.Head = N > 0 ? L.Nodes[0] : nullptr;
}

void Free_List(Laid_Out_List& L) {
  if (L.Own_Block) std::free(L.Block);
  L.Block = nullptr, L.Own_Block = false;
  L.Nodes.clear();
  L.Head = nullptr;
}

namespace {

__attribute__((format(printf, 1, 2))) List_Verdict Fault(const char* Format, ...) {
  char Text[200];
  std::va_list Arguments;
  va_start(Arguments, Format);
  std::vsnprintf(Text, sizeof Text, Format, Arguments);
  va_end(Arguments);
  return List_Verdict{Text};
}

/* splitmix64's finaliser: every bit of the item moves every bit of the result. */
uint64_t Mix_Seed(uint64_t Z) {
  Z = (Z ^ (Z >> 30)) * 0xbf58476d1ce4e5b9u;
  Z = (Z ^ (Z >> 27)) * 0x94d049bb133111ebu;
  return Z ^ (Z >> 31);
}

/* Two order-blind sums over the items: equal multisets give equal sums,
** and unequal ones the same pair only by a 2^-128 chance. */
std::pair<uint64_t, uint64_t> Multiset_Sums(const std::vector<int32_t>& Items) {
  uint64_t A = 0, B = 0;
  for (int32_t Item : Items) {
    uint64_t V = static_cast<uint32_t>(Item);
    A += Mix_Seed(V + 0x9e3779b97f4a7c15u), B += Mix_Seed(V ^ 0xd1b54a32d192ed03u);
  }
  return {A, B};
}

/* One entry per node laid out, by its place in the input. */
struct Node_Entry {
  int32_t Item;  // what the routine left in the node
  int32_t Seen;
};

/* Walks the list from L.Head. A node met is ours exactly when its address
** is a slot of the block, found by arithmetic without reading there; each
** is read once, whole, so a node changed meanwhile cannot make the walk
** read outside. Stops at a node not ours or met twice, with its fault;
** Walked gets the items in list order. */
List_Verdict Walk_Bounded(const Laid_Out_List& L, std::vector<Node_Entry>& Entries, std::vector<int32_t>& Walked) {
  size_t N = L.Nodes.size();
  std::vector<int32_t> Input_Of(N);  // per slot, the place in the input of its node
  for (size_t I = 0; I < N; I++)
    Input_Of[static_cast<size_t>(reinterpret_cast<char*>(L.Nodes[I]) - L.Block) / Node_Slot_Bytes] = int32_t(I);
  Walked.reserve(N);
  uintptr_t Block = reinterpret_cast<uintptr_t>(L.Block);
  for (const SL_Node* Node = L.Head; Node != nullptr;) {
    uintptr_t Address = reinterpret_cast<uintptr_t>(Node);
    size_t Position = Walked.size() + 1;  // as a person counts, from 1
    if (Address < Block || (Address - Block) % Node_Slot_Bytes != 0 || (Address - Block) / Node_Slot_Bytes >= N)
      return Fault("a node it was not given stands at position %zu", Position);
    int32_t Input = Input_Of[(Address - Block) / Node_Slot_Bytes];
    Node_Entry& E = Entries[static_cast<size_t>(Input)];
    if (E.Seen)
      return Fault("the list runs into a cycle: position %zu is node %d of the input again, seen before", Position,
                   Input + 1);
    SL_Node Copy;
    std::memcpy(&Copy, Node, sizeof Copy);
    E.Seen = 1, E.Item = Copy.Item;
    Walked.push_back(Copy.Item);
    Node = Copy.Next;
  }
  return List_Verdict{};
}

}  // namespace

List_Verdict Check_List(Laid_Out_List& L) {
  size_t N = L.Nodes.size();
  ZOR_ASSERT(L.Items.size() == N);
  std::vector<Node_Entry> Entries(N);
  std::vector<int32_t> Walked;  // the items, in list order
  List_Verdict Verdict = Walk_Bounded(L, Entries, Walked);
  if (!Verdict.Fault.empty()) return Verdict;

  /* First the nodes, since a lost node also upsets the items; then the
  ** order; then the items themselves. */
  if (Walked.size() < N) {
    size_t Lost = 0;
    while (Entries[Lost].Seen) Lost++;
    SL_Node Copy;
    std::memcpy(&Copy, L.Nodes[Lost], sizeof Copy);
    return Fault("the list ends after %zu of %zu nodes: node %zu of the input (holding %d) is lost", Walked.size(), N,
                 Lost + 1, Copy.Item);
  }
  for (size_t P = 1; P < N; P++)
    if (Walked[P] < Walked[P - 1])
      return Fault("items do not ascend at position %zu: %d after %d", P + 1, Walked[P], Walked[P - 1]);
  /* The items are those given when two sums of a strong mix of every
  ** item agree; only then, to say where they differ, is the input sorted. */
  if (Multiset_Sums(Walked) == Multiset_Sums(L.Items)) return List_Verdict{};
  std::vector<int32_t> Sorted_Items(L.Items);
  std::sort(Sorted_Items.begin(), Sorted_Items.end());
  for (size_t P = 0; P < N; P++)
    if (Walked[P] != Sorted_Items[P])
      return Fault("position %zu holds %d where the sorted input has %d (not a permutation)", P + 1, Walked[P],
                   Sorted_Items[P]);
  return List_Verdict{};
}
