/*
** sandbox.h
** Running a program the kit did not write, contained: the one place where
** the kit starts a user's code, and the one runner of child processes of
** the tests.
**
** A contained run ("the box") sees a file system where only its working
** folder is writable and the rest is what a program needs to run (the
** system's libraries and interpreters, read-only); it has no network, an
** environment of PATH, HOME (its folder) and LANG only, its own process
** numbers, and limits on CPU time, wall time, memory, processes, file
** size, open files and output; whatever it started ends with it. The box
** is made with bubblewrap (Linux namespaces), limits are set before exec,
** and a cgroup counts memory, processes and CPU time where one can be
** made. When the tool runs as root, each box runs as an unprivileged user
** id of its own, so that the process limit binds; and where bubblewrap
** cannot start, a root tool still runs each program as a fresh user id
** of its own, with no capabilities, under the limits, and ends every
** process of that user after the run. Every contained run has a session
** keyring of its own.
**
** Sandbox_Start finds out once which of these the machine allows (the
** tier) and puts the module in that mode; until it is called, and with
** Sandbox_Off, a run is a plain child process under the plain limits
** (CPU, wall, output, file size, open files), as the tests' runner wants.
*/
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <sys/types.h>

enum Sandbox_Mode {
  Sandbox_Auto,      // contain as far as the machine allows, and say what is missing
  Sandbox_Required,  // refuse to run anything unless the box can be had
  Sandbox_Off        // plain child processes
};

/* Each 0 means "no limit" (the tests' runner leaves most unset). */
struct Sandbox_Limits {
  double Cpu_Seconds;     // CPU time of the whole run, every process of it together where a cgroup counts it
  double Wall_Seconds;    // wall-clock time, for a program asleep or blocked
  int64_t Memory_Bytes;   // a cgroup's limit, or else the data (not the address space) of each process
                          // (in the box only)
  int Processes;          // processes and threads at once (in the box only)
  int64_t File_Bytes;     // the size of any one file it writes
  int Open_Files;         // descriptors per process
  int64_t Output_Bytes;   // bytes on standard output and standard error together
  double Silence_Seconds; // wall-clock time without a byte on standard output, for a run that
                          // reports as it works (a quiet one has not returned)
  int64_t Folder_Bytes;   // what its folder may hold in all, in blocks on disk (a file of many
                          // names once); looked at while it runs and once it has ended
  int64_t Folder_Entries; // files, folders and links its folder may hold, each name once
};

/* The limits a user's program gets unless told otherwise. */
Sandbox_Limits Default_Sandbox_Limits();

struct Sandbox_Request {
  std::vector<std::string> Command;   // program and arguments; the program by absolute path, or a name on PATH
  std::string Folder;                 // its working folder, made by the caller; the only one it may write
  std::string Input;                  // the bytes on its standard input
  bool Input_Stays_Open = false;      // keep standard input open after Input, so that a read past it waits
                                      // (and is caught) rather than meeting the end of input
  bool File_Size_Fails_Writes = false;  // SIGXFSZ ignored: past File_Bytes a write fails instead
  std::vector<std::string> Readable;  // files and folders it may read (and run), e.g. the script an interpreter
                                      // runs, the folder of its classes: the tool's own files or copies, read
                                      // with the tool's rights, shown read-only at their own paths
  /* A folder whose files Folder gets a copy of before the run (the user's
  ** program's folder, a student's submission), so that what lies beside
  ** the program is found by a relative name; names Folder already holds,
  ** and those in Start_Without, are not copied. The copy is the run's:
  ** nothing it writes reaches Start_With. A folder too large to be a
  ** program's is refused (Fits_A_Run_Folder). */
  std::string Start_With;
  std::vector<std::string> Start_Without;
  size_t Kept_Out = SIZE_MAX;         // how much of standard output to keep, the last bytes
  size_t Kept_Err = SIZE_MAX;         // the same for standard error
  Sandbox_Limits Limits{};
  /* For a run that reports as it works: each piece of standard output as
  ** it arrives (Out still keeps what Kept_Out says), and about once a
  ** second the seconds since the run began. Both are called on the thread
  ** that called Run_Contained, while it watches the run. */
  std::function<void(const char* Bytes, size_t Count)> Hear_Out;
  std::function<void(double Seconds)> Waiting;
  /* A box kept for many runs (Sandbox_Keep_Box), or -1 for a box of the
  ** run's own. In a kept box, Folder must lie directly in the box's
  ** folder, and Command[0] and Readable are the box's. */
  int Kept_Box = -1;
};

