/*
** battery.cpp
** The made-up days and the generated ones, and the keys that draw them.
**
** The public battery seeds each day's generator with a 32-bit number, as
** it always has, so that every expectation stored against it holds; that
** is no secret, for anyone can read the seed. A secret phrase must not be
** recoverable from the days it drew: its key is stretched with Argon2id
** and each day's generator is seeded with the 256 bits of a keyed
** BLAKE2b of the day's index. Both come from libsodium.
*/
#include "simulator_checker/battery.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>

#include <sodium.h>

#include "common/zor_assert.h"
#include "common/zor_stations.h"
#include "workload_maker/draw_day.h"

namespace {

using Day_Of = std::vector<Customer_Parameters>;

Customer_Parameters Customer(int32_t Gap, int32_t To_Lab, int32_t Lab, int32_t To_X_Ray = 0, int32_t X_Ray = 0,
                             int32_t To_Ekg = 0, int32_t Ekg = 0, int32_t To_Exit = 5) {
  return Customer_Parameters{Gap, To_Lab, Lab, To_X_Ray, X_Ray, To_Ekg, Ekg, To_Exit};
}

/* A day whose times come from a handful of small values, so that arrivals,
** departures and starts keep meeting at one instant at every station. */
Day_Of Tie_Heavy_Day(std::mt19937& Pick, int Customers, bool Zero_Times) {
  auto Small = [&Pick, Zero_Times](int32_t Least) { return Least + 10 * int32_t(Pick() % (Zero_Times ? 3 : 4)); };
  Day_Of Day;
  for (int C = 0; C < Customers; C++) {
    bool X_Ray = Pick() % 100 < 55, Ekg = Pick() % 100 < 40;
    Day.push_back(Customer(C == 0 ? 0 : Small(0) / 2, Small(0), Small(Zero_Times ? 0 : 10), X_Ray ? Small(0) : 0,
                           X_Ray ? Small(10) : 0, Ekg ? Small(0) : 0, Ekg ? Small(10) : 0, Small(0)));
  }
  return Day;
}

/* One station with one server where each departure meets an arrival while
** another customer waits: customer 1 is served 0 .. 100, customer 2 waits
** from 10, customer 3 arrives at 100, the instant customer 1 leaves. The
** same pattern then repeats at X_RAY and at EKG. */
Day_Of Meeting_Day(int Station) {
  Day_Of Day = {Customer(0, 0, 100), Customer(0, 10, 100), Customer(0, 100, 100)};
  if (Station == LAB) return Day;
  /* All three reach LAB at 0 and leave it at 1, 2 and 3 (one server, 1 s
  ** each); the travel times put them at the next station at 1, 11 and 101. */
  for (Customer_Parameters& P : Day) P.Travel_Time_To_LAB = 0, P.LAB_Service_Time = 1;
  const int32_t Travel[] = {0, 9, 98};
  for (int C = 0; C < 3; C++) {
    Customer_Parameters& P = Day[size_t(C)];
    if (Station == X_RAY) P.Travel_Time_To_X_RAY = Travel[C], P.X_RAY_Service_Time = 100;
    else P.Travel_Time_To_EKG = Travel[C], P.EKG_Service_Time = 100;
  }
  return Day;
}

/* The latest day the kit takes: a long first gap, then a busy hour whose
** last customer leaves ZOR at 2^31 - 1, the last instant the clock holds.
** Moving every arrival by the same gap moves every instant with it. */
Day_Of Late_Day(std::mt19937& Pick, const int32_t Servers[Number_Of_Stations]) {
  Day_Of Day = Tie_Heavy_Day(Pick, 12, false);
  std::vector<Customer_Results> Results(Day.size());
  Day_Summary Summary;
  Simulate_Day(Day.data(), static_cast<int32_t>(Day.size()), Servers, Results.data(), &Summary);
  int32_t Last = 0;
  for (const Customer_Results& R : Results) Last = std::max(Last, R.Time_Departed_ZOR);
  Day[0].Interarrival_Time = INT32_MAX - Last;
  return Day;
}

Day_Of Saturated_Day(std::mt19937& Pick) {
  Random_Stream Stream{static_cast<int32_t>(1 + Pick() % 1000000), 0, 0};
  Day_Of Day(Max_Day_Customers);
  Day.resize(static_cast<size_t>(Draw_Day(&Stream, 3, Day.data())));
  return Day;
}

struct Made_Up {
  const char* What;
  int32_t Servers[Number_Of_Stations];
};

const Made_Up Made_Up_List[] = {
    {"one customer, LAB only", {1, 1, 1}},
    {"one customer at every station", {1, 1, 1}},
    {"one customer at every station, 20 servers each", {Max_Servers, Max_Servers, Max_Servers}},
    {"five customers arriving at one instant", {2, 1, 1}},
    {"five customers reaching every station at one instant", {2, 2, 2}},
    {"zero travel and zero LAB service times", {1, 1, 1}},
    {"a departure meets an arrival at LAB while a customer waits", {1, 1, 1}},
    {"a departure meets an arrival at X_RAY while a customer waits", {1, 1, 1}},
    {"a departure meets an arrival at EKG while a customer waits", {1, 1, 1}},
    {"tie-heavy day, one server each", {1, 1, 1}},
    {"tie-heavy day, two servers each", {2, 2, 2}},
    {"tie-heavy day, 2, 1, 3 servers", {2, 1, 3}},
    {"tie-heavy day with zero times, two servers each", {2, 2, 2}},
    {"tie-heavy day, three servers each", {3, 3, 3}},
    {"the last customer leaves ZOR at 2^31 - 1 s, the latest instant the kit takes", {2, 1, 1}},
    {"saturated stations: 84 customers, one server each", {1, 1, 1}},
    {"336 customers, one server each", {1, 1, 1}},
};
constexpr int Made_Up_Count = sizeof Made_Up_List / sizeof Made_Up_List[0];

Day_Of Made_Up_Day(int Index, std::mt19937& Pick, const int32_t Servers[Number_Of_Stations]) {
  switch (Index) {
    case 0: return {Customer(0, 30, 300)};
    case 1: return {Customer(0, 30, 300, 50, 720, 45, 300, 80)};
    case 2: return {Customer(0, 0, 1, 0, 1, 0, 1, 0)};
    case 3: return Day_Of(5, Customer(0, 20, 100));
    case 4: return Day_Of(5, Customer(0, 0, 50, 0, 60, 0, 70, 0));
    case 5: {
      Day_Of Day = Tie_Heavy_Day(Pick, 8, true);
      for (size_t C = 0; C < Day.size(); C += 2) Day[C].LAB_Service_Time = 0, Day[C].Travel_Time_To_LAB = 0;
      return Day;
    }
    case 6: return Meeting_Day(LAB);
    case 7: return Meeting_Day(X_RAY);
    case 8: return Meeting_Day(EKG);
    case 9: return Tie_Heavy_Day(Pick, 10, false);
    case 10: return Tie_Heavy_Day(Pick, 16, false);
    case 11: return Tie_Heavy_Day(Pick, 24, false);
    case 12: return Tie_Heavy_Day(Pick, 16, true);
    case 13: return Tie_Heavy_Day(Pick, 40, false);
    case 14: return Late_Day(Pick, Servers);
    case 15: return Saturated_Day(Pick);
    default: {
      Random_Stream Stream{static_cast<int32_t>(1 + Pick() % 1000000), 0, 0};
      Day_Of Day(Max_Day_Customers);
      Day.resize(static_cast<size_t>(Draw_Day(&Stream, Max_Customers_Per_Slot, Day.data())));
      return Day;
    }
  }
}

/* Servers near the offered load (tight) or well above it (generous): per
** slot of 900 s, N customers bring about 870 s of LAB work each, 0.55 N
** about 1320 s of X_RAY work and 0.3 N about 900 s of EKG work. */
void Staffing(int32_t N, int Kind, int32_t Servers[Number_Of_Stations]) {
  const double Load[] = {0.97 * N, 0.81 * N, 0.3 * N};
  for (int S = 0; S < Number_Of_Stations; S++) {
    int32_t Tight = std::max(1, static_cast<int32_t>(std::ceil(Load[S])));
    int32_t Count = Kind == 0 ? Tight : Kind == 1 ? Tight + 1 + Tight / 2 : Kind == 2 ? 1 : Max_Servers;
    Servers[S] = std::min(Count, Max_Servers);
  }
}

}  // namespace

