/* Correct: a counting sort of the nodes by their item's bytes, least
** significant first: four passes, each counting the nodes per byte value
** (256 counts), then linking each node after the last of its value. N on
** every order. */
#include <stddef.h>
#include <string.h>

#include "sort_bench.h"

enum { Buckets = 256 };

static void Pass(SL_Node** Head, int Shift) {
  SL_Node* First[Buckets];
  SL_Node* Last[Buckets];
  memset(First, 0, sizeof First);
  for (SL_Node* Node = *Head; Node != NULL;) {
    SL_Node* Next = Node->Next;
    /* Flipping the top bit puts negative items first. */
    unsigned Byte = ((uint32_t)Node->Item ^ 0x80000000u) >> Shift & 0xffu;
    if (First[Byte] == NULL) First[Byte] = Node;
    else Last[Byte]->Next = Node;
    Last[Byte] = Node;
    Node = Next;
  }
  SL_Node** Link = Head;
  for (int B = 0; B < Buckets; B++)
    if (First[B] != NULL) *Link = First[B], Link = &Last[B]->Next;
  *Link = NULL;
}

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  for (int Shift = 0; Shift < 32; Shift += 8) Pass(Head, Shift);
}
