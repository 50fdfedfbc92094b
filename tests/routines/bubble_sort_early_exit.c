/* Correct: a bubble sort that swaps items and stops after a pass with no
** swap, as a first course teaches it. N on ascending and equal lists (one
** pass finds nothing to swap), N^2 on the others. */
#include <stddef.h>

#include "sort_bench.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  SL_Node* Sorted_From = NULL;  // the nodes from here on are in place
  for (int Swapped = 1; Swapped && *Head != NULL;) {
    Swapped = 0;
    SL_Node* Node = *Head;
    for (; Node->Next != Sorted_From; Node = Node->Next)
      if (Node->Item > Node->Next->Item) {
        int32_t Item = Node->Item;
        Node->Item = Node->Next->Item;
        Node->Next->Item = Item;
        Swapped = 1;
      }
    Sorted_From = Node;
  }
}
