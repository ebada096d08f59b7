#include <gtest/gtest.h>

#include "text/text.h"

using namespace text;

TEST(Charset, GbkRoundTripIncludingGb18030Only) {
  const std::string u = "中文 abc € \xF0\xA0\x80\x80 \xE2\x82\xAC";  // U+20000 needs GB18030
  const std::string g = utf8_to_gbk(u);
  EXPECT_EQ(g.substr(0, 4), "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(gbk_to_utf8(g), u);
  EXPECT_EQ(convert_charset(u), g);  // defaults: UTF-8 to GBK
  EXPECT_EQ(convert_charset(g, "gbk", "utf-8"), u);
}

TEST(Charset, InvalidInputIsReplacedNotFatal) {
  EXPECT_EQ(convert_charset("a\xFF" "b\xC3"), "a?b?");
  EXPECT_EQ(gbk_to_utf8("x\x81"), "x?");          // truncated double-byte character
  EXPECT_EQ(gbk_to_utf8("\xFF\xFFz"), "??z");
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 7919) & 0xFF));
  const std::string back = gbk_to_utf8(garbage);
  EXPECT_FALSE(back.empty());
  EXPECT_EQ(convert_charset(std::string("a\0b", 3), "GBK", "UTF-8"), std::string("a\0b", 3));
  // A character the target lacks becomes "?".
  EXPECT_EQ(convert_charset("\xE4\xB8\xAD" "a", "UTF-8", "ISO-8859-1"), "?a");
}

TEST(Charset, SkipAndUnknownCharset) {
  EXPECT_EQ(convert_charset("abcdef", "UTF-8", "GBK", 2), "cdef");
  EXPECT_EQ(convert_charset("ab", "UTF-8", "GBK", 5), "");
  EXPECT_EQ(convert_charset("ab", "NO-SUCH-CHARSET", "GBK"), "");
}

TEST(Charset, WideText) {
  EXPECT_EQ(to_wide_text(""), "");
  EXPECT_EQ(to_wide_text(utf8_to_gbk("中a")), std::string("\x2D\x4E" "a\0", 4));
  EXPECT_EQ(to_wide_text(utf8_to_gbk("\xF0\xA0\x80\x80")), std::string("\x40\xD8\x00\xDC", 4));  // surrogates
}