int Made_Up_Days() { return Made_Up_Count; }

std::string Outside_The_Draws(const std::vector<Customer_Parameters>& Day) {
  bool Zero_LAB = false, Zero_Travel = false, Skipped_Travel = false, Near_The_Clock = false;
  int64_t Arrival = 0;
  for (const Customer_Parameters& P : Day) {
    Arrival += P.Interarrival_Time;
    Zero_LAB |= P.LAB_Service_Time == 0;
    for (int Place = LAB; Place <= Number_Of_Stations; Place++) {
      bool Visited = Place == Number_Of_Stations || Visits_Station(P, Place);
      Zero_Travel |= Visited && Travel_Time_To(P, Place) == 0;
      Skipped_Travel |= !Visited && Travel_Time_To(P, Place) != 0;
    }
    int32_t Times[8];
    Times_Of(P, Times);
    for (int32_t T : Times) Near_The_Clock |= T >= Near_The_Clock_From;
    Near_The_Clock |= Arrival >= Near_The_Clock_From;
  }
  std::string Outside;
  for (auto [Holds, What] : {std::pair{Zero_LAB, "LAB service time 0"}, std::pair{Zero_Travel, "travel time 0"},
                             std::pair{Skipped_Travel, "a travel time to a skipped station"},
                             std::pair{Near_The_Clock, "times near 2^31 - 1"}})
    if (Holds) Outside += (Outside.empty() ? "" : ", ") + std::string(What);
  return Outside.empty() ? "" : "outside what workload_maker draws: " + Outside;
}

