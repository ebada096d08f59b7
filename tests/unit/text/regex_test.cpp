#include <gtest/gtest.h>

#include <chrono>

#include "text/text.h"

using namespace text;

namespace {

std::string G(const char* utf8) { return utf8_to_gbk(utf8); }

std::vector<std::string> all(const Regex& re) {
  std::vector<std::string> v;
  for (const auto& m : re.matches()) v.push_back(m.value);
  return v;
}

}  // namespace

TEST(Regex, OptionsIgnoreCaseMultiLineGlobal) {
  Regex re;
  ASSERT_TRUE(regex_execute(re, "ab", "AB ab Ab"));
  EXPECT_EQ(regex_match_count(re), 3u);
  ASSERT_TRUE(regex_execute(re, "ab", "AB ab Ab", true));
  EXPECT_EQ(all(re), (std::vector<std::string>{"ab"}));
  ASSERT_TRUE(regex_execute(re, "ab", "ab ab", false, true, false));
  EXPECT_EQ(regex_match_count(re), 1u);
  ASSERT_TRUE(regex_execute(re, "^\\w+$", "one\ntwo"));
  EXPECT_EQ(all(re), (std::vector<std::string>{"one", "two"}));
  ASSERT_TRUE(regex_execute(re, "^\\w+$", "one\ntwo", false, false));
  EXPECT_EQ(regex_match_count(re), 0u);
  ASSERT_TRUE(regex_execute(re, "^\\w+$", "one\n", false, false));  // $ is the very end
  EXPECT_EQ(regex_match_count(re), 0u);
}

TEST(Regex, LineAnchorsWorkOnCrLfText) {
  Regex re;
  ASSERT_TRUE(regex_execute(re, "^(\\d+)$", "12\r\n34\r\nx5"));
  EXPECT_EQ(all(re), (std::vector<std::string>{"12", "34"}));
  ASSERT_TRUE(regex_execute(re, "^x", "x\rx\nx"));
  EXPECT_EQ(regex_match_count(re), 3u);
  ASSERT_TRUE(regex_execute(re, "[$^]", "a$^"));  // in a class they stay characters
  EXPECT_EQ(regex_match_count(re), 2u);
  ASSERT_TRUE(regex_execute(re, "\\$\\^", "$^"));
  EXPECT_EQ(regex_match_count(re), 1u);
}

TEST(Regex, EscapesOfTheOldDialect) {
  Regex re;
  ASSERT_TRUE(regex_execute(re, "\\Qa\\E", "Qa E QaE"));  // no quotation: letters
  EXPECT_EQ(all(re), (std::vector<std::string>{"QaE"}));
  ASSERT_TRUE(regex_execute(re, "a\\vb", "a\nb a\vb"));  // vertical tab only
  EXPECT_EQ(all(re), (std::vector<std::string>{"a\vb"}));
  ASSERT_TRUE(regex_execute(re, "\\d\\s\\w\\x41\\u0042", "1 _AB"));
  EXPECT_EQ(regex_match_count(re), 1u);
  ASSERT_TRUE(regex_execute(re, "\\bab\\b", "ab cab"));
  EXPECT_EQ(regex_match_count(re), 1u);
  ASSERT_TRUE(regex_execute(re, "(a)\\1", "aa"));
  EXPECT_EQ(regex_match_count(re), 1u);
}

TEST(Regex, DotStopsAtLineFeedOnly) {
  Regex re;
  ASSERT_TRUE(regex_execute(re, "a.+", "a1\r\na2"));
  EXPECT_EQ(all(re), (std::vector<std::string>{"a1\r", "a2"}));
  ASSERT_TRUE(regex_execute(re, "<p>([\\s\\S]*?)</p>", "<p>x\r\ny</p><p>z</p>"));
  EXPECT_EQ(regex_submatch_text(re, 1, 1), "x\r\ny");
  EXPECT_EQ(regex_submatch_text(re, 2, 1), "z");
  EXPECT_EQ(regex_submatch_text(re, 3, 1), "");
  EXPECT_EQ(regex_submatch_text(re, 0, 1), "");
  EXPECT_EQ(regex_submatch_text(re, 1, 2), "");
  EXPECT_EQ(re.subject(), "<p>x\r\ny</p><p>z</p>");
}

TEST(Regex, ReplacementSyntaxAsJavaScript) {
  Regex re;
  ASSERT_TRUE(regex_execute(re, "(\\w)(\\d)", "a1-b2"));
  EXPECT_EQ(regex_replace(re, "$2$1"), "1a-2b");
  EXPECT_EQ(regex_replace(re, "[$&|$$|$0|$3|$]"), "[a1|$|$0|$3|$]-[b2|$|$0|$3|$]");
  EXPECT_EQ(regex_replace(re, "$10"), "a0-b0");  // no group 10: group 1, then "0"
  EXPECT_EQ(regex_replace(re, "$01"), "a-b");
  EXPECT_EQ(regex_replace(re, "<$`>"), "<>-<a1->");
  EXPECT_EQ(regex_replace(re, "<$'>"), "<-b2>-<>");
  // Eleven groups: $11 is group 11, $1 followed by a digit stays group 1 + digit.
  ASSERT_TRUE(regex_execute(re, "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)", "abcdefghijk"));
  EXPECT_EQ(regex_replace(re, "$11$10$1"), "kja");
  EXPECT_EQ(regex_replace(re, "$12"), "a2");  // no group 12: group 1 then "2"
  // An unset group is empty.
  ASSERT_TRUE(regex_execute(re, "(x)?y", "y"));
  EXPECT_EQ(regex_replace(re, "[$1]"), "[]");
}

