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

TEST(Charset, BadByteAfterLongValidTextAndPureAscii) {
  // The stand-in lands at the right place even past several conversion buffers.
  std::string prefix;
  for (int i = 0; i < 3000; ++i) prefix += "\xD6\xD0";  // 中 x 3000
  std::string expected;
  for (int i = 0; i < 3000; ++i) expected += "中";
  EXPECT_EQ(gbk_to_utf8(prefix + "\xFF" + "z" + prefix), expected + "?z" + expected);
  EXPECT_EQ(utf8_to_gbk(expected + "\xC3"), prefix + "?");
  // ASCII is the same bytes, also to a charset that is not ASCII-compatible.
  EXPECT_EQ(gbk_to_utf8("plain\r\ntext"), "plain\r\ntext");
  EXPECT_EQ(convert_charset("ab", "UTF-8", "UTF-16LE"), std::string("a\0b\0", 4));
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
