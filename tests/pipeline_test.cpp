// The simulation day as a user runs it: every program as a process in one
// scratch folder, and the reference simulator's own entries and exits.
#include <climits>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/process.h"

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
  // The picture shows the day's own figures, as the simulator counted them.
  Run_Result Plotted = Run_Program(RESULTS_PLOTTER_PATH, Folder, "", Memory_Checked());
  ASSERT_EQ(Plotted.Exit_Status, 0) << Plotted.Err;
  EXPECT_EQ(Plotted.Out, "The picture ZOR_Plot.svg has been written (customers: 112)\n");
  EXPECT_EQ(Run_Program("xmllint", Folder, "", {}, {"--noout", "ZOR_Plot.svg"}).Exit_Status, 0);
  std::string Picture = Read_File(At("ZOR_Plot.svg"));
  EXPECT_NE(Picture.find(">Customers: 112 "), std::string::npos);
  std::istringstream Summary(Simulated.Out);
  for (std::string Line; std::getline(Summary, Line);) {
    char Station[8];
    int Servers, Visits, Max_Wait;
    double Mean_Wait;
    if (std::sscanf(Line.c_str(), "%7s %d %d %lf s %d s", Station, &Servers, &Visits, &Mean_Wait, &Max_Wait) != 5) continue;
    char Title[128];
    std::snprintf(Title, sizeof Title, ">%s: visits %d, mean wait %.1f s, max wait %d s<", Station, Visits, Mean_Wait,
                  Max_Wait);
    EXPECT_NE(Picture.find(Title), std::string::npos) << Title;
  }

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
      {"1\n1\n1\n", Int32_Image({2147483647 - 339, 0, 300, 0, 0, 0, 0, 40}),
       Ask_Servers + X + E + "\nERROR in main\n  File: ZOR_Binary_In holds a day past the clock: customer 1 would leave "
                             "ZOR at 2147483648 s,\n  later than 2147483647 s (2^31 - 1), the last instant "
                             "ZOR_Binary_Out can hold\n  At exit point 5\n"},
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

// Both outputs are written whole under temporary names first: a disk that
// fills up leaves neither, nor a temporary file, and an earlier run's
// results stand as they were, whole.
TEST_F(Simulator, UnwritableResultsAreNeverReportedAsWritten) {
  Run_Options Small_Disk;
  Small_Disk.File_Size_Limit = 50;  // less than one 92-byte record
  Run_Result R = Run_Program(ZOR_SIMULATOR_PATH, Folder, "1\n1\n1\n", Small_Disk);
  EXPECT_EQ(R.Exit_Status, 1);
  EXPECT_EQ(R.Out, "");
  EXPECT_NE(R.Err.find("ERROR in main\n  fwrite failed to file: ZOR_Binary_Out\n  At exit point 7\n"), std::string::npos);
  EXPECT_EQ(Names_In(Folder), std::vector<std::string>{"ZOR_Binary_In"});
  ASSERT_EQ(mkdir(At("ZOR_Binary_Out").c_str(), 0755), 0);
  Write_File(At("ZOR_Binary_Out/inside"), "x");
  R = Run_Program(ZOR_SIMULATOR_PATH, Folder, "1\n1\n1\n");
  EXPECT_EQ(R.Exit_Status, 1);
  EXPECT_NE(R.Err.find("  File: ZOR_Binary_Out can not be opened for writing\n  At exit point 6\n"), std::string::npos);
  EXPECT_EQ(Names_In(Folder), (std::vector<std::string>{"ZOR_Binary_In", "ZOR_Binary_Out"}));
}

TEST_F(Simulator, EmptyDayWritesAnEmptyResultsFile) {
  Write_File(At("ZOR_Binary_In"), "");
  Run_Result R = Run_Program(ZOR_SIMULATOR_PATH, Folder, "1\n1\n1\n");
  EXPECT_EQ(R.Exit_Status, 0);
  EXPECT_EQ(R.Out.rfind("Customers simulated: 0\n", 0), 0u);
  EXPECT_TRUE(File_Exists(At("ZOR_Binary_Out")));
  EXPECT_EQ(Read_File(At("ZOR_Binary_Out")), "");
}

