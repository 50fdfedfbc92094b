/*
** fuzz_trace.cpp
** ZOR_Debug_Out as the simulator checker reads it, against the trace of a
** small day made from the input's first bytes: the comparison finds no
** difference exactly when the text is the reference's, and otherwise
** names a line that does differ.
*/
#include <vector>

#include "fuzz/fuzz_check.h"
#include "model_rules/model_rules.h"
#include "simulator/trace_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  Fuzz_Input In{Data, Size};
  uint32_t Shape = Take_Number(In, 0);
  std::vector<Customer_Parameters> Day(1 + Shape % 6);
  for (size_t C = 0; C < Day.size(); C++) {
    uint32_t Times = Take_Number(In, 0);
    bool X_Ray = Times & 1, Ekg = Times & 2;
    int32_t T = static_cast<int32_t>(Times >> 2);
    Day[C] = {T % 7, T % 5, 1 + T % 11, X_Ray ? T % 3 : 0, X_Ray ? 1 + T % 13 : 0, Ekg ? T % 4 : 0, Ekg ? 1 + T % 9 : 0,
              T % 6};
  }
  int32_t Servers[Number_Of_Stations] = {1 + int32_t(Shape >> 8) % 2, 1, 1 + int32_t(Shape >> 9) % 2};
  std::vector<Customer_Results> Results(Day.size());
  std::vector<Trace_Event> Trace;
  Day_Summary Summary;
  Simulate_Day(Day.data(), static_cast<int32_t>(Day.size()), Servers, Results.data(), &Summary, &Trace);
  std::string Reference = Trace_Header();
  for (const Trace_Event& E : Trace) Reference += Trace_Line(E);

  /* Half the inputs try the reference itself, cut or altered at one byte. */
  std::string Text(reinterpret_cast<const char*>(In.Data), In.Size);
  if (Shape & 0x10000) {
    std::string Changed = Reference;
    if (!Text.empty() && !Changed.empty()) {
      size_t At = static_cast<unsigned char>(Text[0]) * 7 % Changed.size();
      if (Shape & 0x20000) Changed.resize(At);
      else Changed[At] = Text.size() > 1 ? Text[1] : 'x';
    }
    Text = Changed;
  }
  Trace_Difference D = Compare_Trace(Text, Trace);
  FUZZ_HOLDS((D.Line == 0) == (Text == Reference || Text == Reference.substr(0, Reference.size() - 1)));
  if (D.Line == 0) return 0;
  FUZZ_HOLDS(D.Line <= Trace.size() + 2);
  FUZZ_HOLDS(D.Expected != D.Found);
  return 0;
}
