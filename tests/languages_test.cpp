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
#include <pwd.h>
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

// A user id no account has, for a teacher who is not root: one of this
// test's own, so that no other test's processes share it.
uid_t Unused_Uid() {
  uid_t Uid = 1000000000u + static_cast<uid_t>(getpid());
  while (getpwuid(Uid) != nullptr) Uid++;
  return Uid;
}

// A teacher who is not root grades a class with the default limits, as
// most teachers will: bubblewrap makes the box in a user namespace, no
// cgroup can be had, and memory is limited by each process's data
// (RLIMIT_DATA), under which the JVM and javac must start and a Go build
// must run. Five students, each building with their own build.sh: a
// correct Java simulator, one that breaks the arrival rule, a Go one, and
// two that show the limits their build and their run held (on a failed
// build and a failed run, whose words the feedback quotes).
TEST_F(Languages, ATeacherWhoIsNotRootGradesAJavaClassUnderTheDefaultLimits) {
  if (geteuid() != 0) {
    if (std::getenv("ZOR_SANDBOX_MUST_RUN") != nullptr) ADD_FAILURE() << "becoming another user needs root";
    GTEST_SKIP() << "becoming another user needs root";
  }
  if (!Have(JAVAC_PATH) || !Have(GO_PATH)) GTEST_SKIP() << "no JDK or no Go here";
  const std::string Java_Build = JAVAC_PATH " -d . Sim.java Day.java\n"
                                 "printf '#!/bin/sh\\nexec java -cp \"$(dirname \"$0\")\" Sim\\n' > simulator\n"
                                 "chmod +x simulator\n";
  const std::string Show_Limits = "grep -E '^Max (data size|address space)' /proc/self/limits";
  for (const char* Id : {"ada", "bob"}) {
    Copy_Sources("java", std::string("teacher/class/") + Id);
    Write_File(At("teacher/class/") + Id + "/build.sh", Java_Build);
  }
  std::string Wrong = Read_File(At("teacher/class/bob/Sim.java"));
  const std::string Arrival = "out[c][1] = (int) arrived;";
  ASSERT_NE(Wrong.find(Arrival), std::string::npos);
  Write_File(At("teacher/class/bob/Sim.java"), Wrong.replace(Wrong.find(Arrival), Arrival.size(),
                                                             "out[c][1] = (int) arrived + 1;"));
  Copy_Sources("go", "teacher/class/gus");
  Write_File(At("teacher/class/gus/build.sh"), GO_PATH " build -o simulator sim.go\n");
  fs::create_directories(At("teacher/class/lim_build"));
  Write_File(At("teacher/class/lim_build/build.sh"), Show_Limits + "\nexit 1\n");
  fs::create_directories(At("teacher/class/lim_run"));
  Write_File(At("teacher/class/lim_run/limits.sh"), "#!/bin/sh\n" + Show_Limits + " >&2\nexit 1\n");
  Write_File(At("teacher/class/lim_run/build.sh"), "cp limits.sh simulator && chmod +x simulator\n");
  // The teacher's own folder, which no one else may enter, holds the class
  // and a copy of zor_grade, since the build tree may lie where the
  // teacher cannot reach.
  fs::copy_file(ZOR_GRADE_PATH, At("teacher/zor_grade"));
  const std::string Teacher = std::to_string(Unused_Uid());
  Shell("", "chown -R " + Teacher + ":" + Teacher + " teacher && chmod 700 teacher");
  Run_Options Patient;
  Patient.Wall_Seconds = 600;
  Run_Result R = Run_Program("/usr/bin/setpriv", At("teacher"), "", Patient,
                             {"--reuid=" + Teacher, "--regid=" + Teacher, "--clear-groups", "/usr/bin/env",
                              "HOME=" + At("teacher"), At("teacher/zor_grade"), "simulators", "--days", "2",
                              "--build", "sh build.sh", "-o", "out", "class"});
  ASSERT_EQ(R.Exit_Status, 0) << R.Out << R.Err;
  const std::string Held =
      "memory by RLIMIT_DATA (no cgroup), processes not limited (no cgroup, not root), CPU time per process";
  EXPECT_EQ(R.Err.rfind("zor_grade: sandbox: each run in a box of its own (", 0), 0u) << R.Err;
  EXPECT_NE(R.Err.find("as your user id; no cgroup"), std::string::npos) << R.Err;
  EXPECT_NE(R.Err.find(Held), std::string::npos) << R.Err;
  EXPECT_NE(Read_File(At("teacher/out/report.html")).find(Held), std::string::npos);
  const std::string Grades = Read_File(At("teacher/out/grades.csv"));
  // The limits the build and the run held: memory by its data alone
  // (2 GiB for a build, 1 GiB for a run), never by the address space a
  // JVM reserves.
  const std::string Data = "Max data size             ", Unlimited_Space = "Max address space         unlimited";
  const struct {
    std::string Id;
    std::string Row;                 // the start of the student's row in grades.csv
    std::vector<std::string> Words;  // what their feedback says
  } Cases[] = {
      {"ada", "ada,simulators,followed,100.0,2,2,", {"followed the model on 2 of 2 days"}},
      {"bob", "bob,simulators,broke-rule,0.0,0,2,0,2,arrival,",
       {"broke the rule \"Time_Arrived_ZOR is the running sum of Interarrival_Time\""}},
      {"gus", "gus,simulators,followed,100.0,2,2,", {"followed the model on 2 of 2 days"}},
      {"lim_build", "lim_build,simulators,does-not-build,",
       {Data + "2147483648           2147483648", Unlimited_Space}},
      {"lim_run", "lim_run,simulators,bad-exit,", {Data + "1073741824           1073741824", Unlimited_Space}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Id);
    EXPECT_NE(Grades.find("\r\n" + C.Row), std::string::npos) << Grades;
    std::string Feedback = Read_File(At("teacher/out/feedback/") + C.Id + ".txt");
    for (const std::string& Words : C.Words) EXPECT_NE(Feedback.find(Words), std::string::npos) << Feedback;
    EXPECT_EQ(Feedback.find("Could not create the Java Virtual Machine"), std::string::npos) << Feedback;
  }
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
