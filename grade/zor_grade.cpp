/*
** zor_grade.cpp
** Grades a class: every student's simulator on one battery of days,
** into a gradebook (grades.csv and the imports of Canvas and Moodle), a
** feedback file per student and a page for the teacher; or one
** submission into Gradescope's results.json. A submission that is
** missing, does not build or misbehaves is a row with its reason, never
** a stop; a rerun takes unchanged students as they were.
*/
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>
#include <sys/stat.h>

#include "common/progress_line.h"
#include "common/refusal.h"
#include "common/shown_text.h"
#include "common/whole_file.h"
#include "common/zor_kit_version.h"
#include "grade/autograder_zip.h"
#include "grade/build_command.h"
#include "grade/class_grading.h"
#include "grade/class_list.h"
#include "grade/content_hash.h"
#include "grade/grade_files.h"
#include "grade/grade_help.h"
#include "grade/grade_report.h"
#include "grade/platform_download.h"
#include "grade/report_words.h"
#include "grade/simulator_grading.h"
#include "grade/sort_grading.h"
#include "sandbox/sandbox.h"
#include "simulator_checker/battery.h"
#include "simulator_checker/trial.h"
#include "sort_bench/sl_list.h"
#include "tool_options/sandbox_options.h"

namespace {

namespace fs = std::filesystem;

struct Options {
  bool Sorting = false;  // the sorts subcommand
  std::string Sandbox = "auto";
  std::string Class;
  std::string Out = "grading";
  bool Again = false, Gradescope = false;
  std::string Secret;       // the phrase, from --secret, --secret-file or the environment
  std::string Secret_File;
  bool Secret_Readable_By_All = false;
  std::string Secret_Warning;  // said on standard error, where the phrase came from the command line
  std::string Contained;       // the sandbox's line: how runs are contained
  int64_t Seed = -1;  // -1: none given
  std::string Assignment;  // default: "ZOR simulator" or "ZOR sort"
  std::string Canvas_Match = "SIS Login ID";
  double Points = 100;
  int Jobs = 0;
  Simulator_Settings Simulators;
  Sort_Settings Sorts;
  Platform_Kind Platform = Platform_None;  // the class came as this platform's download
  std::map<std::string, std::string> Platform_Ids;
  Sandbox_Limits Build = Build_Limits(120);  // of every build; CPU time from --build-time-limit
};

[[noreturn]] void Trouble(const std::string& Message) { Refuse_And_Exit("zor_grade", Message.c_str()); }

/* Where a phrase may come from besides the options. */
const char* const Secret_Variable = "ZOR_GRADE_SECRET";
/* A phrase is a line, not a document. */
constexpr size_t Longest_Phrase = 4096;

/* The phrase in File: its first line. Trouble where it cannot be read or
** holds none. */
std::string Phrase_In_File(const std::string& File, bool* Readable_By_All) {
  std::string Bytes;
  struct stat Status;
  if (stat(File.c_str(), &Status) != 0 || !S_ISREG(Status.st_mode) || Status.st_size > 16 * off_t{Longest_Phrase} ||
      !Read_Whole_File(File, &Bytes))
    Trouble("cannot read the secret phrase from " + File);
  *Readable_By_All = (Status.st_mode & S_IROTH) != 0;
  std::string Phrase = Bytes.substr(0, Bytes.find('\n'));
  if (!Phrase.empty() && Phrase.back() == '\r') Phrase.pop_back();
  if (Phrase.empty()) Trouble("the secret file " + File + " holds no phrase on its first line");
  return Phrase;
}

/* The process list shows a program's arguments to every user for as long
** as it runs: the phrase given with --secret is overwritten where the
** list reads it, once it has been taken. */
void Hide_Phrase(int Argc, char** Argv) {
  for (int I = 1; I < Argc; I++) {
    std::string Word = Argv[I];
    char* Phrase = Word == "--secret" && I + 1 < Argc ? Argv[I + 1]
                   : Word.rfind("--secret=", 0) == 0 ? Argv[I] + 9
                                                     : nullptr;
    for (; Phrase != nullptr && *Phrase != '\0'; Phrase++) *Phrase = 'x';
  }
}

/* The battery's key from the phrase, the file or the environment, in that
** order, else the seed given or the public one. */
void Take_Secret(Options* O, int Argc, char** Argv) {
  const char* From_Environment = std::getenv(Secret_Variable);
  if (!O->Secret.empty()) {
    Hide_Phrase(Argc, Argv);
    O->Secret_Warning = "warning: --secret shows the phrase to every user of this machine while grading runs; "
                        "give it with --secret-file FILE or " + std::string(Secret_Variable) + " instead";
  } else if (!O->Secret_File.empty()) {
    O->Secret = Phrase_In_File(O->Secret_File, &O->Secret_Readable_By_All);
  } else if (O->Seed < 0 && From_Environment != nullptr && *From_Environment != '\0') {
    O->Secret = From_Environment;
  }
  /* No run, not even one with the sandbox off, inherits the phrase. */
  unsetenv(Secret_Variable);
  if (O->Secret.size() > Longest_Phrase) Trouble("the secret phrase is longer than 4096 bytes");
  if (O->Secret.empty()) {
    O->Simulators.Battery = Public_Battery(O->Seed > 0 ? uint32_t(O->Seed) : 1);
  } else if (!Battery_Key_Of_Phrase(O->Secret, &O->Simulators.Battery)) {
    Trouble("cannot make the battery's key from the phrase (libsodium could not start, or memory is short)");
  }
}

/* What both tasks take: the class, the output, reruns, and the platforms. */
void Add_Common_Options(CLI::App* Sub, Options* O, const char* Submission, const char* Jobs) {
  Sub->add_option("CLASS", O->Class, std::string("the class folder (a folder per student, named by the student's "
                  "identifier),\na CSV manifest (identifier,folder[,command]), Canvas's or Moodle's download of the "
                  "class\n(a folder or zip), or with --gradescope one ") + Submission)
      ->required();
  Sub->add_option("-o,--out", O->Out, "the output folder (made if missing)")->capture_default_str();
  Sub->add_flag("--again", O->Again, "grade every student again, even those whose submission did not change");
  Sub->add_option("--jobs", O->Jobs, std::string(Jobs) + ", 1 .. 256")->check(CLI::Range(1, 256));
  Sub->add_option("--points", O->Points, "the score of a submission without a fault")
      ->capture_default_str()
      ->check(CLI::Range(1.0, 100000.0));
  Sub->add_option("--assignment", O->Assignment, "the grade column's name in canvas.csv and moodle.csv");
  Sub->add_option("--canvas-match", O->Canvas_Match, "the column of canvas.csv that holds the identifier")
      ->capture_default_str()
      ->check(CLI::IsMember({"ID", "SIS User ID", "SIS Login ID"}));
  Sub->add_flag("--gradescope", O->Gradescope, "grade the one submission CLASS into OUT/results.json, as\n"
                "Gradescope's run_autograder wants it");
  Add_Sandbox_Mode_Option(Sub,
                          "auto: contain every build and run of a student's code as far as this machine allows, and\n"
                          "say what is missing; required: refuse to run (exit 2) unless every run is boxed; off: plain\n"
                          "processes",
                          "", &O->Sandbox);
}

/* A build's limits, under --build-: its CPU time is --build-time-limit's. */
void Add_Build_Limit_Options(CLI::App* Sub, const std::string& Whose, Given_Sandbox_Limits* Build) {
  Sandbox_Option_Words Words;
  Words.Prefix = "--build-", Words.Whose = Whose;
  Add_Sandbox_Limit_Options(Sub, Words, Build);
}

void Add_Simulator_Options(CLI::App* Sub, Options* O, Given_Sandbox_Limits* Run, Given_Sandbox_Limits* Build) {
  Simulator_Settings& S = O->Simulators;
  Add_Common_Options(Sub, O, "submission's folder", "days run at once (default: twice the cores)");
  CLI::Option* File = Sub->add_option("--secret-file", O->Secret_File,
                                      "a file whose first line is the phrase that draws the battery's days\n"
                                      "(or set ZOR_GRADE_SECRET); never shown to students");
  CLI::Option* Phrase = Sub->add_option("--secret", O->Secret, "the phrase itself, seen by every user in the process "
                                        "list: prefer --secret-file")
                            ->excludes(File);
  Sub->add_option("--seed", O->Seed, "the battery's seed instead of a phrase (default: the public seed 1)")
      ->check(CLI::Range(int64_t{1}, int64_t{4294967295}))
      ->excludes(Phrase)
      ->excludes(File);
  Sub->add_option("--days", S.Days, "days of the battery, 1 .. 100000; the made-up days first")
      ->capture_default_str()
      ->check(CLI::Range(1, 100000));
  Sandbox_Option_Words Words;
  Words.Whose = "a simulator's run";
  Words.Time_Help = "seconds of CPU time a simulator may take on one day\n"
                    "(and three times as long by the clock, at least a minute)";
  Run->Limits = S.Limits;
  Add_Sandbox_Limit_Options(Sub, Words, Run);
  Sub->add_option("--build", S.Build, "a shell command that builds each submission in a copy of its folder,\n"
                  "e.g. 'make' or 'cc -O2 -o simulator *.c'; it must leave an executable named simulator");
  Sub->add_option("--build-time-limit", S.Build_Time_Limit, "seconds a build may take")
      ->capture_default_str()
      ->check(CLI::Range(1.0, 3600.0));
  Add_Build_Limit_Options(Sub, "a build", Build);
}

void Add_Sort_Options(CLI::App* Sub, Options* O, Given_Sandbox_Limits* Build) {
  Sort_Settings& S = O->Sorts;
  Add_Common_Options(Sub, O, "routine's folder", "routines built and checked at once (default: every core)");
  Sub->add_option("--k", S.K, "K for every routine whose folder holds no file sort_parameters")
      ->capture_default_str()
      ->check(CLI::Range(0, Max_K));
  Sub->add_option("--x", S.X, "X for every routine whose folder holds no file sort_parameters")
      ->capture_default_str()
      ->check(CLI::Range(0, Max_X));
  Sub->add_option("--time-limit", S.Time_Limit, "seconds one sort may take before it counts as an endless loop")
      ->capture_default_str()
      ->check(CLI::Range(0.1, 3600.0));
  Sub->add_option("--check-items", S.Check_Items,
                  "the largest list the correctness phase sorts, 1 .. 100000 (its sizes run 0, 1, 2, ... 1000,\n"
                  "10000, 100000): a routine N^2 on some order sorts 100,000 items in tens of seconds")
      ->capture_default_str()
      ->check(CLI::Range(int64_t{1}, int64_t{100000}));
  Sub->add_option("--max-items", S.Max_Items, "the largest list the timing phase sorts, 8192 .. 100000000")
      ->capture_default_str()
      ->check(CLI::Range(int64_t{8192}, int64_t{100000000}));
  Sub->add_option("--build-time-limit", S.Build_Time_Limit, "seconds compiling and linking a routine may take")
      ->capture_default_str()
      ->check(CLI::Range(1.0, 3600.0));
  Add_Build_Limit_Options(Sub, "compiling and linking a routine", Build);
  Sub->add_option("--library", S.Library, "the profiler library to link with (default: the kit's libsort_profile.a)");
  Sub->add_option("--include", S.Include, "the folder of sort_bench.h (default: the kit's)");
}

/* The options; a bad one ends the run with exit status 2, --help and
** --version with 0. */
Options Take_Grade_Options(int Argc, char** Argv) {
  Options O;
  /* A class's simulators are many; half the sandbox's usual limit is still
  ** far above what a day of 336 customers needs. */
  O.Simulators.Limits.Cpu_Seconds = 5;
  CLI::App App{Grade_Description, "zor_grade"};
  App.require_subcommand(1, 1);
  CLI::App* Simulators = App.add_subcommand("simulators", "grade simulators of the ZOR day");
  Given_Sandbox_Limits Run, Build;
  Build.Limits = O.Build;
  Add_Simulator_Options(Simulators, &O, &Run, &Build);
  CLI::App* Sorts = App.add_subcommand("sorts", "grade routines that sort a singly linked list");
  Add_Sort_Options(Sorts, &O, &Build);
  App.set_version_flag("--version", "zor_grade (ZOR kit) " ZOR_KIT_VERSION);
  App.footer(Grade_Footer);
  try {
    App.parse(Argc, Argv);
  } catch (const CLI::Success& Done) {
    std::exit(App.exit(Done));
  } catch (const CLI::ParseError& Error) {
    Trouble(std::string(Error.what()) + " (see --help)");
  }
  O.Sorting = Sorts->parsed();
  if (!O.Sorting) Take_Secret(&O, Argc, Argv);
  O.Simulators.Limits = Sandbox_Limits_Of(Run);
  O.Simulators.Limits.Wall_Seconds = std::max(3 * O.Simulators.Limits.Cpu_Seconds, Least_Wall_Seconds);
  O.Build = Sandbox_Limits_Of(Build);
  double Build_Seconds = O.Sorting ? O.Sorts.Build_Time_Limit : O.Simulators.Build_Time_Limit;
  O.Build.Cpu_Seconds = Build_Seconds, O.Build.Wall_Seconds = 2 * Build_Seconds;
  O.Simulators.Build_Run_Limits = O.Sorts.Build_Run_Limits = O.Build;
  if (O.Assignment.empty()) O.Assignment = O.Sorting ? "ZOR sort" : "ZOR simulator";
  unsigned Cores = std::max(1u, std::thread::hardware_concurrency());
  /* A day's run is mostly a process starting and ending, which leaves a
  ** core idle: twice as many runs as cores keep the cores busy. A sort
  ** routine's checks keep a core busy. */
  if (O.Jobs == 0) O.Jobs = static_cast<int>(O.Sorting ? Cores : 2 * Cores);
  O.Simulators.Jobs = O.Jobs, O.Simulators.Points = O.Sorts.Points = O.Points;
  return O;
}

/* What a grade depends on besides the submission: a change regrades all. */
std::string Limits_Text(const char* Whose, const Sandbox_Limits& L) {
  char Text[300];
  std::snprintf(Text, sizeof Text,
                "%s cpu=%g wall=%g memory=%lld processes=%d file=%lld open=%d output=%lld folder=%lld entries=%lld\n",
                Whose, L.Cpu_Seconds, L.Wall_Seconds, static_cast<long long>(L.Memory_Bytes), L.Processes,
                static_cast<long long>(L.File_Bytes), L.Open_Files, static_cast<long long>(L.Output_Bytes),
                static_cast<long long>(L.Folder_Bytes), static_cast<long long>(L.Folder_Entries));
  return Text;
}

std::string Settings_Text(const Options& O) {
  char Text[300];
  if (O.Sorting) {
    const Sort_Settings& Z = O.Sorts;
    std::snprintf(Text, sizeof Text, "sorts %s k=%d x=%d limit=%g check=%lld items=%lld points=%g build-limit=%g\n",
                  ZOR_KIT_VERSION, Z.K, Z.X, Z.Time_Limit, static_cast<long long>(Z.Check_Items),
                  static_cast<long long>(Z.Max_Items), Z.Points, Z.Build_Time_Limit);
    return Text + Z.Library + "\n" + Z.Include + "\n" + Limits_Text("build", O.Build);
  }
  const Simulator_Settings& Z = O.Simulators;
  std::snprintf(Text, sizeof Text, "simulators %s days=%d battery=%s limit=%g points=%g build-limit=%g\n",
                ZOR_KIT_VERSION, Z.Days, Battery_Name(Z.Battery).c_str(), Z.Limits.Cpu_Seconds, Z.Points,
                Z.Build_Time_Limit);
  return Text + Z.Build + "\n" + Limits_Text("run", Z.Limits) + Limits_Text("build", O.Build);
}

Battery_Source Source_Of_Battery(const Options& O) {
  return !O.Secret.empty() ? Battery_From_Phrase : O.Seed > 0 ? Battery_From_Seed : Battery_From_Public_Seed;
}

void Make_Folder(const std::string& Folder) {
  std::error_code Error;
  fs::create_directories(Folder, Error);
  if (!fs::is_directory(Folder, Error)) Trouble("cannot make the folder " + Folder);
}

/* The private scratch folder for builds and trials, removed at the end. */
std::string Make_Scratch() {
  std::error_code Error;
  /* Searchable by others, and nothing more: a box's user reaches its
  ** folder through it, and every folder inside is one user's alone. */
  std::string Scratch = (fs::temp_directory_path(Error) / "zor_grade.XXXXXX").string();
  if (mkdtemp(Scratch.data()) == nullptr || chmod(Scratch.c_str(), 0711) != 0)
    Trouble("cannot make a scratch folder in " + fs::temp_directory_path(Error).string());
  return Scratch;
}

/* What comes after "no box (" in the sandbox's line: why there is none. */
std::string Why_No_Box(const std::string& Said) {
  size_t From = Said.find("no box (");
  if (From == std::string::npos) return Said;
  From += 8;
  size_t To = Said.find("); ", From);
  return Said.substr(From, To == std::string::npos ? std::string::npos : To - From);
}

/* The sandbox started before any thread runs a program; what it gives is
** said on standard error, since it changes what a failure means, and
** kept for the report and results.json. A student's code never runs with
** the grader's own rights unless the teacher says so: without a box and
** without root to give each run a user of its own, grading refuses. */
void Start_Sandbox(Options* O, const std::string& Scratch) {
  std::string Said, Refusal;
  if (!Sandbox_Start(Sandbox_Mode_Named(O->Sandbox), &Said, &Refusal)) {
    Remove_Tree(Scratch);
    Trouble(Refusal);
  }
  Sandbox_Tier Tier = Sandbox_Current_Tier();
  if (Tier == Sandbox_Tier_Plain && O->Sandbox != "off") {
    Sandbox_Finish();
    Remove_Tree(Scratch);
    Trouble("students' code would run with your own rights, as no box can be made (" + Why_No_Box(Said) +
            "): make bubblewrap work, or grade as root (each run then gets a user of its own), or give "
            "--sandbox off to run it uncontained");
  }
  /* Without a box the runs share the file system: what they must not
  ** reach is closed to every other user. */
  if (Tier == Sandbox_Tier_Own_User && O->Secret_Readable_By_All) {
    Sandbox_Finish();
    Remove_Tree(Scratch);
    Trouble("every user may read the secret file " + O->Secret_File + ", students' runs too, as no box can be made: "
            "chmod 600 it");
  }
  if (Tier == Sandbox_Tier_Own_User && chmod(O->Out.c_str(), 0700) != 0) {
    Sandbox_Finish();
    Remove_Tree(Scratch);
    Trouble("cannot close the output folder " + O->Out + " to other users");
  }
  O->Contained = Said;
  std::fprintf(stderr, "zor_grade: %s\n", Said.c_str());
  struct stat Class;
  if (Tier == Sandbox_Tier_Own_User && !O->Gradescope && stat(O->Class.c_str(), &Class) == 0 &&
      (Class.st_mode & (S_IROTH | S_IXOTH)) != 0)
    std::fprintf(stderr, "zor_grade: warning: other users may reach %s, and without a box students' runs may too: "
                 "chmod 700 it\n", O->Class.c_str());
  if (!O->Secret_Warning.empty()) std::fprintf(stderr, "zor_grade: %s\n", O->Secret_Warning.c_str());
  if (O->Secret_Readable_By_All)
    std::fprintf(stderr, "zor_grade: warning: every user of this machine may read %s: chmod 600 it\n",
                 O->Secret_File.c_str());
}

/* The kit's profiler library and header: the installed ones, else those
** of the build this program belongs to. */
void Find_Profiler_Library(Sort_Settings* Z) {
  std::error_code Error;
  bool Installed = fs::exists(ZOR_INSTALLED_PROFILE_LIBRARY, Error) && fs::exists(ZOR_INSTALLED_INCLUDE, Error);
  if (Z->Library.empty()) Z->Library = Installed ? ZOR_INSTALLED_PROFILE_LIBRARY : ZOR_BUILT_PROFILE_LIBRARY;
  if (Z->Include.empty()) Z->Include = Installed ? ZOR_INSTALLED_INCLUDE : ZOR_BUILT_INCLUDE;
  if (!fs::exists(Z->Library, Error)) Trouble("the profiler library " + Z->Library + " is missing (see --library)");
  bool Built = fs::equivalent(Z->Library, ZOR_BUILT_PROFILE_LIBRARY, Error);
  if (Built) Z->Link_Flags = ZOR_BUILT_LINK_FLAGS;
  /* The judge that belongs with the library: this build's with this
  ** build's library, else the installed one. */
  Z->Judge = Built || !fs::exists(ZOR_INSTALLED_SORT_JUDGE, Error) ? ZOR_BUILT_SORT_JUDGE : ZOR_INSTALLED_SORT_JUDGE;
  if (!fs::exists(Z->Judge, Error)) Trouble("the kit's sort judge " + Z->Judge + " is missing");
  if (!fs::exists(Z->Include + "/sort_bench.h", Error)) Trouble("no sort_bench.h in " + Z->Include + " (see --include)");
  Z->Library = fs::absolute(Z->Library).string(), Z->Include = fs::absolute(Z->Include).string();
}

/* Stopped meanwhile, nothing graded is written: the stop ends the tool. */
std::vector<Student_Grade> Grade_Class(const Options& O, const std::vector<Student>& Students, Class_Run* Run) {
  std::vector<Student_Grade> Grades = O.Sorting ? Grade_Sort_Class(Students, O.Sorts, O.Jobs, Run)
                                                : Grade_Simulator_Class(Students, O.Simulators, Run);
  Sandbox_Wait_If_Stopped();
  return Grades;
}

int Grade_Gradescope(const Options& O) {
  Student S{fs::absolute(O.Class).filename().string(), fs::absolute(O.Class).lexically_normal().string(), ""};
  if (!Valid_Student_Id(S.Id)) S.Id = "submission";
  Make_Folder(O.Out);
  Class_Run Run{"", true, Settings_Text(O), 0};
  Student_Grade G = Grade_Class(O, {S}, &Run)[0];
  Gradebook_Names N{O.Sorting ? "sorts" : "simulators", O.Assignment, O.Canvas_Match, O.Points, O.Contained,
                    Platform_None, {}};
  if (!Write_Gradescope(O.Out + "/results.json", G, N)) Trouble("cannot write " + O.Out + "/results.json");
  /* A sort routine's verdict comes from a summary its own profiler wrote. */
  std::printf("zor_grade: %s %s, %.1f of %g; %s/results.json written\n", S.Id.c_str(), Visible_Text(G.Verdict).c_str(),
              G.Score, O.Points, O.Out.c_str());
  return 0;
}

void Write_Grade_Outputs(const Options& O, const std::vector<Student_Grade>& Grades) {
  Gradebook_Names N{O.Sorting ? "sorts" : "simulators", O.Assignment, O.Canvas_Match, O.Points, O.Contained,
                    O.Platform, O.Platform_Ids};
  std::error_code Error;
  for (const Student_Grade& G : Grades) {
    if (!Write_Feedback(O.Out + "/feedback", G)) Trouble("cannot write " + O.Out + "/feedback/" + G.Id + ".txt");
    if (G.Shrunk_Size < 0) fs::remove_all(O.Out + "/feedback/" + G.Id + ".day", Error);
  }
  Report_Facts F{O.Sorting, O.Sorting ? "ZOR sorts: the class's grades" : "ZOR simulators: the class's grades",
                 (O.Sorting ? Sort_Sentence(O.Sorts) : Battery_Sentence(O.Simulators, Source_Of_Battery(O))) + " How each run was contained: " +
                     O.Contained.substr(O.Contained.find(": ") + 2) + ".",
                 O.Points,
                 O.Sorting ? std::vector<Battery_Note>{} : Battery_Notes(O.Simulators)};
  const std::pair<std::string, bool> Files[] = {
      {"grades.csv", Write_Grades_Csv(O.Out + "/grades.csv", Grades, N)},
      {"canvas.csv", Write_Canvas_Csv(O.Out + "/canvas.csv", Grades, N)},
      {"moodle.csv", Write_Moodle_Csv(O.Out + "/moodle.csv", Grades, N)},
      {"report.html", Write_Report(O.Out + "/report.html", F, Grades)}};
  for (const auto& [Name, Written] : Files)
    if (!Written) Trouble("cannot write " + O.Out + "/" + Name);
}

/* The output folder holds one task's grading: its saved grades and the
** files written from them. */
std::string Prepare_Output(const Options& O) {
  const char* Task = O.Sorting ? "sorts" : "simulators";
  const char* Other = O.Sorting ? "simulators" : "sorts";
  std::error_code Error;
  if (fs::exists(O.Out + "/.zor_grade/" + Other, Error))
    Trouble(O.Out + " holds the grading of " + Other + "; give " + Task + " an output folder of their own (-o)");
  std::string State_Folder = O.Out + "/.zor_grade/" + Task;
  for (const std::string& Folder : {O.Out + "/feedback", State_Folder}) Make_Folder(Folder);
  return State_Folder;
}

/* The class as a platform's download (a folder or zip), or else as a
** class folder or manifest; said on standard error when it is a download. */
void Read_Whole_Class(Options& O, std::vector<Student>* Students) {
  std::string Problem;
  bool Read = Read_Download(O.Class, O.Simulators.Scratch, &O.Platform, Students, &O.Platform_Ids, &Problem);
  if (Read && O.Platform == Platform_None) Read = Read_Class(O.Class, Students, &Problem);
  if (!Read) {
    Remove_Tree(O.Simulators.Scratch);
    Trouble(Problem);
  }
  if (O.Platform != Platform_None)
    std::fprintf(stderr, "zor_grade: %s read as %s: %zu student%s, each their latest submission\n", O.Class.c_str(),
                 Platform_Words(O.Platform), Students->size(), Students->size() == 1 ? "" : "s");
}

/* zor_grade autograder simulators|sorts [OPTIONS] -o ZIP: the options are
** checked as a grading's, then written into run_autograder; the secret goes
** into a file of its own, and the sandbox, output and submission are
** Gradescope's. */
[[noreturn]] void Make_Autograder(int Argc, char** Argv) {
  Autograder_Parts P;
  std::string Zip, Secret_File;
  std::vector<std::string> Checked = {"zor_grade"};
  for (int A = 2; A < Argc; A++) {
    std::string Word = Argv[A];
    bool Valued = A + 1 < Argc;
    if ((Word == "-o" || Word == "--out") && Valued) Zip = Argv[++A];
    else if (Word == "--secret" && Valued) P.Secret = Argv[++A];
    else if (Word == "--secret-file" && Valued) Secret_File = Argv[++A];
    else if ((Word == "--sandbox" || Word == "--library" || Word == "--include") && Valued) A++;
    else if (Word == "--gradescope") continue;
    else if (A == 2) P.Task = Word;
    else P.Arguments.push_back(Word);
  }
  if (P.Task != "simulators" && P.Task != "sorts") Trouble("autograder: give simulators or sorts first (see --help)");
  if (Zip.empty()) Trouble("autograder: give the zip to write with -o (see --help)");
  Checked.push_back(P.Task);
  Checked.insert(Checked.end(), P.Arguments.begin(), P.Arguments.end());
  /* The phrase as grading takes it: its file's first line, else the
  ** environment; it goes into the zip's own file, never a command line. */
  if (!Secret_File.empty()) {
    std::ifstream In(Secret_File);
    if (!std::getline(In, P.Secret) || P.Secret.empty()) Trouble("autograder: --secret-file: no phrase on the first line of " + Secret_File);
  } else if (P.Secret.empty() && std::getenv(Secret_Variable) != nullptr) {
    P.Secret = std::getenv(Secret_Variable);
  }
  Checked.insert(Checked.end(), {"--gradescope", "/autograder/submission"});
  std::vector<char*> Words;
  for (std::string& Word : Checked) Words.push_back(Word.data());
  Options O = Take_Grade_Options(static_cast<int>(Words.size()), Words.data());
  if (O.Sorting) Find_Profiler_Library(&O.Sorts), P.Library = O.Sorts.Library, P.Include = O.Sorts.Include;
  std::string Scratch = Make_Scratch(), Problem;
  bool Written = Write_Autograder_Zip(Zip, Scratch, P, &Problem);
  Remove_Tree(Scratch);
  if (!Written) Trouble(Problem);
  std::printf("zor_grade: %s written: upload it as the autograder of a programming assignment (zor_grade(1), "
              "GRADESCOPE)\n", Zip.c_str());
  std::exit(0);
}

}  // namespace

