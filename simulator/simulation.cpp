/*
** simulation.cpp
** Discrete-event simulation of a ZOR day.
**
** Pending events wait in a binary heap ordered by simulated time. Ties
** at one instant are broken so that the result never depends on the
** order in which events happened to be scheduled:
**   - departures before arrivals, so an arriving customer sees servers
**     and queues as they are after everyone due to leave has left;
**   - departures by station, then server number, so when several servers
**     free at once the lowest-numbered takes the longest-waiting customer;
**   - arrivals by customer number.
** A customer who finds servers free starts at once on the lowest-numbered
** one, so nobody ever waits while a server is idle.
**
** Arrivals at and departures from ZOR itself change nothing at the
** stations; they become events only when a trace is asked for, so that
** the trace lists them in time order with the rest.
*/
#include "simulator/simulation.h"

#include <algorithm>
#include <vector>

namespace {

/* The order of the kinds is the order of events at one instant. */
enum Event_Kind { Departure = 0, Leave_ZOR = 1, Arrive_ZOR = 2, Arrival = 3 };

struct Event {
  uint64_t Order;  // the tie rules folded into one key; see Make_Event
  int32_t Time;
  int32_t Kind;
  int32_t Station;
  int32_t Server;    // departures only
  int32_t Customer;  // from 0
};

struct Visit {
  int32_t Arrived, Queue_Length, Server, Departed;
};

struct Station_State {
  int32_t Busy_With[Max_Servers + 1];  // customer + 1 per server, 0 when free; index 0 unused
  std::vector<int32_t> Queue;          // waiting customers; Queue[Head ..] still wait
  size_t Head;
};

/* Time, then kind, then station and server for departures or customer
** for arrivals, as one 64-bit key, so that ordering two events is one
** comparison. Times are non-negative and fit 31 bits, the kind 2 bits,
** and customers (at most 1,000,000) or station and server 30 bits. */
Event Make_Event(int32_t Time, int32_t Kind, int32_t Station, int32_t Server, int32_t Customer) {
  uint64_t Tie = Kind == Departure ? uint64_t(Station * (Max_Servers + 1) + Server) : uint64_t(Customer);
  return Event{uint64_t(Time) << 32 | uint64_t(Kind) << 30 | Tie, Time, Kind, Station, Server, Customer};
}

bool Event_Before(const Event& A, const Event& B) { return A.Order < B.Order; }

void Push_Event(std::vector<Event>& Heap, Event E) {
  size_t I = Heap.size();
  Heap.push_back(E);
  for (size_t Parent; I > 0 && Event_Before(E, Heap[Parent = (I - 1) / 2]); I = Parent) Heap[I] = Heap[Parent];
  Heap[I] = E;
}

Event Pop_Event(std::vector<Event>& Heap) {
  Event First = Heap.front(), Last = Heap.back();
  Heap.pop_back();
  size_t Size = Heap.size(), I = 0;
  if (Size == 0) return First;
  for (size_t Child; (Child = 2 * I + 1) < Size; I = Child) {
    if (Child + 1 < Size && Event_Before(Heap[Child + 1], Heap[Child])) Child++;
    if (!Event_Before(Heap[Child], Last)) break;
    Heap[I] = Heap[Child];
  }
  Heap[I] = Last;
  return First;
}

void Trace_Line(std::vector<Trace_Event>* Trace, int32_t Time, int32_t Customer, int32_t Place, int32_t Kind,
                       int32_t Server, size_t Waiting) {
  if (Trace != nullptr)
    Trace->push_back(Trace_Event{Time, Customer + 1, Place, Kind, Server, static_cast<int32_t>(Waiting)});
}

void Start_Service(std::vector<Event>& Heap, Station_Summary& Summary, Visit& V, const Customer_Parameters& P,
                          int32_t Now, int32_t S, int32_t Server, int32_t Customer) {
  int32_t Wait = Now - V.Arrived;
  Summary.Total_Wait += Wait;
  if (Wait > Summary.Max_Wait) Summary.Max_Wait = Wait;
  Summary.Busy_Time += Service_Time(P, S);
  V.Server = Server;
  Push_Event(Heap, Make_Event(Now + Service_Time(P, S), Departure, S, Server, Customer));
}

Customer_Results Result_Of(int32_t Customer, const Customer_Parameters& P, int32_t Arrived_ZOR, int32_t Departed_ZOR,
                           const Visit At[Number_Of_Stations]) {
  Customer_Results R{};
  R.Customer_Number = Customer + 1;
  R.Time_Arrived_ZOR = Arrived_ZOR;
  for (int S = 0; S < Number_Of_Stations; S++) {
    Visit_Value(R, S, Arrived_Field) = At[S].Arrived;
    Visit_Value(R, S, Queue_Length_Field) = At[S].Queue_Length;
    Visit_Value(R, S, Server_Field) = At[S].Server;
    Visit_Value(R, S, Departed_Field) = At[S].Departed;
  }
  R.Time_Departed_ZOR = Departed_ZOR;
  Copy_Parameters(R, P);
  return R;
}

}  // namespace

