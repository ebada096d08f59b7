// The fast GBK conversion of page text gives the same bytes as the boundary conversion.

#include <gtest/gtest.h>

#include <QString>

#include "page/page_text.h"
#include "platform/gbk.h"

namespace {

TEST(PageText, SameBytesAsTheBoundaryConversion) {
  const char* samples[] = {
      "",
      "plain ascii",
      "<SPAN id=lblUserName>张三</SPAN>\n<P>余额：100元</P>\r\nend\r",
      "emoji 😀 and 𠀀 (outside GBK) € ¥ · 　full-width space",
      "\n\n\r\r\n中\n文\r",
      "混合 mixed 混合 mixed ２３４ ｱｲｳ ﾟ",
  };
  for (const char* s : samples) {
    const QString q = QString::fromUtf8(s);
    EXPECT_EQ(page::page_text_to_gbk(q), platform::to_gbk_crlf(q)) << s;
  }
  QString big;
  for (int i = 0; i < 5000; ++i) big += QStringLiteral("<TD class=a>商品%1</TD>\n").arg(i);
  EXPECT_EQ(page::page_text_to_gbk(big), platform::to_gbk_crlf(big));
}

TEST(PageText, LoneSurrogatesDoNotShiftTheRest) {
  QString q = QStringLiteral("a");
  q += QChar(0xD800);
  q += QStringLiteral("b中");
  q += QChar(0xDC00);
  q += QStringLiteral("文");
  const std::string out = page::page_text_to_gbk(q);
  const std::string tail = platform::to_gbk(QStringLiteral("文"));
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
  EXPECT_EQ(out[0], 'a');
  EXPECT_NE(out.find(platform::to_gbk(QStringLiteral("b中"))), std::string::npos);
}

}  // namespace
