// Pricing bookkeeping: the fields of each mode, the 19-row cycle and the page numbers.

#include <gtest/gtest.h>

#include <string>

#include "tools/pricing/pricing_core.h"

namespace {

using tools::pricing::mode_fields;
using tools::pricing::RowCursor;

TEST(PricingModes, EachModeFillsItsOwnBoxAndClicksItsOwnButton) {
  EXPECT_STREQ(mode_fields(0).price_box, "txtLevelPrice1");
  EXPECT_STREQ(mode_fields(0).set_button, "Set11");
  EXPECT_STREQ(mode_fields(1).price_box, "txtLevelPrice2");
  EXPECT_STREQ(mode_fields(1).set_button, "Set22");
  EXPECT_STREQ(mode_fields(2).price_box, "txtLevelPrice3");
  EXPECT_STREQ(mode_fields(2).set_button, "Set33");
  // No selection (-1) or anything else: the first mode.
  EXPECT_STREQ(mode_fields(-1).price_box, "txtLevelPrice1");
  EXPECT_STREQ(mode_fields(3).set_button, "Set11");
}

TEST(PricingCursor, NineteenRowsAPageThenTheNextPagersOption) {
  RowCursor c;
  c.start(2);
  EXPECT_EQ(c.row(), 1);
  EXPECT_EQ(c.page(), 2);
  EXPECT_EQ(c.key(), "第2页第1行");
  for (int row = 1; row <= 18; ++row) EXPECT_FALSE(c.next()) << row;
  EXPECT_EQ(c.row(), 19);
  EXPECT_EQ(c.key(), "第2页第19行");
  EXPECT_TRUE(c.next());  // row 19 done: i is 20
  // The pager showed option 2 (index 1) of 5: option 3 is chosen, page 3.
  const int option = tools::pricing::next_option(1, 5);
  EXPECT_EQ(option, 3);
  c.turned(option);
  EXPECT_EQ(c.row(), 1);
  EXPECT_EQ(c.page(), 3);
  EXPECT_EQ(c.key(), "第3页第1行");
}

TEST(PricingCursor, WithoutPagerOrOnTheLastOptionTheListEnds) {
  using tools::pricing::next_option;
  EXPECT_EQ(next_option(-1, 0), 0);  // no pager
  EXPECT_EQ(next_option(3, 4), 0);   // the last of four options
  EXPECT_EQ(next_option(0, 1), 0);   // a pager of one page
  EXPECT_EQ(next_option(4, 4), 0);   // a selection past the options
  EXPECT_EQ(next_option(2, 4), 4);
  EXPECT_EQ(next_option(0, 2), 2);
}

TEST(PricingCursor, AStartAlwaysBeginsAtRowOne) {
  RowCursor c;
  c.start(1);
  for (int row = 1; row < 7; ++row) c.next();
  EXPECT_EQ(c.row(), 7);
  c.start(1);
  EXPECT_EQ(c.row(), 1);
  EXPECT_EQ(c.key(), "第1页第1行");
}

}  // namespace
