// simulator_checker as a user runs it: the reference simulator and a
// correct simulator written apart from the kit pass the whole battery;
// the same simulator with each typical mistake is rejected, on a shrunk
// day of a few customers, by the rule that names the mistake, or as the
// crash or loop it is; and results_checker names the first wrong decision
// of a day, not its knock-on differences.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/process.h"

namespace {

using Simulator_Checker = Scratch_Folder_Test;

Run_Result Check(const std::string& Folder, std::vector<std::string> Arguments) {
  return Run_Program(SIMULATOR_CHECKER_PATH, Folder, "", {}, Arguments);
}

TEST_F(Simulator_Checker, CorrectSimulatorsPassTheWholeBattery) {
  for (const char* Simulator : {ZOR_SIMULATOR_PATH, STUDENT_SIMULATOR}) {
    Run_Result R = Check(Folder, {Simulator});
    EXPECT_EQ(R.Exit_Status, 0) << Simulator << "\n" << R.Out << R.Err;
    EXPECT_EQ(R.Out.rfind(std::string(Simulator) + " followed the model on all 200 days (17 made up, 183 generated; "
                          "seed 1) in ", 0), 0u) << R.Out;
  }
}

TEST_F(Simulator_Checker, EachMistakeIsNamedOnASmallDay) {
  struct Case {
    std::string Simulator;
    std::string Named;  // in the line that says what it did on the shrunk day
    size_t Most_Customers;
    std::vector<std::string> Arguments = {};
  };
  const std::string Scripts = TEST_SOURCE_DIR "/simulators/";
  const Case Cases[] = {
      {Scripts + "asks_for_more.sh", "asked for more than the three entries", 1},
      {Scripts + "trace_off_by_one.sh", "wrote a ZOR_Binary_Out that follows the model, but a ZOR_Debug_Out that "
       "differs from the reference's trace at line 3", 1, {ZOR_SIMULATOR_PATH}},
      {STUDENT_LIFO, "broke the rule \"first come, first served\"", 3},
      {STUDENT_HIGHEST_SERVER, "broke the rule \"nobody waits while a server is free; lowest-numbered free server", 1},
      {STUDENT_QUEUE_COUNTS_IN_SERVICE, "broke the rule \"the queue length counts the customers waiting", 2},
      {STUDENT_ARRIVALS_FIRST, "broke the rule \"the queue length counts the customers waiting", 3},
      {STUDENT_SKIPPED_VISITED, "broke the rule \"the route and its travel times\"", 1},
      {STUDENT_CRASH_PAST_50, "crashed: killed by signal 6", 51},
      {STUDENT_LOOP_ONE_SERVER, "did not finish within the time limit", 1},
  };
  for (const Case& C : Cases) {
    std::vector<std::string> Arguments = {"--time-limit", "2", C.Simulator};
    Arguments.insert(Arguments.end(), C.Arguments.begin(), C.Arguments.end());
    Run_Result R = Check(Folder, Arguments);
    EXPECT_EQ(R.Exit_Status, 1) << C.Simulator << "\n" << R.Err;
    EXPECT_NE(R.Out.find("\nOn that day it " + C.Named), std::string::npos) << C.Simulator << "\n" << R.Out;
    size_t Customers = 0;
    size_t At = R.Out.find("\nThe smallest day that shows it (found in ");
    ASSERT_NE(At, std::string::npos) << R.Out;
    ASSERT_EQ(std::sscanf(R.Out.c_str() + R.Out.find("): ", At) + 3, "%zu customer", &Customers), 1);
    EXPECT_LE(Customers, C.Most_Customers) << C.Simulator << "\n" << R.Out;
  }
}

// The kept folder reruns by hand: results_checker there gives the verdict
// the report printed.
TEST_F(Simulator_Checker, KeepsTheFailingDayToRerunByHand) {
  Run_Result R = Check(Folder, {"--keep", "failing day", STUDENT_LIFO});
  ASSERT_EQ(R.Exit_Status, 1) << R.Err;
  std::string Kept = At("failing day");
  for (const char* File : {"ZOR_Binary_In", "entries", "ZOR_Binary_Out", "ZOR_Text_Out", "Reference_Binary_Out",
                           "Reference_Text_Out", "ZOR_Text_In", "Verdict"})
    EXPECT_TRUE(File_Exists(Kept + "/" + File)) << File;
  Run_Result Again = Run_Program(RESULTS_CHECKER_PATH, Kept, Read_File(Kept + "/entries"));
  EXPECT_EQ(Again.Exit_Status, 1);
  EXPECT_NE(R.Out.find(Again.Out), std::string::npos) << Again.Out;
  EXPECT_NE(R.Out.find("cd failing day && " STUDENT_LIFO " < entries && results_checker < entries"), std::string::npos);
}

TEST_F(Simulator_Checker, TroubleIsStatusTwo) {
  for (std::vector<std::string> Wrong : {std::vector<std::string>{}, {"./no_such_simulator"}, {"/etc/passwd"},
                                         {"--trials", "0", ZOR_SIMULATOR_PATH}, {"--colour", ZOR_SIMULATOR_PATH}}) {
    Run_Result R = Check(Folder, Wrong);
    EXPECT_EQ(R.Exit_Status, 2) << (Wrong.empty() ? "" : Wrong[0]);
    EXPECT_EQ(R.Out, "");
    EXPECT_EQ(R.Err.rfind("simulator_checker: ", 0), 0u) << R.Err;
    EXPECT_EQ(R.Err.find('\n'), R.Err.size() - 1) << R.Err;
  }
}

// A simulator that gives an arriving customer the highest-numbered free
// server, on the day of 8 per slot and seed 1 with servers 3, 2, 1: its
// first wrong decision is customer 3's, at 43, and every later difference
// follows from it.
TEST_F(Simulator_Checker, ResultsCheckerNamesTheFirstWrongDecision) {
  ASSERT_EQ(Run_Program(WORKLOAD_MAKER_PATH, Folder, "8\n1\n").Exit_Status, 0);
  ASSERT_EQ(Run_Program(STUDENT_HIGHEST_SERVER, Folder, "3\n2\n1\n").Exit_Status, 0);
  Run_Result R = Run_Program(RESULTS_CHECKER_PATH, Folder, "3\n2\n1\n");
  EXPECT_EQ(R.Exit_Status, 1);
  EXPECT_EQ(R.Out.substr(0, R.Out.find("Customers by the first rule")),
            "ZOR_Binary_Out does not follow the model: customer 3 breaks the rule \"nobody waits while a server is "
            "free; lowest-numbered free server first\"\n"
            "  customer: 3\n  station:  LAB\n  time:     43\n  field:    LAB_Server\n  expected: 1\n  found:    3\n"
            "  why:      at 43 server 1 was the lowest-numbered free one\n");
  EXPECT_EQ(R.Out.find("gap"), std::string::npos);
}

}  // namespace
