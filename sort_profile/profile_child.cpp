/*
** profile_child.cpp
** Starting, asking and ending the workers. Nothing a worker says is
** taken for a fact: its answer is only the head of a list, which the walk
** here checks; its time is its CPU clock read from here; and how it ended
** is what the sandbox, or waitpid, or this file's own limits say.
**
** The per-sort limits are kept here rather than by the sandbox, whose
** CPU limit would count every sort of a worker together: while waiting
** for an answer the judge reads the worker's CPU clock a few dozen times
** a second and ends it past the limit.
*/
#include "sort_profile/profile_child.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/elapsed.h"
#include "common/refusal.h"
#include "common/shown_text.h"
#include "common/zor_assert.h"
#include "sort_profile/sort_worker.h"

namespace {

struct Children {
  std::string Program;  // the routine's program's name, for refusals
  std::string Routine;  // its path, which the routine's workers run
  std::string Self;     // the judge's own program, which the reference's workers run
  std::string Scratch;  // the folder of the workers' folders
  unsigned long Made = 0;
};
Children The_Children;

using Clock = std::chrono::steady_clock;
constexpr int Look_Every_Milliseconds = 20;
constexpr size_t Longest_Answer = 64;
constexpr char Socket_Name[] = "judge.sock";

double Cpu_Seconds(const Sort_Worker* W) {
  timespec Used{};
  if (clock_gettime(W->Clock, &Used) != 0) return -1;
  return static_cast<double>(Used.tv_sec) + static_cast<double>(Used.tv_nsec) * 1e-9;
}

/* The routine's worker's time limits are the judge's, per sort. */
Sandbox_Limits Worker_Limits(const Sandbox_Limits& Limits) {
  Sandbox_Limits L = Limits;
  L.Cpu_Seconds = 0, L.Wall_Seconds = 0, L.Silence_Seconds = 0;
  return L;
}

/* Whether the worker has ended; the reference's is reaped here. */
bool Worker_Has_Ended(Sort_Worker* W) {
  if (!W->Reference) return W->Ended.load();
  if (W->Ended.load()) return true;
  int Status = 0;
  if (W->Spawned <= 0 || waitpid(W->Spawned, &Status, WNOHANG) != W->Spawned) return W->Spawned <= 0;
  W->Result.Ending = WIFSIGNALED(Status) ? Sandbox_Killed : Sandbox_Exited;
  W->Result.Signal = WIFSIGNALED(Status) ? WTERMSIG(Status) : 0;
  W->Result.Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : 0;
  W->Ended.store(true);
  return true;
}

/* A worker that never connected has no process number here: its
** processes are those whose working folder is its folder. */
void Kill_In_Folder(const std::string& Folder) {
  std::error_code Error;
  for (const auto& Entry : std::filesystem::directory_iterator("/proc", Error)) {
    std::string Name = Entry.path().filename().string();
    if (Name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code Gone;
    if (std::filesystem::read_symlink(Entry.path() / "cwd", Gone).string() == Folder)
      kill(static_cast<pid_t>(std::stol(Name)), SIGKILL);
  }
}

/* Ends the worker and waits for its end to be known. Once the judge is
** told to stop, how a worker ended means nothing: the thread that took
** the signal cleans up and ends the process, and this one waits for it. */
void End_Now(Sort_Worker* W) {
  pid_t Target = W->Reference ? W->Spawned : W->Pid;
  for (int Round = 0; Round < 500 && !Worker_Has_Ended(W); Round++) {
    if (Target > 0) kill(Target, SIGKILL);
    if (Target <= 0 && !W->Reference && Round % 50 == 10) Kill_In_Folder(W->Folder);
    usleep(10000);
  }
  if (W->Runner.joinable()) W->Runner.join();
  Sandbox_Wait_If_Stopped();
}

void Start_Routine_Run(Sort_Worker* W, const Sandbox_Limits& Limits) {
  W->Runner = std::thread([W, Limits]() {
    Sandbox_Request Request;
    Request.Command = {The_Children.Routine, Worker_Argument, Socket_Name};
    Request.Folder = W->Folder;
    Request.Kept_Out = 4096, Request.Kept_Err = 4096;
    Request.Limits = Worker_Limits(Limits);
    W->Result = Run_Contained(Request);
    W->Ended.store(true);
  });
}

bool Start_Reference_Run(Sort_Worker* W, std::string* Fault) {
  std::string Socket = W->Folder + "/" + Socket_Name;
  pid_t Judge = getpid();
  W->Spawned = fork();
  if (W->Spawned == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != Judge) _exit(2);
    int Nothing = open("/dev/null", O_RDWR);
    dup2(Nothing, 0), dup2(Nothing, 1);
    execl(The_Children.Self.c_str(), The_Children.Self.c_str(), Worker_Argument, Socket.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  if (W->Spawned > 0) return true;
  return *Fault = std::string("cannot start the reference's worker: ") + std::strerror(errno), false;
}

/* What a wait for an answer came to. */
enum Heard { Heard_Line, Heard_End, Over_Cpu, Over_Wall };

/* The next line from the worker, under Limits: its CPU time since
** Cpu_Before, where that is known (-1: not yet), and the wall time. */
Heard Hear_Line(Sort_Worker* W, const Sandbox_Limits& Limits, double Cpu_Before,
                const std::function<void(double)>& Waiting, std::string* Line) {
  Clock::time_point Began = Clock::now();
  double Said_At = 0;
  std::string Got;
  for (;;) {
    pollfd Ready{W->Link, POLLIN, 0};
    int Count = poll(&Ready, 1, Look_Every_Milliseconds);
    if (Count > 0) {
      char Bytes[Longest_Answer];
      ssize_t Read = recv(W->Link, Bytes, sizeof Bytes, MSG_DONTWAIT);
      if (Read == 0 || (Read < 0 && errno != EAGAIN && errno != EINTR)) return Heard_End;
      if (Read > 0) Got.append(Bytes, static_cast<size_t>(Read));
      if (size_t End = Got.find('\n'); End != std::string::npos) return *Line = Got.substr(0, End), Heard_Line;
      if (Got.size() > Longest_Answer) return *Line = Got, Heard_Line;
      continue;
    }
    double Wall = Seconds_Since(Began);
    if (Cpu_Before >= 0 && Limits.Cpu_Seconds > 0) {
      double Now = Cpu_Seconds(W);
      if (Now < 0) return Heard_End;
      if (Now - Cpu_Before > Limits.Cpu_Seconds) return Over_Cpu;
    }
    if (Limits.Wall_Seconds > 0 && Wall > Limits.Wall_Seconds) return Over_Wall;
    if (Waiting && Wall - Said_At >= 1) Said_At = Wall, Waiting(Wall);
  }
}

/* After a wait that did not end in a line: the worker ended, and why. */
Judged_Sort Ended_Fault(Sort_Worker* W, Heard How, const Sandbox_Limits& Limits) {
  End_Now(W);
  Sandbox_Result R = W->Result;
  Sandbox_Limits Hit = Limits;
  if (How == Over_Cpu) R.Ending = Sandbox_Cpu_Limit;
  if (How == Over_Wall) R.Ending = Sandbox_Wall_Limit;
  if (How == Heard_End && R.Ending == Sandbox_Exited && R.Status == 0) R.Status = -1;
  Judged_Sort Ended{false, 0, Child_Fault(R, Hit), Kind_Of_Ending(R.Ending)};
  Stop_Worker(W);
  return Ended;
}

bool Send_Line(Sort_Worker* W, const char* Text, int Descriptor) {
  iovec Piece{const_cast<char*>(Text), std::strlen(Text)};
  msghdr Message{};
  Message.msg_iov = &Piece, Message.msg_iovlen = 1;
  char Control[CMSG_SPACE(sizeof(int))] = {};
  if (Descriptor >= 0) {
    Message.msg_control = Control, Message.msg_controllen = sizeof Control;
    cmsghdr* Header = CMSG_FIRSTHDR(&Message);
    Header->cmsg_level = SOL_SOCKET, Header->cmsg_type = SCM_RIGHTS, Header->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(Header), &Descriptor, sizeof(int));
  }
  return sendmsg(W->Link, &Message, MSG_NOSIGNAL) == static_cast<ssize_t>(Piece.iov_len);
}

int Listen_In(const std::string& Folder) {
  std::string Path = Folder + "/" + Socket_Name;
  sockaddr_un Address{};
  Address.sun_family = AF_UNIX;
  if (Path.size() >= sizeof Address.sun_path) return -1;
  std::strcpy(Address.sun_path, Path.c_str());
  int Listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  /* The box's user connects: writing a socket is what connecting takes. */
  if (Listener < 0 || bind(Listener, reinterpret_cast<sockaddr*>(&Address), sizeof Address) != 0 ||
      chmod(Path.c_str(), 0666) != 0 || listen(Listener, 1) != 0) {
    if (Listener >= 0) close(Listener);
    return -1;
  }
  return Listener;
}

/* Waits for the worker to connect, within the start's wall time. */
int Accept_Worker(Sort_Worker* W, int Listener, const Sandbox_Limits& Limits) {
  Clock::time_point Began = Clock::now();
  while (!Worker_Has_Ended(W) && (Limits.Wall_Seconds <= 0 || Seconds_Since(Began) < Limits.Wall_Seconds)) {
    pollfd Ready{Listener, POLLIN, 0};
    if (poll(&Ready, 1, Look_Every_Milliseconds) > 0) return accept4(Listener, nullptr, nullptr, SOCK_CLOEXEC);
  }
  return -1;
}

/* The lists' memory: sealed at its size, so that the worker can neither
** shrink it under the judge's reads nor grow it. */
bool Share_Memory(Sort_Worker* W, size_t Slots, std::string* Fault) {
  size_t Bytes = std::max<size_t>(1, Slots) * Node_Slot_Bytes;
  int Memory = memfd_create("zor_sort_lists", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  uintptr_t Address = Shared_List_Address + (W->Reference ? Reference_List_Offset : 0);
  void* Mapped = MAP_FAILED;
  if (Memory >= 0 && ftruncate(Memory, off_t(Bytes)) == 0 &&
      fcntl(Memory, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) == 0)
    Mapped = mmap(reinterpret_cast<void*>(Address), Bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED_NOREPLACE,
                  Memory, 0);
  if (Mapped != reinterpret_cast<void*>(Address)) {
    *Fault = std::string("cannot make the lists' memory: ") + std::strerror(errno);
    if (Mapped != MAP_FAILED) munmap(Mapped, Bytes);
    if (Memory >= 0) close(Memory);
    return false;
  }
  W->Block = static_cast<char*>(Mapped), W->Slots = Slots;
  char Text[80];
  std::snprintf(Text, sizeof Text, "map %" PRIxPTR " %zu\n", Address, Bytes);
  bool Sent = Send_Line(W, Text, Memory);
  close(Memory);
  return Sent;
}

/* The last few lines a worker printed (the routine's own output, or a
** sanitizer's report), escaped, each cut short, indented. */
std::string Last_Lines(const std::string& Printed) {
  const size_t Most_Lines = 5, Most_Width = 160;
  std::vector<std::string> Lines;
  std::istringstream In(Printed);
  for (std::string Line; std::getline(In, Line);)
    if (!Line.empty()) Lines.push_back(Escaped_Output(Line, Most_Width));
  if (Lines.empty()) return "";
  std::string Text = "\n  what its program printed last (its output, escaped):";
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
    case Sandbox_Folder_Limit: return "--folder-limit or --folder-entry-limit";
    case Sandbox_Process_Limit: return "--process-limit";
    default: return nullptr;
  }
}

}  // namespace

bool Start_Children(const std::string& Program, const std::string& Routine, Sandbox_Mode Mode, std::string* Said,
                    std::string* Refusal) {
  Children& C = The_Children;
  C.Program = Program, C.Routine = Routine;
  std::error_code Error;
  C.Self = std::filesystem::read_symlink("/proc/self/exe", Error).string();
  if (Error) return *Refusal = "cannot find its own program (/proc/self/exe): " + Error.message(), false;
  /* Searchable by others: a box's user reaches its folder through it. */
  std::string Temporary = std::filesystem::temp_directory_path(Error).string();
  std::string Scratch = Temporary + "/sort_profile.XXXXXX";
  if (Error || mkdtemp(Scratch.data()) == nullptr || chmod(Scratch.c_str(), 0711) != 0)
    return *Refusal = "cannot make a folder in " + Temporary + ": " + std::strerror(errno), false;
  C.Scratch = Scratch;
  /* Stopped, the judge ends its workers and removes their folder; a
  ** chart begun is removed by the signal's own handler. The reference's
  ** worker ends with the judge (it asked for that death signal). */
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

bool Start_Worker(Sort_Worker* W, bool Reference, size_t Slots, const Sandbox_Limits& Limits, std::string* Fault,
                  Fault_Kind* Kind) {
  Children& C = The_Children;
  W->Reference = Reference;
  W->Folder = C.Scratch + "/worker_" + std::to_string(C.Made++);
  int Listener = mkdir(W->Folder.c_str(), 0700) == 0 ? Listen_In(W->Folder) : -1;
  if (Kind != nullptr) *Kind = Fault_Crashed;
  if (Listener < 0) return *Fault = "cannot make a worker's folder in " + C.Scratch + ": " + std::strerror(errno), false;
  bool Started = true;
  if (Reference) Started = Start_Reference_Run(W, Fault);
  else Start_Routine_Run(W, Limits);
  W->Link = Started ? Accept_Worker(W, Listener, Limits) : -1;
  close(Listener);
  ucred Peer{};
  socklen_t Size = sizeof Peer;
  if (W->Link >= 0 && getsockopt(W->Link, SOL_SOCKET, SO_PEERCRED, &Peer, &Size) == 0 && Peer.pid > 0 &&
      clock_getcpuclockid(Peer.pid, &W->Clock) == 0)
    W->Pid = Peer.pid;
  if (W->Pid <= 0) {
    if (Started && Worker_Has_Ended(W)) {
      End_Now(W);
      *Fault = Child_Fault(W->Result, Limits);
      if (Kind != nullptr) *Kind = Kind_Of_Ending(W->Result.Ending);
    } else if (Started) {
      Judged_Sort Ended = Ended_Fault(W, Over_Wall, Limits);
      *Fault = Ended.Fault;
      if (Kind != nullptr) *Kind = Ended.Kind;
    }
    Stop_Worker(W);
    return false;
  }
  std::string Answer;
  Heard How = Share_Memory(W, Slots, Fault) ? Hear_Line(W, Limits, Cpu_Seconds(W), nullptr, &Answer) : Heard_End;
  if (How == Heard_Line && Answer == "ready batches") return true;
  if (How != Heard_Line) {
    Judged_Sort Ended = Ended_Fault(W, How, Limits);
    *Fault = Ended.Fault;
    if (Kind != nullptr) *Kind = Ended.Kind;
  } else if (Answer == "ready")
    *Fault = "was linked with an older libsort_profile.a, whose worker cannot sort lists in batches: link the "
             "program again with this kit's";
  else *Fault = "did not take the memory of its lists, and said something else than the kit's worker says";
  Stop_Worker(W);
  return false;
}

void Stop_Worker(Sort_Worker* W) {
  if (W->Link >= 0) close(W->Link);
  W->Link = -1;
  /* Hung up on, a worker ends by itself; one that does not is ended. */
  for (int Round = 0; Round < 100 && !Worker_Has_Ended(W); Round++) usleep(10000);
  End_Now(W);
  if (W->Block != nullptr) munmap(W->Block, std::max<size_t>(1, W->Slots) * Node_Slot_Bytes);
  W->Block = nullptr;
  if (!W->Folder.empty()) Remove_Tree(W->Folder);
  W->Folder.clear();
}

Judged_Sort Judge_Sort(Sort_Worker* W, Laid_Out_List& L, int32_t K, int32_t X, const Sandbox_Limits& Limits,
                       const std::function<void(double Seconds)>& Waiting) {
  ZOR_ASSERT(L.Block == W->Block && L.Nodes.size() <= W->Slots);
  Reset_List(L);
  char Ask[80];
  std::snprintf(Ask, sizeof Ask, "sort %" PRIxPTR " %d %d\n", reinterpret_cast<uintptr_t>(L.Head), K, X);
  double Before = Cpu_Seconds(W);
  std::string Answer;
  Heard How = Send_Line(W, Ask, -1) ? Hear_Line(W, Limits, Before, Waiting, &Answer) : Heard_End;
  if (How != Heard_Line) return Ended_Fault(W, How, Limits);
  uintptr_t Head = 0;
  char End = 0;
  if (std::sscanf(Answer.c_str(), "sorted %" SCNxPTR "%c", &Head, &End) != 1) {
    Stop_Worker(W);
    return Judged_Sort{false, 0, "crashed: its worker answered what the kit's worker never says", Fault_Crashed};
  }
  L.Head = reinterpret_cast<SL_Node*>(Head);
  std::string Fault = Check_List(L).Fault;
  double After = Cpu_Seconds(W);
  return Judged_Sort{true, After - Before, Fault};
}

Judged_Sort Judge_Sorts(Sort_Worker* W, std::vector<Laid_Out_List>& Lists, int32_t K, int32_t X,
                        const Sandbox_Limits& Limits) {
  char* Table_Bytes = W->Block + Batch_Table_Slot(W->Slots) * Node_Slot_Bytes;
  ZOR_ASSERT(Lists.size() <= Batch_Table_Heads);
  for (Laid_Out_List& L : Lists) {
    ZOR_ASSERT(L.Block >= W->Block && L.Block + L.Nodes.size() * Node_Slot_Bytes <= Table_Bytes);
    Reset_List(L);
  }
  for (size_t I = 0; I < Lists.size(); I++) std::memcpy(Table_Bytes + I * sizeof(SL_Node*), &Lists[I].Head, sizeof(SL_Node*));
  char Ask[96];
  std::snprintf(Ask, sizeof Ask, "sorts %" PRIxPTR " %zu %d %d\n", reinterpret_cast<uintptr_t>(Table_Bytes), Lists.size(),
                K, X);
  double Before = Cpu_Seconds(W);
  std::string Answer;
  Heard How = Send_Line(W, Ask, -1) ? Hear_Line(W, Limits, Before, nullptr, &Answer) : Heard_End;
  if (How != Heard_Line) return Ended_Fault(W, How, Limits);
  if (Answer != "sorted all") {
    Stop_Worker(W);
    return Judged_Sort{false, 0, "crashed: its worker answered what the kit's worker never says", Fault_Crashed};
  }
  /* Each head is read once: the worker may still write the table. */
  std::string Fault;
  for (size_t I = 0; I < Lists.size() && Fault.empty(); I++) {
    std::memcpy(&Lists[I].Head, Table_Bytes + I * sizeof(SL_Node*), sizeof(SL_Node*));
    Fault = Check_List(Lists[I]).Fault;
  }
  double After = Cpu_Seconds(W);
  return Judged_Sort{true, After - Before, Fault};
}

const char* const Fault_Kind_Name[Fault_Kinds] = {"wrong-list",   "crashed",       "time-limit",     "memory-limit",
                                                   "output-limit", "process-limit", "reached-outside"};

Fault_Kind Kind_Of_Ending(Sandbox_Ending Ending) {
  switch (Ending) {
    case Sandbox_Cpu_Limit:
    case Sandbox_Wall_Limit:
    case Sandbox_Silence_Limit:
    case Sandbox_Waiting_For_Input: return Fault_Time_Limit;
    case Sandbox_Memory_Limit: return Fault_Memory_Limit;
    case Sandbox_Output_Limit:
    case Sandbox_File_Limit:
    case Sandbox_Folder_Limit: return Fault_Output_Limit;
    case Sandbox_Process_Limit: return Fault_Process_Limit;
    case Sandbox_Reached_Outside: return Fault_Reached_Outside;
    default: return Fault_Crashed;  // exited, killed, or never started
  }
}

std::string Child_Fault(const Sandbox_Result& R, const Sandbox_Limits& Limits) {
  std::string Said;
  if (R.Ending == Sandbox_Exited) {
    char Text[100];
    std::snprintf(Text, sizeof Text, "crashed: ended %s before the list could be judged",
                  R.Status >= 0 ? ("with status " + std::to_string(R.Status)).c_str() : "by itself");
    Said = Text;
  } else if (R.Ending == Sandbox_Killed && R.Signal == SIGSEGV) {
    /* What a student meets most from a routine that is right on small
    ** lists: each node a frame deeper, until the stack runs out. */
    Said = "crashed: killed by signal 11 (SIGSEGV; a recursion too deep for the stack does this)";
  } else {
    Said = Sandbox_Verdict(R, Limits);
  }
  if (const char* Option = Option_Setting(R.Ending)) Said += std::string("; ") + Option + " sets it";
  /* A reach outside is shown by the very line it printed. */
  return R.Ending == Sandbox_Reached_Outside ? Escaped_Output(Said, 400) : Said + Last_Lines(R.Out + R.Err);
}

std::string Escaped_Output(const std::string& Text, size_t Most) {
  std::string Shown;
  for (unsigned char Byte : Text) {
    if (Shown.size() >= Most) return Shown + "...";
    if (Byte >= 0x20 && Byte < 0x7f && Byte != '\\') {
      Shown += static_cast<char>(Byte);
    } else {
      char Code[8];
      std::snprintf(Code, sizeof Code, "\\x%02x", Byte);
      Shown += Code;
    }
  }
  return Shown;
}
