// The pieces of zor_grade that decide what a teacher and a student read:
// the class a folder or manifest names, the hash that decides a rerun,
// the saved grade, a platform's download recognised, the bounds of the
// generator's days, the redaction of seeds, the secret battery's keys,
// and the escaping into CSV, JSON and XHTML.
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "common/shown_text.h"
#include "grade/battery_notes.h"
#include "grade/class_list.h"
#include "grade/content_hash.h"
#include "grade/grade_files.h"
#include "grade/grade_report.h"
#include "grade/platform_download.h"
#include "grade/simulator_grading.h"
#include "grade/sort_grading.h"
#include "grade/student_grade.h"
#include "simulator_checker/battery.h"
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
      Again += Csv_Cell(Fields[I]);
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
  G.Order_Ratio = {1.0625, 0, 40.5, 3.25, 0, 0, 0, 0.5}, G.Worst_Order = 2, G.Ratio_Low = 0.1, G.Ratio_High = 41.125;
  ASSERT_TRUE(Save_Grade(At("ada"), G));
  Student_Grade Back;
  ASSERT_TRUE(Load_Grade(At("ada"), &Back));
  EXPECT_TRUE(Back.Reused);
  EXPECT_EQ(Grades_Csv_Row(Back, "simulators"), Grades_Csv_Row(G, "simulators"));
  EXPECT_EQ(Grades_Csv_Row(Back, "sorts"), Grades_Csv_Row(G, "sorts"));
  EXPECT_EQ(Back.Growth, G.Growth);
  EXPECT_EQ(Back.Order_Ratio, G.Order_Ratio);
  EXPECT_EQ(Back.Worst_Order, G.Worst_Order);
  EXPECT_EQ(Back.Ratio_Low, G.Ratio_Low);
  EXPECT_EQ(Back.Ratio_High, G.Ratio_High);
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
  // A judge older than the speed lines: the one size's ratio stands for all.
  EXPECT_DOUBLE_EQ(S.Speed[Order_Random].Median, 1.05);
  EXPECT_DOUBLE_EQ(S.Speed[Order_Random].Low, 1.05);
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
      {"sort_profile summary 1\ncorrectness passed\nspeed random 1.0 1.1 1.2\n", "an unknown line: speed random 1.0 1.1 1.2"},
      {"sort_profile summary 1\ncorrectness passed\nspeed random 1.0 0.9\n", "an unknown line: speed random 1.0 0.9"},
      {"sort_profile summary 1\ncorrectness passed\nspeed random 1 0.9 nan\n", "an unknown line: speed random 1 0.9 nan"},
  };
  for (const auto& [Text, Why] : Refused) {
    EXPECT_FALSE(Read_Profile_Summary(Text, &S, &Problem)) << Text;
    EXPECT_EQ(Problem, Why);
  }
}

