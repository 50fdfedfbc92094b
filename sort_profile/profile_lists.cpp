/*
** profile_lists.cpp
** Orders, lay-out, reset and the judgement of a sorted list.
*/
#include "profile_lists.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <unordered_map>

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

Laid_Out_List Lay_Out_List(const std::vector<int32_t>& Items) {
  Laid_Out_List L{nullptr, std::vector<SL_Node*>(Items.size()), Items};
  for (size_t I = 0; I < Items.size(); I++) {
    L.Nodes[I] = static_cast<SL_Node*>(std::malloc(sizeof(SL_Node)));
    if (L.Nodes[I] == nullptr) {
      std::fputs("sort_profile: out of memory laying out a list\n", stderr);
      std::exit(2);
    }
  }
  Reset_List(L);
  return L;
}

void Reset_List(Laid_Out_List& L) {
  size_t N = L.Nodes.size();
  for (size_t I = 0; I < N; I++) {
    L.Nodes[I]->Item = L.Items[I];
    L.Nodes[I]->Next = I + 1 < N ? L.Nodes[I + 1] : nullptr;
  }
  L.Head = N > 0 ? L.Nodes[0] : nullptr;
}

void Free_List(Laid_Out_List& L) {
  for (SL_Node* Node : L.Nodes) std::free(Node);
  L.Nodes.clear();
  L.Head = nullptr;
}

static List_Verdict Fault(const char* Format, long long A, long long B = 0, long long C = 0) {
  char Text[200];
  std::snprintf(Text, sizeof Text, Format, A, B, C);
  return List_Verdict{Text};
}

List_Verdict Check_List(const Laid_Out_List& L) {
  size_t N = L.Nodes.size();
  std::unordered_map<const SL_Node*, size_t> Index;
  Index.reserve(N);
  for (size_t I = 0; I < N; I++) Index.emplace(L.Nodes[I], I);
  std::vector<char> Seen(N, 0);
  std::vector<int32_t> Sorted_Items(L.Items);
  std::sort(Sorted_Items.begin(), Sorted_Items.end());

  /* First the nodes, since a lost or foreign node also upsets the
  ** items; then the order; then the items themselves. */
  size_t Position = 0;
  for (const SL_Node* Node = L.Head; Node != nullptr; Node = Node->Next, Position++) {
    auto Found = Index.find(Node);
    if (Found == Index.end())
      return Fault("a node it was not given stands at position %lld (it holds %lld)", (long long)Position, Node->Item);
    if (Seen[Found->second]) {
      /* Only nodes it was given have been read so far, so this is a loop. */
      return Fault("the list runs into a cycle: position %lld is node %lld of the input again, seen before",
                   (long long)Position, (long long)Found->second);
    }
    Seen[Found->second] = 1;
  }
  if (Position < N) {
    size_t Lost = 0;
    while (Seen[Lost]) Lost++;
    return Fault("the list ends after %lld of %lld nodes: node %lld of the input (holding %lld) is lost",
                 (long long)Position, (long long)N, (long long)Lost);
  }
  Position = 1;
  for (const SL_Node* Node = L.Head; Node != nullptr && Node->Next != nullptr; Node = Node->Next, Position++)
    if (Node->Next->Item < Node->Item)
      return Fault("items do not ascend at position %lld: %lld after %lld", (long long)Position, Node->Next->Item,
                   Node->Item);
  Position = 0;
  for (const SL_Node* Node = L.Head; Node != nullptr; Node = Node->Next, Position++)
    if (Node->Item != Sorted_Items[Position])
      return Fault("position %lld holds %lld where the sorted input has %lld (not a permutation)", (long long)Position,
                   Node->Item, Sorted_Items[Position]);
  return List_Verdict{};
}
