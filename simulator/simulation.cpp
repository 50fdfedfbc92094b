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
** An event that falls due at the instant being handled (a service or a
** travel of 0 s) takes its place among those still due by the same key,
** so a service of 0 s departs at once, before anything else due then.
**
** Arrivals at and departures from ZOR itself change nothing at the
** stations; they become events only when a trace is asked for, so that
** the trace lists them in time order with the rest.
**
** Every instant is worked out in 64 bits before it becomes an event: the
** first that 32 bits cannot hold ends the run, and the caller refuses the
** day. The heap's key thus only ever holds instants that fit.
*/
#include "simulator/simulation.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "common/zor_assert.h"

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

void Record_Trace(std::vector<Trace_Event>* Trace, int32_t Time, int32_t Customer, int32_t Place, int32_t Kind,
                  int32_t Server, size_t Waiting) {
  if (Trace != nullptr)
    Trace->push_back(Trace_Event{Time, Customer + 1, Place, Kind, Server, static_cast<int32_t>(Waiting)});
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

/* A customer's times are non-negative (the caller has read the day with
** Read_Day_From); whether its instants fit the clock the run finds out. */
bool Times_Fit(const Customer_Parameters& P) {
  int32_t Times[8];
  Times_Of(P, Times);
  for (int32_t T : Times)
    if (T < 0) return false;
  return true;
}

/* Everything one simulated day holds while it runs. */
struct Day_Run {
  const Customer_Parameters* Day;
  const int32_t* Servers;
  Day_Summary* Summary;
  std::vector<Trace_Event>* Trace;
  std::vector<Station_State> Stations;
  std::vector<Visit> Visits;  // [customer * Number_Of_Stations + station]
  std::vector<int32_t> Arrived_ZOR, Departed_ZOR;
  std::vector<Event> Heap;
  size_t In_ZOR;
  Clock_Overrun Overrun;
};

/* Whether Instant fits the clock; the first that does not is kept. */
bool Fits_The_Clock(Day_Run& D, int64_t Instant, int32_t Customer, int32_t Place, int32_t Kind) {
  if (Instant <= INT32_MAX) return true;
  if (D.Overrun.Customer == 0) D.Overrun = Clock_Overrun{Customer + 1, Place, Kind, Instant};
  return false;
}

Visit& Visit_Of(Day_Run& D, int32_t Customer, int32_t S) {
  return D.Visits[static_cast<size_t>(Customer) * Number_Of_Stations + S];
}

/* Every arrival at LAB is known from the start: they wait in a sorted
** list beside the heap, which then holds only what is in progress. */
std::vector<Event> Arrivals_At_LAB(Day_Run& D, int32_t Count) {
  std::vector<Event> Arrivals(static_cast<size_t>(Count));
  int64_t Now = 0;
  for (int32_t C = 0; C < Count; C++) {
    ZOR_ASSERT(Times_Fit(D.Day[C]));
    Now += D.Day[C].Interarrival_Time;
    int64_t At_LAB = Now + D.Day[C].Travel_Time_To_LAB;
    if (!Fits_The_Clock(D, Now, C, Trace_ZOR, Trace_Arrive) || !Fits_The_Clock(D, At_LAB, C, LAB, Trace_Arrive))
      return {};
    D.Arrived_ZOR[C] = static_cast<int32_t>(Now);
    if (D.Trace != nullptr) Push_Event(D.Heap, Make_Event(D.Arrived_ZOR[C], Arrive_ZOR, Trace_ZOR, 0, C));
    Arrivals[static_cast<size_t>(C)] = Make_Event(static_cast<int32_t>(At_LAB), Arrival, LAB, 0, C);
  }
  std::sort(Arrivals.begin(), Arrivals.end(), [](const Event& A, const Event& B) { return Event_Before(A, B); });
  return Arrivals;
}

void Start_Service(Day_Run& D, Visit& V, int32_t Now, int32_t S, int32_t Server, int32_t Customer) {
  Station_Summary& Summary = D.Summary->At[S];
  int32_t Service = Service_Time(D.Day[Customer], S);
  int32_t Wait = Now - V.Arrived;
  Summary.Total_Wait += Wait;
  if (Wait > Summary.Max_Wait) Summary.Max_Wait = Wait;
  Summary.Busy_Time += Service;
  V.Server = Server;
  if (Fits_The_Clock(D, int64_t{Now} + Service, Customer, S, Trace_Depart))
    Push_Event(D.Heap, Make_Event(Now + Service, Departure, S, Server, Customer));
}

/* On arrival the customer joins the queue; a free server takes it from
** there at once. */
void Arrive(Day_Run& D, const Event& E) {
  Station_State& At = D.Stations[E.Station];
  Station_Summary& Sum = D.Summary->At[E.Station];
  Visit& V = Visit_Of(D, E.Customer, E.Station);
  V.Arrived = E.Time;
  V.Queue_Length = static_cast<int32_t>(At.Queue.size() - At.Head);
  Sum.Visits++;
  Record_Trace(D.Trace, E.Time, E.Customer, E.Station, Trace_Arrive, 0, At.Queue.size() - At.Head + 1);
  int32_t Free = 1;
  while (Free <= D.Servers[E.Station] && At.Busy_With[Free] != 0) Free++;
  if (Free > D.Servers[E.Station]) {
    At.Queue.push_back(E.Customer);
    return;
  }
  At.Busy_With[Free] = E.Customer + 1;
  Start_Service(D, V, E.Time, E.Station, Free, E.Customer);
  Record_Trace(D.Trace, E.Time, E.Customer, E.Station, Trace_Start, Free, At.Queue.size() - At.Head);
}

/* The server freed takes the longest waiting, if anyone waits; the
** customer who left goes on to the next place on its route. */
void Depart(Day_Run& D, const Event& E) {
  Station_State& At = D.Stations[E.Station];
  const Customer_Parameters& P = D.Day[E.Customer];
  Visit_Of(D, E.Customer, E.Station).Departed = E.Time;
  D.Summary->Last_Departure = E.Time;
  At.Busy_With[E.Server] = 0;
  Record_Trace(D.Trace, E.Time, E.Customer, E.Station, Trace_Depart, E.Server, At.Queue.size() - At.Head);
  if (At.Head < At.Queue.size()) {
    int32_t Next = At.Queue[At.Head++];
    At.Busy_With[E.Server] = Next + 1;
    Start_Service(D, Visit_Of(D, Next, E.Station), E.Time, E.Station, E.Server, Next);
    Record_Trace(D.Trace, E.Time, Next, E.Station, Trace_Start, E.Server, At.Queue.size() - At.Head);
  }
  int32_t Onward = Next_Place(P, E.Station);
  int64_t Later = int64_t{E.Time} + Travel_Time_To(P, Onward);
  if (!Fits_The_Clock(D, Later, E.Customer, Onward == Number_Of_Stations ? Trace_ZOR : Onward,
                      Onward == Number_Of_Stations ? Trace_Leave : Trace_Arrive))
    return;
  int32_t Then = static_cast<int32_t>(Later);
  if (Onward != Number_Of_Stations) {
    Push_Event(D.Heap, Make_Event(Then, Arrival, Onward, 0, E.Customer));
    return;
  }
  D.Departed_ZOR[E.Customer] = Then;
  D.Summary->Time_In_ZOR += int64_t{Then} - D.Arrived_ZOR[E.Customer];
  if (D.Trace != nullptr) Push_Event(D.Heap, Make_Event(Then, Leave_ZOR, Trace_ZOR, 0, E.Customer));
}

}  // namespace

