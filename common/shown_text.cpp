/*
** shown_text.cpp
** Escaping a program's text for terminals, files and spreadsheets.
*/
#include "common/shown_text.h"

#include <cstdio>

namespace {

/* The code point of a well-formed sequence of Length bytes. */
unsigned Code_Point(const std::string& Text, size_t At, size_t Length) {
  static const unsigned Lead_Mask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  unsigned Point = static_cast<unsigned char>(Text[At]) & Lead_Mask[Length];
  for (size_t K = 1; K < Length; K++) Point = (Point << 6) | (static_cast<unsigned char>(Text[At + K]) & 0x3F);
  return Point;
}

/* The C1 controls act on a terminal as the C0 ones do; the directional
** overrides and isolates reorder what follows them on the line; U+FFFE
** and U+FFFF are no characters at all, and XML refuses them. */
bool Escaped_Code_Point(unsigned Point) {
  return (Point >= 0x80 && Point <= 0x9F) || (Point >= 0x202A && Point <= 0x202E) ||
         (Point >= 0x2066 && Point <= 0x2069) || Point == 0xFFFE || Point == 0xFFFF;
}

}  // namespace

size_t Utf8_Sequence_Length(const std::string& Text, size_t At) {
  auto Byte = [&Text](size_t I) { return static_cast<unsigned char>(Text[I]); };
  unsigned char C = Byte(At);
  size_t Length = C < 0x80                          ? 1
                  : (C >> 5) == 0x6 && C >= 0xC2    ? 2
                  : (C >> 4) == 0xE                 ? 3
                  : (C >> 3) == 0x1E && C <= 0xF4   ? 4
                                                    : 0;
  if (Length == 0 || At + Length > Text.size()) return 0;
  for (size_t K = 1; K < Length; K++)
    if ((Byte(At + K) & 0xC0) != 0x80) return 0;
  /* Overlong forms and UTF-16 surrogates are not UTF-8 either. */
  if (Length == 3 && ((C == 0xE0 && Byte(At + 1) < 0xA0) || (C == 0xED && Byte(At + 1) >= 0xA0))) return 0;
  if (Length == 4 && ((C == 0xF0 && Byte(At + 1) < 0x90) || (C == 0xF4 && Byte(At + 1) >= 0x90))) return 0;
  return Length;
}

std::string Visible_Text(const std::string& Text) {
  std::string Out;
  Out.reserve(Text.size());
  char Escape[12];
  for (size_t I = 0; I < Text.size();) {
    unsigned char C = static_cast<unsigned char>(Text[I]);
    size_t Length = Utf8_Sequence_Length(Text, I);
    if (Length == 0 || (Length == 1 && (C < 0x20 || C == 0x7F) && C != '\n' && C != '\t')) {
      std::snprintf(Escape, sizeof Escape, "\\x%02x", C);
      Out += Escape;
      I++;
      continue;
    }
    unsigned Point = Code_Point(Text, I, Length);
    if (Length > 1 && Escaped_Code_Point(Point)) {
      std::snprintf(Escape, sizeof Escape, "\\u%04x", Point);
      Out += Escape;
    } else {
      Out.append(Text, I, Length);
    }
    I += Length;
  }
  return Out;
}

std::string Csv_Cell(const std::string& Text) {
  bool Formula = !Text.empty() && std::string("=+-@\t\r").find(Text[0]) != std::string::npos;
  std::string Cell = Formula ? "'" + Text : Text;
  if (Cell.find_first_of(",\"\r\n") == std::string::npos) return Cell;
  std::string Quoted = "\"";
  for (char C : Cell) Quoted += C == '"' ? std::string("\"\"") : std::string(1, C);
  return Quoted + "\"";
}
