/*
** study_runs.cpp
** One staffing, and the search, over days drawn by the generator's own
** code and simulated station by station.
**
** The search never simulates a station more than it must: each day is
** drawn, and the stations before the one judged simulated at their chosen
** counts, once for all the counts tried; the station judged is simulated
** at each count in turn (once a count leaves nobody waiting, every larger
** count gives the same day), and the stations after it only to find when
** the day's last service ends, which a station's utilisation is measured
** against, mostly without queueing anyone.
*/
#include "study/study_runs.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "simulator/station_run.h"
#include "workload_maker/draw_day.h"

namespace {

/* What one thread reuses from day to day. */
struct Thread_State {
  Customer_Parameters Day[Max_Day_Customers];
  int32_t Count = 0;
  Station_Scratch Scratch;
  std::vector<int32_t> Left, Left_After, Left_Kept, Left_Down;
  std::vector<uint64_t> Arrivals;  // at the station searched
  Visits_After After;              // the visits after it
};

void Draw_Study_Day(Thread_State& T, const Study_Load& L, int32_t Day) {
  Random_Stream Stream{L.First_Seed + Day, 0, 0};
  T.Count = Draw_Day_Fast(&Stream, L.Per_Slot, T.Day);
  T.Left.resize(static_cast<size_t>(T.Count));
  int32_t Now = 0;
  for (int32_t C = 0; C < T.Count; C++) T.Left[static_cast<size_t>(C)] = Now += T.Day[C].Interarrival_Time;
}

Station_Day Day_At(int32_t Visits, int64_t Total_Wait, int32_t Max_Wait, int64_t Busy_Time, int32_t Servers,
                   int32_t Last_Departure) {
  double Capacity = double(Servers) * Last_Departure;
  return Station_Day{Visits, Max_Wait, Visits > 0 ? double(Total_Wait) / Visits : 0.0,
                     Capacity > 0 ? double(Busy_Time) / Capacity : 0.0};
}

struct Staffing_Day {
  Station_Day At[Number_Of_Stations];
  double Mean_Time_In_ZOR;
};

struct Candidate_Days {
  Station_Day At[Max_Servers];  // [c - 1]: the station at c servers
};

}  // namespace

Staffing_Result Run_Staffing(const Study_Load& L, const int32_t Servers[Number_Of_Stations], Progress_Line& P) {
  std::vector<Thread_State> State(static_cast<size_t>(L.Threads));
  Staffing_Result R{};
  for (int S = 0; S < Number_Of_Stations; S++) R.At[S].Servers = Servers[S];
  char What[64];
  std::snprintf(What, sizeof What, "servers %d,%d,%d", Servers[0], Servers[1], Servers[2]);
  For_Each_Day_In_Order(
      L.Days, L.Threads, sizeof(Staffing_Day), P, What,
      [&](int32_t Thread, int32_t Day, void* Record) {
        Thread_State& T = State[static_cast<size_t>(Thread)];
        Draw_Study_Day(T, L, Day);
        Day_Summary Summary;
        Simulate_Day_By_Station(T.Day, T.Count, Servers, nullptr, &Summary, &T.Scratch);
        Staffing_Day D;
        for (int S = 0; S < Number_Of_Stations; S++) {
          const Station_Summary& At = Summary.At[S];
          D.At[S] = Day_At(At.Visits, At.Total_Wait, At.Max_Wait, At.Busy_Time, At.Servers, Summary.Last_Departure);
        }
        D.Mean_Time_In_ZOR = T.Count > 0 ? double(Summary.Time_In_ZOR) / T.Count : 0.0;
        std::memcpy(Record, &D, sizeof D);
      },
      [&](int32_t, const void* Record) {
        Staffing_Day D;
        std::memcpy(&D, Record, sizeof D);
        for (int S = 0; S < Number_Of_Stations; S++) {
          Fold_Day(R.At[S], D.At[S]);
          if (D.At[S].Visits > 0) R.Highest_Day_Mean[S] = std::max(R.Highest_Day_Mean[S], D.At[S].Mean_Wait);
        }
        Fold_Value(R.Time_In_ZOR, D.Mean_Time_In_ZOR);
      });
  return R;
}

