// The profiler's lists in both layouts: the same items in the same list
// order, on the same kind of nodes; scattered, the walk jumps about in
// memory, and a reset puts back the very links a layout was laid with.
#include <algorithm>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "sort_profile/profile_lists.h"

namespace {

std::vector<const SL_Node*> Walk(const SL_Node* Head) {
  std::vector<const SL_Node*> Nodes;
  for (; Head != nullptr; Head = Head->Next) Nodes.push_back(Head);
  return Nodes;
}

// How many steps of the walk go to a lower address than the step before.
size_t Steps_Back(const std::vector<const SL_Node*>& Nodes) {
  size_t Back = 0;
  for (size_t I = 1; I < Nodes.size(); I++) Back += std::less<const SL_Node*>()(Nodes[I], Nodes[I - 1]);
  return Back;
}

TEST(Profile_Lists, BothLayoutsHoldTheItemsInOrderOnlyTheAddressesDiffer) {
  std::vector<int32_t> Items = Items_In_Order(Order_Random, 1000, 5);
  for (Node_Layout Layout : {Layout_Allocation, Layout_Scattered}) {
    Laid_Out_List L = Lay_Out_List(Items, Layout, 9);
    std::vector<const SL_Node*> Nodes = Walk(L.Head);
    ASSERT_EQ(Nodes.size(), Items.size()) << Layout_Name[Layout];
    for (size_t I = 0; I < Nodes.size(); I++) EXPECT_EQ(Nodes[I]->Item, Items[I]) << Layout_Name[Layout] << " " << I;
    std::vector<const SL_Node*> By_Address(Nodes);
    std::sort(By_Address.begin(), By_Address.end(), std::less<const SL_Node*>());
    EXPECT_EQ(std::adjacent_find(By_Address.begin(), By_Address.end()), By_Address.end()) << "a node twice";
    // Scattered, about half the steps go back; in allocation order few,
    // if any (the allocator may hand back a node freed earlier).
    if (Layout == Layout_Scattered) EXPECT_GT(Steps_Back(Nodes), 400u);
    else EXPECT_LT(Steps_Back(Nodes), 50u);

    // Whatever a routine did to the nodes, a reset lays the same walk.
    for (SL_Node* Node : L.Nodes) Node->Next = L.Nodes.front(), Node->Item = 0;
    L.Head = L.Nodes.back();
    Reset_List(L);
    EXPECT_EQ(Walk(L.Head), Nodes) << Layout_Name[Layout];
    EXPECT_EQ(L.Head->Item, Items[0]);
    Free_List(L);
  }
}

}  // namespace
