/*
** sort_bench.h
** What a sort routine needs to link with libsort_bench.a. Include it
** from C or C++; define Sort_Singly_Linked_List in your own module.
**
** The harness builds the list from the file Raw, calls your routine once,
** then writes the list to Sorted and releases it. Your routine may only
** relink the nodes: when it returns, *Head must address the first node of
** the sorted list, the last node's Next must be null, and every node must
** be one the harness built, none freed. K and X are the two numbers the
** user entered (0 .. 20 and 0 .. 500), passed through unchanged for your
** routine to use as it likes. The item count is not passed: the list ends
** at the null Next.
**
** The harness also defines clock(): in the linked program it returns the
** process's CPU time (user plus system) in microseconds, the same value
** the harness times with, for your module too.
*/
#ifndef SORT_BENCH_H
#define SORT_BENCH_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SL_Node {
  int32_t Item;
  struct SL_Node* Next;
} SL_Node;

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X);

#ifdef __cplusplus
}
#endif

#endif
