/*
** station_run.cpp
** One station's first-come-first-served queue, and the day through the
** three in turn.
*/
#include "station_run.h"

#include <algorithm>

namespace {

constexpr size_t Max_Day_Visits = 4096;  // beyond, a station is served without the quick test

/* Arrivals come nearly in order (a day's travel times are short beside
** its gaps), so an insertion sort does little work; a long or scrambled
** list goes to the library's sort. */
void Sort_Keys(std::vector<uint64_t>& Keys) {
  if (Keys.size() > 512) {
    std::sort(Keys.begin(), Keys.end());
    return;
  }
  for (size_t I = 1; I < Keys.size(); I++) {
    uint64_t Key = Keys[I];
    size_t J = I;
    for (; J > 0 && Keys[J - 1] > Key; J--) Keys[J] = Keys[J - 1];
    Keys[J] = Key;
  }
}

/* Only the figures: which server a customer takes does not change when
** anyone starts, so the earliest-free server stands for any free one (a
** server free at an arrival is free for every later arrival too), and no
** start needs keeping. The servers' free times are a small min-heap: the
** earliest on top, replaced by the next customer's departure. */
/* Replaces the heap's top with Value. A new departure usually belongs
** near the bottom, so the hole goes down to a leaf along the earlier
** child, a choice made without a branch, and Value then climbs back the
** step or two it needs: this mispredicts far less than stopping where
** Value fits. */
void Replace_Top(int32_t Free_At[], int32_t Servers, int32_t Value) {
  int32_t Hole = 0;
  for (int32_t Child; (Child = 2 * Hole + 1) < Servers; Hole = Child) {
    Child += Child + 1 < Servers && Free_At[Child + 1] < Free_At[Child];
    Free_At[Hole] = Free_At[Child];
  }
  for (int32_t Parent; Hole > 0 && Free_At[Parent = (Hole - 1) / 2] > Value; Hole = Parent)
    Free_At[Hole] = Free_At[Parent];
  Free_At[Hole] = Value;
}

/* When nobody waits, every start is the arrival. That holds exactly when
** each customer finds every customer Servers places or more ahead of it
** in the queue gone: one pass with a running maximum of departures. */
bool Nobody_Waits(const Customer_Parameters Day[], int S, int32_t Servers, const std::vector<uint64_t>& Order,
                  int32_t Left[], Station_Work* W) {
  int32_t Gone_By[Max_Day_Visits];  // the latest departure among the first I + 1 customers
  size_t N = Order.size();
  if (N > Max_Day_Visits) return false;
  bool Free = true;
  int32_t Latest = 0;
  int64_t Busy = 0;
  for (size_t I = 0; I < N; I++) {
    int32_t Arrived = static_cast<int32_t>(Order[I] >> 32), C = static_cast<int32_t>(Order[I] & 0xFFFFFFFFu);
    int32_t Service = Service_Time(Day[C], S);
    Free &= I < static_cast<size_t>(Servers) || Gone_By[I - static_cast<size_t>(Servers)] <= Arrived;
    Gone_By[I] = Latest = std::max(Latest, Arrived + Service);
    Busy += Service;
  }
  if (!Free) return false;
  for (uint64_t Key : Order) {
    int32_t Arrived = static_cast<int32_t>(Key >> 32), C = static_cast<int32_t>(Key & 0xFFFFFFFFu);
    Left[C] = Arrived + Service_Time(Day[C], S);
  }
  *W = Station_Work{static_cast<int32_t>(N), 0, Latest, 0, Busy};
  return true;
}

/* Only the figures: which server a customer takes does not change when
** anyone starts, so the earliest-free server stands for any free one (a
** server free at an arrival is free for every later arrival too), and no
** start needs keeping. A few servers are scanned; more are a min-heap of
** their free times. */
template <bool Heap>
Station_Work Serve_Queue(const Customer_Parameters Day[], int S, int32_t Servers, const std::vector<uint64_t>& Order,
                         int32_t Left[]) {
  Station_Work W{0, 0, 0, 0, 0};
  int32_t Free_At[Max_Servers] = {};  // all 0: a heap already
  for (uint64_t Key : Order) {
    int32_t Arrived = static_cast<int32_t>(Key >> 32), C = static_cast<int32_t>(Key & 0xFFFFFFFFu);
    int32_t Earliest = 0;
    if (!Heap)
      for (int32_t K = 1; K < Servers; K++) Earliest = Free_At[K] < Free_At[Earliest] ? K : Earliest;
    int32_t Start = std::max(Arrived, Free_At[Earliest]);
    int32_t Service = Service_Time(Day[C], S);
    if (Heap) Replace_Top(Free_At, Servers, Start + Service);
    else Free_At[Earliest] = Start + Service;
    int32_t Wait = Start - Arrived;
    W.Total_Wait += Wait;
    W.Max_Wait = std::max(W.Max_Wait, Wait);
    W.Busy_Time += Service;
    W.Last_Departure = std::max(W.Last_Departure, Start + Service);
    Left[C] = Start + Service;
  }
  W.Visits = static_cast<int32_t>(Order.size());
  return W;
}

Station_Work Serve_For_Figures(const Customer_Parameters Day[], int S, int32_t Servers,
                               const std::vector<uint64_t>& Order, int32_t Left[]) {
  Station_Work W;
  if (Nobody_Waits(Day, S, Servers, Order, Left, &W)) return W;
  return Servers <= 6 ? Serve_Queue<false>(Day, S, Servers, Order, Left) : Serve_Queue<true>(Day, S, Servers, Order, Left);
}

}  // namespace

