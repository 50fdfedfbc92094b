// Every program of the kit and its tools, asked for help, for its
// version, and given an argument it does not take: the answer, the
// status, and not one file touched. The tools that run a user's code
// take the sandbox's options alike: one range and one refusal each.
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

// The same bad limit is refused by each tool that runs a user's code, in
// the same words, before any work: a run's limits in simulator_checker,
// zor_sort_judge and zor_grade's simulators, a build's in zor_grade.
TEST_F(Program_Arguments, EveryToolRefusesABadSandboxLimitAlike) {
  const std::string Judge = "true";  // the judge goes by its routine's program's name
  struct Case {
    const char* Path;
    std::vector<std::string> Arguments;
    std::string Err;
  } Cases[] = {
      {SIMULATOR_CHECKER_PATH, {"--file-size-limit", "0", "prog"},
       "simulator_checker: --file-size-limit: Value 0 not in range 1 to 1048576 (see --help)\n"},
      {ZOR_SORT_JUDGE_PATH, {"--program", "/bin/true", "--file-size-limit", "0"},
       Judge + ": --file-size-limit: Value 0 not in range 1 to 1048576 (see --help)\n"},
      {ZOR_GRADE_PATH, {"simulators", "--file-size-limit", "0", "class"},
       "zor_grade: --file-size-limit: Value 0 not in range 1 to 1048576 (see --help)\n"},
      {ZOR_GRADE_PATH, {"sorts", "--build-file-size-limit", "0", "class"},
       "zor_grade: --build-file-size-limit: Value 0 not in range 1 to 1048576 (see --help)\n"},
      {SIMULATOR_CHECKER_PATH, {"--memory-limit", "15", "prog"},
       "simulator_checker: --memory-limit: Value 15 not in range 16 to 1048576 (see --help)\n"},
      {ZOR_SORT_JUDGE_PATH, {"--program", "/bin/true", "--open-file-limit", "65537"},
       Judge + ": --open-file-limit: Value 65537 not in range 16 to 65536 (see --help)\n"},
      {ZOR_GRADE_PATH, {"simulators", "--process-limit", "0", "class"},
       "zor_grade: --process-limit: Value 0 not in range 1 to 100000 (see --help)\n"},
      {ZOR_GRADE_PATH, {"simulators", "--build-output-limit", "0", "class"},
       "zor_grade: --build-output-limit: Value 0 not in range 1 to 1048576 (see --help)\n"},
      {SIMULATOR_CHECKER_PATH, {"--sandbox", "maybe", "prog"},
       "simulator_checker: --sandbox: maybe not in {auto,required,off} (see --help)\n"},
      {ZOR_SORT_JUDGE_PATH, {"--program", "/bin/true", "--sandbox", "maybe"},
       Judge + ": --sandbox: maybe not in {auto,required,off} (see --help)\n"},
      {ZOR_GRADE_PATH, {"sorts", "--sandbox", "maybe", "class"},
       "zor_grade: --sandbox: maybe not in {auto,required,off} (see --help)\n"},
  };
  for (const Case& C : Cases) {
    Run_Result R = Run_Program(C.Path, Folder, "", {}, C.Arguments);
    EXPECT_EQ(R.Exit_Status, 2) << C.Err;
    EXPECT_EQ(R.Out, "") << C.Err;
    EXPECT_EQ(R.Err, C.Err);
  }
  size_t Count = 0;
  for ([[maybe_unused]] const auto& Entry : std::filesystem::directory_iterator(Folder)) Count++;
  EXPECT_EQ(Count, 0u);
}

}  // namespace
