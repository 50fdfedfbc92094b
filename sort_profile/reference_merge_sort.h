/*
** reference_merge_sort.h
** The merge sort every routine is measured against (see the .c file).
*/
#pragma once

#include "sort_bench/sort_bench.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Sorts the list ascending by relinking its nodes; stable. */
void Reference_Merge_Sort(SL_Node** Head);

#ifdef __cplusplus
}
#endif
