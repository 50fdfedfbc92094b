/*
** fuzz_shown_text.cpp
** A program's text made safe to show, against what that must mean, worked
** out here another way: what Visible_Text gives is well-formed XML
** character data once its markup characters are escaped (libxml2 says
** so), holds no control byte but the newline and the tab, no C1 control
** and no mark that reorders a line, and shows the same again; and a CSV
** cell reads back, unquoted, as the text or as the text led by an
** apostrophe, never starting as a formula.
*/
#include <libxml/parser.h>

#include "common/shown_text.h"
#include "fuzz/fuzz_check.h"

namespace {

bool Is_Xml_Text(const std::string& Text) {
  std::string Page = "<a>";
  for (char C : Text) Page += C == '<' ? "&lt;" : C == '&' ? "&amp;" : C == '>' ? "&gt;" : std::string(1, C);
  Page += "</a>";
  xmlDocPtr Document = xmlReadMemory(Page.data(), static_cast<int>(Page.size()), "text.xml", "UTF-8",
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  bool Read = Document != nullptr;
  xmlFreeDoc(Document);
  return Read;
}

bool Holds_Nothing_That_Acts(const std::string& Shown) {
  for (size_t I = 0; I < Shown.size(); I++) {
    unsigned char C = static_cast<unsigned char>(Shown[I]);
    if ((C < 0x20 && C != '\n' && C != '\t') || C == 0x7F) return false;
    unsigned char Next = I + 1 < Shown.size() ? static_cast<unsigned char>(Shown[I + 1]) : 0;
    unsigned char Third = I + 2 < Shown.size() ? static_cast<unsigned char>(Shown[I + 2]) : 0;
    if (C == 0xC2 && Next >= 0x80 && Next <= 0x9F) return false;  // U+0080 .. U+009F
    if (C == 0xE2 && Next == 0x80 && Third >= 0xAA && Third <= 0xAE) return false;  // U+202A .. U+202E
    if (C == 0xE2 && Next == 0x81 && Third >= 0xA6 && Third <= 0xA9) return false;  // U+2066 .. U+2069
  }
  return true;
}

/* The cell as a spreadsheet reads it: its quotes taken away. */
bool Unquoted(const std::string& Cell, std::string* Value) {
  if (Cell.empty() || Cell[0] != '"') {
    *Value = Cell;
    return Cell.find_first_of(",\"\r\n") == std::string::npos;
  }
  if (Cell.size() < 2 || Cell.back() != '"') return false;
  Value->clear();
  for (size_t I = 1; I + 1 < Cell.size(); I++) {
    if (Cell[I] == '"' && (I + 2 >= Cell.size() || Cell[++I] != '"')) return false;
    *Value += Cell[I];
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::string Text(reinterpret_cast<const char*>(Data), Size);
  std::string Shown = Visible_Text(Text);
  FUZZ_HOLDS(Holds_Nothing_That_Acts(Shown));
  FUZZ_HOLDS(Visible_Text(Shown) == Shown);
  FUZZ_HOLDS(Shown.size() <= 6 * Text.size());
  if (Text.find('\0') == std::string::npos) FUZZ_HOLDS(Is_Xml_Text(Shown));

  std::string Value;
  FUZZ_HOLDS(Unquoted(Csv_Cell(Text), &Value));
  bool Formula = !Text.empty() && std::string("=+-@\t\r").find(Text[0]) != std::string::npos;
  FUZZ_HOLDS(Value == (Formula ? "'" + Text : Text));
  return 0;
}
