// Collection of all texts between two markers.

#include <gtest/gtest.h>

#include "text/text.h"
#include "tools/common/collect.h"

using tools::collect_all_between;
using tools::CollectBetween;

namespace {

std::string g(const char* utf8) { return text::utf8_to_gbk(utf8); }

std::vector<std::string> collect(std::string_view source, std::string_view start, std::string_view end,
                                 const CollectBetween& o = {}) {
  std::vector<std::string> out = {"left over"};
  const std::size_t n = collect_all_between(source, start, end, out, o);
  EXPECT_EQ(n, out.size());
  return out;
}

const std::string kStart = g("类型/模板', iframe:{src:'");

std::string link(const std::string& inner) { return "<a href=\"javascript:open('" + kStart + inner + "'})\">x</a>"; }

}  // namespace

TEST(CollectBetween, TemplateLinksInPageOrderTrimmedOfBothKindsOfSpace) {
  const std::string fw = "\xA1\xA1";  // full-width space
  const std::string body = link("SelfProduct/ProductTemplate.aspx?PID=3") + "<p>" +
                           link(" SelfProduct/ProductTemplate.aspx?PID=7 ") +
                           link(fw + "SelfProduct/ProductTemplate.aspx?PID=9" + fw + " ");
  EXPECT_EQ(collect(body, kStart, "'}"),
            (std::vector<std::string>{"SelfProduct/ProductTemplate.aspx?PID=3", "SelfProduct/ProductTemplate.aspx?PID=7",
                                      "SelfProduct/ProductTemplate.aspx?PID=9"}));
}

TEST(CollectBetween, EmptyOrOverlongPieceEndsTheCollection) {
  const std::string body = link("A?PID=1") + link("  ") + link("A?PID=2");
  EXPECT_EQ(collect(body, kStart, "'}"), (std::vector<std::string>{"A?PID=1"}));

  CollectBetween limit;
  limit.max_length = 7;
  EXPECT_EQ(collect(link("A?PID=1") + link("A?PID=100") + link("A?PID=2"), kStart, "'}", limit),
            (std::vector<std::string>{"A?PID=1"}));
  // A start marker without end marker ends it too; nothing found empties the list.
  EXPECT_EQ(collect("[a][b][c", "[", "]"), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(collect("no markers", "[", "]").empty());
  EXPECT_TRUE(collect("", "[", "]").empty());
}

TEST(CollectBetween, NextSearchStartsAtTheEndMarker) {
  // The complaint list's links run to the next ">"; the search for the next link starts
  // at that ">", so a link right after it is found.
  const std::string page = "<a href=OnlineServiceTreat.aspx?id=1>one</a><a href=OnlineServiceTreat.aspx?id=2 >two";
  CollectBetween keep;
  keep.keep_start = true;
  EXPECT_EQ(collect(page, "OnlineServiceTreat", ">", keep),
            (std::vector<std::string>{"OnlineServiceTreat.aspx?id=1", "OnlineServiceTreat.aspx?id=2"}));
  // A marker pair that shares its end with the next start: "|a|b|" gives a and b.
  EXPECT_EQ(collect("|a|b|", "|", "|"), (std::vector<std::string>{"a", "b"}));
}

TEST(CollectBetween, CaseStartPositionAndDecorations) {
  EXPECT_EQ(collect("<B>x</b><b>y</B>", "<b>", "</b>"), (std::vector<std::string>{"x", "y"}));
  CollectBetween exact;
  exact.case_sensitive = true;
  EXPECT_EQ(collect("<B>x</b><b>y</b>", "<b>", "</b>", exact), (std::vector<std::string>{"y"}));

  CollectBetween from;
  from.start = 9;  // 1-based: the second item
  EXPECT_EQ(collect("<b>x</b><b>y</b>", "<b>", "</b>", from), (std::vector<std::string>{"y"}));

  CollectBetween all;
  all.prefix = "P";
  all.suffix = "S";
  all.keep_start = true;
  all.keep_end = true;
  EXPECT_EQ(collect("(x)(y)", "(", ")", all), (std::vector<std::string>{"(PxS)", "(PyS)"}));
}

TEST(CollectBetween, MarkersMatchOnlyAtCharacterBoundaries) {
  // "\xB0\x5B" is one double-byte character whose trail byte is '['.
  const std::string s = "\xB0\x5B" "fake]" "[real]";
  EXPECT_EQ(collect(s, "[", "]"), (std::vector<std::string>{"real"}));
}
