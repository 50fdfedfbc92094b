/* Correct, but sleeps two seconds on a list of 17 items in descending
** order, as a routine blocked for a while would: it takes wall-clock
** time and no CPU time. */
#include <unistd.h>

#include "insertion_sort.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  int Descending = Length(*Head) == 17;
  for (const SL_Node* Node = *Head; Descending && Node->Next != NULL; Node = Node->Next)
    Descending = Node->Item > Node->Next->Item;
  if (Descending) sleep(2);
  Insertion_Sort(Head);
}
