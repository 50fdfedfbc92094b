// The sort timing harness run as processes: entries, report, limits,
// file failures, hostile routines, and the example routines and tools.
#include <algorithm>
#include <cstdio>
#include <random>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/process.h"

namespace {

const std::string Ask_K = "Enter K with 0 <= K <= 20 and a return\nK: ";
const std::string Ask_X = "Enter X with 0 <= X <= 500 and a return\nX: ";

std::string Items_Image(const std::vector<int>& Items) {
  std::string Bytes;
  for (int V : Items) Bytes += Int32_Image({V});
  return Bytes;
}

// Checks the four report lines after the entries, byte for byte, and
// returns the item count they give (-1 if they do not match).
long Report_Count(const std::string& Out, const std::string& Entries) {
  if (Out.rfind(Entries, 0) != 0) return -1;
  std::string Rest = Out.substr(Entries.size());
  int Build, Sort, Count, Write, Total;
  if (std::sscanf(Rest.c_str(), "Build Raw Data: %d ms. Sort SL List: %d ms. for %d Items Write Sorted: %d ms. Total Time: %d ms.",
                  &Build, &Sort, &Count, &Write, &Total) != 5)
    return -1;
  char Expected[400];  // the widths line the numbers up under one another
  std::snprintf(Expected, sizeof Expected,
                "Build Raw Data: %11d ms.\nSort SL List: %13d ms. for %8d Items\nWrite Sorted: %13d ms.\n"
                "Total Time: %15d ms.\n",
                Build, Sort, Count, Write, Total);
  long Tick_Ms = 1000 / sysconf(_SC_CLK_TCK);
  for (int T : {Build, Sort, Write, Total})
    if (T < 0 || T % Tick_Ms != 0) return -1;
  return Rest == Expected && Total >= Build + Sort + Write - 3 * Tick_Ms ? Count : -1;
}

class Sort_Bench : public Scratch_Folder_Test {
 protected:
  Run_Result Run(const char* Program, const std::string& Stdin, const Run_Options& Options = {}) {
    return Run_Program(Program, Folder, Stdin, Options);
  }
};

TEST_F(Sort_Bench, ReportsEveryPhaseAndWritesTheSortedList) {
  Write_File(At("Raw"), Items_Image({50, -10, 40, 2147483647, -2147483648, 40, 0}));
  Run_Result R = Run(MERGE_SORT_BENCH, "20\n500\n");
  EXPECT_EQ(R.Exit_Status, 0);
  EXPECT_EQ(R.Err, "");
  EXPECT_EQ(Report_Count(R.Out, Ask_K + "\nK: 20\n" + Ask_X + "\nX: 500\n"), 7) << R.Out;
  EXPECT_EQ(Read_File(At("Sorted")), Items_Image({-2147483648, -10, 0, 40, 40, 50, 2147483647}));
}

TEST_F(Sort_Bench, EveryWrongEntryIsEchoedThenRejected) {
  Write_File(At("Raw"), Items_Image({3, 2, 1}));
  const std::string Bad_K = "Invalid K entered\n", Bad_X = "Invalid X entered\n";
  const std::string K_3 = Ask_K + "\nK: 3\n" + Ask_X;
  struct Case {
    std::string Stdin, Out;
  };
  const Case Cases[] = {
      {"21\n0\n", Ask_K + "\nK: 21\n" + Bad_K},
      {"-1\n0\n", Ask_K + "\nK: -1\n" + Bad_K},
      {"5 \n0\n", Ask_K + "\nK: 5\n" + Bad_K},  // the return must follow the number directly
      {"5", Ask_K + "\nK: 5\n" + Bad_K},
      {"abc\n0\n", Ask_K + "\nK: 0\n" + Bad_K},
      {"", Ask_K + "\nK: 0\n" + Bad_K},
      {"4294967297\n0\n", Ask_K + "\nK: 0\n" + Bad_K},  // never wrapped into range
      {"3\n501\n", K_3 + "\nX: 501\n" + Bad_X},
      {"3\n-1\n", K_3 + "\nX: -1\n" + Bad_X},
      {"3\n7 \n", K_3 + "\nX: 7\n" + Bad_X},
      {"3\nseven\n", K_3 + "\nX: 0\n" + Bad_X},
      {"3\n", K_3 + "\nX: 0\n" + Bad_X},
      {"3\n4294967296\n", K_3 + "\nX: 0\n" + Bad_X},
      {"3\n99999999999999999999\n", K_3 + "\nX: 0\n" + Bad_X},
  };
  for (const Case& C : Cases) {
    Run_Result R = Run(MERGE_SORT_BENCH, C.Stdin);
    EXPECT_EQ(R.Exit_Status, 1) << C.Stdin;
    EXPECT_EQ(R.Out, C.Out) << C.Stdin;
    EXPECT_EQ(R.Err, "");
    EXPECT_FALSE(File_Exists(At("Sorted"))) << C.Stdin;
  }
  Run_Result Lowest = Run(MERGE_SORT_BENCH, "0\n0\n");
  EXPECT_EQ(Report_Count(Lowest.Out, Ask_K + "\nK: 0\n" + Ask_X + "\nX: 0\n"), 3);
}

TEST_F(Sort_Bench, RawSizesUpToTheLimit) {
  struct Case {
    std::string Raw;
    long Count;
    std::string Sorted;
  };
  std::vector<int> Limit(1000000);
  for (size_t I = 0; I < Limit.size(); I++) Limit[I] = int(Limit.size() - I);
  std::vector<int> Ascending = Limit;
  std::reverse(Ascending.begin(), Ascending.end());
  const Case Cases[] = {
      {"", 0, ""},
      {Int32_Image({-8}) + "\1\2\3", 1, Int32_Image({-8})},  // 7 bytes: one item, the partial one ignored
      {Items_Image(Limit), 1000000, Items_Image(Ascending)},
  };
  for (const Case& C : Cases) {
    Write_File(At("Raw"), C.Raw);
    Run_Result R = Run(MERGE_SORT_BENCH, "1\n1\n");
    EXPECT_EQ(R.Exit_Status, 0);
    EXPECT_EQ(Report_Count(R.Out, Ask_K + "\nK: 1\n" + Ask_X + "\nX: 1\n"), C.Count) << R.Out;
    EXPECT_TRUE(Read_File(At("Sorted")) == C.Sorted) << "count " << C.Count;
  }
}

// Each failure of the list functions: the exact lines on standard error,
// status 1, and the report stops where the run stopped.
TEST_F(Sort_Bench, FileFailuresEndTheRunWithTheirMessages) {
  const std::string Entries = Ask_K + "\nK: 1\n" + Ask_X + "\nX: 1\n";
  enum Setup { Over_Limit, No_Raw, Raw_Is_Folder, Sorted_Is_Folder, Sorted_Full_At_Close, Sorted_Full_Mid_Write };
  struct Case {
    Setup How;
    std::string Err;
    bool Built;
  };
  const std::string Unwritable = "ERROR in Write_Sorted_File_From_SL_List\nUnable to write File: Sorted\n";
  const Case Cases[] = {
      {Over_Limit, "ERROR in Build_Singly_Linked_List\nRaw exceeds 1000000\nFile size: 0 <= N <= 1000000\n", false},
      {No_Raw, "ERROR in Build_SL_List\nUnable to open File: Raw\n", false},
      {Raw_Is_Folder, "ERROR in Build_SL_List\nUnable to open File: Raw\n", false},
      {Sorted_Is_Folder, "ERROR in Write_Sorted_File_From_SL_List\nUnable to open File: Sorted\n", true},
      {Sorted_Full_At_Close, Unwritable, true},
      {Sorted_Full_Mid_Write, Unwritable, true},
  };
  for (const Case& C : Cases) {
    std::string Case_Folder = Make_Scratch_Folder();
    std::string Raw = Case_Folder + "/Raw", Sorted = Case_Folder + "/Sorted";
    if (C.How == Over_Limit) Write_File(Raw, std::string(4 * 1000001, '\0'));
    if (C.How == Raw_Is_Folder) mkdir(Raw.c_str(), 0755);
    if (C.How >= Sorted_Is_Folder) Write_File(Raw, C.How == Sorted_Full_Mid_Write ? std::string(4 * 40000, '\1') : Items_Image({2, 1}));
    if (C.How == Sorted_Is_Folder) {
      mkdir(Sorted.c_str(), 0755);
      Write_File(Sorted + "/inside", "x");
    }
    if (C.How == Sorted_Full_At_Close || C.How == Sorted_Full_Mid_Write) symlink("/dev/full", Sorted.c_str());
    Run_Result R = Run_Program(MERGE_SORT_BENCH, Case_Folder, "1\n1\n");
    EXPECT_EQ(R.Exit_Status, 1) << "case " << C.How;
    EXPECT_EQ(R.Err, C.Err) << "case " << C.How;
    std::string Build_And_Sort = "Build Raw Data: ";
    EXPECT_EQ(R.Out.rfind(Entries, 0), 0u);
    EXPECT_EQ(R.Out.find(Build_And_Sort) != std::string::npos, C.Built) << "case " << C.How;
    EXPECT_EQ(R.Out.find("Write Sorted:"), std::string::npos) << "case " << C.How;
    if (!C.Built) {
      EXPECT_FALSE(File_Exists(Sorted));
    }
    Remove_Folder(Case_Folder);
  }
}

TEST_F(Sort_Bench, ClockSeenThroughTimeHIsTheHarnessClock) {
  Write_File(At("Raw"), Items_Image({1}));
  Run_Result R = Run(CLOCK_PROBE_BENCH, "0\n0\n");
  EXPECT_EQ(R.Exit_Status, 0);
  EXPECT_EQ(R.Err, "clock matches times\n");
}

// Routines that break the contract: what Sorted must hold, and a run that
// the memory checker in force finds clean (AddressSanitizer in the
// sanitizer build, valgrind otherwise).
TEST_F(Sort_Bench, HostileRoutinesNeverCrashTheHarnessNorFreeTwice) {
  const std::vector<int> Raw = {50, 10, 40, 20, 30, 60, 90, 70, 80, 100};
  auto Repeat = [&](std::vector<int> Order, int From, size_t Total) {
    for (size_t I = Order.size(); Order.size() < Total; I++) Order.push_back(Order[From + (I - From) % (Raw.size() - From)]);
    return Order;
  };
  std::vector<int> Appended_3 = Raw, Appended_12 = Raw;
  for (int I = 1; I <= 3; I++) Appended_3.push_back(-I);
  for (int I = 1; I <= 5; I++) Appended_12.push_back(-I);
  struct Case {
    const char* Program;
    std::string Stdin;
    std::vector<int> Sorted;
  };
  const Case Cases[] = {
      {CYCLE_THROUGH_TAIL_BENCH, "0\n0\n", Repeat(Raw, 0, 15)},  // tail back to the head
      {CYCLE_THROUGH_TAIL_BENCH, "9\n0\n", Repeat(Raw, 9, 15)},  // tail to itself
      {CYCLE_THROUGH_TAIL_BENCH, "4\n0\n", Repeat(Raw, 4, 15)},
      {HEAD_TO_ITSELF_BENCH, "0\n0\n", std::vector<int>(15, 50)},
      {APPENDS_OWN_NODES_BENCH, "3\n0\n", Appended_3},    // all written, all released
      {APPENDS_OWN_NODES_BENCH, "12\n0\n", Appended_12},  // cut at count + 5
      {LOSES_NODES_BENCH, "0\n0\n", {50, 40, 30, 90, 80}},
  };
  Run_Options Checked = Memory_Checked();
  for (const Case& C : Cases) {
    Write_File(At("Raw"), Items_Image(Raw));
    Run_Result R = Run(C.Program, C.Stdin, Checked);
    EXPECT_EQ(R.Exit_Status, 0) << C.Program << " " << C.Stdin << R.Err;
    EXPECT_EQ(R.Err, "") << C.Program;
    EXPECT_EQ(Read_File(At("Sorted")), Items_Image(C.Sorted)) << C.Program << " " << C.Stdin;
  }
}

// Both example routines over every order make_raw offers and a spread of
// K and X, judged by check_sorted.
TEST_F(Sort_Bench, ExampleRoutinesSortEveryOrderForAnyKAndX) {
  const char* const Orders[] = {"random", "ascending", "descending", "equal", "few"};
  const char* const Entries[] = {"0\n0\n", "1\n0\n", "4\n16\n", "10\n32\n", "16\n500\n", "20\n3\n", "13\n1\n"};
  for (const char* Order : Orders) {
    Run_Result Made = Run_Program(MAKE_RAW, Folder, "", {}, {"3001", Order, "9"});
    ASSERT_EQ(Made.Exit_Status, 0) << Made.Err;
    ASSERT_EQ(Read_File(At("Raw")).size(), 3001u * 4u);
    for (const char* Program : {RADIX_SORT_BENCH, MERGE_SORT_BENCH})
      for (const char* E : Entries) {
        unlink(At("Sorted").c_str());
        ASSERT_EQ(Run(Program, E).Exit_Status, 0);
        Run_Result Check = Run(CHECK_SORTED, "");
        EXPECT_EQ(Check.Exit_Status, 0) << Program << " " << Order << " " << E << Check.Out;
        EXPECT_EQ(Check.Out, "Sorted is an ascending permutation of Raw (3001 items)\n");
      }
  }
}

TEST_F(Sort_Bench, CheckSortedSaysWhereSortedFirstGoesWrong) {
  const std::vector<int> Raw = {5, 1, 4, 1};
  struct Case {
    std::vector<int> Sorted;
    int Status;
    std::string Out;
  };
  const Case Cases[] = {
      {{1, 1, 4, 5}, 0, "Sorted is an ascending permutation of Raw (4 items)\n"},
      {{1, 4, 1, 5}, 1, "Sorted is not ascending: item 3 (1) is less than item 2 (4)\n"},
      {{1, 1, 4}, 1,
       "Sorted is ascending but not a permutation of Raw (4 items in Raw, 3 in Sorted):\n"
       "  Sorted ends after item 3; Raw, sorted, has 5 as item 4\n"},
      {{1, 1, 4, 5, 6}, 1,
       "Sorted is ascending but not a permutation of Raw (4 items in Raw, 5 in Sorted):\n"
       "  Sorted has 6 as item 5, past the end of Raw\n"},
      {{0, 1, 4, 5}, 1,
       "Sorted is ascending but not a permutation of Raw (4 items in Raw, 4 in Sorted):\n"
       "  item 1 is 0; Raw, sorted, has 1 there\n"},
      {{1, 2, 4, 5}, 1,
       "Sorted is ascending but not a permutation of Raw (4 items in Raw, 4 in Sorted):\n"
       "  item 2 is 2; Raw, sorted, has 1 there\n"},
  };
  Write_File(At("Raw"), Items_Image(Raw));
  for (const Case& C : Cases) {
    Write_File(At("Sorted"), Items_Image(C.Sorted));
    Run_Result R = Run(CHECK_SORTED, "");
    EXPECT_EQ(R.Exit_Status, C.Status);
    EXPECT_EQ(R.Out, C.Out);
  }
  unlink(At("Sorted").c_str());
  Run_Result Missing = Run(CHECK_SORTED, "");
  EXPECT_EQ(Missing.Exit_Status, 2);
  EXPECT_EQ(Missing.Out, "");
  EXPECT_EQ(Missing.Err, "check_sorted: cannot read Sorted: No such file or directory\n");
}

TEST_F(Sort_Bench, MakeRawRefusesWhatItCannotMake) {
  const std::string Usage = " (usage: make_raw COUNT ORDER [SEED]; see --help)\n";
  const std::pair<std::vector<std::string>, std::string> Cases[] = {
      {{}, "COUNT and ORDER are needed"},
      {{"10"}, "COUNT and ORDER are needed"},
      {{"10", "random", "1", "2"}, "at most three arguments"},
      {{"10", "sideways"}, "ORDER must be random, ascending, descending, equal or few, not 'sideways'"},
      {{"-1", "random"}, "COUNT must be a whole number 0 .. 100000000, not '-1'"},
      {{"100000001", "equal"}, "COUNT must be a whole number 0 .. 100000000, not '100000001'"},
      {{"ten", "random"}, "COUNT must be a whole number 0 .. 100000000, not 'ten'"},
      {{"10", "random", "x"}, "SEED must be a whole number 0 .. 4294967295, not 'x'"},
      {{"10", "random", "4294967296"}, "SEED must be a whole number 0 .. 4294967295, not '4294967296'"},
  };
  for (const auto& [Arguments, Why] : Cases) {
    Run_Result R = Run_Program(MAKE_RAW, Folder, "", {}, Arguments);
    EXPECT_EQ(R.Exit_Status, 2) << Why;
    EXPECT_EQ(R.Err, "make_raw: " + Why + Usage);
    EXPECT_EQ(R.Out, "");
    EXPECT_FALSE(File_Exists(At("Raw")));
  }
  // A disk that fills up: no Raw, partial or whole, and no temporary file.
  Run_Options Small_Disk;
  Small_Disk.File_Size_Limit = 4096;
  Run_Result Full = Run_Program(MAKE_RAW, Folder, "", Small_Disk, {"2000", "random"});
  EXPECT_EQ(Full.Exit_Status, 2);
  EXPECT_EQ(Full.Err, "make_raw: cannot write Raw\n");
  EXPECT_TRUE(std::filesystem::is_empty(Folder));
}

// A Sorted from an earlier run never outlives a run that failed: the
// harness empties it before the sort (a link stays a link, its target
// emptied), and empties a Sorted it could not write whole.
TEST_F(Sort_Bench, NoStaleOrPartialSortedOutlivesAFailedRun) {
  Write_File(At("Raw"), Items_Image({3, 1, 2}));
  Write_File(At("Sorted"), Items_Image({1, 2, 3}));
  Run_Result Crashed = Run(CRASHES_BENCH, "1\n1\n");
  EXPECT_NE(Crashed.Signal, 0);
  EXPECT_TRUE(File_Exists(At("Sorted")));
  EXPECT_EQ(Read_File(At("Sorted")), "");

  std::string Elsewhere = Make_Scratch_Folder();
  Write_File(Elsewhere + "/target", Items_Image({1, 2, 3}));
  ASSERT_EQ(unlink(At("Sorted").c_str()), 0);
  ASSERT_EQ(symlink((Elsewhere + "/target").c_str(), At("Sorted").c_str()), 0);
  Run(CRASHES_BENCH, "1\n1\n");
  EXPECT_EQ(Read_File(Elsewhere + "/target"), "");
  Remove_Folder(Elsewhere);

  ASSERT_EQ(unlink(At("Sorted").c_str()), 0);
  Write_File(At("Raw"), std::string(4 * 40000, '\1'));
  Run_Options Small_Disk;
  Small_Disk.File_Size_Limit = 65536;
  Run_Result Cut = Run(MERGE_SORT_BENCH, "1\n1\n", Small_Disk);
  EXPECT_EQ(Cut.Exit_Status, 1);
  EXPECT_EQ(Cut.Err, "ERROR in Write_Sorted_File_From_SL_List\nUnable to write File: Sorted\n");
  EXPECT_EQ(Read_File(At("Sorted")), "");

  Run_Result Whole = Run(MERGE_SORT_BENCH, "1\n1\n");
  EXPECT_EQ(Whole.Exit_Status, 0);
  EXPECT_EQ(Read_File(At("Sorted")).size(), 4u * 40000u);
}

TEST_F(Sort_Bench, MakeRawWarnsPastTheHarnessLimit) {
  for (auto [Count, Note] : {std::pair{"1000000", ""},
                             std::pair{"1000001", "make_raw: note: 1000001 items is more than the sort harness accepts (1000000)\n"}}) {
    Run_Result R = Run_Program(MAKE_RAW, Folder, "", {}, {Count, "equal"});
    EXPECT_EQ(R.Exit_Status, 0);
    EXPECT_EQ(R.Out, std::string("Raw: ") + Count + " items, equal\n");
    EXPECT_EQ(R.Err, Note);
  }
}

}  // namespace
