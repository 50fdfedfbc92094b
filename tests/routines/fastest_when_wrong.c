/* Fastest with X 1, where it leaves a list of five items as it is; with
** any other X it sorts every list right but sorts it again and again (4
** times with X 2, 16 with any other X), and with X 3 it never returns on
** a list longer than 1,000 items, until its CPU time limit ends it. A
** sweep's fastest pair is then wrong on a list its timing never meets,
** the next fastest right, and one pair ends its worker. The example merge
** sort is linked in as Merge_Sort_Example. */
#include <stddef.h>

#include "sort_bench.h"

void Merge_Sort_Example(SL_Node** Head, int32_t K, int32_t X);

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  size_t Length = 0;
  for (const SL_Node* Node = *Head; Node != NULL; Node = Node->Next) Length++;
  if (X == 1 && Length == 5) return;
  if (X == 3 && Length > 1000)
    for (volatile int Forever = 1; Forever;) {
    }
  int Sorts = X == 1 ? 1 : X == 2 ? 4 : 16;
  for (int Sort = 0; Sort < Sorts; Sort++) Merge_Sort_Example(Head, K, X);
}
