/*
** trial.cpp
** Running the user's program on one day, and judging what it left.
**
** Trials run on several threads at once, so between fork and exec the
** child only makes system calls, and every descriptor is opened
** close-on-exec so that no other trial's program inherits it.
*/
#include "simulator_checker/trial.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/record_io.h"
#include "common/whole_file.h"
#include "common/zor_stations.h"
#include "simulator/trace_lines.h"

namespace {

std::atomic<uint64_t> Trials_Begun{0};

/* The process groups of the programs running now, one slot per trial in
** progress, for Kill_Running_Trials. */
constexpr int Most_Running = 512;
std::atomic<pid_t> Running[Most_Running];

int Register_Running(pid_t Group) {
  for (int Slot = 0; Slot < Most_Running; Slot++) {
    pid_t Free = 0;
    if (Running[Slot].compare_exchange_strong(Free, Group)) return Slot;
  }
  return -1;
}

std::string Read_Whole(const std::string& Path) {
  std::string Bytes;
  Read_Whole_File(Path, &Bytes);
  return Bytes;
}

/* The last lines the program wrote on standard error, enough to see why
** it stopped. */
std::string Tail_Of(const std::string& Text) {
  const size_t Most = 400;
  std::string Tail = Text.size() > Most ? "..." + Text.substr(Text.size() - Most) : Text;
  while (!Tail.empty() && (Tail.back() == '\n' || Tail.back() == ' ')) Tail.pop_back();
  return Tail;
}

/* Whether a process of the program's group sits in a read of its standard
** input, our pipe, with nothing left in it: then it waits for an entry we
** will never type. Read from /proc; where that cannot be read, a program
** waiting for input is caught by the time limit instead. */
bool Waits_For_An_Entry(pid_t Group, ino_t Pipe, int Writer) {
  int Unread = 0;
  if (ioctl(Writer, FIONREAD, &Unread) != 0 || Unread > 0) return false;
  DIR* Proc = opendir("/proc");
  if (Proc == nullptr) return false;
  bool Waiting = false;
  char Pipe_Name[64];
  std::snprintf(Pipe_Name, sizeof Pipe_Name, "pipe:[%lu]", static_cast<unsigned long>(Pipe));
  for (dirent* Entry; !Waiting && (Entry = readdir(Proc)) != nullptr;) {
    if (Entry->d_name[0] < '0' || Entry->d_name[0] > '9') continue;
    std::string Base = std::string("/proc/") + Entry->d_name;
    std::string Stat = Read_Whole(Base + "/stat");
    size_t Close = Stat.rfind(')');
    char State = 0;
    long Parent = 0, Its_Group = 0;
    if (Close == std::string::npos ||
        std::sscanf(Stat.c_str() + Close + 1, " %c %ld %ld", &State, &Parent, &Its_Group) != 3 || Its_Group != Group)
      continue;
    char Link[128];
    ssize_t Length = readlink((Base + "/fd/0").c_str(), Link, sizeof Link - 1);
    if (Length <= 0) continue;
    Link[Length] = '\0';
    long Call = -1;
    unsigned long Descriptor = 1;
    std::string Syscall = Read_Whole(Base + "/syscall");
    Waiting = State == 'S' && std::strcmp(Link, Pipe_Name) == 0 &&
              std::sscanf(Syscall.c_str(), "%ld %lx", &Call, &Descriptor) == 2 && Call == SYS_read && Descriptor == 0;
  }
  closedir(Proc);
  return Waiting;
}

struct Run_Status {
  bool Started = false, Timed_Out = false, Asked_More = false;
  int Status = 0;
  std::string Problem;
};

Run_Status Run_In_Folder(const Program_Under_Test& Program, const std::string& Folder, const std::string& Stdin,
                         const std::string& Out_Path, const std::string& Err_Path) {
  Run_Status R;
  std::vector<std::string> Words = {Program.Path};
  Words.insert(Words.end(), Program.Arguments.begin(), Program.Arguments.end());
  std::vector<char*> Argv;
  for (std::string& W : Words) Argv.push_back(W.data());
  Argv.push_back(nullptr);

  int In[2], Exec_Error[2];
  if (pipe2(In, O_CLOEXEC) != 0) return R.Problem = std::strerror(errno), R;
  if (pipe2(Exec_Error, O_CLOEXEC) != 0) {
    close(In[0]), close(In[1]);
    return R.Problem = std::strerror(errno), R;
  }
  int Out = open(Out_Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  int Err = open(Err_Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  struct stat Pipe_Status;
  fstat(In[0], &Pipe_Status);
  pid_t Child = Out < 0 || Err < 0 ? -1 : fork();
  if (Child == 0) {
    setpgid(0, 0);
    dup2(In[0], 0), dup2(Out, 1), dup2(Err, 2);
    if (chdir(Folder.c_str()) == 0) execvp(Argv[0], Argv.data());
    int Why = errno;
    if (write(Exec_Error[1], &Why, sizeof Why) < 0) {
    }
    _exit(127);
  }
  int Fork_Error = errno;
  close(In[0]), close(Exec_Error[1]);
  if (Out >= 0) close(Out);
  if (Err >= 0) close(Err);
  if (Child < 0) {
    close(In[1]), close(Exec_Error[0]);
    return R.Problem = std::strerror(Out < 0 || Err < 0 ? errno : Fork_Error), R;
  }
  setpgid(Child, Child);  // also here, so the group exists before any kill
  int Slot = Register_Running(Child);
  /* The entries fit in the pipe at once; the pipe stays open, so a program
  ** that asks for more waits rather than meeting the end of input. */
  if (write(In[1], Stdin.data(), Stdin.size()) < 0) {
  }

  auto Started = std::chrono::steady_clock::now();
  auto Deadline = Started + std::chrono::duration<double>(Program.Time_Limit);
  int Exited = syscall(SYS_pidfd_open, Child, 0);
  for (;;) {
    pid_t Done = waitpid(Child, &R.Status, WNOHANG);
    if (Done == Child) break;
    auto Now = std::chrono::steady_clock::now();
    if (Now >= Deadline) {
      R.Timed_Out = true;
      break;
    }
    if (Now - Started > std::chrono::milliseconds(50) &&
        Waits_For_An_Entry(Child, Pipe_Status.st_ino, In[1])) {
      R.Asked_More = true;
      break;
    }
    /* Sleep until the child ends, or a little while. */
    auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - Now).count();
    int Wait = static_cast<int>(std::min<long long>(Left + 1, 25));
    if (Exited >= 0) {
      pollfd Watch{Exited, POLLIN, 0};
      poll(&Watch, 1, Wait);
    } else {
      usleep(static_cast<useconds_t>(std::min(Wait, 2)) * 1000);
    }
  }
  /* Whatever the program left running in its group goes with it. */
  kill(-Child, SIGKILL);
  if (R.Timed_Out || R.Asked_More)
    while (waitpid(Child, &R.Status, 0) < 0 && errno == EINTR) {
    }
  if (Slot >= 0) Running[Slot].store(0);
  if (Exited >= 0) close(Exited);
  close(In[1]);
  int Why = 0;
  if (read(Exec_Error[0], &Why, sizeof Why) == sizeof Why) R.Problem = std::strerror(Why);
  else R.Started = true;
  close(Exec_Error[0]);
  return R;
}

void Judge_Output(Trial_Outcome& O, const std::string& Folder, const std::vector<Customer_Parameters>& Day,
                  const int32_t Servers[Number_Of_Stations]) {
  O.Their_Output = Read_Whole(Folder + "/ZOR_Binary_Out");
  O.Wrote_Trace = access((Folder + "/ZOR_Debug_Out").c_str(), F_OK) == 0;
  if (O.Wrote_Trace) O.Their_Trace = Read_Whole(Folder + "/ZOR_Debug_Out");
  struct stat Status;
  if (stat((Folder + "/ZOR_Binary_Out").c_str(), &Status) != 0 || !S_ISREG(Status.st_mode)) {
    O.Kind = Outcome_No_Output;
    return;
  }
  if (O.Their_Output.size() % sizeof(Customer_Results) != 0) {
    O.Kind = Outcome_Cut_Short;
    return;
  }
  Results_File Results;
  std::FILE* In = fmemopen(O.Their_Output.data(), O.Their_Output.size(), "rb");
  bool Read = In != nullptr && Read_Results_File(In, Day.size(), &Results);
  if (In != nullptr) std::fclose(In);
  if (!Read && !O.Their_Output.empty()) {
    O.Kind = Outcome_Cut_Short;
    return;
  }
  O.Judgement = Judge_Results(Day, Results, Servers);
  if (!O.Judgement.Follows) {
    O.Kind = Outcome_Broke_Rule;
    return;
  }
  O.Kind = Outcome_Held;
  if (!O.Wrote_Trace) return;
  std::vector<Customer_Results> Reference(Day.size());
  std::vector<Trace_Event> Trace;
  Day_Summary Summary;
  Simulate_Day(Day.data(), static_cast<int32_t>(Day.size()), Servers, Reference.data(), &Summary, &Trace);
  O.Trace = Compare_Trace(O.Their_Trace, Trace);
  if (O.Trace.Line != 0) O.Kind = Outcome_Trace_Differs;
}

}  // namespace

void Kill_Running_Trials() {
  for (std::atomic<pid_t>& Group : Running) {
    pid_t G = Group.load();
    if (G > 0) kill(-G, SIGKILL);
  }
}

std::string Entries_Of(const int32_t Servers[Number_Of_Stations]) {
  return std::to_string(Servers[LAB]) + "\n" + std::to_string(Servers[X_RAY]) + "\n" + std::to_string(Servers[EKG]) +
         "\n";
}

Trial_Outcome Run_Trial(const Program_Under_Test& Program, const std::vector<Customer_Parameters>& Day,
                        const int32_t Servers[Number_Of_Stations]) {
  Trial_Outcome O;
  std::string Base = Program.Scratch + "/trial_" + std::to_string(Trials_Begun.fetch_add(1));
  std::string Folder = Base + "/folder";
  std::error_code Ignored;
  if (!std::filesystem::create_directories(Folder, Ignored) ||
      !Write_Whole_File(Folder + "/ZOR_Binary_In", Records_Image(Day))) {
    O.Problem = "cannot make a trial folder in " + Program.Scratch;
    std::filesystem::remove_all(Base, Ignored);
    return O;
  }
  auto Started = std::chrono::steady_clock::now();
  Run_Status R = Run_In_Folder(Program, Folder, Entries_Of(Servers), Base + "/stdout", Base + "/stderr");
  O.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Started).count();
  O.Their_Errors = Tail_Of(Read_Whole(Base + "/stderr"));
  if (!R.Started) {
    O.Problem = "cannot run " + Program.Path + ": " + R.Problem;
  } else if (R.Timed_Out) {
    O.Kind = Outcome_Timed_Out;
  } else if (R.Asked_More) {
    O.Kind = Outcome_Asked_More;
  } else if (WIFSIGNALED(R.Status)) {
    O.Kind = Outcome_Killed, O.Code = WTERMSIG(R.Status);
  } else if (WEXITSTATUS(R.Status) != 0) {
    O.Kind = Outcome_Exit_Status, O.Code = WEXITSTATUS(R.Status);
  } else {
    Judge_Output(O, Folder, Day, Servers);
  }
  std::filesystem::remove_all(Base, Ignored);
  return O;
}

