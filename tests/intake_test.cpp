// How the grader takes a student's folder in, piece by piece: the file
// opened beneath a folder, the copy a build runs in, and the removal and
// handing over of a tree a run left. Each case is what a student could
// leave in their folder, made here without harm to anything outside it.
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "grade/class_list.h"
#include "grade/submission_copy.h"
#include "sandbox/copy_tree.h"
#include "sandbox/sandbox.h"
#include "tests/process.h"

namespace {

namespace fs = std::filesystem;

using Intake = Scratch_Folder_Test;

// A file of Size bytes holding one byte at its end: its disk use is a
// block, whatever its size.
void Make_Sparse(const std::string& Path, off_t Size) {
  int File = open(Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0755);
  ASSERT_GE(File, 0);
  ASSERT_EQ(pwrite(File, "x", 1, Size - 1), 1);
  close(File);
}

int64_t Disk_Bytes(const std::string& Path) {
  struct stat Status;
  return stat(Path.c_str(), &Status) == 0 ? int64_t(Status.st_blocks) * 512 : -1;
}

TEST_F(Intake, AFileIsOpenedBeneathItsFolderOnly) {
  const std::string S = At("student");
  fs::create_directories(S + "/sub");
  fs::create_directories(At("elsewhere"));
  Write_File(S + "/plain", "mine\n");
  Write_File(S + "/sub/deeper", "deeper\n");
  Write_File(At("elsewhere/private"), "not the student's\n");
  fs::create_symlink("plain", S + "/inside_link");
  fs::create_symlink("../plain", S + "/sub/up_inside");
  fs::create_symlink(At("elsewhere/private"), S + "/out_absolute");
  fs::create_symlink("../elsewhere/private", S + "/out_relative");
  fs::create_symlink(At("elsewhere"), S + "/out_folder");
  fs::create_symlink("/proc/self/cmdline", S + "/cmdline");
  fs::create_symlink("/dev/zero", S + "/zero");
  ASSERT_EQ(mkfifo((S + "/fifo").c_str(), 0600), 0);
  Make_Sparse(S + "/sparse", off_t(1) << 20);
  // Another user's private file, linked into the folder.
  Write_File(At("elsewhere/theirs"), "their secret\n");
  ASSERT_EQ(chmod(At("elsewhere/theirs").c_str(), 0600), 0);
  bool Other_User = geteuid() == 0 && chown(At("elsewhere/theirs").c_str(), 65534, 65534) == 0;
  ASSERT_EQ(link(At("elsewhere/theirs").c_str(), (S + "/hard").c_str()), 0);
  const struct {
    const char* Name;
    int64_t Most;
    const char* Bytes;   // read, or null when refused
    std::string Reason;  // when refused
  } Cases[] = {
      {"plain", 100, "mine\n", ""},
      {"inside_link", 100, "mine\n", ""},
      {"sub/up_inside", 100, "mine\n", ""},
      {"sub/deeper", 100, "deeper\n", ""},
      {"plain", 4, nullptr, "plain is 5 bytes, more than the 4 bytes a file may be here"},
      {"out_absolute", 100, nullptr, "out_absolute is a link to " + At("elsewhere/private") + ", outside your folder"},
      {"out_relative", 100, nullptr, "out_relative is a link to ../elsewhere/private, outside your folder"},
      {"out_folder/private", 100, nullptr,
       "out_folder/private goes through out_folder, which is a link to " + At("elsewhere") + ", outside your folder"},
      {"cmdline", 100, nullptr, "cmdline is a link to /proc/self/cmdline, outside your folder"},
      {"zero", 100, nullptr, "zero is a link to /dev/zero, outside your folder"},
      {"../elsewhere/private", 100, nullptr,
       "../elsewhere/private leads outside your folder (through \"..\" or a link)"},
      {"fifo", 100, nullptr, "fifo is a FIFO (named pipe), not a regular file"},
      {"sub", 100, nullptr, "sub is a folder, not a regular file"},
      {"sparse", 1000, nullptr, "sparse is 1.0 MiB, more than the 1000 bytes a file may be here"},
      {"nothing", 100, nullptr, "nothing is missing"},
      {"hard", 100, Other_User ? nullptr : "their secret\n",
       Other_User ? "hard belongs to another user, who has not let others read it" : ""},
  };
  for (const auto& C : Cases) {
    std::string Bytes = "stale", Reason;
    bool Read = Read_Beneath(S, C.Name, C.Most, &Bytes, &Reason);
    EXPECT_EQ(Read, C.Bytes != nullptr) << C.Name << ": " << Reason;
    if (C.Bytes != nullptr) EXPECT_EQ(Bytes, C.Bytes) << C.Name;
    else EXPECT_EQ(Reason, C.Reason) << C.Name;
  }
  std::string Reason;
  fs::create_symlink(S, At("folder_link"));
  EXPECT_EQ(Open_Beneath(At("folder_link"), "plain", 100, &Reason), -1) << "a folder that is a link";
  EXPECT_EQ(Reason, "the folder " + At("folder_link") + " is not a folder");
}

// A copy for a build: what stays inside is copied as it is, holes and
// all, private to the grader; anything else stops the copy with what was
// found and where, and the student's folder is never changed.
TEST_F(Intake, TheCopyForABuildTakesOnlyWhatStaysInside) {
  const std::string S = At("student");
  fs::create_directories(S + "/src/inner");
  Write_File(S + "/src/main.c", "int main(void) { return 0; }\n");
  Write_File(S + "/build.sh", "cc src/main.c\n");
  ASSERT_EQ(chmod((S + "/build.sh").c_str(), 0755), 0);
  fs::create_symlink("src/main.c", S + "/main_link.c");
  fs::create_symlink("not_made_yet", S + "/src/later");
  Make_Sparse(S + "/src/inner/sparse", off_t(32) << 20);
  ASSERT_LT(Disk_Bytes(S + "/src/inner/sparse"), 1 << 20) << "the test's own file is sparse";
  struct stat Before;
  ASSERT_EQ(stat(S.c_str(), &Before), 0);
  std::string Problem;
  ASSERT_TRUE(Copy_Submission(S, At("copy"), &Problem)) << Problem;
  EXPECT_EQ(Read_File(At("copy/main_link.c")), "int main(void) { return 0; }\n");
  EXPECT_EQ(fs::read_symlink(At("copy/src/later")).string(), "not_made_yet");
  EXPECT_EQ(fs::file_size(At("copy/src/inner/sparse")), uint64_t(32) << 20);
  EXPECT_LT(Disk_Bytes(At("copy/src/inner/sparse")), 1 << 20) << "the holes are kept";
  const struct {
    const char* Name;
    mode_t Mode;
  } Modes[] = {{"copy", 0700}, {"copy/src", 0700}, {"copy/src/inner", 0700}, {"copy/src/main.c", 0600},
               {"copy/build.sh", 0700}};
  for (const auto& M : Modes) {
    struct stat Status;
    ASSERT_EQ(lstat(At(M.Name).c_str(), &Status), 0) << M.Name;
    EXPECT_EQ(Status.st_mode & 07777, M.Mode) << M.Name;
  }
  struct stat Status;
  ASSERT_EQ(stat(S.c_str(), &Status), 0);
  EXPECT_EQ(Status.st_mode, Before.st_mode) << "the student's folder is unchanged";
  EXPECT_EQ(Status.st_uid, Before.st_uid) << "the student's folder is unchanged";
  EXPECT_EQ(stat((S + "/src/main.c").c_str(), &Status), 0);
  EXPECT_EQ(Status.st_mode & 0777, 0644u) << "the student's file keeps its mode";

  const struct {
    const char* What;
    void (*Add)(const std::string& Folder, const std::string& Outside);
    std::string Problem;
  } Hostile[] = {
      {"a FIFO", [](const std::string& F, const std::string&) { mkfifo((F + "/src/pipe").c_str(), 0600); },
       "src/pipe is a FIFO (named pipe), not a regular file"},
      {"a link out", [](const std::string& F, const std::string& O) { fs::create_symlink(O, F + "/src/secret"); },
       "src/secret is a link to OUTSIDE, outside your folder"},
      {"a link up and out",
       [](const std::string& F, const std::string&) { fs::create_symlink("../..", F + "/src/up"); },
       "src/up is a link to ../.., outside your folder"},
      {"a file too large",
       [](const std::string& F, const std::string&) { truncate((F + "/src/inner/sparse").c_str(), off_t(100) << 20); },
       "src/inner/sparse is 100.0 MiB, more than the 64.0 MiB a file may be here"},
      {"folders too deep",
       [](const std::string& F, const std::string&) {
         std::string Deep = F;
         for (int I = 0; I <= Most_Copied_Depth; I++) Deep += "/d";
         fs::create_directories(Deep);
       },
       "d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d lies more than 32 folders deep"},
  };
  Write_File(At("outside"), "the teacher's\n");
  for (const auto& H : Hostile) {
    std::string Folder = At(std::string("hostile_") + std::to_string(&H - Hostile));
    fs::copy(S, Folder, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    H.Add(Folder, At("outside"));
    std::string Expected = H.Problem;
    if (Expected.find("OUTSIDE") != std::string::npos) Expected.replace(Expected.find("OUTSIDE"), 7, At("outside"));
    std::string Copy = Folder + "_copy";
    EXPECT_FALSE(Copy_Submission(Folder, Copy, &Problem)) << H.What;
    EXPECT_EQ(Problem, Expected) << H.What;
    EXPECT_TRUE(Remove_Tree(Copy)) << H.What;
  }
  EXPECT_EQ(Read_File(At("outside")), "the teacher's\n");
}

// A student's folder and a program's folder are copied by one walker with
// one set of caps: what the intake takes, a day's run takes too, and what
// one refuses for its size the other refuses for the same reason.
TEST_F(Intake, ASubmissionAndARunFolderShareTheirCaps) {
  const struct {
    const char* What;
    int Files;        // in the top folder, one byte each
    off_t Sparse[2];  // two more files of these sizes (0: none)
    int Depth;        // folders nested under the top
    bool Taken;
  } Cases[] = {
      {"as many entries as allowed", Most_Copied_Entries, {0, 0}, 0, true},
      {"one entry too many", Most_Copied_Entries + 1, {0, 0}, 0, false},
      {"as many bytes as allowed", 0, {off_t(Most_Copied_Bytes / 2), off_t(Most_Copied_Bytes / 2)}, 0, true},
      {"one byte too many", 0, {off_t(Most_Copied_Bytes / 2), off_t(Most_Copied_Bytes / 2) + 1}, 0, false},
      {"as deep as allowed", 0, {0, 0}, Most_Copied_Depth, true},
      {"one folder too deep", 0, {0, 0}, Most_Copied_Depth + 1, false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    const std::string Tree = At("tree"), Copy = At("copy");
    fs::create_directories(Tree);
    for (int F = 0; F < C.Files; F++) Write_File(Tree + "/" + std::to_string(F), "x");
    for (int F = 0; F < 2; F++)
      if (C.Sparse[F] > 0) Make_Sparse(Tree + "/sparse" + std::to_string(F), C.Sparse[F]);
    std::string Deep = Tree;
    for (int D = 0; D < C.Depth; D++) Deep += "/d";
    fs::create_directories(Deep);
    std::string Taken_Why, Run_Why;
    EXPECT_EQ(Copy_Submission(Tree, Copy, &Taken_Why), C.Taken) << Taken_Why;
    EXPECT_EQ(Fits_A_Run_Folder(Tree, &Run_Why), C.Taken) << Run_Why;
    if (!C.Taken) {
      EXPECT_NE(Run_Why.find("more than a program's folder would: " + Taken_Why), std::string::npos)
          << Run_Why << " / " << Taken_Why;
    }
    EXPECT_TRUE(Remove_Tree(Tree));
    EXPECT_TRUE(Remove_Tree(Copy));
  }
}

// Their policies differ on purpose: a student's folder with a FIFO or a
// link out is refused, while a program's folder has the FIFO left out and
// the link copied as a link; the kit's own programs are left out of a
// program's folder only; a submission's copy is private, a run's keeps a
// program's usual modes.
TEST_F(Intake, ASubmissionIsRefusedWhereARunFolderLeavesOut) {
  mode_t Mask = umask(0);
  umask(Mask);
  const struct {
    const char* What;
    void (*Add)(const std::string& Folder);
    const char* Name;       // what it made
    const char* In_Copy;    // for a program's folder: "" left out, "link" a link, "file" a file
    const char* Refusal;    // for a student's folder: "" taken
  } Cases[] = {
      {"a FIFO", [](const std::string& F) { mkfifo((F + "/pipe").c_str(), 0600); }, "pipe", "",
       "pipe is a FIFO (named pipe), not a regular file"},
      {"a link out", [](const std::string& F) { fs::create_symlink("/etc/hostname", F + "/out"); }, "out", "link",
       "out is a link to /etc/hostname, outside your folder"},
      {"a kit program's name", [](const std::string& F) { Write_File(F + "/zor_simulator", "#!/bin/sh\n"); },
       "zor_simulator", "", ""},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    const std::string Tree = At("tree"), Copy = At("copy"), Run = At("run");
    fs::create_directories(Tree);
    Write_File(Tree + "/script.sh", "exit 0\n");
    ASSERT_EQ(chmod((Tree + "/script.sh").c_str(), 0755), 0);
    Write_File(Tree + "/data.txt", "data\n");
    C.Add(Tree);
    std::string Problem;
    EXPECT_EQ(Copy_Submission(Tree, Copy, &Problem), std::string(C.Refusal).empty()) << Problem;
    if (!std::string(C.Refusal).empty()) {
      EXPECT_EQ(Problem, C.Refusal);
    }
    fs::create_directories(Run);
    ASSERT_TRUE(Copy_Tree(Tree, Run, 0, {}, &Problem)) << Problem;
    struct stat Status;
    bool Made = lstat((Run + "/" + C.Name).c_str(), &Status) == 0;
    EXPECT_EQ(Made, !std::string(C.In_Copy).empty());
    if (std::string(C.In_Copy) == "link") {
      EXPECT_TRUE(S_ISLNK(Status.st_mode));
      EXPECT_EQ(fs::read_symlink(Run + "/" + C.Name).string(), "/etc/hostname");
    }
    const struct {
      std::string Path;
      mode_t Mode;
    } Modes[] = {{Run + "/script.sh", 0755 & ~Mask}, {Run + "/data.txt", 0644 & ~Mask}};
    for (const auto& M : Modes) {
      ASSERT_EQ(lstat(M.Path.c_str(), &Status), 0) << M.Path;
      EXPECT_EQ(Status.st_mode & 07777, M.Mode) << M.Path;
    }
    if (std::string(C.Refusal).empty()) {
      ASSERT_EQ(lstat((Copy + "/data.txt").c_str(), &Status), 0);
      EXPECT_EQ(Status.st_mode & 07777, 0600u) << "a submission's copy is the grader's alone";
      EXPECT_TRUE(fs::exists(Copy + "/" + C.Name)) << "a student's folder keeps every name";
    }
    for (const std::string& Folder : {Tree, Copy, Run}) EXPECT_TRUE(Remove_Tree(Folder));
  }
}

// A chain of folders far deeper than the process has descriptors, as a run
// may leave: removed whole, with the descriptors kept low, and nothing
// outside it touched through the links it holds.
TEST_F(Intake, ADeepChainIsRemovedWithFewDescriptors) {
  const int Depth = 3000;  // a hundred times the descriptors the removal is given
  Write_File(At("outside"), "stays\n");
  int Level = open(Folder.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(Level, 0);
  ASSERT_EQ(mkdirat(Level, "chain", 0700), 0);
  for (int I = 0; I < Depth && Level >= 0; I++) {
    int Next = openat(Level, I == 0 ? "chain" : "d", O_RDONLY | O_DIRECTORY);
    close(Level);
    Level = Next;
    if (Level >= 0 && I + 1 < Depth) mkdirat(Level, "d", 0700);
    if (Level >= 0 && I % 5000 == 0) symlinkat(At("outside").c_str(), Level, "link");
  }
  ASSERT_GE(Level, 0);
  fchmod(Level, 0);  // the deepest folder locked, as a run may leave it
  close(Level);
  pid_t Child = fork();
  if (Child == 0) {
    rlimit Few{32, 32};
    if (setrlimit(RLIMIT_NOFILE, &Few) != 0) _exit(3);
    _exit(Remove_Tree(At("chain")) ? 0 : 1);
  }
  int Status = 0;
  ASSERT_EQ(waitpid(Child, &Status, 0), Child);
  EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << Status;
  EXPECT_FALSE(fs::exists(fs::symlink_status(At("chain"))));
  EXPECT_EQ(Read_File(At("outside")), "stays\n");
}

// A folder given to a run's user is given whole, links themselves and
// never what they point at.
TEST_F(Intake, AFolderIsGivenWholeAndNoFurther) {
  if (geteuid() != 0) GTEST_SKIP() << "only root gives files to another user";
  const uid_t Runner = 65533;
  Write_File(At("outside"), "the teacher's\n");
  fs::create_directories(At("run/a/b"));
  Write_File(At("run/a/b/file"), "x");
  fs::create_symlink(At("outside"), At("run/a/link"));
  ASSERT_TRUE(Give_Tree(At("run"), Runner));
  for (const char* Name : {"run", "run/a", "run/a/b", "run/a/b/file", "run/a/link"}) {
    struct stat Status;
    ASSERT_EQ(lstat(At(Name).c_str(), &Status), 0) << Name;
    EXPECT_EQ(Status.st_uid, Runner) << Name;
  }
  struct stat Status;
  ASSERT_EQ(stat(At("outside").c_str(), &Status), 0);
  EXPECT_EQ(Status.st_uid, 0u) << "the link's target stays root's";
}

// A class folder's student whose folder name cannot be an identifier is
// graded under one made from it, distinct from every other.
TEST_F(Intake, AFolderNameWithASpaceStillNamesAStudent) {
  for (const char* Name : {"two words", "two_words", "ann", "é accent", ".hidden"})
    fs::create_directories(At(std::string("class/") + Name));
  std::vector<Student> Students;
  std::string Problem;
  ASSERT_TRUE(Read_Class(At("class"), &Students, &Problem)) << Problem;
  std::vector<std::string> Ids, Folders;
  for (const Student& S : Students) Ids.push_back(S.Id), Folders.push_back(fs::path(S.Folder).filename().string());
  EXPECT_EQ(Ids, (std::vector<std::string>{"ann", "two_words-2", "two_words", "___accent"}));
  EXPECT_EQ(Folders, (std::vector<std::string>{"ann", "two words", "two_words", "é accent"}));
}

}  // namespace
