/*
** read_int32.cpp
** A "%d" entry that cannot overflow.
*/
#include "common/read_int32.h"

#include <cctype>

bool Read_Int32(std::FILE* In, int32_t* Value) {
  int C = std::getc(In);
  while (C != EOF && std::isspace(C)) C = std::getc(In);
  bool Negative = false;
  if (C == '+' || C == '-') {
    Negative = C == '-';
    C = std::getc(In);
  }
  if (C == EOF || !std::isdigit(C)) {
    if (C != EOF) std::ungetc(C, In);
    return false;
  }
  /* Every digit is consumed, as "%d" would; the magnitude stops growing
  ** once it is past any 32-bit value, so it cannot overflow either. */
  constexpr int64_t Past_Any_Int32 = int64_t{1} << 31;
  int64_t Magnitude = 0;
  while (C != EOF && std::isdigit(C)) {
    if (Magnitude <= Past_Any_Int32) Magnitude = Magnitude * 10 + (C - '0');
    C = std::getc(In);
  }
  if (C != EOF) std::ungetc(C, In);
  if (Magnitude > (Negative ? Past_Any_Int32 : Past_Any_Int32 - 1)) return false;
  *Value = static_cast<int32_t>(Negative ? -Magnitude : Magnitude);
  return true;
}

bool Read_Harness_Entry(std::FILE* In, int32_t Max, int32_t* Value, int* Terminator) {
  *Value = 0;
  bool Read = Read_Int32(In, Value);
  if (Read) {
    int C = std::getc(In);
    if (C != EOF) *Terminator = C;
  }
  return Read && *Terminator == '\n' && *Value >= 0 && *Value <= Max;
}
