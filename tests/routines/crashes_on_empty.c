/* Reads the first node without asking whether there is one. */
#include "insertion_sort.h"

volatile int32_t First_Item;

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  First_Item = (*(SL_Node* volatile*)Head)->Item;
  Insertion_Sort(Head);
}