void Simulate_Day(const Customer_Parameters Day[], int32_t Count, const int32_t Servers[Number_Of_Stations],
                  Customer_Results Results[], Day_Summary* Summary, std::vector<Trace_Event>* Trace) {
  std::vector<Station_State> Stations(Number_Of_Stations);
  std::vector<Visit> Visits(static_cast<size_t>(Count) * Number_Of_Stations, Visit{0, 0, 0, 0});
  std::vector<int32_t> Arrived_ZOR(static_cast<size_t>(Count));
  std::vector<Event> Heap;
  Heap.reserve(static_cast<size_t>(Count) + 64);
  *Summary = Day_Summary{};
  for (int32_t S = 0; S < Number_Of_Stations; S++) {
    Stations[S] = Station_State{};
    Stations[S].Queue.reserve(static_cast<size_t>(Count));
    Summary->At[S].Servers = Servers[S];
  }

  /* Every arrival at LAB is known from the start: they wait in a sorted
  ** list beside the heap, which then holds only what is in progress. */
  std::vector<Event> Arrivals_At_LAB(static_cast<size_t>(Count));
  int32_t Now = 0;
  for (int32_t C = 0; C < Count; C++) {
    Now += Day[C].Interarrival_Time;
    Arrived_ZOR[C] = Now;
    if (Trace != nullptr) Push_Event(Heap, Make_Event(Now, Arrive_ZOR, Trace_ZOR, 0, C));
    Arrivals_At_LAB[static_cast<size_t>(C)] = Make_Event(Now + Day[C].Travel_Time_To_LAB, Arrival, LAB, 0, C);
  }
  std::sort(Arrivals_At_LAB.begin(), Arrivals_At_LAB.end(), [](const Event& A, const Event& B) { return Event_Before(A, B); });

  std::vector<int32_t> Departed_ZOR(static_cast<size_t>(Count));
  size_t In_ZOR = 0, Next_At_LAB = 0;
  while (!Heap.empty() || Next_At_LAB < Arrivals_At_LAB.size()) {
    bool From_List = Next_At_LAB < Arrivals_At_LAB.size() &&
                     (Heap.empty() || Event_Before(Arrivals_At_LAB[Next_At_LAB], Heap.front()));
    Event E = From_List ? Arrivals_At_LAB[Next_At_LAB++] : Pop_Event(Heap);
    if (E.Kind == Arrive_ZOR || E.Kind == Leave_ZOR) {
      In_ZOR = E.Kind == Arrive_ZOR ? In_ZOR + 1 : In_ZOR - 1;
      Trace_Line(Trace, E.Time, E.Customer, Trace_ZOR, E.Kind == Arrive_ZOR ? Trace_Arrive : Trace_Leave, 0, In_ZOR);
      continue;
    }
    const Customer_Parameters& P = Day[E.Customer];
    Station_State& At = Stations[E.Station];
    Station_Summary& Sum = Summary->At[E.Station];
    Visit& V = Visits[static_cast<size_t>(E.Customer) * Number_Of_Stations + E.Station];
    if (E.Kind == Arrival) {
      V.Arrived = E.Time;
      V.Queue_Length = static_cast<int32_t>(At.Queue.size() - At.Head);
      Sum.Visits++;
      /* On arrival the customer joins the queue; a free server takes it
      ** from there at once. */
      Trace_Line(Trace, E.Time, E.Customer, E.Station, Trace_Arrive, 0, At.Queue.size() - At.Head + 1);
      int32_t Free = 1;
      while (Free <= Servers[E.Station] && At.Busy_With[Free] != 0) Free++;
      if (Free <= Servers[E.Station]) {
        At.Busy_With[Free] = E.Customer + 1;
        Start_Service(Heap, Sum, V, P, E.Time, E.Station, Free, E.Customer);
        Trace_Line(Trace, E.Time, E.Customer, E.Station, Trace_Start, Free, At.Queue.size() - At.Head);
      } else {
        At.Queue.push_back(E.Customer);
      }
      continue;
    }
    V.Departed = E.Time;
    Summary->Last_Departure = E.Time;
    At.Busy_With[E.Server] = 0;
    Trace_Line(Trace, E.Time, E.Customer, E.Station, Trace_Depart, E.Server, At.Queue.size() - At.Head);
    if (At.Head < At.Queue.size()) {
      int32_t Next = At.Queue[At.Head++];
      At.Busy_With[E.Server] = Next + 1;
      Visit& Waited = Visits[static_cast<size_t>(Next) * Number_Of_Stations + E.Station];
      Start_Service(Heap, Sum, Waited, Day[Next], E.Time, E.Station, E.Server, Next);
      Trace_Line(Trace, E.Time, Next, E.Station, Trace_Start, E.Server, At.Queue.size() - At.Head);
    }
    int32_t Onward = Next_Place(P, E.Station);
    int32_t Then = E.Time + Travel_Time_To(P, Onward);
    if (Onward == Number_Of_Stations) {
      Departed_ZOR[E.Customer] = Then;
      Summary->Time_In_ZOR += int64_t{Then} - Arrived_ZOR[E.Customer];
      if (Trace != nullptr) Push_Event(Heap, Make_Event(Then, Leave_ZOR, Trace_ZOR, 0, E.Customer));
    } else {
      Push_Event(Heap, Make_Event(Then, Arrival, Onward, 0, E.Customer));
    }
  }

  if (Results == nullptr) return;
  for (int32_t C = 0; C < Count; C++)
    Results[C] = Result_Of(C, Day[C], Arrived_ZOR[C], Departed_ZOR[C], &Visits[static_cast<size_t>(C) * Number_Of_Stations]);
}
