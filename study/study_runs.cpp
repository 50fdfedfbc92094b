/*
** study_runs.cpp
** One staffing, and the search, over days drawn by the generator's own
** code and simulated station by station.
**
** The search never simulates a station more than it must: for station S,
** each day is drawn once and the stations before S are simulated once at
** their chosen counts; then S is simulated at each count in turn (once a
** count leaves nobody waiting, every larger count gives the same day), and
** the stations after S only to find when the day's last service ends,
** which a station's utilisation is measured against.
*/
#include "study_runs.h"

#include <algorithm>
#include <cstring>

#include "draw_day.h"
#include "station_run.h"

namespace {

/* What one thread reuses from day to day. */
struct Thread_State {
  Customer_Parameters Day[Max_Day_Customers];
  int32_t Count = 0;
  Station_Scratch Scratch;
  std::vector<int32_t> Left, Left_After;
  std::vector<uint64_t> Arrivals;  // at the station searched
};

void Draw(Thread_State& T, const Study_Load& L, int32_t Day) {
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

Staffing_Result Run_Staffing(const Study_Load& L, const int32_t Servers[Number_Of_Stations], Progress& P) {
  std::vector<Thread_State> State(static_cast<size_t>(L.Threads));
  Staffing_Result R{};
  for (int S = 0; S < Number_Of_Stations; S++) R.At[S].Servers = Servers[S];
  char What[64];
  std::snprintf(What, sizeof What, "servers %d,%d,%d", Servers[0], Servers[1], Servers[2]);
  For_Each_Day_In_Order(
      L.Days, L.Threads, sizeof(Staffing_Day), P, What,
      [&](int32_t Thread, int32_t Day, void* Record) {
        Thread_State& T = State[static_cast<size_t>(Thread)];
        Draw(T, L, Day);
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
                     const double Width[Number_Of_Stations], std::vector<double> Count[Number_Of_Stations], Progress& P) {
  std::vector<Thread_State> State(static_cast<size_t>(L.Threads));
  For_Each_Day_In_Order(
      L.Days, L.Threads, sizeof(Station_Day) * Number_Of_Stations, P, "drawing the chart",
      [&](int32_t Thread, int32_t Day, void* Record) {
        Thread_State& T = State[static_cast<size_t>(Thread)];
        Draw(T, L, Day);
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

/* The tallies of station S at counts From .. To over days First .. First +
** Days - 1, the stations before S at Servers, those after at Max_Servers. */
void Tally_Counts(const Study_Load& L, int S, const int32_t Servers[Number_Of_Stations], int32_t From, int32_t To,
                  int32_t First, int32_t Days, std::vector<Thread_State>& State, std::vector<Station_Tally>& Tally,
                  Progress& P) {
  char What[64];
  std::snprintf(What, sizeof What, "searching %s", Station_Name[S]);
  Study_Load Part = L;
  Part.First_Seed = L.First_Seed + First;
  For_Each_Day_In_Order(
      Days, L.Threads, sizeof(Candidate_Days), P, What,
      [&](int32_t Thread, int32_t Day, void* Record) {
        Thread_State& T = State[static_cast<size_t>(Thread)];
        Draw(T, Part, Day);
        int32_t Last_Before = 0;
        for (int Up = 0; Up < S; Up++) {
          Order_Arrivals(T.Day, T.Count, Up, T.Left.data(), &T.Scratch.Order);
          Station_Work W = Serve_Station(T.Day, Up, Servers[Up], T.Scratch.Order, T.Left.data(), &T.Scratch);
          Last_Before = std::max(Last_Before, W.Last_Departure);
        }
        Order_Arrivals(T.Day, T.Count, S, T.Left.data(), &T.Arrivals);
        Candidate_Days D;
        Station_Work W{};
        int32_t Last = 0;
        for (int32_t C = From; C <= To; C++) {
          /* Once nobody waits, more servers change nothing but the capacity. */
          if (C == From || W.Total_Wait > 0) {
            T.Left_After = T.Left;
            W = Serve_Station(T.Day, S, C, T.Arrivals, T.Left_After.data(), &T.Scratch);
            Last = std::max(Last_Before, W.Last_Departure);
            for (int Down = S + 1; Down < Number_Of_Stations; Down++) {
              Order_Arrivals(T.Day, T.Count, Down, T.Left_After.data(), &T.Scratch.Order);
              Last = std::max(Last, Serve_Station(T.Day, Down, Max_Servers, T.Scratch.Order, T.Left_After.data(),
                                                  &T.Scratch)
                                        .Last_Departure);
            }
          }
          D.At[C - 1] = Day_At(W.Visits, W.Total_Wait, W.Max_Wait, W.Busy_Time, C, Last);
        }
        std::memcpy(Record, &D, sizeof D);
      },
      [&](int32_t, const void* Record) {
        Candidate_Days D;
        std::memcpy(&D, Record, sizeof D);
        for (int32_t C = From; C <= To; C++) Fold_Day(Tally[static_cast<size_t>(C - 1)], D.At[C - 1]);
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

}  // namespace

/* A pilot over the first few hundred days tells roughly where the count
** will fall, so that the days are simulated at the counts up to a little
** past it rather than at all twenty; should the whole study need more,
** the rest are simulated then. Every figure is the whole study's either
** way, so the result does not depend on the pilot. */
Search_Result Run_Search(const Study_Load& L, const Search_Target& Target, Progress& P) {
  constexpr int32_t Pilot_Days = 512, Pilot_Margin = 2;
  Search_Result R{};
  int32_t Servers[Number_Of_Stations] = {Max_Servers, Max_Servers, Max_Servers};
  std::vector<Thread_State> State(static_cast<size_t>(L.Threads));
  for (int S = 0; S < Number_Of_Stations; S++) {
    int32_t Reach = Max_Servers;
    if (L.Days > 2 * Pilot_Days) {
      std::vector<Station_Tally> Pilot = Empty_Tallies(Target);
      Tally_Counts(L, S, Servers, 1, Max_Servers, 0, Pilot_Days, State, Pilot, P);
      int32_t Guess = First_Meeting(Pilot, Max_Servers, Target);
      if (Guess > 0) Reach = std::min(Max_Servers, Guess + Pilot_Margin);
    }
    std::vector<Station_Tally> Tally = Empty_Tallies(Target);
    Tally_Counts(L, S, Servers, 1, Reach, 0, L.Days, State, Tally, P);
    int32_t Chosen = First_Meeting(Tally, Reach, Target);
    if (Chosen == 0 && Reach < Max_Servers) {
      Tally_Counts(L, S, Servers, Reach + 1, Max_Servers, 0, L.Days, State, Tally, P);
      Chosen = First_Meeting(Tally, Max_Servers, Target);
    }
    for (int32_t C = 1; C <= (Chosen > 0 ? Chosen : Max_Servers); C++)
      R.Tried[S].push_back(Figures_Of(Tally[static_cast<size_t>(C - 1)]));
    R.Chosen[S] = Chosen;
    Servers[S] = Chosen > 0 ? Chosen : Max_Servers;
  }
  return R;
}
