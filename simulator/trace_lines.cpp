/*
** trace_lines.cpp
** The text of the event trace.
*/
#include "simulator/trace_lines.h"

#include <cstdio>

namespace {

const char* const Place_Name[] = {"LAB", "X_RAY", "EKG", "ZOR"};
const char* const Event_Name[] = {"ARRIVE", "START", "DEPART", "LEAVE"};

}  // namespace

std::string Trace_Header() {
  char Line[80];
  std::snprintf(Line, sizeof Line, "%7s %8s %-5s %-6s %6s %7s\n", "Time", "Customer", "Place", "Event", "Server",
                "Waiting");
  return Line;
}

std::string Trace_Line(const Trace_Event& E) {
  char Line[96];
  std::snprintf(Line, sizeof Line, "%7d %8d %-5s %-6s %6d %7d\n", E.Time, E.Customer, Place_Name[E.Place],
                Event_Name[E.Kind], E.Server, E.Waiting);
  return Line;
}
