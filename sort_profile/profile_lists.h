/*
** profile_lists.h
** The lists a sort routine is profiled on: their orders, laid out as the
** harness lays them out (one allocation per node, in list order), reset
** between repetitions, and judged after the routine has run.
*/
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sort_bench/sort_bench.h"

/* The orders a routine is tried on. Random comes from several seeds. */
enum List_Order {
  Order_Random, Order_Ascending, Order_Descending, Order_Equal, Order_Few_Distinct,
  Order_Organ_Pipe, Order_Sawtooth, Order_Extremes, Number_Of_Orders
};
extern const char* const Order_Name[Number_Of_Orders];

/* The items of a list of Count in Order; Seed varies the random ones. */
std::vector<int32_t> Items_In_Order(int Order, int64_t Count, uint32_t Seed);

/* Where a list's nodes lie in memory. In allocation order, as the
** harness builds a list, each node follows the one before it; scattered,
** as a list is after it has been relinked (sorted once, or built over
** time), the same nodes are linked in a random order of their addresses,
** and every step of a walk may miss the caches. */
enum Node_Layout { Layout_Allocation, Layout_Scattered, Number_Of_Layouts };
extern const char* const Layout_Name[Number_Of_Layouts];

/* A list of a node per item in one block of slots, a slot a node, as
** the harness's allocations of one node each lie when made in a row (a
** node of 16 bytes takes 32 of the allocator's). Nodes[i] holds Items[i]:
** in allocation order Nodes is the order of the slots; scattered, it is
** a shuffle of it drawn from Seed. A block of one place lets a judge tell
** a node of the list from any other address without reading there, and
** lets the block be memory shared with the process that sorts it. */
inline constexpr size_t Node_Slot_Bytes = 32;
static_assert(sizeof(SL_Node) <= Node_Slot_Bytes && Node_Slot_Bytes % alignof(SL_Node) == 0);

struct Laid_Out_List {
  SL_Node* Head;
  std::vector<SL_Node*> Nodes;
  std::vector<int32_t> Items;
  char* Block;     // Items.size() slots
  bool Own_Block;  // allocated here, and freed by Free_List
};

Laid_Out_List Lay_Out_List(const std::vector<int32_t>& Items, Node_Layout Layout = Layout_Allocation,
                           uint32_t Seed = 1);

/* The same in a block the caller holds, of at least Items.size() slots. */
Laid_Out_List Lay_Out_List_In(char* Block, const std::vector<int32_t>& Items, Node_Layout Layout = Layout_Allocation,
                              uint32_t Seed = 1);

/* Puts every node back as it was laid out: the same nodes, items and
** links, so each repetition sorts the list the harness would build. */
void Reset_List(Laid_Out_List& L);

void Free_List(Laid_Out_List& L);

/* What is wrong with the list after the routine, at the first place it
** shows: Fault is empty when the list is right. */
struct List_Verdict {
  std::string Fault;
};

/* Walks the list from L.Head and checks that it ends with a null Next,
** holds every node exactly once and no other (by address), ascends, and
** is a permutation of the items. An address outside the block is never
** read, each node is read once (another process may still write them),
** and the nodes are left as the routine left them. */
List_Verdict Check_List(Laid_Out_List& L);
