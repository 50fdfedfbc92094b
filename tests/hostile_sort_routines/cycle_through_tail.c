/* Leaves the list circular: the tail points back at node K (0 = head). */
#include <stddef.h>

#include "sort_bench.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)X;
  SL_Node* Entry = NULL;
  SL_Node* Tail = NULL;
  int32_t Index = 0;
  for (SL_Node* Node = *Head; Node != NULL; Node = Node->Next, Index++) {
    if (Index == K) Entry = Node;
    Tail = Node;
  }
  if (Tail != NULL && Entry != NULL) Tail->Next = Entry;
}
