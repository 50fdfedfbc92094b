// The workload generator's building blocks: the Park-Miller step, the
// arrival sort and the overflow-proof "%d" entry.
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "common/read_int32.h"
#include "workload_maker/quick_sort.h"
#include "workload_maker/uniform.h"

// std::minstd_rand0 is the same generator computed in wider arithmetic,
// so it is an independent oracle for every state in 1 .. 2^31 - 2.
TEST(Park_Miller_Step, AgreesWithMinstdRand0OverManySeeds) {
  std::mt19937 Pick(12345);
  std::uniform_int_distribution<int32_t> Any_State(1, 2147483646);
  std::vector<int32_t> Seeds = {1, 2, 16807, 127772, 127773, 127774, 2147483646, 1043618065};
  for (int I = 0; I < 200000; I++) Seeds.push_back(Any_State(Pick));
  for (int32_t S : Seeds) {
    std::minstd_rand0 Oracle(static_cast<uint32_t>(S));
    ASSERT_EQ(Park_Miller_Step(S), static_cast<int32_t>(Oracle())) << "seed " << S;
  }
}

TEST(Park_Miller_Step, LongChainStaysOnTheOraclesStream) {
  std::minstd_rand0 Oracle(17);
  int32_t State = 17;
  for (int I = 0; I < 1000000; I++) {
    State = Park_Miller_Step(State);
    ASSERT_EQ(State, static_cast<int32_t>(Oracle())) << "step " << I;
  }
}

TEST(Park_Miller_Step, FixedPointAndEveryStartingValueLandInRange) {
  EXPECT_EQ(Park_Miller_Step(2147483647), 2147483647);
  EXPECT_EQ(Park_Miller_Step(1), 16807);
  EXPECT_EQ(Park_Miller_Step(16807), 282475249);
  // Zero, negative and extreme states (a clock after 2038 gives negative
  // seeds) must still give a state in 1 .. 2^31 - 1, never 0.
  for (int32_t S : {0, -1, -2, -127773, -2147483647, INT32_MIN, INT32_MAX - 1}) {
    int32_t T = Park_Miller_Step(S);
    EXPECT_GE(T, 1) << S;
    EXPECT_LE(T, 2147483647) << S;
  }
}

TEST(Quick_Sort, SortsIndicesOneToRightLikeStdSort) {
  std::mt19937 Pick(7);
  struct Case { int Size; int Spread; };
  // Sizes around the recursion's edges, few distinct values, many ties.
  for (Case C : {Case{0, 10}, {1, 10}, {2, 10}, {3, 1}, {5, 2}, {16, 3}, {100, 1000}, {336, 25200}, {336, 4}}) {
    for (int Round = 0; Round < 20; Round++) {
      std::vector<int32_t> Values(static_cast<size_t>(C.Size) + 1);
      for (auto& V : Values) V = static_cast<int32_t>(Pick() % static_cast<uint32_t>(C.Spread)) - C.Spread / 3;
      Values[0] = 424242;  // the sentinel must not move
      std::vector<int32_t> Expected = Values;
      std::sort(Expected.begin() + 1, Expected.end());
      Quick_Sort(Values.data(), 1, C.Size);
      ASSERT_EQ(Values, Expected) << "size " << C.Size;
    }
  }
  std::vector<int32_t> Descending = {0, 9, 8, 7, 6, 5, 4, 3, 2, 1};
  Quick_Sort(Descending.data(), 1, 9);
  EXPECT_TRUE(std::is_sorted(Descending.begin() + 1, Descending.end()));
  std::vector<int32_t> From_Zero = {3, 2, 1};
  Quick_Sort(From_Zero.data(), 0, 2);  // Left 0 is refused
  EXPECT_EQ(From_Zero, (std::vector<int32_t>{3, 2, 1}));
}

TEST(Read_Int32, ReadsLikePercentDButNeverWraps) {
  struct Case {
    const char* Input;
    bool Read;
    int32_t Value;
    int Next;  // the first character left unread
  };
  const Case Cases[] = {
      {"17\n", true, 17, '\n'},
      {" \t\n  -5x", true, -5, 'x'},
      {"12abc", true, 12, 'a'},
      {"+7 ", true, 7, ' '},
      {"2147483647\n", true, 2147483647, '\n'},
      {"-2147483648\n", true, INT32_MIN, '\n'},
      {"0000000000000000000042\n", true, 42, '\n'},
      {"2147483648\n", false, -1, '\n'},
      {"-2147483649\n", false, -1, '\n'},
      {"4294967297\n", false, -1, '\n'},
      {"99999999999999999999\n", false, -1, '\n'},
      {"abc", false, -1, 'a'},
      {"-x", false, -1, 'x'},
      {"", false, -1, EOF},
      {"   ", false, -1, EOF},
  };
  for (const Case& C : Cases) {
    std::string Text = C.Input;
    std::FILE* In = fmemopen(Text.data(), Text.size(), "r");
    if (Text.empty()) In = std::fopen("/dev/null", "r");
    ASSERT_NE(In, nullptr);
    int32_t Value = -1;
    EXPECT_EQ(Read_Int32(In, &Value), C.Read) << C.Input;
    EXPECT_EQ(Value, C.Value) << C.Input;
    EXPECT_EQ(std::getc(In), C.Next) << C.Input;
    std::fclose(In);
  }
}
