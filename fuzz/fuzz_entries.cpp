/*
** fuzz_entries.cpp
** The entry reader behind every prompt, against the entries the kit
** accepts, worked out here another way: white space, an optional sign and
** at least one digit, of a value that fits 32 bits; the reader stops right
** after the digits. For the sort harness, the entry must then be followed
** by the return key and lie in range.
*/
#include <cctype>

#include "common/read_int32.h"
#include "fuzz/fuzz_check.h"

namespace {

struct Expected {
  bool Accepted;
  int64_t Value;
  size_t Next;  // the first character after the number
};

Expected Entry_Of(const std::string& Text) {
  size_t At = 0;
  while (At < Text.size() && std::isspace(static_cast<unsigned char>(Text[At]))) At++;
  bool Negative = false;
  if (At < Text.size() && (Text[At] == '+' || Text[At] == '-')) Negative = Text[At++] == '-';
  size_t Digits = At;
  while (At < Text.size() && std::isdigit(static_cast<unsigned char>(Text[At]))) At++;
  if (At == Digits) return Expected{false, 0, At};
  size_t First = Digits;
  while (First + 1 < At && Text[First] == '0') First++;
  if (At - First > 10) return Expected{false, 0, At};
  int64_t Magnitude = std::stoll(Text.substr(First, At - First));
  int64_t Value = Negative ? -Magnitude : Magnitude;
  return Expected{Value >= INT32_MIN && Value <= INT32_MAX, Value, At};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::string Keep;
  Expected Want = Entry_Of(std::string(reinterpret_cast<const char*>(Data), Size));

  std::FILE* In = Stream_Of(Data, Size, Keep);
  int32_t Value = -7;
  bool Read = Read_Int32(In, &Value);
  FUZZ_HOLDS(Read == Want.Accepted);
  if (Read) {
    FUZZ_HOLDS(Value == Want.Value);
    int Next = std::getc(In);
    FUZZ_HOLDS(Next == (Want.Next < Size ? static_cast<unsigned char>(Data[Want.Next]) : EOF));
  } else {
    FUZZ_HOLDS(Value == -7);
  }
  std::fclose(In);

  /* The harness's K, after an X entry ended by a newline. */
  In = Stream_Of(Data, Size, Keep);
  int Terminator = '\n';
  bool Accepted = Read_Harness_Entry(In, 20, &Value, &Terminator);
  bool Ends_Right = Want.Next < Size ? Data[Want.Next] == '\n' : true;
  FUZZ_HOLDS(Accepted == (Want.Accepted && Ends_Right && Want.Value >= 0 && Want.Value <= 20));
  FUZZ_HOLDS(Value == (Want.Accepted ? Want.Value : 0));
  std::fclose(In);
  return 0;
}
