/* Dies inside the sort, as a routine that dereferences a bad pointer
** would; abort() does it without undefined behaviour. */
#include <stdlib.h>

#include "sort_bench.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)Head;
  (void)K;
  (void)X;
  abort();
}
