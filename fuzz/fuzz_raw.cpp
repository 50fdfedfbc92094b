/*
** fuzz_raw.cpp
** Raw as the sort harness reads it: a list of exactly the file's whole
** items, in file order, ending in a null Next.
*/
#include <cstdlib>

#include "fuzz/fuzz_check.h"
#include "sort_bench/sl_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size / 4 > static_cast<size_t>(Max_List_Items)) return 0;  // the harness ends the run there, by design
  std::string Keep;
  std::FILE* In = Stream_Of(Data, Size, Keep);
  SL_Node* Head = nullptr;
  int32_t Count = -1;
  Build_SL_List_From(In, "Raw", &Head, &Count);
  FUZZ_HOLDS(static_cast<size_t>(Count) == Size / 4);
  size_t Walked = 0;
  for (SL_Node* Node = Head; Node != nullptr; Walked++) {
    FUZZ_HOLDS(Walked < Size / 4);
    int32_t Item;
    std::memcpy(&Item, Data + 4 * Walked, 4);
    FUZZ_HOLDS(Node->Item == Item);
    SL_Node* Next = Node->Next;
    std::free(Node);
    Node = Next;
  }
  FUZZ_HOLDS(Walked == Size / 4);
  return 0;
}
