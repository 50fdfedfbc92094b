// The growth verdict on made-up series, so that the rule is tested apart
// from any clock: what each class gives against a reference of N log N
// with cache cliffs, what noise and a cliff of the routine's own (at a
// power of two or between two) do not change, when the series cannot
// decide, and when more timing could not change the verdict. Then the
// whole path from timed sorts to the summary, with times that are known.
#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sort_profile/growth_series.h"
#include "sort_profile/growth_verdict.h"
#include "sort_profile/profile_summary.h"
#include "tests/process.h"

namespace {

// The reference: N log N, three times dearer per item past 16 Ki items
// and eight times past 256 Ki, as a list outgrowing the caches is.
double Reference(double N) { return N * std::log2(N) * (N < 16384 ? 1 : N < 262144 ? 3 : 8); }

std::vector<Growth_Point> Series(int64_t Largest, double (*Routine)(double), double Noise = 0, unsigned Seed = 1) {
  std::mt19937 Pick(Seed);
  std::uniform_real_distribution<double> Jitter(1 - Noise, 1 + Noise);
  std::vector<Growth_Point> Points;
  for (int64_t N : Series_Sizes(Largest))
    Points.push_back({N, Routine(double(N)) * Jitter(Pick), Reference(double(N)) * Jitter(Pick)});
  return Points;
}

TEST(Growth_Verdict, SizesDoubleFrom1024UpToTheLargest) {
  EXPECT_EQ(Series_Sizes(8192), (std::vector<int64_t>{1024, 2048, 4096, 8192}));
  EXPECT_EQ(Series_Sizes(16383).back(), 8192);
  EXPECT_EQ(Series_Sizes(16384).back(), 16384);
  EXPECT_TRUE(Series_Sizes(1023).empty());
}

TEST(Growth_Verdict, NamesTheClassOrSaysWhyItCannot) {
  struct Case {
    const char* What;
    std::vector<Growth_Point> Points;
    std::string Words;
    bool Settled;  // with a margin of 0.05: more timing could not change the verdict
  };
  const Case Cases[] = {
      {"N log N, with the reference's cliffs", Series(1 << 20, [](double N) { return 1.7 * Reference(N); }),
       "N log N", true},
      {"N log N with cliffs of its own, elsewhere",
       Series(1 << 20, [](double N) { return N * std::log2(N) * (N < 65536 ? 2 : 9); }), "N log N", true},
      {"N log N with a cliff between powers of two (past 96 Ki)",
       Series(1 << 20, [](double N) { return Reference(N) * (N <= 98304 ? 1 : 2.5); }), "N log N", true},
      {"N^2 with a cliff between powers of two (past 12 Ki)",
       Series(1 << 15, [](double N) { return N * N * (N <= 12288 ? 1 : 3); }), "N^2", true},
      {"N log N, 15% noise", Series(1 << 20, [](double N) { return Reference(N); }, 0.15), "N log N", true},
      {"N log N, 15% noise, another draw", Series(1 << 20, [](double N) { return Reference(N); }, 0.15, 7),
       "N log N", true},
      {"N, keeping to the caches", Series(1 << 20, [](double N) { return 40 * N; }), "N", true},
      {"N^2, 20% noise", Series(1 << 15, [](double N) { return N * N * (N < 16384 ? 1 : 3); }, 0.2), "N^2", true},
      {"N^2 over three doublings only", Series(8192, [](double N) { return N * N; }), "N^2", true},
      {"N^3", Series(1 << 13, [](double N) { return N * N * N; }), "N^3", true},
      {"N^1.6, with the reference's cliffs",
       Series(1 << 18, [](double N) { return std::pow(N, 1.6) * Reference(N) / (N * std::log2(N)); }),
       "between N log N and N^2", true},
      {"N log N times n^0.38: inside its band, but near the edge",
       Series(1 << 18, [](double N) { return std::pow(N, 0.38) * Reference(N); }), "N log N", false},
      {"three sizes over two doublings", Series(4096, [](double N) { return N * N; }),
       "too few sizes to decide (3 timed over 2.0 doublings; 4 over 3 needed)", true},
      {"steps all over the place",
       Series(1 << 16, [](double N) { return Reference(N) * (int(std::log2(N)) % 2 ? 8 : 0.125); }),
       "too noisy to decide", false},
  };
  for (const Case& C : Cases) {
    Growth_Verdict V = Judge_Growth(C.Points);
    EXPECT_EQ(Verdict_Words(V).substr(0, C.Words.size()), C.Words) << C.What << ": slope " << V.Slope;
    EXPECT_EQ(V.Step.size(), C.Points.size() - 1) << C.What;
    EXPECT_EQ(Settled_With_Margin(V, 0.05), C.Settled) << C.What << ": slope " << V.Slope << ", spread "
                                                            << V.Spread;
  }
}

// The steps are the evidence a reader looks at for a cliff: the one
// between the two sizes that straddle it stands out, wherever it is.
TEST(Growth_Verdict, TheStepsShowWhereACliffIs) {
  struct Case {
    int64_t Cliff;  // the routine costs three times as much per item above this size
    int64_t Above;  // the size just above it in the series
  };
  for (Case C : {Case{65536, 131072}, Case{98304, 131072}, Case{6144, 8192}, Case{1024, 2048}}) {
    std::vector<Growth_Point> Points;
    for (int64_t N : Series_Sizes(1 << 20))
      Points.push_back({N, Reference(double(N)) * (N > C.Cliff ? 3 : 1), Reference(double(N))});
    Growth_Verdict V = Judge_Growth(Points);
    size_t Largest = size_t(std::max_element(V.Step.begin(), V.Step.end()) - V.Step.begin());
    EXPECT_EQ(Points[Largest + 1].N, C.Above) << "cliff past " << C.Cliff;
    EXPECT_EQ(Verdict_Words(V), "N log N") << "cliff past " << C.Cliff << ": slope " << V.Slope;
  }
}

}  // namespace

