/* Points the head node at itself, cutting off the rest of the list. */
#include <stddef.h>

#include "stash.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  if (*Head == NULL) return;
  for (SL_Node* Node = (*Head)->Next; Node != NULL; Node = Node->Next) Keep(Node);
  (*Head)->Next = *Head;
}
