/*
** reference_rule.cpp
** The last rule, equality with the reference simulator, and the trace
** compared with the reference's line by line.
**
** With the model's tie rules there is exactly one result that keeps every
** other rule, so this rule is reported only when no other rule is broken:
** then the difference is a gap in the other rules.
*/
#include <algorithm>

#include "common/zor_stations.h"
#include "model_rules/model_rules.h"
#include "model_rules/rule_tally.h"
#include "simulator/trace_lines.h"

void Check_Reference(Rule_Tally& T, const std::vector<Customer_Parameters>& Day,
                     const std::vector<Customer_Results>& Records, const int32_t Servers[Number_Of_Stations]) {
  std::vector<Customer_Results> Reference(Day.size());
  Day_Summary Summary;
  Simulate_Day(Day.data(), static_cast<int32_t>(Day.size()), Servers, Reference.data(), &Summary);
  for (size_t K = 0; K < Day.size(); K++) {
    int64_t Customer = static_cast<int64_t>(K) + 1;
    if (K >= Records.size()) {
      Note(T, Rule_Reference, Customer, -1, "(record)", When{Before_Any_Instant, 0, Customer}, "a record", "none");
      continue;
    }
    int32_t Want[Results_Fields], Got[Results_Fields];
    Fields_Of(Reference[K], Want);
    Fields_Of(Records[K], Got);
    for (int F = 0; F < Results_Fields; F++) {
      if (Want[F] == Got[F]) continue;
      int S = Station_Of_Field(F);
      /* A station's server or queue differs from the instant the customer got there. */
      int64_t Instant = S >= 0 ? Visit_Value(Reference[K], S, Arrived_Field) : std::min(Want[F], Got[F]);
      Note(T, Rule_Reference, Customer, S, Customer_Results_Field_Name[F], When{Instant, Phase_Arrival, Customer},
           Text_Of(Want[F]), Text_Of(Got[F]));
      break;
    }
  }
}

Trace_Difference Compare_Trace(const std::string& Trace, const std::vector<Trace_Event>& Reference) {
  size_t At = 0;
  auto Next_Line = [&Trace, &At](std::string* Line) {
    if (At >= Trace.size()) return false;
    size_t End = Trace.find('\n', At);
    if (End == std::string::npos) End = Trace.size();
    *Line = Trace.substr(At, End - At);
    At = End + 1;
    return true;
  };
  auto Without_Newline = [](std::string Line) {
    if (!Line.empty() && Line.back() == '\n') Line.pop_back();
    return Line;
  };
  for (size_t Line = 1; Line <= Reference.size() + 1; Line++) {
    std::string Expected = Without_Newline(Line == 1 ? Trace_Header() : Trace_Line(Reference[Line - 2])), Found;
    if (!Next_Line(&Found)) return Trace_Difference{Line, Expected, "(end of file)"};
    if (Found != Expected) return Trace_Difference{Line, Expected, Found};
  }
  std::string Found;
  if (Next_Line(&Found)) return Trace_Difference{Reference.size() + 2, "(end of file)", Found};
  return Trace_Difference{0, "", ""};
}
