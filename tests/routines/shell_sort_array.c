/* Correct: copies the items into an array, sorts it with a shell sort
** (gaps 1, 4, 13, 40, ...), and writes them back in list order. Below
** N^1.5 on every order; between N log N and N^2 in theory, near N log N at
** the sizes a profile times. */
#include <stddef.h>
#include <stdlib.h>

#include "sort_bench.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  size_t Count = 0;
  for (SL_Node* Node = *Head; Node != NULL; Node = Node->Next) Count++;
  int32_t* Items = malloc(Count * sizeof *Items + 1);
  if (Items == NULL) return;
  size_t I = 0;
  for (SL_Node* Node = *Head; Node != NULL; Node = Node->Next) Items[I++] = Node->Item;
  size_t Gap = 1;
  while (Gap < Count / 3) Gap = 3 * Gap + 1;
  for (; Gap > 0; Gap /= 3)
    for (size_t J = Gap; J < Count; J++) {
      int32_t Item = Items[J];
      size_t K_At = J;
      for (; K_At >= Gap && Items[K_At - Gap] > Item; K_At -= Gap) Items[K_At] = Items[K_At - Gap];
      Items[K_At] = Item;
    }
  I = 0;
  for (SL_Node* Node = *Head; Node != NULL; Node = Node->Next) Node->Item = Items[I++];
  free(Items);
}
