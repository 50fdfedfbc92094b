// The sort profiler: the example routines pass every case; a routine
// that breaks the contract in each way is caught at the right order and
// size with the right kind of fault, and kept as a Raw file; a routine
// that crashes or loops only past the correctness sizes is caught while
// timed; the report has its form (never a class measured here: that is
// the verdict rule's test, on made-up series, and bench/'s).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/process.h"

namespace {

using Sort_Profile = Scratch_Folder_Test;

Run_Result Profile(const std::string& Folder, const char* Program, std::vector<std::string> Arguments,
                   const Run_Options& Options = {}) {
  return Run_Program(Program, Folder, "", Options, Arguments);
}

TEST_F(Sort_Profile, ExampleRoutinesPassEveryCase) {
  const std::string Orders = "orders: random ascending descending equal few-distinct organ-pipe sawtooth extremes";
  struct Case {
    const char* Program;
    std::vector<std::string> Arguments;
    std::string Out;
  };
  const Case Cases[] = {
      {PROFILE_MERGE_SORT, {"--check-only"}, "PASS: 150 cases (" + Orders + "; random from 3 seeds; sizes 0 .. 100000; K 0, X 0)\n"},
      {PROFILE_RADIX_SORT, {"--check-only"}, "PASS: 150 cases (" + Orders + "; random from 3 seeds; sizes 0 .. 100000; K 0, X 0)\n"},
      {PROFILE_RADIX_SORT, {"--check-only", "--k", "10", "--x", "32"}, "PASS: 150 cases (" + Orders + "; random from 3 seeds; sizes 0 .. 100000; K 10, X 32)\n"},
      {PROFILE_RADIX_SORT, {"--check-only", "--k", "1", "--x", "500", "--max-items", "1000"}, "PASS: 130 cases (" + Orders + "; random from 3 seeds; sizes 0 .. 1000; K 1, X 500)\n"},
  };
  for (const Case& C : Cases) {
    Run_Result R = Profile(Folder, C.Program, C.Arguments);
    EXPECT_EQ(R.Exit_Status, 0) << R.Out << R.Err;
    EXPECT_EQ(R.Out, C.Out);
  }
}

TEST_F(Sort_Profile, EachBrokenRoutineIsCaughtWhereItFirstFails) {
  struct Case {
    const char* Program;
    std::string First_Line, Fault;
  };
  const Case Cases[] = {
      {PROFILE_CRASHES_ON_EMPTY, "FAIL: order random (seed 1), size 0, K 0, X 0", "  crashed: "},
      {PROFILE_LOOPS_ON_TWO, "FAIL: order random (seed 1), size 2, K 0, X 0", "  did not return within 1 s"},
      {PROFILE_LOSES_NODE_AT_FIVE, "FAIL: order random (seed 1), size 5, K 0, X 0", "  the list ends after 4 of 5 nodes"},
      {PROFILE_FOREIGN_NODE, "FAIL: order random (seed 1), size 3, K 0, X 0", "  a node it was not given stands at position 2"},
      {PROFILE_LEAVES_CYCLE, "FAIL: order random (seed 1), size 4, K 0, X 0", "  the list runs into a cycle: position 5"},
      {PROFILE_WRONG_ON_DESCENDING, "FAIL: order descending, size 8, K 0, X 0", "  items do not ascend at position 2"},
      {PROFILE_COPIES_NODES, "FAIL: order random (seed 1), size 1, K 0, X 0", "  a node it was not given stands at position 1"},
  };
  for (const Case& C : Cases) {
    Run_Result R = Profile(Folder, C.Program, {"--check-only", "--time-limit", "1"});
    EXPECT_EQ(R.Exit_Status, 1) << C.Program << "\n" << R.Out;
    EXPECT_EQ(R.Out.substr(0, R.Out.find('\n')), C.First_Line) << C.Program;
    EXPECT_EQ(R.Out.find("\n" + C.Fault), C.First_Line.size()) << C.Program << "\n" << R.Out;
    EXPECT_EQ(R.Signal, 0);
  }
}

TEST_F(Sort_Profile, KeepsTheFailingListAsARawFile) {
  Run_Result R = Profile(Folder, PROFILE_WRONG_ON_DESCENDING, {"--check-only", "--keep-failing", "failing.raw"});
  EXPECT_EQ(R.Exit_Status, 1);
  EXPECT_NE(R.Out.find("\n  The list is kept in failing.raw as a Raw file"), std::string::npos) << R.Out;
  EXPECT_EQ(Read_File(At("failing.raw")), Int32_Image({4, 3, 2, 1, 0, -1, -2, -3}));  // descending, 8 items
  Run_Result Passing = Profile(Folder, PROFILE_MERGE_SORT, {"--check-only", "--max-items", "100", "--keep-failing",
                                                            "failing.raw"});
  EXPECT_EQ(Passing.Exit_Status, 0);
  EXPECT_FALSE(File_Exists(At("failing.raw"))) << "an older failing list stands for this run";
}

// Past 100,000 items only the timing runs the routine: there too a crash
// or a loop is named with its order and size, and the profiler survives.
TEST_F(Sort_Profile, ACrashOrLoopWhileTimedIsNamed) {
  struct Case {
    const char* Program;
    std::string Fault;
  };
  for (const Case& C : {Case{PROFILE_CRASHES_PAST_100000, "  crashed: killed by signal 6 (Aborted)\n"},
                        Case{PROFILE_LOOPS_PAST_100000, "  did not return within 1 s: an endless loop?"}}) {
    Run_Result R = Profile(Folder, C.Program,
                           {"--orders", "random", "--max-items", "262144", "--time-limit", "1", "--svg", "growth.svg"});
    EXPECT_EQ(R.Exit_Status, 1) << C.Program << "\n" << R.Out << R.Err;
    EXPECT_NE(R.Out.find("FAIL while timing: order random, size 131072, K 0, X 0\n" + C.Fault), std::string::npos)
        << R.Out;
    EXPECT_FALSE(File_Exists(At("growth.svg")));
  }
}

TEST_F(Sort_Profile, ReportShowsEachVerdictWithItsEvidence) {
  Run_Result R = Profile(Folder, PROFILE_MERGE_SORT,
                         {"--orders", "random,descending", "--max-items", "16384", "--benchmark_min_time=0.01",
                          "--svg", "growth.svg"});
  ASSERT_EQ(R.Exit_Status, 0) << R.Out << R.Err;
  EXPECT_NE(R.Out.find("sort/random/1024 "), std::string::npos) << R.Out;
  EXPECT_NE(R.Out.find("reference/descending/16384 "), std::string::npos) << R.Out;
  size_t At_Report = R.Out.find("\nGrowth of the CPU time per sort, against the kit's merge sort (N log N)");
  ASSERT_NE(At_Report, std::string::npos) << R.Out;
  for (const char* Order : {"random", "descending"}) {
    size_t Line = R.Out.find(std::string("\n  ") + Order + " ", At_Report);
    ASSERT_NE(Line, std::string::npos) << R.Out;
    std::string Text = R.Out.substr(Line + 1, R.Out.find('\n', Line + 1) - Line - 1);
    EXPECT_NE(Text.find(" slope "), std::string::npos) << Text;
    EXPECT_NE(Text.find("; steps "), std::string::npos) << Text;
    EXPECT_NE(Text.find(" (1Ki .. 16Ki items)"), std::string::npos) << Text;
  }
  EXPECT_EQ(Run_Program("xmllint", Folder, "", {}, {"--noout", "growth.svg"}).Exit_Status, 0);
  std::string Picture = Read_File(At("growth.svg"));
  EXPECT_NE(Picture.find(">random: "), std::string::npos);
  EXPECT_NE(Picture.find(">10k<"), std::string::npos) << "size ticks read 1k, 10k, ...";
}

TEST_F(Sort_Profile, GoogleBenchmarkOptionsWorkAndBadOptionsAreRefused) {
  Run_Result Json = Profile(Folder, PROFILE_MERGE_SORT,
                            {"--orders", "descending", "--max-items", "8192", "--benchmark_format=json",
                             "--benchmark_min_time=0.01", "--benchmark_out=series.json"});
  ASSERT_EQ(Json.Exit_Status, 0) << Json.Err;
  std::string Series = Read_File(At("series.json"));
  EXPECT_NE(Series.find("\"name\": \"sort/descending/8192\""), std::string::npos) << Series;
  EXPECT_NE(Json.Out.find("\"name\": \"sort/descending_BigO\""), std::string::npos);
  EXPECT_NE(Json.Err.find("\nGrowth of the CPU time per sort"), std::string::npos) << "the verdict beside the JSON";

  // Each refused before any work: a too-small series, a chart nowhere to go.
  for (std::vector<std::string> Wrong :
       {std::vector<std::string>{"--k", "21"}, {"--x", "-1"}, {"--orders", "sideways"}, {"--max-items", "0"},
        {"--max-items", "4096"}, {"--sweep-k", "5,2"}, {"--colour"}, {"extra"}, {"--svg", "no/such/folder/g.svg"},
        {"--check-only", "--svg", "g.svg"}, {"--keep-failing", "no/such/folder/failing.raw"}}) {
    Run_Result R = Profile(Folder, PROFILE_MERGE_SORT, Wrong);
    EXPECT_EQ(R.Exit_Status, 2) << Wrong[0];
    EXPECT_EQ(R.Out, "");
    EXPECT_EQ(R.Err.find('\n'), R.Err.size() - 1) << R.Err;
    EXPECT_NE(R.Err.find(Wrong[0]), std::string::npos) << R.Err;
  }
}

TEST_F(Sort_Profile, SweepNamesTheBestPairItsTiesAndItsNoise) {
  Run_Result R = Profile(Folder, PROFILE_RADIX_SORT, {"--sweep", "--max-items", "20000", "--sweep-k", "3,4",
                                                      "--sweep-x", "0,32", "--sweep-repeats", "3", "--svg", "sweep.svg"});
  ASSERT_EQ(R.Exit_Status, 0) << R.Err;
  EXPECT_NE(R.Out.find("Median CPU time (ms) of 3 sorts of 20000 random items; rows K, columns X\n   K        0       32\n   3 "),
            std::string::npos)
      << R.Out;
  EXPECT_NE(R.Out.find("\nBest: K "), std::string::npos);
  EXPECT_NE(R.Out.find("\nNoise: the middle half of a pair's sorts spans "), std::string::npos);
  EXPECT_EQ(Run_Program("xmllint", Folder, "", {}, {"--noout", "sweep.svg"}).Exit_Status, 0);
  EXPECT_NE(Read_File(At("sweep.svg")).find(">K 4<"), std::string::npos);
  // No pair sorts within the budget, whatever the machine's speed: a
  // routine that never returns on more than 100,000 items: exit 1.
  Run_Result None = Profile(Folder, PROFILE_LOOPS_PAST_100000, {"--sweep", "--max-items", "100001", "--sweep-k",
                                                                "3,3", "--sweep-x", "0", "--budget", "0.1"});
  EXPECT_EQ(None.Exit_Status, 1) << None.Out;
  EXPECT_NE(None.Out.find("No K and X sorted the list within the budget."), std::string::npos) << None.Out;
}

// The profiler frees nodes a routine has relinked: under valgrind (the
// sanitizer build checks the same under AddressSanitizer), a whole
// profile, correctness and series, reads and frees nothing it should not.
TEST_F(Sort_Profile, FreesOnlyWhatItLaidOut) {
  Run_Options Checked = Memory_Checked();
  Run_Result R = Profile(Folder, PROFILE_MERGE_SORT,
                         {"--orders", "random,extremes", "--max-items", "8192", "--benchmark_min_time=0.001"}, Checked);
  EXPECT_EQ(R.Exit_Status, 0) << R.Err;
  EXPECT_EQ(R.Out.rfind("PASS: 52 cases", 0), 0u) << R.Out;
}

}  // namespace
