/* Sorts, but drops the second node of a five-item list. */
#include "../hostile_sort_routines/stash.h"
#include "insertion_sort.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  Insertion_Sort(Head);
  if (Length(*Head) == 5) {
    Keep((*Head)->Next);
    (*Head)->Next = (*Head)->Next->Next;
  }
}