Clock_Overrun Simulate_Day(const Customer_Parameters Day[], int32_t Count, const int32_t Servers[Number_Of_Stations],
                           Customer_Results Results[], Day_Summary* Summary, std::vector<Trace_Event>* Trace) {
  const size_t Customers = static_cast<size_t>(Count);
  Day_Run D{Day,
            Servers,
            Summary,
            Trace,
            std::vector<Station_State>(Number_Of_Stations),
            std::vector<Visit>(Customers * Number_Of_Stations, Visit{0, 0, 0, 0}),
            std::vector<int32_t>(Customers),
            std::vector<int32_t>(Customers),
            {},
            0,
            Clock_Overrun{0, 0, 0, 0}};
  D.Heap.reserve(Customers + 64);
  *Summary = Day_Summary{};
  for (int32_t S = 0; S < Number_Of_Stations; S++) {
    ZOR_ASSERT(Servers[S] >= 1 && Servers[S] <= Max_Servers);
    D.Stations[S] = Station_State{};
    D.Stations[S].Queue.reserve(Customers);
    Summary->At[S].Servers = Servers[S];
  }
  std::vector<Event> At_LAB = Arrivals_At_LAB(D, Count);
  for (size_t Next_At_LAB = 0; D.Overrun.Customer == 0 && (!D.Heap.empty() || Next_At_LAB < At_LAB.size());) {
    bool From_List = Next_At_LAB < At_LAB.size() && (D.Heap.empty() || Event_Before(At_LAB[Next_At_LAB], D.Heap.front()));
    Event E = From_List ? At_LAB[Next_At_LAB++] : Pop_Event(D.Heap);
    if (E.Kind == Arrive_ZOR || E.Kind == Leave_ZOR) {
      D.In_ZOR = E.Kind == Arrive_ZOR ? D.In_ZOR + 1 : D.In_ZOR - 1;
      Record_Trace(Trace, E.Time, E.Customer, Trace_ZOR, E.Kind == Arrive_ZOR ? Trace_Arrive : Trace_Leave, 0, D.In_ZOR);
    } else if (E.Kind == Arrival) {
      Arrive(D, E);
    } else {
      Depart(D, E);
    }
  }
  if (Results == nullptr || D.Overrun.Customer != 0) return D.Overrun;
  for (int32_t C = 0; C < Count; C++)
    Results[C] = Result_Of(C, Day[C], D.Arrived_ZOR[C], D.Departed_ZOR[C], &Visit_Of(D, C, 0));
  return D.Overrun;
}
