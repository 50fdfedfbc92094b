/*
** grade_state.cpp
** A student's grade: the one of a program never run, and the grade saved
** in the output folder and read back: one
** "key value" line per field, newlines and backslashes in a value escaped,
** so a rerun rebuilds every output from it exactly as it was.
*/
#include "grade/student_grade.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <sstream>

#include "common/staged_file.h"
#include "common/whole_file.h"
#include "sort_profile/profile_lists.h"

const char* const Failure_Count_Key[Number_Of_Failure_Counts] = {
    "crashed",  "time_limit", "memory_limit", "output_limit", "process_limit", "asked_for_input", "reached_outside",
    "bad_exit", "no_output",  "bad_output",   "trace_differs", "not_run"};
const char* const Rule_Key[Number_Of_Rules] = {"records",    "arrival", "route", "service",  "servers",
                                               "first_come", "no_idle", "queue", "reference"};

namespace {

constexpr char State_Header[] = "zor_grade state 3";

std::string Escaped(const std::string& Value) {
  std::string Out;
  for (char C : Value) Out += C == '\\' ? std::string("\\\\") : C == '\n' ? std::string("\\n") : std::string(1, C);
  return Out;
}

std::string Unescaped(const std::string& Value) {
  std::string Out;
  for (size_t I = 0; I < Value.size(); I++) {
    if (Value[I] == '\\' && I + 1 < Value.size()) Out += Value[++I] == 'n' ? '\n' : Value[I];
    else Out += Value[I];
  }
  return Out;
}

/* A number as text that reads back as the same number. */
std::string Exact(double Value) {
  char Text[64];
  std::snprintf(Text, sizeof Text, "%.17g", Value);
  return Text;
}

/* Every field by its key, as text, both ways. */
std::map<std::string, std::string> Fields_Of(const Student_Grade& G) {
  char Score[64], Seconds[64];
  std::snprintf(Score, sizeof Score, "%.17g", G.Score);
  std::snprintf(Seconds, sizeof Seconds, "%.17g", G.Seconds);
  std::map<std::string, std::string> F = {
      {"id", G.Id}, {"verdict", G.Verdict}, {"score", Score}, {"passed", std::to_string(G.Passed)},
      {"run", std::to_string(G.Run)}, {"made_up_passed", std::to_string(G.Made_Up_Passed)},
      {"made_up_run", std::to_string(G.Made_Up_Run)}, {"first_rule", G.First_Rule},
      {"shrunk_size", std::to_string(G.Shrunk_Size)}, {"seconds", Seconds}, {"reason", G.Reason},
      {"hash", G.Hash}, {"feedback", G.Feedback}, {"picture", G.Picture}, {"day_marks", G.Day_Marks}};
  char Ratio[64], Layout[64];
  std::snprintf(Ratio, sizeof Ratio, "%.17g", G.Time_Ratio);
  std::snprintf(Layout, sizeof Layout, "%.17g", G.Layout_Ratio);
  F["k"] = std::to_string(G.K), F["x"] = std::to_string(G.X), F["time_ratio"] = Ratio, F["layout_ratio"] = Layout;
  F["profiler_output"] = G.Profiler_Output;
  F["worst_order"] = std::to_string(G.Worst_Order), F["ratio_low"] = Exact(G.Ratio_Low), F["ratio_high"] = Exact(G.Ratio_High);
  for (int O = 0; O < Number_Of_Orders; O++) {
    F[std::string("growth_") + Order_Name[O]] = size_t(O) < G.Growth.size() ? G.Growth[size_t(O)] : "";
    F[std::string("ratio_") + Order_Name[O]] = Exact(size_t(O) < G.Order_Ratio.size() ? G.Order_Ratio[size_t(O)] : 0);
  }
  for (int R = 0; R < Number_Of_Rules; R++) F[std::string("rule_") + Rule_Key[R]] = std::to_string(G.Rule_Days[R]);
  for (int C = 0; C < Number_Of_Failure_Counts; C++) F[Failure_Count_Key[C]] = std::to_string(G.Failure_Days[C]);
  return F;
}

void Take_Fields(std::map<std::string, std::string>& F, Student_Grade* G) {
  auto Int = [&F](const std::string& Key) { return std::atoi(F[Key].c_str()); };
  G->Id = F["id"], G->Verdict = F["verdict"], G->First_Rule = F["first_rule"], G->Reason = F["reason"];
  G->Hash = F["hash"], G->Feedback = F["feedback"], G->Picture = F["picture"];
  G->Day_Marks = F["day_marks"], G->Profiler_Output = F["profiler_output"];
  G->K = Int("k"), G->X = Int("x");
  G->Time_Ratio = std::strtod(F["time_ratio"].c_str(), nullptr);
  G->Layout_Ratio = std::strtod(F["layout_ratio"].c_str(), nullptr);
  G->Worst_Order = Int("worst_order");
  G->Ratio_Low = std::strtod(F["ratio_low"].c_str(), nullptr), G->Ratio_High = std::strtod(F["ratio_high"].c_str(), nullptr);
  G->Growth.clear(), G->Order_Ratio.clear();
  for (int O = 0; O < Number_Of_Orders; O++) {
    G->Growth.push_back(F[std::string("growth_") + Order_Name[O]]);
    G->Order_Ratio.push_back(std::strtod(F[std::string("ratio_") + Order_Name[O]].c_str(), nullptr));
  }
  if (std::all_of(G->Growth.begin(), G->Growth.end(), [](const std::string& W) { return W.empty(); }))
    G->Growth.clear(), G->Order_Ratio.clear();
  G->Score = std::strtod(F["score"].c_str(), nullptr), G->Seconds = std::strtod(F["seconds"].c_str(), nullptr);
  G->Passed = Int("passed"), G->Run = Int("run"), G->Shrunk_Size = Int("shrunk_size");
  G->Made_Up_Passed = Int("made_up_passed"), G->Made_Up_Run = Int("made_up_run");
  for (int R = 0; R < Number_Of_Rules; R++) G->Rule_Days[R] = Int(std::string("rule_") + Rule_Key[R]);
  for (int C = 0; C < Number_Of_Failure_Counts; C++) G->Failure_Days[C] = Int(Failure_Count_Key[C]);
}

}  // namespace

