/*
** station_run.cpp
** One station's first-come-first-served queue, and the day through the
** three in turn.
*/
#include "simulator/station_run.h"

#include <algorithm>
#include <array>
#include <utility>
#include <cstdint>
#include <cstring>

#include "common/zor_assert.h"

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

/* When nobody waits, every start is the arrival. That holds exactly when
** each customer finds every customer Servers places or more ahead of it
** in the queue gone: one pass with a running maximum of departures. */
bool Nobody_Waits(const Customer_Parameters Day[], int S, int32_t Servers, const std::vector<uint64_t>& Order,
                  int32_t Left[], Station_Work* W) {
  int32_t Gone_By[Max_Day_Visits];  // the latest departure among the first I + 1 customers
  size_t N = Order.size();
  if (N > Max_Day_Visits) return false;
  int32_t Latest = 0;
  int64_t Busy = 0;
  for (size_t I = 0; I < N; I++) {
    int32_t Arrived = static_cast<int32_t>(Order[I] >> 32), C = static_cast<int32_t>(Order[I] & 0xFFFFFFFFu);
    int32_t Service = Service_Time(Day[C], S);
    if (I >= static_cast<size_t>(Servers) && Gone_By[I - static_cast<size_t>(Servers)] > Arrived) return false;
    Gone_By[I] = Latest = std::max(Latest, Arrived + Service);
    Busy += Service;
  }
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
** start needs keeping. The servers' free times are kept in order, earliest
** first, in a row of Width (the count) padded with "never": taking the
** earliest and putting back its new free time V is then, at every place
** k, max(min(V, next), this), the same few operations whichever place V
** takes, with no branch to mispredict. */
template <int Width>
Station_Work Serve_Queue(const Customer_Parameters Day[], int S, const std::vector<uint64_t>& Order, int32_t Left[]) {
  static_assert(Width <= Max_Servers);
  constexpr int Row = (Width + 3) / 4 * 4;  // whole vectors of four; the places past Width stay "never"
  Station_Work W{0, 0, 0, 0, 0};
  int32_t Free_At[Row + 1], Next[Row];
  for (int K = 0; K <= Row; K++) Free_At[K] = K < Width ? 0 : INT32_MAX;
  for (uint64_t Key : Order) {
    int32_t Arrived = static_cast<int32_t>(Key >> 32), C = static_cast<int32_t>(Key & 0xFFFFFFFFu);
    int32_t Start = std::max(Arrived, Free_At[0]);
    int32_t Service = Service_Time(Day[C], S);
    int32_t Free_Again = Start + Service;
    for (int K = 0; K < Row; K++) Next[K] = std::max(std::min(Free_Again, Free_At[K + 1]), Free_At[K]);
    std::memcpy(Free_At, Next, sizeof Next);
    int32_t Wait = Start - Arrived;
    W.Total_Wait += Wait;
    W.Max_Wait = std::max(W.Max_Wait, Wait);
    W.Busy_Time += Service;
    W.Last_Departure = std::max(W.Last_Departure, Free_Again);
    Left[C] = Free_Again;
  }
  W.Visits = static_cast<int32_t>(Order.size());
  return W;
}

/* One queue for each count, its row exactly as wide. */
template <size_t... Counts>
constexpr auto Serve_Queues(std::index_sequence<Counts...>) {
  return std::array{&Serve_Queue<static_cast<int>(Counts) + 1>...};
}
constexpr auto Serve_Queue_Of = Serve_Queues(std::make_index_sequence<Max_Servers>());

Station_Work Serve_For_Figures(const Customer_Parameters Day[], int S, int32_t Servers,
                               const std::vector<uint64_t>& Order, int32_t Left[]) {
  Station_Work W;
  if (Nobody_Waits(Day, S, Servers, Order, Left, &W)) return W;
  return Serve_Queue_Of[static_cast<size_t>(Servers - 1)](Day, S, Order, Left);
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
  ZOR_ASSERT(Servers >= 1 && Servers <= Max_Servers);
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

void Plan_Visits_After(const Customer_Parameters Day[], int32_t Count, int S, Visits_After* Plan) {
  Plan->Customer.clear(), Plan->Arrives.clear(), Plan->Leaves.clear(), Plan->Station.clear();
  Plan->Latest_Leave = 0;
  for (int32_t C = 0; C < Count; C++) {
    int32_t Offset = 0;
    for (int D = S + 1; D < Number_Of_Stations; D++) {
      if (!Visits_Station(Day[C], D)) continue;
      Plan->Customer.push_back(C);
      Plan->Arrives.push_back(Offset += Travel_Time_To(Day[C], D));
      Plan->Leaves.push_back(Offset += Service_Time(Day[C], D));
      Plan->Station.push_back(D - S - 1);
      Plan->Latest_Leave = std::max(Plan->Latest_Leave, Offset);
    }
  }
}

/* Nobody waits at a station when no instant finds more customers in
** service than servers, had each started on arrival. Counting, for each
** stretch of 512 s, the customers whose service would touch it bounds that
** from above with no sorting: if the first customer to wait arrived at t,
** all the servers were busy with customers who had not waited, whose
** services, like its own, touch t's stretch. So no stretch touched by more
** than Servers services means nobody waits, and then every departure is
** arrival plus service. */
int32_t Last_Departure_If_Nobody_Waits(Visits_After* Plan, int32_t Servers, const int32_t Left[], int32_t Left_Bound) {
  constexpr int Shift = 9;
  const size_t Visits = Plan->Customer.size();
  const int32_t* Customer = Plan->Customer.data();
  const int32_t* Arrives = Plan->Arrives.data();
  const int32_t* Leaves = Plan->Leaves.data();
  const int32_t* Station = Plan->Station.data();
  const size_t Stretches = static_cast<size_t>((Left_Bound + Plan->Latest_Leave) >> Shift) + 2;
  Plan->Bins.assign(2 * Stretches, 0);
  int32_t* Touched = Plan->Bins.data();
  int32_t Last = 0;
  for (size_t V = 0; V < Visits; V++) {
    int32_t Left_S = Left[Customer[V]], Leaves_At = Left_S + Leaves[V];
    size_t Past = static_cast<size_t>((Leaves_At - 1) >> Shift) + 1;
    if (Past >= Stretches) return -1;  // beyond the bound given: let the stations be served
    int32_t* Row = Touched + static_cast<size_t>(Station[V]) * Stretches;
    Row[(Left_S + Arrives[V]) >> Shift]++;
    Row[Past]--;
    Last = std::max(Last, Leaves_At);
  }
  int32_t In_Service[2] = {0, 0};
  bool Crowded = false;
  for (size_t B = 0; B < Stretches; B++) {
    In_Service[0] += Touched[B], In_Service[1] += Touched[Stretches + B];
    Crowded |= In_Service[0] > Servers || In_Service[1] > Servers;
  }
  return Crowded ? -1 : Last;
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
