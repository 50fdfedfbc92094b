// The sort profiler: the example routines pass every case; a routine
// that breaks the contract in each way is caught at the right order and
// size with the right kind of fault, and kept as a Raw file; a routine
// that crashes or loops only past the correctness sizes is caught while
// timed; the report has its form, leading with what a student reads
// first, and the table of every measurement is there only when asked for
// (never a class or a time measured here: that is the verdict rule's
// test, on made-up series, and bench/'s). A budget no sort can reach
// makes the sizes timed the same on any machine.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/process.h"

namespace {

using Sort_Profile = Scratch_Folder_Test;

size_t Count_Of(const std::string& Text, const std::string& Part) {
  size_t Count = 0;
  for (size_t At = Text.find(Part); At != std::string::npos; At = Text.find(Part, At + 1)) Count++;
  return Count;
}

Run_Result Profile(const std::string& Folder, const char* Program, std::vector<std::string> Arguments,
                   const Run_Options& Options = {}) {
  return Run_Program(Program, Folder, "", Options, Arguments);
}

TEST_F(Sort_Profile, ExampleRoutinesPassEveryCase) {
  const std::string Orders = "orders: random ascending descending equal few-distinct organ-pipe sawtooth extremes";
  const std::string Seeds = "random from 3 seeds, the last on scattered nodes";
  struct Case {
    const char* Program;
    std::vector<std::string> Arguments;
    std::string Out;
  };
  const Case Cases[] = {
      // Every order and seed up to 10,000 items (14 sizes x 10 cases);
      // past it one random list, the sorted and the reversed one.
      {PROFILE_MERGE_SORT, {"--check-only"}, "PASS: 143 cases (" + Orders + "; " + Seeds + "; sizes 0 .. 10000, and 100000 for fewer orders; K 0, X 0)\n"},
      {PROFILE_RADIX_SORT, {"--check-only"}, "PASS: 143 cases (" + Orders + "; " + Seeds + "; sizes 0 .. 10000, and 100000 for fewer orders; K 0, X 0)\n"},
      {PROFILE_RADIX_SORT, {"--check-only", "--k", "10", "--x", "32"}, "PASS: 143 cases (" + Orders + "; " + Seeds + "; sizes 0 .. 10000, and 100000 for fewer orders; K 10, X 32)\n"},
      // None of those three asked for: the first order asked, alone, past 10,000.
      {PROFILE_MERGE_SORT, {"--check-only", "--orders", "equal,few-distinct"}, "PASS: 29 cases (orders: equal few-distinct; " + Seeds + "; sizes 0 .. 10000, and 100000 for fewer orders; K 0, X 0)\n"},
      {PROFILE_RADIX_SORT, {"--check-only", "--k", "1", "--x", "500", "--max-items", "1000"}, "PASS: 130 cases (" + Orders + "; " + Seeds + "; sizes 0 .. 1000; K 1, X 500)\n"},
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
      {PROFILE_LOOPS_ON_TWO, "FAIL: order random (seed 1), size 2, K 0, X 0",
       "  hit the time limit: more than 1 s of CPU time (an endless loop?); --time-limit sets it\n"},
      {PROFILE_LOSES_NODE_AT_FIVE, "FAIL: order random (seed 1), size 5, K 0, X 0", "  the list ends after 4 of 5 nodes"},
      {PROFILE_FOREIGN_NODE, "FAIL: order random (seed 1), size 3, K 0, X 0", "  a node it was not given stands at position 2"},
      {PROFILE_LEAVES_CYCLE, "FAIL: order random (seed 1), size 4, K 0, X 0", "  the list runs into a cycle: position 5"},
      {PROFILE_WRONG_ON_DESCENDING, "FAIL: order descending, size 8, K 0, X 0", "  items do not ascend at position 2"},
      {PROFILE_COPIES_NODES, "FAIL: order random (seed 1), size 1, K 0, X 0", "  a node it was not given stands at position 1"},
  };
  for (const Case& C : Cases) {
    Run_Result R = Profile(Folder, C.Program, {"--check-only", "--time-limit", "1", "--wall-time-limit", "60"});
    EXPECT_EQ(R.Exit_Status, 1) << C.Program << "\n" << R.Out;
    EXPECT_EQ(R.Out.substr(0, R.Out.find('\n')), C.First_Line) << C.Program;
    EXPECT_EQ(R.Out.find("\n" + C.Fault), C.First_Line.size()) << C.Program << "\n" << R.Out;
    EXPECT_EQ(R.Signal, 0);
  }
}

// The time limit of a case is CPU time: a routine that sleeps (or waits
// its turn on a crowded machine) is not taken for a loop; only the
// wall-time limit, far above, ends one that sleeps too long.
TEST_F(Sort_Profile, TheTimeLimitIsCpuTimeAndTheWallTimeLimitSeparate) {
  const struct {
    std::string Wall, Out;
  } Cases[] = {
      {"60", "PASS: 15 cases (orders: descending; "},
      {"1", "FAIL: order descending, size 17, K 0, X 0\n  hit the wall-time limit: still running after 1 s, asleep "
            "or blocked; --wall-time-limit sets it\n"},
  };
  for (const auto& C : Cases) {
    Run_Result R = Profile(Folder, PROFILE_SLEEPS_ON_SEVENTEEN,
                           {"--check-only", "--orders", "descending", "--time-limit", "1", "--wall-time-limit", C.Wall});
    EXPECT_EQ(R.Exit_Status, C.Wall == "60" ? 0 : 1) << R.Out << R.Err;
    EXPECT_EQ(R.Out.rfind(C.Out, 0), 0u) << R.Out;
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

// Past 100,000 items only the timing runs the routine: there too a crash,
// a loop (past the time limit of one sort, in CPU time) or a sleep (past
// the wall-time limit without a word) is named with its order and size,
// and the profiler survives.
TEST_F(Sort_Profile, ACrashOrLoopWhileTimedIsNamed) {
  struct Case {
    const char* Program;
    std::string Wall, Fault;
  };
  for (const Case& C :
       {Case{PROFILE_CRASHES_PAST_100000, "60", "  crashed: killed by signal 6 (Aborted)\n"},
        Case{PROFILE_LOOPS_PAST_100000, "60",
             "  hit the time limit: more than 1 s of CPU time (an endless loop?); --time-limit sets it\n"},
        Case{PROFILE_SLEEPS_PAST_100000, "5",
             "  hit the wall-time limit: still running after 5 s, asleep or blocked; --wall-time-limit sets it\n"}}) {
    Run_Result R = Profile(Folder, C.Program, {"--orders", "random", "--max-items", "262144", "--budget", "86400",
                                               "--time-limit", "1", "--wall-time-limit", C.Wall, "--svg", "growth.svg",
                                               "--summary", "summary"});
    EXPECT_EQ(R.Exit_Status, 1) << C.Program << "\n" << R.Out << R.Err;
    EXPECT_NE(R.Out.find("FAIL while timing: order random, size 131072, K 0, X 0\n" + C.Fault), std::string::npos)
        << R.Out;
    // The chart begun is removed, temporary name and all; the summary stays.
    EXPECT_EQ(Names_In(Folder), std::vector<std::string>{"summary"}) << C.Program;
    std::remove(At("summary").c_str());
  }
}

// An insertion sort does about N^2/4 steps on random items where the
// reference merge sort does N log N: at 8,192 items it is slower by far
// more than any noise of a busy machine, so the ratio the summary gives
// must say so (a profile that mixed up the routine's times and the
// reference's would give a ratio below 1).
TEST_F(Sort_Profile, AQuadraticRoutineIsTimedAsSlowerThanTheReference) {
  Run_Result R = Profile(Folder, PROFILE_INSERTION_SORT, {"--timing-only", "--orders", "random", "--max-items", "8192",
                                                         "--budget", "86400", "--summary", "summary"});
  ASSERT_EQ(R.Exit_Status, 0) << R.Out << R.Err;
  std::string Summary = Read_File(At("summary"));
  size_t At_Ratio = Summary.find("\ntime_ratio random ");
  ASSERT_NE(At_Ratio, std::string::npos) << Summary;
  double Ratio = std::atof(Summary.c_str() + At_Ratio + 19);
  EXPECT_GT(Ratio, 4.0) << Summary;
}

// Routines written apart from the kit's examples, on orders where their
// growth lies far from every band's edge (measured on a busy two-core
// machine, in one process and through the judge: the counting sort
// -0.61 .. -0.22, the bubble sort -0.06 .. -0.02 on sorted lists and
// 0.95 .. 1.09 on reversed ones, the bottom-up merge sort 0.16 .. 0.24 on
// random items), so that the verdict must hold on any machine, however
// busy.
TEST_F(Sort_Profile, RoutinesWrittenApartReadTheirGrowth) {
  struct Case {
    const char* Program;
    const char* Orders;
    std::vector<std::string> Lines;
  };
  const Case Cases[] = {
      {PROFILE_COUNTING_SORT, "random,descending", {"growth random N\n", "growth descending N\n"}},
      {PROFILE_BUBBLE_SORT_EARLY_EXIT, "ascending,descending", {"growth ascending N\n", "growth descending N^2\n"}},
      {PROFILE_BOTTOM_UP_MERGE_SORT, "random", {"growth random N log N\n"}},
  };
  for (const Case& C : Cases) {
    Run_Result R = Profile(Folder, C.Program, {"--orders", C.Orders, "--max-items", "8192", "--summary", "summary"});
    ASSERT_EQ(R.Exit_Status, 0) << R.Out << R.Err;
    std::string Summary = Read_File(At("summary"));
    for (const std::string& Line : C.Lines) EXPECT_NE(Summary.find(Line), std::string::npos) << Line << Summary << R.Out;
  }
}

// The sections in the order a student reads them, each with its evidence:
// the verdicts first, shown as soon as they are read.
TEST_F(Sort_Profile, ReportLeadsWithVerdictsThenCorrectnessSpeedLayoutAndTime) {
  Run_Result R = Profile(Folder, PROFILE_MERGE_SORT, {"--orders", "random,descending", "--max-items", "16384",
                                                      "--budget", "86400", "--svg", "growth.svg"});
  ASSERT_EQ(R.Exit_Status, 0) << R.Out << R.Err;
  const char* const Sections[] = {"\nGrowth of the CPU time per sort, read on lists of 64 to 1,024 items", "\nPASS: 56 cases",
                                  "\nSpeed: the routine's CPU time over the kit's merge sort's on the same list",
                                  " over 1Ki .. 16Ki; ", " x at 16Ki\n",
                                  "\nNode layout, random order, 16Ki items: the time on nodes linked in a random order",
                                  "\nThe run took "};
  size_t Before = 0;
  for (const char* Section : Sections) {
    size_t Found = R.Out.find(Section);
    ASSERT_NE(Found, std::string::npos) << Section << "\n" << R.Out;
    EXPECT_GE(Found, Before) << Section << " out of order\n" << R.Out;
    Before = Found;
  }
  for (const char* Order : {"random", "descending"}) {
    size_t Line = R.Out.find(std::string("\n  ") + Order + " ");
    ASSERT_NE(Line, std::string::npos) << R.Out;
    std::string Text = R.Out.substr(Line + 1, R.Out.find('\n', Line + 1) - Line - 1);
    EXPECT_NE(Text.find(" slope "), std::string::npos) << Text;
    EXPECT_NE(Text.find(" (64 .. 1Ki items)"), std::string::npos) << Text;  // the verdict's own sizes
    // Nine sizes, 64, 96, 128, 192, ... 1Ki: eight steps between them.
    size_t First = Text.find("; steps ") + 8;
    std::string Steps = Text.substr(First, Text.find(" (") - First);
    EXPECT_EQ(std::count(Steps.begin(), Steps.end(), ' ') + 1, 8) << Text;
  }
  EXPECT_NE(R.Out.find("\n  your routine "), std::string::npos) << R.Out;
  EXPECT_NE(R.Out.find(", the kit's merge sort "), std::string::npos) << R.Out;
  EXPECT_NE(R.Out.find(" s: correctness "), std::string::npos) << R.Out;
  EXPECT_EQ(R.Out.find("sort/random/1024"), std::string::npos) << "the table only when asked for";
  EXPECT_EQ(R.Out.find("WARNING"), std::string::npos);
  // Standard error holds the sandbox's one line and nothing else.
  EXPECT_EQ(R.Err.rfind("sort_profile_merge_sort: sandbox: ", 0), 0u) << R.Err;
  EXPECT_EQ(R.Err.find('\n'), R.Err.size() - 1) << R.Err;
  EXPECT_EQ(Run_Program("xmllint", Folder, "", {}, {"--noout", "growth.svg"}).Exit_Status, 0);
  std::string Picture = Read_File(At("growth.svg"));
  // The verdict's words themselves depend on the timing; that the picture
  // carries the order's verdict does not.
  EXPECT_NE(Picture.find(">random: "), std::string::npos);
  EXPECT_NE(Picture.find(">10k<"), std::string::npos) << "size ticks read 1k, 10k, ...";
  EXPECT_NE(Picture.find("time on scattered nodes / time on nodes in allocation order (random, 16Ki items): this "
                         "routine "),
            std::string::npos);
  EXPECT_NE(Picture.find(">It suffers "), std::string::npos);
  // A dot per size: for each of the two orders five of the series
  // (1Ki .. 16Ki) and nine the verdict reads (64 .. 1Ki).
  EXPECT_EQ(Count_Of(Picture, "<circle"), 28u) << Picture;
}

// Google Benchmark's table of every measurement: after the report with
// --table, as JSON on standard output (the report beside it) or in a file.
TEST_F(Sort_Profile, TheTableOfEveryMeasurementWhenAskedFor) {
  const std::vector<std::string> Small = {"--orders", "descending", "--max-items", "8192", "--budget", "86400"};
  auto With = [&Small](std::vector<std::string> More) {
    More.insert(More.begin(), Small.begin(), Small.end());
    return More;
  };
  Run_Result Table = Profile(Folder, PROFILE_MERGE_SORT, With({"--table"}));
  ASSERT_EQ(Table.Exit_Status, 0) << Table.Err;
  size_t At_Table = Table.Out.find("\nEvery measurement, as Google Benchmark's table:\n");
  ASSERT_NE(At_Table, std::string::npos) << Table.Out;
  EXPECT_GT(At_Table, Table.Out.find("\nThe run took ")) << "the table after the report";
  for (const char* Row : {"\nsort/descending/1024 ", "\nsort/descending/2048 ", "\nreference/descending/8192 ",
                          "\nsort/descending/scattered/8192 ", "\nreference/descending/allocation-order/8192 "})
    EXPECT_NE(Table.Out.find(Row, At_Table), std::string::npos) << Row << Table.Out;
  EXPECT_EQ(Table.Out.find("***WARNING***"), std::string::npos) << "said in one line, or not at all";

  Run_Result Json = Profile(Folder, PROFILE_MERGE_SORT,
                            With({"--benchmark_format=json", "--benchmark_out=series.json"}));
  ASSERT_EQ(Json.Exit_Status, 0) << Json.Err;
  EXPECT_NE(Json.Out.find("\"name\": \"sort/descending/8192\""), std::string::npos) << Json.Out;
  EXPECT_NE(Json.Err.find("\nGrowth of the CPU time per sort"), std::string::npos) << "the verdict beside the JSON";
  for (const char* File : {"series.json"})
    EXPECT_EQ(Run_Program("python3", Folder, "", {}, {"-c", "import json,sys; json.load(open(sys.argv[1]))", File})
                  .Exit_Status, 0) << Read_File(At(File));
  EXPECT_NE(Read_File(At("series.json")).find("\"name\": \"reference/descending/1024\""), std::string::npos);
  EXPECT_EQ(Run_Program("python3", Folder, "", {}, {"-c", "import json,sys; json.load(sys.stdin)"}).Exit_Status, 1)
      << "the JSON check can fail";
}

// How a crash on the empty list shows: the sanitizer build's harness
// catches the fault and ends the child itself.
#ifdef ZOR_SANITIZE
#define Crash_On_Empty "ended with status 1 before the list could be judged"
#else
#define Crash_On_Empty "killed by signal 11 (SIGSEGV; a recursion too deep for the stack does this)"
#endif

// --summary: what a profile came to, in lines a grading tool reads; the
// kind of each failure named, wherever it failed.
TEST_F(Sort_Profile, TheSummaryNamesWhatTheProfileCameTo) {
  struct Case {
    const char* Program;
    std::vector<std::string> Arguments;
    std::string Summary;  // its first lines; timing lines follow where it was timed
  };
  const Case Cases[] = {
      {PROFILE_MERGE_SORT, {"--check-only", "--max-items", "100"},
       "sort_profile summary 1\ncorrectness passed\ncases 120\ntiming not-run\n"},
      {PROFILE_CRASHES_ON_EMPTY, {"--check-only"},
       "sort_profile summary 1\ncorrectness failed\ncases 1\nfault crashed: " Crash_On_Empty
       "\nfault_kind crashed\ntiming not-run\n"},
      // A wall-time limit far above the time limit, so that the loop meets
      // the time limit first however busy the machine.
      {PROFILE_LOOPS_ON_TWO, {"--check-only", "--wall-time-limit", "600"},
       "sort_profile summary 1\ncorrectness failed\ncases 21\nfault hit the time limit: more than 1 s of CPU "
       "time (an endless loop?); --time-limit sets it\nfault_kind time-limit\ntiming not-run\n"},
      {PROFILE_WRONG_ON_DESCENDING, {},
       "sort_profile summary 1\ncorrectness failed\ncases 75\nfault items do not ascend at position 2: 3 after "
       "4\nfault_kind wrong-list\ntiming not-run\n"},
      {PROFILE_CRASHES_PAST_100000, {"--orders", "random", "--max-items", "262144", "--budget", "86400"},
       // 14 sizes x 3 seeds up to 10,000 items, one random list of 100,000.
       "sort_profile summary 1\ncorrectness passed\ncases 43\nfault crashed: killed by signal 6 (Aborted)\n"
       "fault_kind crashed\ntiming failed\n"},
      {PROFILE_MERGE_SORT, {"--orders", "random,descending", "--max-items", "16384"},
       "sort_profile summary 1\ncorrectness passed\ncases 56\ntiming done\n"},
      // Not checked: a routine that crashes on the empty list is timed on
      // lists of 1,024 items and more, which it sorts.
      {PROFILE_CRASHES_ON_EMPTY, {"--timing-only", "--orders", "random", "--max-items", "8192"},
       "sort_profile summary 1\ncorrectness passed\ncases 0\ntiming done\ngrowth random "},
  };
  for (const Case& C : Cases) {
    std::vector<std::string> Arguments = C.Arguments;
    for (const char* More : {"--time-limit", "1", "--summary", "summary"}) Arguments.push_back(More);
    Run_Result R = Profile(Folder, C.Program, Arguments);
    std::string Summary = Read_File(At("summary"));
    EXPECT_EQ(Summary.substr(0, C.Summary.size()), C.Summary) << C.Program << "\n" << Summary << R.Err;
    std::remove(At("summary").c_str());
  }
  // Timed: a verdict and a time over the merge sort's for each order
  // timed, then the layout ratios.
  Run_Result R = Profile(Folder, PROFILE_MERGE_SORT, {"--orders", "random,descending", "--max-items", "16384",
                                                      "--summary", "summary"});
  std::string Timed = Read_File(At("summary"));
  std::string Lines = Timed.substr(Timed.find("timing done\n") + 12);
  EXPECT_EQ(Lines.rfind("growth random ", 0), 0u) << Timed;
  EXPECT_EQ(Count_Of(Lines, "growth "), 2u) << Timed;
  EXPECT_EQ(Count_Of(Lines, "time_ratio "), 2u) << Timed;
  EXPECT_NE(Lines.find("\ngrowth descending "), std::string::npos) << Timed;
  EXPECT_EQ(Lines.find("layout "), Lines.rfind('\n', Lines.size() - 2) + 1) << Timed;
}

TEST_F(Sort_Profile, BadOptionsAreRefusedBeforeAnyWork) {
  // Each refused before any work: a too-small series, a chart nowhere to
  // go, Google Benchmark's options that no longer mean anything here.
  for (std::vector<std::string> Wrong :
       {std::vector<std::string>{"--k", "21"}, {"--x", "-1"}, {"--orders", "sideways"}, {"--max-items", "0"},
        {"--max-items", "4096"}, {"--sweep-k", "5,2"}, {"--colour"}, {"extra"}, {"--svg", "no/such/folder/g.svg"},
        {"--check-only", "--svg", "g.svg"}, {"--keep-failing", "no/such/folder/failing.raw"},
        {"--benchmark_min_time=0.01"}, {"--benchmark_format=xml"}, {"--benchmark_out=no/such/folder/t.json"},
        {"--budget", "0"}, {"--summary", "no/such/folder/summary"}, {"--sweep", "--summary", "s"},
        {"--timing-only", "--check-only"}}) {
    Run_Result R = Profile(Folder, PROFILE_MERGE_SORT, Wrong);
    EXPECT_EQ(R.Exit_Status, 2) << Wrong[0];
    EXPECT_EQ(R.Out, "");
    EXPECT_EQ(R.Err.find('\n'), R.Err.size() - 1) << R.Err;
    std::string Named = Wrong[0] == "--sweep" ? Wrong[1] : Wrong[0].substr(0, Wrong[0].find('='));
    if (Wrong[0] == "--timing-only") Named = "--timing-only";
    EXPECT_NE(R.Err.find(Named), std::string::npos) << R.Err;
  }
}

// --quick checks small lists and times small ones in three orders, says
// so first, and still finds what a small list shows; the options it sets
// are still the user's to give.
TEST_F(Sort_Profile, AQuickRunSaysSoAndKeepsToSmallLists) {
  struct Case {
    const char* Program;
    std::vector<std::string> Options;
    int Status;
    const char* Begins;   // the quick run's line; the verdicts, if any, follow it
    const char* Checked;  // the correctness phase's line, after them
    std::vector<const char*> Orders_Timed;
  } Cases[] = {
      {PROFILE_MERGE_SORT, {"--quick"}, 0,
       "A quick run (--quick): lists up to 1000 items checked and up to 16384 timed, orders random, ascending, "
       "descending; a run without --quick checks and times more.\n",
       "\nPASS: 65 cases (orders: random ascending descending; random from 3 seeds, the last on scattered nodes; sizes "
       "0 .. 1000; K 0, X 0)\n",
       {"random", "ascending", "descending"}},
      {PROFILE_MERGE_SORT, {"--quick", "--orders", "equal", "--max-items", "8192"}, 0,
       "A quick run (--quick): lists up to 8192 items checked and up to 8192 timed, orders equal; a run without "
       "--quick checks and times more.\n", "\nPASS: 13 cases (orders: equal;",
       {"equal"}},
      {PROFILE_LOSES_NODE_AT_FIVE, {"--quick"}, 1,
       "A quick run (--quick): lists up to 1000 items checked and up to 16384 timed, orders random, ascending, "
       "descending; a run without --quick checks and times more.\n",
       "\nFAIL: order random (seed 1), size 5, K 0, X 0\n",
       {}},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Options.size());
    Run_Result R = Profile(Folder, C.Program, C.Options);
    EXPECT_EQ(R.Exit_Status, C.Status) << R.Err;
    EXPECT_EQ(R.Out.rfind(C.Begins, 0), 0u) << R.Out;
    EXPECT_NE(R.Out.find(C.Checked), std::string::npos) << R.Out;
    for (const char* Order :
         {"random", "ascending", "descending", "equal", "few-distinct", "organ-pipe", "sawtooth", "extremes"}) {
      bool Timed = std::find_if(C.Orders_Timed.begin(), C.Orders_Timed.end(),
                                [Order](const char* T) { return std::strcmp(T, Order) == 0; }) != C.Orders_Timed.end();
      EXPECT_EQ(R.Out.find(std::string("\n  ") + Order + " ") != std::string::npos, Timed) << Order << "\n" << R.Out;
    }
  }
}

// What the sweep comes to depends on the machine's noise (its decision
// on known repeats is tested in sort_speed_test.cpp); here, that it says
// one of its findings, its noise and its picture.
TEST_F(Sort_Profile, SweepSaysWhatItFoundItsNoiseAndItsPicture) {
  Run_Result R = Profile(Folder, PROFILE_RADIX_SORT, {"--sweep", "--max-items", "20000", "--sweep-k", "3,4",
                                                      "--sweep-x", "0,32", "--sweep-repeats", "3", "--svg", "sweep.svg"});
  ASSERT_EQ(R.Exit_Status, 0) << R.Err;
  EXPECT_NE(R.Out.find("Median CPU time (ms) of 3 sorts of 20000 random items; rows K, columns X\n   K        0       32\n   3 "),
            std::string::npos)
      << R.Out;
  bool Found = R.Out.find("\nBest: K ") != std::string::npos || R.Out.find("\nRecommended: K ") != std::string::npos ||
               R.Out.find("\nK and X make no measurable difference: ") != std::string::npos;
  EXPECT_TRUE(Found) << R.Out;
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

// The fastest pair is wrong on a list of five items, which the sweep's
// one list of 20,000 never shows: it goes through the correctness phase
// first, fails there, and the next fastest is recommended instead. The
// pairs differ fourfold and more, far past any machine's noise. The
// first pair never returns: the pairs after it get a worker of their own.
TEST_F(Sort_Profile, TheSweepRecommendsOnlyAPairThatPassesTheCorrectnessPhase) {
  Run_Result R = Profile(Folder, PROFILE_FASTEST_WHEN_WRONG,
                         {"--sweep", "--max-items", "20000", "--sweep-k", "0,0", "--sweep-x", "3,0,1,2"});
  EXPECT_EQ(R.Exit_Status, 0) << R.Err;
  EXPECT_NE(R.Out.find("\n   0      >1s "), std::string::npos) << R.Out;
  EXPECT_NE(R.Out.find("The fastest pair, K 0, X 1, through the correctness phase:\nFAIL: order random (seed 1), "
                       "size 5, K 0, X 1\n"),
            std::string::npos)
      << R.Out;
  EXPECT_NE(R.Out.find("The fastest pair, K 0, X 2, through the correctness phase:\nPASS: "), std::string::npos) << R.Out;
  EXPECT_NE(R.Out.find("\nBest: K 0, X 2 ("), std::string::npos) << R.Out;
}

// The profiler frees nodes a routine has relinked: under valgrind (the
// sanitizer build checks the same under AddressSanitizer), a whole
// profile, correctness and series, reads and frees nothing it should not.
// The lists live in the children: with the sandbox off they are the
// profiler's own program, which valgrind follows into.
TEST_F(Sort_Profile, FreesOnlyWhatItLaidOut) {
  Run_Options Checked = Memory_Checked();
  if (!Checked.Wrapper.empty()) Checked.Wrapper += " --trace-children=yes";
  Run_Result R = Profile(Folder, PROFILE_MERGE_SORT,
                         {"--sandbox", "off", "--orders", "random,extremes", "--max-items", "8192"}, Checked);
  EXPECT_EQ(R.Exit_Status, 0) << R.Err;
  EXPECT_NE(R.Out.find("\nPASS: 52 cases"), std::string::npos) << R.Out;
}

}  // namespace
