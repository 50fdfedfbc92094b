/* Appends K nodes of its own, holding -1, -2, ..., to the end of the list. */
#include <stddef.h>
#include <stdlib.h>

#include "stash.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)X;
  SL_Node** Link = Head;
  while (*Link != NULL) Link = &(*Link)->Next;
  for (int32_t I = 1; I <= K; I++) {
    SL_Node* Node = malloc(sizeof *Node);
    if (Node == NULL) abort();
    Node->Item = -I;
    Node->Next = NULL;
    Keep(Node);
    *Link = Node;
    Link = &Node->Next;
  }
}
