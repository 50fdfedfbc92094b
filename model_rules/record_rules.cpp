/*
** record_rules.cpp
** The rules of the records themselves, and of each customer's way
** through the day: one record per customer in order with its parameters
** copied, the arrival at ZOR, and the route with its travel times.
*/
#include <algorithm>
#include <cinttypes>
#include <cstring>

#include "common/record_io.h"
#include "common/zor_stations.h"
#include "model_rules/model_rules.h"
#include "model_rules/rule_tally.h"

namespace {

const When Layout{Before_Any_Instant, 0, 0};

/* Records that hold the right customers in the wrong order are a fault of
** the writing, not of the simulation: say so plainly. A simulator that
** writes each record as its customer leaves, and numbers them as written,
** shows as the day's parameters in another order. */
std::string Order_Hint(const std::vector<Customer_Parameters>& Day, const std::vector<Customer_Results>& Records) {
  if (Records.size() != Day.size()) return "";
  std::vector<char> Seen(Records.size() + 1, 0);
  bool Numbered = true, Sequential = true, In_Order = true, By_Leaving = true;
  std::vector<std::string> Theirs, Wanted;
  for (size_t K = 0; K < Records.size(); K++) {
    const Customer_Results& R = Records[K];
    int32_t N = R.Customer_Number;
    if (N < 1 || static_cast<size_t>(N) > Records.size() || Seen[N]) Numbered = false;
    else Seen[N] = 1;
    Sequential = Sequential && N == static_cast<int32_t>(K + 1);
    Customer_Parameters P = Parameters_Of(R);
    In_Order = In_Order && std::memcmp(&P, &Day[K], sizeof P) == 0;
    if (K > 0 && R.Time_Departed_ZOR < Records[K - 1].Time_Departed_ZOR) By_Leaving = false;
    Theirs.emplace_back(reinterpret_cast<const char*>(&P), sizeof P);
    Wanted.emplace_back(reinterpret_cast<const char*>(&Day[K]), sizeof P);
  }
  std::sort(Theirs.begin(), Theirs.end());
  std::sort(Wanted.begin(), Wanted.end());
  std::string Hint;
  if (Sequential && !In_Order && Theirs == Wanted)
    Hint = "the records hold every customer, numbered 1, 2, ... as written, but not in customer order";
  else if (Numbered && !Sequential)
    Hint = "the records hold customers 1 .. " + Text_Of(static_cast<int64_t>(Records.size())) +
           " but not in customer order";
  else
    return "";
  if (By_Leaving) Hint += " (they seem written in the order the customers left ZOR)";
  return Hint + "; ZOR_Binary_Out lists them in customer order, customer k in record k";
}

/* Each leg is checked from the record's own previous instant, so one
** wrong time is reported once rather than along the whole route. A wrong
** instant shows at the earlier of the two: where the model would have had
** the event, or where the file has one it should not. */
void Check_Route(Rule_Tally& T, int64_t Customer, const Customer_Results& R, const Customer_Parameters& P) {
  int64_t Previous = R.Time_Arrived_ZOR;
  for (int32_t S = 0; S < Number_Of_Stations; S++) {
    if (!Visits_Station(P, S)) {
      for (int F = Arrived_Field; F < Fields_Per_Visit; F++) {
        int32_t Value = Visit_Value(R, S, Visit_Field(F));
        if (Value != 0)
          return Note(T, Rule_Route, Customer, S, Visit_Field_Name(S, Visit_Field(F)),
                      When{Previous, Phase_Departure, Customer}, "0", Text_Of(Value),
                      "a station the customer skips (service time 0) holds 0 in all four fields");
      }
      continue;
    }
    int64_t Expected = Previous + Travel_Time_To(P, S), Found = Visit_Value(R, S, Arrived_Field);
    /* A visit the file leaves out shows where the customer should have
    ** arrived; an arrival before the customer's previous instant shows
    ** no earlier than that instant, where the customer still was. */
    if (Skipped_In_File(R, S))
      return Note(T, Rule_Route, Customer, S, Visit_Field_Name(S, Arrived_Field),
                  When{Expected, Phase_Arrival, Customer}, Text_Of(Expected), "0 (all four fields 0: skipped)",
                  Format_Text("every customer visits %s%s; the file skips it", Station_Name[S],
                              S == LAB && Service_Time(P, S) == 0 ? ", even for a service time of 0" : ""));
    if (Found != Expected)
      return Note(T, Rule_Route, Customer, S, Visit_Field_Name(S, Arrived_Field),
                  When{std::max(Previous, std::min(Expected, Found)), Phase_Arrival, Customer}, Text_Of(Expected),
                  Text_Of(Found),
                  Format_Text("arrival = previous instant (%" PRId64 ") + %s (%d)", Previous,
                              Travel_Field_Name(S), Travel_Time_To(P, S)));
    Previous = Visit_Value(R, S, Departed_Field);
  }
  int64_t Expected = Previous + P.Travel_Time_To_EXIT;
  if (R.Time_Departed_ZOR != Expected)
    Note(T, Rule_Route, Customer, -1, "Time_Departed_ZOR",
         When{std::max(Previous, std::min<int64_t>(Expected, R.Time_Departed_ZOR)), Phase_Leave_ZOR, Customer},
         Text_Of(Expected), Text_Of(R.Time_Departed_ZOR),
         Format_Text("departure from ZOR = last departure (%" PRId64 ") + Travel_Time_To_EXIT (%d)", Previous,
                     P.Travel_Time_To_EXIT));
}

}  // namespace