TEST(Regex, EmptyMatchesAdvanceOnePosition) {
  Regex re;
  ASSERT_TRUE(regex_execute(re, "x*", "abc"));
  EXPECT_EQ(regex_replace(re, "-"), "-a-b-c-");
  ASSERT_TRUE(regex_execute(re, "", ""));
  EXPECT_EQ(regex_match_count(re), 1u);
}

TEST(Regex, BadPatternLeavesNoMatches) {
  Regex re;
  ASSERT_TRUE(regex_execute(re, "a", "aaa"));
  for (const char* bad : {"(", "[a", "a{2,1}", "*", "(?<", "\\"}) {
    EXPECT_FALSE(regex_execute(re, bad, "some (text) [a")) << bad;
    EXPECT_EQ(regex_match_count(re), 0u);
    EXPECT_EQ(regex_replace(re, "x"), "some (text) [a");  // nothing replaced, nothing lost
  }
}

TEST(Regex, CatastrophicBacktrackingEndsWithoutResult) {
  const std::string subject(1 << 20, 'a');
  Regex re;
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(regex_execute(re, "(a+)+b", subject));
  EXPECT_FALSE(regex_execute(re, "(a|aa)*[bc]", subject));
  // Cheap enough at each start position, but a million positions: the execute budget ends it.
  EXPECT_FALSE(regex_execute(re, "(?:a?){20}[bc]", subject));
  EXPECT_FALSE(regex_execute(re, "^(\\w+\\s?)*$", subject + "!"));
  EXPECT_EQ(regex_match_count(re), 0u);
  EXPECT_TRUE(regex_replace(re, "") == subject + "!");  // the subject comes back unchanged
  // Not a timing assertion: a hang would never get here. Log for the curious.
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - t0)
                      .count();
  RecordProperty("catastrophic_ms", static_cast<int>(ms));
  // A heavy but sound pattern over the same subject still works.
  EXPECT_TRUE(regex_execute(re, "a([\\s\\S]*?)$", subject, false, false));
  ASSERT_EQ(regex_match_count(re), 1u);
  EXPECT_EQ(regex_submatch_text(re, 1, 1).size(), subject.size() - 1);
}

TEST(Regex, QuotePlaceholderOnRequest) {
  Regex re;
  const std::string html = "<a href=\"x.htm\">";
  const std::string pat = "href=" + kQuotePlaceholder + "([^\"]*)" + kQuotePlaceholder;
  ASSERT_TRUE(regex_execute(re, pat, html, false, true, true, true));
  EXPECT_EQ(regex_submatch_text(re, 1, 1), "x.htm");
  ASSERT_TRUE(regex_execute(re, pat, html));
  EXPECT_EQ(regex_match_count(re), 0u);
}

TEST(Regex, GbkCharactersInPatternsAreWholeLiterals) {
  Regex re;
  const std::string hu = "\x81\x5B", shang = "\x81\x41", qia = "\x81\x61";
  // 乕 ends in '[': as a literal it must compile and match itself.
  ASSERT_TRUE(regex_execute(re, hu + "(\\d+)", "x" + hu + "12"));
  EXPECT_EQ(regex_submatch_text(re, 1, 1), "12");
  // Ignore-case must not turn 乤 into 丄.
  ASSERT_TRUE(regex_execute(re, qia, shang + qia));
  EXPECT_EQ(regex_match_count(re), 1u);
  EXPECT_EQ(re.matches()[0].offset, 2u);
  // A quantifier after a character repeats the whole character.
  ASSERT_TRUE(regex_execute(re, G("中+"), G("中中中")));
  EXPECT_EQ(all(re), (std::vector<std::string>{G("中中中")}));
  // Inside a class the bytes stay bytes (byte mode), and the class still closes.
  ASSERT_TRUE(regex_execute(re, "[" + hu + "]+", hu));
  EXPECT_EQ(regex_match_count(re), 1u);
  // Escaped multi-byte character.
  ASSERT_TRUE(regex_execute(re, "\\" + G("中"), G("中")));
  EXPECT_EQ(regex_match_count(re), 1u);
}

TEST(Regex, BinarySubjectAndEmbeddedNul) {
  Regex re;
  const std::string subject("a\0b\xFF\x81", 5);
  ASSERT_TRUE(regex_execute(re, "b", subject));
  EXPECT_EQ(re.matches()[0].offset, 2u);
  ASSERT_TRUE(regex_execute(re, std::string("\0", 1), subject));
  EXPECT_EQ(regex_match_count(re), 1u);
  EXPECT_EQ(regex_replace(re, "0"), std::string("a0b\xFF\x81", 5));
}
