/*
** profile_child.cpp
** Both sides of a child: the parent starts its own program again through
** the sandbox, each in a folder of its own, and splits what the child
** writes into lines; the child keeps its standard output for those lines
** and watches its own sorts' CPU time.
**
** That watch is a thread that reads the process's CPU clock a few times
** a second. A CPU timer (RLIMIT_CPU, timer_create) would need no thread,
** but while one is armed the kernel's process CPU clock, which times
** every sort, advances only at the scheduler's ticks.
*/
#include "sort_profile/profile_child.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/refusal.h"
#include "common/shown_text.h"

namespace {

struct Children {
  std::string Program;  // the profiler's name, for its refusals
  std::string Self;     // its program file, which every child runs
  std::string Scratch;  // the folder of the children's folders
  unsigned long Made = 0;
};
Children The_Children;

/* In a child: where its lines go; and the sort being watched, its CPU
** time when it began (-1 when none runs) and its limit. */
int Line_Out = -1;
std::atomic<double> Sort_Began{-1}, Sort_Limit{0};
constexpr auto Sort_Watch_Every = std::chrono::milliseconds(50);

/* Ends the child from its watching thread: without flushing anything,
** which the sorting thread may be holding. */
void Watch_Sorts() {
  for (;;) {
    std::this_thread::sleep_for(Sort_Watch_Every);
    double Began = Sort_Began.load();
    if (Began >= 0 && Process_Cpu_Seconds() - Began > Sort_Limit.load()) {
      Child_Line(Over_Time_Line);
      _exit(0);
    }
  }
}

/* Under a fault: the last few lines the child printed (the routine's own
** output, or a sanitizer's report), each cut short, indented. */
std::string Last_Lines(const std::string& Printed) {
  const size_t Most_Lines = 5, Most_Width = 160;
  std::vector<std::string> Lines;
  std::istringstream In(Printed);
  for (std::string Line; std::getline(In, Line);)
    if (!Line.empty()) Lines.push_back(Line.size() > Most_Width ? Line.substr(0, Most_Width) + "..." : Line);
  if (Lines.empty()) return "";
  std::string Text = "\n  what it printed last:";
  for (size_t I = Lines.size() > Most_Lines ? Lines.size() - Most_Lines : 0; I < Lines.size(); I++)
    Text += "\n    " + Visible_Text(Lines[I]);  // the child's words, never a terminal's commands
  return Text;
}

/* The profiler's option that sets the limit a run hit, if one did. */
const char* Option_Setting(Sandbox_Ending Ending) {
  switch (Ending) {
    case Sandbox_Cpu_Limit: return "--time-limit";
    case Sandbox_Wall_Limit:
    case Sandbox_Silence_Limit: return "--wall-time-limit";
    case Sandbox_Memory_Limit: return "--memory-limit";
    case Sandbox_Output_Limit: return "--output-limit";
    case Sandbox_File_Limit: return "--file-size-limit";
    case Sandbox_Process_Limit: return "--process-limit";
    default: return nullptr;
  }
}

}  // namespace

bool Start_Children(const std::string& Program, Sandbox_Mode Mode, std::string* Said, std::string* Refusal) {
  Children& C = The_Children;
  C.Program = Program;
  std::error_code Error;
  C.Self = std::filesystem::read_symlink("/proc/self/exe", Error).string();
  if (Error) return *Refusal = "cannot find its own program (/proc/self/exe): " + Error.message(), false;
  /* Searchable by others: a box's user reaches its folder through it. */
  std::string Temporary = std::filesystem::temp_directory_path(Error).string();
  std::string Scratch = Temporary + "/sort_profile.XXXXXX";
  if (Error || mkdtemp(Scratch.data()) == nullptr || chmod(Scratch.c_str(), 0711) != 0)
    return *Refusal = "cannot make a folder in " + Temporary + ": " + std::strerror(errno), false;
  C.Scratch = Scratch;
  /* Stopped, the profiler ends its child and removes the children's
  ** folder; a chart begun is removed by the signal's own handler. */
  Sandbox_Stop_On_Signals([]() {
    Sandbox_Stop_All();
    Remove_Tree(The_Children.Scratch);
  });
  if (Sandbox_Start(Mode, Said, Refusal)) return true;
  Remove_Tree(C.Scratch);
  C.Scratch.clear();
  return false;
}

void Finish_Children() {
  if (!The_Children.Scratch.empty()) Remove_Tree(The_Children.Scratch);
  The_Children.Scratch.clear();
  Sandbox_Finish();
}

