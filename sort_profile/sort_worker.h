/*
** sort_worker.h
** The one place a routine under judgement runs: a worker process that
** holds the routine and nothing that judges it. The judge starts it
** contained, hands it over a socket the memory its lists lie in, and asks
** for one sort at a time; the worker calls the routine on the list at the
** head it is given and answers with the head it got back. What the list
** came to, and how long the sort took, the judge finds out for itself: it
** reads the nodes, and the worker's CPU clock, from outside. The kit's
** reference merge sort runs in the same kind of worker, started from the
** judge's own program, so that both sorts are timed alike.
*/
#pragma once

#include <cstdint>

#include "sort_bench/sort_bench.h"

/* The first argument of a worker; the second is the judge's socket. */
inline constexpr const char Worker_Argument[] = "--zor-sort-worker";

/* Where the lists' memory lies, at the same address in the judge and in
** its worker, so that a node's address means the same node in both. The
** reference's worker has its own, Reference_List_Offset further on. */
inline constexpr uintptr_t Shared_List_Address = uintptr_t(0x300000000000);
inline constexpr uintptr_t Reference_List_Offset = uintptr_t(1) << 40;

using Sort_Routine = void (*)(SL_Node** Head, int32_t K, int32_t X);

/* The worker's side: connects to the judge's socket, maps the memory it
** is handed, and sorts as asked until the judge hangs up. */
[[noreturn]] void Serve_Sorts(const char* Socket_Path, Sort_Routine Sort);
