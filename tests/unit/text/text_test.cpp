#include "text/text.h"

#include <gtest/gtest.h>

using namespace text;

namespace {

std::string G(const char* utf8) { return utf8_to_gbk(utf8); }

// Real GBK characters whose trail byte is an ASCII character.
const std::string kShang = "\x81\x41";  // 丄: trail 'A'
const std::string kQia = "\x81\x61";    // 乤: trail 'a'
const std::string kHu = "\x81\x5B";     // 乕: trail '['
const std::string kJue = "\x81\x5D";    // 乚: trail ']'

}  // namespace

TEST(CharLength, SingleDoubleFourByteAndInvalid) {
  const std::string four = G("\xF0\xA0\x80\x80");  // U+20000, four bytes in GB18030
  ASSERT_EQ(four.size(), 4u);
  const std::string t = "a" + G("中") + four + "\x81" "\n" "\xFF" "\x81";
  EXPECT_EQ(char_length_at(t, 0), 1u);
  EXPECT_EQ(char_length_at(t, 1), 2u);
  EXPECT_EQ(char_length_at(t, 3), 4u);
  EXPECT_EQ(char_length_at(t, 7), 1u);  // lead byte before LF does not swallow it
  EXPECT_EQ(char_length_at(t, 8), 1u);
  EXPECT_EQ(char_length_at(t, 9), 1u);
  EXPECT_EQ(char_length_at(t, 10), 1u);  // lead byte at the very end
  EXPECT_EQ(char_length_at(t, 11), 0u);
}

TEST(FindAtBoundary, NeverMatchesInsideACharacter) {
  EXPECT_EQ(find_at_boundary(kShang, "A"), std::string_view::npos);
  EXPECT_EQ(find_at_boundary(kShang, "a", 0, false), std::string_view::npos);
  EXPECT_EQ(find_at_boundary(kShang + "A", "A"), 2u);
  // A needle starting with a trail byte value must not match across characters.
  const std::string hay = G("中") + kShang + "[x]";
  EXPECT_EQ(find_at_boundary(hay, "A["), std::string_view::npos);
  EXPECT_EQ(find_at_boundary(hay, "[x]"), 4u);
  // Long runs of double-byte text before the match (boundary found far back).
  std::string run;
  for (int i = 0; i < 5000; ++i) run += kShang;
  EXPECT_EQ(find_at_boundary(run + "A", "A"), run.size());
  EXPECT_EQ(find_at_boundary("\x41" + run, "A"), 0u);
}

TEST(FindAtBoundary, CaseFoldsOnlyAsciiCharacters) {
  EXPECT_EQ(find_at_boundary("xxHeLLo", "hello", 0, false), 2u);
  EXPECT_EQ(find_at_boundary("xxHeLLo", "hello", 0, true), std::string_view::npos);
  // 乤 (81 61) and 丄 (81 41) differ only in the case of their trail byte: different characters.
  EXPECT_EQ(find_at_boundary(kShang, kQia, 0, false), std::string_view::npos);
  EXPECT_EQ(find_at_boundary(kShang + kQia, kQia, 0, false), 2u);
  EXPECT_EQ(find_at_boundary("abc", "", 0, false), std::string_view::npos);
  EXPECT_EQ(find_at_boundary("abc", "c", 5, false), std::string_view::npos);
}

TEST(TextBetween, MarkersAndStartPosition) {
  const std::string t = "list [one] and [two] end";
  EXPECT_EQ(text_between(t, "[", "]"), "one");
  EXPECT_EQ(text_between(t, "[", "]", 11), "two");
  EXPECT_EQ(text_between(t, "[", "]", 17), "");
  EXPECT_EQ(text_between(t, "[", "]", 1000), "");
  EXPECT_EQ(text_between(t, "[", "]", 0), "one");
  EXPECT_EQ(text_between("a[]b", "[", "]"), "");   // markers touch
  EXPECT_EQ(text_between("a[b", "[", "]"), "");    // end missing
  EXPECT_EQ(text_between("a]b", "[", "]"), "");    // start missing
  EXPECT_EQ(text_between("]x[y]", "[", "]"), "y");  // end searched after the start only
}

