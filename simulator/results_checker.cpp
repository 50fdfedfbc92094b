/*
** results_checker.cpp
** Says whether a simulator's ZOR_Binary_Out follows the model for the day
** in ZOR_Binary_In, and if not, where it first goes wrong and why.
**
** The model is checked rule by rule, each rule on its own and in the
** order a person debugging a simulator wants them: the records, the
** arrival at ZOR, the route, the service times, the servers, first come
** first served, no idle server while someone waits, the queue lengths.
** Last comes equality with the reference simulator: with its tie rules
** (departures before arrivals at one instant, simultaneous arrivals in
** customer order, lowest-numbered server first) there is exactly one
** result that keeps every rule, so a difference that no rule explains is
** a gap in the rules, and the checker says so.
**
** Every value read is treated as arbitrary: all arithmetic on times is
** done in 64 bits, server numbers are range-checked before they index
** anything, and each rule costs O(n log n) at most.
*/
#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "customer_parameters.h"
#include "customer_results.h"
#include "customer_results_fields.h"
#include "day_input.h"
#include "main_error.h"
#include "program_arguments.h"
#include "record_io.h"
#include "simulation.h"
#include "zor_files.h"

static const char Help[] =
    "Usage: results_checker\n"
    "Checks, in the current folder, whether ZOR_Binary_Out follows the model for\n"
    "the day in ZOR_Binary_In. It asks for the servers at LAB, X_RAY and EKG\n"
    "exactly as zor_simulator does (standard error, each 1 .. 20), then checks\n"
    "the records rule by rule: one record per customer, the arrival at ZOR, the\n"
    "route, the service times, the servers, first come first served, no idle\n"
    "server while someone waits, the queue lengths, and equality with the\n"
    "reference simulator. It prints one line when the file follows the model;\n"
    "otherwise the first violation in customer order (rule, customer, station,\n"
    "field, expected and found) and how many customers break each rule.\n"
    "Exit status: 0 the file follows the model; 1 it does not; 2 trouble (a\n"
    "file missing or unreadable, a bad entry), after an \"ERROR in main\" block.\n"
    "Example: printf '5\\n4\\n2\\n' | results_checker\n";

enum Rule {
  Rule_Records, Rule_Arrival, Rule_Route, Rule_Service, Rule_Servers,
  Rule_First_Come, Rule_No_Idle, Rule_Queue, Rule_Reference, Number_Of_Rules
};

static const char* const Rule_Name[Number_Of_Rules] = {
    "one record per customer, numbered in order, parameters copied",
    "Time_Arrived_ZOR is the running sum of Interarrival_Time",
    "the route and its travel times",
    "each service lasts its service time and starts after the arrival",
    "server numbers in range, one customer per server at a time",
    "first come, first served",
    "nobody waits while a server is free; lowest-numbered free server first",
    "the queue length counts the customers waiting on arrival",
    "equal to the reference simulator",
};

static constexpr const auto& Field_Name = Customer_Results_Field_Name;

/* Field positions in a results record; a station's four fields follow
** Time_Arrived_ZOR in the order arrived, queue, server, departed. */
enum { F_Number = 0, F_Arrived_ZOR = 1, F_Departed_ZOR = 14, F_Parameters = 15 };
static int Station_Field(int32_t S, int Which) { return 2 + 4 * S + Which; }
enum { At_Arrived = 0, At_Queue = 1, At_Server = 2, At_Departed = 3 };

struct Violation {
  int64_t Customer;  // from 1; 0 while the rule holds
  int32_t Station;   // a Station, or -1 for ZOR as a whole
  const char* Field;
  char Expected[64], Found[64], Why[160];
};

struct Tally {
  int64_t Customers[Number_Of_Rules];
  Violation First[Number_Of_Rules];
  std::vector<char> Broken[Number_Of_Rules];  // per customer, from 1
  bool Count_Differs;  // records missing or extra: every later rule is then in doubt
};

