/* Correct: a quicksort on the list itself, its pivot the median of the
** items a quarter, a half and three quarters in (first, middle and last
** would make an organ pipe N^2), parted three ways (less, equal, more) so
** that equal items end a part. N log N on every order the profile makes. */
#include <stddef.h>

#include "sort_bench.h"

static int32_t Median_Of_Three(int32_t A, int32_t B, int32_t C) {
  if (A > B) { int32_t T = A; A = B; B = T; }
  if (B > C) B = C;
  return A > B ? A : B;
}

/* Sorts List of Count nodes; returns its head and sets *Tail. */
static SL_Node* Quick(SL_Node* List, size_t Count, SL_Node** Tail) {
  if (Count <= 1) {
    *Tail = List;
    return List;
  }
  SL_Node *At = List, *Quarter = List, *Middle = List, *Three_Quarters = List;
  for (size_t I = 1; I <= Count / 4 * 3; I++) {
    At = At->Next;
    if (I == Count / 4) Quarter = At;
    if (I == Count / 2) Middle = At;
    if (I == Count / 4 * 3) Three_Quarters = At;
  }
  int32_t Pivot = Median_Of_Three(Quarter->Item, Middle->Item, Three_Quarters->Item);
  SL_Node *Less = NULL, *Equal = NULL, *More = NULL, *Equal_Tail = NULL;
  size_t Less_Count = 0, More_Count = 0;
  for (SL_Node *Node = List, *Next; Count-- > 0; Node = Next) {
    Next = Node->Next;
    if (Node->Item < Pivot) Node->Next = Less, Less = Node, Less_Count++;
    else if (Node->Item > Pivot) Node->Next = More, More = Node, More_Count++;
    else {
      if (Equal == NULL) Equal_Tail = Node;
      Node->Next = Equal, Equal = Node;
    }
  }
  SL_Node *Less_Tail = NULL, *More_Tail = NULL;
  Less = Quick(Less, Less_Count, &Less_Tail);
  More = Quick(More, More_Count, &More_Tail);
  Equal_Tail->Next = More;
  *Tail = More != NULL ? More_Tail : Equal_Tail;
  if (Less == NULL) return Equal;
  Less_Tail->Next = Equal;
  return Less;
}

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  size_t Count = 0;
  for (SL_Node* Node = *Head; Node != NULL; Node = Node->Next) Count++;
  SL_Node* Tail = NULL;
  *Head = Quick(*Head, Count, &Tail);
  if (Tail != NULL) Tail->Next = NULL;
}