bool Save_Grade(const std::string& Path, const Student_Grade& G) {
  Staged_File F;
  if (!Begin_Staged_File(&F, Path.c_str())) return false;
  std::fprintf(F.Out, "%s\n", State_Header);
  for (const auto& [Key, Value] : Fields_Of(G)) std::fprintf(F.Out, "%s %s\n", Key.c_str(), Escaped(Value).c_str());
  return Finish_Staged_File(&F, Path.c_str());
}

bool Load_Grade(const std::string& Path, Student_Grade* G) {
  std::string Text;
  if (!Read_Whole_File(Path, &Text)) return false;
  std::istringstream In(Text);
  std::string Line;
  if (!std::getline(In, Line) || Line != State_Header) return false;
  std::map<std::string, std::string> F;
  while (std::getline(In, Line)) {
    size_t Space = Line.find(' ');
    if (Space == std::string::npos) return false;
    F[Line.substr(0, Space)] = Unescaped(Line.substr(Space + 1));
  }
  if (F.size() != Fields_Of(Student_Grade{}).size()) return false;
  Take_Fields(F, G);
  G->Reused = true;
  return true;
}

Student_Grade Ungraded(const char* Title, const std::string& Id, const char* Verdict, const std::string& Reason,
                       const std::string& More) {
  Student_Grade G;
  G.Id = Id, G.Verdict = Verdict, G.Reason = Reason;
  std::string Sentence = Reason;
  if (!Sentence.empty()) Sentence[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(Sentence[0])));
  G.Feedback = std::string(Title) + ": " + Id + "\nVerdict: " + Verdict + ". Score: 0.\n\n" + Sentence + ".\n";
  if (!More.empty()) G.Feedback += "\n" + More + "\n";
  return G;
}