int main(int Argc, char** Argv) {
  if (Argc > 1 && std::string(Argv[1]) == "autograder") Make_Autograder(Argc, Argv);
  /* Grades are personal data and submissions are students' own work: no
  ** file or folder the grader makes is open to anyone else. */
  umask(077);
  Options O = Take_Grade_Options(Argc, Argv);
  if (O.Sorting) Find_Profiler_Library(&O.Sorts), O.Sorts.Sandbox = O.Sandbox;
  std::vector<Student> Students;
  O.Simulators.Scratch = O.Sorts.Scratch = Make_Scratch();
  if (!O.Gradescope) Read_Whole_Class(O, &Students);
  std::string State_Folder = O.Gradescope ? "" : Prepare_Output(O);
  if (O.Gradescope) Make_Folder(O.Out);
  /* Stopped, the tool ends the runs and the judges (each removes its own
  ** folders) and removes its scratch folder before the signal ends it. */
  Sandbox_Stop_On_Signals([Scratch = O.Simulators.Scratch]() {
    Stop_Trials();
    Stop_Judges();
    Remove_Tree(Scratch);
  });
  Start_Sandbox(&O, O.Simulators.Scratch);
  O.Simulators.Feedback_Folder = O.Gradescope ? "" : O.Out + "/feedback";
  int Status = 0;
  if (O.Gradescope) {
    Status = Grade_Gradescope(O);
  } else {
    Class_Run Run{State_Folder, O.Again, Settings_Text(O), 0};
    std::vector<Student_Grade> Grades = Grade_Class(O, Students, &Run);
    Write_Grade_Outputs(O, Grades);
    std::printf("zor_grade: %zu student%s, %zu graded now, %zu unchanged since the last run; see %s/report.html\n",
                Students.size(), Students.size() == 1 ? "" : "s", Run.Graded, Students.size() - Run.Graded,
                O.Out.c_str());
  }
  if (!Remove_Tree(O.Simulators.Scratch))
    std::fprintf(stderr, "zor_grade: %s could not be removed entirely\n", O.Simulators.Scratch.c_str());
  Sandbox_Finish();
  return Status;
}
