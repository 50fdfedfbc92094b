/*
** merge_sort.h
** A plain top-down merge sort of a counted list, correct on every list:
** the hostile routines that are wrong only somewhere use it everywhere
** else, so that nothing but their one fault can be found.
*/
#ifndef HOSTILE_MERGE_SORT_H
#define HOSTILE_MERGE_SORT_H

#include <stddef.h>

#include "sort_bench.h"

static inline SL_Node* Merge(SL_Node* A, SL_Node* B) {
  SL_Node Head;
  SL_Node* Tail = &Head;
  while (A != NULL && B != NULL) {
    if (B->Item < A->Item) Tail->Next = B, B = B->Next;
    else Tail->Next = A, A = A->Next;
    Tail = Tail->Next;
  }
  Tail->Next = A != NULL ? A : B;
  return Head.Next;
}

static inline SL_Node* Merge_Sort(SL_Node* List, size_t Count) {
  if (Count < 2) {
    if (List != NULL) List->Next = NULL;
    return List;
  }
  SL_Node* Middle = List;
  for (size_t I = 1; I < Count / 2; I++) Middle = Middle->Next;
  SL_Node* Second = Middle->Next;
  return Merge(Merge_Sort(List, Count / 2), Merge_Sort(Second, Count - Count / 2));
}

#endif
