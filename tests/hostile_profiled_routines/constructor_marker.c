/* Sorts right, but a static constructor of its own appends its process
** number to a marker in the system's temporary folder (MARKER, a path
** the build gives) in every process the routine is linked into. */
#include <stdio.h>
#include <unistd.h>

#include "../routines/insertion_sort.h"

__attribute__((constructor)) static void Leave_Marker(void) {
  FILE* Marker = fopen(MARKER, "a");
  if (Marker == NULL) return;
  fprintf(Marker, "%ld\n", (long)getpid());
  fclose(Marker);
}

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K;
  (void)X;
  Insertion_Sort(Head);
}
