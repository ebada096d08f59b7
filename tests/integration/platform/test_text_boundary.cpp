// The QString <-> GBK boundary.
#include <gtest/gtest.h>

#include "platform/gbk.h"

TEST(Gbk, RoundTripKeepsEveryCharacter) {
  // GBK characters, a euro sign, an emoji and a CJK extension B character (the last two
  // exist only in GB18030's four-byte range).
  const QString s = QStringLiteral("卡密abc€😀𠀀");
  const std::string g = platform::to_gbk(s);
  EXPECT_EQ(g.substr(0, 4), std::string("\xBF\xA8\xC3\xDC"));  // 卡密
  EXPECT_EQ(g.substr(4, 3), "abc");
  EXPECT_EQ(platform::from_gbk(g), s);
  EXPECT_TRUE(platform::to_gbk(QString()).empty());
  EXPECT_TRUE(platform::from_gbk("").isEmpty());
}

TEST(Gbk, CrLfNormalisesEveryLineEnd) {
  EXPECT_EQ(platform::to_gbk_crlf("a\nb\r\nc\rd\n\ne"), "a\r\nb\r\nc\r\nd\r\n\r\ne");
  EXPECT_EQ(platform::to_gbk_crlf("\r\r\n"), "\r\n\r\n");
  EXPECT_EQ(platform::to_gbk_crlf("行一\n行二"), platform::to_gbk("行一\r\n行二"));
}
