// Simulators written as students of a course write them, in Java, Python,
// Go and C, checked by simulator_checker and graded by zor_grade the ways
// their authors run them: java -cp DIR Sim, java -cp . Sim and java Sim
// from the classes' folder, a launcher beside the class files, a script
// importing a module beside it, a binary a build leaves. Each follows the
// model; any "not found" or "cannot load" is the kit's fault. The JDK and
// Go are installed by tools/ensure_packages.sh; where CI requires them
// (ZOR_TOOLCHAINS_MUST_RUN), a missing one fails rather than skips.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/process.h"

namespace {

namespace fs = std::filesystem;

const std::string Sources = TEST_SOURCE_DIR "/simulators/";

class Languages : public Scratch_Folder_Test {
 protected:
  void SetUp() override { chmod(Folder.c_str(), 0711); }

  // Whether the toolchain at Path is here; where CI requires it, its
  // absence is a failure.
  static bool Have(const std::string& Path) {
    if (access(Path.c_str(), X_OK) == 0) return true;
    if (std::getenv("ZOR_TOOLCHAINS_MUST_RUN") != nullptr) ADD_FAILURE() << Path << " is missing";
    return false;
  }

  // Runs a line of shell in Folder/Where; the test fails unless it succeeds.
  void Shell(const std::string& Where, const std::string& Line) {
    Run_Result R = Run_Program("/bin/sh", At(Where), "", {}, {"-c", Line});
    ASSERT_EQ(R.Exit_Status, 0) << Line << "\n" << R.Out << R.Err;
  }

  // The sources of one simulator copied into Folder/Where.
  void Copy_Sources(const std::string& Language, const std::string& Where) {
    fs::create_directories(At(Where));
    for (const auto& Entry : fs::directory_iterator(Sources + Language))
      fs::copy_file(Entry.path(), fs::path(At(Where)) / Entry.path().filename());
  }

  // The Java simulator compiled, a launcher beside its classes; the Python
  // one as it is; the Go one built.
  void Make_Simulators() {
    Copy_Sources("java", "java");
    Shell("java", JAVAC_PATH " -d . Sim.java Day.java");
    Write_File(At("java/simulator"), "#!/bin/sh\nexec java -cp \"$(dirname \"$0\")\" Sim\n");
    fs::permissions(At("java/simulator"), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    Copy_Sources("python", "python");
    Copy_Sources("go", "go");
    fs::create_directories(At("go_home"));
    Shell("go", "HOME=" + At("go_home") + " GOCACHE=" + At("go_home/cache") + " " GO_PATH " build -o simulator sim.go");
  }
};

TEST_F(Languages, EachRunsUnderTheCheckerAsItsAuthorRunsIt) {
  if (!Have(JAVAC_PATH) || !Have(GO_PATH)) GTEST_SKIP() << "no JDK or no Go here";
  Make_Simulators();
  struct Case {
    std::string Name, Where;
    std::vector<std::string> Command;
  };
  const Case Cases[] = {
      {"java -cp DIR Sim", "", {"java", "-cp", At("java"), "Sim"}},
      {"java -cp . Sim, from the classes' folder", "java", {"java", "-cp", ".", "Sim"}},
      {"java Sim, from the classes' folder", "java", {"java", "Sim"}},
      {"a launcher beside the classes", "", {At("java/simulator")}},
      {"python3 sim.py, importing a module beside it", "python", {"python3", "sim.py"}},
      {"a Go binary", "go", {"./simulator"}},
      {"C", "", {STUDENT_SIMULATOR}},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    fs::remove_all(At("kept"));
    std::vector<std::string> Arguments = {"--sandbox", "required", "--trials", "20", "--wall-time-limit", "120",
                                          "--keep", At("kept")};
    Arguments.insert(Arguments.end(), C.Command.begin(), C.Command.end());
    Run_Result R = Run_Program(SIMULATOR_CHECKER_PATH, At(C.Where), "", {}, Arguments);
    EXPECT_EQ(R.Exit_Status, 0) << R.Out << R.Err;
    EXPECT_NE(R.Out.find("followed the model on all 20 days"), std::string::npos) << R.Out << R.Err;
    EXPECT_FALSE(File_Exists(At("kept"))) << R.Out;
  }
  // Nothing a run wrote reached the folders it started from.
  for (const char* Where : {"java", "python", "go"}) EXPECT_FALSE(File_Exists(At(std::string(Where) + "/ZOR_Binary_Out")));
}

// A class in every language, graded from a manifest, with one build
// command for all (a Makefile where a student has one): every simulator
// follows the model on every day, and one that breaks a rule on the first
// day, which cannot shrink, has its ZOR_Binary_Out kept and a rerun line
// made of its own command.
TEST_F(Languages, AClassInEveryLanguageIsGradedEndToEnd) {
  if (!Have(JAVAC_PATH) || !Have(GO_PATH)) GTEST_SKIP() << "no JDK or no Go here";
  Make_Simulators();
  Copy_Sources("java", "java_built");
  Write_File(At("java_built/Makefile"),
             "simulator: Sim.java Day.java\n\tjavac -d . Sim.java Day.java\n"
             "\tprintf '#!/bin/sh\\nexec java -cp \"$$(dirname \"$$0\")\" Sim\\n' > simulator\n\tchmod +x simulator\n");
  Copy_Sources("go", "go_built");
  Write_File(At("go_built/Makefile"), "simulator: sim.go\n\tgo build -o simulator sim.go\n");
  fs::create_directories(At("zeros"));
  Write_File(At("zeros/zeros.sh"), "head -c 92 /dev/zero > ZOR_Binary_Out\n");
  Write_File(At("class.csv"), "identifier,folder,command\n"
                              "java_cp_dot,java,java -cp . Sim\n"
                              "java_bare,java,java Sim\n"
                              "java_launcher,java,./simulator\n"
                              "java_built,java_built\n"
                              "python,python,python3 sim.py\n"
                              "go_built,go_built\n"
                              "zeros,zeros,sh zeros.sh\n");
  Run_Result R = Run_Program(ZOR_GRADE_PATH, Folder, "", {},
                             {"simulators", "--sandbox", "required", "--days", "20", "--jobs", "2", "--build",
                              "test ! -f Makefile || make", "-o", At("out"), At("class.csv")});
  ASSERT_EQ(R.Exit_Status, 0) << R.Out << R.Err;
  std::string Grades = Read_File(At("out/grades.csv"));
  for (const char* Id : {"java_cp_dot", "java_bare", "java_launcher", "java_built", "python", "go_built"})
    EXPECT_NE(Grades.find(std::string("\r\n") + Id + ",simulators,followed,100.0,"), std::string::npos) << Id << "\n"
                                                                                                    << Grades;
  EXPECT_NE(Grades.find("\r\nzeros,simulators,broke-rule,"), std::string::npos) << Grades;
  EXPECT_EQ(Read_File(At("out/feedback/zeros.day/ZOR_Binary_Out")), std::string(92, '\0'));
  std::string Feedback = Read_File(At("out/feedback/zeros.txt"));
  EXPECT_NE(Feedback.find("cd zeros.day && cp -Rn /path/to/your/submission/. . && sh zeros.sh < entries && "
                          "results_checker < entries\n"),
            std::string::npos)
      << Feedback;
  EXPECT_NE(Feedback.find("runs with your rights, outside any sandbox"), std::string::npos) << Feedback;
  EXPECT_FALSE(File_Exists(At("java/ZOR_Binary_Out")));
  EXPECT_FALSE(File_Exists(At("java_built/simulator"))) << "the build ran in the student's folder";
}

}  // namespace
