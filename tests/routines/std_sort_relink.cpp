// Correct: copies the nodes' addresses into an array, sorts it with
// std::sort by item, and links the nodes again in that order. N log N on
// every order, with a walk and an allocation beside the sort.
#include <algorithm>
#include <vector>

#include "sort_bench.h"

extern "C" void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  std::vector<SL_Node*> Nodes;
  for (SL_Node* Node = *Head; Node != nullptr; Node = Node->Next) Nodes.push_back(Node);
  std::sort(Nodes.begin(), Nodes.end(), [](const SL_Node* A, const SL_Node* B) { return A->Item < B->Item; });
  SL_Node** Link = Head;
  for (SL_Node* Node : Nodes) *Link = Node, Link = &Node->Next;
  *Link = nullptr;
}