/* Counts Customer against Rule once, and keeps the violation if it is the
** rule's earliest in customer order. */
static void Note(Tally& T, int Rule, int64_t Customer, int32_t Station, const char* Field, const char* Expected,
                 const char* Found, const char* Why = "") {
  std::vector<char>& Broken = T.Broken[Rule];
  if (Broken.size() <= static_cast<size_t>(Customer)) Broken.resize(static_cast<size_t>(Customer) + 1, 0);
  if (Broken[static_cast<size_t>(Customer)]) return;
  Broken[static_cast<size_t>(Customer)] = 1;
  T.Customers[Rule]++;
  Violation& V = T.First[Rule];
  if (V.Customer != 0 && V.Customer <= Customer) return;
  V.Customer = Customer;
  V.Station = Station;
  V.Field = Field;
  std::snprintf(V.Expected, sizeof V.Expected, "%s", Expected);
  std::snprintf(V.Found, sizeof V.Found, "%s", Found);
  std::snprintf(V.Why, sizeof V.Why, "%s", Why);
}

static const char* Number(char (&Text)[64], int64_t Value) {
  std::snprintf(Text, sizeof Text, "%" PRId64, Value);
  return Text;
}

struct Visit {
  int64_t Arrived, Start, Departed;
  int32_t Customer;  // from 1
  int32_t Server, Queue_Length, Service;
};

static std::vector<Customer_Results> Read_Results(std::FILE* In, size_t Wanted, int64_t* Extra, size_t* Trailing) {
  std::vector<Customer_Results> Results;
  Customer_Results R;
  *Extra = 0;
  while (Read_Int32_Record(In, &R, sizeof R)) {
    if (Results.size() < Wanted) Results.push_back(R);
    else ++*Extra;
  }
  if (std::ferror(In)) Main_Error(6, "  File: %s can not be opened for reading\n", ZOR_Binary_Out);
  /* A short read leaves the partial record's bytes counted by the stream. */
  *Trailing = 0;
  if (std::fseek(In, 0, SEEK_END) == 0) {
    long Size = std::ftell(In);
    if (Size > 0) *Trailing = static_cast<size_t>(Size) % sizeof(Customer_Results);
  }
  std::fclose(In);
  return Results;
}

static void Fields_Of(const Customer_Results& R, int32_t F[23]) { std::memcpy(F, &R, sizeof R); }
static void Fields_Of(const Customer_Parameters& P, int32_t F[8]) { std::memcpy(F, &P, sizeof P); }

static void Check_Records(Tally& T, const std::vector<Customer_Parameters>& Day,
                          const std::vector<Customer_Results>& Results, int64_t Extra, size_t Trailing) {
  char E[64], F[64], Why[160];
  for (size_t K = 0; K < Results.size(); K++) {
    int32_t R[23], P[8];
    Fields_Of(Results[K], R);
    Fields_Of(Day[K], P);
    int64_t Customer = static_cast<int64_t>(K) + 1;
    if (R[F_Number] != Customer) {
      Note(T, Rule_Records, Customer, -1, Field_Name[F_Number], Number(E, Customer), Number(F, R[F_Number]));
      continue;
    }
    for (int I = 0; I < 8; I++)
      if (R[F_Parameters + I] != P[I]) {
        Note(T, Rule_Records, Customer, -1, Field_Name[F_Parameters + I], Number(E, P[I]), Number(F, R[F_Parameters + I]),
             "fields 16 to 23 must copy the customer's record of ZOR_Binary_In");
        break;
      }
  }
  int64_t Have = static_cast<int64_t>(Results.size()), Want = static_cast<int64_t>(Day.size());
  T.Count_Differs = Have != Want || Extra > 0 || Trailing > 0;
  if (Have < Want) {
    std::snprintf(Why, sizeof Why, "ZOR_Binary_Out holds %" PRId64 " whole records for %" PRId64 " customers%s",
                  Have, Want, Trailing ? " and a record cut short" : "");
    for (int64_t C = Have + 1; C <= Want; C++) Note(T, Rule_Records, C, -1, "(record)", "a record", "none", Why);
  } else if (Extra > 0 || Trailing > 0) {
    std::snprintf(Why, sizeof Why, "ZOR_Binary_Out holds %" PRId64 " records more than the %" PRId64
                  " customers, and %zu bytes of a record cut short", Extra, Want, Trailing);
    Note(T, Rule_Records, Want + 1, -1, "(record)", "no record", Extra > 0 ? "an extra record" : "part of a record",
         Why);
  }
}