void Count_Day_Means(const Study_Load& L, const int32_t Servers[Number_Of_Stations],
                     const double Width[Number_Of_Stations], std::vector<double> Count[Number_Of_Stations], Progress_Line& P) {
  std::vector<Thread_State> State(static_cast<size_t>(L.Threads));
  For_Each_Day_In_Order(
      L.Days, L.Threads, sizeof(Station_Day) * Number_Of_Stations, P, "drawing the chart",
      [&](int32_t Thread, int32_t Day, void* Record) {
        Thread_State& T = State[static_cast<size_t>(Thread)];
        Draw_Study_Day(T, L, Day);
        Day_Summary Summary;
        Simulate_Day_By_Station(T.Day, T.Count, Servers, nullptr, &Summary, &T.Scratch);
        Station_Day D[Number_Of_Stations];
        for (int S = 0; S < Number_Of_Stations; S++) {
          const Station_Summary& At = Summary.At[S];
          D[S] = Day_At(At.Visits, At.Total_Wait, At.Max_Wait, At.Busy_Time, At.Servers, Summary.Last_Departure);
        }
        std::memcpy(Record, D, sizeof D);
      },
      [&](int32_t, const void* Record) {
        Station_Day D[Number_Of_Stations];
        std::memcpy(D, Record, sizeof D);
        for (int S = 0; S < Number_Of_Stations; S++) {
          if (D[S].Visits == 0) continue;
          size_t Bins = Count[S].size();
          Count[S][std::min(Bins - 1, static_cast<size_t>(D[S].Mean_Wait / Width[S]))] += 1;
        }
      });
}

bool Meets(const Station_Figures& F, const Search_Target& T) {
  if (F.Days_Visited == 0) return true;
  if (T.On_Days >= 0) return F.Share_Lower >= T.On_Days;
  return F.Mean_Wait.Defined && F.Mean_Wait.High <= T.Target_Wait;
}

