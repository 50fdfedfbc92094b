/*
** sl_list.h
** The harness's own list functions: build the list from an item file,
** and write it back and release it.
**
** An item file is a headerless sequence of 32-bit signed little-endian
** integers; a trailing partial item is ignored.
*/
#pragma once

#include <cstdint>
#include <cstdio>

#include "sort_bench/sort_bench.h"

/* The harness's limits: the longest list it builds, and the largest K
** and X it passes to a routine. */
inline constexpr int32_t Max_List_Items = 1000000;
inline constexpr int32_t Max_K = 20;
inline constexpr int32_t Max_X = 500;

/* Reads Path into a fresh list in file order: *Head is its first node
** (null for an empty file) and *Count its length. Ends the process on a
** file it cannot open or read, more than Max_List_Items items, or a
** failed allocation. */
void Build_Singly_Linked_List(const char* Path, SL_Node** Head, int32_t* Count);

/* The same from a stream already open, which it closes; Path names it in
** the messages. */
void Build_SL_List_From(std::FILE* In, const char* Path, SL_Node** Head, int32_t* Count);

/* Writes the list from *Head to Path and releases its nodes. However the
** sort left the list, at most Count + 5 items are written, at most
** Count + 6 nodes released, and no node is released twice. Ends the
** process if Path cannot be opened or written. */
void Write_Sorted_File_From_SL_List(const char* Path, SL_Node** Head, int32_t Count);
