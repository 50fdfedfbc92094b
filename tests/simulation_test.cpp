// The reference simulator's event handling: a small day worked out by
// hand, ties included, and invariants that must hold over any day.
#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "simulator/simulation.h"
#include "simulator/station_run.h"
#include "workload_maker/draw_day.h"

namespace {

std::vector<int> Fields(const Customer_Results& R) {
  return {R.Customer_Number,     R.Time_Arrived_ZOR,    R.Time_Arrived_LAB,   R.LAB_Queue_Length,
          R.LAB_Server,          R.Time_Departed_LAB,   R.Time_Arrived_X_RAY, R.X_RAY_Queue_Length,
          R.X_RAY_Server,        R.Time_Departed_X_RAY, R.Time_Arrived_EKG,   R.EKG_Queue_Length,
          R.EKG_Server,          R.Time_Departed_EKG,   R.Time_Departed_ZOR,  R.Interarrival_Time,
          R.Travel_Time_To_LAB,  R.LAB_Service_Time,    R.Travel_Time_To_X_RAY, R.X_RAY_Service_Time,
          R.Travel_Time_To_EKG,  R.EKG_Service_Time,    R.Travel_Time_To_EXIT};
}

// Two LAB servers, one X_RAY, one EKG.
//  - C1 and C2 hold both LAB servers until 110; C3 and C4 arrive together
//    at 30 and wait, C4 finding C3 already queued.
//  - At 110 both servers free at once: server 1 takes C3 (waited
//    longest), server 2 takes C4. C5 arrives at that same instant, after
//    the departures, so it finds nobody queued and waits for 120.
//  - At 125 C3 and C4 reach X_RAY together with C5 (no travel time),
//    in customer order: C3 is served, C4 finds nobody waiting, C5 one.
//  - C4 goes on to EKG with no travel; C5 takes X_RAY at that instant.
TEST(Simulate_Day, HandWorkedDayWithTies) {
  const Customer_Parameters Day[] = {
      {0, 10, 100, 0, 0, 0, 0, 5},
      {0, 20, 90, 0, 0, 0, 0, 5},
      {0, 30, 10, 5, 20, 0, 0, 1},
      {0, 30, 10, 5, 20, 0, 30, 2},
      {110, 0, 5, 0, 10, 0, 0, 3},
  };
  const int32_t Servers[] = {2, 1, 1};
  Customer_Results Results[5];
  Day_Summary Summary;
  Simulate_Day(Day, 5, Servers, Results, &Summary);

  const std::vector<std::vector<int>> Expected = {
      {1, 0, 10, 0, 1, 110, 0, 0, 0, 0, 0, 0, 0, 0, 115, 0, 10, 100, 0, 0, 0, 0, 5},
      {2, 0, 20, 0, 2, 110, 0, 0, 0, 0, 0, 0, 0, 0, 115, 0, 20, 90, 0, 0, 0, 0, 5},
      {3, 0, 30, 0, 1, 120, 125, 0, 1, 145, 0, 0, 0, 0, 146, 0, 30, 10, 5, 20, 0, 0, 1},
      {4, 0, 30, 1, 2, 120, 125, 0, 1, 165, 165, 0, 1, 195, 197, 0, 30, 10, 5, 20, 0, 30, 2},
      {5, 110, 110, 0, 1, 125, 125, 1, 1, 175, 0, 0, 0, 0, 178, 110, 0, 5, 0, 10, 0, 0, 3},
  };
  for (int C = 0; C < 5; C++) EXPECT_EQ(Fields(Results[C]), Expected[C]) << "customer " << C + 1;

  EXPECT_EQ(Summary.Last_Departure, 195);
  const Station_Summary& Lab = Summary.At[LAB];
  EXPECT_EQ(Lab.Visits, 5);
  EXPECT_EQ(Lab.Total_Wait, 0 + 0 + 80 + 80 + 10);
  EXPECT_EQ(Lab.Max_Wait, 80);
  EXPECT_EQ(Lab.Busy_Time, 215);
  EXPECT_EQ(Summary.At[X_RAY].Visits, 3);
  EXPECT_EQ(Summary.At[X_RAY].Total_Wait, 0 + 20 + 40);
  EXPECT_EQ(Summary.At[EKG].Visits, 1);
  EXPECT_EQ(Summary.At[EKG].Busy_Time, 30);
}

// Times of 0: one LAB server, C1 served 0 .. 10; C2 and C3 (LAB service
// 0) wait from 5; C4 and C5 arrive at 10, C4 with LAB service 0. At 10
// the departure seats C2, whose service of 0 s departs at once and seats
// C3, who departs at once too and travels 0 s to X_RAY; then the
// departures from ZOR in customer order, the arrivals at ZOR, and the
// arrivals at stations in customer order: C3 at X_RAY, then C4 at LAB,
// whose departure and whose departure from ZOR (travel 0) are handled at
// once, before C5's arrival still due at that instant.
TEST(Simulate_Day, TimesOfZeroAreHandledAtOnceInTheirPlace) {
  const Customer_Parameters Day[] = {
      {0, 0, 10, 0, 0, 0, 0, 0}, {5, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 4, 0, 0, 0},
      {5, 0, 0, 0, 0, 0, 0, 0},  {0, 0, 3, 0, 0, 0, 0, 0},
  };
  const int32_t Servers[] = {1, 1, 1};
  Customer_Results Results[5];
  Day_Summary Summary;
  std::vector<Trace_Event> Trace;
  EXPECT_EQ(Simulate_Day(Day, 5, Servers, Results, &Summary, &Trace).Customer, 0);
  enum { A = Trace_Arrive, S = Trace_Start, D = Trace_Depart, L = Trace_Leave, Z = Trace_ZOR };
  const std::vector<std::vector<int>> Expected = {
      {0, 1, Z, A, 0, 1},      {0, 1, LAB, A, 0, 1},   {0, 1, LAB, S, 1, 0},   {5, 2, Z, A, 0, 2},
      {5, 3, Z, A, 0, 3},      {5, 2, LAB, A, 0, 1},   {5, 3, LAB, A, 0, 2},   {10, 1, LAB, D, 1, 2},
      {10, 2, LAB, S, 1, 1},   {10, 2, LAB, D, 1, 1},  {10, 3, LAB, S, 1, 0},  {10, 3, LAB, D, 1, 0},
      {10, 1, Z, L, 0, 2},     {10, 2, Z, L, 0, 1},    {10, 4, Z, A, 0, 2},    {10, 5, Z, A, 0, 3},
      {10, 3, X_RAY, A, 0, 1}, {10, 3, X_RAY, S, 1, 0}, {10, 4, LAB, A, 0, 1}, {10, 4, LAB, S, 1, 0},
      {10, 4, LAB, D, 1, 0},   {10, 4, Z, L, 0, 2},    {10, 5, LAB, A, 0, 1},  {10, 5, LAB, S, 1, 0},
      {13, 5, LAB, D, 1, 0},   {13, 5, Z, L, 0, 1},    {14, 3, X_RAY, D, 1, 0}, {14, 3, Z, L, 0, 0},
  };
  ASSERT_EQ(Trace.size(), Expected.size());
  for (size_t I = 0; I < Trace.size(); I++) {
    const Trace_Event& E = Trace[I];
    EXPECT_EQ(std::vector<int>({E.Time, E.Customer, E.Place, E.Kind, E.Server, E.Waiting}), Expected[I])
        << "event " << I + 1;
  }
  EXPECT_EQ(Results[1].LAB_Server, 1);
  EXPECT_EQ(Results[1].LAB_Queue_Length, 0);
  EXPECT_EQ(Results[2].LAB_Queue_Length, 1);
}

struct Stay {
  int Customer, Arrived, Queue_Length, Server, Start, Departed;
};

// Every visit to station S, from the results and the service times.
std::vector<Stay> Stays_At(const std::vector<Customer_Results>& Results, int S) {
  std::vector<Stay> Out;
  for (const auto& R : Results) {
    Customer_Parameters P = Parameters_Of(R);
    auto At = [&](Visit_Field F) { return Visit_Value(R, S, F); };
    if (!Visits_Station(P, S)) {
      EXPECT_EQ(std::vector<int>({At(Arrived_Field), At(Queue_Length_Field), At(Server_Field), At(Departed_Field)}),
                std::vector<int>(4, 0));
      continue;
    }
    int Service = Service_Time(P, S);
    Out.push_back({R.Customer_Number, At(Arrived_Field), At(Queue_Length_Field), At(Server_Field),
                   At(Departed_Field) - Service, At(Departed_Field)});
  }
  return Out;
}

// Does server S's work cover [From, To) without a gap?
bool Busy_Throughout(std::vector<Stay> Work, int From, int To) {
  std::sort(Work.begin(), Work.end(), [](const Stay& A, const Stay& B) { return A.Start < B.Start; });
  int Covered = From;
  for (const Stay& W : Work)
    if (W.Start <= Covered && W.Departed > Covered) Covered = W.Departed;
  return Covered >= To;
}

void Check_Station(const std::vector<Customer_Results>& Results, int S, int Servers) {
  std::vector<Stay> Stays = Stays_At(Results, S);
  auto Order = [](const Stay& A, const Stay& B) {
    return A.Arrived != B.Arrived ? A.Arrived < B.Arrived : A.Customer < B.Customer;
  };
  for (const Stay& A : Stays) {
    ASSERT_GE(A.Server, 1);
    ASSERT_LE(A.Server, Servers);
    ASSERT_GE(A.Start, A.Arrived);
    int Waiting = 0;
    for (const Stay& B : Stays) {
      if (Order(A, B)) {
        EXPECT_LE(A.Start, B.Start) << "FIFO broken at station " << S;
      }
      if (Order(B, A) && B.Start > A.Arrived) Waiting++;
      // One customer per server at a time.
      if (&A != &B && A.Server == B.Server && A.Start < A.Departed && B.Start < B.Departed) {
        EXPECT_TRUE(A.Departed <= B.Start || B.Departed <= A.Start) << "server shared at station " << S;
      }
    }
    EXPECT_EQ(A.Queue_Length, Waiting) << "customer " << A.Customer << " station " << S;
    if (A.Start > A.Arrived)  // nobody waits while a server is idle
      for (int Server = 1; Server <= Servers; Server++) {
        std::vector<Stay> Work;
        for (const Stay& B : Stays)
          if (B.Server == Server) Work.push_back(B);
        EXPECT_TRUE(Busy_Throughout(Work, A.Arrived, A.Start))
            << "customer " << A.Customer << " waited while server " << Server << " idled at station " << S;
      }
  }
}

// Random days with small integer times force many ties and queues.
TEST(Simulate_Day, InvariantsHoldOverGeneratedDays) {
  std::mt19937 Pick(2026);
  for (int Round = 0; Round < 60; Round++) {
    int Count = 1 + int(Pick() % 120);
    int Spread = Round % 2 == 0 ? 8 : 400;  // tiny spreads make ties the rule
    auto Time = [&](int Least) { return Least + int(Pick() % unsigned(Spread)); };
    std::vector<Customer_Parameters> Day;
    for (int C = 0; C < Count; C++) {
      bool X_RAY = Pick() % 100 < 55, EKG = Pick() % 100 < 30;
      Day.push_back({C == 0 ? 0 : Time(0) / 3, Time(0), Time(1) * 3, X_RAY ? Time(0) : 0, X_RAY ? Time(1) * 4 : 0,
                     EKG ? Time(0) : 0, EKG ? Time(1) * 2 : 0, Time(0)});
    }
    const int32_t Servers[] = {1 + int(Pick() % 4), 1 + int(Pick() % 3), 1 + int(Pick() % 2)};
    std::vector<Customer_Results> Results(Day.size());
    Day_Summary Summary;
    Simulate_Day(Day.data(), Count, Servers, Results.data(), &Summary);

    int Arrived = 0;
    for (int C = 0; C < Count; C++) {
      const auto& R = Results[C];
      const auto& P = Day[C];
      Arrived += P.Interarrival_Time;
      ASSERT_EQ(R.Customer_Number, C + 1);
      EXPECT_EQ(R.Time_Arrived_ZOR, Arrived);
      EXPECT_EQ(R.Time_Arrived_LAB, Arrived + P.Travel_Time_To_LAB);
      int Last = R.Time_Departed_LAB;
      if (P.X_RAY_Service_Time) {
        EXPECT_EQ(R.Time_Arrived_X_RAY, Last + P.Travel_Time_To_X_RAY);
        Last = R.Time_Departed_X_RAY;
      }
      if (P.EKG_Service_Time) {
        EXPECT_EQ(R.Time_Arrived_EKG, Last + P.Travel_Time_To_EKG);
        Last = R.Time_Departed_EKG;
      }
      EXPECT_EQ(R.Time_Departed_ZOR, Last + P.Travel_Time_To_EXIT);
      auto F = Fields(R);
      EXPECT_EQ(std::vector<int>(F.begin() + 15, F.end()),
                (std::vector<int>{P.Interarrival_Time, P.Travel_Time_To_LAB, P.LAB_Service_Time, P.Travel_Time_To_X_RAY,
                                  P.X_RAY_Service_Time, P.Travel_Time_To_EKG, P.EKG_Service_Time,
                                  P.Travel_Time_To_EXIT}));
    }
    for (int S = 0; S < Number_Of_Stations; S++) Check_Station(Results, S, Servers[S]);
    if (HasFailure()) FAIL() << "round " << Round;
  }
}

// The trace tells the same day as the results: every event at the
// instant the record gives it, in time order, a START at the departure
// less the service time on the recorded server, and on arrival at a
// station the recorded queue plus the customer itself.
TEST(Simulate_Day, TraceAgreesWithTheResults) {
  std::mt19937 Pick(99);
  for (int Round = 0; Round < 20; Round++) {
    std::vector<Customer_Parameters> Day;
    int Count = 1 + int(Pick() % 80);
    for (int C = 0; C < Count; C++) {
      bool X_RAY = Pick() % 2, EKG = Pick() % 3 == 0;
      Day.push_back({int(Pick() % 30), int(Pick() % 20), 1 + int(Pick() % 90), X_RAY ? int(Pick() % 9) : 0,
                     X_RAY ? 1 + int(Pick() % 120) : 0, EKG ? int(Pick() % 9) : 0, EKG ? 1 + int(Pick() % 60) : 0,
                     int(Pick() % 9)});
    }
    const int32_t Servers[] = {2, 1, 1};
    std::vector<Customer_Results> Results(Day.size());
    std::vector<Trace_Event> Trace;
    Day_Summary Summary;
    Simulate_Day(Day.data(), Count, Servers, Results.data(), &Summary, &Trace);

    size_t Expected_Lines = 0;
    for (int C = 0; C < Count; C++)
      Expected_Lines += 2 + 3 * (1 + (Day[C].X_RAY_Service_Time != 0) + (Day[C].EKG_Service_Time != 0));
    ASSERT_EQ(Trace.size(), Expected_Lines);
    int Inside = 0;
    std::vector<std::vector<std::pair<int, int>>> Route(Day.size());  // each customer's events in trace order
    for (size_t I = 0; I < Trace.size(); I++) {
      const Trace_Event& E = Trace[I];
      Route[E.Customer - 1].push_back({E.Place, E.Kind});
      if (I > 0) {
        ASSERT_LE(Trace[I - 1].Time, E.Time);
      }
      const Customer_Results& R = Results[E.Customer - 1];
      if (E.Place == Trace_ZOR) {
        Inside += E.Kind == Trace_Arrive ? 1 : -1;
        EXPECT_EQ(E.Time, E.Kind == Trace_Arrive ? R.Time_Arrived_ZOR : R.Time_Departed_ZOR);
        EXPECT_EQ(E.Waiting, Inside);
        continue;
      }
      int Service = Service_Time(Parameters_Of(R), E.Place), Departed = Visit_Value(R, E.Place, Departed_Field);
      if (E.Kind == Trace_Arrive) {
        EXPECT_EQ(E.Time, Visit_Value(R, E.Place, Arrived_Field));
        EXPECT_EQ(E.Waiting, Visit_Value(R, E.Place, Queue_Length_Field) + 1);
      } else {
        EXPECT_EQ(E.Server, Visit_Value(R, E.Place, Server_Field));
        EXPECT_EQ(E.Time, E.Kind == Trace_Start ? Departed - Service : Departed);
      }
    }
    // Even at one instant, a customer's own events come in route order.
    for (int C = 0; C < Count; C++) {
      std::vector<std::pair<int, int>> Expected = {{Trace_ZOR, Trace_Arrive}};
      for (int S = 0; S < Number_Of_Stations; S++)
        if (Visits_Station(Day[C], S))
          for (int Kind : {Trace_Arrive, Trace_Start, Trace_Depart}) Expected.push_back({S, Kind});
      Expected.push_back({Trace_ZOR, Trace_Leave});
      EXPECT_EQ(Route[C], Expected) << "customer " << C + 1;
    }
    if (HasFailure()) FAIL() << "round " << Round;
  }
}

}  // namespace

