// workload_maker run as a process: prompts, summary, file and every exit.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/process.h"

namespace {

const std::string Ask_N =
    "Enter Number of Customers per 15 minute time slot\n"
    "   0 <= N <= 12\n"
    "Number of Customers per 15 minute time slot: ";
const std::string Ask_Seed =
    "\n\nEnter initial seed for random number generator\n"
    "    0  -- random not repeatable\n"
    "  > 0  -- random but repeatable\n"
    "Initial seed: ";

std::string Summary(int Total, int N, int Seed) {
  char Text[200];
  std::snprintf(Text, sizeof Text,
                "Number of customers: %d\nNumber of Customers per 15 minute time slot %3d\n"
                "Initial random number seed: %d\n",
                Total, N, Seed);
  return Text;
}

std::vector<std::vector<int>> Records(const std::string& Bytes) {
  std::vector<std::vector<int>> Out;
  for (size_t At = 0; At + 32 <= Bytes.size(); At += 32) {
    std::vector<int> Fields;
    for (size_t F = 0; F < 8; F++) {
      uint32_t U = 0;
      for (size_t B = 0; B < 4; B++) U |= uint32_t(uint8_t(Bytes[At + F * 4 + B])) << (8 * B);
      Fields.push_back(static_cast<int32_t>(U));
    }
    Out.push_back(Fields);
  }
  return Out;
}

class Workload_Maker : public Scratch_Folder_Test {
 protected:
  Run_Result Run(const std::string& Stdin, const Run_Options& Options = {}) {
    return Run_Program(WORKLOAD_MAKER_PATH, Folder, Stdin, Options);
  }
  std::string Binary_In() { return Read_File(At("ZOR_Binary_In")); }
};

TEST_F(Workload_Maker, SeedOneGivesTheKnownDayWithExactPromptsAndSummary) {
  Run_Result R = Run("1\n1\n");
  EXPECT_EQ(R.Exit_Status, 0);
  EXPECT_EQ(R.Err, Ask_N + Ask_Seed + "\n");
  EXPECT_EQ(R.Out, Summary(28, 1, 1));
  auto Day = Records(Binary_In());
  ASSERT_EQ(Binary_In().size(), 28u * 32u);
  EXPECT_EQ(Day[0], (std::vector<int>{0, 71, 877, 0, 0, 0, 0, 149}));
  EXPECT_EQ(Day[1], (std::vector<int>{0, 143, 682, 0, 0, 0, 0, 106}));
  EXPECT_EQ(Day[2], (std::vector<int>{15, 42, 673, 201, 1409, 86, 1622, 205}));
}

// With the seed at the generator's fixed point every draw is exactly 1.0
// and every exponential 0, so the whole day can be worked out by hand.
// Two instants are drawn at 360 + 900 s of each slot. The day's table of
// arrivals begins with a sentinel 0 before the sorted instants, and each
// record takes its gap from the one before: the first customer arrives at
// 0, the next at 360, 360, 1260, 1260 and so on, and the largest instant
// drawn belongs to no record. None visits X_RAY or EKG.
TEST_F(Workload_Maker, FixedPointSeedGivesTheHandWorkedDay) {
  Run_Result R = Run("2\n2147483647\n");
  ASSERT_EQ(R.Exit_Status, 0);
  EXPECT_EQ(R.Out, Summary(56, 2, 2147483647));
  auto Day = Records(Binary_In());
  ASSERT_EQ(Day.size(), 56u);
  for (size_t K = 0; K < Day.size(); K++) {
    int Interarrival = K == 0 ? 0 : K == 1 ? 360 : K % 2 == 1 ? 900 : 0;
    EXPECT_EQ(Day[K], (std::vector<int>{Interarrival, 25, 990, 0, 0, 0, 0, 40})) << "record " << K;
  }
}

TEST_F(Workload_Maker, SameSeedReproducesTheFileAndAnotherSeedDoesNot) {
  ASSERT_EQ(Run("12\n17\n").Exit_Status, 0);
  std::string First = Binary_In();
  ASSERT_EQ(Run("12\n17\n").Exit_Status, 0);
  EXPECT_EQ(Binary_In(), First);
  EXPECT_EQ(First.size(), 336u * 32u);
  ASSERT_EQ(Run("12\n18\n").Exit_Status, 0);
  EXPECT_NE(Binary_In(), First);
}

// What readers are promised about every record, over several full days;
// the visit shares also catch a swapped or misplaced threshold.
TEST_F(Workload_Maker, FullDaysKeepTheRecordInvariants) {
  int Customers = 0, X_RAY_Visits = 0, EKG_Visits = 0;
  for (int Seed : {1, 17, 99, 123456, 2147483646}) {
    ASSERT_EQ(Run("12\n" + std::to_string(Seed) + "\n").Exit_Status, 0);
    auto Day = Records(Binary_In());
    ASSERT_EQ(Day.size(), 336u);
    EXPECT_EQ(Day[0][0], 0);
    for (auto& C : Day) {
      Customers++;
      bool X_RAY = C[4] != 0, EKG = C[6] != 0;
      X_RAY_Visits += X_RAY, EKG_Visits += EKG;
      EXPECT_GE(C[0], 0);
      EXPECT_GE(C[1], 25);
      EXPECT_GE(C[2], 270);
      EXPECT_EQ(C[3] == 0, !X_RAY);
      if (X_RAY) {
        EXPECT_GE(C[3], 50);
        EXPECT_GE(C[4], 720);
      }
      EXPECT_EQ(C[5] == 0, !EKG);
      if (EKG) {
        EXPECT_GE(C[5], X_RAY ? 45 : 80);
        EXPECT_GE(C[6], 300);
      }
      EXPECT_GE(C[7], EKG ? 80 : X_RAY ? 50 : 40);
    }
  }
  EXPECT_NEAR(double(X_RAY_Visits) / Customers, 0.55, 0.04);
  EXPECT_NEAR(double(EKG_Visits) / Customers, 0.30, 0.04);
}

TEST_F(Workload_Maker, ClearsThePreviousRunsFilesOnly) {
  for (const char* Name : {"ZOR_Binary_In", "ZOR_Binary_Out", "ZOR_Text_In", "ZOR_Text_Out", "ZOR_Debug_Out", "Keep"})
    Write_File(At(Name), "old");
  Run_Result R = Run("0\n5\n");
  EXPECT_EQ(R.Exit_Status, 0);
  EXPECT_EQ(R.Out, Summary(0, 0, 5));
  EXPECT_EQ(Binary_In(), "");
  for (const char* Name : {"ZOR_Binary_Out", "ZOR_Text_In", "ZOR_Text_Out", "ZOR_Debug_Out"})
    EXPECT_FALSE(File_Exists(At(Name))) << Name;
  EXPECT_EQ(Read_File(At("Keep")), "old");
}

TEST_F(Workload_Maker, ClockSeedStillReportsZeroAndWritesTheDay) {
  Run_Result R = Run("4\n0\n");
  EXPECT_EQ(R.Exit_Status, 0);
  EXPECT_EQ(R.Out, Summary(112, 4, 0));
  EXPECT_EQ(Binary_In().size(), 112u * 32u);
}

// Every wrong entry: the exact block after the prompts already shown,
// status 1, nothing on standard output, and no ZOR_Binary_In left behind
// for a later program to take for a day of no customers.
TEST_F(Workload_Maker, EveryWrongEntryEndsAtItsExitPoint) {
  const std::string Bad_N = "ERROR in main\n  Number_Of_Customers_Per_Slot -- INVALID\n  At exit point 2\n";
  const std::string Bad_Seed = "ERROR in main\n  Initial seed -- INVALID\n  At exit point 12\n";
  auto Out_Of_Range = [](const char* N) {
    return std::string("ERROR in main\n  Number of customers per time slot must be\n     0 <= N <= 12\n") +
           "  Number of customers per time slot: " + N + "\n  At exit point 3\n";
  };
  struct Case {
    std::string Stdin, Err;
  };
  const Case Cases[] = {
      {"abc\n", Ask_N + Bad_N},
      {"", Ask_N + Bad_N},
      {"4294967297\n17\n", Ask_N + Bad_N},
      {"99999999999999999999\n17\n", Ask_N + Bad_N},
      {"-4294967295\n17\n", Ask_N + Bad_N},
      {"13\n17\n", Ask_N + Out_Of_Range("13")},
      {"-1\n17\n", Ask_N + Out_Of_Range("-1")},
      {"2147483647\n17\n", Ask_N + Out_Of_Range("2147483647")},
      {"4\nseventeen\n", Ask_N + Ask_Seed + Bad_Seed},
      {"12abc\n", Ask_N + Ask_Seed + Bad_Seed},
      {"4\n", Ask_N + Ask_Seed + Bad_Seed},
      {"4\n4294967297\n", Ask_N + Ask_Seed + Bad_Seed},
      {"4\n99999999999999999999\n", Ask_N + Ask_Seed + Bad_Seed},
      {"4\n-5\n", Ask_N + Ask_Seed + "ERROR in main\n  Initial seed must be >= 0\n  Initial seed: -5\n  At exit point 13\n"},
  };
  for (const Case& C : Cases) {
    Run_Result R = Run(C.Stdin);
    EXPECT_EQ(R.Exit_Status, 1) << C.Stdin;
    EXPECT_EQ(R.Err, C.Err) << C.Stdin;
    EXPECT_EQ(R.Out, "") << C.Stdin;
    EXPECT_FALSE(File_Exists(At("ZOR_Binary_In"))) << C.Stdin;
  }
}

TEST_F(Workload_Maker, UnwritableOutputEndsAtExitPointOneBeforeAnyPrompt) {
  ASSERT_EQ(mkdir(At("ZOR_Binary_In").c_str(), 0755), 0);
  Write_File(At("ZOR_Binary_In/inside"), "x");
  Run_Result R = Run("4\n17\n");
  EXPECT_EQ(R.Exit_Status, 1);
  EXPECT_EQ(R.Err, "ERROR in main\n  File: ZOR_Binary_In can not be opened for writing\n  At exit point 1\n");
  EXPECT_EQ(R.Out, "");
}

// A full disk must never pass for success, whether the refused write
// comes while records are written (12 per slot: 10752 bytes through a
// 4096-byte buffer) or only when the close flushes the last buffer (a
// one-per-slot day of 896 bytes never leaves the buffer before then).
// The limit binds the captured standard error too, so it stays above
// what the program prints there.
TEST_F(Workload_Maker, FullDiskEndsAtExitPointTenMidDayAndAtTheClose) {
  const std::string Failed = "ERROR in main\n  fwrite failed to file: ZOR_Binary_In\n  At exit point 10\n";
  struct Case {
    std::string Stdin;
    long Limit;
  };
  for (Case C : {Case{"12\n17\n", 4096}, Case{"1\n17\n", 512}}) {
    Run_Options Options;
    Options.File_Size_Limit = C.Limit;
    Run_Result R = Run(C.Stdin, Options);
    EXPECT_EQ(R.Signal, 0);
    EXPECT_EQ(R.Exit_Status, 1) << C.Stdin << C.Limit;
    EXPECT_EQ(R.Err, Ask_N + Ask_Seed + "\n" + Failed) << C.Limit;
    EXPECT_EQ(R.Out, "");
    EXPECT_FALSE(File_Exists(At("ZOR_Binary_In"))) << C.Limit;
  }
  Run_Options Exact;
  Exact.File_Size_Limit = 336 * 32;  // just enough is enough
  Run_Result R = Run("12\n17\n", Exact);
  EXPECT_EQ(R.Exit_Status, 0);
  EXPECT_EQ(Binary_In().size(), 336u * 32u);
}

}  // namespace
