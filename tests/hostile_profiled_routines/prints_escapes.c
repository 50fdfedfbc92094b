/* Prints a terminal's escapes (clear the screen, set the window's
** title, move the cursor home) around a line that looks like a pass,
** on both its outputs, then aborts: what it printed must be shown, if at
** all, as its own output and escaped. */
#include <stdio.h>
#include <stdlib.h>

#include "sort_bench.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)Head;
  (void)K;
  (void)X;
  const char Forged[] = "\033[2J\033[H\033]0;all sorted\007PASS: 140 cases\n";
  fputs(Forged, stdout);
  fflush(stdout);
  fputs(Forged, stderr);
  abort();
}