bool Read_Results_File(std::FILE* In, size_t Customers, Results_File* Out) {
  Out->Records.clear();
  Out->Extra = 0;
  Out->Trailing = 0;
  Customer_Results R;
  while (Read_Int32_Record(In, &R, sizeof R)) {
    if (Out->Records.size() < Customers) Out->Records.push_back(R);
    else Out->Extra++;
  }
  if (std::ferror(In)) return false;
  /* A short read leaves the partial record's bytes counted by the stream. */
  if (std::fseek(In, 0, SEEK_END) == 0) {
    long Size = std::ftell(In);
    if (Size > 0) Out->Trailing = static_cast<size_t>(Size) % sizeof(Customer_Results);
  }
  return true;
}

void Check_Records(Rule_Tally& T, const std::vector<Customer_Parameters>& Day, const Results_File& Results) {
  const std::vector<Customer_Results>& Records = Results.Records;
  std::string Hint = Order_Hint(Day, Records);
  for (size_t K = 0; K < Records.size(); K++) {
    const Customer_Results& R = Records[K];
    int64_t Customer = static_cast<int64_t>(K) + 1;
    if (R.Customer_Number != Customer) {
      Note(T, Rule_Records, Customer, -1, "Customer_Number", Layout, Text_Of(Customer), Text_Of(R.Customer_Number),
           "record " + Text_Of(Customer) + " of ZOR_Binary_Out holds customer " + Text_Of(Customer), Hint);
      continue;
    }
    int32_t Want[Results_Fields], Got[Results_Fields];
    Customer_Results Copy{};
    Copy_Parameters(Copy, Day[K]);
    Fields_Of(Copy, Want);
    Fields_Of(R, Got);
    for (int F = First_Parameter_Field; F < Results_Fields; F++)
      if (Got[F] != Want[F]) {
        Note(T, Rule_Records, Customer, -1, Customer_Results_Field_Name[F], Layout, Text_Of(Want[F]), Text_Of(Got[F]),
             "fields 16 to 23 copy the customer's record of ZOR_Binary_In", Hint);
        break;
      }
  }
  int64_t Have = static_cast<int64_t>(Records.size()), Want = static_cast<int64_t>(Day.size());
  if (Have < Want) {
    std::string Why = "ZOR_Binary_Out holds " + Text_Of(Have) + " whole records for " + Text_Of(Want) + " customers" +
                      (Results.Trailing ? " and a record cut short" : "");
    for (int64_t C = Have + 1; C <= Want; C++) Note(T, Rule_Records, C, -1, "(record)", Layout, "a record", "none", Why);
  } else if (Results.Extra > 0 || Results.Trailing > 0) {
    Note(T, Rule_Records, Want + 1, -1, "(record)", Layout, "no record",
         Results.Extra > 0 ? "an extra record" : "part of a record",
         "ZOR_Binary_Out holds " + Text_Of(Results.Extra) + " records more than the " + Text_Of(Want) +
             " customers, and " + Text_Of(static_cast<int64_t>(Results.Trailing)) + " bytes of a record cut short");
  }
}

void Check_Arrivals_And_Routes(Rule_Tally& T, const std::vector<Customer_Parameters>& Day,
                               const std::vector<Customer_Results>& Records) {
  int64_t Arrived_ZOR = 0;
  for (size_t K = 0; K < Records.size(); K++) {
    const Customer_Results& R = Records[K];
    int64_t Customer = static_cast<int64_t>(K) + 1;
    Arrived_ZOR += Day[K].Interarrival_Time;
    if (R.Time_Arrived_ZOR != Arrived_ZOR)
      Note(T, Rule_Arrival, Customer, -1, "Time_Arrived_ZOR",
           When{std::min<int64_t>(Arrived_ZOR, R.Time_Arrived_ZOR), Phase_Arrive_ZOR, Customer}, Text_Of(Arrived_ZOR),
           Text_Of(R.Time_Arrived_ZOR), "the running sum of Interarrival_Time up to this customer");
    Check_Route(T, Customer, R, Day[K]);
  }
}
