// The editor's line operations on GBK text.
#include <gtest/gtest.h>

#include "text/text.h"
#include "tools/names/name_ops.h"

namespace tools::names {
namespace {

std::string G(const char* utf8) { return text::utf8_to_gbk(utf8); }

// 癮 is B0 61 and 癆 is B0 41 in GBK: their trail bytes are 'a' and 'A'.
const char* const kTrailA = "癮";
const char* const kTrailUpperA = "癆";

TEST(NameOps, RemoveDuplicatesDropsLinesFoundInsideKeptLines) {
  const DedupResult r = remove_duplicates("ab\r\na\r\nab\r\nxy");
  EXPECT_EQ(r.text, "ab\r\nxy\r\n");
  EXPECT_EQ(r.lines, 4u);
  EXPECT_EQ(r.kept, 2u);
  EXPECT_EQ(dedup_status(r.lines, r.kept), G("数据文本4项/去除重复2项    得到文本2项"));
}

TEST(NameOps, RemoveDuplicatesKeepsAnEmptyLineOnlyFirst) {
  EXPECT_EQ(remove_duplicates("\r\na\r\n\r\nb\r\n").text, "\r\na\r\nb\r\n");
  EXPECT_EQ(remove_duplicates("a\r\n\r\n\r\nb").text, "a\r\nb\r\n");
  const DedupResult first_empty = remove_duplicates("\r\n\r\n");
  EXPECT_EQ(first_empty.text, "\r\n");
  EXPECT_EQ(first_empty.kept, 1u);
  EXPECT_EQ(first_empty.lines, 2u);
}

TEST(NameOps, RemoveDuplicatesIsCaseSensitive) {
  EXPECT_EQ(remove_duplicates("Ab\r\nab\r\nA").text, "Ab\r\nab\r\n");
}

TEST(NameOps, RemoveDuplicatesLinesWithLoneCarriageReturn) {
  // "x\r" occurs in the kept text "x\r\n" (across the line end) and is dropped; after
  // "xy" it does not occur and is kept.
  EXPECT_EQ(remove_duplicates("x\r\nx\r\r\n").text, "x\r\n");
  EXPECT_EQ(remove_duplicates("xy\r\nx\r\r\n").text, "xy\r\nx\r\r\n");
  // "\nb" matches from the line end before the kept line "b".
  EXPECT_EQ(remove_duplicates("a\r\nb\r\n\nb").text, "a\r\nb\r\n");
}

TEST(NameOps, RemoveDuplicatesNeverMatchesATrailByte) {
  const std::string t = G(kTrailA) + "\r\na\r\n" + G("中文") + "\r\n" + G("文") + "\r\n";
  EXPECT_EQ(remove_duplicates(t).text, G(kTrailA) + "\r\na\r\n" + G("中文") + "\r\n");
}

TEST(NameOps, EveryOperationOnAnEmptyText) {
  const DedupResult d = remove_duplicates("");
  EXPECT_EQ(d.text, "");
  EXPECT_EQ(d.lines, 0u);
  EXPECT_EQ(add_prefix("", "p"), "");
  EXPECT_EQ(number_lines("", "5"), "");
  EXPECT_EQ(delete_empty_lines(""), "");
  EXPECT_EQ(reverse_lines(""), "");
  FirstCharState st;
  EXPECT_EQ(replace_first_chars("", "x", st), "");
  EXPECT_TRUE(st.used);  // it ran, so the next use cuts the length of "x"
  EXPECT_EQ(replace_text("", "a", "b", "-1", true), "");
  EXPECT_EQ(strip_keywords("", "a|b"), "");
}

TEST(NameOps, AddPrefixEndsEveryLineAndKeepsEmptyLines) {
  EXPECT_EQ(add_prefix("a\r\n\r\nb", G("【热卖】")),
            G("【热卖】") + "a\r\n" + G("【热卖】") + "\r\n" + G("【热卖】") + "b\r\n");
  EXPECT_EQ(add_prefix("a\r\n", ""), "a\r\n");
}

TEST(NameOps, NumberLines) {
  EXPECT_EQ(number_lines("x\r\ny\r\nz", "5"), "5.x\r\n6.y\r\n7.z\r\n");
  EXPECT_EQ(number_lines("x\r\ny\r\n", G("五")), "0.x\r\n1.y\r\n");
  EXPECT_EQ(number_lines("x\r\ny", ""), "0.x\r\n1.y\r\n");
  EXPECT_EQ(number_lines("x\r\ny", "-1"), "-1.x\r\n0.y\r\n");
  EXPECT_EQ(number_lines("x", "12abc"), "12.x\r\n");
}

TEST(NameOps, DeleteEmptyLinesHasNoFinalLineEnd) {
  EXPECT_EQ(delete_empty_lines("a\r\n\r\n  \r\nb\r\n"), "a\r\n  \r\nb");
  EXPECT_EQ(delete_empty_lines("\r\n\r\n"), "");
  EXPECT_EQ(delete_empty_lines("a"), "a");
}

TEST(NameOps, ReverseLines) {
  EXPECT_EQ(reverse_lines("a\r\nb\r\n\r\nc"), "c\r\n\r\nb\r\na\r\n");
  EXPECT_EQ(reverse_lines("a\rb\r\nc\r\n"), "c\r\na\rb\r\n");
}

TEST(NameOps, ReplaceFirstCharSecondUseReplacesTheFirstReplacement) {
  FirstCharState st;
  const std::string once = replace_first_chars(G("旧A"), G("新"), st);
  EXPECT_EQ(once, G("新A") + "\r\n");
  EXPECT_EQ(st.last, G("新"));
  EXPECT_EQ(replace_first_chars(once, G("老"), st), G("老A") + "\r\n");
  // A longer replacement, then a shorter one: the cut is the last replacement's length.
  EXPECT_EQ(replace_first_chars(G("老A"), "[new]", st), "[new]A\r\n");
  EXPECT_EQ(replace_first_chars("[new]A\r\nab", "", st), "A\r\n\r\n");
}

TEST(NameOps, ReplaceFirstCharFirstUseCutsTwoBytes) {
  FirstCharState st;
  EXPECT_EQ(replace_first_chars("abc\r\nx\r\n\r\nde", "#", st), "#c\r\n#\r\n#\r\n#\r\n");
}

TEST(NameOps, FirstCharStateIsProgramWide) {
  EXPECT_EQ(&first_char_state(), &first_char_state());
}

TEST(NameOps, ReplaceTextCountRules) {
  const std::string t = "a-a-a-a";
  EXPECT_EQ(replace_text(t, "a", "b", "", true), t);
  EXPECT_EQ(replace_text(t, "a", "b", "0", true), t);
  EXPECT_EQ(replace_text(t, "a", "b", G("两"), true), t);
  EXPECT_EQ(replace_text(t, "a", "b", "2", true), "b-b-a-a");
  EXPECT_EQ(replace_text(t, "a", "b", "-1", true), "b-b-b-b");
  EXPECT_EQ(replace_text(t, "a", "b", "-7", true), "b-b-b-b");
  EXPECT_EQ(replace_text(t, "a", "b", "99", true), "b-b-b-b");
  EXPECT_EQ(replace_text(t, "", "b", "-1", true), t);
  EXPECT_EQ(replace_text("aaa", "aa", "a", "-1", true), "aa");  // left to right, no overlap
}

TEST(NameOps, ReplaceTextCaseRule) {
  EXPECT_EQ(replace_text("Ab ab AB", "ab", "x", "-1", true), "Ab x AB");
  EXPECT_EQ(replace_text("Ab ab AB", "ab", "x", "-1", false), "x x x");
  EXPECT_EQ(replace_text(G("卡Ka"), G("卡k"), G("点"), "-1", false), G("点a"));
}

TEST(NameOps, ReplaceTextNeverTouchesTrailBytes) {
  const std::string t = G(kTrailA) + "a" + G(kTrailUpperA) + "A";
  EXPECT_EQ(replace_text(t, "a", "x", "-1", true), G(kTrailA) + "x" + G(kTrailUpperA) + "A");
  EXPECT_EQ(replace_text(t, "a", "x", "-1", false), G(kTrailA) + "x" + G(kTrailUpperA) + "x");
  EXPECT_EQ(replace_text(t, "A", "x", "-1", false), G(kTrailA) + "x" + G(kTrailUpperA) + "x");
  // Case folding never makes 癮 (B0 61) equal 癆 (B0 41).
  EXPECT_EQ(replace_text(G(kTrailUpperA), G(kTrailA), "x", "-1", false), G(kTrailUpperA));
  EXPECT_EQ(replace_text(t, "a", "x", "1", false), G(kTrailA) + "x" + G(kTrailUpperA) + "A");
}

TEST(NameOps, StripKeywordsJoinsAroundEmptiedLines) {
  EXPECT_EQ(strip_keywords("xa\r\nb\r\ny", "a|b"), "xy");
  EXPECT_EQ(strip_keywords("xa\r\nb\r\ny", ""), "xa\r\nb\r\ny");
}

TEST(NameOps, StripKeywordsRemovesSpacesAndDoubleLineEnds) {
  // An empty keyword deletes nothing but the CR LF CR LF pairs and the spaces still go.
  EXPECT_EQ(strip_keywords("a b" + G("　") + "c\r\n\r\nd", "|"), "abcd");
  EXPECT_EQ(strip_keywords("a\r\n\r\n\r\nb", "q"), "a\r\nb");
  // The keyword is deleted case-sensitively and a trailing "|" adds no keyword.
  EXPECT_EQ(strip_keywords("Aa\r\nb", "a|"), "A\r\nb");
}

TEST(NameOps, StripKeywordsNeverTouchesTrailBytes) {
  const std::string t = G(kTrailA) + "a\r\n" + G(kTrailUpperA) + "b";
  EXPECT_EQ(strip_keywords(t, "a|A"), G(kTrailA) + "\r\n" + G(kTrailUpperA) + "b");
  // "|" (7C) is the trail byte of some characters; the keyword list splits only between
  // characters. 亅 would be 81 7C.
  const std::string bar_trail = "\x81\x7C";
  EXPECT_EQ(strip_keywords(bar_trail + "x" + "q", bar_trail + "|q"), "x");
}

TEST(NameOps, SplitLinesAgreesWithTheTextHelper) {
  for (const std::string t :
       {std::string(), std::string("a"), std::string("\r\n"), std::string("a\r\n"),
        std::string("\r\n\r\na"), std::string("a\rb\n\r\n"), G("中\r\n文"), std::string("\r\r\n\n")}) {
    const auto views = split_lines(t);
    const auto pieces = text::split_text(t, "\r\n");
    ASSERT_EQ(views.size(), pieces.size()) << t;
    for (std::size_t i = 0; i < views.size(); ++i) EXPECT_EQ(views[i], pieces[i]);
  }
}

}  // namespace
}  // namespace tools::names
