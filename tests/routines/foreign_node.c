/* Sorts, then puts a node of its own in place of the second one. */
#include <stdlib.h>

#include "../hostile_sort_routines/stash.h"
#include "insertion_sort.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  Insertion_Sort(Head);
  if (Length(*Head) >= 3) {
    SL_Node* Own = malloc(sizeof *Own);
    Keep(Own);
    Keep((*Head)->Next);
    *Own = *(*Head)->Next;
    (*Head)->Next = Own;
  }
}
