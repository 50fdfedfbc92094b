/*
** verdict.cpp
** The tally of violations, the verdict drawn from it, and its report.
*/
#include <algorithm>
#include <cinttypes>
#include <cstdarg>

#include "common/zor_assert.h"
#include "common/zor_stations.h"
#include "model_rules/model_rules.h"
#include "model_rules/rule_tally.h"

const char* const Rule_Name[Number_Of_Rules] = {
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

namespace {

bool Earlier(const Violation& A, const Violation& B) {
  if (A.Instant != B.Instant) return A.Instant < B.Instant;
  if (A.Phase != B.Phase) return A.Phase < B.Phase;
  if (A.Tie != B.Tie) return A.Tie < B.Tie;
  if (A.Customer != B.Customer) return A.Customer < B.Customer;
  return A.Broken < B.Broken;
}

/* One customer's breaks, in simulated time and then in rule order. */
bool Earlier_Break(When A, Rule Rule_A, When B, Rule Rule_B) {
  if (A.Instant != B.Instant) return A.Instant < B.Instant;
  if (A.Phase != B.Phase) return A.Phase < B.Phase;
  if (A.Tie != B.Tie) return A.Tie < B.Tie;
  return Rule_A < Rule_B;
}

/* Each customer counts once, under the rule it breaks first: its later
** breaks mostly follow from that one, and counted too they would fill
** every row with the same customers. The reference rule counts only
** customers who break no other rule. */
void Count_First_Breaks(const Rule_Tally& T, Verdict* V) {
  size_t Customers = std::max(T.Of_Customer.size(), T.Breaks_Reference.size());
  for (size_t C = 1; C < Customers; C++) {
    int R = C < T.Of_Customer.size() && T.Of_Customer[C].Any ? T.Of_Customer[C].Broken
            : C < T.Breaks_Reference.size() && T.Breaks_Reference[C] ? Rule_Reference
                                                                     : -1;
    if (R < 0) continue;
    V->Customers[R]++;
    if (V->Listed[R].size() < Customers_Listed) V->Listed[R].push_back(static_cast<int64_t>(C));
  }
}

}  // namespace

bool Skipped_In_File(const Customer_Results& R, int32_t S) {
  for (int F = Arrived_Field; F < Fields_Per_Visit; F++)
    if (Visit_Value(R, S, Visit_Field(F)) != 0) return false;
  return true;
}

When Start_Decision(const Station_Visit& V, int32_t Station) {
  if (V.Start > V.Arrived) return When{V.Start, Phase_Departure, int64_t{Station} * (Max_Servers + 1) + V.Server};
  return When{V.Start, Phase_Arrival, V.Customer};
}

std::string Text_Of(int64_t Value) { return Format_Text("%" PRId64, Value); }

std::string Format_Text(const char* Format, ...) {
  char Text[400];
  std::va_list Arguments;
  va_start(Arguments, Format);
  std::vsnprintf(Text, sizeof Text, Format, Arguments);
  va_end(Arguments);
  return Text;
}

void Note(Rule_Tally& T, Rule R, int64_t Customer, int32_t Station, const char* Field, When At, std::string Expected,
          std::string Found, std::string Why, std::string Hint) {
  size_t C = static_cast<size_t>(Customer);
  if (R == Rule_Reference) {
    if (T.Breaks_Reference.size() <= C) T.Breaks_Reference.resize(C + 1, 0);
    T.Breaks_Reference[C] = 1;
  } else {
    if (T.Of_Customer.size() <= C) T.Of_Customer.resize(C + 1, First_Break{false, {}, Rule_Records});
    First_Break& F = T.Of_Customer[C];
    if (!F.Any || Earlier_Break(At, R, F.At, F.Broken)) F = First_Break{true, At, R};
  }
  Violation V{R, Customer, Station, Field, At.Instant, At.Phase, At.Tie, std::move(Expected), std::move(Found),
              std::move(Why), std::move(Hint)};
  if (!T.Any[R] || Earlier(V, T.First[R])) T.First[R] = std::move(V), T.Any[R] = true;
}

Verdict Judge_Results(const std::vector<Customer_Parameters>& Day, const Results_File& Results,
                      const int32_t Servers[Number_Of_Stations]) {
  for (int32_t S = 0; S < Number_Of_Stations; S++) ZOR_ASSERT(Servers[S] >= 1 && Servers[S] <= Max_Servers);
  ZOR_ASSERT(Results.Records.size() <= Day.size());
  Rule_Tally T;
  Check_Records(T, Day, Results);
  Check_Arrivals_And_Routes(T, Day, Results.Records);
  for (int32_t S = 0; S < Number_Of_Stations; S++) Check_Station(T, S, Servers[S], Day, Results.Records);
  Check_Reference(T, Day, Results.Records, Servers);

  Verdict V{};
  Count_First_Breaks(T, &V);
  int First = -1;
  for (int R = 0; R < Number_Of_Rules; R++) {
    /* The reference rule only speaks when no other rule does: any other
    ** difference from the reference follows from what that rule found. */
    if (R == Rule_Reference && First >= 0) continue;
    if (T.Any[R] && (First < 0 || Earlier(T.First[R], T.First[First]))) First = R;
  }
  V.Follows = First < 0;
  if (First >= 0) V.First = T.First[First];
  return V;
}

void Print_Verdict(std::FILE* Out, const Verdict& V, size_t Customers) {
  if (V.Follows) {
    std::fprintf(Out, "ZOR_Binary_Out follows the model: %zu customer%s\n", Customers, Customers == 1 ? "" : "s");
    return;
  }
  const Violation& F = V.First;
  std::fprintf(Out, "ZOR_Binary_Out does not follow the model: customer %" PRId64 " breaks the rule \"%s\"\n",
               F.Customer, Rule_Name[F.Broken]);
  std::fprintf(Out, "  customer: %" PRId64 "\n  station:  %s\n", F.Customer,
               F.Station < 0 ? "ZOR" : Station_Name[F.Station]);
  if (F.Instant != Before_Any_Instant) std::fprintf(Out, "  time:     %" PRId64 "\n", F.Instant);
  std::fprintf(Out, "  field:    %s\n  expected: %s\n  found:    %s\n", F.Field, F.Expected.c_str(), F.Found.c_str());
  if (!F.Why.empty()) std::fprintf(Out, "  why:      %s\n", F.Why.c_str());
  if (!F.Hint.empty()) std::fprintf(Out, "  hint:     %s\n", F.Hint.c_str());
  if (F.Broken == Rule_Reference)
    std::fprintf(Out, "  No rule above explains this difference from the reference: a gap in the checker's rules.\n");
  std::fprintf(Out, "Customers by the first rule each breaks:\n");
  for (int R = 0; R < Number_Of_Rules; R++) {
    std::fprintf(Out, "  %7" PRId64 "  %s", V.Customers[R], Rule_Name[R]);
    for (size_t I = 0; I < V.Listed[R].size(); I++)
      std::fprintf(Out, "%s%" PRId64, I > 0 ? ", " : V.Customers[R] == 1 ? ": customer " : ": customers ",
                   V.Listed[R][I]);
    std::fprintf(Out, "%s", V.Customers[R] > static_cast<int64_t>(V.Listed[R].size()) ? ", ..." : "");
    /* With another rule broken, the rules are complete: these customers
    ** differ from the reference only through someone else's break. */
    if (R == Rule_Reference && V.Customers[R] > 0 && F.Broken != Rule_Reference)
      std::fprintf(Out, " (they keep every rule above: their differences follow from the breaks above)");
    std::fprintf(Out, "\n");
  }
}
