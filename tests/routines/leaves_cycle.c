/* Sorts, then links the last node of a list of four or more back to the head. */
#include "insertion_sort.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  Insertion_Sort(Head);
  if (Length(*Head) >= 4) {
    SL_Node* Last = *Head;
    while (Last->Next != NULL) Last = Last->Next;
    Last->Next = *Head;
  }
}
