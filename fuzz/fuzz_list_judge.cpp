/*
** fuzz_list_judge.cpp
** The list a user's routine hands back, as the profiler judges it: any
** relinking of the nodes it was given, with nodes of its own mixed in,
** gets a fault exactly when it is not an ascending list of every node it
** was given, each once; the fault named is the first one there is; and
** the nodes' items are left as the routine left them.
*/
#include <algorithm>
#include <set>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "sort_profile/profile_lists.h"

namespace {

/* What is wrong with the list, worked out plainly: a foreign node, a
** cycle, a node lost, a descent, other items; or nothing. */
std::string Expected_Fault(const Laid_Out_List& L) {
  std::set<const SL_Node*> Ours(L.Nodes.begin(), L.Nodes.end()), Seen;
  std::vector<int32_t> Items;
  for (const SL_Node* Node = L.Head; Node != nullptr; Node = Node->Next) {
    if (Ours.count(Node) == 0) return "a node it was not given";
    if (!Seen.insert(Node).second) return "the list runs into a cycle";
    Items.push_back(Node->Item);
  }
  if (Items.size() < L.Nodes.size()) return "the list ends after";
  if (!std::is_sorted(Items.begin(), Items.end())) return "items do not ascend";
  std::vector<int32_t> Given = L.Items;
  std::sort(Given.begin(), Given.end());
  std::vector<int32_t> Have = Items;
  std::sort(Have.begin(), Have.end());
  return Have == Given ? "" : "position";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  Fuzz_Input In{Data, Size};
  size_t Count = Take_Number(In, 0) % 40;
  std::vector<int32_t> Items;
  for (size_t I = 0; I < Count; I++) Items.push_back(static_cast<int32_t>(Take_Number(In, uint32_t(I))) % 9);
  Laid_Out_List L = Lay_Out_List(Items);
  std::vector<SL_Node> Foreign(3);
  for (SL_Node& F : Foreign) F.Item = 4, F.Next = nullptr;
  /* Each node's Next, and the head: one of ours, one of its own, or null. */
  auto Node_Of = [&](uint32_t Choice) -> SL_Node* {
    if (Choice % 16 == 0) return nullptr;
    if (Choice % 16 == 1) return &Foreign[Choice / 16 % Foreign.size()];
    return Count == 0 ? nullptr : L.Nodes[Choice / 16 % Count];
  };
  bool Scramble = In.Size > 0;
  if (Scramble) {
    for (size_t I = 0; I < Count; I++) L.Nodes[I]->Next = Node_Of(Take_Number(In, 0));
    L.Head = Node_Of(Take_Number(In, 2));
  }
  std::vector<int32_t> Left_As_Is;
  for (SL_Node* Node : L.Nodes) Left_As_Is.push_back(Node->Item);
  std::string Expected = Expected_Fault(L);
  List_Verdict V = Check_List(L);
  FUZZ_HOLDS(V.Fault.rfind(Expected, 0) == 0 && V.Fault.empty() == Expected.empty());
  for (size_t I = 0; I < Count; I++) FUZZ_HOLDS(L.Nodes[I]->Item == Left_As_Is[I]);
  Free_List(L);
  return 0;
}
