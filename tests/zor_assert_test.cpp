// The precondition checks: loud in the checked builds (sanitizer, fuzz),
// free in the others, and ZOR_NEVER's value is its condition's either way.
#include <gtest/gtest.h>

#include "common/zor_assert.h"

namespace {

int Evaluations = 0;
bool Counted(bool Value) {
  Evaluations++;
  return Value;
}

}  // namespace

TEST(Zor_Assert, NeverYieldsItsConditionAndAssertHoldsQuietly) {
  Evaluations = 0;
  ZOR_ASSERT(Counted(true));
  bool Fine = ZOR_NEVER(Counted(false));
  EXPECT_FALSE(Fine);
#ifdef ZOR_CHECK_ASSUMPTIONS
  EXPECT_EQ(Evaluations, 2) << "a checked build evaluates both";
#else
  EXPECT_EQ(Evaluations, 1) << "an unchecked build evaluates only ZOR_NEVER's condition, which it returns";
  EXPECT_TRUE(ZOR_NEVER(Counted(true)));
#endif
}

#ifdef ZOR_CHECK_ASSUMPTIONS
TEST(Zor_Assert, ABrokenAssumptionStopsACheckedBuildAndSaysWhich) {
  EXPECT_DEATH(ZOR_ASSERT(1 + 1 == 3), "zor_assert_test.cpp:[0-9]+: assumption broken: 1 \\+ 1 == 3");
  EXPECT_DEATH((void)ZOR_NEVER(2 > 1), "assumption broken: never 2 > 1");
}
#endif