namespace {

/* The stations a pass over the days tallies, each at counts From[S] ..
** To[S]; the stations before the first, and each tallied one for the
** stations after it, at Servers[S]; the stations after the one judged at
** Max_Servers, so that they cannot slow it. */
struct Search_Pass {
  int First_Station, Last_Station;
  int32_t Servers[Number_Of_Stations], From[Number_Of_Stations], To[Number_Of_Stations];
};

/* When the day's last service ends, with the customers leaving station S
** at Left[c] (none later than Left_Bound) and the stations after it at
** Max_Servers. */
int32_t Last_After(Thread_State& T, int S, const std::vector<int32_t>& Left, int32_t Left_Bound) {
  int32_t Last = Last_Departure_If_Nobody_Waits(&T.After, Max_Servers, Left.data(), Left_Bound);
  if (Last >= 0) return Last;
  T.Left_Down = Left;
  for (int Down = S + 1; Down < Number_Of_Stations; Down++) {
    Order_Arrivals(T.Day, T.Count, Down, T.Left_Down.data(), &T.Scratch.Order);
    Last = std::max(Last, Serve_Station(T.Day, Down, Max_Servers, T.Scratch.Order, T.Left_Down.data(), &T.Scratch)
                              .Last_Departure);
  }
  return Last;
}

/* One day of a pass: each tallied station at each of its counts (once a
** count leaves nobody waiting, every larger count gives the same day). */
void Search_Day(Thread_State& T, const Search_Pass& Pass, Candidate_Days Out[]) {
  int32_t Last_Before = 0;
  for (int Up = 0; Up < Pass.First_Station; Up++) {
    Order_Arrivals(T.Day, T.Count, Up, T.Left.data(), &T.Scratch.Order);
    Station_Work W = Serve_Station(T.Day, Up, Pass.Servers[Up], T.Scratch.Order, T.Left.data(), &T.Scratch);
    Last_Before = std::max(Last_Before, W.Last_Departure);
  }
  for (int S = Pass.First_Station; S <= Pass.Last_Station; S++) {
    Order_Arrivals(T.Day, T.Count, S, T.Left.data(), &T.Arrivals);
    Plan_Visits_After(T.Day, T.Count, S, &T.After);
    Candidate_Days& D = Out[S - Pass.First_Station];
    Station_Work W{}, At_Servers{};
    int32_t Last = 0;
    bool Kept = false;
    for (int32_t C = Pass.From[S]; C <= Pass.To[S]; C++) {
      if (C == Pass.From[S] || W.Total_Wait > 0) {
        T.Left_After = T.Left;
        W = Serve_Station(T.Day, S, C, T.Arrivals, T.Left_After.data(), &T.Scratch);
        Last = std::max(Last_Before, W.Last_Departure);
        Last = std::max(Last, Last_After(T, S, T.Left_After, Last));
      }
      D.At[C - 1] = Day_At(W.Visits, W.Total_Wait, W.Max_Wait, W.Busy_Time, C, Last);
      if (C == Pass.Servers[S] && S < Pass.Last_Station) T.Left_Kept = T.Left_After, At_Servers = W, Kept = true;
    }
    if (S == Pass.Last_Station) break;
    if (!Kept) {
      T.Left_Kept = T.Left;
      At_Servers = Serve_Station(T.Day, S, Pass.Servers[S], T.Arrivals, T.Left_Kept.data(), &T.Scratch);
    }
    std::swap(T.Left, T.Left_Kept);
    Last_Before = std::max(Last_Before, At_Servers.Last_Departure);
  }
}

/* Folds a pass over the first Days days into Tally. */
void Tally_Counts(const Study_Load& L, const Search_Pass& Pass, int32_t Days,
                  std::vector<Thread_State>& State, std::vector<Station_Tally> Tally[Number_Of_Stations], Progress_Line& P) {
  char What[64];
  if (Pass.First_Station == Pass.Last_Station) std::snprintf(What, sizeof What, "searching %s", Station_Name[Pass.First_Station]);
  else std::snprintf(What, sizeof What, "searching every station");
  const int Stations = Pass.Last_Station - Pass.First_Station + 1;
  For_Each_Day_In_Order(
      Days, L.Threads, sizeof(Candidate_Days) * static_cast<size_t>(Stations), P, What,
      [&](int32_t Thread, int32_t Day, void* Record) {
        Thread_State& T = State[static_cast<size_t>(Thread)];
        Draw_Study_Day(T, L, Day);
        Candidate_Days D[Number_Of_Stations];
        Search_Day(T, Pass, D);
        std::memcpy(Record, D, sizeof(Candidate_Days) * static_cast<size_t>(Stations));
      },
      [&](int32_t, const void* Record) {
        Candidate_Days D[Number_Of_Stations];
        std::memcpy(D, Record, sizeof(Candidate_Days) * static_cast<size_t>(Stations));
        for (int S = Pass.First_Station; S <= Pass.Last_Station; S++)
          for (int32_t C = Pass.From[S]; C <= Pass.To[S]; C++)
            Fold_Day(Tally[S][static_cast<size_t>(C - 1)], D[S - Pass.First_Station].At[C - 1]);
      });
}

/* The least count of 1 .. Tried whose figures meet the target, or 0. */
int32_t First_Meeting(const std::vector<Station_Tally>& Tally, int32_t Tried, const Search_Target& Target) {
  for (int32_t C = 1; C <= Tried; C++)
    if (Meets(Figures_Of(Tally[static_cast<size_t>(C - 1)]), Target)) return C;
  return 0;
}

std::vector<Station_Tally> Empty_Tallies(const Search_Target& Target) {
  std::vector<Station_Tally> Tally(Max_Servers);
  for (int32_t C = 1; C <= Max_Servers; C++)
    Tally[static_cast<size_t>(C - 1)].Servers = C, Tally[static_cast<size_t>(C - 1)].Target = Target.Target_Wait;
  return Tally;
}

/* The count the whole study will most likely choose, judged from a pilot
** of Pilot_Days: the pilot's intervals narrowed to the width the whole
** study's will have. Max_Servers when none would do. */
int32_t Likely_Choice(const std::vector<Station_Tally>& Pilot, const Search_Target& Target, int32_t Pilot_Days,
                      int32_t Days) {
  double Narrowed = std::sqrt(double(Pilot_Days) / Days);
  for (int32_t C = 1; C <= Max_Servers; C++) {
    Station_Figures F = Figures_Of(Pilot[static_cast<size_t>(C - 1)]);
    if (F.Days_Visited == 0) return C;
    if (Target.On_Days >= 0 ? F.Share_Meeting - (F.Share_Meeting - F.Share_Lower) * Narrowed >= Target.On_Days
                            : F.Mean_Wait.Defined &&
                                  F.Mean_Wait.Mean + (F.Mean_Wait.High - F.Mean_Wait.Mean) * Narrowed <= Target.Target_Wait)
      return C;
  }
  return Max_Servers;
}

}  // namespace