/* Each leg is checked from the record's own previous instant, so one
** wrong time is reported once rather than along the whole route. */
static void Check_Route(Tally& T, int64_t Customer, const int32_t R[23], const int32_t P[8]) {
  char E[64], F[64];
  int64_t Previous = R[F_Arrived_ZOR];
  for (int32_t S = 0; S < Number_Of_Stations; S++) {
    int32_t Travel = P[1 + 2 * S], Service = P[2 + 2 * S];
    if (S != LAB && Service == 0) {
      for (int Which = At_Arrived; Which <= At_Departed; Which++)
        if (R[Station_Field(S, Which)] != 0)
          return Note(T, Rule_Route, Customer, S, Field_Name[Station_Field(S, Which)], "0",
                      Number(F, R[Station_Field(S, Which)]), "a station the customer skips holds 0 in all four fields");
      continue;
    }
    if (R[Station_Field(S, At_Arrived)] != Previous + Travel)
      return Note(T, Rule_Route, Customer, S, Field_Name[Station_Field(S, At_Arrived)], Number(E, Previous + Travel),
                  Number(F, R[Station_Field(S, At_Arrived)]), "arrival = previous instant + travel time");
    Previous = R[Station_Field(S, At_Departed)];
  }
  if (R[F_Departed_ZOR] != Previous + P[7])
    Note(T, Rule_Route, Customer, -1, Field_Name[F_Departed_ZOR], Number(E, Previous + P[7]),
         Number(F, R[F_Departed_ZOR]), "departure from ZOR = last departure + Travel_Time_To_EXIT");
}

static void Check_Arrivals_And_Routes(Tally& T, const std::vector<Customer_Parameters>& Day,
                                      const std::vector<Customer_Results>& Results) {
  char E[64], F[64];
  int64_t Arrived_ZOR = 0;
  for (size_t K = 0; K < Results.size(); K++) {
    int32_t R[23], P[8];
    Fields_Of(Results[K], R);
    Fields_Of(Day[K], P);
    int64_t Customer = static_cast<int64_t>(K) + 1;
    Arrived_ZOR += P[0];
    if (R[F_Arrived_ZOR] != Arrived_ZOR)
      Note(T, Rule_Arrival, Customer, -1, Field_Name[F_Arrived_ZOR], Number(E, Arrived_ZOR), Number(F, R[F_Arrived_ZOR]));
    Check_Route(T, Customer, R, P);
  }
}

/* The visits to station S, with each service's start derived from its
** departure and the customer's service time. */
static std::vector<Visit> Visits_At(int32_t S, const std::vector<Customer_Parameters>& Day,
                                    const std::vector<Customer_Results>& Results) {
  std::vector<Visit> Visits;
  for (size_t K = 0; K < Results.size(); K++) {
    int32_t R[23], P[8];
    Fields_Of(Results[K], R);
    Fields_Of(Day[K], P);
    int32_t Service = P[2 + 2 * S];
    if (S != LAB && Service == 0) continue;
    int64_t Departed = R[Station_Field(S, At_Departed)];
    Visits.push_back(Visit{R[Station_Field(S, At_Arrived)], Departed - Service, Departed, static_cast<int32_t>(K + 1),
                           R[Station_Field(S, At_Server)], R[Station_Field(S, At_Queue)], Service});
  }
  return Visits;
}

static bool In_Arrival_Order(const Visit* A, const Visit* B) {
  return A->Arrived != B->Arrived ? A->Arrived < B->Arrived : A->Customer < B->Customer;
}

