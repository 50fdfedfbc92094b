/*
** student_simulator.c
** A simulator of the ZOR day written apart from the kit, as a student
** would: plain C, one pending-event list scanned for the next event. Built
** once correct and once per typical mistake (FAULT_...), so the tests can
** see each mistake named by the rule it breaks, and the correct build pass.
*/
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "customer_parameters.h"
#include "customer_results.h"

enum { Stations = 3, Most_Servers = 20 };

typedef struct {
  int64_t Time;
  int Departure; /* 1: a departure, 0: an arrival */
  int Station, Server, Customer;
} Event;

static Customer_Parameters* Day;
static Customer_Results* Out;
static int Count, Servers[Stations];
static Event* Pending;
static int Pending_Count;
static int Busy[Stations][Most_Servers + 1];
static int* Queue[Stations];
static int Queue_Head[Stations], Queue_Tail[Stations];

static int32_t Service(int C, int S) {
  return S == 0 ? Day[C].LAB_Service_Time : S == 1 ? Day[C].X_RAY_Service_Time : Day[C].EKG_Service_Time;
}

static int32_t* Field(int C, int S, int Which) { return &Out[C].Time_Arrived_LAB + 4 * S + Which; }

static void Schedule(int64_t Time, int Departure, int Station, int Server, int Customer) {
  Event E = {Time, Departure, Station, Server, Customer};
  Pending[Pending_Count++] = E;
}

/* Departures before arrivals at one instant; departures by station and
** server, arrivals by customer. */
static int Before(const Event* A, const Event* B) {
  if (A->Time != B->Time) return A->Time < B->Time;
#ifdef FAULT_ARRIVALS_FIRST
  if (A->Departure != B->Departure) return A->Departure < B->Departure;
#else
  if (A->Departure != B->Departure) return A->Departure > B->Departure;
#endif
  if (A->Departure) return A->Station * 100 + A->Server < B->Station * 100 + B->Server;
  return A->Customer < B->Customer;
}

static void Start(int C, int S, int Server, int64_t Now) {
  Busy[S][Server] = 1;
  *Field(C, S, 2) = Server;
  Schedule(Now + Service(C, S), 1, S, Server, C);
}

static int Free_Server(int S) {
#ifdef FAULT_HIGHEST_SERVER
  for (int K = Servers[S]; K >= 1; K--)
#else
  for (int K = 1; K <= Servers[S]; K++)
#endif
    if (!Busy[S][K]) return K;
  return 0;
}

static int Next_Station(int C, int S) {
  (void)C;
  for (int N = S + 1; N < Stations; N++)
#ifdef FAULT_SKIPPED_VISITED
    if (N < Stations) return N;
#else
    if (Service(C, N) != 0) return N;
#endif
  return Stations;
}

static void Arrive(int C, int S, int64_t Now) {
  *Field(C, S, 0) = (int32_t)Now;
  int Waiting = Queue_Tail[S] - Queue_Head[S];
#ifdef FAULT_QUEUE_COUNTS_IN_SERVICE
  for (int K = 1; K <= Servers[S]; K++) Waiting += Busy[S][K];
#endif
  *Field(C, S, 1) = Waiting;
  int K = Free_Server(S);
  if (K != 0) Start(C, S, K, Now);
  else Queue[S][Queue_Tail[S]++] = C;
}

static void Depart(int C, int S, int Server, int64_t Now) {
  *Field(C, S, 3) = (int32_t)Now;
  Busy[S][Server] = 0;
  if (Queue_Head[S] < Queue_Tail[S]) {
#ifdef FAULT_LIFO
    int Next = Queue[S][--Queue_Tail[S]];
#else
    int Next = Queue[S][Queue_Head[S]++];
#endif
    Start(Next, S, Server, Now);
  }
  int N = Next_Station(C, S);
  if (N == Stations) Out[C].Time_Departed_ZOR = (int32_t)(Now + Day[C].Travel_Time_To_EXIT);
  else Schedule(Now + (N == 1 ? Day[C].Travel_Time_To_X_RAY : Day[C].Travel_Time_To_EKG), 0, N, 0, C);
}

int main(void) {
  FILE* In = fopen("ZOR_Binary_In", "rb");
  if (In == NULL) return 1;
  Customer_Parameters P;
  while (fread(&P, sizeof P, 1, In) == 1) {
    Day = realloc(Day, sizeof P * (size_t)(Count + 1));
    Day[Count++] = P;
  }
  fclose(In);
  fprintf(stderr, "Servers at LAB, X_RAY, EKG: ");
  if (scanf("%d %d %d", &Servers[0], &Servers[1], &Servers[2]) != 3) return 1;
#ifdef FAULT_LOOP_ONE_SERVER
  while (Servers[0] == 1 || Servers[1] == 1 || Servers[2] == 1) {
  }
#endif
  Out = calloc((size_t)Count + 1, sizeof *Out);
  Pending = malloc(sizeof *Pending * ((size_t)Count * 3 + 1));
  for (int S = 0; S < Stations; S++) Queue[S] = malloc(sizeof(int) * ((size_t)Count + 1));
  int64_t Arrived = 0;
  for (int C = 0; C < Count; C++) {
#ifdef FAULT_CRASH_PAST_50
    if (C == 50) abort();
#endif
    Arrived += Day[C].Interarrival_Time;
    Out[C].Customer_Number = C + 1;
    Out[C].Time_Arrived_ZOR = (int32_t)Arrived;
    Out[C].Interarrival_Time = Day[C].Interarrival_Time;
    Out[C].Travel_Time_To_LAB = Day[C].Travel_Time_To_LAB;
    Out[C].LAB_Service_Time = Day[C].LAB_Service_Time;
    Out[C].Travel_Time_To_X_RAY = Day[C].Travel_Time_To_X_RAY;
    Out[C].X_RAY_Service_Time = Day[C].X_RAY_Service_Time;
    Out[C].Travel_Time_To_EKG = Day[C].Travel_Time_To_EKG;
    Out[C].EKG_Service_Time = Day[C].EKG_Service_Time;
    Out[C].Travel_Time_To_EXIT = Day[C].Travel_Time_To_EXIT;
#ifdef FAULT_LAB_ZERO_SKIPPED
    if (Day[C].LAB_Service_Time == 0) {
      int N = Next_Station(C, 0);
      if (N == Stations) Out[C].Time_Departed_ZOR = (int32_t)(Arrived + Day[C].Travel_Time_To_EXIT);
      else Schedule(Arrived + (N == 1 ? Day[C].Travel_Time_To_X_RAY : Day[C].Travel_Time_To_EKG), 0, N, 0, C);
      continue;
    }
#endif
    Schedule(Arrived + Day[C].Travel_Time_To_LAB, 0, 0, 0, C);
  }
  while (Pending_Count > 0) {
    int First = 0;
    for (int I = 1; I < Pending_Count; I++)
      if (Before(&Pending[I], &Pending[First])) First = I;
    Event E = Pending[First];
    Pending[First] = Pending[--Pending_Count];
    if (E.Departure) Depart(E.Customer, E.Station, E.Server, E.Time);
    else Arrive(E.Customer, E.Station, E.Time);
  }
  FILE* Results = fopen("ZOR_Binary_Out", "wb");
  if (Results == NULL || fwrite(Out, sizeof *Out, (size_t)Count, Results) != (size_t)Count) return 1;
  return fclose(Results) == 0 ? 0 : 1;
}
