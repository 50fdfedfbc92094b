/* Gives the right items back in the right order, but in new nodes. */
#include <stdlib.h>

#include "../hostile_sort_routines/stash.h"
#include "insertion_sort.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  Insertion_Sort(Head);
  for (SL_Node** Link = Head; *Link != NULL; Link = &(*Link)->Next) {
    SL_Node* Copy = malloc(sizeof *Copy);
    *Copy = **Link;
    Keep(*Link);
    *Link = Copy;
  }
}