static void Check_Services_And_Servers(Tally& T, int32_t S, int32_t Servers, std::vector<Visit>& Visits) {
  char E[64], F[64], Why[160];
  for (const Visit& V : Visits) {
    if (V.Start < V.Arrived) {
      std::snprintf(E, sizeof E, "at least %" PRId64, V.Arrived + V.Service);
      Note(T, Rule_Service, V.Customer, S, Field_Name[Station_Field(S, At_Departed)], E, Number(F, V.Departed),
           "the service starts no earlier than the arrival and lasts the service time");
    }
    if (V.Server < 1 || V.Server > Servers) {
      std::snprintf(E, sizeof E, "1 .. %d", Servers);
      Note(T, Rule_Servers, V.Customer, S, Field_Name[Station_Field(S, At_Server)], E, Number(F, V.Server));
    }
  }
  /* Per server, services in order of start: each must begin once every
  ** earlier one on that server has ended. */
  std::vector<const Visit*> By_Start;
  for (const Visit& V : Visits)
    if (V.Server >= 1 && V.Server <= Servers && V.Departed > V.Start) By_Start.push_back(&V);
  std::sort(By_Start.begin(), By_Start.end(), [](const Visit* A, const Visit* B) {
    if (A->Server != B->Server) return A->Server < B->Server;
    return A->Start != B->Start ? A->Start < B->Start : A->Customer < B->Customer;
  });
  const Visit* Holder = nullptr;
  for (const Visit* V : By_Start) {
    if (Holder != nullptr && Holder->Server == V->Server && V->Start < Holder->Departed) {
      std::snprintf(Why, sizeof Why, "server %d is serving customer %d from %" PRId64 " until %" PRId64 "",
                    V->Server, Holder->Customer, Holder->Start, Holder->Departed);
      std::snprintf(E, sizeof E, "a server free at %" PRId64, V->Start);
      Note(T, Rule_Servers, V->Customer, S, Field_Name[Station_Field(S, At_Server)], E, Number(F, V->Server), Why);
    }
    if (Holder == nullptr || Holder->Server != V->Server || V->Departed > Holder->Departed) Holder = V;
  }
}

