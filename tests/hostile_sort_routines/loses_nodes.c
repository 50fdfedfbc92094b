/* Unlinks every second node, leaving the others in their order. */
#include <stddef.h>

#include "stash.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  for (SL_Node* Node = *Head; Node != NULL && Node->Next != NULL; Node = Node->Next) {
    Keep(Node->Next);
    Node->Next = Node->Next->Next;
  }
}
