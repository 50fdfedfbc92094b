/*
** insertion_sort.h
** A plain insertion sort by relinking, correct on every list: the broken
** routines use it for the lists they do not break, and bench/ profiles
** it as it is (insertion_sort.c), an N^2 routine of known growth.
*/
#ifndef INSERTION_SORT_H
#define INSERTION_SORT_H

#include <stddef.h>

#include "sort_bench.h"

static inline void Insertion_Sort(SL_Node** Head) {
  SL_Node* Sorted = NULL;
  SL_Node* Node = *Head;
  while (Node != NULL) {
    SL_Node* Next = Node->Next;
    SL_Node** Place = &Sorted;
    while (*Place != NULL && (*Place)->Item <= Node->Item) Place = &(*Place)->Next;
    Node->Next = *Place;
    *Place = Node;
    Node = Next;
  }
  *Head = Sorted;
}

static inline size_t Length(const SL_Node* Node) {
  size_t N = 0;
  for (; Node != NULL; Node = Node->Next) N++;
  return N;
}

#endif
