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
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>
#include <sys/stat.h>

#include "common/progress_line.h"
#include "common/refusal.h"
#include "common/whole_file.h"
#include "common/zor_kit_version.h"
#include "grade/battery_notes.h"
#include "grade/class_grading.h"
#include "grade/class_list.h"
#include "grade/content_hash.h"
#include "grade/grade_files.h"
#include "grade/grade_report.h"
#include "grade/simulator_grading.h"
#include "sandbox/sandbox.h"
#include "simulator_checker/battery.h"
#include "simulator_checker/trial.h"
#include "sort_bench/sl_list.h"

namespace {

namespace fs = std::filesystem;

struct Options {
  bool Sorting = false;  // the sorts subcommand
  std::string Sandbox = "auto";
  std::string Class;
  std::string Out = "grading";
  bool Again = false, Gradescope = false;
  std::string Secret;
  int64_t Seed = -1;  // -1: none given
  std::string Assignment;  // default: "ZOR simulator" or "ZOR sort"
  std::string Canvas_Match = "SIS Login ID";
  double Points = 100;
  int Jobs = 0;
  Simulator_Settings Simulators;
  Sort_Settings Sorts;
};

[[noreturn]] void Trouble(const std::string& Message) { Refuse_And_Exit("zor_grade", Message.c_str()); }

Sandbox_Mode Mode_Named(const std::string& Name) {
  return Name == "off" ? Sandbox_Off : Name == "required" ? Sandbox_Required : Sandbox_Auto;
}

/* The battery's seed from the secret phrase: FNV-1a, never 0 or the
** public seed 1, so no phrase gives the battery students know. */
uint32_t Seed_Of_Phrase(const std::string& Phrase) {
  uint32_t H = 2166136261u;
  for (unsigned char C : Phrase) H = (H ^ C) * 16777619u;
  return H <= 1 ? H + 2 : H;
}

/* What both tasks take: the class, the output, reruns, and the platforms. */
void Add_Common_Options(CLI::App* Sub, Options* O, const char* Submission, const char* Jobs) {
  Sub->add_option("CLASS", O->Class, std::string("the class folder (a folder per student, named by the student's "
                  "identifier),\na CSV manifest (identifier,folder[,command]), or with --gradescope one ") + Submission)
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
  Sub->add_option("--sandbox", O->Sandbox,
                  "auto: contain every build and run of a student's code as far as this machine allows, and\n"
                  "say what is missing; required: refuse to run (exit 2) unless every run is boxed; off: plain\n"
                  "processes")
      ->capture_default_str()
      ->check(CLI::IsMember({"auto", "required", "off"}));
}

void Add_Simulator_Options(CLI::App* Sub, Options* O, int64_t* Memory_Mib) {
  Simulator_Settings& S = O->Simulators;
  Add_Common_Options(Sub, O, "submission's folder", "days run at once (default: twice the cores)");
  Sub->add_option("--secret", O->Secret, "a phrase that draws the battery's days; never shown to students");
  Sub->add_option("--seed", O->Seed, "the battery's seed instead of a phrase (default: the public seed 1)")
      ->check(CLI::Range(int64_t{1}, int64_t{4294967295}))
      ->excludes("--secret");
  Sub->add_option("--days", S.Days, "days of the battery, 1 .. 100000; the made-up days first")
      ->capture_default_str()
      ->check(CLI::Range(1, 100000));
  Sub->add_option("--time-limit", S.Limits.Cpu_Seconds, "seconds of CPU time a simulator may take on one day\n"
                  "(and three times as long by the clock)")
      ->capture_default_str()
      ->check(CLI::Range(0.1, 3600.0));
  Sub->add_option("--memory-limit", *Memory_Mib, "MiB of memory a simulator may use")
      ->capture_default_str()
      ->check(CLI::Range(16, 1 << 20));
  Sub->add_option("--build", S.Build, "a shell command that builds each submission in a copy of its folder,\n"
                  "e.g. 'make' or 'cc -O2 -o simulator *.c'; it must leave an executable named simulator");
  Sub->add_option("--build-time-limit", S.Build_Time_Limit, "seconds a build may take")
      ->capture_default_str()
      ->check(CLI::Range(1.0, 3600.0));
}

void Add_Sort_Options(CLI::App* Sub, Options* O) {
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
  Sub->add_option("--library", S.Library, "the profiler library to link with (default: the kit's libsort_profile.a)");
  Sub->add_option("--include", S.Include, "the folder of sort_bench.h (default: the kit's)");
}

/* The options; a bad one ends the run with exit status 2, --help and
** --version with 0. */
Options Take_Options(int Argc, char** Argv) {
  Options O;
  /* A class's simulators are many; half the sandbox's usual limit is still
  ** far above what a day of 336 customers needs. */
  O.Simulators.Limits.Cpu_Seconds = 5;
  CLI::App App{"zor_grade simulators|sorts [OPTIONS] CLASS\n"
               "Grades a class. simulators: each student's simulator of the ZOR day on the same battery\n"
               "of days, every day counted, the first failing day shrunk and explained. sorts: each\n"
               "student's Sort_Singly_Linked_List compiled with the kit's profiler, checked on every\n"
               "kind of list, its growth judged and its time ranked against the kit's merge sort.\n"
               "Writes, in the output folder: grades.csv, canvas.csv and moodle.csv (gradebook imports),\n"
               "feedback/ID.txt (what each student may see) and report.html; a rerun grades only the\n"
               "submissions that changed.",
               "zor_grade"};
  App.require_subcommand(1, 1);
  CLI::App* Simulators = App.add_subcommand("simulators", "grade simulators of the ZOR day");
  int64_t Memory_Mib = O.Simulators.Limits.Memory_Bytes >> 20;
  Add_Simulator_Options(Simulators, &O, &Memory_Mib);
  CLI::App* Sorts = App.add_subcommand("sorts", "grade routines that sort a singly linked list");
  Add_Sort_Options(Sorts, &O);
  App.set_version_flag("--version", "zor_grade (ZOR kit) " ZOR_KIT_VERSION);
  App.footer("Examples:\n"
             "  zor_grade simulators --secret 'autumn tide' --build make -o grading submissions/\n"
             "  zor_grade sorts --k 10 --x 32 -o sort_grading submissions/\n"
             "  zor_grade simulators --gradescope -o /autograder/results /autograder/submission\n"
             "Exit status: 0 every student graded and the files written (whatever the grades); 2 trouble:\n"
             "a bad option, a class that cannot be read, a file that cannot be written.\n"
             "See zor_grade(1) for the columns of each file.");
  try {
    App.parse(Argc, Argv);
  } catch (const CLI::Success& Done) {
    std::exit(App.exit(Done));
  } catch (const CLI::ParseError& Error) {
    Trouble(std::string(Error.what()) + " (see --help)");
  }
  O.Sorting = Sorts->parsed();
  O.Simulators.Seed = !O.Secret.empty() ? Seed_Of_Phrase(O.Secret) : O.Seed > 0 ? uint32_t(O.Seed) : 1;
  O.Simulators.Limits.Wall_Seconds = 3 * O.Simulators.Limits.Cpu_Seconds;
  O.Simulators.Limits.Memory_Bytes = Memory_Mib << 20;
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
std::string Settings_Text(const Options& O) {
  char Text[300];
  if (O.Sorting) {
    const Sort_Settings& Z = O.Sorts;
    std::snprintf(Text, sizeof Text, "sorts %s k=%d x=%d limit=%g check=%lld items=%lld points=%g build-limit=%g\n",
                  ZOR_KIT_VERSION, Z.K, Z.X, Z.Time_Limit, static_cast<long long>(Z.Check_Items),
                  static_cast<long long>(Z.Max_Items), Z.Points, Z.Build_Time_Limit);
    return Text + Z.Library + "\n" + Z.Include + "\n";
  }
  const Simulator_Settings& Z = O.Simulators;
  std::snprintf(Text, sizeof Text, "simulators %s days=%d seed=%u limit=%g points=%g build-limit=%g\n",
                ZOR_KIT_VERSION, Z.Days, Z.Seed, Z.Limits.Cpu_Seconds, Z.Points, Z.Build_Time_Limit);
  return Text + Z.Build + "\n";
}

std::string Battery_Sentence(const Options& O) {
  const Simulator_Settings& Z = O.Simulators;
  int Made_Up = std::min(Z.Days, Made_Up_Days());
  char Text[300];
  std::snprintf(Text, sizeof Text, "A battery of %d days (%d made up, %d generated), %s; at most %g s per day.",
                Z.Days, Made_Up, Z.Days - Made_Up,
                !O.Secret.empty() ? "drawn from the secret phrase"
                : O.Seed > 0      ? "drawn from the seed given"
                                  : "the public battery (seed 1), which students can test with",
                Z.Limits.Cpu_Seconds);
  return Text;
}

std::string Sort_Sentence(const Options& O) {
  const Sort_Settings& Z = O.Sorts;
  char Text[300];
  std::snprintf(Text, sizeof Text, "Each routine checked on every kind of list up to %lld items, then timed against "
                "the kit's merge sort up to %lld items, one routine at a time; at most %g s per sort.",
                static_cast<long long>(Z.Check_Items), static_cast<long long>(Z.Max_Items), Z.Time_Limit);
  return Text;
}

std::vector<Battery_Note> Battery_Notes(const Simulator_Settings& Z) {
  std::vector<Battery_Note> Notes;
  for (int I = 0; I < Z.Days; I++) {
    Trial_Day T = Battery_Day(I, Z.Seed);
    std::string Outside = Why_Not_Drawn(T.Day);
    if (I < Made_Up_Days() || !Outside.empty()) Notes.push_back({I + 1, Label_Without_Seed(T.What), Outside, I < Made_Up_Days()});
  }
  return Notes;
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

/* The sandbox started before any thread runs a program; what it gives is
** said on standard error, since it changes what a failure means. */
void Start_Sandbox(const Options& O, const std::string& Scratch) {
  std::string Said, Refusal;
  if (!Sandbox_Start(Mode_Named(O.Sandbox), &Said, &Refusal)) {
    Remove_Tree(Scratch);
    Trouble(Refusal);
  }
  std::fprintf(stderr, "zor_grade: %s\n", Said.c_str());
}

/* The kit's profiler library and header: the installed ones, else those
** of the build this program belongs to. */
void Find_Profiler_Library(Sort_Settings* Z) {
  std::error_code Error;
  bool Installed = fs::exists(ZOR_INSTALLED_PROFILE_LIBRARY, Error) && fs::exists(ZOR_INSTALLED_INCLUDE, Error);
  if (Z->Library.empty()) Z->Library = Installed ? ZOR_INSTALLED_PROFILE_LIBRARY : ZOR_BUILT_PROFILE_LIBRARY;
  if (Z->Include.empty()) Z->Include = Installed ? ZOR_INSTALLED_INCLUDE : ZOR_BUILT_INCLUDE;
  if (!fs::exists(Z->Library, Error)) Trouble("the profiler library " + Z->Library + " is missing (see --library)");
  if (fs::equivalent(Z->Library, ZOR_BUILT_PROFILE_LIBRARY, Error)) Z->Link_Flags = ZOR_BUILT_LINK_FLAGS;
  if (!fs::exists(Z->Include + "/sort_bench.h", Error)) Trouble("no sort_bench.h in " + Z->Include + " (see --include)");
  Z->Library = fs::absolute(Z->Library).string(), Z->Include = fs::absolute(Z->Include).string();
}

std::vector<Student_Grade> Grade_Class(const Options& O, const std::vector<Student>& Students, Class_Run* Run) {
  return O.Sorting ? Grade_Sort_Class(Students, O.Sorts, O.Jobs, Run)
                   : Grade_Simulator_Class(Students, O.Simulators, Run);
}

int Grade_Gradescope(const Options& O) {
  Student S{fs::absolute(O.Class).filename().string(), fs::absolute(O.Class).lexically_normal().string(), ""};
  if (!Valid_Student_Id(S.Id)) S.Id = "submission";
  Make_Folder(O.Out);
  Class_Run Run{"", true, Settings_Text(O), 0};
  Student_Grade G = Grade_Class(O, {S}, &Run)[0];
  Gradebook_Names N{O.Sorting ? "sorts" : "simulators", O.Assignment, O.Canvas_Match, O.Points};
  if (!Write_Gradescope(O.Out + "/results.json", G, N)) Trouble("cannot write " + O.Out + "/results.json");
  std::printf("zor_grade: %s %s, %.1f of %g; %s/results.json written\n", S.Id.c_str(), G.Verdict.c_str(), G.Score,
              O.Points, O.Out.c_str());
  return 0;
}

void Write_Outputs(const Options& O, const std::vector<Student_Grade>& Grades) {
  Gradebook_Names N{O.Sorting ? "sorts" : "simulators", O.Assignment, O.Canvas_Match, O.Points};
  std::error_code Error;
  for (const Student_Grade& G : Grades) {
    if (!Write_Feedback(O.Out + "/feedback", G)) Trouble("cannot write " + O.Out + "/feedback/" + G.Id + ".txt");
    if (G.Shrunk_Size < 0) fs::remove_all(O.Out + "/feedback/" + G.Id + ".day", Error);
  }
  Report_Facts F{O.Sorting, O.Sorting ? "ZOR sorts: the class's grades" : "ZOR simulators: the class's grades",
                 O.Sorting ? Sort_Sentence(O) : Battery_Sentence(O), O.Points,
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

}  // namespace

int main(int Argc, char** Argv) {
  /* Grades are personal data and submissions are students' own work: no
  ** file or folder the grader makes is open to anyone else. */
  umask(077);
  Options O = Take_Options(Argc, Argv);
  if (O.Sorting) Find_Profiler_Library(&O.Sorts);
  std::vector<Student> Students;
  std::string Problem;
  if (!O.Gradescope && !Read_Class(O.Class, &Students, &Problem)) Trouble(Problem);
  std::string State_Folder = O.Gradescope ? "" : Prepare_Output(O);
  O.Simulators.Scratch = O.Sorts.Scratch = Make_Scratch();
  /* Stopped, the tool ends the runs and removes its scratch folder before
  ** the signal ends it. */
  Sandbox_Stop_On_Signals([Scratch = O.Simulators.Scratch]() {
    Stop_Trials();
    Remove_Tree(Scratch);
  });
  Start_Sandbox(O, O.Simulators.Scratch);
  O.Simulators.Feedback_Folder = O.Gradescope ? "" : O.Out + "/feedback";
  int Status = 0;
  if (O.Gradescope) {
    Status = Grade_Gradescope(O);
  } else {
    Class_Run Run{State_Folder, O.Again, Settings_Text(O), 0};
    std::vector<Student_Grade> Grades = Grade_Class(O, Students, &Run);
    Write_Outputs(O, Grades);
    std::printf("zor_grade: %zu student%s, %zu graded now, %zu unchanged since the last run; see %s/report.html\n",
                Students.size(), Students.size() == 1 ? "" : "s", Run.Graded, Students.size() - Run.Graded,
                O.Out.c_str());
  }
  if (!Remove_Tree(O.Simulators.Scratch))
    std::fprintf(stderr, "zor_grade: %s could not be removed entirely\n", O.Simulators.Scratch.c_str());
  Sandbox_Finish();
  return Status;
}
