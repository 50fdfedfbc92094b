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
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>
#include <pthread.h>
#include <sys/stat.h>

#include "common/progress_line.h"
#include "common/refusal.h"
#include "common/whole_file.h"
#include "common/zor_kit_version.h"
#include "grade/battery_notes.h"
#include "grade/class_list.h"
#include "grade/content_hash.h"
#include "grade/grade_files.h"
#include "grade/grade_report.h"
#include "grade/simulator_grading.h"
#include "sandbox/sandbox.h"
#include "simulator_checker/battery.h"
#include "simulator_checker/trial.h"

namespace {

namespace fs = std::filesystem;

struct Options {
  std::string Sandbox = "auto";
  std::string Class;
  std::string Out = "grading";
  bool Again = false, Gradescope = false;
  std::string Secret;
  int64_t Seed = -1;  // -1: none given
  std::string Assignment = "ZOR simulator";
  std::string Canvas_Match = "SIS Login ID";
  Simulator_Settings Simulators;
};

[[noreturn]] void Trouble(const std::string& Message) { Refuse_And_Exit("zor_grade", Message.c_str()); }

/* The signals that stop a run: held in every thread, and taken by one
** that ends the runs in progress, removes the scratch folder, and lets
** the signal end the process as it would have. A signal the tool was
** started ignoring (nohup's SIGHUP) stays ignored. */
sigset_t Stop_Signals() {
  sigset_t Set;
  sigemptyset(&Set);
  for (int Signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction Now;
    if (sigaction(Signal, nullptr, &Now) == 0 && Now.sa_handler != SIG_IGN) sigaddset(&Set, Signal);
  }
  return Set;
}

void Watch_For_Stop(std::string Scratch) {
  sigset_t Set = Stop_Signals();
  int Signal = 0;
  if (sigwait(&Set, &Signal) != 0) return;
  Stop_Trials();
  Remove_Tree(Scratch);
  Sandbox_Finish();
  std::signal(Signal, SIG_DFL);
  pthread_sigmask(SIG_UNBLOCK, &Set, nullptr);
  raise(Signal);
  _exit(128 + Signal);
}

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

void Add_Simulator_Options(CLI::App* Sub, Options* O, int64_t* Memory_Mib) {
  Simulator_Settings& S = O->Simulators;
  Sub->add_option("CLASS", O->Class, "the class folder (a folder per student, named by the student's identifier),\n"
                  "a CSV manifest (identifier,folder[,command]), or with --gradescope one submission's folder")
      ->required();
  Sub->add_option("-o,--out", O->Out, "the output folder (made if missing)")->capture_default_str();
  Sub->add_flag("--again", O->Again, "grade every student again, even those whose submission did not change");
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
  Sub->add_option("--sandbox", O->Sandbox,
                  "auto: contain every run of a student's code as far as this machine allows, and say what\n"
                  "is missing; required: refuse to run (exit 2) unless every run is boxed; off: plain processes")
      ->capture_default_str()
      ->check(CLI::IsMember({"auto", "required", "off"}));
  Sub->add_option("--build", S.Build, "a shell command that builds each submission in a copy of its folder,\n"
                  "e.g. 'make' or 'cc -O2 -o simulator *.c'; it must leave an executable named simulator");
  Sub->add_option("--build-time-limit", S.Build_Time_Limit, "seconds a build may take")
      ->capture_default_str()
      ->check(CLI::Range(1.0, 3600.0));
  Sub->add_option("--jobs", S.Jobs, "days run at once, 1 .. 256 (default: twice the cores)")->check(CLI::Range(1, 256));
  Sub->add_option("--points", S.Points, "the score of a simulator that follows the model on every day")
      ->capture_default_str()
      ->check(CLI::Range(1.0, 100000.0));
  Sub->add_option("--assignment", O->Assignment, "the grade column's name in canvas.csv and moodle.csv")
      ->capture_default_str();
  Sub->add_option("--canvas-match", O->Canvas_Match, "the column of canvas.csv that holds the identifier")
      ->capture_default_str()
      ->check(CLI::IsMember({"ID", "SIS User ID", "SIS Login ID"}));
  Sub->add_flag("--gradescope", O->Gradescope, "grade the one submission CLASS into OUT/results.json, as\n"
                "Gradescope's run_autograder wants it");
}

/* The options; a bad one ends the run with exit status 2, --help and
** --version with 0. */
Options Take_Options(int Argc, char** Argv) {
  Options O;
  /* A day's run is mostly a process starting and ending, which leaves a
  ** core idle: twice as many runs as cores keep the cores busy. */
  O.Simulators.Jobs = static_cast<int>(2 * std::max(1u, std::thread::hardware_concurrency()));
  CLI::App App{"zor_grade simulators [OPTIONS] CLASS\n"
               "Grades a class's simulators of the ZOR day: each student's program on the same battery\n"
               "of days, every day counted, the first failing day shrunk and explained. Writes, in the\n"
               "output folder: grades.csv, canvas.csv and moodle.csv (gradebook imports), feedback/ID.txt\n"
               "(what each student may see) and report.html; a rerun grades only changed submissions.",
               "zor_grade"};
  App.require_subcommand(1, 1);
  CLI::App* Simulators = App.add_subcommand("simulators", "grade simulators of the ZOR day");
  int64_t Memory_Mib = O.Simulators.Limits.Memory_Bytes >> 20;
  Add_Simulator_Options(Simulators, &O, &Memory_Mib);
  App.set_version_flag("--version", "zor_grade (ZOR kit) " ZOR_KIT_VERSION);
  App.footer("Examples:\n"
             "  zor_grade simulators --secret 'autumn tide' --build make -o grading submissions/\n"
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
  O.Simulators.Seed = !O.Secret.empty() ? Seed_Of_Phrase(O.Secret) : O.Seed > 0 ? uint32_t(O.Seed) : 1;
  O.Simulators.Limits.Wall_Seconds = 3 * O.Simulators.Limits.Cpu_Seconds;
  O.Simulators.Limits.Memory_Bytes = Memory_Mib << 20;
  return O;
}

/* What a grade depends on besides the submission: a change reruns all. */
std::string Settings_Text(const Options& O, const Student& S) {
  const Simulator_Settings& Z = O.Simulators;
  char Text[160];
  std::snprintf(Text, sizeof Text, "simulators %s days=%d seed=%u limit=%g points=%g build-limit=%g\n",
                ZOR_KIT_VERSION, Z.Days, Z.Seed, Z.Limits.Cpu_Seconds, Z.Points, Z.Build_Time_Limit);
  return Text + Z.Build + "\n" + S.Command + "\n";
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

std::vector<Battery_Note> Battery_Notes(const Simulator_Settings& Z) {
  std::vector<Battery_Note> Notes;
  for (int I = 0; I < Z.Days; I++) {
    Trial_Day T = Battery_Day(I, Z.Seed);
    std::string Outside = Why_Not_Drawn(T.Day);
    if (I < Made_Up_Days() || !Outside.empty()) Notes.push_back({I + 1, Label_Without_Seed(T.What), Outside, I < Made_Up_Days()});
  }
  return Notes;
}

struct Run_State {
  Progress_Line Progress;
  size_t Done = 0, Total = 0, Graded = 0;
  double Grading_Seconds = 0;  // spent on students graded, not taken as they were
};

/* The time left, at the pace of the students graded so far (those taken
** as they were cost nothing), the current one counted by its days. */
void Show_Student_Progress(Run_State* R, const std::string& Id, int Day, int Days) {
  double Graded = double(R->Graded) + (Days > 0 ? double(Day) / Days : 0);
  double Still = double(R->Total - R->Done) - (Graded - double(R->Graded));
  double Left = Graded > 0 ? Progress_Seconds(R->Progress) / Graded * Still : 0;
  Show_Progress_Line(&R->Progress, "zor_grade: %zu of %zu students done; now %s, day %d of %d; about %.0f s left",
                     R->Done, R->Total, Id.c_str(), Day, Days, Left);
}

/* One student's grade: taken from the last run when neither the
** submission nor the settings changed, else graded now and saved. */
Student_Grade Grade_Student(const Options& O, const Student& S, const std::string& State_Folder, Run_State* R) {
  std::string Hash = Submission_Hash(S.Folder, Settings_Text(O, S));
  std::string State = State_Folder + "/" + S.Id;
  Student_Grade G;
  if (!O.Again && !State_Folder.empty() && Load_Grade(State, &G) && G.Hash == Hash && G.Id == S.Id) return G;
  G = Grade_Simulator(S, O.Simulators, [&](int Day, int Days) { Show_Student_Progress(R, S.Id, Day, Days); });
  G.Hash = Hash;
  R->Graded++;
  if (!State_Folder.empty() && !Save_Grade(State, G)) Trouble("cannot write " + State);
  return G;
}

void Make_Folder(const std::string& Folder) {
  std::error_code Error;
  fs::create_directories(Folder, Error);
  if (!fs::is_directory(Folder, Error)) Trouble("cannot make the folder " + Folder);
}

/* The private scratch folder for builds and trials, removed at the end. */
std::string Make_Scratch() {
  std::error_code Error;
  /* Searchable by others: a box's user reaches its folder through it. */
  std::string Scratch = (fs::temp_directory_path(Error) / "zor_grade.XXXXXX").string();
  if (mkdtemp(Scratch.data()) == nullptr || chmod(Scratch.c_str(), 0711) != 0)
    Trouble("cannot make a scratch folder in " + fs::temp_directory_path(Error).string());
  return Scratch;
}

/* The sandbox started before any thread runs a program; what it gives is
** said on standard error, since it changes what a failure means. */
void Start_Sandbox(const Options& O) {
  std::string Said, Refusal;
  if (!Sandbox_Start(Mode_Named(O.Sandbox), &Said, &Refusal)) {
    Remove_Tree(O.Simulators.Scratch);
    Trouble(Refusal);
  }
  std::fprintf(stderr, "zor_grade: %s\n", Said.c_str());
}

int Grade_Gradescope(Options& O) {
  Student S{fs::absolute(O.Class).filename().string(), fs::absolute(O.Class).lexically_normal().string(), ""};
  if (!Valid_Student_Id(S.Id)) S.Id = "submission";
  Make_Folder(O.Out);
  Run_State R;
  R.Progress = Start_Progress_Line(), R.Total = 1;
  Student_Grade G = Grade_Student(O, S, "", &R);
  Clear_Progress_Line(&R.Progress);
  Gradebook_Names N{"simulators", O.Assignment, O.Canvas_Match, O.Simulators.Points};
  if (!Write_Gradescope(O.Out + "/results.json", G, N)) Trouble("cannot write " + O.Out + "/results.json");
  std::printf("zor_grade: %s %s, %.1f of %g; %s/results.json written\n", S.Id.c_str(), G.Verdict.c_str(), G.Score,
              O.Simulators.Points, O.Out.c_str());
  return 0;
}

void Write_Outputs(const Options& O, const std::vector<Student_Grade>& Grades) {
  Gradebook_Names N{"simulators", O.Assignment, O.Canvas_Match, O.Simulators.Points};
  std::error_code Error;
  for (const Student_Grade& G : Grades) {
    if (!Write_Feedback(O.Out + "/feedback", G)) Trouble("cannot write " + O.Out + "/feedback/" + G.Id + ".txt");
    if (G.Shrunk_Size < 0) fs::remove_all(O.Out + "/feedback/" + G.Id + ".day", Error);
  }
  Report_Facts F{"ZOR simulators: the class's grades", Battery_Sentence(O), O.Simulators.Points,
                 Battery_Notes(O.Simulators)};
  const std::pair<std::string, bool> Files[] = {
      {"grades.csv", Write_Grades_Csv(O.Out + "/grades.csv", Grades, N)},
      {"canvas.csv", Write_Canvas_Csv(O.Out + "/canvas.csv", Grades, N)},
      {"moodle.csv", Write_Moodle_Csv(O.Out + "/moodle.csv", Grades, N)},
      {"report.html", Write_Report(O.Out + "/report.html", F, Grades)}};
  for (const auto& [Name, Written] : Files)
    if (!Written) Trouble("cannot write " + O.Out + "/" + Name);
}

}  // namespace

int main(int Argc, char** Argv) {
  Options O = Take_Options(Argc, Argv);
  std::vector<Student> Students;
  std::string Problem, State_Folder;
  if (!O.Gradescope) {
    if (!Read_Class(O.Class, &Students, &Problem)) Trouble(Problem);
    State_Folder = O.Out + "/.zor_grade/simulators";
    for (const std::string& Folder : {O.Out + "/feedback", State_Folder}) Make_Folder(Folder);
    O.Simulators.Feedback_Folder = O.Out + "/feedback";
  }
  O.Simulators.Scratch = Make_Scratch();
  sigset_t Stop = Stop_Signals();
  pthread_sigmask(SIG_BLOCK, &Stop, nullptr);
  std::thread(Watch_For_Stop, O.Simulators.Scratch).detach();
  Start_Sandbox(O);
  if (O.Gradescope) {
    int Status = Grade_Gradescope(O);
    Remove_Tree(O.Simulators.Scratch);
    Sandbox_Finish();
    return Status;
  }
  Run_State R;
  R.Progress = Start_Progress_Line(), R.Total = Students.size();
  std::vector<Student_Grade> Grades;
  for (const Student& S : Students) {
    Grades.push_back(Grade_Student(O, S, State_Folder, &R));
    R.Done++;
  }
  Clear_Progress_Line(&R.Progress);
  Remove_Tree(O.Simulators.Scratch);
  Sandbox_Finish();
  Write_Outputs(O, Grades);
  std::printf("zor_grade: %zu student%s, %zu graded now, %zu unchanged since the last run; see %s/report.html\n",
              Students.size(), Students.size() == 1 ? "" : "s", R.Graded, Students.size() - R.Graded, O.Out.c_str());
  return 0;
}
