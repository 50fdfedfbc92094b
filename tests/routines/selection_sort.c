/* Correct: a selection sort that moves the least node of what is left to
** the end of the sorted part. N^2 on every order: each pass reads all that
** is left, sorted or not. */
#include <stddef.h>

#include "sort_bench.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  SL_Node* Sorted = NULL;
  SL_Node** Sorted_Tail = &Sorted;
  while (*Head != NULL) {
    SL_Node** Least = Head;
    for (SL_Node** At = &(*Head)->Next; *At != NULL; At = &(*At)->Next)
      if ((*At)->Item < (*Least)->Item) Least = At;
    SL_Node* Node = *Least;
    *Least = Node->Next;
    Node->Next = NULL;
    *Sorted_Tail = Node;
    Sorted_Tail = &Node->Next;
  }
  *Head = Sorted;
}
