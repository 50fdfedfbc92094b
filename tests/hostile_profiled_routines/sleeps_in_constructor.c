/* Sorts right, but a static constructor of its own sleeps for ten
** minutes first, so its program never reaches the judge: the judge must
** end it by the wall-time limit, with no process number to end it by. */
#include <unistd.h>

#include "../routines/insertion_sort.h"

__attribute__((constructor)) static void Sleep_First(void) { sleep(600); }

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  Insertion_Sort(Head);
}