enum Sandbox_Ending {
  Sandbox_Exited,            // exited by itself with Status
  Sandbox_Killed,            // ended by Signal, not by a limit
  Sandbox_Cpu_Limit,         // "time limit"
  Sandbox_Wall_Limit,        // "wall-time limit"
  Sandbox_Silence_Limit,     // no output for Silence_Seconds: "did not return"
  Sandbox_Memory_Limit,
  Sandbox_Output_Limit,      // standard output and error together
  Sandbox_File_Limit,        // a file past File_Bytes (named an output limit too)
  Sandbox_Folder_Limit,      // its folder past Folder_Bytes or Folder_Entries (an output limit too;
                             // Detail says which, in the verdict's words)
  Sandbox_Process_Limit,     // "too many processes"
  Sandbox_Waiting_For_Input, // blocked reading standard input with nothing left there
  Sandbox_Reached_Outside,   // failed at something outside its folder, and said so
  Sandbox_Not_Started        // the program or the box could not be started: a fault of the tool's
};

struct Sandbox_Result {
  Sandbox_Ending Ending = Sandbox_Not_Started;
  int Status = 0;                // its exit status, when it exited
  int Signal = 0;                // the signal that ended it, if one did
  double Cpu_Seconds = -1;       // -1 where it cannot be measured
  double Wall_Seconds = 0;
  int64_t Peak_Memory_Bytes = -1;  // -1 where it cannot be measured
  std::string Out, Err;          // the kept ends of standard output and error
  std::string Detail;            // the line that shows it reached outside, or why it could not start
  bool Processes_Refused = false;  // the cgroup refused it a process, though it went on (it may have coped, or not)
};

/* The first runnable file Name names in a folder of PATH (an empty
** folder there is the current one), as a shell finds it; empty for none. */
std::string Sandbox_Find_On_Path(const std::string& Name);

/* The mode an option names: "off", "required", else "auto". */
Sandbox_Mode Sandbox_Mode_Named(const std::string& Name);

/* Finds which tier this machine allows and sets the module's mode for
** every later run. Said gets one line for the user: the tier, and what is
** missing. Returns false, with a one-line Refusal, where Mode is
** Sandbox_Required and the box cannot be had. Call once, before any
** thread runs programs. */
bool Sandbox_Start(Sandbox_Mode Mode, std::string* Said, std::string* Refusal);

/* Whether runs are boxed now. */
bool Sandbox_Boxed();

/* How runs are contained now: in a box; without one but each as a fresh
** user id of its own (a root tool where bubblewrap cannot start); or not
** at all (off, or neither a box nor root). */
enum Sandbox_Tier { Sandbox_Tier_Plain, Sandbox_Tier_Own_User, Sandbox_Tier_Box };
Sandbox_Tier Sandbox_Current_Tier();

/* For a program named bare (Name, no slash) that the user's PATH finds at
** Path, outside what a box shows (pyenv's shims in a home, say): the same
** name on the box's own PATH, which a boxed run can start. Empty where
** runs are not boxed, Path is in the box's view, or the box has no such
** program. */
std::string Sandbox_Own_Program(const std::string& Path, const std::string& Name);

/* Ends every run in progress and refuses new ones; returns once none is
** left running (or after a few seconds). For a tool that is told to stop. */
void Sandbox_Stop_All();

/* Whether Sandbox_Stop_All was called: a run that ended since was ended
** by the stop, not by anything it did. */
bool Sandbox_Stopping();

/* For a tool whose runs a user may interrupt: SIGINT, SIGTERM and SIGHUP
** (those not ignored) are held in every thread and taken by one, which
** calls Stop (to end the runs and remove what the tool made), then
** Sandbox_Finish, and then ends the process as the signal would have,
** through a handler of the signal's if the tool set one. Call before any
** other thread starts. */
void Sandbox_Stop_On_Signals(std::function<void()> Stop);

/* Whether a stop signal has come: what a run said since was said because
** the stop ended it, and is neither reported nor kept. */
bool Sandbox_Stop_Begun();

/* Once a stop signal has come, the calling thread waits for the end the
** signal brings (it never returns then); otherwise returns at once. Call
** before publishing what the runs said: a grade kept, an output written,
** a status returned. An exit while the stop is under way waits too. */
void Sandbox_Wait_If_Stopped();

/* Removes what Sandbox_Start made (cgroups, copies); call after the last run. */
void Sandbox_Finish();

/* Runs Request's program and returns what became of it. Safe to call
** from several threads at once. */
Sandbox_Result Run_Contained(const Sandbox_Request& Request);