// The trace of a one-customer day, byte for byte as the README documents
// it; a trace that cannot be written leaves neither output.
TEST_F(Simulator, WritesTheEventTraceAndNeverAHalfTrace) {
  Run_Result R = Run_Program(ZOR_SIMULATOR_PATH, Folder, "1\n1\n1\n");
  ASSERT_EQ(R.Exit_Status, 0);
  EXPECT_EQ(Read_File(At("ZOR_Debug_Out")),
            "   Time Customer Place Event  Server Waiting\n"
            "      0        1 ZOR   ARRIVE      0       1\n"
            "     10        1 LAB   ARRIVE      0       1\n"
            "     10        1 LAB   START       1       0\n"
            "    310        1 LAB   DEPART      1       0\n"
            "    350        1 ZOR   LEAVE       0       0\n");
  const std::string Results = Read_File(At("ZOR_Binary_Out"));

  // Room for the results (92 bytes) and not for the trace: neither
  // takes its name, so no trace stands beside results of another run.
  ASSERT_EQ(unlink(At("ZOR_Debug_Out").c_str()), 0);
  ASSERT_EQ(unlink(At("ZOR_Binary_Out").c_str()), 0);
  Run_Options Small_Disk;
  Small_Disk.File_Size_Limit = 100;
  R = Run_Program(ZOR_SIMULATOR_PATH, Folder, "1\n1\n1\n", Small_Disk);
  EXPECT_EQ(R.Exit_Status, 1);
  EXPECT_EQ(R.Out, "");
  EXPECT_NE(R.Err.find("\nERROR in main\n  fprintf failed to file: ZOR_Debug_Out\n  At exit point 9\n"), std::string::npos);
  EXPECT_EQ(Names_In(Folder), std::vector<std::string>{"ZOR_Binary_In"});
  // An earlier run's pair stays as it was when a later one fails.
  ASSERT_EQ(Run_Program(ZOR_SIMULATOR_PATH, Folder, "1\n1\n1\n").Exit_Status, 0);
  const std::string Trace = Read_File(At("ZOR_Debug_Out"));
  R = Run_Program(ZOR_SIMULATOR_PATH, Folder, "2\n2\n2\n", Small_Disk);
  EXPECT_EQ(R.Exit_Status, 1);
  EXPECT_EQ(Read_File(At("ZOR_Binary_Out")), Results);
  EXPECT_EQ(Read_File(At("ZOR_Debug_Out")), Trace);
  EXPECT_EQ(Names_In(Folder), (std::vector<std::string>{"ZOR_Binary_In", "ZOR_Binary_Out", "ZOR_Debug_Out"}));
  ASSERT_EQ(unlink(At("ZOR_Debug_Out").c_str()), 0);

  ASSERT_EQ(mkdir(At("ZOR_Debug_Out").c_str(), 0755), 0);
  Write_File(At("ZOR_Debug_Out/inside"), "x");
  R = Run_Program(ZOR_SIMULATOR_PATH, Folder, "1\n1\n1\n");
  EXPECT_EQ(R.Exit_Status, 1);
  EXPECT_NE(R.Err.find("  File: ZOR_Debug_Out can not be opened for writing\n  At exit point 8\n"), std::string::npos);
}

// The plotter's exits, and a picture from bytes no simulator would write;
// every run under valgrind in the plain build.
TEST_F(Simulator, PlotterDrawsAnyBytesAndFailsAtItsExitPoints) {
  struct Case {
    std::string Setup, Err;
  };
  const Case Cases[] = {
      {"missing", "ERROR in main\n  File: ZOR_Binary_Out can not be opened for reading\n  At exit point 1\n"},
      {"folder", "ERROR in main\n  File: ZOR_Plot.svg can not be opened for writing\n  At exit point 2\n"},
      {"full", "ERROR in main\n  fprintf failed to file: ZOR_Plot.svg\n  At exit point 3\n"},
  };
  for (const Case& C : Cases) {
    std::string Case_Folder = Make_Scratch_Folder();
    if (C.Setup != "missing") Write_File(Case_Folder + "/ZOR_Binary_Out", Int32_Image({1, 2, 3}));
    std::string Plot = Case_Folder + "/ZOR_Plot.svg";
    if (C.Setup == "folder") {
      ASSERT_EQ(mkdir(Plot.c_str(), 0755), 0);
    }
    Run_Options Options = Memory_Checked();
    if (C.Setup == "full") Options.File_Size_Limit = 256;  // far less than any picture
    Run_Result R = Run_Program(RESULTS_PLOTTER_PATH, Case_Folder, "", Options);
    EXPECT_EQ(R.Exit_Status, 1) << C.Setup;
    EXPECT_EQ(R.Err, C.Err);
    EXPECT_EQ(R.Out, "");
    EXPECT_EQ(File_Exists(Case_Folder + "/ZOR_Plot.svg"), C.Setup == "folder");
    EXPECT_EQ(Names_In(Case_Folder).size(), size_t(C.Setup == "missing" ? 0 : C.Setup == "folder" ? 2 : 1)) << C.Setup;
    Remove_Folder(Case_Folder);
  }
  std::string Bytes;
  for (int I = 0; I < 40; I++)
    Bytes += Int32_Image({I, I % 3 ? INT32_MIN : INT32_MAX, -I, 99, 0, INT32_MAX, I * 1000, 5, 7, -5, 0, 1, 2,
                          INT32_MIN, 3, 4, 5, I % 2 ? 0 : 800, 1, 2, 3, 4, 5});
  // Under valgrind (or AddressSanitizer): one record, then many odd ones.
  Write_File(At("ZOR_Binary_Out"), Bytes.substr(0, 92));
  EXPECT_EQ(Run_Program(RESULTS_PLOTTER_PATH, Folder, "", Memory_Checked()).Exit_Status, 0);
  Write_File(At("ZOR_Binary_Out"), Bytes + "xyz");
  Run_Result R = Run_Program(RESULTS_PLOTTER_PATH, Folder, "", Memory_Checked());
  EXPECT_EQ(R.Exit_Status, 0) << R.Err;
  EXPECT_EQ(Run_Program("xmllint", Folder, "", {}, {"--noout", "ZOR_Plot.svg"}).Exit_Status, 0);
  EXPECT_EQ(Read_File(At("ZOR_Plot.svg")).find("nan"), std::string::npos);
}

}  // namespace