// The whole path from timed sorts to the verdict and the summary, with a
// sorter whose times are known (seconds made from n), so that any mix-up
// on the way (the routine's time taken for the reference's, a size's
// times filed under another, the ratio turned over) shows.
namespace {

double N_Log_N(double N) { return N * std::log2(N) * 1e-8; }
double N_Squared(double N) { return N * N * 1e-10; }
double N_Cubed(double N) { return N * N * N * 1e-15; }

// A series of every size up to 65,536 on two orders, from a sorter
// whose routine costs Routine(n) and whose reference costs N_Log_N(n);
// the routine leaves a list wrong at Wrong_At items (0: never).
Series_Result Time_Known_Series(double (*Routine)(double), int64_t Wrong_At, std::vector<std::string>* Asked) {
  Series_Options O{0, 0, 65536, 1e9, Sandbox_Limits{}, {Order_Random, Order_Descending}};
  return Run_Series(O, [&](bool Reference, int Order, int64_t N, Node_Layout Layout) {
    Asked->push_back(std::string(Reference ? "reference " : "routine ") + Order_Name[Order] + " " +
                     std::to_string(N) + " " + Layout_Name[Layout]);
    if (!Reference && N == Wrong_At) return Judged_Sort{true, 0, "items do not ascend at position 2: 5 after 9"};
    return Judged_Sort{true, (Reference ? N_Log_N : Routine)(double(N)), ""};
  });
}

TEST(Growth_Whole_Path, KnownTimesGiveTheirVerdictRatioAndSummary) {
  const struct {
    const char* Name;
    double (*Routine)(double);
    const char* Words;
    const char* Ratio;  // the routine's time over the reference's at 65,536, as the summary writes it
  } Cases[] = {
      {"as the reference", N_Log_N, "N log N", "1.0000"},
      {"quadratic", N_Squared, "N^2", "40.9600"},  // 65536^2 1e-10 / (65536 x 16 x 1e-8)
      {"cubic", N_Cubed, "N^3", "26.8435"},        // 65536^3 1e-15 / (65536 x 16 x 1e-8)
  };
  std::string Folder = Make_Scratch_Folder();
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    std::vector<std::string> Asked;
    Series_Result R = Time_Known_Series(C.Routine, 0, &Asked);
    ASSERT_TRUE(R.Finished) << R.Fault;
    Growth_Summary S = Summarise_Growth(R);
    for (int Order : {Order_Random, Order_Descending}) {
      EXPECT_EQ(Verdict_Words(S.Verdict[Order]), C.Words) << Order_Name[Order];
      EXPECT_EQ(S.Largest[Order], 65536);
    }
    // Each sort of the routine is followed by the reference's on the same
    // list, and the layouts come last, on random items at the largest size.
    ASSERT_GE(Asked.size(), 2u);
    EXPECT_EQ(Asked[0], "routine random 1024 in allocation order");
    EXPECT_EQ(Asked[1], "reference random 1024 in allocation order");
    EXPECT_EQ(Asked.back(), "reference random 65536 scattered");
    std::string Path = Folder + "/summary";
    ASSERT_TRUE(Write_Profile_Summary(Path, Correctness_Result{true, 140, ""}, &R));
    std::string Summary = Read_File(Path);
    for (const char* Order : {"random", "descending"}) {
      EXPECT_NE(Summary.find(std::string("growth ") + Order + " " + C.Words + "\n"), std::string::npos) << Summary;
      EXPECT_NE(Summary.find(std::string("time_ratio ") + Order + " " + C.Ratio + "\n"), std::string::npos) << Summary;
    }
    EXPECT_NE(Summary.find("timing done\n"), std::string::npos) << Summary;
  }
  Remove_Folder(Folder);
}