namespace {

// The day run station by station against the event model: every field of
// every customer's record and the day's summary, over generated days of
// every load and over made-up days where times come from a handful of
// small values (zero travel and LAB service times among them), so that
// arrivals, departures and starts keep meeting at one instant.
TEST(Station_Run, EqualsTheEventModelOnEveryCustomer) {
  std::mt19937 Pick(31);
  Station_Scratch Scratch;
  Visits_After Plan;
  int Shown_Unqueued = 0, Left_To_Queue = 0;
  for (int Round = 0; Round < 400; Round++) {
    std::vector<Customer_Parameters> Day;
    if (Round % 4 == 0) {
      Random_Stream Stream{1 + Round, 0, 0};
      Day.resize(Max_Day_Customers);
      Day.resize(size_t(Draw_Day(&Stream, 1 + Round % 12, Day.data())));
    } else {
      int Spread = Round % 4 == 1 ? 3 : Round % 4 == 2 ? 8 : 400;
      auto Time = [&](int Least) { return Least + int(Pick() % unsigned(Spread)) * (Spread == 3 ? 10 : 1); };
      for (int C = 0, Count = 1 + int(Pick() % 100); C < Count; C++) {
        bool X_RAY = Pick() % 100 < 55, EKG = Pick() % 100 < 35;
        Day.push_back({C == 0 ? 0 : Time(0) / 2, Time(0), Time(Round % 3 == 0 ? 0 : 1), X_RAY ? Time(0) : 0,
                       X_RAY ? Time(1) : 0, EKG ? Time(0) : 0, EKG ? Time(1) : 0, Time(0)});
      }
    }
    const int32_t Servers[] = {1 + int32_t(Pick() % (Round % 5 == 0 ? 20 : 4)), 1 + int32_t(Pick() % 3),
                               1 + int32_t(Pick() % 2)};
    int32_t Count = int32_t(Day.size());
    std::vector<Customer_Results> By_Event(Day.size()), By_Station(Day.size());
    Day_Summary Event_Summary, Station_Summary_;
    Simulate_Day(Day.data(), Count, Servers, By_Event.data(), &Event_Summary);
    Simulate_Day_By_Station(Day.data(), Count, Servers, By_Station.data(), &Station_Summary_, &Scratch);
    for (int32_t C = 0; C < Count; C++)
      ASSERT_EQ(Fields(By_Station[size_t(C)]), Fields(By_Event[size_t(C)])) << "round " << Round << ", customer " << C + 1;
    // The run for figures alone takes a quicker way; its summary is the same.
    Day_Summary Figures_Only;
    Simulate_Day_By_Station(Day.data(), Count, Servers, nullptr, &Figures_Only, &Scratch);
    for (const Day_Summary* Run : {&Station_Summary_, &Figures_Only}) {
      EXPECT_EQ(Run->Last_Departure, Event_Summary.Last_Departure) << Round;
      EXPECT_EQ(Run->Time_In_ZOR, Event_Summary.Time_In_ZOR) << Round;
      for (int S = 0; S < Number_Of_Stations; S++) {
        const Station_Summary &A = Run->At[S], &B = Event_Summary.At[S];
        EXPECT_EQ(std::vector<int64_t>({A.Servers, A.Visits, A.Total_Wait, A.Max_Wait, A.Busy_Time}),
                  std::vector<int64_t>({B.Servers, B.Visits, B.Total_Wait, B.Max_Wait, B.Busy_Time}))
            << "round " << Round << ", station " << S;
      }
    }
    // The last departure after LAB or X_RAY, had without queueing, is
    // given only where nobody waits there, and is then the model's.
    std::vector<int32_t> Left(Day.size());
    for (int S = 0; S + 1 < Number_Of_Stations; S++) {
      int32_t Last = 0, Fewest = Max_Servers;
      bool Waited = false;
      for (int32_t C = 0; C < Count; C++) {
        const Customer_Results& R = By_Event[size_t(C)];
        if (S == 0 || Visits_Station(Day[size_t(C)], S)) Left[size_t(C)] = Visit_Value(R, S, Departed_Field);
        else if (S == 1) Left[size_t(C)] = R.Time_Departed_LAB;
        for (int D = S + 1; D < Number_Of_Stations; D++)
          if (Visits_Station(Day[size_t(C)], D)) {
            Last = std::max(Last, Visit_Value(R, D, Departed_Field));
            Waited |= Visit_Value(R, D, Departed_Field) - Visit_Value(R, D, Arrived_Field) > Service_Time(Day[size_t(C)], D);
          }
      }
      for (int D = S + 1; D < Number_Of_Stations; D++) Fewest = std::min(Fewest, Servers[D]);
      Plan_Visits_After(Day.data(), Count, S, &Plan);
      int32_t Bound = Count > 0 ? *std::max_element(Left.begin(), Left.end()) : 0;
      int32_t Found = Last_Departure_If_Nobody_Waits(&Plan, Fewest, Left.data(), Bound);
      if (Found < 0) {
        Left_To_Queue++;
        continue;
      }
      Shown_Unqueued++;
      EXPECT_FALSE(Waited) << "round " << Round << ", after " << S;
      EXPECT_EQ(Found, Last) << "round " << Round << ", after " << S;
    }
  }
  EXPECT_GT(Shown_Unqueued, 20);
  EXPECT_GT(Left_To_Queue, 100);
}

}  // namespace
