/*
** grade_files.cpp
** grades.csv, the platform files, feedback and results.json.
*/
#include "grade/grade_files.h"

#include <algorithm>
#include <cstdio>

#include "common/shown_text.h"
#include "common/staged_file.h"
#include "sort_profile/profile_lists.h"

std::string Fixed(double Value, int Decimals) {
  char Text[64];
  std::snprintf(Text, sizeof Text, "%.*f", Decimals, Value);
  return Text;
}

namespace {

/* Writes Text whole under Path. */
bool Write_Staged(const std::string& Path, const std::string& Text) {
  Staged_File F;
  if (!Begin_Staged_File(&F, Path.c_str())) return false;
  std::fwrite(Text.data(), 1, Text.size(), F.Out);
  return Finish_Staged_File(&F, Path.c_str());
}

/* Every cell shown as text: a program's words reach a reason or a
** feedback, and neither a terminal that prints the file nor a
** spreadsheet that opens it may take them for commands. */
std::string Csv_Line(const std::vector<std::string>& Fields) {
  std::string Line;
  for (size_t I = 0; I < Fields.size(); I++) {
    if (I > 0) Line += ',';
    Line += Csv_Cell(Visible_Text(Fields[I]));
  }
  return Line + "\r\n";
}

/* A grade as the platforms take it: a missing or unbuilt submission is 0. */
std::string Score_Text(const Student_Grade& G) { return Fixed(G.Score, 1); }

std::string One_Line_Feedback(const Student_Grade& G, const std::string& Task) {
  std::string Line = G.Verdict;
  if (G.Run > 0 && Task == "sorts")
    Line += ": sorted " + std::to_string(G.Passed) + " of " + std::to_string(G.Run) + " lists right";
  else if (G.Run > 0)
    Line += ": followed the model on " + std::to_string(G.Passed) + " of " + std::to_string(G.Run) + " days";
  if (!G.Reason.empty()) Line += (G.Run > 0 ? "; " : ": ") + G.Reason;
  for (char& C : Line)
    if (C == '\n' || C == '\r') C = ' ';
  return Visible_Text(Line);
}

std::string Json_Test(int Number_Of_Test, const std::string& Name, double Score, double Max_Score,
                      const std::string& Output, const std::string& Tag) {
  return "    {\"name\": " + Json_String(Name) + ", \"number\": \"" + std::to_string(Number_Of_Test) +
         "\", \"score\": " + Fixed(Score, 2) + ", \"max_score\": " + Fixed(Max_Score, 2) +
         ", \"output\": " + Json_String(Visible_Text(Output)) + ", \"tags\": [" + Json_String(Tag) +
         "], \"visibility\": \"visible\"}";
}

std::string Days_Held_Text(int Broken, int Run) {
  if (Run == 0) return "not run";
  if (Broken == 0) return "held on all " + std::to_string(Run) + " days";
  return "broken on " + std::to_string(Broken) + " of " + std::to_string(Run) + " days";
}

}  // namespace

std::vector<std::string> Grades_Csv_Header(const std::string& Task) {
  if (Task == "sorts") {
    std::vector<std::string> H = {"id", "task", "verdict", "score", "cases_passed", "cases_run", "k", "x"};
    for (const char* Order : Order_Name) H.push_back(std::string("growth_") + Order);
    for (const char* Column : {"time_ratio", "layout_ratio", "rank", "seconds", "reason"}) H.push_back(Column);
    return H;
  }
  std::vector<std::string> H = {"id",    "task",       "verdict",     "score",      "days_followed", "days_run",
                                "made_up_followed", "made_up_run", "first_rule", "shrunk_customers", "seconds"};
  for (const char* Key : Failure_Count_Key) H.push_back(Key);
  for (const char* Key : Rule_Key) H.push_back(std::string("rule_") + Key);
  H.push_back("reason");
  return H;
}

