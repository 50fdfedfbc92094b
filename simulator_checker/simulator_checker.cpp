/*
** simulator_checker.cpp
** Runs a user's simulator on a battery of days and says whether it
** followed the model on all of them; if not, shows the smallest day on
** which it does not, and why, and can keep that day in a folder to rerun
** by hand. A tool beyond the kit's argument-free programs: CLI11 parses
** its options.
*/
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/progress_line.h"
#include "common/refusal.h"
#include "common/zor_kit_version.h"
#include "simulator_checker/battery.h"
#include "simulator_checker/failure_report.h"
#include "simulator_checker/shrink.h"
#include "sandbox/sandbox.h"
#include "simulator_checker/trial.h"
#include "simulator_checker/trial_workers.h"
#include "tool_options/sandbox_options.h"

namespace {

struct Options {
  int Trials = 200;
  uint32_t Seed = 1;
  int Jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  std::string Keep;
  std::string Sandbox = "auto";
  bool Tier_Only = false;            // --sandbox-tier
  Sandbox_Limits Limits = Default_Sandbox_Limits();
  std::vector<std::string> Command;  // PROGRAM [ARGS...]
};

[[noreturn]] void Trouble(const std::string& Message) { Refuse_And_Exit("simulator_checker", Message.c_str()); }

/* The program as a path that works from any folder: one with a slash is
** made absolute; a bare name is looked up on PATH, as a shell would. */
std::string Resolve_Program(const std::string& Name) {
  auto Runnable = [](const std::string& Path) {
    struct stat Status;
    return stat(Path.c_str(), &Status) == 0 && S_ISREG(Status.st_mode) && access(Path.c_str(), X_OK) == 0;
  };
  if (Name.find('/') != std::string::npos) {
    if (!Runnable(Name)) Trouble("PROGRAM " + Name + " is missing or not executable");
    return std::filesystem::absolute(Name).lexically_normal().string();
  }
  std::string Found = Sandbox_Find_On_Path(Name);
  if (Found.empty()) Trouble("PROGRAM " + Name + " is not found on PATH or is not executable");
  return std::filesystem::absolute(Found).lexically_normal().string();
}

/* Runs the battery and returns the first failing trial in battery order
** (-1 when every trial held), whatever the number of threads: no trial
** past a known failure is started. */
int Run_Battery(const Program_Under_Test& Program, const Options& O, Progress_Line& P, Trial_Outcome* First_Failure,
                double* Slowest_Held) {
  std::atomic<int> Failing{O.Trials};
  std::vector<Trial_Outcome> Outcomes(static_cast<size_t>(O.Trials));
  std::atomic<double> Slowest{0};
  auto Each = [&](int I, const Trial_Box& Box) {
    if (I > Failing.load()) return;
    Trial_Day T = Battery_Day(I, Public_Battery(O.Seed));
    Trial_Outcome Outcome = Run_Trial(Program, T.Day, T.Servers, &Box);
    if (Outcome.Kind != Outcome_Held) {
      for (int Known = Failing.load(); I < Known && !Failing.compare_exchange_weak(Known, I);) {
      }
    } else {
      for (double S = Slowest.load(); Outcome.Seconds > S && !Slowest.compare_exchange_weak(S, Outcome.Seconds);) {
      }
    }
    Outcomes[static_cast<size_t>(I)] = std::move(Outcome);
  };
  auto Show = [&](int Done) {
    Show_Progress_Line(&P, "simulator_checker: day %d of %d", std::min(Done + 1, O.Trials), O.Trials);
  };
  Run_On_Workers(Program, O.Trials, O.Jobs, Each, P.Shown ? std::function<void(int)>(Show) : nullptr);
  Clear_Progress_Line(&P);
  *Slowest_Held = Slowest.load();
  int First = Failing.load();
  if (First >= O.Trials) return -1;
  *First_Failure = std::move(Outcomes[static_cast<size_t>(First)]);
  return First;
}

/* The sandbox's options: its mode and each limit, with its default. */
void Take_Sandbox_Options(CLI::App& App, Options& O, Given_Sandbox_Limits* Given) {
  const char* Group = "Sandbox: each run contained (man simulator_checker, SANDBOX)";
  Add_Sandbox_Mode_Option(&App,
                          "auto: contain each run as far as this machine allows, and say what is missing;\n"
                          "required: refuse to run (exit 2) unless every run is boxed; off: plain child processes",
                          Group, &O.Sandbox);
  App.add_flag("--sandbox-tier", O.Tier_Only,
               "say which sandbox this machine gives, on standard output, and exit: 0 with a box, 1 without")
      ->group(Group);
  Sandbox_Option_Words Words;
  Words.Whose = "a run", Words.Group = Group;
  Words.Time_Help = "seconds of CPU time a run may take (the time limit)";
  Words.Wall_Help = "seconds a run may last, asleep or blocked (default: 3 x --time-limit)";
  Given->Limits = O.Limits;
  Add_Sandbox_Limit_Options(&App, Words, Given);
}

/* The options; a bad one ends the run with exit status 2, --help and
** --version with 0. */
Options Take_Checker_Options(int Argc, char** Argv) {
  Options O;
  CLI::App App{"Runs a simulator of the ZOR day on a battery of days, each in a fresh folder holding\n"
               "ZOR_Binary_In, with the three server counts typed on standard input, and judges every\n"
               "ZOR_Binary_Out it writes with the model's rules (and its ZOR_Debug_Out, if it writes one,\n"
               "against the reference's trace). It says whether the simulator followed the model on\n"
               "every day; if not, it shows the smallest day on which it does not, and why. Each run\n"
               "is contained: it sees only its folder and the system's programs, has no network, and\n"
               "runs under the limits below.",
               "simulator_checker"};
  App.prefix_command();
  /* CLI11 2.1 has no way to name what follows the options in its usage
  ** line but the label it puts between the brackets. */
  App.get_formatter()->label("OPTIONS", "OPTIONS] PROGRAM [ARGS...");
  App.add_option("--trials", O.Trials, "days to try, 1 .. 100000; made-up days first, then generated ones")
      ->capture_default_str()
      ->check(CLI::Range(1, 100000));
  App.add_option("--seed", O.Seed, "draws the battery's generated days; the same seed, the same battery")
      ->capture_default_str();
  App.add_option("--jobs", O.Jobs, "runs at once, 1 .. 256 (default: every core)")->check(CLI::Range(1, 256));
  App.add_option("--keep", O.Keep,
                 "on a failure, keep the smallest failing day in this folder (made then, if missing):\n"
                 "ZOR_Binary_In, entries, the program's ZOR_Binary_Out and ZOR_Debug_Out, the reference's\n"
                 "Reference_Binary_Out and Reference_Debug_Out, listings and Verdict; and say how to rerun it");
  Given_Sandbox_Limits Given;
  Take_Sandbox_Options(App, O, &Given);
  App.set_version_flag("--version", "simulator_checker (ZOR kit) " ZOR_KIT_VERSION);
  App.footer("Examples:\n"
             "  simulator_checker ./my_simulator\n"
             "  simulator_checker --keep failing_day python3 my_simulator.py\n"
             "  then run the line it prints, e.g. cd failing_day && python3 my_simulator.py < entries && "
             "results_checker < entries\n"
             "Exit status: 0 the simulator followed the model on every day; 1 it did not (the\n"
             "smallest failing day is shown); 2 trouble: a bad option, PROGRAM missing or not\n"
             "executable, a folder that cannot be made, a sandbox that cannot start (or, with\n"
             "--sandbox required, cannot be had).");
  try {
    App.parse(Argc, Argv);
    O.Command = App.remaining();
    if (O.Command.empty() && !O.Tier_Only) throw CLI::RequiredError("PROGRAM");
  } catch (const CLI::Success& Done) {
    std::exit(App.exit(Done));
  } catch (const CLI::ParseError& Error) {
    Trouble(std::string(Error.what()) + " (see --help)");
  }
  O.Limits = Sandbox_Limits_Of(Given);
  return O;
}

/* Whether Folder is one we may write in, or could be made: the nearest
** folder on its path that exists is one we may write in. It is made only
** when there is a day to keep. */
bool Can_Make_Or_Write(const std::string& Folder) {
  std::error_code Error;
  std::filesystem::path At = std::filesystem::absolute(Folder, Error);
  while (!std::filesystem::exists(At, Error) && At.has_relative_path()) At = At.parent_path();
  return std::filesystem::is_directory(At, Error) && access(At.c_str(), W_OK | X_OK) == 0;
}

/* results_checker by the path this program was started from: beside it
** in an installed kit, in its own folder of a build tree; by name (found
** on PATH) if neither holds it. */
std::string Results_Checker_Path() {
  std::error_code Error;
  std::filesystem::path Self = std::filesystem::read_symlink("/proc/self/exe", Error);
  if (Error) return "results_checker";
  for (const char* Beside : {"results_checker", "../model_rules/results_checker"}) {
    std::filesystem::path Candidate = (Self.parent_path() / Beside).lexically_normal();
    if (access(Candidate.c_str(), X_OK) == 0) return Candidate.string();
  }
  return "results_checker";
}

/* A word that names a file or folder from the folder simulator_checker
** was started in (the script of python3 my_simulator.py, the DIR of
** java -cp DIR Sim, each part of a class path a:b) made absolute: the
** program runs in a folder of its own, where the name would find nothing. */
std::string Absolute_Word(const std::string& Word) {
  if (Word.empty() || Word[0] == '-') return Word;
  std::vector<std::string> Parts;
  for (size_t At = 0; At <= Word.size();) {
    size_t End = std::min(Word.find(':', At), Word.size());
    Parts.push_back(Word.substr(At, End - At));
    At = End + 1;
  }
  std::string Made;
  for (const std::string& Part : Parts) {
    struct stat Status;
    if (Part.empty() || stat(Part.c_str(), &Status) != 0 || !(S_ISREG(Status.st_mode) || S_ISDIR(Status.st_mode)))
      return Word;
    std::string Absolute = std::filesystem::absolute(Part).lexically_normal().string();
    if (Absolute.size() > 1 && Absolute.back() == '/') Absolute.pop_back();
    Made += (Made.empty() ? "" : ":") + Absolute;
  }
  return Made;
}

/* The folder the program's files lie in, which each trial's folder starts
** with: the program's own when it was named by a path (./simulator),
** else, for a tool found on PATH (an interpreter, java), that of the
** first file its arguments name (a script), else the folder the checker
** was started in (java -cp . Sim, java Sim). */
std::string Program_Folder(const Program_Under_Test& Program, const std::string& Named) {
  auto Own = [](const std::string& Path) {
    struct stat Status;
    return Path.rfind("/usr/", 0) != 0 && Path.rfind("/bin/", 0) != 0 && stat(Path.c_str(), &Status) == 0 &&
           S_ISREG(Status.st_mode);
  };
  if (Named.find('/') != std::string::npos) return std::filesystem::path(Program.Path).parent_path().string();
  for (const std::string& Word : Program.Arguments)
    if (!Word.empty() && Word[0] == '/' && Own(Word)) return std::filesystem::path(Word).parent_path().string();
  std::error_code Error;
  return std::filesystem::current_path(Error).string();
}

/* The program found, the folders made: a private scratch folder for the
** trials, removed at the end, and the --keep folder checked. The files
** and folders the arguments name, and the program's folder, are what the
** run may read. */
Program_Under_Test Prepare(const Options& O) {
  Program_Under_Test Program{Resolve_Program(O.Command[0]), {}, {}, O.Limits, "", ""};
  for (size_t W = 1; W < O.Command.size(); W++) Program.Arguments.push_back(Absolute_Word(O.Command[W]));
  for (const std::string& Word : Program.Arguments) {
    if (Word.empty() || Word[0] != '/') continue;
    std::istringstream Parts(Word);
    for (std::string Part; std::getline(Parts, Part, ':');)
      if (std::filesystem::exists(Part)) Program.Readable.push_back(Part);
  }
  std::string Folder = Program_Folder(Program, O.Command[0]), Why;
  if (Fits_A_Run_Folder(Folder, &Why)) {
    Program.Folder = Folder;
    Program.Readable.push_back(Folder);
  } else {
    std::fprintf(stderr, "simulator_checker: each run's folder holds ZOR_Binary_In alone: %s\n", Why.c_str());
  }
  std::error_code Error;
  if (!O.Keep.empty() && !Can_Make_Or_Write(O.Keep)) Trouble("--keep: cannot write in the folder " + O.Keep);
  /* Searchable by others: a box's user reaches its trial folder through it. */
  std::string Scratch = (std::filesystem::temp_directory_path(Error) / "simulator_checker.XXXXXX").string();
  if (mkdtemp(Scratch.data()) == nullptr || chmod(Scratch.c_str(), 0711) != 0)
    Trouble("cannot make a scratch folder in " + std::filesystem::temp_directory_path(Error).string());
  Program.Scratch = Scratch;
  return Program;
}

/* The most a program or a file it reads may be: far above any simulator,
** far below what would fill a temporary folder. */
constexpr int64_t Most_Program_Bytes = int64_t(64) << 20;

/* Each file the box is given (the program, a script), taken beneath its
** own folder, so that a link out of it is refused rather than followed,
** and copied into the scratch folder: the box's copies are made from
** these, never from the path a user's folder controls. */
void Take_Program_Files(const Program_Under_Test& Program, const std::string& Named) {
  std::vector<std::string> Files = Program.Readable;
  if (Named.find('/') != std::string::npos) Files.push_back(Program.Path);  // a name alone is a program on PATH
  for (size_t I = 0; I < Files.size(); I++) {
    if (In_System_Tree(Files[I])) continue;  // the box shows these itself, read-only
    /* A folder (the program's own, a class path) is copied for each run
    ** entry by entry, links as links, never followed. */
    struct stat Status;
    if (lstat(Files[I].c_str(), &Status) == 0 && S_ISDIR(Status.st_mode)) continue;
    std::filesystem::path Path(Files[I]);
    std::string Reason, Into = Program.Scratch + "/taken_" + std::to_string(I);
    int In = Open_Beneath(Path.parent_path().string(), Path.filename().string(), Most_Program_Bytes, &Reason);
    int Folder = In < 0 || mkdir(Into.c_str(), 0700) != 0 ? -1 : open(Into.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bool Taken = Folder >= 0 && Copy_To_Private_File(In, Folder, Path.filename().c_str(), Most_Program_Bytes);
    if (In >= 0) close(In);
    if (Folder >= 0) close(Folder);
    if (!Taken) {
      Remove_Tree(Program.Scratch);
      Trouble("cannot take " + Files[I] + ": " + (Reason.empty() ? "it cannot be copied" : Reason));
    }
    Sandbox_Copy_From(Files[I], Into + "/" + Path.filename().string());
  }
}

/* Shrinks the failing day, prints what went wrong on the smallest one,
** and keeps it if asked; returns the exit status, 1 or (when the day
** cannot be kept) 2. */
int Report_Failure(const Program_Under_Test& Program, const Options& O, int Failing, const Trial_Outcome& Failure,
                   double Slowest_Held, Progress_Line& P) {
  Trial_Day Day = Battery_Day(Failing, Public_Battery(O.Seed));
  /* A run ended by a limit of time costs the whole limit, so the smaller
  ** days tried while shrinking get that limit nearer what passing runs
  ** took; the other limit of time stays, so that a loop is still caught by
  ** the same one on a busy machine. */
  Program_Under_Test Shrinking = Program;
  double Nearer = std::max(1.0, 10 * Slowest_Held);
  if (Failure.Kind == Outcome_Limit && Failure.Ending == Sandbox_Cpu_Limit)
    Shrinking.Limits.Cpu_Seconds = std::min(O.Limits.Cpu_Seconds, Nearer);
  if (Failure.Kind == Outcome_Limit && Failure.Ending == Sandbox_Wall_Limit)
    Shrinking.Limits.Wall_Seconds = std::min(O.Limits.Wall_Seconds, Nearer);
  Show_Progress_Line(&P, "simulator_checker: day %d fails; looking for the smallest day that shows it", Failing + 1);
  Shrunk_Day Shrunk = Shrink_Day(Shrinking, Day.Day, Day.Servers, Failure);
  Clear_Progress_Line(&P);
  char* Text = nullptr;
  size_t Size = 0;
  std::FILE* Report = open_memstream(&Text, &Size);
  Print_Failure(Report, O.Command[0], Day, Failing + 1, O.Trials, Failure, Shrunk, O.Limits, Shrinking.Limits);
  std::fclose(Report);
  std::string Verdict_Text(Text, Size);
  std::free(Text);
  std::fputs(Verdict_Text.c_str(), stdout);
  if (O.Keep.empty()) return 1;
  std::error_code Error;
  std::filesystem::create_directories(O.Keep, Error);
  if (!Keep_Day(O.Keep, Shrunk, Verdict_Text)) {
    std::fprintf(stderr, "simulator_checker: --keep: cannot write the day into %s\n", O.Keep.c_str());
    return 2;
  }
  /* The program by the path found for it: the rerun starts in another folder. */
  std::string Command = Shell_Word(Program.Path);
  for (const std::string& Word : Program.Arguments) Command += " " + Shell_Word(Word);
  std::fputs(Rerun_Advice(O.Keep, Command, Program.Folder, Results_Checker_Path(), Shrunk.Outcome, Shrinking.Limits)
                 .c_str(),
             stdout);
  return 1;
}

/* --sandbox-tier: the tier on standard output, and nothing run. */
[[noreturn]] void Say_Tier(const Options& O) {
  std::string Said, Refusal;
  bool Started = Sandbox_Start(Sandbox_Mode_Named(O.Sandbox), &Said, &Refusal);
  std::printf("%s\n", Started ? Said.c_str() : Refusal.c_str());
  bool Boxed = Started && Sandbox_Boxed();
  Sandbox_Finish();
  std::exit(Boxed ? 0 : 1);
}

}  // namespace

int main(int Argc, char** Argv) {
  Options O = Take_Checker_Options(Argc, Argv);
  if (O.Tier_Only) Say_Tier(O);
  Program_Under_Test Program = Prepare(O);
  /* Stopped, the checker ends the trials and removes every folder the
  ** run made before the signal ends it. */
  Sandbox_Stop_On_Signals([Scratch = Program.Scratch]() {
    Stop_Trials();
    Remove_Tree(Scratch);
  });
  std::string Said, Refusal;
  if (!Sandbox_Start(Sandbox_Mode_Named(O.Sandbox), &Said, &Refusal)) {
    Remove_Tree(Program.Scratch);
    Trouble(Refusal);
  }
  std::fprintf(stderr, "simulator_checker: %s\n", Said.c_str());
  std::string Own = Sandbox_Own_Program(Program.Path, O.Command[0]);
  if (!Own.empty()) {
    std::fprintf(stderr, "simulator_checker: %s on your PATH is %s, which the sandbox does not show; the runs use %s\n",
                 O.Command[0].c_str(), Program.Path.c_str(), Own.c_str());
    Program.Path = Own;
  }
  Take_Program_Files(Program, O.Command[0]);

  Progress_Line P = Start_Progress_Line();
  Trial_Outcome Failure;
  double Slowest_Held = 0;
  int Failing = Run_Battery(Program, O, P, &Failure, &Slowest_Held);
  Sandbox_Wait_If_Stopped();
  int Status = 0;
  if (Failing < 0) {
    int Made_Up = std::min(O.Trials, Made_Up_Days());
    std::printf("%s followed the model on all %d days (%d made up, %d generated; seed %u) in %.1f s\n",
                O.Command[0].c_str(), O.Trials, Made_Up, O.Trials - Made_Up, O.Seed, Progress_Seconds(P));
  } else if (Failure.Kind != Outcome_Not_Run) {
    Status = Report_Failure(Program, O, Failing, Failure, Slowest_Held, P);
  }
  Sandbox_Wait_If_Stopped();
  std::fflush(stdout);
  Remove_Tree(Program.Scratch);
  Sandbox_Finish();
  if (Failing >= 0 && Failure.Kind == Outcome_Not_Run) Trouble(Failure.Problem);
  return Status;
}
