// The card import's page-free parts: addresses, card count, pace, import text.

#include <gtest/gtest.h>

#include "text/text.h"
#include "tools/cards/card_import_core.h"

namespace {

using namespace tools::cards;

std::string gbk(const char* utf8) { return text::utf8_to_gbk(utf8); }

// A row of the inventory page as the old engine serialises it.
std::string row(const std::string& address) {
  return "<TR><TD><A onclick=\"showDialog({title:'" + gbk("导入卡密") + "', iframe:{src:'" + address +
         "'}, width:640})\" href=\"javascript:void(0)\">" + gbk("导卡") +
         "</A> <A href=ProductCardList.aspx?PID=1>" + gbk("管理") + "</A></TD></TR>\r\n";
}

TEST(ImportAddresses, EveryDialogAddressInPageOrderTrimmed) {
  const std::string page = "<HTML><BODY><TABLE>" + row("SelfProduct/ProductCardImport.aspx?PID=7") +
                           row(" SelfProduct/ProductCardImport.aspx?PID=3 ") +
                           row("SelfProduct/ProductCardImport.aspx?PID=12") + "</TABLE></BODY></HTML>";
  EXPECT_EQ(import_addresses(page),
            (std::vector<std::string>{"SelfProduct/ProductCardImport.aspx?PID=7", "SelfProduct/ProductCardImport.aspx?PID=3",
                                      "SelfProduct/ProductCardImport.aspx?PID=12"}));
}

TEST(ImportAddresses, AnEmptyAddressOrAMissingEndEndsTheList) {
  const std::string empty_piece = row("a.aspx?PID=1") + row("   ") + row("a.aspx?PID=3");
  EXPECT_EQ(import_addresses(empty_piece), (std::vector<std::string>{"a.aspx?PID=1"}));
  const std::string cut = row("a.aspx?PID=1") + "iframe:{src:'a.aspx?PID=2";
  EXPECT_EQ(import_addresses(cut), (std::vector<std::string>{"a.aspx?PID=1"}));
  EXPECT_TRUE(import_addresses("<HTML><BODY>" + gbk("暂无商品") + "</BODY></HTML>").empty());
  EXPECT_TRUE(import_addresses("").empty());
  // The marker is found without regard to case, as the collection does everywhere.
  EXPECT_EQ(import_addresses("IFRAME:{SRC:'b.aspx'}"), (std::vector<std::string>{"b.aspx"}));
}

TEST(CardCount, FirstTickedBoxInOrderElseTheCountInForce) {
  EXPECT_EQ(card_count({false, false, true, false}, 0), 200);
  EXPECT_EQ(card_count({true, false, false, false}, 0), 50);
  EXPECT_EQ(card_count({false, true, false, false}, 400), 100);
  EXPECT_EQ(card_count({false, false, false, true}, 0), 400);
  // Two ticked (not possible through the window, but the order decides).
  EXPECT_EQ(card_count({false, true, false, true}, 0), 100);
  // None ticked: unchanged, so 0 at the start of an import stays 0.
  EXPECT_EQ(card_count({false, false, false, false}, 0), 0);
  EXPECT_EQ(card_count({false, false, false, false}, 200), 200);
}

TEST(Pace, WholeSecondsNotANumberIsZero) {
  EXPECT_EQ(pace_seconds("3"), 3);
  EXPECT_EQ(pace_wait_ms("3"), 3000);
  EXPECT_EQ(pace_seconds("abc"), 0);
  EXPECT_EQ(pace_wait_ms("abc"), 0);
  EXPECT_EQ(pace_seconds(""), 0);
  EXPECT_EQ(pace_seconds("  12"), 12);
  EXPECT_EQ(pace_seconds("2.9"), 2);
  EXPECT_EQ(pace_seconds("5s"), 5);
  EXPECT_EQ(pace_seconds("+4"), 4);
  EXPECT_EQ(pace_seconds("x5"), 0);
  EXPECT_EQ(pace_seconds(gbk("３")), 0);  // full-width digits are not a number here
  // A negative pace waits nothing.
  EXPECT_EQ(pace_seconds("-2"), -2);
  EXPECT_EQ(pace_wait_ms("-2"), 0);
}

TEST(Pace, HugeValuesAreCappedToWhatAWaitHolds) {
  const long long cap = 2147483647LL / 1000;
  EXPECT_EQ(pace_seconds("99999999999999999999999999"), cap);
  EXPECT_EQ(pace_wait_ms("99999999999999999999999999"), cap * 1000);
  EXPECT_LE(pace_wait_ms("2147484"), 2147483647LL);
  EXPECT_EQ(pace_seconds("2147483"), 2147483);
}

TEST(CardLines, CrLfSeparatesAndAFinalBreakAddsNoLine) {
  EXPECT_EQ(card_lines("a\r\nb\r\nc"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(card_lines("a\r\nb\r\n"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(card_lines("a\r\n\r\nc"), (std::vector<std::string>{"a", "", "c"}));
  EXPECT_TRUE(card_lines("").empty());
  // The hint text is content like any other: four lines.
  EXPECT_EQ(card_lines(gbk("第一个商品的卡密\r\n第二个商品的卡密\r\n第三个商品的卡密\r\n……依次类推")).size(), 4u);
}

TEST(ImportText, TheLineFollowedByCrLfCountTimes) {
  const std::string t = import_text("abc", 200);
  ASSERT_EQ(t.size(), 200u * 5);
  const auto lines = text::split_text(t, "\r\n");
  ASSERT_EQ(lines.size(), 200u);
  for (const auto& l : lines) EXPECT_EQ(l, "abc");
  EXPECT_EQ(import_text("x", 1), "x\r\n");
  EXPECT_EQ(import_text("", 3), "\r\n\r\n\r\n");
  EXPECT_EQ(import_text("abc", 0), "");
  EXPECT_EQ(import_text("abc", -5), "");
  // A long line stays whole.
  const std::string big(10000, 'k');
  const std::string t2 = import_text(big, 400);
  EXPECT_EQ(t2.size(), 400u * 10002);
  EXPECT_EQ(t2.substr(10000, 2), "\r\n");
  EXPECT_EQ(t2.substr(t2.size() - 2), "\r\n");
}

}  // namespace
