/* Correct: a quicksort that takes the first node as its pivot, as many
** first versions do. N log N on random items, N^2 on sorted ones. */
#include <stddef.h>

#include "sort_bench.h"

static SL_Node* Quick_Sort(SL_Node* List, SL_Node** Tail) {
  if (List == NULL) {
    *Tail = NULL;
    return NULL;
  }
  SL_Node* Pivot = List;
  SL_Node *Less = NULL, *More = NULL;
  for (SL_Node* Node = List->Next; Node != NULL;) {
    SL_Node* Next = Node->Next;
    SL_Node** Into = Node->Item < Pivot->Item ? &Less : &More;
    Node->Next = *Into;
    *Into = Node;
    Node = Next;
  }
  SL_Node *Less_Tail, *More_Tail;
  Less = Quick_Sort(Less, &Less_Tail);
  Pivot->Next = Quick_Sort(More, &More_Tail);
  *Tail = More_Tail != NULL ? More_Tail : Pivot;
  if (Less == NULL) return Pivot;
  Less_Tail->Next = Pivot;
  return Less;
}

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  SL_Node* Tail;
  *Head = Quick_Sort(*Head, &Tail);
}
