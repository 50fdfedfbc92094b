/*
** report_words.cpp
** The sentences the teacher's page says of a grading: its battery or its
** sorts' checks, and the battery's days of another kind than students
** draw, so that a failure on one reads as what it is.
*/
#include "grade/report_words.h"

#include <algorithm>
#include <cstdio>

#include "grade/battery_notes.h"
#include "simulator_checker/battery.h"

std::string Battery_Sentence(const Simulator_Settings& Z, Battery_Source Source) {
  int Made_Up = std::min(Z.Days, Made_Up_Days());
  char Text[300];
  std::snprintf(Text, sizeof Text, "A battery of %d days (%d made up, %d generated), %s; at most %g s per day.",
                Z.Days, Made_Up, Z.Days - Made_Up,
                Source == Battery_From_Phrase ? "drawn from the secret phrase (change it between rounds of resubmission)"
                : Source == Battery_From_Seed ? "drawn from the seed given"
                                              : "the public battery (seed 1), which students can test with",
                Z.Limits.Cpu_Seconds);
  return Text;
}

std::string Sort_Sentence(const Sort_Settings& Z) {
  char Text[300];
  std::snprintf(Text, sizeof Text, "Each routine checked on every kind of list up to %lld items, then timed against "
                "the kit's merge sort up to %lld items, one routine at a time; at most %g s per sort.",
                static_cast<long long>(Z.Check_Items), static_cast<long long>(Z.Max_Items), Z.Time_Limit);
  return Text;
}

std::vector<Battery_Note> Battery_Notes(const Simulator_Settings& Z) {
  std::vector<Battery_Note> Notes;
  for (int I = 0; I < Z.Days; I++) {
    Trial_Day T = Battery_Day(I, Z.Battery);
    std::string Outside = Why_Not_Drawn(T.Day);
    if (I < Made_Up_Days() || !Outside.empty())
      Notes.push_back({I + 1, Label_Without_Seed(T.What), Outside, I < Made_Up_Days()});
  }
  return Notes;
}
