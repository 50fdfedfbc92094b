/*
** station_rules.cpp
** The rules at one station, from the visits the file records there: each
** service lasts its service time and starts after the arrival; servers in
** range, one customer each at a time; first come, first served; nobody
** waits beside a free server, and the lowest-numbered free server is
** taken; the queue length counts those waiting.
*/
#include <algorithm>
#include <cinttypes>

#include "common/zor_stations.h"
#include "model_rules/model_rules.h"
#include "model_rules/rule_tally.h"

namespace {

/* The visits to station S, with each service's start derived from its
** departure and the customer's service time. */
std::vector<Station_Visit> Visits_At(int32_t S, const std::vector<Customer_Parameters>& Day,
                                     const std::vector<Customer_Results>& Records) {
  std::vector<Station_Visit> Visits;
  for (size_t K = 0; K < Records.size(); K++) {
    const Customer_Parameters& P = Day[K];
    const Customer_Results& R = Records[K];
    if (!Visits_Station(P, S) || Skipped_In_File(R, S)) continue;
    int64_t Departed = Visit_Value(R, S, Departed_Field);
    int32_t Service = Service_Time(P, S);
    Visits.push_back(Station_Visit{Visit_Value(R, S, Arrived_Field), Departed - Service, Departed,
                                   static_cast<int32_t>(K + 1), Visit_Value(R, S, Server_Field),
                                   Visit_Value(R, S, Queue_Length_Field), Service});
  }
  return Visits;
}

bool In_Arrival_Order(const Station_Visit* A, const Station_Visit* B) {
  return A->Arrived != B->Arrived ? A->Arrived < B->Arrived : A->Customer < B->Customer;
}

std::string Server_Hint(int32_t S, int32_t Server, int32_t Servers) {
  if (Server <= Servers) return "";
  return Format_Text("server %d is above the %d given for %s: were the checker and the simulator given the same "
                     "server counts?",
                     Server, Servers, Station_Name[S]);
}

/* Why a server number is out of range, when the file shows why. */
std::string Server_Why(int32_t S, const Station_Visit& V, int32_t Servers, bool From_Zero) {
  if (From_Zero) return Format_Text("servers are numbered 1 .. %d; the file numbers those of %s from 0", Servers,
                                    Station_Name[S]);
  if (V.Server == 0 && S == LAB && V.Service == 0)
    return "every customer visits LAB and takes a server there, even for a service time of 0";
  return V.Server == 0 ? "servers are numbered from 1" : "";
}

void Check_Services_And_Servers(Rule_Tally& T, int32_t S, int32_t Servers, const std::vector<Station_Visit>& Visits) {
  /* Numbers from 0 up to one less than the count read as servers counted
  ** from 0, unless server 0 only ever stands for a LAB service of 0 s. */
  bool Zero_Served = false;
  int32_t Highest = 0;
  for (const Station_Visit& V : Visits) {
    Highest = std::max(Highest, V.Server);
    Zero_Served = Zero_Served || (V.Server == 0 && V.Service > 0);
  }
  bool From_Zero = Zero_Served && Highest < Servers;
  for (const Station_Visit& V : Visits) {
    if (V.Start < V.Arrived)
      Note(T, Rule_Service, V.Customer, S, Visit_Field_Name(S, Departed_Field), Start_Decision(V, S),
           "at least " + Text_Of(V.Arrived + V.Service), Text_Of(V.Departed),
           Format_Text("the service (%d s) would have started at %" PRId64 ", before the arrival at %" PRId64,
                       V.Service, V.Start, V.Arrived));
    if (V.Server < 1 || V.Server > Servers)
      Note(T, Rule_Servers, V.Customer, S, Visit_Field_Name(S, Server_Field), Start_Decision(V, S),
           Format_Text("1 .. %d", Servers), Text_Of(V.Server), Server_Why(S, V, Servers, From_Zero && V.Server == 0),
           Server_Hint(S, V.Server, Servers));
  }
  /* Per server, services in order of start: each must begin once every
  ** earlier one on that server has ended. */
  std::vector<const Station_Visit*> By_Start;
  for (const Station_Visit& V : Visits)
    if (V.Server >= 1 && V.Server <= Servers && V.Departed > V.Start) By_Start.push_back(&V);
  std::sort(By_Start.begin(), By_Start.end(), [](const Station_Visit* A, const Station_Visit* B) {
    if (A->Server != B->Server) return A->Server < B->Server;
    return A->Start != B->Start ? A->Start < B->Start : A->Customer < B->Customer;
  });
  const Station_Visit* Holder = nullptr;
  for (const Station_Visit* V : By_Start) {
    if (Holder != nullptr && Holder->Server == V->Server && V->Start < Holder->Departed)
      Note(T, Rule_Servers, V->Customer, S, Visit_Field_Name(S, Server_Field), Start_Decision(*V, S),
           "a server free at " + Text_Of(V->Start), Text_Of(V->Server),
           Format_Text("server %d is serving customer %d from %" PRId64 " until %" PRId64, V->Server, Holder->Customer,
                       Holder->Start, Holder->Departed));
    if (Holder == nullptr || Holder->Server != V->Server || V->Departed > Holder->Departed) Holder = V;
  }
}

/* A customer who started after someone who arrived later was passed
** over: the wrong decision is the later customer's start. When both
** arrived at one instant and the later one was seated on arrival, the
** server it took was free at the passed-over customer's own arrival,
** which the model handles first: the wrong decision is there, and the
** queue length that customer then records only follows from it. */
void Check_First_Come(Rule_Tally& T, int32_t S, const std::vector<const Station_Visit*>& Order) {
  const Station_Visit* Earliest_Later = nullptr;  // the earliest start among those who arrived later
  for (size_t I = Order.size(); I-- > 0;) {
    const Station_Visit* V = Order[I];
    if (Earliest_Later != nullptr && V->Start > Earliest_Later->Start) {
      const Station_Visit* L = Earliest_Later;
      bool Together = L->Arrived == V->Arrived;
      std::string Why = Format_Text("customer %d arrived %s (at %" PRId64 ") and started first (at %" PRId64 ")",
                                    L->Customer, Together ? "at the same instant" : "later", L->Arrived, L->Start);
      if (Together) Why += "; customers who arrive at one instant are served in customer order";
      When At = Together && L->Start == L->Arrived ? When{V->Arrived, Phase_Arrival, V->Customer}
                                                   : Start_Decision(*L, S);
      Note(T, Rule_First_Come, V->Customer, S, Visit_Field_Name(S, Departed_Field), At,
           "at most " + Text_Of(L->Start + V->Service), Text_Of(V->Departed), Why);
    }
    if (Earliest_Later == nullptr || V->Start <= Earliest_Later->Start) Earliest_Later = V;
  }
}

/* Replays the station instant by instant from the file's own times. At
** each instant the services that ended are released first; then those
** who start take servers, the longest waiting first and then the new
** arrivals in customer order, each the lowest-numbered free one (a
** service of no length gives its server straight back); then nobody may
** be left waiting while a server is free. A service on a server number
** out of range (the servers rule names it) still occupies some server,
** though which one is unknown: while one lasts, only the number of free
** servers is judged, not which was taken. */
/* The servers of one station while it is replayed. */
struct Server_Board {
  int32_t S, Servers;
  int32_t Active[Max_Servers + 1];     // services running on each server
  bool Freed_Now[Max_Servers + 1];     // a service on it ended at this instant
  int64_t Unnumbered;                  // running services on a server out of range
};

bool On_A_Server(const Server_Board& B, const Station_Visit* V) { return V->Server >= 1 && V->Server <= B.Servers; }

/* The lowest-numbered server that is surely free, or Servers + 1 when
** the services on unknown servers may hold every free one. */
int32_t Lowest_Free(const Server_Board& B) {
  int64_t Free = 0;
  int32_t Lowest = B.Servers + 1;
  for (int32_t Server = B.Servers; Server >= 1; Server--)
    if (B.Active[Server] == 0) Free++, Lowest = Server;
  return Free > B.Unnumbered ? Lowest : B.Servers + 1;
}

std::string Freed_At_Arrival(const Server_Board& B, int32_t Server, int64_t Now, int64_t Arrived) {
  if (!B.Freed_Now[Server] || Arrived != Now) return "";
  return Format_Text("; server %d was freed at %" PRId64 ", the same instant: the model frees servers before it "
                     "seats arrivals",
                     Server, Now);
}

/* The services that end at Now give back their servers. */
void End_Services(Server_Board& B, const std::vector<const Station_Visit*>& Ends, size_t* Next, int64_t Now) {
  std::fill(std::begin(B.Freed_Now), std::end(B.Freed_Now), false);
  for (; *Next < Ends.size() && Ends[*Next]->Departed == Now; ++*Next) {
    const Station_Visit* V = Ends[*Next];
    if (On_A_Server(B, V)) B.Active[V->Server]--, B.Freed_Now[V->Server] = true;
    else B.Unnumbered--;
  }
}

/* The services that start at Now take their servers, each of which must
** be the lowest-numbered free one. */
void Start_Services(Rule_Tally& T, Server_Board& B, const std::vector<const Station_Visit*>& Starts, size_t* Next,
                    int64_t Now) {
  for (; *Next < Starts.size() && Starts[*Next]->Start == Now; ++*Next) {
    const Station_Visit* V = Starts[*Next];
    if (!On_A_Server(B, V)) {
      if (V->Departed > V->Start) B.Unnumbered++;
      continue;
    }
    int32_t Lowest = Lowest_Free(B);
    if (B.Unnumbered == 0 && Lowest <= B.Servers && Lowest != V->Server) {
      std::string Why = Format_Text("at %" PRId64 " server %d was the lowest-numbered free one", Now, Lowest);
      Why += Freed_At_Arrival(B, Lowest, Now, V->Arrived);
      if (V->Arrived < Now) Why += "; servers freed at one instant go lowest-numbered first, to the longest waiting";
      Note(T, Rule_No_Idle, V->Customer, B.S, Visit_Field_Name(B.S, Server_Field), Start_Decision(*V, B.S),
           Text_Of(Lowest), Text_Of(V->Server), Why);
    }
    if (V->Departed > V->Start) B.Active[V->Server]++;
  }
}

/* Everyone still waiting at Now waits beside a free server, if there is
** one; each is counted once and then no longer followed. Had the server
** just been freed, the model would have seated the customer at that
** departure. Unused_Hint goes with a free server above any the file uses. */
void Note_Idle_Beside_Waiting(Rule_Tally& T, const Server_Board& B, const std::vector<const Station_Visit*>& Waiting,
                              size_t* Head, int64_t Now, int32_t Highest_Used, const std::string& Unused_Hint) {
  int32_t Free = Lowest_Free(B);
  if (Free > B.Servers) return;
  When At = B.Freed_Now[Free] ? When{Now, Phase_Departure, int64_t{B.S} * (Max_Servers + 1) + Free}
                              : When{Now, Phase_Arrival, 0};
  for (; *Head < Waiting.size(); ++*Head) {
    const Station_Visit* V = Waiting[*Head];
    if (V->Start <= Now) continue;
    if (!B.Freed_Now[Free]) At.Tie = V->Customer;
    Note(T, Rule_No_Idle, V->Customer, B.S, Visit_Field_Name(B.S, Departed_Field), At,
         "at most " + Text_Of(Now + V->Service), Text_Of(V->Departed),
         Format_Text("the customer waits at %" PRId64 " while server %d is free", Now, Free) +
             Freed_At_Arrival(B, Free, Now, V->Arrived),
         Free > Highest_Used ? Unused_Hint : "");
  }
}

void Check_No_Idle(Rule_Tally& T, int32_t S, int32_t Servers, const std::vector<Station_Visit>& Visits,
                   const std::vector<const Station_Visit*>& Order) {
  Server_Board B{S, Servers, {}, {}, 0};
  std::vector<const Station_Visit*> Starts(Order), Ends;
  std::stable_sort(Starts.begin(), Starts.end(),
                   [](const Station_Visit* A, const Station_Visit* B) { return A->Start < B->Start; });
  for (const Station_Visit& V : Visits)
    if (V.Departed > V.Start) Ends.push_back(&V);
  std::sort(Ends.begin(), Ends.end(),
            [](const Station_Visit* A, const Station_Visit* B) { return A->Departed < B->Departed; });
  std::vector<int64_t> Instants;
  for (const Station_Visit& V : Visits) Instants.insert(Instants.end(), {V.Arrived, V.Start, V.Departed});
  std::sort(Instants.begin(), Instants.end());
  Instants.erase(std::unique(Instants.begin(), Instants.end()), Instants.end());
  /* A simulator that never takes the top servers may have been given
  ** fewer, or read the counts in another order. */
  int32_t Highest_Used = 0;
  for (const Station_Visit& V : Visits)
    if (On_A_Server(B, &V)) Highest_Used = std::max(Highest_Used, V.Server);
  std::string Unused_Hint =
      Format_Text("the file never uses a server above %d of the %d given for %s: was the simulator given the same "
                  "server counts, in the order LAB, X_RAY, EKG?",
                  Highest_Used, Servers, Station_Name[S]);
  std::vector<const Station_Visit*> Waiting;  // in arrival order; Waiting[Head ..] may still wait
  size_t Next_Arrival = 0, Next_Start = 0, Next_End = 0, Head = 0;
  for (int64_t Now : Instants) {
    End_Services(B, Ends, &Next_End, Now);
    Start_Services(T, B, Starts, &Next_Start, Now);
    for (; Next_Arrival < Order.size() && Order[Next_Arrival]->Arrived == Now; Next_Arrival++)
      if (Order[Next_Arrival]->Start > Now) Waiting.push_back(Order[Next_Arrival]);
    Note_Idle_Beside_Waiting(T, B, Waiting, &Head, Now, Highest_Used, Unused_Hint);
  }
}

/* What the station held when V arrived, for the why-line of a wrong
** queue length: who was waiting and how many were in service then, and
** whether a service ended and someone started at that very instant, which
** the model handles before the arrival. */
std::string Queue_Why(const Station_Visit& V, const std::vector<const Station_Visit*>& Order) {
  int64_t In_Service = 0, Waiting = 0;
  std::string Who;
  const Station_Visit *Ended_Now = nullptr, *Started_Now = nullptr;
  bool Before_V = true;
  for (const Station_Visit* W : Order) {
    if (W == &V) Before_V = false;
    if (!Before_V) continue;  // only those before V in the model's order of arrivals
    if (W->Start > V.Arrived) {
      if (++Waiting <= static_cast<int64_t>(Customers_Listed)) {
        if (Waiting > 1) Who += ", ";
        Who += Text_Of(W->Customer);
      }
    } else if (W->Departed > V.Arrived) {
      In_Service++;
    }
    if (W->Start == V.Arrived) Started_Now = W;  // the last before V
  }
  for (const Station_Visit* W : Order)
    if (W != &V && W != Started_Now && W->Departed == V.Arrived && Ended_Now == nullptr) Ended_Now = W;
  std::string Why = Format_Text("on arrival at %" PRId64 ": %" PRId64 " waiting", V.Arrived, Waiting);
  if (Waiting > 0) Why += " (customer" + std::string(Waiting > 1 ? "s " : " ") + Who + (Waiting > 5 ? ", ..." : "") + ")";
  Why += Format_Text(" and %" PRId64 " in service; the queue length counts only those waiting", In_Service);
  if (Ended_Now != nullptr && Started_Now != nullptr)
    return Why + Format_Text("; at %" PRId64 " customer %d's service ended and customer %d started before customer %d "
                             "arrived: at one instant the model handles departures, and seats those waiting, before "
                             "arrivals",
                             V.Arrived, Ended_Now->Customer, Started_Now->Customer, V.Customer);
  bool Counts_Service = V.Queue_Length == Waiting + In_Service && In_Service > 0;
  bool Counts_Self = V.Queue_Length == Waiting + 1;
  if (Counts_Service && Counts_Self) Why += " (the file counts those in service, or the arriving customer, too)";
  else if (Counts_Service) Why += " (the file counts those in service too)";
  else if (Counts_Self) Why += " (the file counts the arriving customer too)";
  return Why;
}

/* The queue found on arrival: those who arrived before (at one instant,
** lower customer numbers first) and start after this arrival. Counted
** with a Fenwick tree over the start instants. */
void Check_Queue_Lengths(Rule_Tally& T, int32_t S, const std::vector<const Station_Visit*>& Order) {
  std::vector<int64_t> Starts;
  for (const Station_Visit* V : Order) Starts.push_back(V->Start);
  std::sort(Starts.begin(), Starts.end());
  std::vector<int64_t> Tree(Starts.size() + 1, 0);
  int64_t Inserted = 0;
  const Station_Visit* Earliest = nullptr;
  for (const Station_Visit* V : Order) {
    size_t At_Or_Before =
        static_cast<size_t>(std::upper_bound(Starts.begin(), Starts.end(), V->Arrived) - Starts.begin());
    int64_t Started_By_Then = 0;
    for (size_t I = At_Or_Before; I > 0; I -= I & (~I + 1)) Started_By_Then += Tree[I];
    int64_t Waiting = Inserted - Started_By_Then;
    if (V->Queue_Length != Waiting) {
      Note(T, Rule_Queue, V->Customer, S, Visit_Field_Name(S, Queue_Length_Field),
           When{V->Arrived, Phase_Arrival, V->Customer}, Text_Of(Waiting), Text_Of(V->Queue_Length),
           "customers who arrived earlier and had not started");
      if (Earliest == nullptr) Earliest = V;
    }
    size_t Slot = static_cast<size_t>(std::lower_bound(Starts.begin(), Starts.end(), V->Start) - Starts.begin()) + 1;
    for (size_t I = Slot; I < Tree.size(); I += I & (~I + 1)) Tree[I]++;
    Inserted++;
  }
  /* The station's state is worked out for the violation that may be
  ** reported, the rule's earliest, which is this station's earliest. */
  Violation& First = T.First[Rule_Queue];
  if (Earliest != nullptr && First.Customer == Earliest->Customer && First.Station == S)
    First.Why = Queue_Why(*Earliest, Order);
}

}  // namespace

void Check_Station(Rule_Tally& T, int32_t S, int32_t Servers, const std::vector<Customer_Parameters>& Day,
                   const std::vector<Customer_Results>& Records) {
  std::vector<Station_Visit> Visits = Visits_At(S, Day, Records);
  std::vector<const Station_Visit*> Order;
  for (const Station_Visit& V : Visits) Order.push_back(&V);
  std::sort(Order.begin(), Order.end(), In_Arrival_Order);
  Check_Services_And_Servers(T, S, Servers, Visits);
  Check_First_Come(T, S, Order);
  Check_No_Idle(T, S, Servers, Visits, Order);
  Check_Queue_Lengths(T, S, Order);
}
