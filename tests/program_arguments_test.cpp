// Every program of the kit and its tools, asked for help, for its
// version, and given an argument it does not take: the answer, the
// status, and not one file touched.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/zor_kit_version.h"
#include "tests/process.h"

namespace {

struct Program {
  const char* Path;
  const char* Name;
  bool Takes_Operands;  // make_raw's COUNT ORDER [SEED] keep their meaning
};

const Program Programs[] = {
    {WORKLOAD_MAKER_PATH, "workload_maker", false},   {WORKLOAD_LISTER_PATH, "workload_lister", false},
    {RESULTS_LISTER_PATH, "results_lister", false},   {ZOR_SIMULATOR_PATH, "zor_simulator", false},
    {RESULTS_CHECKER_PATH, "results_checker", false}, {RESULTS_PLOTTER_PATH, "results_plotter", false},
    {MERGE_SORT_BENCH, "sort_bench_merge_sort", false}, {CHECK_SORTED, "check_sorted", false},
    {MAKE_RAW, "make_raw", true},
};

using Program_Arguments = Scratch_Folder_Test;

TEST_F(Program_Arguments, HelpVersionAndRefusalTouchNoFile) {
  const char* const Files[] = {"ZOR_Binary_In", "ZOR_Binary_Out", "ZOR_Text_In", "ZOR_Text_Out",
                               "ZOR_Debug_Out", "ZOR_Plot.svg",   "Raw",         "Sorted"};
  for (const char* Name : Files) Write_File(At(Name), std::string("old ") + Name);
  for (const Program& P : Programs) {
    Run_Result Help = Run_Program(P.Path, Folder, "", {}, {"--help"});
    EXPECT_EQ(Help.Exit_Status, 0) << P.Name;
    EXPECT_EQ(Help.Out.rfind("Usage: ", 0), 0u) << P.Name;
    EXPECT_NE(Help.Out.find("Exit status"), std::string::npos) << P.Name;
    EXPECT_NE(Help.Out.find("Example"), std::string::npos) << P.Name;
    EXPECT_EQ(Help.Err, "") << P.Name;

    Run_Result Version = Run_Program(P.Path, Folder, "", {}, {"--version"});
    EXPECT_EQ(Version.Exit_Status, 0) << P.Name;
    EXPECT_EQ(Version.Out, std::string(P.Name) + " (ZOR kit) " ZOR_KIT_VERSION "\n");

    if (!P.Takes_Operands)
      for (std::vector<std::string> Wrong : {std::vector<std::string>{"--bogus"}, {"-h"}, {"ZOR_Binary_In"}, {"--help", "x"}}) {
        Run_Result R = Run_Program(P.Path, Folder, "4\n17\n", {}, Wrong);
        EXPECT_EQ(R.Exit_Status, 2) << P.Name << " " << Wrong[0];
        EXPECT_EQ(R.Out, "") << P.Name;
        EXPECT_EQ(R.Err.rfind(std::string(P.Name) + ": unexpected argument '" + Wrong[0] + "'", 0), 0u) << R.Err;
        EXPECT_EQ(R.Err.find('\n'), R.Err.size() - 1) << P.Name;
      }
  }
  size_t Count = 0;
  for ([[maybe_unused]] const auto& Entry : std::filesystem::directory_iterator(Folder)) Count++;
  EXPECT_EQ(Count, std::size(Files));
  for (const char* Name : Files) EXPECT_EQ(Read_File(At(Name)), std::string("old ") + Name);
}

}  // namespace