Sandbox_Result Run_Child(const std::vector<std::string>& Words, const Sandbox_Limits& Limits, const Line_Hearer& Heard,
                         const std::function<void(double Seconds)>& Waiting) {
  Children& C = The_Children;
  std::string Folder = C.Scratch + "/child_" + std::to_string(C.Made++);
  Sandbox_Result R;
  if (mkdir(Folder.c_str(), 0700) != 0) {
    R.Detail = "cannot make a folder in " + C.Scratch + ": " + std::strerror(errno);
  } else {
    Sandbox_Request Request;
    Request.Command = {C.Self, Child_Mode_Argument};
    Request.Command.insert(Request.Command.end(), Words.begin(), Words.end());
    Request.Folder = Folder;
    Request.Kept_Out = 0;
    Request.Kept_Err = 4096;
    Request.Limits = Limits;
    std::string Pending;
    Request.Hear_Out = [&Pending, &Heard](const char* Bytes, size_t Count) {
      Pending.append(Bytes, Count);
      size_t Start = 0;
      for (size_t End; (End = Pending.find('\n', Start)) != std::string::npos; Start = End + 1)
        Heard(Pending.substr(Start, End - Start));
      Pending.erase(0, Start);
    };
    Request.Waiting = Waiting;
    R = Run_Contained(Request);
    Remove_Tree(Folder);
  }
  /* Once the profiler is told to stop, what the child did means nothing:
  ** the thread that took the signal cleans up and ends the process. */
  while (Sandbox_Stopping()) pause();
  if (R.Ending == Sandbox_Not_Started) {
    std::string Why = "cannot run a child: " + Sandbox_Verdict(R, Limits);
    Finish_Children();
    Refuse_And_Exit(C.Program.c_str(), Why.c_str());
  }
  return R;
}

Sandbox_Limits Limits_Per_Sort(const Sandbox_Limits& Limits) {
  Sandbox_Limits Each = Limits;
  Each.Cpu_Seconds = 0, Each.Wall_Seconds = 0, Each.Silence_Seconds = Limits.Wall_Seconds;
  return Each;
}

std::string Child_Fault(const Sandbox_Result& R, const Sandbox_Limits& Limits, double Sort_Over_Limit) {
  Sandbox_Result Ended = R;
  Sandbox_Limits Hit = Limits;
  if (Sort_Over_Limit > 0) Ended.Ending = Sandbox_Cpu_Limit, Hit.Cpu_Seconds = Sort_Over_Limit;
  std::string Said;
  if (Ended.Ending == Sandbox_Exited) {
    char Text[100];
    std::snprintf(Text, sizeof Text, "crashed: ended with status %d before the list could be judged", R.Status);
    Said = Text;
  } else {
    Said = Sandbox_Verdict(Ended, Hit);
  }
  if (const char* Option = Option_Setting(Ended.Ending)) Said += std::string("; ") + Option + " sets it";
  /* A reach outside is shown by the very line it printed. */
  return Ended.Ending == Sandbox_Reached_Outside ? Said : Said + Last_Lines(R.Err);
}

std::string Child_Word(double Value) {
  char Text[40];
  std::snprintf(Text, sizeof Text, "%.17g", Value);
  return Text;
}

void Begin_Child_Mode() {
  Line_Out = fcntl(1, F_DUPFD_CLOEXEC, 3);
  dup2(2, 1);
}

void Child_Line(const std::string& Line) {
  std::string Whole = Line;
  std::replace(Whole.begin(), Whole.end(), '\n', ' ');
  Whole += '\n';
  for (size_t Done = 0; Done < Whole.size();) {
    ssize_t Wrote = write(Line_Out, Whole.data() + Done, Whole.size() - Done);
    if (Wrote < 0 && errno == EINTR) continue;
    if (Wrote <= 0) _exit(3);  // the parent has gone: nobody is left to tell
    Done += static_cast<size_t>(Wrote);
  }
}

[[noreturn]] void End_Child_Mode(bool Done) {
  /* What the routine printed is passed on; no exit handlers run, so that
  ** a routine that lost nodes has no leak checker speak for it. */
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(Done ? 0 : 2);
}

bool Child_Numbers(const std::vector<std::string>& Words, size_t First, size_t Count, double* Values) {
  if (Words.size() < First + Count) return false;
  for (size_t I = 0; I < Count; I++) {
    const char* Text = Words[First + I].c_str();
    char* End = nullptr;
    Values[I] = std::strtod(Text, &End);
    if (End == Text || *End != '\0' || !std::isfinite(Values[I])) return false;
  }
  return true;
}

double Process_Cpu_Seconds() {
  timespec Used;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &Used);
  return static_cast<double>(Used.tv_sec) + static_cast<double>(Used.tv_nsec) * 1e-9;
}

void Limit_Sort_Cpu(double Seconds) {
  static bool Watching = false;
  if (Seconds <= 0) {
    Sort_Began.store(-1);
    return;
  }
  if (!Watching) std::thread(Watch_Sorts).detach();
  Watching = true;
  Sort_Limit.store(Seconds);
  Sort_Began.store(Process_Cpu_Seconds());
}
