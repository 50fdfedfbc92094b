/*
** sl_list.cpp
** Building the item list from Raw, and writing it to Sorted.
**
** Both run inside every measurement the harness reports, so they do no
** more than a buffered block read or write needs: one pass over the file
** and one allocation per node to build; one walk to write and one walk to
** release a well-formed list.
**
** The list comes back from a routine the harness does not trust. Writing
** is bounded by Count + 5 items, so a list that is too long or circular
** still ends; releasing is bounded by Count + 6 nodes and, if the list
** turned out circular, stops where it first comes back on itself, so no
** node is freed twice and no freed node is read.
*/
#include "sort_bench/sl_list.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "common/record_io.h"
#include "common/unfinished_file.h"

namespace {

constexpr int Block_Items = 16384;

[[noreturn]] void Fail(const char* Function, const char* Problem, const char* Path) {
  std::fprintf(stderr, "ERROR in %s\n", Function);
  std::fprintf(stderr, "%s File: %s\n", Problem, Path);
  std::fflush(stderr);
  std::exit(1);
}

[[noreturn]] void Fail_Build(const char* Lines, std::FILE* In) {
  std::fputs("ERROR in Build_Singly_Linked_List\n", stderr);
  std::fputs(Lines, stderr);
  std::fflush(stderr);
  std::fclose(In);
  std::exit(1);
}

}  // namespace

void Build_Singly_Linked_List(const char* Path, SL_Node** Head, int32_t* Count) {
  *Head = nullptr;
  std::FILE* In = Open_Binary_Input(Path);
  if (In == nullptr) Fail("Build_SL_List", "Unable to open", Path);
  Build_SL_List_From(In, Path, Head, Count);
}

void Build_SL_List_From(std::FILE* In, const char* Path, SL_Node** Head, int32_t* Count) {
  *Head = nullptr;
  *Count = 0;
  SL_Node** Link = Head;
  int32_t Block[Block_Items];
  size_t Read;
  while ((Read = Read_Int32_Items(In, Block, Block_Items)) > 0) {
    for (size_t I = 0; I < Read; I++) {
      if (++*Count > Max_List_Items) {
        char Limit[160];
        std::snprintf(Limit, sizeof Limit, "%s exceeds %d\nFile size: %d <= N <= %d\n", Path, Max_List_Items, 0,
                      Max_List_Items);
        Fail_Build(Limit, In);
      }
      SL_Node* Node = static_cast<SL_Node*>(std::malloc(sizeof(SL_Node)));
      if (Node == nullptr) Fail_Build("malloc returned NULL\n", In);
      Node->Item = Block[I];
      *Link = Node;
      Link = &Node->Next;
    }
  }
  *Link = nullptr;
  /* A read error is not the end of the file: timing a sort of part of
  ** Raw as if it were all of it would be a wrong result. */
  if (std::ferror(In)) Fail("Build_Singly_Linked_List", "Unable to read", Path);
  std::fclose(In);
}

namespace {

/* The number of distinct nodes of a circular list from Head up to where
** it first comes back on itself, or -1 if the list ends. Brent's method
** finds the cycle's length reading only Next; a second pass, one cycle
** length apart, finds where the cycle starts. */
int64_t Nodes_Before_Return(SL_Node* Head) {
  if (Head == nullptr) return -1;
  SL_Node* Tortoise = Head;
  SL_Node* Hare = Head->Next;
  int64_t Power = 1, Cycle_Length = 1;
  while (Hare != Tortoise) {
    if (Hare == nullptr) return -1;
    if (Power == Cycle_Length) {
      Tortoise = Hare;
      Power *= 2;
      Cycle_Length = 0;
    }
    Hare = Hare->Next;
    Cycle_Length++;
  }
  Tortoise = Hare = Head;
  for (int64_t I = 0; I < Cycle_Length; I++) Hare = Hare->Next;
  int64_t Lead_In = 0;
  while (Tortoise != Hare) {
    Tortoise = Tortoise->Next;
    Hare = Hare->Next;
    Lead_In++;
  }
  return Lead_In + Cycle_Length;
}

/* Writes at most Count + 5 items of the list to Path; returns whether
** the walk stopped at the bound rather than at the null end. */
bool Write_Bounded(const char* Path, SL_Node* Head, int32_t Count) {
  const char* Writer = "Write_Sorted_File_From_SL_List";
  std::FILE* Out = std::fopen(Path, "wb");
  if (Out == nullptr) Fail(Writer, "Unable to open", Path);
  /* Interrupted while writing, the run empties Sorted, as after a
  ** failed write: a Sorted cut short must not pass for a sorted Raw. */
  Begin_Unfinished_Contents(fileno(Out));

  const int64_t Write_Limit = int64_t{Count} + 5;
  int32_t Block[Block_Items];
  int Filled = 0;
  int64_t Written = 0;
  SL_Node* Node = Head;
  bool Failed = false;
  for (; Node != nullptr && Written < Write_Limit; Node = Node->Next, Written++) {
    Block[Filled++] = Node->Item;
    if (Filled == Block_Items) {
      Failed |= !Write_Int32_Items(Out, Block, Block_Items);
      Filled = 0;
    }
  }
  Failed |= !Write_Int32_Items(Out, Block, size_t(Filled));
  /* The close flushes the stream's own buffer: a full disk may show only here. */
  Failed |= std::fflush(Out) != 0;
  Finish_Unfinished_Contents(fileno(Out));
  Failed |= std::fclose(Out) != 0;
  /* A Sorted cut short must not pass for a sorted Raw: empty it. */
  if (Failed) {
    if (truncate(Path, 0) != 0) {
    }
    Fail(Writer, "Unable to write", Path);
  }
  return Node != nullptr;
}

/* Frees at most Count + 6 nodes from Head. A walk that reached the null
** end proved the list well-formed; only a list cut off by the bound can
** be circular, and only then is the cost of looking for the cycle paid,
** so that no node is freed twice. */
void Release_Bounded(SL_Node* Head, int32_t Count, bool Cut_Off) {
  int64_t Release_Limit = int64_t{Count} + 6;
  if (Cut_Off) {
    int64_t Distinct = Nodes_Before_Return(Head);
    if (Distinct >= 0 && Distinct < Release_Limit) Release_Limit = Distinct;
  }
  SL_Node* Node = Head;
  for (int64_t Released = 0; Node != nullptr && Released < Release_Limit; Released++) {
    SL_Node* Next = Node->Next;
    std::free(Node);
    Node = Next;
  }
}

}  // namespace

void Write_Sorted_File_From_SL_List(const char* Path, SL_Node** Head, int32_t Count) {
  bool Cut_Off = Write_Bounded(Path, *Head, Count);
  Release_Bounded(*Head, Count, Cut_Off);
}