void Order_Arrivals(const Customer_Parameters Day[], int32_t Count, int S, const int32_t Left[],
                    std::vector<uint64_t>* Order) {
  Order->resize(static_cast<size_t>(Count));
  size_t Visits = 0;
  for (int32_t C = 0; C < Count; C++)
    if (Visits_Station(Day[C], S))
      (*Order)[Visits++] = uint64_t(uint32_t(Left[C] + Travel_Time_To(Day[C], S))) << 32 | uint32_t(C);
  Order->resize(Visits);
  Sort_Keys(*Order);
}

Station_Work Serve_Station(const Customer_Parameters Day[], int S, int32_t Servers, const std::vector<uint64_t>& Order,
                           int32_t Left[], Station_Scratch* Scratch, Station_Detail* Detail) {
  if (Detail == nullptr) return Serve_For_Figures(Day, S, Servers, Order, Left);
  Station_Work W{0, 0, 0, 0, 0};
  int32_t Free_At[Max_Servers + 1];
  std::fill(Free_At, Free_At + Max_Servers + 1, 0);
  std::vector<int32_t>& Starts = Scratch->Starts;
  Starts.resize(Order.size());
  size_t First_Not_Started = 0;  // starts never fall in this order, so those waiting are a tail
  for (size_t I = 0; I < Order.size(); I++) {
    int32_t Arrived = static_cast<int32_t>(Order[I] >> 32), C = static_cast<int32_t>(Order[I] & 0xFFFFFFFFu);
    /* The lowest-numbered server free on arrival; else the lowest-numbered
    ** of those that free first. */
    int32_t Server = 0, Earliest = 1;
    for (int32_t K = 1; K <= Servers; K++) {
      if (Free_At[K] <= Arrived) {
        Server = K;
        break;
      }
      if (Free_At[K] < Free_At[Earliest]) Earliest = K;
    }
    int32_t Start = Arrived;
    if (Server == 0) Server = Earliest, Start = Free_At[Earliest];
    int32_t Service = Service_Time(Day[C], S);
    Free_At[Server] = Start + Service;
    Starts[I] = Start;
    int32_t Wait = Start - Arrived;
    W.Visits++;
    W.Total_Wait += Wait;
    W.Max_Wait = std::max(W.Max_Wait, Wait);
    W.Busy_Time += Service;
    W.Last_Departure = std::max(W.Last_Departure, Start + Service);
    Left[C] = Start + Service;
    while (First_Not_Started < I && Starts[First_Not_Started] <= Arrived) First_Not_Started++;
    Customer_Results& R = Detail->Results[C];
    Visit_Value(R, S, Arrived_Field) = Arrived;
    Visit_Value(R, S, Queue_Length_Field) = static_cast<int32_t>(I - First_Not_Started);
    Visit_Value(R, S, Server_Field) = Server;
    Visit_Value(R, S, Departed_Field) = Start + Service;
  }
  return W;
}

void Simulate_Day_By_Station(const Customer_Parameters Day[], int32_t Count, const int32_t Servers[Number_Of_Stations],
                             Customer_Results Results[], Day_Summary* Summary, Station_Scratch* Scratch) {
  *Summary = Day_Summary{};
  std::vector<int32_t>& Left = Scratch->Left;
  Left.resize(static_cast<size_t>(Count));
  std::vector<int32_t> Arrived_ZOR(static_cast<size_t>(Count));
  int32_t Now = 0;
  for (int32_t C = 0; C < Count; C++) {
    Now += Day[C].Interarrival_Time;
    Arrived_ZOR[static_cast<size_t>(C)] = Left[static_cast<size_t>(C)] = Now;
    if (Results != nullptr) {
      Results[C] = Customer_Results{};
      Results[C].Customer_Number = C + 1;
      Results[C].Time_Arrived_ZOR = Now;
      Copy_Parameters(Results[C], Day[C]);
    }
  }
  Station_Detail Detail{Results};
  for (int S = 0; S < Number_Of_Stations; S++) {
    Order_Arrivals(Day, Count, S, Left.data(), &Scratch->Order);
    Station_Work W = Serve_Station(Day, S, Servers[S], Scratch->Order, Left.data(), Scratch,
                                   Results != nullptr ? &Detail : nullptr);
    Station_Summary& At = Summary->At[S];
    At = Station_Summary{Servers[S], W.Visits, W.Total_Wait, W.Max_Wait, W.Busy_Time};
    Summary->Last_Departure = std::max(Summary->Last_Departure, W.Last_Departure);
  }
  for (int32_t C = 0; C < Count; C++) {
    int32_t Departed = Left[static_cast<size_t>(C)] + Day[C].Travel_Time_To_EXIT;
    Summary->Time_In_ZOR += int64_t{Departed} - Arrived_ZOR[static_cast<size_t>(C)];
    if (Results != nullptr) Results[C].Time_Departed_ZOR = Departed;
  }
}
