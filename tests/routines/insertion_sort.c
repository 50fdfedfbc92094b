/* Correct, and N^2: the profile must name that growth. */
#include "insertion_sort.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  Insertion_Sort(Head);
}