/* A box kept for many runs of one program, one after another, for a tool
** that runs it hundreds of times (a checker's trials): bubblewrap makes
** the box's namespaces and view once, and each run then enters them in a
** fresh process of the box's user, under the run's own limits and
** cgroup, in a folder of its own made in Like.Folder (which the box shows
** as the runs' parent, writable by none of them), with a /dev/shm,
** System V IPC, process numbers and /proc of its own (the processes that
** keep the box between runs are out of its sight and reach); whatever the
** run left running is killed when it ends, as in a box of its own. Like gives the program (Command[0]),
** its Readable files and Start_With, which every run of the box shares.
** Kept boxes need a box and a cgroup (which alone ends and counts what a
** run left behind); elsewhere, and if the box cannot be made, -1, with
** the reason in Why_Not, and runs then take a box each. One thread uses
** a kept box at a time; it holds a slot until dropped. */
int Sandbox_Keep_Box(const Sandbox_Request& Like, std::string* Why_Not);
void Sandbox_Drop_Box(int Box);

/* What ended a run that did not exit with status 0, in words that follow
** "it": "hit the time limit (2 s of CPU time)", "was killed by signal 11
** (Segmentation fault)", "exited with status 3". */
std::string Sandbox_Verdict(const Sandbox_Result& Result, const Sandbox_Limits& Limits);

/* Whether Folder can be a run's Start_With (or a Readable folder): it
** holds no more than a program's folder would; if not, Problem says why. */
bool Fits_A_Run_Folder(const std::string& Folder, std::string* Problem);

/* Removes a folder and everything in it, whatever a program did to it:
** permissions are given back first, links are removed and never followed,
** FIFOs are never opened; a chain of folders of any depth takes a few
** descriptors. True when nothing is left. */
bool Remove_Tree(const std::string& Path);

/* Gives a folder and everything in it to Uid (and its group), links
** themselves and never what they point at. True when all of it was given. */
bool Give_Tree(const std::string& Path, uid_t Uid);

/* Opens Name, a path relative to the folder Folder, for reading: the one
** way to take a file from a folder someone else filled (a student's
** submission, what a build left there, a user's program). Name resolves
** beneath Folder only: a link that leads out of it, an absolute link, a
** ".." past it and the links of /proc are refused; a link to another file
** inside is fine. It must be a regular file (a FIFO or a device is never
** opened) of at most Most bytes, owned by the folder's owner or readable
** by anyone. A descriptor, or -1 with Reason in words the folder's owner
** can act on ("simulator is a link to /usr/bin/zor_simulator, outside
** your folder"). Folder as a path is opened without following a link. */
int Open_Beneath(int Folder, const std::string& Name, int64_t Most, std::string* Reason);
int Open_Beneath(const std::string& Folder, const std::string& Name, int64_t Most, std::string* Reason);

/* Whether Name, resolved beneath Folder, stays inside it (or names
** nothing, as a link may whose target is not made yet); false with Reason. */
bool Stays_Beneath(int Folder, const std::string& Name, std::string* Reason);

/* Copies the open regular file In to Name in the folder Folder: a new
** file for the tool's user alone (0600, or 0700 when In is executable by
** its owner), its holes kept, so a sparse file costs what its data does.
** False, with nothing made, if In has grown past Most since it was opened. */
bool Copy_To_Private_File(int In, int Folder, const char* Name, int64_t Most);

/* The whole of such a file, by Open_Beneath; false with Reason. */
bool Read_Beneath(const std::string& Folder, const std::string& Name, int64_t Most, std::string* Bytes,
                  std::string* Reason);

/* The box binds a copy of each readable file and of the program, made for
** the run's user alone. Runs that name Asked take their copy from Source,
** a file the caller made and trusts, rather than from Asked itself: a tool
** that took a user's program safely shows it by the user's name. */
void Sandbox_Copy_From(const std::string& Asked, const std::string& Source);

/* Whether Path (absolute, normal) is in a tree every box sees as it is,
** read-only (the system's programs and libraries): no copy is made of it. */
bool In_System_Tree(const std::string& Path);

/* Forgets, and removes, the copies of every file under Tree: a grader's
** copies of one student's files, once that student is graded. */
void Sandbox_Drop_Copies(const std::string& Tree);

/* The programs the kit installs: a box never runs them, wherever they are. */
const std::vector<std::string>& Kit_Program_Names();

/* What a run left under a name in its folder. */
enum Left_Kind { Left_File, Left_Nothing, Left_Link, Left_Fifo, Left_Folder, Left_Other };

/* Reads Folder/Name into Bytes (at most Most bytes, never more held at
** once) when it is a regular file; never follows a link out of the
** folder, never waits on a FIFO. Size, if given, gets the file's whole
** size, which may be more than was read. */
Left_Kind Read_Left_File(const std::string& Folder, const std::string& Name, size_t Most, std::string* Bytes,
                         size_t* Size = nullptr);

/* "a symbolic link", "a FIFO (named pipe)", ... */
const char* Left_Kind_Name(Left_Kind Kind);
