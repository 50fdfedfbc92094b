// The simulation day as a user runs it: every program as a process in one
// scratch folder, and the reference simulator's own entries and exits.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "process.h"

namespace {

const std::string Ask_Servers =
    "Enter Number of Servers at each station\n   1 <= S <= 20\n"
    "Number of Servers at LAB: ";

std::vector<std::vector<long>> Table(const std::string& Text) {
  std::vector<std::vector<long>> Rows;
  std::istringstream Lines(Text);
  for (std::string Line; std::getline(Lines, Line);) {
    std::istringstream Numbers(Line);
    std::vector<long> Row;
    for (long N; Numbers >> N;) Row.push_back(N);
    Rows.push_back(Row);
  }
  return Rows;
}

using Pipeline = Scratch_Folder_Test;

TEST_F(Pipeline, WholeDayRunsEndToEndAndTheTablesAgree) {
  ASSERT_EQ(Run_Program(WORKLOAD_MAKER_PATH, Folder, "4\n17\n").Exit_Status, 0);
  ASSERT_EQ(Run_Program(WORKLOAD_LISTER_PATH, Folder, "").Exit_Status, 0);
  Run_Result Simulated = Run_Program(ZOR_SIMULATOR_PATH, Folder, "3\n2\n1\n");
  ASSERT_EQ(Simulated.Exit_Status, 0) << Simulated.Err;
  EXPECT_EQ(Simulated.Err, Ask_Servers + "Number of Servers at X_RAY: Number of Servers at EKG: \n");
  EXPECT_EQ(Simulated.Out.rfind("Customers simulated: 112\n", 0), 0u) << Simulated.Out;
  Run_Result Listed = Run_Program(RESULTS_LISTER_PATH, Folder, "");
  ASSERT_EQ(Listed.Exit_Status, 0);
  EXPECT_EQ(Listed.Out.rfind("Number of customers: 112\n", 0), 0u);

  EXPECT_EQ(Read_File(At("ZOR_Binary_Out")).size(), 112u * 92u);
  auto Parameters = Table(Read_File(At("ZOR_Text_In")));
  auto Results = Table(Read_File(At("ZOR_Text_Out")));
  ASSERT_EQ(Parameters.size(), 112u);
  ASSERT_EQ(Results.size(), 112u);
  long Arrived = 0;
  for (size_t K = 0; K < Results.size(); K++) {
    ASSERT_EQ(Results[K].size(), 23u);
    EXPECT_EQ(Results[K][0], long(K + 1));
    EXPECT_EQ(std::vector<long>(Results[K].begin() + 15, Results[K].end()), Parameters[K]) << "line " << K + 1;
    Arrived += Parameters[K][0];
    EXPECT_EQ(Results[K][1], Arrived);
    EXPECT_GE(Results[K][14], Results[K][5]);  // leaves ZOR after leaving LAB
  }
}

class Simulator : public Scratch_Folder_Test {
 protected:
  void SetUp() override { Write_File(At("ZOR_Binary_In"), Int32_Image({0, 10, 300, 0, 0, 0, 0, 40})); }
};

// Every refusal comes before ZOR_Binary_Out exists.
TEST_F(Simulator, WrongEntriesAndInputsEndBeforeAnyResultsFile) {
  const std::string X = "Number of Servers at X_RAY: ", E = "Number of Servers at EKG: ";
  struct Case {
    std::string Stdin, Input, Err;
  };
  const std::string Good = Int32_Image({0, 10, 300, 0, 0, 0, 0, 40});
  const Case Cases[] = {
      {"two\n", Good, Ask_Servers + "ERROR in main\n  Number of Servers at LAB -- INVALID\n  At exit point 2\n"},
      {"4294967297\n1\n1\n", Good, Ask_Servers + "ERROR in main\n  Number of Servers at LAB -- INVALID\n  At exit point 2\n"},
      {"0\n", Good,
       Ask_Servers + "ERROR in main\n  Number of Servers at LAB must be\n     1 <= S <= 20\n"
                     "  Number of Servers at LAB: 0\n  At exit point 3\n"},
      {"2\n21\n", Good,
       Ask_Servers + X + "ERROR in main\n  Number of Servers at X_RAY must be\n     1 <= S <= 20\n"
                         "  Number of Servers at X_RAY: 21\n  At exit point 3\n"},
      {"2\n2\n", Good, Ask_Servers + X + E + "ERROR in main\n  Number of Servers at EKG -- INVALID\n  At exit point 2\n"},
      {"1\n1\n1\n", Good + Int32_Image({5, 10, -300, 0, 0, 0, 0, 40}),
       Ask_Servers + X + E + "\nERROR in main\n  File: ZOR_Binary_In record 2 holds a negative time: -300\n"
                             "  At exit point 4\n"},
      {"1\n1\n1\n", Int32_Image({0, 2000000000, 300, 0, 0, 0, 0, 40}) + Int32_Image({2000000000, 10, 300, 0, 0, 0, 0, 40}),
       Ask_Servers + X + E + "\nERROR in main\n  File: ZOR_Binary_In holds more than 1000000 customers or 2147483647 seconds\n"
                             "  At exit point 5\n"},
  };
  for (const Case& C : Cases) {
    Write_File(At("ZOR_Binary_In"), C.Input);
    Run_Result R = Run_Program(ZOR_SIMULATOR_PATH, Folder, C.Stdin);
    EXPECT_EQ(R.Exit_Status, 1) << C.Stdin;
    EXPECT_EQ(R.Err, C.Err);
    EXPECT_EQ(R.Out, "");
    EXPECT_FALSE(File_Exists(At("ZOR_Binary_Out"))) << C.Stdin;
  }
  unlink(At("ZOR_Binary_In").c_str());
  Run_Result R = Run_Program(ZOR_SIMULATOR_PATH, Folder, "1\n1\n1\n");
  EXPECT_EQ(R.Exit_Status, 1);
  EXPECT_EQ(R.Err, "ERROR in main\n  File: ZOR_Binary_In can not be opened for reading\n  At exit point 1\n");
  EXPECT_FALSE(File_Exists(At("ZOR_Binary_Out")));
}

TEST_F(Simulator, UnwritableResultsAreNeverReportedAsWritten) {
  ASSERT_EQ(symlink("/dev/full", At("ZOR_Binary_Out").c_str()), 0);
  Run_Result R = Run_Program(ZOR_SIMULATOR_PATH, Folder, "1\n1\n1\n");
  EXPECT_EQ(R.Exit_Status, 1);
  EXPECT_EQ(R.Out, "");
  EXPECT_NE(R.Err.find("ERROR in main\n  fwrite failed to file: ZOR_Binary_Out\n  At exit point 7\n"), std::string::npos);
  unlink(At("ZOR_Binary_Out").c_str());
  ASSERT_EQ(mkdir(At("ZOR_Binary_Out").c_str(), 0755), 0);
  Write_File(At("ZOR_Binary_Out/inside"), "x");
  R = Run_Program(ZOR_SIMULATOR_PATH, Folder, "1\n1\n1\n");
  EXPECT_EQ(R.Exit_Status, 1);
  EXPECT_NE(R.Err.find("  File: ZOR_Binary_Out can not be opened for writing\n  At exit point 6\n"), std::string::npos);
}

TEST_F(Simulator, EmptyDayWritesAnEmptyResultsFile) {
  Write_File(At("ZOR_Binary_In"), "");
  Run_Result R = Run_Program(ZOR_SIMULATOR_PATH, Folder, "1\n1\n1\n");
  EXPECT_EQ(R.Exit_Status, 0);
  EXPECT_EQ(R.Out.rfind("Customers simulated: 0\n", 0), 0u);
  EXPECT_TRUE(File_Exists(At("ZOR_Binary_Out")));
  EXPECT_EQ(Read_File(At("ZOR_Binary_Out")), "");
}

}  // namespace
