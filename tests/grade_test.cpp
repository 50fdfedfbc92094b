// The pieces of zor_grade that decide what a teacher and a student read:
// the class a folder or manifest names, the hash that decides a rerun,
// the saved grade, the bounds of the generator's days, the redaction of
// seeds, and the escaping into CSV, JSON and XHTML.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "grade/battery_notes.h"
#include "grade/class_list.h"
#include "grade/content_hash.h"
#include "grade/grade_files.h"
#include "grade/grade_report.h"
#include "grade/sort_grading.h"
#include "grade/student_grade.h"
#include "tests/process.h"
#include "workload_maker/draw_day.h"

namespace {

using Grade_Pieces = Scratch_Folder_Test;

TEST(Grade_Csv, FieldsSplitAndQuoteBothWays) {
  struct Case {
    std::string Line;
    std::vector<std::string> Fields;
  };
  const Case Cases[] = {
      {"a,b,c", {"a", "b", "c"}},
      {"a,,", {"a", "", ""}},
      {"\"x, y\",z", {"x, y", "z"}},
      {"\"say \"\"hi\"\"\",2\r", {"say \"hi\"", "2"}},
      {"", {""}},
  };
  for (const Case& C : Cases) {
    std::vector<std::string> Fields;
    ASSERT_TRUE(Split_Csv_Line(C.Line, &Fields)) << C.Line;
    EXPECT_EQ(Fields, C.Fields) << C.Line;
    std::string Again;
    for (size_t I = 0; I < Fields.size(); I++) {
      if (I > 0) Again += ',';  // piece by piece, which GCC 12's Release build does not misread
      Again += Csv_Field(Fields[I]);
    }
    std::vector<std::string> Back;
    ASSERT_TRUE(Split_Csv_Line(Again, &Back));
    EXPECT_EQ(Back, C.Fields) << Again;
  }
  std::vector<std::string> Fields;
  EXPECT_FALSE(Split_Csv_Line("\"open,b", &Fields));
}

TEST(Grade_Class, IdentifiersAreSafeFileNames) {
  for (const char* Good : {"ada", "s1234567", "jane.doe@uni.edu", "A_B-c"}) EXPECT_TRUE(Valid_Student_Id(Good)) << Good;
  for (const char* Bad : {"", ".hidden", "../up", "a/b", "two words", "semi;colon", "quote\"", "tab\t"})
    EXPECT_FALSE(Valid_Student_Id(Bad)) << Bad;
  EXPECT_FALSE(Valid_Student_Id(std::string(101, 'a')));
}

TEST_F(Grade_Pieces, TheClassComesFromAFolderOrAManifest) {
  for (const char* Name : {"zed", "amy", ".git", "bob"}) std::filesystem::create_directories(At(std::string("class/") + Name));
  Write_File(At("class/notes.txt"), "not a student");
  std::vector<Student> Students;
  std::string Problem;
  ASSERT_TRUE(Read_Class(At("class"), &Students, &Problem)) << Problem;
  ASSERT_EQ(Students.size(), 3u);
  EXPECT_EQ(Students[0].Id + Students[1].Id + Students[2].Id, "amybobzed");
  EXPECT_EQ(Students[0].Folder, At("class/amy"));

  Write_File(At("class.csv"), "identifier,folder,command\n# a comment\n\nzed,class/zed\nAmy,/elsewhere/amy,"
                              "\"python3 sim.py\"\n");
  ASSERT_TRUE(Read_Class(At("class.csv"), &Students, &Problem)) << Problem;
  ASSERT_EQ(Students.size(), 2u);
  EXPECT_EQ(Students[0].Folder, At("class/zed"));
  EXPECT_EQ(Students[0].Command, "");
  EXPECT_EQ(Students[1].Folder, "/elsewhere/amy");
  EXPECT_EQ(Students[1].Command, "python3 sim.py");

  struct Bad {
    std::string Manifest, Problem;
  };
  const Bad Bads[] = {
      {"ada\n", "bad.csv line 1: expected identifier,folder[,command]"},
      {"ada,a,b,c\n", "bad.csv line 1: expected identifier,folder[,command]"},
      {"ada,a\n../x,b\n", "bad.csv line 2: \"../x\" cannot be a student's identifier (letters, digits, . _ - @)"},
      {"ada,a\nada,b\n", "the identifier ada is given twice"},
      {"ada,\"a\n", "bad.csv line 1: a quote is not closed"},
      {"# nobody\n", "the class " + At("bad.csv") + " has no student"},
  };
  for (const Bad& B : Bads) {
    Write_File(At("bad.csv"), B.Manifest);
    EXPECT_FALSE(Read_Class(At("bad.csv"), &Students, &Problem)) << B.Manifest;
    EXPECT_EQ(Problem, B.Problem);
  }
  std::filesystem::create_directories(At("odd/two words"));
  ASSERT_TRUE(Read_Class(At("odd"), &Students, &Problem)) << Problem;
  ASSERT_EQ(Students.size(), 1u);
  EXPECT_EQ(Students[0].Id, "two_words") << "a folder's name that is no identifier still names its student";
}

// A rerun grades again exactly the students whose folder changed.
TEST_F(Grade_Pieces, TheHashChangesWithAnyChangeOfTheSubmission) {
  auto Fresh = [this](const std::string& Name) {
    std::filesystem::create_directories(At(Name + "/src"));
    Write_File(At(Name + "/main.c"), "int main(void) { return 0; }\n");
    Write_File(At(Name + "/src/part.c"), "int x;\n");
    return At(Name);
  };
  const std::string Base = Submission_Hash(Fresh("base"), "settings");
  EXPECT_EQ(Base.size(), 16u);
  EXPECT_EQ(Submission_Hash(Fresh("copy"), "settings"), Base) << "the same files elsewhere";
  EXPECT_NE(Submission_Hash(At("base"), "other settings"), Base);
  std::filesystem::create_directories(At("empty"));
  EXPECT_EQ(Submission_Hash(At("missing"), "s"), Submission_Hash(At("empty"), "s")) << "both grade as missing";
  struct Change {
    const char* What;
    void (*Apply)(const std::string& Folder);
  };
  const Change Changes[] = {
      {"a byte", [](const std::string& F) { Write_File(F + "/main.c", "int main(void) { return 1; }\n"); }},
      {"a file added", [](const std::string& F) { Write_File(F + "/extra", ""); }},
      {"a file renamed", [](const std::string& F) { std::filesystem::rename(F + "/src/part.c", F + "/src/part2.c"); }},
      {"bytes moved between files",
       [](const std::string& F) { Write_File(F + "/main.c", "int main(void) { return 0; }\nint x;\n"),
                                  Write_File(F + "/src/part.c", ""); }},
      {"a link", [](const std::string& F) { std::filesystem::create_symlink("/etc/passwd", F + "/link"); }},
      {"an empty folder", [](const std::string& F) { std::filesystem::create_directory(F + "/empty"); }},
  };
  for (const Change& C : Changes) {
    std::string Folder = Fresh(std::string("changed_") + std::to_string(&C - Changes));
    C.Apply(Folder);
    EXPECT_NE(Submission_Hash(Folder, "settings"), Base) << C.What;
  }
}

TEST_F(Grade_Pieces, AGradeSavedReadsBackAsItWas) {
  Student_Grade G;
  G.Id = "ada", G.Verdict = "broke-rule", G.Score = 23.333333333333332, G.Passed = 7, G.Run = 30;
  G.Made_Up_Passed = 6, G.Made_Up_Run = 17, G.First_Rule = "first_come", G.Shrunk_Size = 3, G.Seconds = 0.5;
  G.Rule_Days[Rule_First_Come] = 23, G.Failure_Days[Count_Time_Limit] = 4;
  G.Reason = "day 4: broke the rule \"first come, first served\"", G.Hash = "0123456789abcdef";
  G.Feedback = "line one\nback\\slash \\n not a newline\n\n", G.Picture = "<svg>\n</svg>\n", G.Day_Marks = "+-+";
  G.K = 3, G.X = 7, G.Time_Ratio = 1.0625, G.Layout_Ratio = 0.875, G.Profiler_Output = "PASS: 120 cases\n";
  G.Growth = {"N log N", "", "N^2", "between N log N and N^2", "", "", "", "N"};
  ASSERT_TRUE(Save_Grade(At("ada"), G));
  Student_Grade Back;
  ASSERT_TRUE(Load_Grade(At("ada"), &Back));
  EXPECT_TRUE(Back.Reused);
  EXPECT_EQ(Grades_Csv_Row(Back, "simulators"), Grades_Csv_Row(G, "simulators"));
  EXPECT_EQ(Grades_Csv_Row(Back, "sorts"), Grades_Csv_Row(G, "sorts"));
  EXPECT_EQ(Back.Growth, G.Growth);
  EXPECT_EQ(Back.Profiler_Output, G.Profiler_Output);
  EXPECT_EQ(Back.Score, G.Score);
  EXPECT_EQ(Back.Feedback, G.Feedback);
  EXPECT_EQ(Back.Picture, G.Picture);
  EXPECT_EQ(Back.Day_Marks, G.Day_Marks);
  EXPECT_EQ(Back.Hash, G.Hash);
  std::string Saved = Read_File(At("ada"));
  for (const std::string& Broken : {std::string(), Saved.substr(0, Saved.size() / 2), "zor_grade state 0\n" +
                                    Saved.substr(Saved.find('\n') + 1)}) {
    Write_File(At("broken"), Broken);
    EXPECT_FALSE(Load_Grade(At("broken"), &Back)) << Broken;
  }
}

// The profiler's summary, as zor_grade reads it: what it takes, and what
// it refuses rather than misread.
TEST(Grade_Sorts, TheProfilersSummaryReadsBack) {
  Profile_Summary S;
  std::string Problem;
  ASSERT_TRUE(Read_Profile_Summary("sort_profile summary 1\ncorrectness passed\ncases 120\ntiming done\n"
                                   "growth random N log N\ntime_ratio random 1.0500\ngrowth extremes between N and "
                                   "N log N\ntime_ratio extremes 0.9000\nlayout 1.2000 1.1000\n",
                                   &S, &Problem))
      << Problem;
  EXPECT_TRUE(S.Correct);
  EXPECT_TRUE(S.Timed);
  EXPECT_EQ(S.Cases, 120);
  EXPECT_EQ(S.Growth[Order_Random], "N log N");
  EXPECT_EQ(S.Growth[Order_Extremes], "between N and N log N");
  EXPECT_EQ(S.Growth[Order_Descending], "");
  EXPECT_DOUBLE_EQ(S.Time_Ratio[Order_Random], 1.05);
  EXPECT_DOUBLE_EQ(S.Routine_Layout, 1.2);
  EXPECT_DOUBLE_EQ(S.Reference_Layout, 1.1);
  ASSERT_TRUE(Read_Profile_Summary("sort_profile summary 1\ncorrectness failed\ncases 21\nfault did not return "
                                   "within 1 s\nfault_kind time-limit\ntiming not-run\n", &S, &Problem));
  EXPECT_FALSE(S.Correct);
  EXPECT_EQ(S.Fault, "did not return within 1 s");
  EXPECT_EQ(S.Fault_Kind, "time-limit");
  const std::pair<std::string, std::string> Refused[] = {
      {"", "not a summary"},
      {"sort_profile summary 2\ncorrectness passed\n", "not a summary"},
      {"sort_profile summary 1\ncases 3\n", "no correctness line"},
      {"sort_profile summary 1\ncorrectness passed\nverdict fine\n", "an unknown line: verdict fine"},
  };
  for (const auto& [Text, Why] : Refused) {
    EXPECT_FALSE(Read_Profile_Summary(Text, &S, &Problem)) << Text;
    EXPECT_EQ(Problem, Why);
  }
}

TEST(Grade_Battery, DrawnDaysAreWithinTheDrawsAndMadeUpOnesAreNamed) {
  for (int32_t N = 1; N <= Max_Customers_Per_Slot; N++)
    for (int32_t Seed : {1, 77, 123456}) {
      Random_Stream Stream{Seed, 0, 0};
      std::vector<Customer_Parameters> Day(Max_Day_Customers);
      Day.resize(size_t(Draw_Day(&Stream, N, Day.data())));
      EXPECT_EQ(Why_Not_Drawn(Day), "") << N << " per slot, seed " << Seed;
    }
  Random_Stream Stream{5, 0, 0};
  std::vector<Customer_Parameters> Drawn(Max_Day_Customers);
  Drawn.resize(size_t(Draw_Day(&Stream, 1, Drawn.data())));
  struct Case {
    void (*Change)(std::vector<Customer_Parameters>& Day);
    std::string Why;
  };
  const Case Cases[] = {
      {[](auto& D) { D.resize(5); }, "5 customers: a drawn day has a multiple of 28, 28 to 336"},
      {[](auto& D) { D.resize(1); }, "1 customer: a drawn day has a multiple of 28, 28 to 336"},
      {[](auto& D) { D[0].Interarrival_Time = 7; }, "the first customer arrives 7 s after the opening; on a drawn "
                                                    "day, at the opening"},
      {[](auto& D) { D[3].LAB_Service_Time = 0; }, "customer 4's LAB service time is 0 s; drawn ones are at least 270 s"},
      {[](auto& D) { D[1].Travel_Time_To_LAB = 0; }, "customer 2's travel time to LAB is 0 s; drawn ones are at least "
                                                     "25 s"},
      {[](auto& D) { D[2].X_RAY_Service_Time = 0, D[2].Travel_Time_To_X_RAY = 60; },
       "customer 3 skips X_RAY but travels 60 s to it; drawn ones travel 0 s to a station they skip"},
      {[](auto& D) { D[2].Travel_Time_To_EXIT = 1; }, ""},  // the expected text depends on the route; see below
  };
  for (const Case& C : Cases) {
    std::vector<Customer_Parameters> Day = Drawn;
    C.Change(Day);
    std::string Why = Why_Not_Drawn(Day);
    if (C.Why.empty()) EXPECT_EQ(Why.rfind("customer 3's travel time to the exit is 1 s; drawn ones are at least ", 0), 0u) << Why;
    else EXPECT_EQ(Why, C.Why);
  }
}

TEST(Grade_Battery, LabelsLoseTheirSeed) {
  const std::pair<std::string, std::string> Cases[] = {
      {"generated: 7 per slot, seed 123456, tight servers", "generated: 7 per slot, tight servers"},
      {"generated: 1 per slot, seed 9", "generated: 1 per slot"},
      {"made up: one customer, LAB only", "made up: one customer, LAB only"},
  };
  for (const auto& [Label, Shown] : Cases) EXPECT_EQ(Label_Without_Seed(Label), Shown);
}

// What a student's program printed reaches JSON and XHTML only as text
// those formats take.
TEST(Grade_Escaping, StudentTextBecomesValidJsonAndXhtml) {
  struct Case {
    std::string Text, Json, Html;
  };
  const Case Cases[] = {
      {"plain", "\"plain\"", "plain"},
      {"a \"q\" \\ b\n", "\"a \\\"q\\\" \\\\ b\\n\"", "a &quot;q&quot; \\ b\n"},
      {"<b>&</b>", "\"<b>&</b>\"", "&lt;b&gt;&amp;&lt;/b&gt;"},
      {"bell\a\x1b[0m", "\"bell\\u0007\\u001b[0m\"", "bell[0m"},
      {"caf\xc3\xa9", "\"caf\xc3\xa9\"", "caf\xc3\xa9"},
      {"bad \xff\xfe end", "\"bad \xef\xbf\xbd\xef\xbf\xbd end\"", "bad \xef\xbf\xbd\xef\xbf\xbd end"},
      {"cut \xe2\x82", "\"cut \xef\xbf\xbd\xef\xbf\xbd\"", "cut \xef\xbf\xbd\xef\xbf\xbd"},
      {"surrogate \xed\xa0\x80", "\"surrogate \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\"",
       "surrogate \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},
  };
  for (const Case& C : Cases) {
    EXPECT_EQ(Json_String(C.Text), C.Json) << C.Text;
    EXPECT_EQ(Html_Text(C.Text), C.Html) << C.Text;
  }
}

}  // namespace
