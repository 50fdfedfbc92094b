// The sort profiler: the example routines pass every case; a routine
// that breaks the contract in each way is caught at the right order and
// size with the right kind of fault; the fits name N log N and N^2.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process.h"

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

// On random items a linked list outgrows each cache in turn, which
// steepens the time per item until the list lives in main memory: the
// merge sort's series runs past the last cache (4 Mi items) so that its
// fit shows the algorithm. Ascending items are the insertion sort's worst
// case and walk memory in order, so a short series shows its N^2.
TEST_F(Sort_Profile, FitsNameTheGrowth) {
  struct Case {
    const char* Program;
    std::string Order, Max_Items, Growth;
  };
  for (const Case& C : {Case{PROFILE_MERGE_SORT, "random", "4194304", "  random        N log N "},
                        Case{PROFILE_INSERTION_SORT, "ascending", "16384", "  ascending     N^2 "}}) {
    Run_Result R = Profile(Folder, C.Program,
                           {"--orders", C.Order, "--max-items", C.Max_Items, "--budget", "10", "--time-limit", "600",
                            "--benchmark_min_time=0.01", "--svg", "growth.svg"});
    ASSERT_EQ(R.Exit_Status, 0) << R.Out << R.Err;
    EXPECT_NE(R.Out.find("sort/" + C.Order + "/1024 "), std::string::npos) << R.Out;
    EXPECT_NE(R.Out.find("per_item"), std::string::npos);
    EXPECT_NE(R.Out.find("\nGrowth of the CPU time per sort (Google Benchmark's fit):\n" + C.Growth), std::string::npos)
        << R.Out;
    EXPECT_EQ(Run_Program("xmllint", Folder, "", {}, {"--noout", "growth.svg"}).Exit_Status, 0);
    EXPECT_NE(Read_File(At("growth.svg")).find(">" + C.Order + "<"), std::string::npos);
  }
}

TEST_F(Sort_Profile, GoogleBenchmarkOptionsWorkAndBadOptionsAreRefused) {
  Run_Result Json = Profile(Folder, PROFILE_MERGE_SORT,
                            {"--orders", "descending", "--max-items", "4096", "--benchmark_format=json",
                             "--benchmark_min_time=0.01", "--benchmark_out=series.json"});
  ASSERT_EQ(Json.Exit_Status, 0) << Json.Err;
  std::string Series = Read_File(At("series.json"));
  EXPECT_NE(Series.find("\"name\": \"sort/descending/4096\""), std::string::npos) << Series;
  EXPECT_NE(Json.Out.find("\"name\": \"sort/descending_BigO\""), std::string::npos);

  for (std::vector<std::string> Wrong : {std::vector<std::string>{"--k", "21"}, {"--x", "-1"}, {"--orders", "sideways"},
                                         {"--max-items", "0"}, {"--sweep-k", "5,2"}, {"--colour"}, {"extra"}}) {
    Run_Result R = Profile(Folder, PROFILE_MERGE_SORT, Wrong);
    EXPECT_EQ(R.Exit_Status, 2) << Wrong[0];
    EXPECT_EQ(R.Out, "");
    EXPECT_EQ(R.Err.find('\n'), R.Err.size() - 1) << R.Err;
    EXPECT_NE(R.Err.find(Wrong[0]), std::string::npos) << R.Err;
  }
}

TEST_F(Sort_Profile, SweepFindsTheBestPairAmongThoseThatSort) {
  Run_Result R = Profile(Folder, PROFILE_RADIX_SORT,
                         {"--sweep", "--max-items", "20000", "--sweep-k", "3,4", "--sweep-x", "0,32", "--sweep-repeats", "3"});
  ASSERT_EQ(R.Exit_Status, 0) << R.Err;
  EXPECT_NE(R.Out.find("Median CPU time (ms) of 3 sorts of 20000 random items; rows K, columns X\n   K        0       32\n   3 "),
            std::string::npos)
      << R.Out;
  EXPECT_NE(R.Out.find("\nBest: K "), std::string::npos);
}

// The profiler frees nodes a routine has relinked: under valgrind (the
// sanitizer build checks the same under AddressSanitizer), a whole
// profile, correctness and series, reads and frees nothing it should not.
TEST_F(Sort_Profile, FreesOnlyWhatItLaidOut) {
  Run_Options Checked = Memory_Checked();
  Run_Result R = Profile(Folder, PROFILE_MERGE_SORT,
                         {"--orders", "random,extremes", "--max-items", "2048", "--benchmark_min_time=0.001"}, Checked);
  EXPECT_EQ(R.Exit_Status, 0) << R.Err;
  EXPECT_EQ(R.Out.rfind("PASS: 52 cases", 0), 0u) << R.Out;
}

}  // namespace