std::vector<std::string> Grades_Csv_Row(const Student_Grade& G, const std::string& Task) {
  if (Task == "sorts") {
    bool Built = G.Run > 0;
    std::vector<std::string> R = {G.Id, Task, G.Verdict, Score_Text(G), std::to_string(G.Passed),
                                  std::to_string(G.Run), Built ? std::to_string(G.K) : "",
                                  Built ? std::to_string(G.X) : ""};
    for (size_t O = 0; O < std::size(Order_Name); O++) R.push_back(O < G.Growth.size() ? G.Growth[O] : "");
    R.push_back(G.Time_Ratio > 0 ? Fixed(G.Time_Ratio, 3) : "");
    R.push_back(G.Layout_Ratio > 0 ? Fixed(G.Layout_Ratio, 3) : "");
    R.push_back(G.Rank > 0 ? std::to_string(G.Rank) : "");
    R.push_back(Fixed(G.Seconds, 1));
    R.push_back(G.Reason);
    return R;
  }
  std::vector<std::string> R = {G.Id,
                                Task,
                                G.Verdict,
                                Score_Text(G),
                                std::to_string(G.Passed),
                                std::to_string(G.Run),
                                std::to_string(G.Made_Up_Passed),
                                std::to_string(G.Made_Up_Run),
                                G.First_Rule,
                                G.Shrunk_Size < 0 ? "" : std::to_string(G.Shrunk_Size),
                                Fixed(G.Seconds, 1)};
  for (int Days : G.Failure_Days) R.push_back(std::to_string(Days));
  for (int Days : G.Rule_Days) R.push_back(std::to_string(Days));
  R.push_back(G.Reason);
  return R;
}

bool Write_Grades_Csv(const std::string& Path, const std::vector<Student_Grade>& Grades, const Gradebook_Names& N) {
  std::string Text = Csv_Line(Grades_Csv_Header(N.Task));
  for (const Student_Grade& G : Grades) Text += Csv_Line(Grades_Csv_Row(G, N.Task));
  return Write_Staged(Path, Text);
}

bool Write_Canvas_Csv(const std::string& Path, const std::vector<Student_Grade>& Grades, const Gradebook_Names& N) {
  const std::vector<std::string> Header = {"Student", "ID", "SIS User ID", "SIS Login ID", "Section", N.Assignment};
  std::string Text = Csv_Line(Header);
  for (const Student_Grade& G : Grades) {
    std::vector<std::string> Row = {G.Id, "", "", "", "", Score_Text(G)};
    auto Own = N.Platform_Ids.find(G.Id);
    if (N.Platform == Platform_Canvas && Own != N.Platform_Ids.end()) Row[1] = Own->second;
    else
      for (size_t C = 1; C <= 3; C++)
        if (Header[C] == N.Canvas_Match) Row[C] = G.Id;
    Text += Csv_Line(Row);
  }
  return Write_Staged(Path, Text);
}

bool Write_Moodle_Csv(const std::string& Path, const std::vector<Student_Grade>& Grades, const Gradebook_Names& N) {
  std::string Text = Csv_Line({"Identifier", N.Assignment, "Feedback"});
  for (const Student_Grade& G : Grades) {
    auto Own = N.Platform_Ids.find(G.Id);
    bool Moodles = N.Platform == Platform_Moodle && Own != N.Platform_Ids.end();
    Text += Csv_Line({Moodles ? "Participant " + Own->second : G.Id, Score_Text(G), One_Line_Feedback(G, N.Task)});
  }
  return Write_Staged(Path, Text);
}

bool Write_Feedback(const std::string& Folder, const Student_Grade& G) {
  return Write_Staged(Folder + "/" + G.Id + ".txt", Visible_Text(G.Feedback));
}

