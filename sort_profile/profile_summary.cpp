/*
** profile_summary.cpp
** The summary file.
*/
#include "sort_profile/profile_summary.h"

#include <cstdio>

#include "common/staged_file.h"

bool Write_Profile_Summary(const std::string& Path, const Correctness_Result& C, const Series_Result* Timing) {
  Staged_File F;
  if (!Begin_Staged_File(&F, Path.c_str())) return false;
  std::fprintf(F.Out, "sort_profile summary 1\ncorrectness %s\ncases %d\n", C.Passed ? "passed" : "failed", C.Cases);
  std::string Fault = !C.Passed ? C.Fault : Timing != nullptr && !Timing->Finished ? Timing->Fault : "";
  Fault_Kind Kind = !C.Passed ? C.Kind : Timing != nullptr ? Timing->Kind : Fault_Wrong_List;
  /* Its first line: the verdict. What the child printed last, under it,
  ** is in the report, not in a line a program reads. */
  Fault = Fault.substr(0, Fault.find_first_of("\r\n"));
  if (!Fault.empty()) std::fprintf(F.Out, "fault %s\nfault_kind %s\n", Fault.c_str(), Fault_Kind_Name[Kind]);
  std::fprintf(F.Out, "timing %s\n", Timing == nullptr ? "not-run" : Timing->Finished ? "done" : "failed");
  if (Timing != nullptr && Timing->Finished) {
    Growth_Summary S = Summarise_Growth(*Timing);
    for (int Order = 0; Order < Number_Of_Orders; Order++) {
      if (Timing->Points[Order].empty()) continue;
      std::fprintf(F.Out, "growth %s %s\ntime_ratio %s %.4f\n", Order_Name[Order],
                   Verdict_Words(S.Verdict[Order]).c_str(), Order_Name[Order], S.Time_Ratio[Order]);
      /* A line of its own after the older ones, so that a reader that
      ** knows only those still finds them where they were. */
      const Middle_Half& Speed = S.Speed[Order];
      std::fprintf(F.Out, "speed %s %.4f %.4f %.4f\n", Order_Name[Order], Speed.Median, Speed.Low, Speed.High);
    }
    std::fprintf(F.Out, "layout %.4f %.4f\n", S.Routine_Layout_Ratio, S.Reference_Layout_Ratio);
  }
  return Finish_Staged_File(&F, Path.c_str());
}