// A list left wrong while timed ends the series there, named by its order
// and size, and the summary says the timing failed and why, with no verdict.
TEST(Growth_Whole_Path, AWrongListWhileTimedEndsTheSeriesWhereItHappened) {
  std::vector<std::string> Asked;
  Series_Result R = Time_Known_Series(N_Log_N, 8192, &Asked);
  EXPECT_FALSE(R.Finished);
  EXPECT_EQ(R.Fault_Order, Order_Random);
  EXPECT_EQ(R.Fault_Size, 8192);
  EXPECT_EQ(R.Fault, "items do not ascend at position 2: 5 after 9");
  EXPECT_EQ(Asked.back(), "routine random 8192 in allocation order");
  std::string Folder = Make_Scratch_Folder();
  ASSERT_TRUE(Write_Profile_Summary(Folder + "/summary", Correctness_Result{true, 140, ""}, &R));
  std::string Summary = Read_File(Folder + "/summary");
  EXPECT_EQ(Summary, "sort_profile summary 1\ncorrectness passed\ncases 140\n"
                     "fault items do not ascend at position 2: 5 after 9\nfault_kind wrong-list\ntiming failed\n");
  Remove_Folder(Folder);
}

}  // namespace

// The verdict read per item, in the caches, where every class has its
// own slope: what each gives, a fixed cost per call, noise, a sort that
// fails there, and the whole path into the summary from known times.
namespace {

double Per_Item_Linear(double) { return 4e-9; }
double Per_Item_Fixed_Cost(double N) { return 3e-9 + 65536 * 1e-9 / N; }  // a table cleared every call
double Per_Item_Large_Fixed_Cost(double N) { return 100e-9 + 200e-6 / N; }  // 65,536 buckets a pass
double Per_Item_N_Log_N(double N) { return 6e-9 * std::log2(N); }
double Per_Item_N_Log_N_Plus_Walks(double N) { return 6e-9 * std::log2(N) + 10e-9; }
double Per_Item_N_Squared(double N) { return 0.7e-9 * N; }
double Per_Item_N_Cubed(double N) { return 1e-12 * N * N; }
double Per_Item_N_To_The_0_57(double N) { return 1e-9 * std::pow(N, 0.57); }
double Per_Item_N_To_The_0_62(double N) { return 1e-9 * std::pow(N, 0.62); }  // an N^2 routine whose branches learn
double Per_Item_Rising_Walk(double N) { return 4e-9 * std::pow(N, 0.04); }      // a walk a little slower on longer lists
// An N log N routine whose linear part (walks, copies) costs four times a
// level of its log n: a merge sort on few distinct items reads so.
double Per_Item_N_Log_N_Mostly_Walks(double N) { return 1e-9 * std::log2(N) + 4e-9; }

std::vector<Growth_Point> Per_Item(double (*Cost)(double), double Noise = 0, unsigned Seed = 1) {
  std::mt19937 Pick(Seed);
  std::uniform_real_distribution<double> Jitter(1 - Noise, 1 + Noise);
  std::vector<Growth_Point> Points;
  for (int64_t N : In_Cache_Sizes()) Points.push_back({N, Cost(double(N)) * Jitter(Pick), 0});
  return Points;
}

// Timings that jump about from size to size (x1.8, x1, x0.45 in turn):
// too noisy for a verdict against growth, not for one of time that falls.
std::vector<Growth_Point> Uneven(std::vector<Growth_Point> Points) {
  const double Jump[] = {1.8, 1, 0.45};
  for (size_t I = 0; I < Points.size(); I++) Points[I].Sort_Seconds *= Jump[I % 3];
  return Points;
}

TEST(Growth_Verdict_Per_Item, NamesEachClassAtTheSizesThatStayInTheCaches) {
  EXPECT_EQ(In_Cache_Sizes(), (std::vector<int64_t>{64, 96, 128, 192, 256, 384, 512, 768, 1024}));
  const struct {
    const char* What;
    std::vector<Growth_Point> Points;
    const char* Words;
  } Cases[] = {
      {"linear", Per_Item(Per_Item_Linear), "N"},
      {"linear, 10% noise", Per_Item(Per_Item_Linear, 0.1), "N"},
      {"linear with a fixed cost per call", Per_Item(Per_Item_Fixed_Cost), "N"},
      {"linear with a large fixed cost, timed unevenly", Uneven(Per_Item(Per_Item_Large_Fixed_Cost)), "N"},
      {"N log N", Per_Item(Per_Item_N_Log_N), "N log N"},
      {"N log N, 10% noise", Per_Item(Per_Item_N_Log_N, 0.1, 3), "N log N"},
      {"N log N with linear walks beside", Per_Item(Per_Item_N_Log_N_Plus_Walks), "N log N"},
      {"N^2", Per_Item(Per_Item_N_Squared), "N^2"},
      {"N^2, 20% noise", Per_Item(Per_Item_N_Squared, 0.2, 5), "N^2"},
      {"N^3", Per_Item(Per_Item_N_Cubed), "N^3"},
      {"linear, a little slower on longer lists", Per_Item(Per_Item_Rising_Walk), "N"},
      {"N log N, mostly linear walks", Per_Item(Per_Item_N_Log_N_Mostly_Walks), "N log N"},
      {"N^1.62", Per_Item(Per_Item_N_To_The_0_62), "N^2"},
      {"N^1.57", Per_Item(Per_Item_N_To_The_0_57), "between N log N and N^2"},
  };
  for (const auto& C : Cases) {
    Growth_Verdict V = Judge_Growth_Per_Item(C.Points);
    EXPECT_EQ(Verdict_Words(V), C.Words) << C.What << ": slope " << V.Slope;
    EXPECT_EQ(V.Reading, Reading_Per_Item) << C.What;
  }
  EXPECT_EQ(Verdict_Words(Judge_Growth_Per_Item(Uneven(Per_Item(Per_Item_N_Log_N)))).substr(0, 19),
            "too noisy to decide");
  std::vector<Growth_Point> Three(Per_Item(Per_Item_N_Squared));
  Three.resize(3);
  EXPECT_EQ(Verdict_Words(Judge_Growth_Per_Item(Three)).substr(0, 13), "too few sizes");
}

// The verdict's timing through to the summary: a batch of lists costs
// Lists x n x the cost per item, so the summary's verdict per order is
// the one read in the caches, not the series' against the reference.
TEST(Growth_Whole_Path, TheVerdictIsReadInTheCachesWhenTheyWereTimed) {
  Series_Options O{0, 0, 65536, 0.5, Sandbox_Limits{}, {Order_Random, Order_Ascending, Order_Descending}};
  double (*Cost[Number_Of_Orders])(double) = {};
  Cost[Order_Random] = Per_Item_N_Log_N, Cost[Order_Ascending] = Per_Item_Linear,
  Cost[Order_Descending] = Per_Item_N_Squared;
  std::vector<int64_t> Asked_Items;
  Series_Result R{false, "", -1, 0, {}, {}, Layout_Timing{-1, 0, {}, {}}, 0, {}};
  ASSERT_TRUE(Time_In_Cache(O, [&](int Order, int64_t N, int64_t Lists, int) {
    Asked_Items.push_back(N * Lists);
    return Judged_Sort{true, double(Lists * N) * Cost[Order](double(N)), ""};
  }, R));
  // Every timing sorts about the same number of items, whatever the size.
  for (int64_t Items : Asked_Items) EXPECT_TRUE(Items > In_Cache_Items - 1024 && Items <= In_Cache_Items) << Items;
  EXPECT_EQ(Asked_Items.size(), 3 * In_Cache_Sizes().size() * In_Cache_Rounds);
  // The series against the reference says N log N for all three orders;
  // the summary must take the verdicts read in the caches instead.
  std::vector<std::string> Series_Asked;
  Series_Result Series = Time_Known_Series(N_Log_N, 0, &Series_Asked);
  for (int Order = 0; Order < Number_Of_Orders; Order++) Series.In_Cache[Order] = R.In_Cache[Order];
  Growth_Summary S = Summarise_Growth(Series);
  EXPECT_EQ(Verdict_Words(S.Verdict[Order_Random]), "N log N");
  EXPECT_EQ(Verdict_Words(S.Verdict[Order_Ascending]), "N");
  EXPECT_EQ(Verdict_Words(S.Verdict[Order_Descending]), "N^2");
  EXPECT_EQ(S.Time_Ratio[Order_Random], 1.0);  // the speed figure still comes from the series
}

// A batch whose call went past the budget stops that order's sizes there;
// a list wrong in a batch ends the timing with its order and size.
TEST(Growth_Whole_Path, TheCachesPhaseStopsAtTheBudgetAndAtAWrongList) {
  Series_Options O{0, 0, 65536, 0.01, Sandbox_Limits{}, {Order_Random}};
  Series_Result R{false, "", -1, 0, {}, {}, Layout_Timing{-1, 0, {}, {}}, 0, {}};
  ASSERT_TRUE(Time_In_Cache(O, [&](int, int64_t N, int64_t Lists, int) {
    return Judged_Sort{true, double(Lists * N) * Per_Item_N_Cubed(double(N)), ""};
  }, R));
  ASSERT_FALSE(R.In_Cache[Order_Random].empty());
  // 16,384 items at 1e-12 n^2 s each pass 0.01 s first at 1,024 items.
  EXPECT_EQ(R.In_Cache[Order_Random].back().N, 1024);
  O.Budget = 0.001;
  ASSERT_TRUE(Time_In_Cache(O, [&](int, int64_t N, int64_t Lists, int) {
    return Judged_Sort{true, double(Lists * N) * Per_Item_N_Cubed(double(N)), ""};
  }, R));
  EXPECT_EQ(R.In_Cache[Order_Random].back().N, 256);  // 16,384 x 1e-12 x 256^2 = 0.00107 s
  EXPECT_FALSE(Time_In_Cache(O, [&](int, int64_t N, int64_t, int) {
    return Judged_Sort{true, 0, N == 192 ? "a node is missing" : ""};
  }, R));
  EXPECT_EQ(R.Fault, "a node is missing");
  EXPECT_EQ(R.Fault_Order, Order_Random);
  EXPECT_EQ(R.Fault_Size, 192);
}

}  // namespace

