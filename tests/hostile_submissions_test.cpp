// zor_grade against a submission that attacks the grader itself: a link
// out of the student's folder, to the kit's own simulator or to the
// grader's /proc/self; a folder that is a link to a classmate's; a
// sparse file of hundreds of MiB; a FIFO; a chain of folders thousands
// deep; a build that looks at who may read its copy. Each is graded
// beside an honest student, whose row must be exactly the row they get
// alone. The hostile files leave markers and harm nothing: every link
// points at a file the test made, or at what a link may show anyway.
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/process.h"

namespace {

namespace fs = std::filesystem;

const char Secret[] = "intake phrase 7";
const std::string Hostile = TEST_SOURCE_DIR "/hostile_submissions/";

enum Setting { No_Build, Build, Manifest };

struct Hostile_Case {
  const char* What;
  Setting How;
  void (*Make)(const std::string& Root, const std::string& Folder);  // the hostile student's folder, made
  const char* Verdict;
  std::string Reason;  // what the reason column holds; ROOT stands for the test's folder
};

void Copy_In(const std::string& From, const std::string& To) {
  fs::create_directories(fs::path(To).parent_path());
  fs::copy_file(From, To, fs::copy_options::overwrite_existing);
}

void Make_Sparse(const std::string& Path, off_t Size) {
  int File = open(Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0755);
  ASSERT_GE(File, 0);
  ASSERT_EQ(pwrite(File, "x", 1, Size - 1), 1);
  close(File);
}

const Hostile_Case Cases[] = {
    {"a simulator that links to the kit's", No_Build,
     [](const std::string&, const std::string& F) { fs::create_symlink(ZOR_SIMULATOR_PATH, F + "/simulator"); },
     "refused", "simulator is a link to " ZOR_SIMULATOR_PATH ", outside your folder"},
    {"a folder that links to a classmate's", No_Build,
     [](const std::string& Root, const std::string& F) { fs::create_symlink(Root + "/class/ada", F); },
     "refused", "your folder ROOT/class/mal is a link to ROOT/class/ada: the folder itself is graded, never a link"},
    {"a sparse simulator of 400 MiB", No_Build,
     [](const std::string&, const std::string& F) {
       Make_Sparse(F + "/simulator", off_t(400) << 20);
       struct stat Status;
       ASSERT_EQ(stat((F + "/simulator").c_str(), &Status), 0);
       ASSERT_LT(Status.st_blocks * 512, 1 << 20) << "sparse, as the test means it";
     },
     "refused", "simulator is 400.0 MiB, more than the 64.0 MiB a file may be here"},
    {"a hard link to another user's private program", No_Build,
     [](const std::string& Root, const std::string& F) {
       Write_File(Root + "/outside/theirs", "#!/bin/sh\necho THEIR-MARKER\n");
       ASSERT_EQ(chmod((Root + "/outside/theirs").c_str(), 0700), 0);
       ASSERT_EQ(chown((Root + "/outside/theirs").c_str(), 65534, 65534), 0);
       ASSERT_EQ(link((Root + "/outside/theirs").c_str(), (F + "/simulator").c_str()), 0);
     },
     "refused", "simulator belongs to another user, who has not let others read it"},
    {"a command's file that links to the grader's command line", Manifest,
     [](const std::string&, const std::string& F) {
       Copy_In(Hostile + "prints_its_argument.sh", F + "/sim.sh");
       fs::create_symlink("/proc/self/cmdline", F + "/config.txt");
     },
     "refused", "config.txt is a link to /proc/self/cmdline, outside your folder"},
    {"a command's file that links to the grader's environment", Manifest,
     [](const std::string&, const std::string& F) {
       Copy_In(Hostile + "prints_its_argument.sh", F + "/sim.sh");
       fs::create_symlink("/proc/self/environ", F + "/config.txt");
     },
     "refused", "config.txt is a link to /proc/self/environ, outside your folder"},
    {"a script that links to a file only root may read", Manifest,
     [](const std::string& Root, const std::string& F) {
       Write_File(Root + "/outside/root_only", "ROOT-ONLY-MARKER\n");
       ASSERT_EQ(chmod((Root + "/outside/root_only").c_str(), 0600), 0);
       fs::create_symlink(Root + "/outside/root_only", F + "/sim.sh");
       Write_File(F + "/config.txt", "\n");
     },
     "refused", "sim.sh is a link to ROOT/outside/root_only, outside your folder"},
    {"a build that leaves a link to the kit's simulator", Build,
     [](const std::string&, const std::string& F) { Copy_In(Hostile + "links_the_kit.sh", F + "/build.sh"); },
     "refused", "after the build, simulator is a link to /usr/bin/zor_simulator, outside your folder"},
    {"a FIFO in the folder", Build,
     [](const std::string&, const std::string& F) {
       Copy_In(Hostile + "honest_build.sh", F + "/build.sh");
       ASSERT_EQ(mkfifo((F + "/pipe").c_str(), 0600), 0);
     },
     "refused", "the folder cannot be copied to build it: pipe is a FIFO (named pipe), not a regular file"},
    {"a build that leaves a chain of folders 2000 deep", Build,
     [](const std::string&, const std::string& F) { Copy_In(Hostile + "deep_chain.sh", F + "/build.sh"); },
     "does-not-build", "the build command hit the output limit: its folder grew past 64 folders deep"},
    {"a build that shows who may read its copy", Build,
     [](const std::string&, const std::string& F) { Copy_In(Hostile + "shows_permissions.sh", F + "/build.sh"); },
     "does-not-build", "the build command exited with status 1"},
};

class Hostile_Submissions : public ::testing::Test {
 protected:
  std::string Root = Make_Scratch_Folder();
  void TearDown() override { Remove_Folder(Root); }

