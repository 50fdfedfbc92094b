/*
** class_grading.cpp
** The class's students through the graders, with reruns and progress.
*/
#include "grade/class_grading.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "common/elapsed.h"
#include "common/progress_line.h"
#include "common/refusal.h"
#include "grade/content_hash.h"
#include "grade/submission_copy.h"
#include "sandbox/sandbox.h"

namespace {

/* The grade saved for S by an earlier run, if the submission and the
** settings are as they were then. */
bool Saved_Grade(const Class_Run& Run, const Student& S, const std::string& Hash, Student_Grade* G) {
  return !Run.Again && !Run.State_Folder.empty() && Load_Grade(Run.State_Folder + "/" + S.Id, G) && G->Hash == Hash &&
         G->Id == S.Id;
}

/* A grade made while the tool was being stopped holds runs the stop
** ended: kept, a rerun would take it as graded. */
void Save(const Class_Run& Run, const Student_Grade& G) {
  Sandbox_Wait_If_Stopped();
  std::string Path = Run.State_Folder + "/" + G.Id;
  if (!Run.State_Folder.empty() && !Save_Grade(Path, G)) Refuse_And_Exit("zor_grade", ("cannot write " + Path).c_str());
}

/* The time left at the pace of the students graded so far (those taken
** as saved cost nothing), the current one counted by its part done. */
double Seconds_Left(const Progress_Line& P, double Graded, double Still) {
  return Graded > 0 ? Progress_Seconds(P) / Graded * Still : 0;
}

/* Builds and checks every routine, Jobs at once; a grade that passed is
** left "correct", its profiler in its build folder. Fresh is a byte per
** student, not a std::vector<bool>: its bits share words, and two
** threads setting neighbours' bits would race. */
void Check_All(const std::vector<Student>& Students, const Sort_Settings& Z, int Jobs, Class_Run* Run,
               std::vector<Student_Grade>* Grades, std::vector<char>* Fresh, Progress_Line* P) {
  std::atomic<size_t> Next{0}, Done{0}, Graded{0};
  auto Worker = [&]() {
    for (size_t I; (I = Next.fetch_add(1)) < Students.size(); Done.fetch_add(1)) {
      const Student& S = Students[I];
      auto Started = std::chrono::steady_clock::now();
      std::string Hash = Submission_Hash(S.Folder, Run->Settings);
      Student_Grade& G = (*Grades)[I];
      if (Saved_Grade(*Run, S, Hash, &G)) continue;
      G = Check_Sort_Routine(S, Z);
      G.Hash = Hash, G.Seconds = Seconds_Since(Started);
      (*Fresh)[I] = true;
      Graded.fetch_add(1);
    }
  };
  std::vector<std::thread> Pool;
  for (int J = 0; J < std::max(1, Jobs); J++) Pool.emplace_back(Worker);
  while (Done.load() < Students.size()) {
    Show_Progress_Line(P, "zor_grade: building and checking, %zu of %zu students done; about %.0f s left", Done.load(),
                       Students.size(), Seconds_Left(*P, double(Graded.load()), double(Students.size() - Done.load())));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  for (std::thread& T : Pool) T.join();
  Run->Graded = Graded.load();
}

}  // namespace

std::vector<Student_Grade> Grade_Simulator_Class(const std::vector<Student>& Students, const Simulator_Settings& Z,
                                                 Class_Run* Run) {
  Progress_Line P = Start_Progress_Line();
  std::vector<Student_Grade> Grades;
  for (const Student& S : Students) {
    std::string Hash = Submission_Hash(S.Folder, Run->Settings + S.Command);
    Student_Grade G;
    if (!Saved_Grade(*Run, S, Hash, &G)) {
      size_t Done = Grades.size();
      G = Grade_Simulator(S, Z, [&](int Day, int Days) {
        double Part = Days > 0 ? double(Day) / Days : 0;
        Show_Progress_Line(&P, "zor_grade: %zu of %zu students done; now %s, day %d of %d; about %.0f s left", Done,
                           Students.size(), S.Id.c_str(), Day, Days,
                           Seconds_Left(P, double(Run->Graded) + Part, double(Students.size() - Done) - Part));
      });
      G.Hash = Hash;
      Run->Graded++;
      Save(*Run, G);
    }
    Grades.push_back(G);
  }
  Clear_Progress_Line(&P);
  return Grades;
}

std::vector<Student_Grade> Grade_Sort_Class(const std::vector<Student>& Students, const Sort_Settings& Z, int Jobs,
                                            Class_Run* Run) {
  Progress_Line P = Start_Progress_Line();
  std::vector<Student_Grade> Grades(Students.size());
  std::vector<char> Fresh(Students.size(), false);
  Check_All(Students, Z, Jobs, Run, &Grades, &Fresh, &P);
  /* Timing one routine at a time, so that no student's timing slows another's. */
  size_t To_Time = static_cast<size_t>(std::count_if(Grades.begin(), Grades.end(),
                                                     [](const Student_Grade& G) { return G.Verdict == "correct"; }));
  size_t Timed = 0;
  auto Timing_Started = std::chrono::steady_clock::now();
  for (size_t I = 0; I < Grades.size(); I++) {
    Student_Grade& G = Grades[I];
    if (G.Verdict == "correct") {
      double Each = Timed > 0 ? Seconds_Since(Timing_Started) / double(Timed) : 0;
      Show_Progress_Line(&P, "zor_grade: timing %zu of %zu routines, one at a time; now %s; about %.0f s left",
                         Timed + 1, To_Time, G.Id.c_str(), Each * double(To_Time - Timed));
      auto Started = std::chrono::steady_clock::now();
      Time_Sort_Routine(Z, &G);
      G.Seconds += Seconds_Since(Started);
      Timed++;
    }
    if (Fresh[I]) Save(*Run, G);
    /* Not G.Work: a grade taken as saved has none, and its folders were never made. */
    if (Fresh[I]) Drop_Student_Copies(Z.Scratch, G.Id);
  }
  Clear_Progress_Line(&P);
  Rank_By_Time(&Grades);
  int Ranked = static_cast<int>(std::count_if(Grades.begin(), Grades.end(), [](const Student_Grade& G) { return G.Rank > 0; }));
  for (Student_Grade& G : Grades) Compose_Sort_Feedback(&G, Z, Ranked);
  return Grades;
}