// Where a series stops and what it times: the next size is not timed once
// its sort (twice the last one's at least) would pass the budget; the
// layouts at the largest size up to 256Ki; and an order whose verdict
// was read in the caches is timed in one round however its series reads.
TEST(Growth_Whole_Path, TheSeriesStopsBeforeTheBudgetAndTimesLayoutsAtMost256Ki) {
  const struct {
    const char* Name;
    double (*Routine)(double);
    double Budget;
    int64_t Largest, Layout;
  } Cases[] = {
      {"N log N: 2 x 1.06 ms at 8Ki within 3 ms, 2 x 2.29 ms at 16Ki past it", N_Log_N, 3e-3, 16384, 16384},
      {"N^2: 2 x 1.68 ms at 4Ki within 5 ms, 2 x 6.7 ms at 8Ki past it", N_Squared, 5e-3, 8192, 8192},
      {"N log N up to 1Mi", N_Log_N, 1e9, 1 << 20, 1 << 18},
  };
  for (const auto& C : Cases) {
    Series_Options O{0, 0, 1 << 20, C.Budget, Sandbox_Limits{}, {Order_Random}};
    Series_Result R = Run_Series(O, [&](bool Reference, int, int64_t N, Node_Layout) {
      return Judged_Sort{true, (Reference ? N_Log_N : C.Routine)(double(N)), ""};
    });
    ASSERT_TRUE(R.Finished) << C.Name << ": " << R.Fault;
    EXPECT_EQ(R.Points[Order_Random].back().N, C.Largest) << C.Name;
    EXPECT_EQ(R.Layout.N, C.Layout) << C.Name;
  }
  // Steps all over the place: its reading against the reference is too
  // noisy to settle, so alone it takes every round; with the verdict read
  // in the caches, one.
  auto Noisy = [](bool Reference, int, int64_t N, Node_Layout) {
    double Step = int(std::log2(double(N))) % 2 ? 8 : 0.125;
    return Judged_Sort{true, N_Log_N(double(N)) * (Reference ? 1 : Step), ""};
  };
  Series_Options O{0, 0, 1 << 16, 1e9, Sandbox_Limits{}, {Order_Random}};
  EXPECT_EQ(Run_Series(O, Noisy).Rounds, 4);
  Series_Result Verdicts{};
  Verdicts.In_Cache[Order_Random] = {{64, 1e-9, 0}, {128, 1e-9, 0}};
  EXPECT_EQ(Run_Series(O, Noisy, &Verdicts).Rounds, 1);
}

