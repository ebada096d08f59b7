#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "text/text.h"
#include "tools/publishing/publishing_core.h"

using namespace tools::publishing;

namespace {

std::string gbk(const char* utf8) { return text::utf8_to_gbk(utf8); }

bool is_code(const std::string& s) {
  if (s.size() != 7 || s[0] != '#') return false;
  for (std::size_t i = 1; i < 7; ++i) {
    const char c = s[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

}  // namespace

TEST(Palette, HasTheFixedEntriesAndOnlyLowerCaseCodes) {
  const auto& p = palette();
  ASSERT_EQ(p.size(), 276u);
  const std::vector<std::string> first = {"#000000", "#e9deb1", "#e9cfb1", "#decd7c", "#8f864b"};
  const std::vector<std::string> last = {"#ccffff", "#ff33ff", "#ff66ff", "#ff99ff", "#ffccff"};
  EXPECT_EQ(std::vector<std::string>(p.begin(), p.begin() + 5), first);
  EXPECT_EQ(std::vector<std::string>(p.end() - 5, p.end()), last);
  std::set<std::string> seen;
  for (const auto& c : p) {
    EXPECT_TRUE(is_code(c)) << c;
    EXPECT_TRUE(seen.insert(c).second) << "duplicate " << c;
  }
  // One text, CR LF between entries and none after the last.
  const std::string& t = palette_text();
  EXPECT_EQ(t.size(), 276u * 7 + 275u * 2);
  EXPECT_EQ(t.substr(0, 9), "#000000\r\n");
  EXPECT_EQ(t.substr(t.size() - 9), "\r\n#ffccff");
  EXPECT_EQ(palette_entry(1), "#000000");
  EXPECT_EQ(palette_entry(276), "#ffccff");
  EXPECT_EQ(palette_entry(0), "");
  EXPECT_EQ(palette_entry(277), "");
}

TEST(CatalogueListing, NumbersLinesThreeToKMinusFifteen) {
  std::string table;
  for (int i = 1; i <= 20; ++i) table += "L" + std::to_string(i) + "\r\n";
  const std::string number = gbk("   编号：");
  EXPECT_EQ(catalogue_listing(table),
            "L3" + number + "2\r\nL4" + number + "3\r\nL5" + number + "4\r\n");
  // No final line break: the same 20 lines.
  EXPECT_EQ(catalogue_listing(table.substr(0, table.size() - 2)), catalogue_listing(table));
  // 17 lines or fewer leave nothing; 18 lines give line 3 only.
  std::string short_table;
  for (int i = 1; i <= 17; ++i) short_table += "x\r\n";
  EXPECT_EQ(catalogue_listing(short_table), "");
  EXPECT_EQ(catalogue_listing(short_table + "y\r\n"), "x" + number + "2\r\n");
  EXPECT_EQ(catalogue_listing(""), "");
  // Empty lines count as lines and keep their number.
  std::string gaps = "a\r\nb\r\n\r\nc\r\n";
  for (int i = 0; i < 15; ++i) gaps += "z\r\n";
  EXPECT_EQ(catalogue_listing(gaps), number + "2\r\nc" + number + "3\r\n");
}

TEST(CatalogueListing, SearchFindsTheFirstLineCaseSensitively) {
  const std::string listing = gbk("点卡   编号：2\r\nQQ币   编号：3\r\nqq会员   编号：4\r\n");
  EXPECT_EQ(find_listing_line(listing, "qq"), gbk("qq会员   编号：4"));
  EXPECT_EQ(find_listing_line(listing, "QQ"), gbk("QQ币   编号：3"));
  EXPECT_EQ(find_listing_line(listing, gbk("编号")), gbk("点卡   编号：2"));
  EXPECT_FALSE(find_listing_line(listing, "Qq").has_value());
  EXPECT_FALSE(find_listing_line("", "x").has_value());
  // A GBK trail byte is never matched across a character boundary: "卡" (BF A8)
  // does not hide an ASCII match.
  EXPECT_FALSE(find_listing_line(gbk("点卡"), "\xBF").has_value());
}

TEST(PickedColour, TheRewrittenDocumentLeavesTheCode) {
  const std::string prefix = gbk("当前选中颜色代码值为：");
  EXPECT_EQ(colour_code_from_html("<HTML><HEAD></HEAD><BODY>" + prefix + "#ff33ff</BODY></HTML>"), "#ff33ff");
  EXPECT_EQ(colour_code_from_html("<HTML><HEAD></HEAD>\r\n<BODY>" + prefix + "#8f864b\r\n</BODY></HTML>"),
            "#8f864b");
  EXPECT_EQ(colour_code_from_html(prefix + "#000000"), "#000000");
}

TEST(PickedColour, CodesConvertLikeTheConverterPage) {
  EXPECT_EQ(parse_colour_code("#ff33ff"), (Rgb{255, 51, 255}));
  EXPECT_EQ(parse_colour_code("#0000FF"), (Rgb{0, 0, 255}));
  EXPECT_EQ(parse_colour_code("#aBc"), (Rgb{0xaa, 0xbb, 0xcc}));
  EXPECT_FALSE(parse_colour_code("ff33ff"));
  EXPECT_FALSE(parse_colour_code("#ff33f"));
  EXPECT_FALSE(parse_colour_code("#gg0000"));
  EXPECT_FALSE(parse_colour_code(""));
}

TEST(PickerPages, CarryTheIdsTheProgramUses) {
  const std::string page = palette_page();
  for (const auto& c : palette()) EXPECT_NE(page.find("id=\"" + c + "\""), std::string::npos) << c;
  EXPECT_NE(page.find(gbk("当前选中颜色代码值为：")), std::string::npos);
  const std::string conv = converter_page();
  for (const char* id : {"id=\"r\"", "id=\"g\"", "id=\"b\"", "id=\"submit\"", "id=\"colorcode\""})
    EXPECT_NE(conv.find(id), std::string::npos) << id;
}
