// LivePage on the real engine: the finders with their type lists, skips and ordinals, and
// the picture copy.

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>

#include "page/live_page.h"
#include "page_fixture.h"

using namespace pagetest;
using page::LivePage;

namespace {

TEST(Live, InputFinderTypeListsSkipsAndOrdinals) {
  auto& v = shared_view();
  ASSERT_TRUE(show_page(v, "/live_inputs.html", html(
      "<input type=text name=q id=a><input type=checkbox name=q id=cb><input type=password title=q id=b>"
      "<input type=file id=f><input type=text id=c>"
      "<input type=submit id=Sumit onclick=\"L('sumit')\"><input type=reset value=r onclick=\"L('reset');return false\">"
      "<input type=radio name=r id=r1 onmousedown=\"L('down1')\"><input type=radio name=r id=r2 onmousedown=\"L('down2')\">")));
  auto values = [&] { return eval_text(v, "[a.value,b.value,c.value].join(',')"); };
  LivePage p;
  ASSERT_TRUE(p.attach_live_page(&v));
  EXPECT_EQ(p.browser_handle(), &v);
  p.live_set_input_text("q", "first");
  EXPECT_EQ(values(), "first,,");
  p.live_set_input_text("q", "second", 1);  // skips the first match; the checkbox is not considered
  EXPECT_EQ(values(), "first,second,");
  p.live_set_input_text("q", "none", 2);
  EXPECT_EQ(values(), "first,second,");
  // Ordinal among considered elements (text, password, file): 4 is c.
  p.live_set_input_text("4", "fourth", 5);  // skip does not apply to the ordinal
  EXPECT_EQ(values(), "first,second,fourth");
  p.live_set_input_text("nothing", "x");
  EXPECT_EQ(values(), "first,second,fourth");
  eval(v, "c.title='say \"hi\"\\\\ ]\\n'");
  p.live_set_input_text("say \"hi\"\\ ]\n", "quoted");
  EXPECT_EQ(values(), "first,second,quoted");

  EXPECT_TRUE(p.live_click_button("Sumit"));
  EXPECT_FALSE(p.live_click_button("q"));  // no button-type input or button element named q
  EXPECT_TRUE(p.live_click_button("2"));   // second of submit/reset
  EXPECT_TRUE(p.live_check_radio("r", 1, true));
  EXPECT_TRUE(p.live_check_radio("r1"));
  EXPECT_FALSE(p.live_check_radio("r3"));
  EXPECT_EQ(eval_text(v, "[r1.checked,r2.checked].join(',')"), "true,false");
  EXPECT_EQ(log_of(v), "sumit,reset,down2");
}

// The input finder sees types the old engine did not know as "text": such fields are
// filled by key and counted by ordinal; the radio and button lists ignore them.
TEST(Live, InputTypesAsTheOldEngineReportedThem) {
  auto& v = shared_view();
  ASSERT_TRUE(show_page(v, "/live_types.html", html(
      "<input type=radio name=Phone id=r>"
      "<input type=tel name=Phone id=tel><input type=number name=Parvalue id=num>"
      "<input type=email id=mail><input type=search title=q id=find><input type=url id=SavingUrl>"
      "<input type=date id=day><input id=none><input type=bogus id=odd>"
      "<input type=submit id=go onclick=\"L('go');return false\">")));
  auto values = [&] {
    return eval_text(v, "['tel','num','mail','find','SavingUrl','day','none','odd']"
                        ".map(function(i){return document.getElementById(i).value}).join('|')");
  };
  LivePage p;
  ASSERT_TRUE(p.attach_live_page(&v));
  p.live_set_input_text("Phone", "13800138000");
  p.live_set_input_text("Parvalue", "99");
  p.live_set_input_text("mail", "shop@abc.com.cn");
  p.live_set_input_text("q", gbk("点卡"));
  p.live_set_input_text("SavingUrl", "http://pay.abc.com/");
  p.live_set_input_text("day", "2024-05-01");
  p.live_set_input_text("none", "plain");
  p.live_set_input_text("odd", "odd");
  EXPECT_EQ(values(), "13800138000|99|shop@abc.com.cn|点卡|http://pay.abc.com/|2024-05-01|plain|odd");
  // Ordinals count them (the radio and the submit button are not considered).
  p.live_set_input_text("2", "100");
  p.live_set_input_text("8", "eighth");
  EXPECT_EQ(eval_text(v, "num.value+'|'+odd.value"), "100|eighth");
  // The other type lists do not see them.
  EXPECT_FALSE(p.live_click_button("Parvalue"));
  EXPECT_FALSE(p.live_check_radio("tel"));
  EXPECT_TRUE(p.live_check_radio("Phone"));
  EXPECT_TRUE(p.live_click_button("1"));
  EXPECT_EQ(eval_text(v, "String(r.checked)"), "true");
  EXPECT_EQ(log_of(v), "go");
}

TEST(Live, ButtonElementFallbackTextareasAndLinks) {
  auto& v = shared_view();
  ASSERT_TRUE(show_page(v, "/live_other.html", html(
      "<input type=button id=x value=in onclick=\"L('input')\">"
      "<button type=button name=go onclick=\"L('button')\">go</button>"
      "<button type=button onclick=\"L('button2')\">b2</button>"
      "<textarea id=t1 class=note>one</textarea><textarea id=t2 title=tt>two</textarea>"
      "<a id=l1 href=/a onclick=\"return L('l1')\">Next page</a>"
      "<a id=l2 href=/b class=pager target=_blank onclick=\"L('l2:'+this.target);return false\">b</a>")));
  LivePage p;
  ASSERT_TRUE(p.attach_live_page(&v));
  EXPECT_TRUE(p.live_click_button("go"));   // no input matched: button elements
  EXPECT_TRUE(p.live_click_button("2"));    // ordinal among the button elements (fresh count)
  EXPECT_TRUE(p.live_click_button("x"));
  EXPECT_EQ(log_of(v), "button,button2,input");

  p.live_set_textarea_text("note", "by class");
  p.live_set_textarea_text("two", "by text");
  p.live_set_textarea_text("tt", "skipped", 1);
  EXPECT_EQ(eval_text(v, "t1.value+'|'+t2.value"), "by class|by text");

  eval(v, "log=[]");
  EXPECT_TRUE(p.live_click_link("Next page"));  // innerText, exact
  EXPECT_FALSE(p.live_click_link("Next"));
  EXPECT_TRUE(p.live_click_link("pager", 0, true));  // className; target cleared first
  EXPECT_TRUE(p.live_click_link("l2"));
  EXPECT_EQ(log_of(v), "l1,l2:,l2:");
  const std::string url = FixtureServer::instance().url("/b");
  EXPECT_TRUE(p.live_click_link(url + "x") == false);
  EXPECT_TRUE(p.live_click_link("1"));
}

TEST(Live, DocumentHtmlScriptsAndStaleDocuments) {
  auto& v = shared_view();
  ASSERT_TRUE(show_page(v, "/live_html.html", html("<span id=lblUserName class=\"a b\">名字</span>\n<p>x</p>")));
  LivePage p;
  EXPECT_EQ(p.get_document_html(), "");
  EXPECT_FALSE(p.attach_live_page(nullptr));
  ASSERT_TRUE(p.attach_live_page(&v));
  const std::string doc = p.get_document_html();
  EXPECT_EQ(doc.substr(0, 6), "<HTML>");
  EXPECT_NE(doc.find(gbk("<SPAN id=lblUserName class=\"a b\">名字</SPAN>\r\n<P>x</P>")), std::string::npos) << doc;
  EXPECT_TRUE(p.run_script("L('js')"));
  EXPECT_TRUE(p.run_script("L('js0')", 0));
  EXPECT_FALSE(p.run_script("L('vb')", 1));
  EXPECT_EQ(log_of(v), "js,js0");

  ASSERT_TRUE(show_page(v, "/live_html2.html", html("<input type=text id=q>")));
  p.live_set_input_text("q", "old page");
  EXPECT_EQ(p.get_document_html(), "");
  EXPECT_FALSE(p.run_script("L('stale')"));
  EXPECT_EQ(eval_text(v, "q.value+log.join()"), "");
}

QImage test_picture() {
  QImage img(3, 2, QImage::Format_RGB888);
  img.setPixelColor(0, 0, QColor(255, 0, 0));
  img.setPixelColor(1, 0, QColor(0, 255, 0));
  img.setPixelColor(2, 0, QColor(0, 0, 255));
  img.setPixelColor(0, 1, QColor(10, 20, 30));
  img.setPixelColor(1, 1, QColor(40, 50, 60));
  img.setPixelColor(2, 1, QColor(70, 80, 90));
  return img;
}

std::uint32_t u32(const std::string& b, std::size_t at) {
  return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8 |
         std::uint32_t(std::uint8_t(b[at + 2])) << 16 | std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}

TEST(Live, PictureOfTheShownImageAsBitmapFile) {
  auto& v = shared_view();
  auto& srv = FixtureServer::instance();
  QByteArray png;
  QBuffer buf(&png);
  buf.open(QIODevice::WriteOnly);
  test_picture().save(&buf, "PNG");
  srv.set("/ValidateCode.aspx", png.toStdString(), "image/png");
  ASSERT_TRUE(show_page(v, "/captcha.html", html(
      "<input type=image id=imgbtn src=/nothing.png><img id=code src=/ValidateCode.aspx style='width:30px;height:20px'>")));
  wait_ms(100);
  const int hits = srv.hits("/ValidateCode.aspx");
  ASSERT_GE(hits, 1);

  QClipboard* clip = QGuiApplication::clipboard();
  clip->setText(QStringLiteral("剪贴板 text"));
  LivePage p;
  ASSERT_TRUE(p.attach_live_page(&v));
  const std::string bmp = p.get_image_element_bytes("ValidateCode");
  ASSERT_EQ(bmp.size(), 54u + 2 * 12);  // rows of 9 bytes padded to 12
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(u32(bmp, 2), 54u + 24);
  EXPECT_EQ(u32(bmp, 6), 0u);
  EXPECT_EQ(u32(bmp, 10), 54u);
  EXPECT_EQ(u32(bmp, 14), 40u);
  EXPECT_EQ(u32(bmp, 18), 3u);  // natural size, not the shown 30 x 20
  EXPECT_EQ(u32(bmp, 22), 2u);
  EXPECT_EQ(std::uint8_t(bmp[26]) | std::uint8_t(bmp[27]) << 8, 1);
  EXPECT_EQ(std::uint8_t(bmp[28]) | std::uint8_t(bmp[29]) << 8, 24);
  EXPECT_EQ(u32(bmp, 30), 0u);
  EXPECT_EQ(u32(bmp, 34), 24u);
  for (std::size_t i = 38; i < 54; ++i) EXPECT_EQ(bmp[i], 0) << i;
  // Bottom row first, BGR, padded.
  const unsigned char expect[24] = {30, 20, 10, 60, 50, 40, 90, 80, 70, 0, 0, 0,
                                    0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0};
  for (int i = 0; i < 24; ++i) EXPECT_EQ(std::uint8_t(bmp[54 + i]), expect[i]) << i;

  EXPECT_EQ(p.get_image_element_bytes("code", 1), bmp);
  const std::string png_out = p.get_image_element_bytes("code", 5);
  QImage back = QImage::fromData(QByteArray::fromStdString(png_out), "PNG");
  EXPECT_EQ(back.convertToFormat(QImage::Format_RGB888), test_picture());
  EXPECT_EQ(p.get_image_element_bytes("code", 2).substr(0, 2), "\xFF\xD8");
  const std::string tiff = p.get_image_element_bytes("code", 4);
  EXPECT_TRUE(tiff.substr(0, 4) == std::string("II*\0", 4) || tiff.substr(0, 4) == std::string("MM\0*", 4));
  const bool gif_writer = QImageWriter::supportedImageFormats().contains("gif");
  EXPECT_EQ(p.get_image_element_bytes("code", 3).empty(), !gif_writer);
  EXPECT_EQ(p.get_image_element_bytes("code", 9), "");
  EXPECT_EQ(p.get_image_element_bytes("no such picture"), "");

  // An image input, and a picture from another site (unreadable pixels), come from the view
  // at their shown size.
  srv.set("/pic.png", png.toStdString(), "image/png");
  ASSERT_TRUE(show_page(v, "/captcha2.html", html(
      "<input type=image id=ib src=/pic.png style='width:30px;height:20px'>"
      "<img id=other src=\"" + srv.other_site_url("/pic.png") + "\" style='width:24px;height:16px'>")));
  wait_ms(300);
  LivePage p2;
  ASSERT_TRUE(p2.attach_live_page(&v));
  const std::string shown = p2.get_image_element_bytes("ib");
  ASSERT_GE(shown.size(), 54u);
  EXPECT_EQ(u32(shown, 18), 30u);
  EXPECT_EQ(u32(shown, 22), 20u);
  EXPECT_EQ(shown.size(), 54u + 20 * 92);  // 90 bytes a row, padded to 92
  const QImage grabbed = QImage::fromData(QByteArray::fromStdString(p2.get_image_element_bytes("ib", 5)), "PNG");
  EXPECT_EQ(grabbed.pixelColor(2, 2), QColor(255, 0, 0));  // top left of the picture, scaled
  const std::string other = p2.get_image_element_bytes("other");
  ASSERT_GE(other.size(), 54u);
  EXPECT_EQ(u32(other, 18), 24u);

  // The captcha was not requested again, and the clipboard text is as it was.
  EXPECT_EQ(srv.hits("/ValidateCode.aspx"), hits);
  EXPECT_EQ(clip->text(), QStringLiteral("剪贴板 text"));
}

}  // namespace
