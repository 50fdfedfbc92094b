/* Correct: a natural merge sort, which merges neighbouring ascending runs
** in passes until one run is left. N on ascending and equal lists (one
** pass finds one run), N log N on random and descending ones. */
#include <stddef.h>

#include "sort_bench.h"

/* Cuts the ascending run at the front of *List off; returns it. */
static SL_Node* Take_Run(SL_Node** List) {
  SL_Node* Run = *List;
  SL_Node* Last = Run;
  while (Last->Next != NULL && Last->Item <= Last->Next->Item) Last = Last->Next;
  *List = Last->Next;
  Last->Next = NULL;
  return Run;
}

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  if (*Head == NULL) return;
  for (;;) {
    SL_Node* Rest = *Head;
    SL_Node* Merged = NULL;
    SL_Node** Tail = &Merged;
    int Runs = 0;
    while (Rest != NULL) {
      SL_Node* A = Take_Run(&Rest);
      SL_Node* B = Rest != NULL ? Take_Run(&Rest) : NULL;
      Runs++;
      while (A != NULL && B != NULL) {
        SL_Node** Least = B->Item < A->Item ? &B : &A;
        *Tail = *Least;
        Tail = &(*Least)->Next;
        *Least = *Tail;
      }
      *Tail = A != NULL ? A : B;
      while (*Tail != NULL) Tail = &(*Tail)->Next;
    }
    *Head = Merged;
    if (Runs == 1) return;
  }
}