// A class's timing summaries to ranks: the worst order's growth first,
// so a quicksort that is N^2 on sorted lists ranks after every N log N
// routine however fast it is on random ones; then the speed figure; a
// figure within the noise of the one above it is marked.
TEST(Grade_Sorts, TheWorstOrderRanksFirstAndTiesAreMarked) {
  struct Routine {
    const char* Id;
    const char* Summary_Lines;  // after the head, "correctness passed" and "timing done"
    int Rank;
    bool Tied_Above;
    const char* Worst;  // its worst order, "" for none
    double Ratio;
  } Class[] = {
      {"quick", "growth random N log N\nspeed random 0.6000 0.5500 0.6500\ngrowth ascending N^2\n"
                "speed ascending 40.0000 12.0000 90.0000\ngrowth descending N^2\nspeed descending 35.0000 10.0000 80.0000\n",
       5, false, "ascending", 40},
      {"merge", "growth random N log N\nspeed random 1.0000 0.9500 1.0500\ngrowth ascending N log N\n"
                "speed ascending 0.8000 0.7500 0.8500\n",
       3, false, "random", 1},
      {"radix", "growth random N\nspeed random 0.5000 0.4500 0.5500\ngrowth ascending N\nspeed ascending 0.5500 0.5000 0.6000\n",
       1, false, "ascending", 0.55},
      {"merge2", "growth random N log N\nspeed random 1.0200 0.9800 1.0600\ngrowth ascending N log N\n"
                 "speed ascending 0.7000 0.6500 0.7500\n",
       4, true, "random", 1.02},
      {"insertion", "growth random N^2\nspeed random 200.0000 60.0000 400.0000\n", 6, true, "random", 200},
      {"natural", "growth random N log N\nspeed random 0.9000 0.8500 0.9200\ngrowth ascending N\n"
                  "speed ascending 0.1000 0.0900 0.1100\n",
       2, false, "random", 0.9},
      {"noisy", "growth random too noisy to decide\nspeed random 0.3000 0.1000 0.9000\n", 7, false, "random", 0.3},
      {"wrong", "", 0, false, "", 0},
  };
  std::vector<Student_Grade> Grades;
  for (const Routine& R : Class) {
    Profile_Summary S;
    std::string Problem, Timed = *R.Summary_Lines ? "done" : "failed";
    ASSERT_TRUE(Read_Profile_Summary(std::string("sort_profile summary 1\ncorrectness passed\ncases 9\ntiming ") + Timed +
                                         "\n" + R.Summary_Lines, &S, &Problem))
        << R.Id << ": " << Problem;
    Student_Grade G;
    G.Id = R.Id;
    Take_Timing(S, &G);
    Grades.push_back(G);
  }
  Rank_By_Time(&Grades);
  for (size_t I = 0; I < std::size(Class); I++) {
    SCOPED_TRACE(Class[I].Id);
    EXPECT_EQ(Grades[I].Rank, Class[I].Rank);
    EXPECT_EQ(Grades[I].Tied_Above, Class[I].Tied_Above);
    EXPECT_EQ(Grades[I].Worst_Order < 0 ? "" : Order_Name[Grades[I].Worst_Order], std::string(Class[I].Worst));
    EXPECT_DOUBLE_EQ(Grades[I].Time_Ratio, Class[I].Ratio);
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

bool Same_Day(const Trial_Day& A, const Trial_Day& B) {
  return A.What == B.What && std::memcmp(A.Servers, B.Servers, sizeof A.Servers) == 0 && A.Day.size() == B.Day.size() &&
         std::memcmp(A.Day.data(), B.Day.data(), A.Day.size() * sizeof A.Day[0]) == 0;
}

// A phrase draws the same battery every time, and any other key (another
// phrase, a key one bit apart at either end, the public seed) draws other
// generated days with the same shape; the name a rerun compares holds
// neither the phrase nor the key.
TEST(Grade_Battery, ASecretKeyDrawsItsOwnDays) {
  Battery_Key Key, Again, Other;
  ASSERT_TRUE(Battery_Key_Of_Phrase("autumn tide 42", &Key));
  ASSERT_TRUE(Battery_Key_Of_Phrase("autumn tide 42", &Again));
  ASSERT_TRUE(Battery_Key_Of_Phrase("autumn tide 43", &Other));
  EXPECT_EQ(Key.Public_Seed, 0u);
  EXPECT_EQ(std::memcmp(Key.Secret, Again.Secret, sizeof Key.Secret), 0);
  Battery_Key First_Bit = Key, Last_Bit = Key;
  First_Bit.Secret[0] ^= 1;
  Last_Bit.Secret[sizeof Last_Bit.Secret - 1] ^= 0x80;
  const struct {
    const char* Name;
    Battery_Key Key;
  } Others[] = {{"another phrase", Other}, {"first bit", First_Bit}, {"last bit", Last_Bit},
                {"public seed 1", Public_Battery(1)}};
  for (int I = 0; I < Made_Up_Days() + 60; I++) {
    SCOPED_TRACE(I);
    Trial_Day Day = Battery_Day(I, Key);
    EXPECT_TRUE(Same_Day(Day, Battery_Day(I, Again)));
    if (I < Made_Up_Days()) continue;
    for (const auto& O : Others) {
      Trial_Day Theirs = Battery_Day(I, O.Key);
      EXPECT_NE(Day.What, Theirs.What) << O.Name;
      EXPECT_EQ(Label_Without_Seed(Day.What), Label_Without_Seed(Theirs.What)) << O.Name;
    }
  }
  std::string Name = Battery_Name(Key);
  EXPECT_EQ(Name, Battery_Name(Again));
  EXPECT_NE(Name, Battery_Name(Other));
  EXPECT_EQ(Name.rfind("secret ", 0), 0u) << Name;
  EXPECT_EQ(Name.size(), 7u + 16u) << Name;
  EXPECT_EQ(Name.find("autumn"), std::string::npos);
  char Key_Start[9];
  std::snprintf(Key_Start, sizeof Key_Start, "%02x%02x%02x%02x", Key.Secret[0], Key.Secret[1], Key.Secret[2],
                Key.Secret[3]);
  EXPECT_EQ(Name.find(Key_Start), std::string::npos);
  EXPECT_EQ(Battery_Name(Public_Battery(77)), "seed 77");
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
      {"bell\a\x1b[0m", "\"bell\\u0007\\u001b[0m\"", "bell\\x07\\x1b[0m"},
      {"caf\xc3\xa9", "\"caf\xc3\xa9\"", "caf\xc3\xa9"},
      {"bad \xff\xfe end", "\"bad \xef\xbf\xbd\xef\xbf\xbd end\"", "bad \\xff\\xfe end"},
      {"cut \xe2\x82", "\"cut \xef\xbf\xbd\xef\xbf\xbd\"", "cut \\xe2\\x82"},
      {"surrogate \xed\xa0\x80", "\"surrogate \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\"",
       "surrogate \\xed\\xa0\\x80"},
  };
  for (const Case& C : Cases) {
    EXPECT_EQ(Json_String(C.Text), C.Json) << C.Text;
    EXPECT_EQ(Html_Text(C.Text), C.Html) << C.Text;
  }
}

// A program's text shown on a terminal or in a file: nothing in it moves
// the cursor, retitles the window, reorders a line or is no character.
TEST(Grade_Escaping, ProgramTextShowsAsTheCharactersItIs) {
  const std::pair<std::string, std::string> Cases[] = {
      {"plain line\n\tindented", "plain line\n\tindented"},
      {"\x1b]0;owned\a\x1b[2J\rfollowed", "\\x1b]0;owned\\x07\\x1b[2J\\x0dfollowed"},
      {std::string("nul\0del\x7f", 8), "nul\\x00del\\x7f"},
      {"caf\xc3\xa9 \xf0\x9f\x98\x80", "caf\xc3\xa9 \xf0\x9f\x98\x80"},
      {"c1 \xc2\x9b" "2J", "c1 \\u009b2J"},
      {"abc \xe2\x80\xae" "cba \xe2\x81\xa6", "abc \\u202ecba \\u2066"},
      {"no char \xef\xbf\xbe", "no char \\ufffe"},
      {"bad \xff cut \xe2\x82", "bad \\xff cut \\xe2\\x82"},
      {"overlong \xe0\x80\xaf", "overlong \\xe0\\x80\\xaf"},
  };
  for (const auto& [Text, Shown] : Cases) {
    EXPECT_EQ(Visible_Text(Text), Shown);
    EXPECT_EQ(Visible_Text(Shown), Shown) << "shown text is shown as it is";
  }
}

// Every cell that a spreadsheet would take for a formula is led by an
// apostrophe; the rest is quoted only where CSV needs it; each reads back.
TEST(Grade_Escaping, NoCsvCellIsAFormula) {
  const std::pair<std::string, std::string> Cases[] = {
      {"=D2+100", "'=D2+100"},
      {"=HYPERLINK(\"http://x\",\"y\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
      {"+1", "'+1"},
      {"-2+3", "'-2+3"},
      {"@SUM(A1)", "'@SUM(A1)"},
      {"\tx", "'\tx"},
      {"\rx", "\"'\rx\""},
      {"a=b", "a=b"},
      {"x, y", "\"x, y\""},
      {"", ""},
  };
  for (const auto& [Text, Cell] : Cases) {
    EXPECT_EQ(Csv_Cell(Text), Cell) << Text;
    std::vector<std::string> Fields;
    ASSERT_TRUE(Split_Csv_Line(Csv_Cell(Text) + ",end", &Fields)) << Text;
    ASSERT_EQ(Fields.size(), 2u) << Text;
    EXPECT_EQ(Fields[0], Cell[0] == '\'' || Cell.rfind("\"'", 0) == 0 ? "'" + Text : Text);
  }
}

// A grade whose words a student chose (the profiler that writes the
// summary is their program): in every CSV the kit writes, no cell starts
// as a formula and no byte is a terminal's command.
TEST_F(Grade_Pieces, NoGradebookCellIsAFormulaOrACommand) {
  Student_Grade G;
  G.Id = "@mal", G.Verdict = "=D2+100", G.Reason = "-1+1\x1b]0;owned\a", G.Run = 3, G.Passed = 2;
  G.Growth = {"=HYPERLINK(\"http://127.0.0.1:9/\",\"x\")", "+1"};
  Gradebook_Names N{"sorts", "=cmd|' /C calc'!A0", "ID", 100, "", Platform_None, {}};
  ASSERT_TRUE(Write_Grades_Csv(At("grades.csv"), {G}, N));
  ASSERT_TRUE(Write_Canvas_Csv(At("canvas.csv"), {G}, N));
  ASSERT_TRUE(Write_Moodle_Csv(At("moodle.csv"), {G}, N));
  N.Task = "simulators";
  ASSERT_TRUE(Write_Grades_Csv(At("simulators.csv"), {G}, N));
  size_t Cells = 0, Formulas = 0;
  for (const char* Name : {"grades.csv", "canvas.csv", "moodle.csv", "simulators.csv"}) {
    std::string Text = Read_File(At(Name));
    EXPECT_EQ(Text.find('\x1b'), std::string::npos) << Name;
    std::istringstream In(Text);
    for (std::string Line; std::getline(In, Line);) {
      std::vector<std::string> Fields;
      ASSERT_TRUE(Split_Csv_Line(Line, &Fields)) << Name << ": " << Line;
      for (const std::string& F : Fields) {
        Cells++;
        EXPECT_TRUE(F.empty() || std::string("=+-@\t\r").find(F[0]) == std::string::npos) << Name << ": " << F;
        Formulas += F.rfind("'=", 0) == 0 || F.rfind("'@", 0) == 0 || F.rfind("'-", 0) == 0 || F.rfind("'+", 0) == 0;
      }
    }
  }
  EXPECT_GT(Cells, 100u);
  // The id five times (twice in Canvas's file), the verdict and the reason
  // twice each, the two growths, the assignment's name in two headers, and
  // Moodle's feedback.
  EXPECT_EQ(Formulas, 5u + 2u + 2u + 2u + 2u + 1u);
  EXPECT_NE(Read_File(At("moodle.csv")).find("\r\n'@mal,0.0,'=D2+100: sorted 2 of 3 lists right; -1+1\\x1b]0;owned\\x07"
                                             "\r\n"),
            std::string::npos)
      << Read_File(At("moodle.csv"));
}

// A page as chromium shows it once its scripts ran.
std::string Dom_After_Scripts(const std::string& Folder, const std::string& Page) {
  Run_Result R = Run_Program("/usr/bin/chromium", Folder, "", {},
                             {"--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                              "--no-first-run", "--user-data-dir=" + Folder + "/chromium_profile", "--dump-dom",
                              "file://" + Page});
  EXPECT_EQ(R.Exit_Status, 0) << R.Err;
  return R.Out;
}

// report.html in a real browser: a script that reaches the page inside a
// picture does not run (the page allows only its own script, by hash),
// the page's own script does, and nothing is fetched.
TEST_F(Grade_Pieces, TheReportRunsOnlyItsOwnScript) {
  const std::string Hostile =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"><script>//<![CDATA[\n"
      "var c = document.getElementById('class');\n"
      "for (var i = 1; i < c.rows.length; i++) { c.rows[i].cells[1].textContent = 'followed'; "
      "c.rows[i].cells[2].textContent = '100.0'; }\n"
      "document.body.setAttribute('data-' + 'owned', 'by the picture');\n"
      "//]]></script><image href=\"http://127.0.0.1:9/x.png\" width=\"5\" height=\"5\"/></svg>";
  Student_Grade Honest, Mallory;
  Honest.Id = "ada", Honest.Verdict = "broke-rule", Honest.Score = 40, Honest.Run = 5, Honest.Passed = 2;
  Mallory.Id = "mal", Mallory.Verdict = "crashed", Mallory.Score = 0, Mallory.Run = 5, Mallory.Picture = Hostile;
  Report_Facts F;
  F.Title = "ZOR simulators: the class's grades";
  ASSERT_TRUE(Write_Report(At("report.html"), F, {Honest, Mallory}));
  std::string Html = Read_File(At("report.html"));
  EXPECT_NE(Html.find("<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; script-src "
                      "'sha256-"),
            std::string::npos);
  EXPECT_NE(Html.find("connect-src 'none'"), std::string::npos);
  std::string Dom = Dom_After_Scripts(Folder, At("report.html"));
  EXPECT_EQ(Dom.find("data-owned=\"by the picture\""), std::string::npos) << "the picture's script ran";
  EXPECT_NE(Dom.find("<td>broke-rule</td><td class=\"n\">40.0</td>"), std::string::npos) << Dom;
  EXPECT_NE(Dom.find("<td>crashed</td><td class=\"n\">0.0</td>"), std::string::npos) << Dom;
  EXPECT_NE(Dom.find("title=\"Click to sort by this column; again to reverse\""), std::string::npos)
      << "the page's own script did not run: " << Dom.substr(0, 2000);
}

// A sort routine's growth is drawn by the kit from its verdicts; the
// picture its profiler left is never on the page.
TEST_F(Grade_Pieces, ASortRoutinesGrowthIsTheKitsOwnPicture) {
  Student_Grade G;
  G.Id = "bo", G.Verdict = "sorted", G.Score = 80, G.Run = 10, G.Passed = 10, G.Time_Ratio = 1.5;
  G.Growth = {"N log N", "N", "between N log N and N^2", "N^2", "too noisy to decide", "", "N^3", "<script>x"};
  G.Picture = "<svg xmlns=\"http://www.w3.org/2000/svg\"><script>alert(1)</script></svg>";
  Report_Facts F;
  F.Sorts = true, F.Title = "ZOR sorts";
  ASSERT_TRUE(Write_Report(At("report.html"), F, {G}));
  Run_Result Lint = Run_Program("/usr/bin/xmllint", Folder, "", {}, {"--noout", "report.html"});
  EXPECT_EQ(Lint.Exit_Status, 0) << Lint.Err;
  std::string Html = Read_File(At("report.html"));
  EXPECT_EQ(Html.find("alert(1)"), std::string::npos);
  EXPECT_EQ(Html.find("<script>x"), std::string::npos);
  EXPECT_NE(Html.find("bo: how its CPU time grows with the list, per order of list"), std::string::npos);
  for (const char* Words : {">N log N<", ">between N log N and N^2<", ">too noisy to decide<", ">not timed<",
                            ">&lt;script&gt;x<", "1.50 times the merge sort's"})
    EXPECT_NE(Html.find(Words), std::string::npos) << Words;
}

// The class table shows each routine's worst order beside random, and a
// rank within the noise of the one above it is marked and explained.
TEST_F(Grade_Pieces, TheSortClassTableShowsTheWorstOrderAndTies) {
  Student_Grade A, B;
  A.Id = "ana", A.Verdict = B.Verdict = "sorted", A.Run = A.Passed = B.Run = B.Passed = 10;
  A.Growth = {"N log N", "N^2"}, A.Order_Ratio = {0.5, 30}, A.Worst_Order = 1, A.Time_Ratio = 30, A.Rank = 1;
  B.Id = "bob", B.Growth = {"N log N"}, B.Order_Ratio = {0.75}, B.Worst_Order = 0, B.Time_Ratio = 0.75, B.Rank = 2;
  B.Tied_Above = true;
  Report_Facts F;
  F.Sorts = true, F.Title = "ZOR sorts";
  ASSERT_TRUE(Write_Report(At("report.html"), F, {A, B}));
  std::string Html = Read_File(At("report.html"));
  for (const char* Cells : {"<td>N log N</td><td class=\"n\">0.500</td><td>ascending</td><td>N^2</td><td class=\"n\">"
                            "30.000</td><td class=\"n\">1</td>",
                            "<td>N log N</td><td class=\"n\">0.750</td><td>random</td><td>N log N</td><td class=\"n\">"
                            "0.750</td><td class=\"n\">\u2248 2</td>",
                            "\u2248 before a rank: that routine is within the noise of the one ranked just above it"})
    EXPECT_NE(Html.find(Cells), std::string::npos) << Cells;
  // The page's own script, which reads a marked rank as its number, still runs.
  std::string Dom = Dom_After_Scripts(Folder, At("report.html"));
  EXPECT_NE(Dom.find("title=\"Click to sort by this column; again to reverse\""), std::string::npos);
}

// Whatever order the days end in, only the first failing day keeps what
// the program wrote, so the grader holds one day's files at most.
TEST(Grade_Memory, OnlyTheFirstFailingDayKeepsItsBytes) {
  struct Arrival {
    size_t Day;
    bool Fails;
    size_t Kept_After;  // the day whose bytes are held after it; 8 for none
  };
  const Arrival Arrivals[] = {{5, false, 8}, {6, true, 6}, {2, false, 6}, {7, true, 6}, {3, true, 3},
                              {4, true, 3},  {0, false, 3}, {1, true, 1}, {2, true, 1}};
  std::vector<Trial_Outcome> Outcomes(8);
  size_t Kept = Outcomes.size();
  for (const Arrival& A : Arrivals) {
    Trial_Outcome O;
    O.Kind = A.Fails ? Outcome_Exit_Status : Outcome_Held;
    O.Their_Output.assign(5000, 'o'), O.Their_Trace.assign(3000, 't'), O.Trace.Found.assign(100, 'f');
    Keep_Day_Outcome(&Outcomes, A.Day, O, &Kept);
    EXPECT_EQ(Kept, A.Kept_After) << "after day " << A.Day;
    for (size_t D = 0; D < Outcomes.size(); D++) {
      bool Holds = D == A.Kept_After;
      EXPECT_EQ(Outcomes[D].Their_Output.size(), Holds ? 5000u : 0u) << "day " << D << " after day " << A.Day;
      EXPECT_EQ(Outcomes[D].Their_Trace.size(), Holds ? 3000u : 0u) << "day " << D << " after day " << A.Day;
      if (!Holds) {
        EXPECT_EQ(Outcomes[D].Their_Output.capacity(), std::string().capacity()) << "day " << D;
      }
    }
    EXPECT_EQ(Outcomes[A.Day].Kind, O.Kind) << "how the day ended is kept whatever its bytes";
  }
}

// A platform's download is recognised by its names alone, and makes one
// submission per student, their latest, under the platform's own id.
TEST(Grade_Download, EachPlatformIsRecognisedByItsNames) {
  struct Expected_Student {
    std::string Id, Platform_Id;
    std::vector<std::pair<std::string, std::string>> Files;
  };
  struct Case {
    std::string Name;
    std::vector<std::string> Paths;
    Platform_Kind Kind;
    std::vector<Expected_Student> Students;
  };
  const Case Cases[] = {
      {"Canvas: a late one, a repeated name, an older submission",
       {"doejane_12345_678901_sim.c", "doejane_12345_678901_sim-1.c", "smithjo_late_222_333_Sim.java",
        "smithjo_late_222_333_Day.java", "olduser_7_10_a.c", "olduser_7_11_b.c"},
       Platform_Canvas,
       {{"doejane", "12345", {{"doejane_12345_678901_sim-1.c", "sim.c"}}},
        {"olduser", "7", {{"olduser_7_11_b.c", "b.c"}}},
        {"smithjo", "222", {{"smithjo_late_222_333_Day.java", "Day.java"}, {"smithjo_late_222_333_Sim.java", "Sim.java"}}}}},
      {"Canvas: two students of one login are told apart by their ids",
       {"lee_1_5_sim.py", "lee_2_6_sim.py"},
       Platform_Canvas,
       {{"lee_1", "1", {{"lee_1_5_sim.py", "sim.py"}}}, {"lee_2", "2", {{"lee_2_6_sim.py", "sim.py"}}}}},
      {"Moodle: folders, an online text left out",
       {"Jane Doe_5501_assignsubmission_file_/sim.py", "Jane Doe_5501_assignsubmission_file_/lib/records.py",
        "Jane Doe_5501_assignsubmission_onlinetext_/onlinetext.html", "Ann Lee_5502_assignsubmission_file_/Sim.java"},
       Platform_Moodle,
       {{"Ann_Lee", "5502", {{"Ann Lee_5502_assignsubmission_file_/Sim.java", "Sim.java"}}},
        {"Jane_Doe", "5501",
         {{"Jane Doe_5501_assignsubmission_file_/sim.py", "sim.py"},
          {"Jane Doe_5501_assignsubmission_file_/lib/records.py", "lib/records.py"}}}}},
      {"Moodle: flat files", {"Ann Lee_5502_assignsubmission_file_sim.c"}, Platform_Moodle,
       {{"Ann_Lee", "5502", {{"Ann Lee_5502_assignsubmission_file_sim.c", "sim.c"}}}}},
      {"a class folder", {"alice/simulator", "bob/sim.c"}, Platform_None, {}},
      {"one file no platform names", {"doejane_12345_678901_sim.c", "notes.txt"}, Platform_None, {}},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    Download_Class Got = Recognise_Download(C.Paths);
    EXPECT_EQ(Got.Kind, C.Kind);
    ASSERT_EQ(Got.Students.size(), C.Students.size());
    for (size_t S = 0; S < C.Students.size(); S++) {
      EXPECT_EQ(Got.Students[S].Id, C.Students[S].Id);
      EXPECT_EQ(Got.Students[S].Platform_Id, C.Students[S].Platform_Id);
      EXPECT_EQ(Got.Students[S].Files, C.Students[S].Files);
    }
  }
}

}  // namespace