// The summary names a fault's kind as the sort reported it, whatever its
// words say: the words are for people.
TEST(Growth_Whole_Path, TheFaultsKindTravelsAsAValue) {
  const struct {
    Judged_Sort Failed;
    const char* Line;
  } Cases[] = {
      {{false, 0, "still sorting after 60 s", Fault_Time_Limit}, "fault_kind time-limit\n"},
      {{false, 0, "crashed-looking words of a list", Fault_Wrong_List}, "fault_kind wrong-list\n"},
      {{false, 0, "wanted more than it may have", Fault_Memory_Limit}, "fault_kind memory-limit\n"},
      {{false, 0, "opened /etc/shadow", Fault_Reached_Outside}, "fault_kind reached-outside\n"},
  };
  std::string Folder = Make_Scratch_Folder();
  for (const auto& C : Cases) {
    Series_Options O{0, 0, 8192, 1e9, Sandbox_Limits{}, {Order_Random}};
    Series_Result R = Run_Series(O, [&](bool Reference, int, int64_t N, Node_Layout) {
      return !Reference && N == 2048 ? C.Failed : Judged_Sort{true, N_Log_N(double(N)), ""};
    });
    ASSERT_FALSE(R.Finished) << C.Line;
    ASSERT_TRUE(Write_Profile_Summary(Folder + "/summary", Correctness_Result{true, 140, ""}, &R));
    EXPECT_NE(Read_File(Folder + "/summary").find(C.Line), std::string::npos) << Read_File(Folder + "/summary");
  }
  Correctness_Result Failed{false, 3, "crashed: killed by signal 9", Fault_Memory_Limit};
  ASSERT_TRUE(Write_Profile_Summary(Folder + "/summary", Failed, nullptr));
  EXPECT_NE(Read_File(Folder + "/summary").find("fault_kind memory-limit\n"), std::string::npos);
  Remove_Folder(Folder);
}