  // The honest student, ada: the kit's reference simulator handed in as
  // their own (a copy), built by copying where there is a build.
  void Make_Honest(const std::string& Class_Folder, Setting How) {
    fs::create_directories(Class_Folder + "/ada");
    if (How == Build) {
      Copy_In(ZOR_SIMULATOR_PATH, Class_Folder + "/ada/sim.bin");
      Copy_In(Hostile + "honest_build.sh", Class_Folder + "/ada/build.sh");
    } else {
      Copy_In(ZOR_SIMULATOR_PATH, Class_Folder + "/ada/simulator");
    }
  }

  // Grades the class in Case_Root with its own temporary folder, which the
  // boxes' users must be able to pass through.
  Run_Result Grade(const std::string& Case_Root, Setting How) {
    fs::create_directories(Case_Root + "/tmp");
    chmod(Root.c_str(), 0711), chmod(Case_Root.c_str(), 0711), chmod((Case_Root + "/tmp").c_str(), 0711);
    std::vector<std::string> Arguments = {"TMPDIR=" + Case_Root + "/tmp", ZOR_GRADE_PATH, "simulators", "--sandbox",
                                          "required", "--secret", Secret, "--days", "3", "-o", "out"};
    if (How == Build) Arguments.insert(Arguments.end(), {"--build", "sh build.sh"});
    Arguments.push_back(How == Manifest ? "class.csv" : "class");
    return Run_Program("/usr/bin/env", Case_Root, "", {}, Arguments);
  }
};

// A row of grades.csv without its seconds, the one field that depends on
// the machine.
std::string Row_Of(const std::string& Csv, const std::string& Id) {
  std::istringstream In(Csv);
  for (std::string Line; std::getline(In, Line);) {
    if (Line.rfind(Id + ",", 0) != 0) continue;
    size_t At = 0;
    for (int Comma = 0; Comma < 10; Comma++) At = Line.find(',', At) + 1;
    return Line.substr(0, At) + Line.substr(Line.find(',', At));
  }
  return "";
}

// Field N (from 0) of a row none of whose fields before N is quoted.
std::string Field_Of(const std::string& Row, int N) {
  size_t At = 0;
  for (int Comma = 0; Comma < N; Comma++) At = Row.find(',', At) + 1;
  return Row.substr(At, Row.find(',', At) - At);
}

std::string With_Root(std::string Text, const std::string& Root) {
  for (size_t At; (At = Text.find("ROOT")) != std::string::npos;) Text.replace(At, 4, Root);
  return Text;
}

// Every file under Folder, read whole, for what must never be shown.
std::string Everything_Under(const std::string& Folder) {
  std::string All;
  for (const fs::directory_entry& E : fs::recursive_directory_iterator(Folder))
    if (E.is_regular_file()) All += Read_File(E.path().string());
  return All;
}

// Each entry under Folder with its mode and owner, and each file's bytes:
// what a grading must leave as it was.
std::string State_Of(const std::string& Folder) {
  std::string All;
  for (const fs::directory_entry& E : fs::recursive_directory_iterator(Folder)) {
    struct stat Status;
    if (lstat(E.path().c_str(), &Status) != 0) continue;
    All += E.path().string() + " " + std::to_string(Status.st_mode) + " " + std::to_string(Status.st_uid) + "\n";
    if (S_ISREG(Status.st_mode)) All += Read_File(E.path().string());
  }
  return All;
}

TEST_F(Hostile_Submissions, EachIsRefusedAndTheHonestStudentKeepsTheirGrade) {
  if (geteuid() != 0) GTEST_SKIP() << "the grader is attacked as it runs as root";
  std::string Alone[3];
  for (Setting How : {No_Build, Build, Manifest}) {
    std::string Case_Root = Root + "/alone_" + std::to_string(How);
    Make_Honest(Case_Root + "/class", How);
    Write_File(Case_Root + "/class.csv", "ada,class/ada\n");
    Run_Result R = Grade(Case_Root, How);
    ASSERT_EQ(R.Exit_Status, 0) << R.Err;
    Alone[How] = Row_Of(Read_File(Case_Root + "/out/grades.csv"), "ada");
    EXPECT_EQ(Field_Of(Alone[How], 2), "followed") << Alone[How];
  }
  for (const Hostile_Case& C : Cases) {
    std::string Case_Root = Root + "/case_" + std::to_string(&C - Cases);
    fs::create_directories(Case_Root + "/outside");
    Make_Honest(Case_Root + "/class", C.How);
    std::string Mal = Case_Root + "/class/mal";
    if (std::string(C.What).find("folder that links") == std::string::npos) fs::create_directories(Mal);
    C.Make(Case_Root, Mal);
    Write_File(Case_Root + "/class.csv", "ada,class/ada\nmal,class/mal,sh sim.sh config.txt\n");
    std::string Honest_Before = State_Of(Case_Root + "/class/ada");
    Run_Result R = Grade(Case_Root, C.How);
    ASSERT_EQ(R.Exit_Status, 0) << C.What << "\n" << R.Err;
    std::string Csv = Read_File(Case_Root + "/out/grades.csv");
    EXPECT_EQ(Row_Of(Csv, "ada"), Alone[C.How]) << C.What;
    std::string Row = Row_Of(Csv, "mal");
    EXPECT_EQ(Field_Of(Row, 2), C.Verdict) << C.What << "\n" << Row;
    EXPECT_NE(Row.find(With_Root(C.Reason, Case_Root)), std::string::npos) << C.What << "\n" << Row;
    std::string Shown = Everything_Under(Case_Root + "/out");
    for (const char* Marker : {Secret, "ROOT-ONLY-MARKER", "THEIR-MARKER"})
      EXPECT_EQ(Shown.find(Marker), std::string::npos) << C.What << ": " << Marker;
    EXPECT_EQ(State_Of(Case_Root + "/class/ada"), Honest_Before) << C.What << ": the folder itself is never changed";
    EXPECT_TRUE(fs::is_empty(Case_Root + "/tmp")) << C.What << ": the grader's scratch is gone";
  }
}

// The copies a build sees are private to the box's user, and the
// grader's output is private to whoever runs it: grades are personal.
TEST_F(Hostile_Submissions, NothingTheGraderMakesIsOpenToOthers) {
  std::string Case_Root = Root + "/private";
  Make_Honest(Case_Root + "/class", Build);
  fs::create_directories(Case_Root + "/class/mal");
  Copy_In(Hostile + "shows_permissions.sh", Case_Root + "/class/mal/build.sh");
  Run_Result R = Grade(Case_Root, Build);
  ASSERT_EQ(R.Exit_Status, 0) << R.Err;
  std::string Feedback = Read_File(Case_Root + "/out/feedback/mal.txt");
  EXPECT_NE(Feedback.find("\n700 .\n600 build.sh\n"), std::string::npos) << Feedback;
  for (const fs::directory_entry& E : fs::recursive_directory_iterator(Case_Root + "/out")) {
    struct stat Status;
    ASSERT_EQ(lstat(E.path().c_str(), &Status), 0);
    EXPECT_EQ(Status.st_mode & 077, 0u) << E.path();
  }
  struct stat Status;
  ASSERT_EQ(stat((Case_Root + "/out").c_str(), &Status), 0);
  EXPECT_EQ(Status.st_mode & 0777, 0700u);
}

// sort_parameters that is no small file of the student's: a link to
// /dev/zero (which once grew the grader until it aborted) or to
// /dev/stdin, a FIFO (which once hung it), a file far too large. Each is
// that student's bad-parameters; the honest routine beside them is graded
// as it is alone.
TEST_F(Hostile_Submissions, SortParametersIsASmallFileOfTheFolderOnly) {
  const struct {
    const char* Id;
    void (*Make)(const std::string& File);
    const char* Reason;
  } Parameters[] = {
      {"zero", [](const std::string& F) { fs::create_symlink("/dev/zero", F); },
       "sort_parameters is a link to /dev/zero, outside your folder"},
      {"stdin", [](const std::string& F) { fs::create_symlink("/dev/stdin", F); },
       "sort_parameters is a link to /dev/stdin, outside your folder"},
      {"fifo", [](const std::string& F) { ASSERT_EQ(mkfifo(F.c_str(), 0600), 0); },
       "sort_parameters is a FIFO (named pipe), not a regular file"},
      {"large", [](const std::string& F) { Make_Sparse(F, off_t(1) << 20); },
       "sort_parameters is 1.0 MiB, more than the 64 bytes a file may be here"},
  };
  auto Grade_Sorts = [this](const std::string& Case_Root) {
    fs::create_directories(Case_Root + "/class/ada");
    Copy_In(KIT_SOURCE_DIR "/examples/sorts/merge_sort.c", Case_Root + "/class/ada/merge_sort.c");
    Write_File(Case_Root + "/class/ada/sort_parameters", "3 7\n");
    return Run_Program(ZOR_GRADE_PATH, Case_Root, "", {},
                       {"sorts", "--sandbox", "required", "--max-items", "8192", "--check-items", "1000", "--library",
                        PROFILE_LIBRARY, "--include", KIT_SOURCE_DIR "/sort_bench", "-o", "out", "class"});
  };
  // The fields that do not depend on the machine: verdict, cases, K and X.
  auto Steady = [](const std::string& Row) {
    return Field_Of(Row, 2) + "," + Field_Of(Row, 4) + "," + Field_Of(Row, 5) + "," + Field_Of(Row, 6) + "," +
           Field_Of(Row, 7);
  };
  Run_Result Alone = Grade_Sorts(Root + "/alone");
  ASSERT_EQ(Alone.Exit_Status, 0) << Alone.Err;
  std::string Honest = Steady(Row_Of(Read_File(Root + "/alone/out/grades.csv"), "ada"));
  EXPECT_EQ(Field_Of(Honest, 0), "sorted") << Honest;
  EXPECT_EQ(Field_Of(Honest, 1), Field_Of(Honest, 2)) << "every case passed: " << Honest;
  EXPECT_EQ(Field_Of(Honest, 3) + "," + Field_Of(Honest, 4), "3,7") << Honest;
  for (const auto& P : Parameters) {
    std::string Folder = Root + "/with/class/" + P.Id;
    fs::create_directories(Folder);
    Copy_In(KIT_SOURCE_DIR "/examples/sorts/merge_sort.c", Folder + "/merge_sort.c");
    P.Make(Folder + "/sort_parameters");
  }
  Run_Result R = Grade_Sorts(Root + "/with");
  ASSERT_EQ(R.Exit_Status, 0) << R.Err;
  std::string Csv = Read_File(Root + "/with/out/grades.csv");
  EXPECT_EQ(Steady(Row_Of(Csv, "ada")), Honest) << Csv;
  for (const auto& P : Parameters) {
    std::string Row = Row_Of(Csv, P.Id);
    EXPECT_EQ(Field_Of(Row, 2), "bad-parameters") << Row;
    EXPECT_NE(Row.find(P.Reason), std::string::npos) << Row;
  }
}

// A class folder with a space in one student's folder name is graded
// whole, that student under an identifier made from the name.
TEST_F(Hostile_Submissions, AFolderNameWithASpaceIsGraded) {
  std::string Case_Root = Root + "/space";
  Make_Honest(Case_Root + "/class", No_Build);
  Copy_In(ZOR_SIMULATOR_PATH, Case_Root + "/class/Ann Lee/simulator");
  Run_Result R = Grade(Case_Root, No_Build);
  ASSERT_EQ(R.Exit_Status, 0) << R.Err;
  std::string Csv = Read_File(Case_Root + "/out/grades.csv");
  EXPECT_EQ(Field_Of(Row_Of(Csv, "Ann_Lee"), 2), "followed") << Csv;
  EXPECT_EQ(Field_Of(Row_Of(Csv, "ada"), 2), "followed") << Csv;
}

}  // namespace
