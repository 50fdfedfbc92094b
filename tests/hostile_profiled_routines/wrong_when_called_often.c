/* A merge sort that counts its calls in a static, as a routine with a
** pool of its own that it never gives back might, and from its 300th
** call in a process on leaves every list as it was. Only the verdict's
** timing calls one worker that often (hundreds of short lists in a row);
** the correctness phase's worker sorts fewer than 300 lists. */
#include <stddef.h>

#include "merge_sort.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  static int Calls;
  (void)K;
  (void)X;
  if (++Calls >= 300) return;
  size_t Count = 0;
  for (SL_Node* Node = *Head; Node != NULL; Node = Node->Next) Count++;
  *Head = Merge_Sort(*Head, Count);
}