Battery_Key Public_Battery(uint32_t Seed) {
  ZOR_ASSERT(Seed >= 1);
  Battery_Key Key{};
  Key.Public_Seed = Seed;
  return Key;
}

bool Battery_Key_Of_Phrase(const std::string& Phrase, Battery_Key* Key) {
  ZOR_ASSERT(!Phrase.empty());
  /* A fixed salt: the same phrase must draw the same battery on any
  ** machine and in every rerun. */
  static const unsigned char Salt[crypto_pwhash_SALTBYTES] = {'Z', 'O', 'R', ' ', 'b', 'a', 't', 't',
                                                              'e', 'r', 'y', ' ', 'k', 'e', 'y', '1'};
  *Key = Battery_Key{};
  return sodium_init() >= 0 &&
         crypto_pwhash(Key->Secret, sizeof Key->Secret, Phrase.data(), Phrase.size(), Salt,
                       crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE,
                       crypto_pwhash_ALG_ARGON2ID13) == 0;
}

std::string Battery_Name(const Battery_Key& Key) {
  if (Key.Public_Seed != 0) return "seed " + std::to_string(Key.Public_Seed);
  static const char Purpose[] = "ZOR battery fingerprint";
  unsigned char Digest[8];
  crypto_generichash(Digest, sizeof Digest, reinterpret_cast<const unsigned char*>(Purpose), sizeof Purpose - 1,
                     Key.Secret, sizeof Key.Secret);
  char Hex[2 * sizeof Digest + 1];
  sodium_bin2hex(Hex, sizeof Hex, Digest, sizeof Digest);
  return std::string("secret ") + Hex;
}

Trial_Day Battery_Day(int Index, const Battery_Key& Key) {
  ZOR_ASSERT(Index >= 0);
  std::mt19937 Pick;
  if (Key.Public_Seed != 0) {
    Pick.seed(Key.Public_Seed ^ (0x9e3779b9u * static_cast<uint32_t>(Index + 1)));
  } else {
    unsigned char Message[] = {'Z', 'O', 'R', ' ', 'd', 'a', 'y', ' ', 0, 0, 0, 0};
    for (int Byte = 0; Byte < 4; Byte++) Message[8 + Byte] = static_cast<unsigned char>(uint32_t(Index) >> (8 * Byte));
    unsigned char Digest[32];
    crypto_generichash(Digest, sizeof Digest, Message, sizeof Message, Key.Secret, sizeof Key.Secret);
    uint32_t Words[8];
    for (int W = 0; W < 8; W++)
      Words[W] = uint32_t(Digest[4 * W]) | uint32_t(Digest[4 * W + 1]) << 8 | uint32_t(Digest[4 * W + 2]) << 16 |
                 uint32_t(Digest[4 * W + 3]) << 24;
    std::seed_seq Seeds(std::begin(Words), std::end(Words));
    Pick.seed(Seeds);
  }
  Trial_Day T;
  if (Index < Made_Up_Count) {
    std::copy(std::begin(Made_Up_List[Index].Servers), std::end(Made_Up_List[Index].Servers), T.Servers);
    T.Day = Made_Up_Day(Index, Pick, T.Servers);
    std::string Outside = Outside_The_Draws(T.Day);
    T.What = std::string("made up: ") + Made_Up_List[Index].What + (Outside.empty() ? "" : "; " + Outside);
    return T;
  }
  int Generated = Index - Made_Up_Count;
  int32_t N = 1 + Generated % Max_Customers_Per_Slot;
  int Kind = (Generated / Max_Customers_Per_Slot) % 4;
  int32_t Day_Seed = static_cast<int32_t>(1 + Pick() % 2147483646u);
  Random_Stream Stream{Day_Seed, 0, 0};
  T.Day.resize(Max_Day_Customers);
  T.Day.resize(static_cast<size_t>(Draw_Day(&Stream, N, T.Day.data())));
  Staffing(N, Kind, T.Servers);
  const char* const Kind_Name[] = {"tight", "generous", "one each", "20 each"};
  T.What = "generated: " + std::to_string(N) + " per slot, seed " + std::to_string(Day_Seed) + ", " + Kind_Name[Kind] +
           " servers";
  return T;
}