TEST(TextBetween, QuotePlaceholderAndCase) {
  const std::string html = "<INPUT id=\"price\" value=\"12.50\" />";
  EXPECT_EQ(text_between(html, "value=" + kQuotePlaceholder, kQuotePlaceholder), "12.50");
  EXPECT_EQ(text_between("<span id=lblUserName>bob</SPAN>", "<SPAN id=lblUserName>", "</span>"),
            "bob");
  EXPECT_EQ(text_between("<span>bob</span>", "<SPAN>", "</span>", 1, true), "");
  EXPECT_EQ(kQuotePlaceholder, G("#引号"));
}

TEST(TextBetween, GbkMarkersAndEmptyMarkers) {
  const std::string t = G("余额：") + "12.5" + G("元");
  EXPECT_EQ(text_between(t, G("余额："), G("元")), "12.5");
  // A trail byte '[' or ']' never counts as a marker.
  EXPECT_EQ(text_between(kHu + "a" + kJue + "[b]", "[", "]"), "b");
  // An empty marker finds nothing.
  EXPECT_EQ(text_between("abc", "", "c"), "");
  EXPECT_EQ(text_between("abc", "a", ""), "");
}

TEST(SplitText, PiecesAndSeparatorsAtTheEnds) {
  using V = std::vector<std::string>;
  EXPECT_EQ(split_text("a\r\nb\r\n\r\nc", "\r\n"), (V{"a", "b", "", "c"}));
  EXPECT_EQ(split_text("a\r\nb\r\n", "\r\n"), (V{"a", "b"}));
  EXPECT_EQ(split_text("\r\na", "\r\n"), (V{"", "a"}));
  EXPECT_EQ(split_text("\r\n", "\r\n"), (V{""}));
  EXPECT_EQ(split_text("a\r\n\r\n", "\r\n"), (V{"a", ""}));
  EXPECT_EQ(split_text("", "\r\n"), V{});
  EXPECT_EQ(split_text("abc", ""), (V{"abc"}));
  EXPECT_EQ(split_text("abc", "x"), (V{"abc"}));
}

TEST(SplitText, NeverSplitsADoubleByteCharacter) {
  using V = std::vector<std::string>;
  // 丄 ends in the byte 'A', 乕 in '['.
  EXPECT_EQ(split_text(kShang + "A" + kShang, "A"), (V{kShang, kShang}));
  EXPECT_EQ(split_text(kHu + "[" + kHu, "["), (V{kHu, kHu}));
  EXPECT_EQ(split_text(G("中文，英文"), G("，")), (V{G("中文"), G("英文")}));
  // A separator made of the trail of 斗 (B6 B7) and the lead of 文 (CE C4) never matches.
  const std::string t = G("斗文");
  EXPECT_EQ(split_text(t, "\xB7\xCE"), (V{t}));
  // Invalid bytes are characters of their own.
  EXPECT_EQ(split_text(std::string("a\xFF,b\x81", 5), ","), (V{"a\xFF", "b\x81"}));
}

TEST(Spaces, AsciiAndFullWidthAtBoundaries) {
  const std::string fw = "\xA1\xA1";
  EXPECT_EQ(trim_spaces("  " + fw + "a b" + fw + " "), "a b");
  EXPECT_EQ(trim_spaces(fw + fw), "");
  EXPECT_EQ(trim_spaces(""), "");
  EXPECT_EQ(remove_spaces(" a " + fw + "b "), "ab");
  // 啊 (B0 A1) followed by “ (A1 B0): the bytes A1 A1 in the middle are no space.
  const std::string tricky = G("啊“");
  ASSERT_EQ(tricky, "\xB0\xA1\xA1\xB0");
  EXPECT_EQ(remove_spaces(tricky), tricky);
  EXPECT_EQ(trim_spaces(tricky), tricky);
  // A text ending in a character whose trail byte is A1, then a lone A1.
  EXPECT_EQ(trim_spaces("\xB0\xA1\xA1"), "\xB0\xA1\xA1");
  EXPECT_EQ(trim_spaces(G("　中文　")), G("中文"));
}

TEST(RemoveBlankLines, EmptyAndBlankLinesGo) {
  EXPECT_EQ(remove_blank_lines("one\r\n\r\n   \r\ntwo\r\n"), "one\r\ntwo");
  EXPECT_EQ(remove_blank_lines("\r\none\r\ntwo"), "one\r\ntwo");
  EXPECT_EQ(remove_blank_lines("\r\n\r\none"), "\r\none");  // one leading pair only
  EXPECT_EQ(remove_blank_lines("a\r\n\t \r\n\r\n\r\nb\r\nc", true), "a\r\nb\r\nc");
  EXPECT_EQ(remove_blank_lines(""), "");
  EXPECT_EQ(remove_blank_lines("\r\n"), "");
  EXPECT_EQ(remove_blank_lines(G("甲\r\n\r\n乙")), G("甲\r\n乙"));
}

