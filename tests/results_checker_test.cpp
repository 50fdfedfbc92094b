// results_checker as a user runs it: the reference's own output passes on
// many days; each kind of fault a student simulator makes, planted in a
// good output, is named by its rule at the right customer; trouble is
// status 2; any bytes give a verdict or status 2, never a crash.
#include <bit>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "simulator/simulation.h"
#include "tests/process.h"

namespace {

static_assert(std::endian::native == std::endian::little, "the tests write records as they lie in memory");

using Day = std::vector<Customer_Parameters>;
using Results = std::vector<Customer_Results>;

template <typename Record>
std::string Image(const std::vector<Record>& Records) {
  return std::string(reinterpret_cast<const char*>(Records.data()), Records.size() * sizeof(Record));
}

Results Reference(const Day& D, const int32_t Servers[3]) {
  Results R(D.size());
  Day_Summary Summary;
  Simulate_Day(D.data(), int32_t(D.size()), Servers, R.data(), &Summary);
  return R;
}

std::string Entries(const int32_t Servers[3]) {
  return std::to_string(Servers[0]) + "\n" + std::to_string(Servers[1]) + "\n" + std::to_string(Servers[2]) + "\n";
}

// Random days: tiny spreads make ties the rule, one server per station
// saturates it, and some days hold zero travel and LAB service times.
Day Generated_Day(std::mt19937& Pick, int Round) {
  int Count = 1 + int(Pick() % 150);
  int Spread = Round % 3 == 0 ? 6 : Round % 3 == 1 ? 60 : 900;
  int Least = Round % 5 == 4 ? 0 : 1;
  auto Time = [&](int Base) { return Base + int(Pick() % unsigned(Spread)); };
  Day D;
  for (int C = 0; C < Count; C++) {
    bool X_RAY = Pick() % 100 < 55, EKG = Pick() % 100 < 30;
    D.push_back({C == 0 ? 0 : Time(0) / 4, Time(0), Time(Least) * 3, X_RAY ? Time(0) : 0, X_RAY ? Time(1) * 4 : 0,
                 EKG ? Time(0) : 0, EKG ? Time(1) * 2 : 0, Time(0)});
  }
  return D;
}

class Results_Checker : public Scratch_Folder_Test {
 protected:
  Run_Result Check(const Day& D, const Results& R, const int32_t Servers[3], const std::string& Extra = "") {
    Write_File(At("ZOR_Binary_In"), Image(D));
    Write_File(At("ZOR_Binary_Out"), Image(R) + Extra);
    return Run_Program(RESULTS_CHECKER_PATH, Folder, Entries(Servers));
  }
};

TEST_F(Results_Checker, AcceptsTheReferenceOnManyDays) {
  std::mt19937 Pick(7);
  for (int Round = 0; Round < 45; Round++) {
    Day D = Generated_Day(Pick, Round);
    const int32_t Servers[] = {1 + int32_t(Pick() % 4), 1 + int32_t(Pick() % 3), 1 + int32_t(Pick() % 2)};
    Run_Result Verdict = Check(D, Reference(D, Servers), Servers);
    ASSERT_EQ(Verdict.Exit_Status, 0) << "round " << Round << "\n" << Verdict.Out;
    EXPECT_EQ(Verdict.Out, "ZOR_Binary_Out follows the model: " + std::to_string(D.size()) + " customers\n");
  }
}

// Moves one customer's service at station S by Delta seconds, and the
// rest of its route with it, as a simulator that served it then would.
void Move_Service(Customer_Results& R, int S, int32_t Delta) {
  Visit_Value(R, S, Departed_Field) += Delta;
  for (int Later = S + 1; Later < 3; Later++)
    if (Visits_Station(Parameters_Of(R), Later))
      Visit_Value(R, Later, Arrived_Field) += Delta, Visit_Value(R, Later, Departed_Field) += Delta;
  R.Time_Departed_ZOR += Delta;
}

struct Planted_Fault {
  const char* What;
  Day Customers;
  int32_t Servers[3];
  std::function<void(Results&)> Plant;
  const char* Rule;
  int Customer;
  std::string Extra = "";
};

// A 1-server LAB with three customers who queue (arriving at 0, 1 and 2,
// 10 s of service each), and a 2-server LAB where customer 2 arrives the
// instant customer 1 leaves server 1.
const Day Queue_Of_Three = {{0, 0, 10, 0, 0, 0, 0, 5}, {1, 0, 10, 0, 0, 0, 0, 5}, {1, 0, 10, 0, 0, 0, 0, 5}};
const Day Handover = {{0, 0, 100, 0, 0, 0, 0, 5}, {100, 0, 50, 0, 0, 0, 0, 5}, {0, 10, 30, 0, 0, 0, 0, 5}};
const Day Three_Then_One = {{0, 0, 100, 0, 0, 0, 0, 5}, {50, 0, 10, 0, 0, 0, 0, 5}, {50, 0, 10, 0, 0, 0, 0, 5}};
const Day Three_At_Once = {{0, 0, 10, 0, 0, 0, 0, 5}, {0, 0, 10, 0, 0, 0, 0, 5}, {0, 0, 10, 0, 0, 0, 0, 5}};

TEST_F(Results_Checker, NamesEachPlantedFaultByItsRuleAtItsCustomer) {
  std::mt19937 Pick(11);
  Day Busy = Generated_Day(Pick, 1);
  while (Busy.size() < 40) Busy = Generated_Day(Pick, 1);
  const Planted_Fault Faults[] = {
      {"arrival off by one", Busy, {2, 2, 1}, [](Results& R) { R[20].Time_Arrived_ZOR++; },
       "Time_Arrived_ZOR is the running sum", 21},
      {"exit off by one", Busy, {2, 2, 1}, [](Results& R) { R[30].Time_Departed_ZOR--; }, "the route", 31},
      {"parameter not copied", Busy, {2, 2, 1}, [](Results& R) { R[12].LAB_Service_Time++; }, "one record per customer", 13},
      {"queue length off by one", Busy, {2, 2, 1}, [](Results& R) { R[25].LAB_Queue_Length++; }, "the queue length", 26},
      {"server out of range", Busy, {2, 2, 1}, [](Results& R) { R[17].LAB_Server = 99; }, "server numbers in range", 18},
      {"server 0", Busy, {2, 2, 1}, [](Results& R) { R[9].LAB_Server = 0; }, "server numbers in range", 10},
      {"skipped station with fields", Queue_Of_Three, {1, 1, 1}, [](Results& R) { R[1].X_RAY_Queue_Length = 1; },
       "the route", 2},
      {"last-come first-served", Queue_Of_Three, {1, 1, 1},
       [](Results& R) { Move_Service(R[1], LAB, 10), Move_Service(R[2], LAB, -10); }, "first come, first served", 2},
      {"server used twice at once", Handover, {2, 1, 1}, [](Results& R) { R[2].LAB_Server = 1; },
       "one customer per server at a time", 3},
      {"idle server while someone waits", Handover, {2, 1, 1},
       [](Results& R) { Move_Service(R[2], LAB, 70), R[2].LAB_Server = 1; }, "nobody waits while a server is free", 3},
      {"arrival handled before the departure", Handover, {2, 1, 1}, [](Results& R) { R[1].LAB_Server = 2; },
       "lowest-numbered free server", 2},
      // Arrivals at one instant taken in reverse: customer 1's queue length
      // of 1 follows from being passed over at its own arrival.
      {"one instant's arrivals reversed", Three_At_Once, {1, 1, 1},
       [](Results& R) { Move_Service(R[0], LAB, 20), Move_Service(R[2], LAB, -20), R[0].LAB_Queue_Length = 1; },
       "first come, first served", 1},
      {"arrival counts who starts that instant", Three_Then_One, {1, 1, 1}, [](Results& R) { R[2].LAB_Queue_Length = 1; },
       "the queue length", 3},
      {"missing record", Busy, {2, 2, 1}, [](Results& R) { R.pop_back(); }, "one record per customer",
       int(Busy.size())},
      {"extra record", Busy, {2, 2, 1}, [](Results& R) { R.push_back(R.back()); }, "one record per customer",
       int(Busy.size()) + 1},
      {"record cut short", Busy, {2, 2, 1}, [](Results&) {}, "one record per customer", int(Busy.size()) + 1,
       std::string(40, '\1')},
      {"customers renumbered", Busy, {2, 2, 1}, [](Results& R) { R[5].Customer_Number = 5; }, "one record per customer",
       6},
  };
  for (const Planted_Fault& F : Faults) {
    Results R = Reference(F.Customers, F.Servers);
    F.Plant(R);
    Run_Result Verdict = Check(F.Customers, R, F.Servers, F.Extra);
    EXPECT_EQ(Verdict.Exit_Status, 1) << F.What;
    std::string First_Line = Verdict.Out.substr(0, Verdict.Out.find('\n'));
    EXPECT_NE(First_Line.find(F.Rule), std::string::npos) << F.What << "\n" << Verdict.Out;
    EXPECT_NE(Verdict.Out.find("\n  customer: " + std::to_string(F.Customer) + "\n"), std::string::npos)
        << F.What << "\n" << Verdict.Out;
  }
}

TEST_F(Results_Checker, ReportsTheFieldValuesAndTheCountPerRule) {
  const int32_t Servers[] = {1, 1, 1};
  Results R = Reference(Queue_Of_Three, Servers);
  Move_Service(R[1], LAB, 10), Move_Service(R[2], LAB, -10);
  Run_Result Verdict = Check(Queue_Of_Three, R, Servers);
  EXPECT_EQ(Verdict.Out,
            "ZOR_Binary_Out does not follow the model: customer 2 breaks the rule \"first come, first served\"\n"
            "  customer: 2\n  station:  LAB\n  time:     10\n  field:    Time_Departed_LAB\n  expected: at most 20\n"
            "  found:    30\n"
            "  why:      customer 3 arrived later (at 2) and started first (at 10)\n"
            "Customers by the first rule each breaks:\n"
            "        0  one record per customer, numbered in order, parameters copied\n"
            "        0  Time_Arrived_ZOR is the running sum of Interarrival_Time\n"
            "        0  the route and its travel times\n"
            "        0  each service lasts its service time and starts after the arrival\n"
            "        0  server numbers in range, one customer per server at a time\n"
            "        1  first come, first served: customer 2\n"
            "        0  nobody waits while a server is free; lowest-numbered free server first\n"
            "        0  the queue length counts the customers waiting on arrival\n"
            "        1  equal to the reference simulator: customer 3 (they keep every rule above: their differences "
            "follow from the breaks above)\n");
}

// The why- and hint-lines that tell a consequence from its cause: ties at
// one instant, what a wrong queue length counted, causes outside the
// simulator's rules.
TEST_F(Results_Checker, ExplainsTiesQueueCountsAndLikelyCauses) {
  const Day One_Zero_LAB = {{0, 0, 0, 0, 0, 0, 0, 5}};
  const Day Zero_LAB_Later = {{0, 0, 10, 0, 0, 0, 0, 5}, {100, 30, 0, 0, 0, 0, 0, 5}};
  struct Case {
    const char* What;
    const Day& Customers;
    int32_t Servers[3];
    std::function<void(Results&)> Plant;
    const char* Said;
  };
  const Case Cases[] = {
      {"arrival seated before the departure", Handover, {2, 1, 1}, [](Results& R) { R[1].LAB_Server = 2; },
       "why:      at 100 server 1 was the lowest-numbered free one; server 1 was freed at 100, the same instant: the "
       "model frees servers before it seats arrivals\n"},
      {"queue counts those in service", Three_At_Once, {2, 1, 1}, [](Results& R) { R[2].LAB_Queue_Length = 2; },
       "0 waiting and 2 in service; the queue length counts only those waiting (the file counts those in service "
       "too)\n"},
      {"queue counts the arriving customer", One_Zero_LAB, {1, 1, 1}, [](Results& R) { R[0].LAB_Queue_Length = 1; },
       "0 waiting and 0 in service; the queue length counts only those waiting (the file counts the arriving "
       "customer too)\n"},
      {"queue count ambiguous", Three_At_Once, {1, 1, 1}, [](Results& R) { R[1].LAB_Queue_Length = 1; },
       "(the file counts those in service, or the arriving customer, too)\n"},
      {"LAB given no server at no service", Zero_LAB_Later, {1, 1, 1}, [](Results& R) { R[1].LAB_Server = 0; },
       "why:      every customer visits LAB and takes a server there, even for a service time of 0\n"},
      // Skipped at 130, where the customer would have reached LAB, not at
      // the 0 its fields hold.
      {"LAB skipped at no service", Zero_LAB_Later, {1, 1, 1},
       [](Results& R) {
         R[1].Time_Arrived_LAB = R[1].LAB_Server = R[1].Time_Departed_LAB = 0;
         R[1].Time_Departed_ZOR = 105;
       },
       "  time:     130\n  field:    Time_Arrived_LAB\n  expected: 130\n  found:    0 (all four fields 0: skipped)\n"
       "  why:      every customer visits LAB, even for a service time of 0; the file skips it\n"},
      {"servers numbered from 0, one server", Queue_Of_Three, {1, 1, 1},
       [](Results& R) {
         for (Customer_Results& Record : R) Record.LAB_Server--;
       },
       "why:      servers are numbered 1 .. 1; the file numbers those of LAB from 0\n"},
      {"servers numbered from 0, two servers", Three_At_Once, {2, 1, 1},
       [](Results& R) {
         for (Customer_Results& Record : R) Record.LAB_Server--;
       },
       "why:      servers are numbered 1 .. 2; the file numbers those of LAB from 0\n"},
      {"records written as customers leave, numbered as written", Handover, {2, 1, 1},
       [](Results& R) {
         std::swap(R[1], R[2]);
         R[1].Customer_Number = 2, R[2].Customer_Number = 3;
       },
       "hint:     the records hold every customer, numbered 1, 2, ... as written, but not in customer order (they "
       "seem written in the order the customers left ZOR); ZOR_Binary_Out lists them in customer order, customer k "
       "in record k\n"},
      {"server above the count", Three_At_Once, {1, 1, 1}, [](Results& R) { R[0].LAB_Server = 2; },
       "hint:     server 2 is above the 1 given for LAB: were the checker and the simulator given the same server "
       "counts?\n"},
      {"fewer servers used than given", Three_At_Once, {3, 1, 1},
       [](Results& R) {
         const int32_t Fewer[] = {1, 1, 1};
         R = Reference(Three_At_Once, Fewer);
       },
       "hint:     the file never uses a server above 1 of the 3 given for LAB: was the simulator given the same server "
       "counts, in the order LAB, X_RAY, EKG?\n"},
      {"records out of order", Queue_Of_Three, {1, 1, 1}, [](Results& R) { std::swap(R[0], R[2]); },
       "hint:     the records hold customers 1 .. 3 but not in customer order; ZOR_Binary_Out lists them in customer "
       "order, customer k in record k\n"},
  };
  for (const Case& C : Cases) {
    Results R = Reference(C.Customers, C.Servers);
    C.Plant(R);
    Run_Result Verdict = Check(C.Customers, R, C.Servers);
    EXPECT_EQ(Verdict.Exit_Status, 1) << C.What;
    EXPECT_NE(Verdict.Out.substr(0, Verdict.Out.find("Customers by the first rule")).find(C.Said), std::string::npos)
        << C.What << "\n" << Verdict.Out;
  }
}

// Refusals come in zor_simulator's order, ZOR_Binary_Out's own last: a day
// the model refuses is said as that even where no simulator has run.
TEST_F(Results_Checker, TroubleEndsWithTheErrorBlockAndStatusTwo) {
  const std::string Ask = "Enter Number of Servers at each station\n   1 <= S <= 20\nNumber of Servers at LAB: ";
  const std::string All_Asked = Ask + "Number of Servers at X_RAY: Number of Servers at EKG: \n";
  const int32_t One[] = {1, 1, 1};
  const std::string Good_In = Image(Queue_Of_Three), Good_Out = Image(Reference(Queue_Of_Three, One));
  const std::string Negative_In = Image(Day{{0, -1, 10, 0, 0, 0, 0, 5}});
  const std::string Late_In = Image(Day{{INT32_MAX - 14, 0, 10, 0, 0, 0, 0, 5}});
  const std::string Negative = "ERROR in main\n  File: ZOR_Binary_In record 1 holds a negative time: -1\n  At exit point 4\n";
  const std::string Past = "ERROR in main\n  File: ZOR_Binary_In holds a day past the clock: customer 1 would leave ZOR "
                           "at 2147483648 s,\n  later than 2147483647 s (2^31 - 1), the last instant ZOR_Binary_Out can "
                           "hold\n  At exit point 5\n";
  enum Results_As { Given, Folder_Of_That_Name, Missing };
  struct Case {
    std::string In, Out, Stdin, Err;
    Results_As Results = Given;
  };
  const Case Cases[] = {
      {Good_In, "", "1\n1\n1\n",
       All_Asked + "ERROR in main\n  File: ZOR_Binary_Out can not be opened for reading\n  At exit point 6\n",
       Folder_Of_That_Name},
      {Good_In, "", "1\n1\n1\n",
       All_Asked + "ERROR in main\n  File: ZOR_Binary_Out can not be opened for reading\n  It does not exist: a "
                   "simulator writes it, run in this folder on this ZOR_Binary_In.\n  At exit point 6\n",
       Missing},
      {Good_In, Good_Out, "x\n", Ask + "ERROR in main\n  Number of Servers at LAB -- INVALID\n  At exit point 2\n"},
      {Good_In, Good_Out, "21\n",
       Ask + "ERROR in main\n  Number of Servers at LAB must be\n     1 <= S <= 20\n  Number of Servers at LAB: 21\n"
             "  At exit point 3\n"},
      {Negative_In, Good_Out, "1\n1\n1\n", All_Asked + Negative},
      {Negative_In, "", "1\n1\n1\n", All_Asked + Negative, Missing},
      {Late_In, Good_Out, "1\n1\n1\n", All_Asked + Past},
      {Late_In, "", "1\n1\n1\n", All_Asked + Past, Missing},
  };
  for (const Case& C : Cases) {
    Write_File(At("ZOR_Binary_In"), C.In);
    unlink(At("ZOR_Binary_Out").c_str());
    if (C.Results == Folder_Of_That_Name) {
      ASSERT_EQ(mkdir(At("ZOR_Binary_Out").c_str(), 0755), 0);
    }
    if (C.Results == Given) Write_File(At("ZOR_Binary_Out"), C.Out);
    Run_Result R = Run_Program(RESULTS_CHECKER_PATH, Folder, C.Stdin);
    EXPECT_EQ(R.Exit_Status, 2) << C.Err;
    EXPECT_EQ(R.Err, C.Err);
    EXPECT_EQ(R.Out, "");
    if (C.Results == Folder_Of_That_Name) rmdir(At("ZOR_Binary_Out").c_str());
  }
}

// The kit refuses a day only where an instant would pass 2^31 - 1 with
// the servers given: the reference and the checker at the same boundary,
// a day whose times sum far past it taken, and a trailing partial record
// noted and left out by both.
TEST_F(Results_Checker, RefusesOnlyADayPastTheClock) {
  const int32_t Max = INT32_MAX;
  struct Case {
    const char* What;
    Day Customers;
    int32_t Servers[3];
    const char* Refused;  // the refusal's detail line, or "" when the day is taken
    std::string Tail = "";
  };
  const Case Cases[] = {
      {"leaves ZOR at the last instant", {{Max - 15, 0, 10, 0, 0, 0, 0, 5}}, {1, 1, 1}, ""},
      {"leaves ZOR one second later", {{Max - 14, 0, 10, 0, 0, 0, 0, 5}}, {1, 1, 1},
       "customer 1 would leave ZOR at 2147483648 s,"},
      {"times summing past 2^31 - 1, every instant within",
       {{0, 2000000000, 300, 0, 0, 0, 0, 40}, {2000000000, 10, 300, 0, 0, 0, 0, 40}}, {1, 1, 1}, ""},
      {"a service past it", {{Max, 0, 1, 0, 0, 0, 0, 0}}, {1, 1, 1}, "customer 1 would leave LAB at 2147483648 s,"},
      {"running sum of gaps past the clock", {{Max - 1, 0, 0, 0, 0, 0, 0, 0}, {2, 0, 0, 0, 0, 0, 0, 0}}, {1, 1, 1},
       "customer 2 would arrive at ZOR at 2147483648 s,"},
      {"a wait pushes it past, one server", {{Max - 25, 0, 20, 0, 0, 0, 0, 0}, {0, 0, 20, 0, 0, 0, 0, 0}}, {1, 1, 1},
       "customer 2 would leave LAB at 2147483662 s,"},
      {"the same day with two servers", {{Max - 25, 0, 20, 0, 0, 0, 0, 0}, {0, 0, 20, 0, 0, 0, 0, 0}}, {2, 1, 1}, ""},
      {"a travel past it", {{Max - 10, 0, 1, 20, 5, 0, 0, 0}}, {1, 1, 1},
       "customer 1 would arrive at X_RAY at 2147483658 s,"},
      {"a record cut short at the end", {{0, 30, 300, 0, 0, 0, 0, 40}}, {1, 1, 1}, "", std::string(12, '\7')},
  };
  for (const Case& C : Cases) {
    Write_File(At("ZOR_Binary_In"), Image(C.Customers) + C.Tail);
    unlink(At("ZOR_Binary_Out").c_str());
    Run_Result Simulated = Run_Program(ZOR_SIMULATOR_PATH, Folder, Entries(C.Servers));
    std::string Note = C.Tail.empty() ? "" : "Note: ZOR_Binary_In ends in 12 bytes of a record cut short; the day is "
                                            "its 1 whole record\n";
    if (*C.Refused == '\0') {
      EXPECT_EQ(Simulated.Exit_Status, 0) << C.What << "\n" << Simulated.Err;
      EXPECT_TRUE(Simulated.Err.ends_with("EKG: \n" + Note)) << C.What << "\n" << Simulated.Err;
      EXPECT_EQ(Read_File(At("ZOR_Binary_Out")), Image(Reference(C.Customers, C.Servers))) << C.What;
      Run_Result Checked = Run_Program(RESULTS_CHECKER_PATH, Folder, Entries(C.Servers));
      EXPECT_EQ(Checked.Exit_Status, 0) << C.What << "\n" << Checked.Err;
      EXPECT_EQ(Checked.Out, "ZOR_Binary_Out follows the model: " + std::to_string(C.Customers.size()) + " customer" +
                                 (C.Customers.size() == 1 ? "" : "s") + "\n");
      continue;
    }
    std::string Said = std::string("ERROR in main\n  File: ZOR_Binary_In holds a day past the clock: ") + C.Refused;
    EXPECT_EQ(Simulated.Exit_Status, 1) << C.What;
    EXPECT_NE(Simulated.Err.find(Said), std::string::npos) << C.What << "\n" << Simulated.Err;
    EXPECT_FALSE(File_Exists(At("ZOR_Binary_Out"))) << C.What;
    Run_Result Checked = Run_Program(RESULTS_CHECKER_PATH, Folder, Entries(C.Servers));
    EXPECT_EQ(Checked.Exit_Status, 2) << C.What;
    EXPECT_NE(Checked.Err.find(Said), std::string::npos) << C.What << "\n" << Checked.Err;
  }
}

// Values that break every assumption a simulator's output could: extremes,
// server 0 and 99, sums past 2^31 - 1, records cut short, a day whose
// times overflow. The verdict may be anything but a crash or a sanitizer
// report.
TEST_F(Results_Checker, AnyBytesGiveAVerdictOrStatusTwo) {
  std::mt19937 Pick(3);
  const int32_t Palette[] = {0, 1, -1, 5, 99, 100, INT32_MIN, INT32_MAX, INT32_MAX - 3, 2000000000};
  auto Value = [&]() { return Pick() % 3 == 0 ? Palette[Pick() % 10] : int32_t(Pick() % 400); };
  for (int Round = 0; Round < 60; Round++) {
    Day D = Generated_Day(Pick, Round);
    if (Round % 10 == 9) D[0].LAB_Service_Time = INT32_MAX;
    const int32_t Servers[] = {1 + int32_t(Pick() % 3), 1, 2};
    Results R = Reference(Round % 10 == 9 ? Day{} : D, Servers);
    R.resize(D.size() + Pick() % 3 - 1);
    for (Customer_Results& Record : R) {
      int32_t Fields[Results_Fields];
      Fields_Of(Record, Fields);
      for (int32_t& F : Fields)
        if (Pick() % 4 == 0) F = Value();
      std::memcpy(&Record, Fields, sizeof Record);
    }
    std::string Tail(Pick() % 92, '\xff');
    Run_Result Verdict = Check(D, R, Servers, Tail);
    EXPECT_EQ(Verdict.Signal, 0) << "round " << Round;
    EXPECT_TRUE(Verdict.Exit_Status == 1 || Verdict.Exit_Status == 2 || Verdict.Exit_Status == 0) << Round;
    EXPECT_EQ(Verdict.Err.find("runtime error"), std::string::npos) << Verdict.Err;
    EXPECT_EQ(Verdict.Err.find("Sanitizer"), std::string::npos) << Verdict.Err;
  }
  std::string Noise;
  for (int I = 0; I < 5000; I++) Noise.push_back(char(Pick()));
  Write_File(At("ZOR_Binary_In"), Noise.substr(0, 3203));
  Write_File(At("ZOR_Binary_Out"), Noise);
  Run_Result Verdict = Run_Program(RESULTS_CHECKER_PATH, Folder, "3\n3\n3\n");
  EXPECT_EQ(Verdict.Signal, 0);
  EXPECT_TRUE(Verdict.Exit_Status == 1 || Verdict.Exit_Status == 2);
}

}  // namespace