namespace {

/* One test per rule of the model and per other way a day can end. */
std::vector<std::string> Simulator_Tests(const Student_Grade& G, const Gradebook_Names& N) {
  std::vector<std::string> Tests = {
      Json_Test(1, "Days followed", G.Score, N.Points, One_Line_Feedback(G, N.Task), "days")};
  bool Other_Rules_Broken = false;
  for (int R = 0; R < Number_Of_Rules; R++) {
    /* A day that breaks a rule differs from the reference too, but counts
    ** under the reference only where no other rule explains it: "held on
    ** all days" would then read as never differing. */
    std::string Held = R == Rule_Reference && Other_Rules_Broken && G.Rule_Days[R] == 0
                           ? "differs from the reference only on days that the rules above explain"
                           : Days_Held_Text(G.Rule_Days[R], G.Run);
    Other_Rules_Broken |= G.Rule_Days[R] > 0;
    Tests.push_back(Json_Test(static_cast<int>(Tests.size()) + 1, std::string("Rule: ") + Rule_Name[R], 0, 0, Held,
                              "rule"));
  }
  for (int C = 0; C < Number_Of_Failure_Counts; C++) {
    std::string Ending = Failure_Count_Key[C];
    std::replace(Ending.begin(), Ending.end(), '_', ' ');
    std::string Days = G.Run == 0                 ? "not run"
                       : G.Failure_Days[C] == 0   ? "on none of the " + std::to_string(G.Run) + " days"
                                                  : "on " + std::to_string(G.Failure_Days[C]) + " of " +
                                                      std::to_string(G.Run) + " days";
    Tests.push_back(Json_Test(static_cast<int>(Tests.size()) + 1, "Days ended as " + Ending, 0, 0, Days, "run"));
  }
  return Tests;
}

/* One test per phase: correctness, the growth on each order (their
** scores add up to the grade), and the time against the merge sort. */
std::vector<std::string> Sort_Tests(const Student_Grade& G, const Gradebook_Names& N) {
  bool Correct = G.Run > 0 && G.Passed == G.Run;
  std::vector<std::string> Tests = {Json_Test(1, "Correctness", Correct ? 0.6 * N.Points : 0, 0.6 * N.Points,
                                              One_Line_Feedback(G, N.Task), "correctness")};
  const double Each = 0.4 * N.Points / static_cast<double>(std::size(Order_Name));
  for (size_t O = 0; O < std::size(Order_Name); O++) {
    std::string Words = O < G.Growth.size() ? G.Growth[O] : "";
    bool Fast = Words == "N" || Words == "N log N";
    Tests.push_back(Json_Test(static_cast<int>(Tests.size()) + 1, std::string("Growth on ") + Order_Name[O] + " lists",
                              Fast ? Each : 0, Each, Words.empty() ? "not timed" : "grows as " + Words, "growth"));
  }
  Tests.push_back(Json_Test(static_cast<int>(Tests.size()) + 1, "Time against the kit's merge sort", 0, 0,
                            G.Time_Ratio > 0 ? Fixed(G.Time_Ratio, 2) + " times the merge sort's time" : "not timed",
                            "time"));
  return Tests;
}

}  // namespace

bool Write_Gradescope(const std::string& Path, const Student_Grade& G, const Gradebook_Names& N) {
  bool Sorts = N.Task == "sorts";
  std::vector<std::string> Tests = Sorts ? Sort_Tests(G, N) : Simulator_Tests(G, N);
  std::string Counts = Sorts ? "\"cases_passed\": " + std::to_string(G.Passed) + ", \"cases_run\": " +
                                   std::to_string(G.Run) + ", \"time_ratio\": " +
                                   (G.Time_Ratio > 0 ? Fixed(G.Time_Ratio, 3) : std::string("null"))
                             : "\"days_followed\": " + std::to_string(G.Passed) + ", \"days_run\": " +
                                   std::to_string(G.Run);
  std::string Text = "{\n  \"score\": " + Fixed(G.Score, 2) + ",\n  \"execution_time\": " + Fixed(G.Seconds, 0) +
                     ",\n  \"output\": " + Json_String(Visible_Text(G.Feedback)) +
                     ",\n  \"visibility\": \"visible\",\n  \"stdout_visibility\": \"hidden\",\n  \"extra_data\": "
                     "{\"verdict\": " + Json_String(Visible_Text(G.Verdict)) + ", " + Counts +
                     (N.Contained.empty() ? "" : ", \"sandbox\": " + Json_String(N.Contained)) + "},\n  \"tests\": [\n";
  for (size_t I = 0; I < Tests.size(); I++) Text += Tests[I] + (I + 1 < Tests.size() ? ",\n" : "\n");
  return Write_Staged(Path, Text + "  ]\n}\n");
}

std::string Json_String(const std::string& Text) {
  std::string Out = "\"";
  for (unsigned char C : Valid_Utf8(Text)) {
    char Escape[8];
    std::snprintf(Escape, sizeof Escape, "\\u%04x", C);
    if (C == '"' || C == '\\') Out += '\\', Out += static_cast<char>(C);
    else if (C == '\n') Out += "\\n";
    else if (C == '\t') Out += "\\t";
    else if (C < 0x20 || C == 0x7F) Out += Escape;
    else Out += static_cast<char>(C);
  }
  return Out + "\"";
}

std::string Valid_Utf8(const std::string& Text) {
  std::string Out;
  for (size_t I = 0; I < Text.size();) {
    size_t Length = Utf8_Sequence_Length(Text, I);
    if (Length > 0) Out.append(Text, I, Length), I += Length;
    else Out += "\xEF\xBF\xBD", I++;  // U+FFFD, the replacement character
  }
  return Out;
}