TEST(MultiReplace, PairsInOrderFromPositionWithCount) {
  EXPECT_EQ(multi_replace("abcabc", {{"a", "b"}, {"b", "c"}}), "cccccc");
  EXPECT_EQ(multi_replace("abcabc", {{"a", "X"}}, 2), "abcXbc");
  EXPECT_EQ(multi_replace("aaaa", {{"a", "b"}}, 1, 2), "bbaa");
  EXPECT_EQ(multi_replace("aaaa", {{"a", "b"}}, 1, 0), "aaaa");
  EXPECT_EQ(multi_replace("AbA", {{"a", "x"}}), "xbx");
  EXPECT_EQ(multi_replace("AbA", {{"a", "x"}}, 1, -1, true), "AbA");
  EXPECT_EQ(multi_replace("aa", {{"a", "aa"}}), "aaaa");  // replacements are not searched again
  EXPECT_EQ(multi_replace("abc", {{"", "x"}, {"b", ""}}), "ac");
  EXPECT_EQ(multi_replace(kShang + "A", {{"A", "B"}}), kShang + "B");
}

TEST(EscapeForPattern, AsTheOldPlatformDid) {
  EXPECT_EQ(escape_for_pattern("(word)"), "\\(word\\)");
  EXPECT_EQ(escape_for_pattern("a}"), "a\\}");
  EXPECT_EQ(escape_for_pattern("[x]+*?{"), "\\[x\\]\\+\\*\\?\\{");
  EXPECT_EQ(escape_for_pattern(".^$|\\"), ".^$|\\");
  EXPECT_EQ(escape_for_pattern("a\r\nb"), "a\\nb");
  EXPECT_EQ(escape_for_pattern("id=" + kQuotePlaceholder + "x"), "id=\"x");
  EXPECT_EQ(escape_for_pattern(kHu), kHu);  // a trail byte '[' is no bracket
}

TEST(CollectBetweenPattern, MaxLengthPrefixSuffixAndMarkers) {
  const std::string page = "<b>1</b> <B>long one</B> <b>22</b>";
  std::vector<std::string> out{"stale"};
  CollectOptions o;
  o.max_length = 2;
  EXPECT_EQ(collect_between_pattern(page, "<b>", "</b>", out, o), 2u);
  EXPECT_EQ(out, (std::vector<std::string>{"1", "22"}));
  o = {};
  o.prefix = "(";
  o.suffix = ")";
  o.keep_start = true;
  o.keep_end = true;
  EXPECT_EQ(collect_between_pattern(page, "<b>", "</b>", out, o), 3u);
  EXPECT_EQ(out[1], "(<B>long one</B>)");  // the markers as the page spells them
  EXPECT_EQ(collect_between_pattern("f(1)=2 f(3)=4", "f(", ")=", out), 2u);
  EXPECT_EQ(out, (std::vector<std::string>{"1", "3"}));
  EXPECT_EQ(collect_between_pattern("nothing", "<", ">", out), 0u);
  EXPECT_TRUE(out.empty());
  // GBK markers whose trail bytes are pattern characters.
  const std::string gb = kHu + "x" + kJue + kHu + "y" + kJue;
  EXPECT_EQ(collect_between_pattern(gb, kHu, kJue, out), 2u);
  EXPECT_EQ(out, (std::vector<std::string>{"x", "y"}));
}

TEST(ToInteger, AsTheOldPlatformRead) {
  EXPECT_EQ(to_integer("12abc"), 12);
  EXPECT_EQ(to_integer("abc"), 0);
  EXPECT_EQ(to_integer(" -3"), -3);
  EXPECT_EQ(to_integer("+7"), 7);
  EXPECT_EQ(to_integer(""), 0);
  EXPECT_EQ(to_integer("-"), 0);
  EXPECT_EQ(to_integer("99999999999999999999999"), LONG_MAX);
  EXPECT_EQ(to_integer("-99999999999999999999999"), LONG_MIN);
}
