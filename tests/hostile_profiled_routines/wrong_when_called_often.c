/* A merge sort that counts its calls in a static, as a routine with a
** pool of its own that it never gives back might, and from its 300th
** call in a process on leaves every list as it was. Only the verdict's
** timing calls one worker that often (hundreds of short lists in a row);
** the correctness phase's worker sorts fewer than 300 lists. */
#include <stddef.h>

#include "sort_bench.h"

static SL_Node* Merge(SL_Node* A, SL_Node* B) {
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

static SL_Node* Merge_Sort(SL_Node* List, size_t Count) {
  if (Count < 2) {
    if (List != NULL) List->Next = NULL;
    return List;
  }
  SL_Node* Middle = List;
  for (size_t I = 1; I < Count / 2; I++) Middle = Middle->Next;
  SL_Node* Second = Middle->Next;
  return Merge(Merge_Sort(List, Count / 2), Merge_Sort(Second, Count - Count / 2));
}

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  static int Calls;
  (void)K;
  (void)X;
  if (++Calls >= 300) return;
  size_t Count = 0;
  for (SL_Node* Node = *Head; Node != NULL; Node = Node->Next) Count++;
  *Head = Merge_Sort(*Head, Count);
}
