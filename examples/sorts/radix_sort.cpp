/*
** radix_sort.cpp
** A fast routine for the sort harness: most-significant-digit radix
** sort, in C++.
**
** Chasing Next pointers through a scattered list costs a cache miss per
** node, so the list is walked only twice: once to copy each item and its
** node's address into an array (the build left the nodes in file order,
** so this walk is cheap), and once, at the end, to relink the nodes in
** sorted order. In between, the array is sorted by digits of K bits from
** the top, moving between two arrays; a bucket holding fewer than X
** items is finished by insertion sort, which beats further radix passes
** on short runs.
**
** The two arrays take 32 bytes per item of fresh memory. Faulting that
** in 4 KiB pages costs more than the sort itself on some machines, so
** the arrays are one block asked for in huge pages where the system
** offers them (Linux transparent huge pages); elsewhere it is plain
** memory and only slower.
**
** K: digit width in bits, 1 .. 16 (0 picks 10; larger values act as 16).
** X: insertion-sort cut-off in items (0 sorts every bucket by digits
**    down to the last bit).
*/
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <sys/mman.h>

#include "sort_bench.h"

namespace {

struct Entry {
  uint32_t Key;  // the item with its sign bit flipped, so unsigned order is signed order
  SL_Node* Node;
};

struct Radix {
  int32_t Digit_Bits;
  size_t Cut_Off;
  std::vector<std::vector<size_t>> Counts;  // one table per depth, reused across buckets
};

void Insertion_Sort(Entry* A, size_t N) {
  for (size_t I = 1; I < N; I++) {
    Entry E = A[I];
    size_t J = I;
    for (; J > 0 && A[J - 1].Key > E.Key; J--) A[J] = A[J - 1];
    A[J] = E;
  }
}

/* Sorts Src[0 .. N) on its lowest Bits_Left bits (the higher ones are
** equal). The result ends in Src when In_Src, else in Tmp; each digit
** pass moves the entries to the other array, so the flag flips with
** each level. */
void Sort_Digits(Radix& R, Entry* Src, Entry* Tmp, size_t N, int32_t Bits_Left, bool In_Src, int32_t Depth) {
  if (N < R.Cut_Off || N < 2 || Bits_Left == 0) {
    if (N >= 2 && Bits_Left > 0) Insertion_Sort(Src, N);
    if (!In_Src) std::memcpy(Tmp, Src, N * sizeof(Entry));
    return;
  }
  int32_t Width = Bits_Left < R.Digit_Bits ? Bits_Left : R.Digit_Bits;
  int32_t Shift = Bits_Left - Width;
  size_t Buckets = size_t{1} << Width;
  uint32_t Mask = static_cast<uint32_t>(Buckets - 1);
  std::vector<size_t>& Count = R.Counts[static_cast<size_t>(Depth)];
  std::fill(Count.begin(), Count.begin() + static_cast<std::ptrdiff_t>(Buckets) + 1, 0);
  for (size_t I = 0; I < N; I++) Count[((Src[I].Key >> Shift) & Mask) + 1]++;
  for (size_t B = 1; B <= Buckets; B++) Count[B] += Count[B - 1];
  for (size_t I = 0; I < N; I++) Tmp[Count[(Src[I].Key >> Shift) & Mask]++] = Src[I];
  /* Count[B] is now where bucket B ends; bucket 0 starts at 0. */
  size_t Start = 0;
  for (size_t B = 0; B < Buckets; B++) {
    size_t End = Count[B];
    Sort_Digits(R, Tmp + Start, Src + Start, End - Start, Shift, !In_Src, Depth + 1);
    Start = End;
  }
}

/* Room for N entries in each of two arrays, in huge pages if offered. */
Entry* Allocate_Entries(size_t N) {
  constexpr size_t Huge_Page = size_t{2} << 20;
  size_t Bytes = (2 * N * sizeof(Entry) + Huge_Page - 1) / Huge_Page * Huge_Page;
  void* Block = std::aligned_alloc(Huge_Page, Bytes);
#ifdef MADV_HUGEPAGE
  if (Block != nullptr) madvise(Block, Bytes, MADV_HUGEPAGE);
#endif
  return static_cast<Entry*>(Block);
}

}  // namespace

extern "C" void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  size_t N = 0;
  for (SL_Node* Node = *Head; Node != nullptr; Node = Node->Next) N++;
  if (N < 2) return;
  Entry* Entries = Allocate_Entries(N);
  if (Entries == nullptr) return;  // no memory to sort with: the list stays as it was
  Entry* Scratch = Entries + N;
  size_t I = 0;
  for (SL_Node* Node = *Head; Node != nullptr; Node = Node->Next)
    Entries[I++] = Entry{static_cast<uint32_t>(Node->Item) ^ 0x80000000u, Node};

  Radix R;
  R.Digit_Bits = K <= 0 ? 10 : K > 16 ? 16 : K;
  R.Cut_Off = static_cast<size_t>(X < 0 ? 0 : X);
  R.Counts.assign(32 / static_cast<size_t>(R.Digit_Bits) + 2, std::vector<size_t>((size_t{1} << R.Digit_Bits) + 1));
  Sort_Digits(R, Entries, Scratch, N, 32, true, 0);

  for (I = 0; I + 1 < N; I++) Entries[I].Node->Next = Entries[I + 1].Node;
  Entries[N - 1].Node->Next = nullptr;
  *Head = Entries[0].Node;
  std::free(Entries);
}