static void Check_First_Come(Tally& T, int32_t S, const std::vector<const Visit*>& Order) {
  char E[64], F[64], Why[160];
  const Visit* Earliest_Later = nullptr;  // the earliest start among those who arrived later
  for (size_t I = Order.size(); I-- > 0;) {
    const Visit* V = Order[I];
    if (Earliest_Later != nullptr && V->Start > Earliest_Later->Start) {
      std::snprintf(E, sizeof E, "at most %" PRId64, Earliest_Later->Start + V->Service);
      std::snprintf(Why, sizeof Why, "customer %d arrived later (at %" PRId64 ") and started first (at %" PRId64 ")",
                    Earliest_Later->Customer, Earliest_Later->Arrived, Earliest_Later->Start);
      Note(T, Rule_First_Come, V->Customer, S, Field_Name[Station_Field(S, At_Departed)], E, Number(F, V->Departed), Why);
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
static void Check_No_Idle(Tally& T, int32_t S, int32_t Servers, const std::vector<Visit>& Visits,
                          const std::vector<const Visit*>& Order) {
  char E[64], F[64], Why[160];
  auto Valid = [Servers](const Visit* V) { return V->Server >= 1 && V->Server <= Servers; };
  std::vector<const Visit*> Starts(Order), Ends;
  std::stable_sort(Starts.begin(), Starts.end(), [](const Visit* A, const Visit* B) { return A->Start < B->Start; });
  for (const Visit& V : Visits)
    if (V.Departed > V.Start) Ends.push_back(&V);
  std::sort(Ends.begin(), Ends.end(), [](const Visit* A, const Visit* B) { return A->Departed < B->Departed; });
  std::vector<int64_t> Instants;
  for (const Visit& V : Visits) Instants.insert(Instants.end(), {V.Arrived, V.Start, V.Departed});
  std::sort(Instants.begin(), Instants.end());
  Instants.erase(std::unique(Instants.begin(), Instants.end()), Instants.end());

  int32_t Active[Max_Servers + 1] = {};
  int64_t Unnumbered = 0;
  auto First_Free = [&Active, &Unnumbered, Servers]() {
    int64_t Free = 0;
    int32_t Lowest = Servers + 1;
    for (int32_t S = Servers; S >= 1; S--)
      if (Active[S] == 0) Free++, Lowest = S;
    return Free > Unnumbered ? Lowest : Servers + 1;
  };
  std::vector<const Visit*> Waiting;  // in arrival order; Waiting[Head ..] may still wait
  size_t Next_Arrival = 0, Next_Start = 0, Next_End = 0, Head = 0;
  for (int64_t Now : Instants) {
    for (; Next_End < Ends.size() && Ends[Next_End]->Departed == Now; Next_End++)
      if (Valid(Ends[Next_End])) Active[Ends[Next_End]->Server]--;
      else Unnumbered--;
    for (; Next_Start < Starts.size() && Starts[Next_Start]->Start == Now; Next_Start++) {
      const Visit* V = Starts[Next_Start];
      if (!Valid(V)) {
        if (V->Departed > V->Start) Unnumbered++;
        continue;
      }
      int32_t Lowest = First_Free();
      if (Unnumbered == 0 && Lowest <= Servers && Lowest != V->Server) {
        std::snprintf(Why, sizeof Why, "at %" PRId64 " server %d was the lowest-numbered free one", Now, Lowest);
        Note(T, Rule_No_Idle, V->Customer, S, Field_Name[Station_Field(S, At_Server)], Number(E, Lowest),
             Number(F, V->Server), Why);
      }
      if (V->Departed > V->Start) Active[V->Server]++;
    }
    for (; Next_Arrival < Order.size() && Order[Next_Arrival]->Arrived == Now; Next_Arrival++)
      if (Order[Next_Arrival]->Start > Now) Waiting.push_back(Order[Next_Arrival]);
    int32_t Free = First_Free();
    if (Free > Servers) continue;
    /* Everyone still waiting now waits beside a free server; each is
    ** counted once and then no longer followed. */
    for (; Head < Waiting.size(); Head++) {
      const Visit* V = Waiting[Head];
      if (V->Start <= Now) continue;
      std::snprintf(E, sizeof E, "at most %" PRId64, Now + V->Service);
      std::snprintf(Why, sizeof Why, "the customer waits at %" PRId64 " while server %d is free", Now, Free);
      Note(T, Rule_No_Idle, V->Customer, S, Field_Name[Station_Field(S, At_Departed)], E, Number(F, V->Departed), Why);
    }
  }
}

/* The queue found on arrival: those who arrived before (at one instant,
** lower customer numbers first) and start after this arrival. Counted
** with a Fenwick tree over the start instants. */
static void Check_Queue_Lengths(Tally& T, int32_t S, const std::vector<const Visit*>& Order) {
  char E[64], F[64];
  std::vector<int64_t> Starts;
  for (const Visit* V : Order) Starts.push_back(V->Start);
  std::sort(Starts.begin(), Starts.end());
  std::vector<int64_t> Tree(Starts.size() + 1, 0);
  int64_t Inserted = 0;
  for (const Visit* V : Order) {
    size_t At_Or_Before = static_cast<size_t>(std::upper_bound(Starts.begin(), Starts.end(), V->Arrived) - Starts.begin());
    int64_t Started_By_Then = 0;
    for (size_t I = At_Or_Before; I > 0; I -= I & (~I + 1)) Started_By_Then += Tree[I];
    int64_t Waiting = Inserted - Started_By_Then;
    if (V->Queue_Length != Waiting)
      Note(T, Rule_Queue, V->Customer, S, Field_Name[Station_Field(S, At_Queue)], Number(E, Waiting),
           Number(F, V->Queue_Length), "customers who arrived earlier and had not started");
    size_t Slot = static_cast<size_t>(std::lower_bound(Starts.begin(), Starts.end(), V->Start) - Starts.begin()) + 1;
    for (size_t I = Slot; I < Tree.size(); I += I & (~I + 1)) Tree[I]++;
    Inserted++;
  }
}

static void Check_Reference(Tally& T, const std::vector<Customer_Parameters>& Day,
                            const std::vector<Customer_Results>& Results, const int32_t Servers[Number_Of_Stations]) {
  char E[64], F[64];
  std::vector<Customer_Results> Reference(Day.size());
  Day_Summary Summary;
  Simulate_Day(Day.data(), static_cast<int32_t>(Day.size()), Servers, Reference.data(), &Summary);
  for (size_t K = 0; K < Day.size(); K++) {
    int64_t Customer = static_cast<int64_t>(K) + 1;
    if (K >= Results.size()) {
      Note(T, Rule_Reference, Customer, -1, "(record)", "a record", "none");
      continue;
    }
    int32_t Want[23], Got[23];
    Fields_Of(Reference[K], Want);
    Fields_Of(Results[K], Got);
    for (int I = 0; I < 23; I++)
      if (Want[I] != Got[I]) {
        int32_t Station = I >= 2 && I < F_Departed_ZOR ? (I - 2) / 4 : -1;
        Note(T, Rule_Reference, Customer, Station, Field_Name[I], Number(E, Want[I]), Number(F, Got[I]));
        break;
      }
  }
}

/* The verdict: one line when every rule holds, else the first violation
** in customer order (the earlier rule first within a customer) and how
** many customers break each rule. */
static int Report(const Tally& T, size_t Customers) {
  int First = -1;
  for (int Rule = 0; Rule < Number_Of_Rules; Rule++)
    if (T.Customers[Rule] > 0 && (First < 0 || T.First[Rule].Customer < T.First[First].Customer)) First = Rule;
  /* A record missing or added shifts what every station rule sees, so the
  ** count is named first, wherever it stands in customer order. */
  if (T.Count_Differs) First = Rule_Records;
  if (First < 0) {
    std::printf("ZOR_Binary_Out follows the model: %zu customers\n", Customers);
    return 0;
  }
  const Violation& V = T.First[First];
  std::printf("ZOR_Binary_Out does not follow the model: customer %" PRId64 " breaks the rule \"%s\"\n", V.Customer,
              Rule_Name[First]);
  std::printf("  customer: %" PRId64 "\n  station:  %s\n  field:    %s\n  expected: %s\n  found:    %s\n", V.Customer,
              V.Station < 0 ? "ZOR" : Station_Name[V.Station], V.Field, V.Expected, V.Found);
  if (V.Why[0] != '\0') std::printf("  why:      %s\n", V.Why);
  if (First == Rule_Reference)
    std::printf("  No rule above explains this difference from the reference: a gap in the checker's rules.\n");
  std::printf("Customers breaking each rule:\n");
  for (int Rule = 0; Rule < Number_Of_Rules; Rule++)
    std::printf("  %7" PRId64 "  %s\n", T.Customers[Rule], Rule_Name[Rule]);
  return 1;
}

int main(int Argc, char** Argv) {
  Take_No_Arguments(Argc, Argv, "results_checker", Help);
  Main_Error_Status = 2;
  std::FILE* In = Open_Binary_Input(ZOR_Binary_In);
  if (In == nullptr) Main_Error(1, "  File: %s can not be opened for reading\n", ZOR_Binary_In);
  std::FILE* Out = Open_Binary_Input(ZOR_Binary_Out);
  if (Out == nullptr) Main_Error(6, "  File: %s can not be opened for reading\n", ZOR_Binary_Out);
  int32_t Servers[Number_Of_Stations];
  Ask_Servers(Servers);
  std::vector<Customer_Parameters> Day = Read_Day(In);
  int64_t Extra = 0;
  size_t Trailing = 0;
  std::vector<Customer_Results> Results = Read_Results(Out, Day.size(), &Extra, &Trailing);

  static Tally T;
  Check_Records(T, Day, Results, Extra, Trailing);
  Check_Arrivals_And_Routes(T, Day, Results);
  for (int32_t S = 0; S < Number_Of_Stations; S++) {
    std::vector<Visit> Visits = Visits_At(S, Day, Results);
    std::vector<const Visit*> Order;
    for (const Visit& V : Visits) Order.push_back(&V);
    std::sort(Order.begin(), Order.end(), In_Arrival_Order);
    Check_Services_And_Servers(T, S, Servers[S], Visits);
    Check_First_Come(T, S, Order);
    Check_No_Idle(T, S, Servers[S], Visits, Order);
    Check_Queue_Lengths(T, S, Order);
  }
  Check_Reference(T, Day, Results, Servers);
  return Report(T, Day.size());
}
