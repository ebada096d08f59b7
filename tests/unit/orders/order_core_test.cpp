// The order watch's target statuses: captions, the batch form's radios, the journal text.

#include <gtest/gtest.h>

#include "text/text.h"
#include "tools/orders/order_core.h"

using namespace tools::orders;

namespace {
std::string u8(const std::string& gbk) { return text::gbk_to_utf8(gbk); }
}  // namespace

TEST(OrderTargets, EachChoiceChecksItsOwnRadioOfTheBatchForm) {
  // Not in the order shown: 处理中 is the form's second radio, 充值成功 its first.
  EXPECT_STREQ(target_radio(Target::processing), "RadioButton2");
  EXPECT_STREQ(target_radio(Target::succeeded), "RadioButton1");
  EXPECT_STREQ(target_radio(Target::cancelled), "RadioButton3");
  EXPECT_EQ(u8(target_caption(Target::processing)), "处理中");
  EXPECT_EQ(u8(target_caption(Target::succeeded)), "充值成功");
  EXPECT_EQ(u8(target_caption(Target::cancelled)), "取消充值");
  // The window's radio index is the enum's value.
  EXPECT_EQ(static_cast<int>(Target::cancelled), 2);
}

TEST(OrderTargets, CycleDetailNamesTicksStatusAndMessageAsTyped) {
  const std::string message = text::utf8_to_gbk("亲！您好，\u20AC已发货");
  EXPECT_EQ(u8(cycle_detail(3, Target::cancelled, message)), "勾选3个订单，置为取消充值，返回信息：亲！您好，\u20AC已发货");
  EXPECT_EQ(u8(cycle_detail(0, Target::processing, "")), "勾选0个订单，置为处理中，返回信息：");
  EXPECT_EQ(kCheckIntervalMs, 10000);
}
