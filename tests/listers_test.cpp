// workload_lister and results_lister run as processes on files built here.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/process.h"

namespace {

const std::string Workload_Legend =
    "  with one customer simulation parameters on a line\n"
    "  each line has the following fields\n"
    "    1 -- Interarrival_Time\n"
    "    2 -- Travel_Time_To_Lab\n"
    "    3 -- LAB_Service_Time\n"
    "    4 -- Travel_Time_To_X_RAY\n"
    "    5 -- X_RAY_SERVICE_TIME\n"
    "    6 -- Travel_Time_To_EKG\n"
    "    7 -- EKG_Service_Time\n"
    "    8 -- Travel_Time_To_Exit\n"
    "\n";

const std::string Results_Legend =
    "  with one customer simulation results on a line\n"
    "  each line has the following fields\n"
    "    1 -- Customer_Number\n    2 -- Time_Arrived_ZOR\n    3 -- Time_Arrived_LAB\n"
    "    4 -- LAB_Queue_Length\n    5 -- LAB_Server\n    6 -- Time_Departed_LAB\n"
    "    7 -- Time_Arrived_X_RAY\n    8 -- X_RAY_Queue_Length\n    9 -- X_RAY_Server\n"
    "   10 -- Time_Departed_X_RAY\n   11 -- Time_Arrived_EKG\n   12 -- EKG_Queue_Length\n"
    "   13 -- EKG_Server\n   14 -- Time_Departed_EKG\n   15 -- Time_Departed_ZOR\n"
    "   16 -- Interarrival_Time\n   17 -- Travel_Time_To_LAB\n   18 -- LAB_Service_Time\n"
    "   19 -- Travel_Time_To_X_RAY\n   20 -- X_RAY_Service_Time\n   21 -- Travel_Time_To_EKG\n"
    "   22 -- EKG_Service_Time\n   23 -- Travel_Time_To_EXIT\n";

std::string Workload_Summary(int Count) {
  return "Number of customers: " + std::to_string(Count) +
         "\n\nThe text file ZOR_Text_In has been written\n" + Workload_Legend;
}

std::string Results_Summary(int Count) {
  return "Number of customers: " + std::to_string(Count) + "\nThe text file ZOR_Text_Out has been written\n" +
         Results_Legend;
}

// One lister and what a small table must become.
struct Lister {
  const char* Program;
  std::string Binary, Text;
  std::string Table;     // records, then a trailing partial one
  std::string Expected;  // ZOR_Text_* for the whole records
  int Count;
  std::string (*Summary)(int);
};

const Lister Listers[] = {
    {WORKLOAD_LISTER_PATH, "ZOR_Binary_In", "ZOR_Text_In",
     Int32_Image({0, 71, 877, 0, 0, 0, 0, 149}) + Int32_Image({-5, 1234567, -123456, 7, 1409, 86, 1622, 205}) +
         Int32_Image({INT32_MIN, INT32_MAX, 0, 0, 0, 0, 0, 0}) + std::string(31, '\x7f'),
     "      0     71    877      0      0      0      0    149\n"
     "     -5 1234567 -123456      7   1409     86   1622    205\n"
     " -2147483648 2147483647      0      0      0      0      0      0\n",
     3, Workload_Summary},
    {RESULTS_LISTER_PATH, "ZOR_Binary_Out", "ZOR_Text_Out",
     Int32_Image({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23}) +
         Int32_Image({1000, -1, 1234567, -12, 17, 0, 0, 0, 0, 0, 0, 1234, -3, 0, 99, 0, 0, 0, 0, 0, 0, 0, 150}) +
         Int32_Image({7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5}) + std::string(91, '\1'),
     "   1      2      3   4 5      6      7   8 9     10     11  12 13     14     15     16     17     18     19     20"
     "     21     22 23\n"
     " 1000     -1 1234567 -12 17      0      0   0 0      0      0 1234 -3      0     99      0      0      0      0"
     "      0      0      0 150\n"
     "   7      0      0   0 0      0      0   0 0      0      0   0 0      0      0      0      0      0      0      0"
     "      0      0  5\n",
     3, Results_Summary},
};

using Listers_Test = Scratch_Folder_Test;

TEST_F(Listers_Test, TablesWidenForLargeValuesAndIgnoreATrailingPartialRecord) {
  for (const Lister& L : Listers) {
    Write_File(At(L.Binary), L.Table);
    Run_Result R = Run_Program(L.Program, Folder, "");
    EXPECT_EQ(R.Exit_Status, 0) << L.Program;
    EXPECT_EQ(R.Err, "");
    EXPECT_EQ(R.Out, L.Summary(L.Count));
    EXPECT_EQ(Read_File(At(L.Text)), L.Expected);
  }
}

TEST_F(Listers_Test, EmptyFileGivesEmptyTableAndZeroCustomers) {
  for (const Lister& L : Listers) {
    Write_File(At(L.Binary), "");
    Write_File(At(L.Text), "stale table");
    Run_Result R = Run_Program(L.Program, Folder, "");
    EXPECT_EQ(R.Exit_Status, 0);
    EXPECT_EQ(R.Out, L.Summary(0));
    EXPECT_EQ(Read_File(At(L.Text)), "");
  }
}

// Each way a lister can fail: the exact block, status 1, no summary, and
// no table left that could pass for a whole one.
TEST_F(Listers_Test, EveryFailureEndsAtItsExitPoint) {
  enum Setup { Missing_Input, Input_Is_Folder, Text_Is_Folder, Text_On_Full_Disk };
  for (const Lister& L : Listers) {
    struct Case {
      Setup How;
      std::string Err;
      bool Text_Created;
    };
    const Case Cases[] = {
        {Missing_Input, "  File: " + L.Binary + " can not be opened for reading\n  At exit point 1\n", false},
        {Input_Is_Folder, "  File: " + L.Binary + " can not be opened for reading\n  At exit point 1\n", false},
        {Text_Is_Folder, "  File: " + L.Text + " can not be opened for writing\n  At exit point 2\n", true},
        {Text_On_Full_Disk, "  fprintf failed to file: " + L.Text + "\n  At exit point 3\n", false},
    };
    for (const Case& C : Cases) {
      std::string Folder_Of_Case = Make_Scratch_Folder();
      std::string Binary = Folder_Of_Case + "/" + L.Binary, Text = Folder_Of_Case + "/" + L.Text;
      if (C.How == Input_Is_Folder) {
        ASSERT_EQ(mkdir(Binary.c_str(), 0755), 0);
      }
      if (C.How != Missing_Input && C.How != Input_Is_Folder) Write_File(Binary, L.Table);
      if (C.How == Text_Is_Folder) {
        ASSERT_EQ(mkdir(Text.c_str(), 0755), 0);
        Write_File(Text + "/inside", "x");
      }
      // The table is written whole before it is named: a disk that fills
      // up fails the write, however the table's name stands.
      Run_Options Small_Disk;
      if (C.How == Text_On_Full_Disk) Small_Disk.File_Size_Limit = 64;
      Run_Result R = Run_Program(L.Program, Folder_Of_Case, "", Small_Disk);
      EXPECT_EQ(R.Exit_Status, 1) << L.Program << " case " << C.How;
      EXPECT_EQ(R.Err, "ERROR in main\n" + C.Err) << L.Program;
      EXPECT_EQ(R.Out, "") << L.Program;
      EXPECT_EQ(File_Exists(Text), C.Text_Created) << L.Program << " case " << C.How;
      std::vector<std::string> Left = {L.Binary};
      if (C.How == Missing_Input) Left.clear();
      if (C.Text_Created) Left.push_back(L.Text);
      std::sort(Left.begin(), Left.end());
      EXPECT_EQ(Names_In(Folder_Of_Case), Left) << L.Program << " left a temporary file, case " << C.How;
      Remove_Folder(Folder_Of_Case);
    }
  }
}

}  // namespace