bool Same_Failure(const Trial_Outcome& A, const Trial_Outcome& B) {
  if (A.Kind != B.Kind) return false;
  if (A.Kind == Outcome_Broke_Rule) return A.Judgement.First.Broken == B.Judgement.First.Broken;
  if (A.Kind == Outcome_Killed) return A.Code == B.Code;
  return true;
}

std::string Failure_Summary(const Trial_Outcome& O, double Time_Limit) {
  char Text[200];
  switch (O.Kind) {
    case Outcome_Held: return "followed the model";
    case Outcome_Broke_Rule: return std::string("broke the rule \"") + Rule_Name[O.Judgement.First.Broken] + "\"";
    case Outcome_Trace_Differs:
      std::snprintf(Text, sizeof Text, "wrote a ZOR_Binary_Out that follows the model, but a ZOR_Debug_Out that "
                    "differs from the reference's trace at line %zu", O.Trace.Line);
      return Text;
    case Outcome_Killed:
      std::snprintf(Text, sizeof Text, "crashed: killed by signal %d (%s)", O.Code, strsignal(O.Code));
      return Text;
    case Outcome_Timed_Out:
      std::snprintf(Text, sizeof Text, "did not finish within the time limit of %g s (an endless loop?)", Time_Limit);
      return Text;
    case Outcome_Asked_More: return "asked for more than the three entries (the server counts) and waited for another";
    case Outcome_Exit_Status:
      std::snprintf(Text, sizeof Text, "exited with status %d, not 0", O.Code);
      return Text;
    case Outcome_No_Output: return "exited with status 0 but wrote no ZOR_Binary_Out";
    case Outcome_Cut_Short:
      std::snprintf(Text, sizeof Text, "wrote a ZOR_Binary_Out cut short: %zu bytes, not a whole number of 92-byte "
                    "records", O.Their_Output.size());
      return Text;
    case Outcome_Not_Run: return O.Problem;
  }
  return "";
}