/* Each station is judged with the stations before it at their chosen
** counts, which are known only once the whole study has judged those. A
** pilot over the first few hundred days tells roughly where each count
** will fall, so that one pass over the days can judge every station at
** once, each with the stations before it at the counts the pilot made
** likely, and only at the counts up to a little past the pilot's choice.
** Whatever the pass guessed wrong is done again: a station whose stations
** before were chosen otherwise, or whose count lies further out. Every
** figure is the whole study's either way, so the result does not depend
** on the pilot, only the time it takes. */
Search_Result Run_Search(const Study_Load& L, const Search_Target& Target, Progress_Line& P) {
  constexpr int32_t Pilot_Days = 512, Pilot_Margin = 1;
  Search_Result R{};
  std::vector<Thread_State> State(static_cast<size_t>(L.Threads));
  std::vector<Station_Tally> Tally[Number_Of_Stations];
  Search_Pass Whole{0, Number_Of_Stations - 1, {}, {}, {}};
  bool Judged[Number_Of_Stations] = {};
  if (L.Days > 2 * Pilot_Days) {
    for (int S = 0; S < Number_Of_Stations; S++) {
      std::vector<Station_Tally> Pilot[Number_Of_Stations];
      Pilot[S] = Empty_Tallies(Target);
      Search_Pass One{S, S, {}, {}, {}};
      std::copy(Whole.Servers, Whole.Servers + S, One.Servers);
      One.From[S] = 1, One.To[S] = Max_Servers;
      Tally_Counts(L, One, Pilot_Days, State, Pilot, P);
      int32_t Guess = First_Meeting(Pilot[S], Max_Servers, Target);
      Whole.From[S] = 1;
      Whole.To[S] = Guess > 0 ? std::min(Max_Servers, Guess + Pilot_Margin) : Max_Servers;
      Whole.Servers[S] = std::min(Whole.To[S], Likely_Choice(Pilot[S], Target, Pilot_Days, L.Days));
      Tally[S] = Empty_Tallies(Target);
    }
    Tally_Counts(L, Whole, L.Days, State, Tally, P);
    std::fill(Judged, Judged + Number_Of_Stations, true);
  }
  int32_t Servers[Number_Of_Stations] = {Max_Servers, Max_Servers, Max_Servers};
  bool As_Guessed = true;  // the stations judged so far were chosen as the pass assumed
  for (int S = 0; S < Number_Of_Stations; S++) {
    Search_Pass One{S, S, {}, {}, {}};
    std::copy(Servers, Servers + S, One.Servers);
    int32_t Reach = Judged[S] ? Whole.To[S] : Max_Servers;
    if (!(Judged[S] && As_Guessed)) {
      Tally[S] = Empty_Tallies(Target);
      One.From[S] = 1, One.To[S] = Reach;
      Tally_Counts(L, One, L.Days, State, Tally, P);
    }
    int32_t Chosen = First_Meeting(Tally[S], Reach, Target);
    if (Chosen == 0 && Reach < Max_Servers) {
      One.From[S] = Reach + 1, One.To[S] = Max_Servers;
      Tally_Counts(L, One, L.Days, State, Tally, P);
      Chosen = First_Meeting(Tally[S], Max_Servers, Target);
    }
    for (int32_t C = 1; C <= (Chosen > 0 ? Chosen : Max_Servers); C++)
      R.Tried[S].push_back(Figures_Of(Tally[S][static_cast<size_t>(C - 1)]));
    R.Chosen[S] = Chosen;
    Servers[S] = Chosen > 0 ? Chosen : Max_Servers;
    As_Guessed = As_Guessed && Judged[S] && Servers[S] == Whole.Servers[S];
  }
  return R;
}
