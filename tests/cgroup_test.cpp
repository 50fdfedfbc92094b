// The sandbox's cgroups: which hierarchy the tool chooses on each kind of
// machine (fake trees of folders and files, described by a fake
// mountinfo), the files it writes and reads there for a run's limits and
// verdict, the words that say which limits held, and, on a real kernel
// whose cgroup v2 can place runs, that a run's process is placed there and
// that ending the slot ends a grandchild that escaped its parent.
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "sandbox/sandbox_internal.h"
#include "tests/process.h"

namespace {

namespace fs = std::filesystem;

constexpr pid_t Fake_Pid = 4242;

// A fake machine: cgroup hierarchies as folders, each cgroup a folder
// with the files the tool reads, and the mountinfo that names them.
struct Fake_Machine {
  bool V1 = false;                       // memory, pids and cpuacct each mounted
  bool V2 = false;                       // the unified hierarchy mounted
  std::string V2_Path = "/";             // the tool's cgroup v2 path, as /proc/self/cgroup says it
  std::string Controllers = "";           // its cgroup.controllers
  std::string Subtree = "";               // its cgroup.subtree_control
  std::string Procs = "";                 // its cgroup.procs
  uid_t Euid = 0;
  uid_t Owner = 0;                       // who owns the tool's v2 cgroup
  bool Read_Only = false;                // the v2 mount
  std::string Mount_Root = "/";          // the root of the v2 mount within the hierarchy
  bool In_Leaf = false;                  // the tool sits in its leaf below V2_Path, made earlier
};

// A v2 cgroup folder: the root of a hierarchy has no cgroup.type.
void Make_V2_Cgroup(const std::string& Folder, bool Root) {
  fs::create_directories(Folder);
  for (const char* Name : {"cgroup.procs", "cgroup.controllers", "cgroup.subtree_control"})
    Write_File(Folder + "/" + Name, "");
  if (!Root) Write_File(Folder + "/cgroup.type", "domain\n");
}

Cgroup_Sight Make_Machine(const std::string& Top, const Fake_Machine& M) {
  Cgroup_Sight Sight;
  Sight.Euid = M.Euid, Sight.Pid = Fake_Pid;
  int Line = 30;
  const char* V1_Names[] = {"memory", "pids", "cpuacct"};
  for (const char* Name : V1_Names) {
    if (!M.V1) break;
    std::string Point = Top + "/cgroup/" + Name;
    fs::create_directories(Point);
    Write_File(Point + "/cgroup.procs", "");
    Line++;
    Sight.Mountinfo += std::to_string(Line) + " 25 0:" + std::to_string(Line) + " / " + Point +
                       " rw,relatime shared:9 - cgroup cgroup rw," + Name + "\n";
    Sight.Own += std::to_string(Line) + ":" + Name + ":/\n";
  }
  if (M.V2) {
    std::string Point = Top + "/cgroup/unified tree";
    std::string Escaped = Top + "/cgroup/unified\\040tree";
    Make_V2_Cgroup(Point, M.Mount_Root == "/");
    std::string Inside = M.V2_Path.substr(M.Mount_Root == "/" ? 0 : M.Mount_Root.size());
    std::string Own = Point + (Inside == "/" || Inside.empty() ? "" : Inside);
    if (Own != Point) Make_V2_Cgroup(Own, false);
    Write_File(Own + "/cgroup.controllers", M.Controllers);
    Write_File(Own + "/cgroup.subtree_control", M.Subtree);
    Write_File(Own + "/cgroup.procs", M.Procs);
    for (const char* Name : {"", "/cgroup.procs", "/cgroup.subtree_control"})
      if (M.Owner != 0) {
        EXPECT_EQ(chown((Own + Name).c_str(), M.Owner, M.Owner), 0);
      }
    std::string Leaf = M.In_Leaf ? "/zor_tool." + std::to_string(Fake_Pid) : "";
    if (M.In_Leaf) Make_V2_Cgroup(Own + Leaf, false);
    Sight.Mountinfo += "42 25 0:39 " + M.Mount_Root + " " + Escaped + (M.Read_Only ? " ro" : " rw") +
                       ",relatime - cgroup2 cgroup2 rw,nsdelegate\n";
    Sight.Own += "0::" + M.V2_Path + Leaf + "\n";
  }
  Sight.Mountinfo += "50 25 0:50 / " + Top + "/other rw - tmpfs tmpfs rw\n";
  return Sight;
}

class Cgroup_Test : public Scratch_Folder_Test {
 protected:
  void TearDown() override {
    Cgroup_End();
    Scratch_Folder_Test::TearDown();
  }
};

struct Choice_Case {
  const char* Name;
  Fake_Machine Machine;
  Cgroup_Version Version;
  const char* V2_Own;  // below the fake unified mount; nullptr: none
  bool Leave_For_Leaf, Hand_Down;
  const char* Why_Not;  // a part of it; "" with a cgroup
};

// Each kind of machine, and what the tool makes of it.
TEST_F(Cgroup_Test, TheHierarchyIsChosenByWhatTheMachineOffers) {
  const Choice_Case Cases[] = {
      {"cgroup v1 alone, as root", {.V1 = true}, Cgroup_V1, nullptr, false, false, ""},
      {"cgroup v1 alone, not root", {.V1 = true, .Euid = 1000}, Cgroup_None, nullptr, false, false,
       "only root makes them"},
      {"hybrid: v1's controllers, v2 places runs", {.V1 = true, .V2 = true, .Controllers = "hugetlb"}, Cgroup_V1, "",
       false, false, ""},
      {"hybrid, v2 mounted read-only", {.V1 = true, .V2 = true, .Read_Only = true}, Cgroup_V1, nullptr, false, false,
       ""},
      {"v2 with controllers, the tool in the hierarchy's root",
       {.V2 = true, .Controllers = "cpu memory pids", .Procs = "1\n4242\n"}, Cgroup_V2, "", false, true, ""},
      {"v2, the root hands them down already",
       {.V2 = true, .Controllers = "memory pids", .Subtree = "memory pids", .Procs = "1\n"}, Cgroup_V2, "", false,
       false, ""},
      {"v2, a scope of the tool's own: it moves into a leaf",
       {.V2 = true, .V2_Path = "/tool.scope", .Controllers = "memory pids io", .Procs = "4242\n"}, Cgroup_V2,
       "/tool.scope", true, true, ""},
      {"v2, the tool already in its leaf",
       {.V2 = true, .V2_Path = "/tool.scope", .Controllers = "memory pids", .Subtree = "memory pids", .In_Leaf = true},
       Cgroup_V2, "/tool.scope", false, false, ""},
      {"v2, its cgroup holds other processes",
       {.V2 = true, .V2_Path = "/session.scope", .Controllers = "memory pids", .Procs = "77\n4242\n"}, Cgroup_None,
       nullptr, false, false, "holds other processes"},
      {"v2 without the controllers", {.V2 = true, .Controllers = "cpu io", .Procs = "4242\n"}, Cgroup_None, nullptr,
       false, false, "offers no memory and pids"},
      {"v2 delegated to the user",
       {.V2 = true, .V2_Path = "/user/app.scope", .Controllers = "memory pids", .Procs = "4242\n", .Euid = 1000,
        .Owner = 1000},
       Cgroup_V2, "/user/app.scope", true, true, ""},
      {"v2 not delegated to the user",
       {.V2 = true, .V2_Path = "/user/app.scope", .Controllers = "memory pids", .Procs = "4242\n", .Euid = 1000},
       Cgroup_None, nullptr, false, false, "not yours to write"},
      {"v2 mounted read-only", {.V2 = true, .Controllers = "memory pids", .Read_Only = true}, Cgroup_None, nullptr,
       false, false, "not yours to write"},
      {"v2 mounted from within the hierarchy (a namespace)",
       {.V2 = true, .V2_Path = "/pod/c1/tool", .Controllers = "memory pids", .Procs = "4242\n",
        .Mount_Root = "/pod/c1"},
       Cgroup_V2, "/tool", true, true, ""},
      {"nothing mounted", {}, Cgroup_None, nullptr, false, false, "neither cgroup v1"},
  };
  int Index = 0;
  for (const Choice_Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    if (geteuid() != 0 && (C.Machine.Euid != 0 || C.Machine.Owner != 0)) continue;  // the owners need root
    std::string Top = At("machine" + std::to_string(Index++));
    Cgroup_Choice Choice = Choose_Cgroups(Make_Machine(Top, C.Machine));
    EXPECT_EQ(Choice.Version, C.Version);
    EXPECT_EQ(Choice.V2_Own, C.V2_Own == nullptr ? "" : Top + "/cgroup/unified tree" + C.V2_Own);
    EXPECT_EQ(Choice.Leave_For_Leaf, C.Leave_For_Leaf);
    EXPECT_EQ(Choice.Hand_Down, C.Hand_Down);
    EXPECT_EQ(Choice.Tool_Pid, Fake_Pid);
    EXPECT_NE(Choice.Why_Not.find(C.Why_Not), std::string::npos) << Choice.Why_Not;
    EXPECT_EQ(Choice.Why_Not.empty(), C.Version != Cgroup_None) << Choice.Why_Not;
    for (int K = 0; K < Cgroup_Controllers; K++)
      EXPECT_EQ(Choice.V1_Own[K].empty(), C.Version != Cgroup_V1) << K;
  }
}

// The files a slot's cgroup gets when made by the kernel, in a fake tree.
void Make_Slot_Files(const std::string& Folder, const std::vector<std::pair<std::string, std::string>>& Files) {
  fs::create_directories(Folder);
  for (const auto& [Name, Bytes] : Files) Write_File(Folder + "/" + Name, Bytes);
}

// A slot's cgroup made ready for a run under these limits: the files its
// process joins; none where that failed.
std::vector<std::string> Prepared(int Slot, int64_t Memory_Bytes, int Processes, Cgroup_Marks* Marks) {
  Sandbox_Limits Limits{};
  Limits.Memory_Bytes = Memory_Bytes, Limits.Processes = Processes;
  std::vector<std::string> Join;
  if (!Cgroup_Prepare(Slot, Limits, Marks, &Join)) Join.clear();
  return Join;
}

// A slot's run as its cgroup tells it: whether memory and a process were
// refused, as expected, and its accounting.
Sandbox_Result Results_Of(int Slot, const Cgroup_Marks& Marks, bool Out_Of_Memory, bool Refused) {
  Sandbox_Result Result;
  bool Told_Memory = !Out_Of_Memory, Told_Refused = !Refused;
  Cgroup_Results(Slot, Marks, &Result, &Told_Memory, &Told_Refused);
  EXPECT_EQ(Told_Memory, Out_Of_Memory);
  EXPECT_EQ(Told_Refused, Refused);
  return Result;
}

// A process that has not run: reaped at once, so its id names no
// process (for a while) and the folders named for it are stale.
pid_t Ended_Pid() {
  pid_t Child = fork();
  if (Child == 0) _exit(0);
  waitpid(Child, nullptr, 0);
  return Child;
}

// cgroup v2 with controllers: the tool leaves its cgroup for a leaf,
// hands memory and pids down, sets each run's limits, tells its counts
// from where they stood, and ends it with cgroup.kill.
TEST_F(Cgroup_Test, CgroupV2FilesAreWrittenAndReadAsTheKernelHasThem) {
  std::string Own = At("v2");
  pid_t Stale = Ended_Pid();
  Make_Slot_Files(Own, {{"cgroup.subtree_control", ""}});
  Make_Slot_Files(Own + "/zor_sandbox." + std::to_string(Stale) + "/box_3", {});
  Make_Slot_Files(Own + "/zor_tool." + std::to_string(Fake_Pid), {{"cgroup.procs", ""}});
  std::string Tool = Own + "/zor_sandbox." + std::to_string(Fake_Pid);
  Make_Slot_Files(Tool, {{"cgroup.subtree_control", ""}, {"cgroup.kill", ""}});
  std::string Box = Tool + "/box_0";
  Make_Slot_Files(Box, {{"memory.max", "max\n"}, {"memory.swap.max", "max\n"}, {"pids.max", "max\n"},
                        {"memory.peak", "0\n"}, {"memory.events", "low 0\nmax 4\noom 1\noom_kill 1\n"},
                        {"pids.events", "max 2\n"}, {"cpu.stat", "usage_usec 500000\nuser_usec 400000\n"},
                        {"cgroup.procs", ""}, {"cgroup.kill", ""}});
  Cgroup_Choice Choice;
  Choice.Version = Cgroup_V2, Choice.Tool_Pid = Fake_Pid, Choice.V2_Own = Own;
  Choice.Leave_For_Leaf = Choice.Hand_Down = true;
  std::string Why_Not;
  ASSERT_TRUE(Cgroup_Begin_With(Choice, &Why_Not)) << Why_Not;
  EXPECT_FALSE(fs::exists(Own + "/zor_sandbox." + std::to_string(Stale)));
  EXPECT_EQ(Read_File(Own + "/zor_tool.4242/cgroup.procs"), "4242");
  EXPECT_EQ(Read_File(Own + "/cgroup.subtree_control"), "+memory +pids");
  EXPECT_EQ(Read_File(Tool + "/cgroup.subtree_control"), "+memory +pids");
  EXPECT_EQ(Cgroup_Held_Words("", true),
            "memory by cgroup v2, processes by cgroup v2, CPU time by cgroup v2, every process of a run ended by "
            "cgroup v2");

  Cgroup_Marks Marks;
  EXPECT_EQ(Prepared(0, 64 << 20, 5, &Marks), std::vector<std::string>{Box + "/cgroup.procs"});
  EXPECT_EQ(Read_File(Box + "/memory.max"), "67108864");
  EXPECT_EQ(Read_File(Box + "/memory.swap.max"), "0");
  EXPECT_EQ(Read_File(Box + "/pids.max"), "7");
  EXPECT_EQ(Marks.Oom_Kills, 1);
  EXPECT_EQ(Marks.Pids_Refused, 2);

  // The run: half a second of its own CPU time, memory refused once,
  // no process refused.
  Write_File(Box + "/cpu.stat", "usage_usec 1000000\nuser_usec 900000\n");
  Write_File(Box + "/memory.events", "low 0\nmax 9\noom 2\noom_kill 2\n");
  Write_File(Box + "/memory.peak", "67100000\n");
  EXPECT_DOUBLE_EQ(Cgroup_Cpu_Seconds(0), 0.5);
  Sandbox_Result Result = Results_Of(0, Marks, true, false);
  EXPECT_EQ(Result.Peak_Memory_Bytes, 67100000);
  EXPECT_DOUBLE_EQ(Result.Cpu_Seconds, 0.5);
  Cgroup_Empty(0);
  EXPECT_EQ(Read_File(Box + "/cgroup.kill"), "1");

  // The next run of the slot: no limit of memory, processes refused.
  EXPECT_EQ(Prepared(0, 0, 0, &Marks).size(), 1u);
  EXPECT_EQ(Read_File(Box + "/memory.max"), "max");
  EXPECT_EQ(Read_File(Box + "/pids.max"), "max");
  Write_File(Box + "/pids.events", "max 3\n");
  Results_Of(0, Marks, false, true);
}

// cgroup v1 on a hybrid: the limits in v1's three hierarchies, as before,
// and each run placed in v2 too, which ends it.
TEST_F(Cgroup_Test, CgroupV1HoldsTheLimitsAndV2PlacesTheRunOnAHybrid) {
  Cgroup_Choice Choice;
  Choice.Version = Cgroup_V1, Choice.Tool_Pid = Fake_Pid;
  const char* Names[] = {"memory", "pids", "cpuacct"};
  for (int K = 0; K < Cgroup_Controllers; K++) {
    Choice.V1_Own[K] = At(Names[K]);
    Make_Slot_Files(Choice.V1_Own[K] + "/zor_sandbox.4242/box_1", {{"cgroup.procs", ""}});
  }
  std::string Memory = At("memory/zor_sandbox.4242/box_1"), Pids = At("pids/zor_sandbox.4242/box_1");
  Make_Slot_Files(Memory, {{"memory.limit_in_bytes", ""}, {"memory.memsw.limit_in_bytes", ""},
                           {"memory.max_usage_in_bytes", "123"}, {"memory.oom_control", "under_oom 0\noom_kill 0\n"}});
  Make_Slot_Files(Pids, {{"pids.max", ""}, {"pids.events", "max 0\n"}});
  Make_Slot_Files(At("cpuacct/zor_sandbox.4242/box_1"), {{"cpuacct.usage", "77"}});
  Choice.V2_Own = At("unified");
  std::string V2_Box = At("unified/zor_sandbox.4242/box_1");
  Make_Slot_Files(At("unified/zor_sandbox.4242"), {{"cgroup.kill", ""}});
  Make_Slot_Files(V2_Box, {{"cgroup.procs", ""}, {"cgroup.kill", ""}});
  std::string Why_Not;
  ASSERT_TRUE(Cgroup_Begin_With(Choice, &Why_Not)) << Why_Not;
  EXPECT_EQ(Cgroup_Held_Words("", true),
            "memory by cgroup v1, processes by cgroup v1, CPU time by cgroup v1, every process of a run ended by "
            "cgroup v2");
  Cgroup_Marks Marks;
  EXPECT_EQ(Prepared(1, 32 << 20, 10, &Marks), (std::vector<std::string>{Memory + "/cgroup.procs", Pids + "/cgroup.procs",
                                            At("cpuacct/zor_sandbox.4242/box_1/cgroup.procs"),
                                            V2_Box + "/cgroup.procs"}));
  EXPECT_EQ(Read_File(Memory + "/memory.limit_in_bytes"), "33554432");
  EXPECT_EQ(Read_File(Memory + "/memory.memsw.limit_in_bytes"), "33554432");
  EXPECT_EQ(Read_File(Pids + "/pids.max"), "12");
  EXPECT_EQ(Read_File(At("cpuacct/zor_sandbox.4242/box_1/cpuacct.usage")), "0");
  Write_File(Memory + "/memory.max_usage_in_bytes", "5000");
  Write_File(Memory + "/memory.oom_control", "under_oom 0\noom_kill 1\n");
  Write_File(At("cpuacct/zor_sandbox.4242/box_1/cpuacct.usage"), "250000000");
  Sandbox_Result Result = Results_Of(1, Marks, true, false);
  EXPECT_EQ(Result.Peak_Memory_Bytes, 5000);
  EXPECT_DOUBLE_EQ(Result.Cpu_Seconds, 0.25);
  Cgroup_Empty(1);
  EXPECT_EQ(Read_File(V2_Box + "/cgroup.kill"), "1");
}

// What the sandbox's line says held, without a cgroup: the reason, and
// the limits that stand in.
TEST_F(Cgroup_Test, WithoutACgroupTheLineNamesTheRlimits) {
  Cgroup_Choice Choice;
  Choice.Why_Not = "no cgroup (cgroup v2 at /x offers no memory and pids controllers)";
  std::string Why_Not;
  EXPECT_FALSE(Cgroup_Begin_With(Choice, &Why_Not));
  EXPECT_EQ(Why_Not, Choice.Why_Not);
  EXPECT_EQ(Cgroup_Held_Words(Why_Not, true),
            Why_Not + ": memory by RLIMIT_DATA (no cgroup), processes by RLIMIT_NPROC (no cgroup), CPU time per "
                      "process");
  EXPECT_EQ(Cgroup_Held_Words("no cgroup (only root makes them here)", false),
            "no cgroup (only root makes them here): memory by RLIMIT_DATA (no cgroup), processes not limited (no "
            "cgroup, not root), CPU time per process");
}

// On this kernel, where cgroup v2 can place runs: a run's process is in
// its slot's v2 cgroup, and ending the slot ends a grandchild that left
// its parent (and its process group) and joined no v1 cgroup, so that
// only cgroup v2 can find it.
TEST_F(Cgroup_Test, AnEscapedGrandchildEndsWithItsSlot) {
  if (geteuid() != 0) {
    if (std::getenv("ZOR_SANDBOX_MUST_RUN") != nullptr) ADD_FAILURE() << "cgroups need root here";
    GTEST_SKIP() << "cgroups need root here";
  }
  std::string Why_Not;
  if (!Cgroup_Begin(&Why_Not) || Cgroup_Held_Words(Why_Not, true).find("ended by cgroup v2") == std::string::npos)
    GTEST_SKIP() << "no cgroup v2 with cgroup.kill here: " << Why_Not;
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  Cgroup_Marks Marks;
  std::vector<std::string> Join = Prepared(5, 0, 10, &Marks);
  ASSERT_FALSE(Join.empty());
  std::string V2_Procs = Join.back();
  int Pipe[2];
  ASSERT_EQ(pipe(Pipe), 0);
  pid_t Child = fork();
  if (Child == 0) {
    std::ofstream(V2_Procs) << getpid() << std::flush;
    if (fork() == 0) {
      setsid();
      signal(SIGTERM, SIG_IGN), signal(SIGHUP, SIG_IGN);
      pid_t Self = getpid();
      if (write(Pipe[1], &Self, sizeof Self) != sizeof Self) _exit(1);
      for (int Round = 0; Round < 600; Round++) usleep(100000);  // a minute at most
      _exit(0);
    }
    _exit(0);
  }
  close(Pipe[1]);
  ASSERT_GT(Child, 0);
  waitpid(Child, nullptr, 0);
  pid_t Grandchild = 0;
  ASSERT_EQ(read(Pipe[0], &Grandchild, sizeof Grandchild), static_cast<ssize_t>(sizeof Grandchild));
  close(Pipe[0]);
  std::string Slot_Path = fs::path(V2_Procs).parent_path().string();
  std::string Placed = Read_File("/proc/" + std::to_string(Grandchild) + "/cgroup");
  std::string Listed = Read_File(V2_Procs);
  EXPECT_NE(Listed.find(std::to_string(Grandchild)), std::string::npos) << Listed;
  EXPECT_NE(Placed.find("0::/"), std::string::npos) << Placed;
  EXPECT_NE(Placed.find("/box_5\n"), std::string::npos) << Placed;
  Cgroup_Empty(5);
  int Status = 0;
  ASSERT_EQ(waitpid(Grandchild, &Status, 0), Grandchild);
  EXPECT_TRUE(WIFSIGNALED(Status) && WTERMSIG(Status) == SIGKILL) << Status;
  EXPECT_EQ(Read_File(V2_Procs), "");
}

}  // namespace
