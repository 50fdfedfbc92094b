/* Correct: a merge sort without recursion, merging runs of 1, 2, 4, ...
** nodes in passes over the list. N log N on every order. */
#include <stddef.h>

#include "sort_bench.h"

/* Cuts Count nodes off the front of List; returns what is left. */
static SL_Node* Cut(SL_Node* List, size_t Count) {
  for (size_t I = 1; List != NULL && I < Count; I++) List = List->Next;
  if (List == NULL) return NULL;
  SL_Node* Rest = List->Next;
  List->Next = NULL;
  return Rest;
}

/* Merges A and B after Tail; returns the new tail. */
static SL_Node* Merge_After(SL_Node* Tail, SL_Node* A, SL_Node* B) {
  while (A != NULL && B != NULL) {
    if (B->Item < A->Item) Tail->Next = B, B = B->Next;
    else Tail->Next = A, A = A->Next;
    Tail = Tail->Next;
  }
  Tail->Next = A != NULL ? A : B;
  while (Tail->Next != NULL) Tail = Tail->Next;
  return Tail;
}

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  size_t Length = 0;
  for (SL_Node* Node = *Head; Node != NULL; Node = Node->Next) Length++;
  SL_Node Front = {0, *Head};
  for (size_t Width = 1; Width < Length; Width *= 2) {
    SL_Node* Rest = Front.Next;
    SL_Node* Tail = &Front;
    while (Rest != NULL) {
      SL_Node* A = Rest;
      SL_Node* B = Cut(A, Width);
      Rest = Cut(B, Width);
      Tail = Merge_After(Tail, A, B);
    }
  }
  *Head = Front.Next;
}
