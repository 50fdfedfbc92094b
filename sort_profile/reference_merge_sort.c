/*
** reference_merge_sort.c
** The profiler's yardstick: a top-down merge sort by relinking, N log N
** on every order, against which a routine's growth and time are read.
** It is the profiler's own and kept apart from examples/sorts/merge_sort.c
** on purpose: that file is the user's to copy and change, and a change
** to it must never move the verdict bands.
*/
#include <stddef.h>

#include "sort_profile/reference_merge_sort.h"

/* Merges two ascending lists into one; on equal items the first list's
** node comes first, which keeps the sort stable. */
static SL_Node* Merge_Reference_Lists(SL_Node* A, SL_Node* B) {
  SL_Node Start;
  SL_Node* Tail = &Start;
  while (A != NULL && B != NULL) {
    if (B->Item < A->Item) {
      Tail->Next = B;
      B = B->Next;
    } else {
      Tail->Next = A;
      A = A->Next;
    }
    Tail = Tail->Next;
  }
  Tail->Next = A != NULL ? A : B;
  return Start.Next;
}

/* Cuts the list after its middle node and returns the second half: the
** fast pointer takes two steps for each step of the slow one. */
static SL_Node* Split_Reference_List(SL_Node* List) {
  SL_Node* Slow = List;
  SL_Node* Fast = List->Next;
  while (Fast != NULL && Fast->Next != NULL) {
    Slow = Slow->Next;
    Fast = Fast->Next->Next;
  }
  SL_Node* Second = Slow->Next;
  Slow->Next = NULL;
  return Second;
}

static SL_Node* Sort_Reference_List(SL_Node* List) {
  if (List == NULL || List->Next == NULL) return List;
  SL_Node* Second = Split_Reference_List(List);
  return Merge_Reference_Lists(Sort_Reference_List(List), Sort_Reference_List(Second));
}

void Reference_Merge_Sort(SL_Node** Head) { *Head = Sort_Reference_List(*Head); }
